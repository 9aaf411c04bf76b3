#include "rinex/rinex_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "obsdb/schema.h"
#include "tests/testkit/tables_for_tests.h"
#include "tests/testkit/testkit.h"

using testkit::InDir;
using testkit::ScratchDir;

namespace {

std::string labelled(std::string content, const char* label) {
    content.resize(60, ' ');
    return content + label + "\n";
}

// A header with the given type words; empty texts leave their line out.
struct Header {
    std::string marker = "TEST";
    std::string receiver = "R100";
    std::string antenna = "A200";
    std::vector<std::string> types = {"L1", "L2", "C1", "P2", "P1"};
    std::string interval = "    30.000";
    std::string delta = "        1.5000        0.2500        0.1250";
    std::string wavelength = "     1     1";

    std::string text() const {
        std::string h =
            labelled("     2.11           OBSERVATION DATA    G (GPS)", "RINEX VERSION / TYPE");
        h += labelled(marker, "MARKER NAME");
        h += labelled("OBS                 AGENCY", "OBSERVER / AGENCY");
        h += labelled((receiver + std::string(20, ' ')).substr(0, 20) + "  RTYPE X",
                      "REC # / TYPE / VERS");
        h += labelled((antenna + std::string(20, ' ')).substr(0, 20) + "ATYPE", "ANT # / TYPE");
        h += labelled("  4000000.1250   500000.5000  4900000.7500", "APPROX POSITION XYZ");
        if (!delta.empty()) h += labelled(delta, "ANTENNA: DELTA H/E/N");
        if (!wavelength.empty()) h += labelled(wavelength, "WAVELENGTH FACT L1/2");
        char count[8];
        std::snprintf(count, sizeof count, "%6zu", types.size());
        std::string list = count;
        for (std::size_t i = 0; i < types.size(); ++i) {
            if (i > 0 && i % 9 == 0) {
                h += labelled(list, "# / TYPES OF OBSERV");
                list = std::string(6, ' ');
            }
            list += "    " + types[i];
        }
        h += labelled(list, "# / TYPES OF OBSERV");
        if (!interval.empty()) h += labelled(interval, "INTERVAL");
        return h + labelled("", "END OF HEADER");
    }
};

std::string epoch(const char* date, int flag, const std::vector<std::string>& sats) {
    char head[40];
    std::snprintf(head, sizeof head, "%s  %d%3zu", date, flag, sats.size());
    std::string line = head;
    for (std::size_t i = 0; i < sats.size(); ++i) {
        if (i > 0 && i % 12 == 0) line += "\n" + std::string(32, ' ');
        line += sats[i];
    }
    return line + "\n";
}

// Field values of satellite `sat` at epoch `epoch_no`: type t gets
// 1000 * sat + 100 * epoch_no + t + 0.125.
std::string obs_lines(int sat, int epoch_no, int types) {
    std::string text;
    for (int t = 0; t < types; ++t) {
        char field[24];
        std::snprintf(field, sizeof field, "%14.3f %d", 1000.0 * sat + 100 * epoch_no + t + 0.125,
                      t % 10);
        text += field;
        if (t % 5 == 4 || t == types - 1) text += "\n";
    }
    return text;
}

double value_of(int sat, int epoch_no, int type) {
    return 1000.0 * sat + 100 * epoch_no + type + 0.125;
}

std::string field(double value, const char* flags) {
    char text[32];
    std::snprintf(text, sizeof text, "%14.3f%s", value, flags);
    return text;
}

// A database in a scratch folder that files are read into.
struct Campaign {
    ScratchDir dir;
    void read(const std::string& name, const std::string& content, bool no_obs = false) {
        testkit::write_file(dir.file(name), content);
        InDir in(dir.path());
        read_rinex(name.c_str(), no_obs);
    }
    testkit::RunResult read_in_child(const std::string& name, const std::string& content,
                                     bool no_obs = false) {
        testkit::write_file(dir.file(name), content);
        return testkit::run_in_child([&] {
            InDir in(dir.path());
            read_rinex(name.c_str(), no_obs);
        });
    }
    template <class Record>
    std::vector<Record> rows(const char* table) const {
        return tables::records<Record>(dir.path(), table);
    }
};

const char* const sats8[] = {"G01", "G05", "G08", "G14", "G15", "G22", "G24", "G29"};

TEST(ReaderEpochs, Epoch1999EightSatellitesInTypeOrderL1L2C1P2P1) {
    Campaign db;
    std::string file =
        Header().text() + " 99 10  3  5  0 30.0000000  0  8G01G05G08G14G15G22G24G29\n";
    for (int s = 0; s < 8; ++s) file += obs_lines(s, 0, 5);
    db.read("t.99o", file);

    const auto sats = db.rows<sat_record>(table_sat);
    ASSERT_EQ(sats.size(), 8u);
    for (int s = 0; s < 8; ++s) EXPECT_STREQ(sats[s].prn, sats8[s]);
    const auto satoccs = db.rows<satocc_record>(table_satocc);
    const auto obs = db.rows<obs_record>(table_obs);
    ASSERT_EQ(satoccs.size(), 8u);
    ASSERT_EQ(obs.size(), 8u);  // one line per satellite: no continuation read
    for (int s = 0; s < 8; ++s) {
        EXPECT_EQ(satoccs[s].sat_ref, 97 * (s + 1));
        EXPECT_EQ(satoccs[s].occ_ref, 216);
        EXPECT_EQ(obs[s].satocc_ref, 8 * (s + 1));
        EXPECT_EQ(tables::local_text(obs[s].epoch), "1999-10-03 05:00:30");
        // Fields 0 to 4 fill the slots of L1, L2, C1, P2, P1.
        const int slots[] = {OBS_L1, OBS_L2, OBS_C1, OBS_P2, OBS_P1};
        for (int f = 0; f < 5; ++f) {
            EXPECT_EQ(+obs[s].obs[slots[f]].value, value_of(s, 0, f));
            EXPECT_EQ(obs[s].obs[slots[f]].lli, ' ');
            EXPECT_EQ(obs[s].obs[slots[f]].snr, '0' + f);
        }
    }
    const auto occ = db.rows<occ_record>(table_occ).at(0);
    EXPECT_EQ(+occ.first_epoch, +obs[0].epoch);
    EXPECT_EQ(+occ.last_epoch, +obs[0].epoch);
}

TEST(ReaderEpochs, TwoDigitYearsAndMoreThanTwelveSatellites) {
    Campaign db;
    std::vector<std::string> many;
    for (int s = 1; s <= 14; ++s)
        many.push_back(s < 10 ? "R0" + std::to_string(s) : "G" + std::to_string(s));
    std::string file = Header().text() + epoch(" 00  1  2  3  4  5.5000000", 0, {"G01"}) +
                       obs_lines(1, 0, 5) + epoch(" 69  7 20 20 17  0.0000000", 0, {"G01"}) +
                       obs_lines(1, 1, 5) + epoch(" 70  6 15 12  0  0.0000000", 0, many);
    for (int s = 0; s < 14; ++s) file += obs_lines(s, 2, 5);
    db.read("y.00o", file);

    const auto obs = db.rows<obs_record>(table_obs);
    ASSERT_EQ(obs.size(), 16u);
    EXPECT_EQ(tables::local_text(obs[0].epoch), "2000-01-02 03:04:05");
    EXPECT_EQ(obs[0].epoch - static_cast<long>(obs[0].epoch), 0.5);
    EXPECT_EQ(tables::local_text(obs[1].epoch), "2069-07-20 20:17:00");
    EXPECT_EQ(tables::local_text(obs[2].epoch), "1970-06-15 12:00:00");
    // The two satellites of the continuation line have their own records.
    const auto sats = db.rows<sat_record>(table_sat);
    const auto satoccs = db.rows<satocc_record>(table_satocc);
    ASSERT_EQ(satoccs.size(), 15u);  // G01 and the 14 (R01..R09, G10..G14)
    for (int s = 0; s < 14; ++s) {
        const satocc_record& so = tables::at(satoccs, obs[2 + s].satocc_ref);
        EXPECT_EQ(tables::at(sats, so.sat_ref).prn, many[s]);
        EXPECT_EQ(+obs[2 + s].obs[OBS_L1].value, value_of(s, 2, 0));
    }
}

TEST(ReaderEvents, FlagOneIsAnEpochFlagsTwoToSixAreSkipped) {
    Campaign db;
    Header h;
    h.types = {"L1", "L2", "C1", "P2", "P1", "S1", "S2"};  // two lines per satellite
    const std::string looks_like_epoch = epoch(" 21  1  1  0  0 50.0000000", 0, {"G05"});
    std::string file = h.text() + epoch(" 21  1  1  0  0  0.0000000", 0, {"G01", "G02"}) +
                       obs_lines(1, 0, 7) + obs_lines(2, 0, 7) +
                       epoch(" 21  1  1  0  0 10.0000000", 5, {"G09"}) +  // one special record
                       "  11111111.111 1  22222222.222 2\n" +
                       epoch(" 21  1  1  0  0 30.0000000", 1, {"G01", "G02"}) + obs_lines(1, 1, 7) +
                       obs_lines(2, 1, 7) + std::string(28, ' ') + "4  4\n" +
                       labelled("SPLICE", "COMMENT") +
                       labelled("     2     2     1   G01", "WAVELENGTH FACT L1/2") +
                       labelled("", "END OF HEADER") + looks_like_epoch +
                       epoch(" 21  1  1  0  0 45.0000000", 6, {"G01", "G30"}) + obs_lines(1, 7, 7) +
                       obs_lines(30, 7, 7).substr(0, 81) + looks_like_epoch +
                       epoch(" 21  1  1  0  1  0.0000000", 0, {"G01", "G02"}) + obs_lines(1, 2, 7) +
                       obs_lines(2, 2, 7);
    const auto run = db.read_in_child("e.21o", file);
    ASSERT_EQ(run.status, 0) << run.err;
    // The satellite-specific factors among the event records were handled as a header line.
    EXPECT_NE(run.out.find("Die abweichenden Wavelength-Facts werden nicht beruecksichtigt.\n"),
              std::string::npos);

    const auto obs = db.rows<obs_record>(table_obs);
    ASSERT_EQ(obs.size(), 6u);
    const char* times[] = {"00:00:00", "00:00:30", "00:01:00"};
    for (int e = 0; e < 3; ++e)
        for (int s = 0; s < 2; ++s) {
            const obs_record& o = obs[2 * e + s];
            EXPECT_EQ(tables::local_text(o.epoch), std::string("2021-01-01 ") + times[e]);
            EXPECT_EQ(+o.obs[OBS_L1].value, value_of(s + 1, e, 0));
            EXPECT_EQ(+o.obs[OBS_P1].value, value_of(s + 1, e, 4));
            EXPECT_EQ(o.satocc_ref, 8 * (s + 1));
        }
    // Satellites named only by events get no records; event records are not
    // epochs, and a header line among them does not store the occupation again.
    EXPECT_EQ(db.rows<sat_record>(table_sat).size(), 2u);
    EXPECT_EQ(db.rows<occ_record>(table_occ).size(), 1u);
}

TEST(ReaderTypes, NineTypesAndTypesContinuedOnASecondHeaderLine) {
    Campaign nine;
    Header h;
    h.types = {"L1", "L2", "C1", "P1", "P2", "D1", "D2", "S1", "S2"};
    std::string file = h.text() + epoch(" 21  1  1  0  0  0.0000000", 0, {"G01", "G02", "G03"});
    for (int s = 0; s < 3; ++s) file += obs_lines(s, 0, 9);
    nine.read("n.21o", file);
    auto obs = nine.rows<obs_record>(table_obs);
    ASSERT_EQ(obs.size(), 3u);
    for (int s = 0; s < 3; ++s) {
        EXPECT_EQ(+obs[s].obs[OBS_L1].value, value_of(s, 0, 0));
        EXPECT_EQ(+obs[s].obs[OBS_L2].value, value_of(s, 0, 1));
        EXPECT_EQ(+obs[s].obs[OBS_C1].value, value_of(s, 0, 2));
        EXPECT_EQ(+obs[s].obs[OBS_P1].value, value_of(s, 0, 3));
        EXPECT_EQ(+obs[s].obs[OBS_P2].value, value_of(s, 0, 4));
    }

    // Twelve types: L1, L2 and P2 are listed on the continuation line only.
    Campaign twelve;
    h.types = {"C2", "C5", "C1", "D1", "D2", "D5", "S1", "S2", "S5", "L1", "L2", "P2"};
    file = h.text() + epoch(" 21  1  1  0  0  0.0000000", 0, {"G01", "G02"}) + obs_lines(0, 0, 12) +
           labelled("     3    L1    L2    C1",
                    "# / TYPES OF OBSERV") +  // a later list changes nothing
           obs_lines(1, 0, 12) +
           epoch(" 21  1  1  0  0 30.0000000", 0, {"G01"}) +
           obs_lines(2, 1, 5);  // the file ends within the observations
    twelve.read("c.21o", file);
    obs = twelve.rows<obs_record>(table_obs);
    ASSERT_EQ(obs.size(), 3u);
    EXPECT_EQ(+obs[2].obs[OBS_C1].value, value_of(2, 1, 2));
    EXPECT_EQ(+obs[2].obs[OBS_L1].value, 0.0);  // not G02's value
    EXPECT_EQ(obs[2].obs[OBS_L2].snr, ' ');
    for (int s = 0; s < 2; ++s) {
        EXPECT_EQ(+obs[s].obs[OBS_C1].value, value_of(s, 0, 2));
        EXPECT_EQ(+obs[s].obs[OBS_L1].value, value_of(s, 0, 9));
        EXPECT_EQ(+obs[s].obs[OBS_L2].value, value_of(s, 0, 10));
        EXPECT_EQ(+obs[s].obs[OBS_P2].value, value_of(s, 0, 11));
        EXPECT_EQ(obs[s].obs[OBS_P1].lli, '\0');  // not a type of the file: zero bytes
    }
}

TEST(ReaderFields, BlankCutOffAndMissingFields) {
    Campaign db;
    Header h;
    h.types = {"L1", "L2", "C1", "P1"};
    const std::string blank7 = std::string(15, ' ') + "7";
    db.read("f.21o", h.text() + epoch(" 21  1  1  0  0  0.0000000", 0, {"G01", "G02"}) +
                         field(123456.25, " 5") + field(654321.5, " 6") + field(100, "  ") +
                         field(4242.125, "1") + "\n" + blank7 + field(777777.75, "1") + "\n");
    const auto obs = db.rows<obs_record>(table_obs);
    ASSERT_EQ(obs.size(), 2u);
    EXPECT_EQ(+obs[0].obs[OBS_L1].value, 123456.25);
    EXPECT_EQ(obs[0].obs[OBS_L2].snr, '6');
    // Value, loss-of-lock character, signal strength cut off by the line end.
    EXPECT_EQ(+obs[0].obs[OBS_P1].value, 4242.125);
    EXPECT_EQ(obs[0].obs[OBS_P1].lli, '1');
    EXPECT_EQ(obs[0].obs[OBS_P1].snr, ' ');
    // 14 blanks, a blank and 7.
    EXPECT_EQ(+obs[1].obs[OBS_L1].value, 0.0);
    EXPECT_EQ(obs[1].obs[OBS_L1].lli, ' ');
    EXPECT_EQ(obs[1].obs[OBS_L1].snr, '7');
    EXPECT_EQ(+obs[1].obs[OBS_L2].value, 777777.75);
    EXPECT_EQ(obs[1].obs[OBS_L2].lli, '1');
    // Fields beyond the line end are absent, not the previous satellite's.
    EXPECT_EQ(+obs[1].obs[OBS_C1].value, 0.0);
    EXPECT_EQ(+obs[1].obs[OBS_P1].value, 0.0);
    EXPECT_EQ(obs[1].obs[OBS_P1].lli, ' ');
    EXPECT_EQ(+obs[1].obs[OBS_P2].value, 0.0);
    EXPECT_EQ(obs[1].obs[OBS_P2].snr, '\0');
}

std::string two_epochs(const char* second = " 21  1  1  0  0 30.0000000") {
    return epoch(" 21  1  1  0  0  0.0000000", 0, {"G01", "G02"}) + obs_lines(1, 0, 5) +
           obs_lines(2, 0, 5) + epoch(second, 0, {"G02"}) + obs_lines(2, 1, 5);
}

TEST(ReaderLinks, TwoFilesAndTheSameFileAgain) {
    Campaign db;
    Header h;
    h.marker = "TP27";
    h.receiver = "ABCDEFGHIJKLMNOPQ18";
    const std::string first = h.text() + two_epochs();
    db.read("a.21o", first);
    h.marker = "TP2";                    // a prefix of TP27: the same station
    h.receiver = "ABCDEFGHIJKLMNOPQ29";  // equal in the first 17 characters
    db.read("b.21o", h.text() + epoch(" 21  1  2  0  0  0.0000000", 0, {"G02", "G07"}) +
                         obs_lines(2, 0, 5) + obs_lines(7, 0, 5));
    db.read("a.21o", first);

    EXPECT_EQ(db.rows<sta_record>(table_sta).size(), 1u);
    EXPECT_EQ(db.rows<rcv_record>(table_rec).size(), 1u);
    EXPECT_EQ(db.rows<ant_record>(table_ant).size(), 1u);
    const auto occs = db.rows<occ_record>(table_occ);
    ASSERT_EQ(occs.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(occs[i].sta_ref, 88);
        EXPECT_EQ(occs[i].rcv_ref, 42);
        EXPECT_EQ(occs[i].ant_ref, 42);
        EXPECT_EQ(occs[i].cor_ref, 28 * (i + 1));  // positions are never shared
    }
    using Keys = std::vector<std::pair<std::string, long>>;
    EXPECT_EQ(tables::keys(db.dir.path(), CampaignTable::occ),
              (Keys{{"00000042", 216}, {"00000043", 432}, {"00000044", 648}}));
    // Satellites are shared; each occupation has its own satellite occupations.
    EXPECT_EQ(tables::keys(db.dir.path(), CampaignTable::sat),
              (Keys{{"G01", 97}, {"G02", 194}, {"G07", 291}}));
    EXPECT_EQ(tables::keys(db.dir.path(), CampaignTable::satocc), (Keys{{"00002160000097", 8},
                                                                        {"00002160000194", 16},
                                                                        {"00004320000194", 24},
                                                                        {"00004320000291", 32},
                                                                        {"00006480000097", 40},
                                                                        {"00006480000194", 48}}));
    EXPECT_EQ(db.rows<obs_record>(table_obs).size(), 8u);
}

TEST(ReaderLinks, BlankSerialNumberIsNotAPrefixOfOthers) {
    Campaign db;
    Header h;
    db.read("a.21o", h.text() + two_epochs());
    h.antenna = "";
    db.read("b.21o", h.text() + two_epochs());
    db.read("c.21o", h.text() + two_epochs());
    const auto ants = db.rows<ant_record>(table_ant);
    ASSERT_EQ(ants.size(), 2u);
    EXPECT_STREQ(ants[1].ant_number, "");
    const auto occs = db.rows<occ_record>(table_occ);
    ASSERT_EQ(occs.size(), 3u);
    EXPECT_EQ(occs[0].ant_ref, 42);
    EXPECT_EQ(occs[1].ant_ref, 84);
    EXPECT_EQ(occs[2].ant_ref, 84);
}

TEST(ReaderHeader, BlankMarkerNameNoAntennaDeltaAndWavelengthFactors) {
    Campaign db;
    Header h;
    h.marker = "";
    h.delta = "";
    h.wavelength = "     2     1     0";  // a satellite count of 0 is the default line
    auto run = db.read_in_child("h.21o", h.text() + two_epochs());
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("Wavelength"), std::string::npos);
    h.wavelength = "     1     2     3   G01G02G03";
    run = db.read_in_child("i.21o", h.text() + two_epochs());
    EXPECT_NE(run.out.find("Die abweichenden Wavelength-Facts werden nicht beruecksichtigt.\n"),
              std::string::npos);

    EXPECT_STREQ(db.rows<sta_record>(table_sta).at(0).marker_name, "MARKER");
    const auto occs = db.rows<occ_record>(table_occ);
    ASSERT_EQ(occs.size(), 2u);
    EXPECT_STREQ(occs[0].rinex_file, "");
    EXPECT_EQ(+occs[0].delta_h, 0.0);
    EXPECT_EQ(+occs[0].delta_n, 0.0);
    EXPECT_EQ(occs[0].wlf_l1, 2);
    EXPECT_EQ(occs[0].wlf_l2, 1);
    EXPECT_EQ(occs[1].wlf_l1, 0);
    EXPECT_EQ(occs[1].wlf_l2, 0);
    EXPECT_STREQ(occs[0].observer, "OBS                 ");  // columns as they stand
    EXPECT_STREQ(db.rows<rcv_record>(table_rec).at(0).rcv_type, "RTYPE X");
}

TEST(ReaderInterval, DerivedFromTheFilesOwnEpochs) {
    Campaign db;
    Header h;
    h.interval = "";
    db.read("a.21o", h.text() + two_epochs());
    // Observations of the first file are in the database; the second file
    // and a -0 file still use their own epochs.
    db.read("b.21o", h.text() + two_epochs(" 21  1  1  0  0 15.0000000"));
    db.read("c.21o", h.text() + two_epochs(" 21  1  1  0  0  5.0000000"), true);
    db.read("d.21o",
            h.text() + epoch(" 21  1  1  0  0  0.0000000", 0, {"G01"}) + obs_lines(1, 0, 5));
    h.interval = "     1.000";
    db.read("e.21o", h.text() + two_epochs());
    const auto occs = db.rows<occ_record>(table_occ);
    ASSERT_EQ(occs.size(), 5u);
    EXPECT_EQ(occs[0].interval, 30);
    EXPECT_EQ(occs[1].interval, 15);
    EXPECT_EQ(occs[2].interval, 5);
    EXPECT_EQ(occs[3].interval, 0);
    EXPECT_EQ(occs[4].interval, 1);
}

TEST(ReaderNoObs, MinusZeroFillsSatellitesAlike) {
    Campaign with, without;
    const std::string file = Header().text() + two_epochs();
    with.read("a.21o", file);
    const auto run = without.read_in_child("a.21o", file, true);
    EXPECT_EQ(run.out,
              "\n      16 Zeilen gelesen.\n\nEs wurden 0 Eintraege in der Obs-Datei erzeugt.\n");
    for (const char* name : {"zzSAT.DAT", "zzSATOCC.DAT", "zzSAT.ID0", "zzSATOCC.ID0", "zzOCC.DAT"})
        EXPECT_EQ(testkit::read_file(with.dir.file(name)),
                  testkit::read_file(without.dir.file(name)))
            << name;
    EXPECT_FALSE(testkit::file_exists(without.dir.file("zzOBS.DAT")));
}

TEST(ReaderLines, CrLfLongLinesAndConsole) {
    Campaign lf, crlf;
    // Cut at the line buffer, the tails of the comment and of the first
    // observation line would be taken for observation lines.
    std::string long_comment = "COMMENT";
    long_comment.resize(260, ' ');
    std::string file = Header().text() + epoch(" 21  1  1  0  0  0.0000000", 0, {"G01", "G02"}) +
                       long_comment + obs_lines(9, 9, 5) + obs_lines(1, 0, 5).substr(0, 80) +
                       std::string(200, ' ') + obs_lines(8, 8, 5) +
                       obs_lines(2, 0, 5).substr(0, 79) + "\n";  // signal strength of P1 cut off
    for (int e = 1; e < 26; ++e)
        file += epoch(" 21  1  1  0  0 30.0000000", 0, {"G01", "G02", "G03"}) + obs_lines(1, e, 5) +
                obs_lines(2, e, 5) + obs_lines(3, e, 5);
    std::string with_cr;
    for (char c : file) with_cr += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const auto run = lf.read_in_child("l.21o", file);
    EXPECT_EQ(run.out,
              ".\n     115 Zeilen gelesen.\n\nEs wurden 77 Eintraege in der Obs-Datei erzeugt.\n");
    EXPECT_EQ(run.err, "RINEX-file (Version 2.11, Type OBSERVATION) found.\n");
    EXPECT_EQ(crlf.read_in_child("l.21o", with_cr).out, run.out);
    for (const char* name :
         {"zzOBS.DAT", "zzOCC.DAT", "zzSTA.DAT", "zzREC.DAT", "zzSAT.DAT", "zzOBS.ID0"})
        EXPECT_EQ(testkit::read_file(lf.dir.file(name)), testkit::read_file(crlf.dir.file(name)))
            << name;
    const auto obs = lf.rows<obs_record>(table_obs);
    EXPECT_EQ(+obs.at(0).obs[OBS_P1].value, value_of(1, 0, 4));
    EXPECT_EQ(+obs.at(1).obs[OBS_L1].value, value_of(2, 0, 0));
    EXPECT_EQ(obs.at(1).obs[OBS_P1].snr, ' ');
}

TEST(ReaderReject, FileWithoutEndOfHeaderLeavesDatabaseReadable) {
    Campaign db;
    db.read("good.21o", Header().text() + two_epochs());
    std::string header = Header().text();
    header.erase(header.find(labelled("", "END OF HEADER")));
    for (const std::string& bad : {header + two_epochs(), header}) {
        const auto run = db.read_in_child("bad.21o", bad);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("'bad.21o': no END OF HEADER line"), std::string::npos) << run.err;
        EXPECT_EQ(db.rows<occ_record>(table_occ).size(), 1u);
        EXPECT_EQ(tables::keys(db.dir.path(), CampaignTable::occ).size(), 1u);
        EXPECT_EQ(tables::keys(db.dir.path(), CampaignTable::sta).size(), 1u);
    }
    // A file that cannot be read (a folder) is not taken for an empty one.
    const auto run = testkit::run_in_child([&] {
        InDir in(db.dir.path());
        read_rinex(".", false);
    });
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("'.': Is a directory"), std::string::npos) << run.err;
}

TEST(ReaderRobust, MalformedFilesEndTheRunCleanly) {
    Header h;
    h.interval = "";
    Header many = h;
    many.types.assign(70, "L1");
    const std::string d = " 21  1  1  0  0  0.0000000";
    const std::vector<std::string> files = {
        "",
        std::string("\0\0\x01\xff garbage\n", 14),
        h.text() + d + "  0 99G01G02\n" + obs_lines(1, 0, 5) + "1\n\n",
        h.text() + d + "  0 -5G01\n" + obs_lines(1, 0, 5),
        h.text() + " 99 99 99 99 99 1e999999  0  1G01\n" + obs_lines(1, 0, 5) + d + "  0  1G01\n",
        h.text() + d + "  0  1G\n 1\n" + std::string(5000, '9') + "\n",
        h.text() + d + "  6 99\n" + d + "  3 999999999\n",
        labelled("    -7    L1", "# / TYPES OF OBSERV") + labelled("", "END OF HEADER") + d +
            "  0  1G01\n1\n",
        labelled("999999999    L1", "# / TYPES OF OBSERV") + labelled("", "END OF HEADER") + d +
            "  0  1G01\n1\n",
        many.text() + d + "  0  1G01\n" + obs_lines(1, 0, 70),
        std::string(80, 'M') + " MARKER NAME\n" + labelled("x", "RINEX VERSION / TYPE") +
            labelled("", "END OF HEADER") + labelled("", "END OF HEADER") + d + "  0  1G01\n",
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        Campaign db;
        const auto run = db.read_in_child("m.21o", files[i]);
        EXPECT_TRUE(run.status == 0 || run.status == 1)
            << "file " << i << ": " << run.status << run.err;
    }
}

TEST(ReaderBytes, RecordsOnDisk) {
    Campaign db;
    db.read("byte0010.21o", Header().text() + two_epochs());
    const std::string occ = testkit::read_file(db.dir.file("zzOCC.DAT"));
    ASSERT_EQ(occ.size(), 432u);
    auto int_at = [](const std::string& bytes, std::size_t at) {
        std::int32_t v;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    auto double_at = [](const std::string& bytes, std::size_t at) {
        double v;
        std::memcpy(&v, bytes.data() + at, 8);
        return v;
    };
    EXPECT_EQ(int_at(occ, 216 + 0), 88);   // station
    EXPECT_EQ(int_at(occ, 216 + 4), 28);   // position
    EXPECT_EQ(int_at(occ, 216 + 12), 42);  // antenna
    EXPECT_EQ(double_at(occ, 216 + 20), 1.5);
    EXPECT_EQ(double_at(occ, 216 + 36), 0.125);
    EXPECT_EQ(int_at(occ, 216 + 44), 30);
    EXPECT_EQ(int_at(occ, 216 + 48), 1);
    EXPECT_EQ(occ[216 + 56], ' ');
    EXPECT_EQ(occ.substr(216 + 57, 21), std::string("OBS                 \0", 21));
    EXPECT_EQ(occ.substr(216 + 119, 13), std::string("byte0010.21o\0", 13));
    EXPECT_EQ(double_at(occ, 216 + 208) - double_at(occ, 216 + 200), 30.0);
    EXPECT_EQ(tables::local_text(double_at(occ, 216 + 200)), "2021-01-01 00:00:00");

    const std::string obs = testkit::read_file(db.dir.file("zzOBS.DAT"));
    ASSERT_EQ(obs.size(), 4u * 72);
    EXPECT_EQ(int_at(obs, 144), 16);  // second record: satellite occupation of G02
    EXPECT_EQ(double_at(obs, 144 + 4), double_at(occ, 216 + 200));
    EXPECT_EQ(double_at(obs, 144 + 12 + 2 * 12), value_of(2, 0, 0));  // L1
    EXPECT_EQ(obs.substr(144 + 12 + 2 * 12 + 8, 2), " 0");
    EXPECT_EQ(double_at(obs, 144 + 12 + 4 * 12), value_of(2, 0, 1));  // L2
    EXPECT_EQ(obs.substr(144 + 12 + 4 * 12 + 8, 2), " 1");

    const std::string sat = testkit::read_file(db.dir.file("zzSAT.DAT"));
    EXPECT_EQ(sat.substr(194, 4), std::string("G02\0", 4));
    EXPECT_EQ(sat[194 + 16], '\0');
    const std::string cor = testkit::read_file(db.dir.file("zzCOR.DAT"));
    EXPECT_EQ(double_at(cor, 28 + 16), 4900000.75);
    EXPECT_EQ(cor[28 + 24], ' ');
}

}  // namespace
