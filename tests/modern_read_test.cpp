// RINEX 3 and 4, compact and compressed observation files read through the
// lumerak program: the stored observations against a fixed-column parse of
// the plain files, twins table by table, refused and cut files, and the
// names the export takes from files read in place, through a path and with
// long names.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "obsdb/schema.h"
#include "tests/testkit/tables_for_tests.h"
#include "tests/testkit/testkit.h"

namespace {

using testkit::RunResult;
using testkit::ScratchDir;

std::string columns(const std::string& line, std::size_t first, std::size_t count) {
    return first < line.size() ? line.substr(first, count) : "";
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

RunResult read_into(const std::string& dir, const std::string& name) {
    testkit::copy_test_data(name, dir);
    return testkit::run_lumerak({"-r" + name}, dir);
}

// The types that fill the slots C1, P1, L1, P2, L2 for one system ("" none),
// worked out by hand from the file's header and the preference table.
using SlotTypes = std::map<char, std::vector<std::string>>;

using tables::Observation;

// The observations of a plain RINEX 3 file read by the format's columns,
// with the slots taken from `slots`. Strength digits that the file leaves
// blank are not predicted here (marked '?').
std::vector<Observation> parse3(const std::string& path, const SlotTypes& slots) {
    const std::vector<std::string> lines = testkit::lines_of(testkit::read_file(path));
    std::map<char, std::vector<std::string>> types;
    char last_system = ' ';
    std::size_t i = 0;
    for (; !contains(lines.at(i), "END OF HEADER"); ++i) {
        if (!contains(lines[i], "SYS / # / OBS TYPES")) continue;
        if (lines[i][0] != ' ') last_system = lines[i][0];
        for (std::size_t c = 7; c + 3 <= 58; c += 4) {
            const std::string type = columns(lines[i], c, 3);
            if (type.empty() || type == "   ") break;
            types[last_system].push_back(type);
        }
    }
    std::vector<Observation> out;
    while (++i < lines.size()) {
        std::string line = lines[i];
        if (!line.empty() && line.back() == '\r') line.pop_back();
        EXPECT_EQ(line.at(0), '>') << path << " line " << i + 1;
        const int flag = line.at(31) - '0';
        const int count = std::atoi(columns(line, 32, 3).c_str());
        if (flag > 1) {
            i += static_cast<std::size_t>(count);
            continue;
        }
        const double epoch = time_value(
            std::atoi(columns(line, 2, 4).c_str()), std::atoi(columns(line, 7, 2).c_str()),
            std::atoi(columns(line, 10, 2).c_str()), std::atoi(columns(line, 13, 2).c_str()),
            std::atoi(columns(line, 16, 2).c_str()), std::atof(columns(line, 18, 11).c_str()));
        for (int s = 0; s < count; ++s) {
            std::string sat = lines.at(++i);
            if (!sat.empty() && sat.back() == '\r') sat.pop_back();
            Observation o{sat.substr(0, 3), epoch, {}};
            if (o.prn[1] == ' ') o.prn[1] = '0';
            const std::vector<std::string>& list = types.at(o.prn[0]);
            for (int slot = 0; slot < OBS_SLOTS; ++slot) {
                const std::string& want = slots.at(o.prn[0]).at(static_cast<std::size_t>(slot));
                std::size_t k = 0;
                while (k < list.size() && list[k] != want) ++k;
                if (want.empty() || k == list.size()) {
                    o.obs[slot] = {0, '\0', '\0', {}};
                    continue;
                }
                const std::string field = columns(sat, 3 + 16 * k, 16) + std::string(16, ' ');
                char snr = field[15];
                if (snr == ' ' && (slot == OBS_L1 || slot == OBS_L2)) snr = '?';
                o.obs[slot] = {
                    std::strtod(field.substr(0, 14).c_str(), nullptr), field[14], snr, {}};
            }
            out.push_back(o);
        }
    }
    return out;
}

struct PlainFile {
    const char* name;
    SlotTypes slots;
};

const PlainFile plain_files[] = {
    {"ACOR00ESP_R_20213550000_01D_30S_MO.rnx",
     {{'G', {"C1C", "", "L1C", "C2W", "L2W"}},
      {'R', {"C1C", "", "L1C", "C2P", "L2P"}},
      {'E', {"C1C", "", "L1C", "C5Q", "L5Q"}},
      {'C', {"C2I", "", "L2I", "C7I", "L7I"}}}},
    {"TWTF00TWN_R_20232490000_01D_30S_MO.rnx",
     {{'G', {"C1C", "C1W", "L1C", "C2W", "L2W"}},
      {'R', {"C1C", "", "L1C", "C2P", "L2P"}},
      {'E', {"C1C", "", "L1C", "C5Q", "L5Q"}},
      {'C', {"C2I", "", "L2I", "C7I", "L7I"}},
      {'J', {"C1C", "", "L1C", "C2L", "L2L"}},
      {'S', {"C1C", "", "L1C", "", ""}}}},
    {"LARM0010.22O",
     {{'G', {"C1C", "", "L1C", "C2W", "L2W"}}, {'R', {"C1C", "", "L1C", "C2P", "L2P"}}}},
    {"nrmg0150.16o",
     {{'G', {"C1C", "", "L1C", "C2W", "L2W"}},
      {'R', {"C1C", "C1P", "L1C", "C2P", "L2P"}},
      {'E', {"C1X", "", "L1X", "C5X", "L5X"}},
      {'C', {"C1I", "", "L1I", "C7I", "L7I"}},
      {'J', {"C1C", "", "L1C", "C2X", "L2X"}},
      {'S', {"C1C", "", "L1C", "C5I", "L5I"}}}},
    {"sptu0150.16o",
     {{'G', {"C1C", "", "L1C", "C2W", "L2W"}},
      {'R', {"C1C", "C1P", "L1C", "C2P", "L2P"}},
      {'E', {"C1X", "", "L1X", "C5X", "L5X"}},
      {'C', {"C2I", "", "L2I", "C7I", "L7I"}}}},
    {"sample.rnx",
     {{'G', {"C1C", "C1P", "L1C", "C2P", "L2P"}},
      {'R', {"C1C", "", "L1C", "", ""}},
      {'S', {"C1C", "", "L1C", "", ""}}}},
};

// Every plain RINEX 3 file: each satellite line one observation record with
// the slots of its system, every system's satellites kept.
TEST(ModernRead, PlainRinex3FilesStoreEverySatelliteLineWithTheSlotsOfItsSystem) {
    for (const PlainFile& file : plain_files) {
        SCOPED_TRACE(file.name);
        ScratchDir dir;
        const RunResult run = read_into(dir.path(), file.name);
        ASSERT_EQ(run.status, 0) << run.err;
        const auto expected = parse3(testkit::test_data_path(file.name), file.slots);
        const auto got = tables::stored_observations(dir.path());
        char count[80];
        std::snprintf(count, sizeof count, "\nEs wurden %zu Eintraege in der Obs-Datei erzeugt.\n",
                      expected.size());
        EXPECT_TRUE(contains(run.out, count)) << run.out;
        ASSERT_TRUE(tables::same_observations(got, expected));
        std::set<std::string> prns;
        for (const Observation& o : got) prns.insert(o.prn);
        EXPECT_EQ(tables::records<sat_record>(dir.path(), table_sat).size(), prns.size());
        EXPECT_EQ(tables::records<satocc_record>(dir.path(), table_satocc).size(), prns.size());
        const auto occ = tables::records<occ_record>(dir.path(), table_occ);
        ASSERT_EQ(occ.size(), 1u);
        EXPECT_EQ(double{occ[0].first_epoch}, expected.front().epoch);
        EXPECT_EQ(double{occ[0].last_epoch}, expected.back().epoch);
        EXPECT_EQ(occ[0].wlf_l1, 1);
        EXPECT_EQ(occ[0].wlf_l2, 1);
    }
}

TEST(ModernRead, HeaderValuesAndDerivedIntervalOfARealFile) {
    ScratchDir dir;
    ASSERT_EQ(read_into(dir.path(), "ACOR00ESP_R_20213550000_01D_30S_MO.rnx").status, 0);
    const occ_record occ = tables::records<occ_record>(dir.path(), table_occ).at(0);
    EXPECT_STREQ(occ.rinex_file, "ACOR00ESP_R_20213550000_01D_30S_MO.rnx");
    EXPECT_EQ(+occ.delta_h, 3.046);
    EXPECT_EQ(occ.interval, 30);
    EXPECT_EQ(tables::local_text(+occ.first_epoch), "2021-12-21 00:00:00");
    const sta_record sta = tables::records<sta_record>(dir.path(), table_sta).at(0);
    EXPECT_STREQ(sta.marker_name, "ACOR");
    EXPECT_STREQ(sta.marker_number, "13434M001");
    const rcv_record rcv = tables::records<rcv_record>(dir.path(), table_rec).at(0);
    EXPECT_STREQ(rcv.rcv_number, "1833574");
    EXPECT_STREQ(rcv.rcv_type, "LEICA GR50");

    // Without INTERVAL the first two distinct epochs give it (sample.rnx has
    // one epoch: 0; a two-epoch copy of ACOR without the line: 30).
    std::string text =
        testkit::read_file(testkit::test_data_path("ACOR00ESP_R_20213550000_01D_30S_MO.rnx"));
    const std::size_t at =
        text.find("    30.000                                                  INTERVAL\n");
    ASSERT_NE(at, std::string::npos);
    text.erase(at, 81);
    ScratchDir derived;
    testkit::write_file(derived.file("ACOR0010.21o"), text);
    ASSERT_EQ(testkit::run_lumerak({"-rACOR0010.21o"}, derived.path()).status, 0);
    EXPECT_EQ(tables::records<occ_record>(derived.path(), table_occ).at(0).interval, 30);
}

// Special records (flags 2 to 5: header lines) and cycle-slip records (flag
// 6: satellite lines) are neither epochs nor observations; flag 1 is an
// epoch. A second epoch 30 s later gives the interval.
TEST(ModernRead, EventRecordsAreNeitherEpochsNorObservations) {
    const std::string sample = testkit::read_file(testkit::test_data_path("sample.rnx"));
    const std::size_t data = sample.find("> 2010");
    const std::string header = sample.substr(0, data);
    std::string epoch = sample.substr(data);
    std::string second = epoch;
    second.replace(0, second.find('\n'), "> 2010 03 05 00 01 00.0000000  1  8");
    std::string slip = epoch.substr(epoch.find('\n') + 1);
    slip = slip.substr(0, slip.find('\n', slip.find('\n') + 1) + 1);  // two satellite lines
    const std::string events =
        "> 2010 03 05 00 00 40.0000000  4  2\n"
        "NEW SITE                                                    COMMENT\n"
        "G13 130321269.80108                                         COMMENT\n"
        "> 2010 03 05 00 00 50.0000000  6  2\n" +
        slip;
    ScratchDir dir;
    testkit::write_file(dir.file("events.rnx"), header + epoch + events + second);
    const RunResult run = testkit::run_lumerak({"-revents.rnx"}, dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    const auto got = tables::stored_observations(dir.path());
    ASSERT_EQ(got.size(), 16u);
    EXPECT_EQ(got[8].epoch - got[7].epoch, 30.0);
    EXPECT_EQ(tables::records<occ_record>(dir.path(), table_occ).at(0).interval, 30);
    EXPECT_EQ(tables::records<sat_record>(dir.path(), table_sat).size(), 8u);
}

// The L1 and L2 slots take their strength from the S type of the same
// signal only where the file's own digit is blank. sample.rnx has S1P and
// S2P for GPS (L1C has no S1C) and S1C for GLONASS; the copy blanks every
// strength digit of the first epoch's lines.
TEST(ModernRead, StrengthDigitFromTheSignalsCarrierToNoise) {
    const std::vector<std::string> lines =
        testkit::lines_of(testkit::read_file(testkit::test_data_path("sample.rnx")));
    std::string text;
    bool data = false;
    for (std::string line : lines) {
        if (data && line[0] != '>') {
            for (std::size_t digit = 3 + 15; digit < line.size(); digit += 16) line[digit] = ' ';
        }
        if (contains(line, "END OF HEADER")) data = true;
        text += line + "\n";
    }
    ScratchDir dir;
    testkit::write_file(dir.file("blank.rnx"), text);
    ASSERT_EQ(testkit::run_lumerak({"-rblank.rnx"}, dir.path()).status, 0);
    const auto got = tables::stored_observations(dir.path());
    ASSERT_EQ(got.size(), 8u);
    // G13: S2P 80.000 -> '9'; no S1C -> L1 stays blank.
    EXPECT_EQ(got[0].prn, "G13");
    EXPECT_EQ(got[0].obs[OBS_L1].snr, ' ');
    EXPECT_EQ(got[0].obs[OBS_L2].snr, '9');
    // R19: S1C 47.000 -> '7'; R23 79.000 -> '9'; R11 38.000 -> '6'.
    EXPECT_EQ(got[1].prn, "R19");
    EXPECT_EQ(got[1].obs[OBS_L1].snr, '7');
    EXPECT_EQ(got[4].prn, "R23");
    EXPECT_EQ(got[4].obs[OBS_L1].snr, '9');
    EXPECT_EQ(got[7].prn, "R11");
    EXPECT_EQ(got[7].obs[OBS_L1].snr, '6');
    // G20: S2P 46.000 -> '7'. Own digits win: the file as it stands keeps 8.
    EXPECT_EQ(got[6].prn, "G20");
    EXPECT_EQ(got[6].obs[OBS_L2].snr, '7');
    ScratchDir plain;
    ASSERT_EQ(read_into(plain.path(), "sample.rnx").status, 0);
    EXPECT_EQ(tables::stored_observations(plain.path()).at(6).obs[OBS_L2].snr, '8');
}

// The record files of a read, the occupation's file name left out (it is
// the one thing that depends on the name).
std::map<std::string, std::string> table_bytes(const std::string& dir) {
    std::map<std::string, std::string> out;
    for (const char* table : {table_sta, table_cor, table_rec, table_ant, table_occ, table_sat,
                              table_satocc, table_obs}) {
        std::string bytes = testkit::read_file(dir + "/" + table + ".DAT");
        if (table == std::string(table_occ)) {
            for (std::size_t at = sizeof(occ_record); at + sizeof(occ_record) <= bytes.size();
                 at += sizeof(occ_record))
                bytes.replace(at + offsetof(occ_record, rinex_file), sizeof(occ_record::rinex_file),
                              sizeof(occ_record::rinex_file), '\0');
        }
        out[table] = bytes;
    }
    return out;
}

// Compact and compressed files give exactly the tables of their plain twin.
TEST(ModernRead, CompactAndCompressedFilesGiveTheTablesOfTheirPlainTwin) {
    const std::pair<const char*, const char*> twins[] = {
        {"ACOR00ESP_R_20213550000_01D_30S_MO.crx", "ACOR00ESP_R_20213550000_01D_30S_MO.rnx"},
        {"sample.crx", "sample.rnx"},
        {"sample.crx.gz", "sample.rnx"},
        {"sample.crx.Z", "sample.rnx"},
        {"sample.rnx.gz", "sample.rnx"},
        {"sample.rnx.Z", "sample.rnx"},
        {"aopr0010.17d", "aopr0010.17o"},
        {"KOSG0010.95D", "KOSG0010.95O"},
        {"delf0010.21d", "delf0010.21o"},
        {"npaz3550.21d", "npaz3550.21o"},
        {"bogi1210.09d.Z", "bogi1210.09o"},
    };
    for (const auto& [wrapped, plain] : twins) {
        SCOPED_TRACE(wrapped);
        ScratchDir a, b;
        const RunResult run = read_into(a.path(), wrapped);
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_EQ(read_into(b.path(), plain).status, 0);
        const auto got = table_bytes(a.path());
        const auto want = table_bytes(b.path());
        for (const auto& [table, bytes] : want) {
            EXPECT_GT(bytes.size(), 0u) << table;
            EXPECT_TRUE(got.at(table) == bytes) << table;
        }
        // A RINEX 3 file keeps its name, with or without an antenna line (the
        // sample files lack it); a RINEX 2 file stores it with that line.
        const std::string stored_name =
            tables::records<occ_record>(a.path(), table_occ).at(0).rinex_file;
        const std::string plain_text = testkit::read_file(testkit::test_data_path(plain));
        const bool named = contains(plain_text, "ANTENNA: DELTA H/E/N") ||
                           plain_text.compare(0, 9, "     3.01") == 0;
        EXPECT_EQ(stored_name, named ? wrapped : "") << wrapped;
    }
    // RINEX 4 inside compact RINEX 3.0 (no plain twin): 19 epochs, all systems.
    ScratchDir kms;
    ASSERT_EQ(read_into(kms.path(), "KMS300DNK_R_20221591000_01H_30S_MO.crx").status, 0);
    std::set<char> systems;
    std::set<double> epochs;
    for (const Observation& o : tables::stored_observations(kms.path())) {
        systems.insert(o.prn[0]);
        epochs.insert(o.epoch);
    }
    EXPECT_EQ(epochs.size(), 19u);
    EXPECT_EQ(systems, (std::set<char>{'C', 'E', 'G', 'J', 'R', 'S'}));
}

bool no_tables(const std::string& dir) {
    for (const char* table : {table_sta, table_cor, table_rec, table_ant, table_occ})
        if (testkit::file_exists(dir + "/" + table + ".DAT")) return false;
    return true;
}

std::string first_line(const char* version_and_type) {
    std::string line = version_and_type;
    line.resize(60, ' ');
    return line + "RINEX VERSION / TYPE\n";
}

// Files of another kind end the read before any table is made.
TEST(ModernRead, OtherFilesAreRefusedBeforeAnyTable) {
    const std::string tail = std::string(60, ' ') + "END OF HEADER\n";
    const std::pair<std::string, std::string> cases[] = {
        // Navigation files are read (tests/nav_read_test.cpp); meteorological
        // and clock files are not.
        {first_line("     3.04           M: METEOROLOGICAL DATA") + tail,
         "'bad.rnx': a file of meteorological data (type M), not of observation data"},
        {first_line("     1.00           OBSERVATION DATA    G (GPS)") + tail,
         "'bad.rnx': RINEX version 1.00 is not read (only 2.xx, 3.xx, 4.xx)"},
        {"just some text\n", "'bad.rnx': the first line is not a RINEX VERSION / TYPE line"},
        {"", "'bad.rnx': the file is empty"},
        {"3.0                 COMPACT RINEX FORMAT                    CRINEX VERS   / TYPE\n"
         "RNX2CRX ver.4.0.7                       28-Dec-21 00:13     CRINEX PROG / DATE\n" +
             first_line("     2.11           OBSERVATION DATA    G (GPS)") + tail,
         "'bad.rnx': line 3: compact RINEX 3.0 must hold RINEX version 3 or later"},
    };
    for (const auto& [content, message] : cases) {
        ScratchDir dir;
        testkit::write_file(dir.file("bad.rnx"), content);
        const RunResult run = testkit::run_lumerak({"-rbad.rnx"}, dir.path());
        EXPECT_EQ(run.status, 1) << message;
        EXPECT_EQ(run.err, "'bad.rnx' read into database\n\nError in Zeile 0   : " + message +
                               "\n\nNothing of 'bad.rnx' was added to the database.\n");
        EXPECT_TRUE(no_tables(dir.path())) << message;
    }
}

// A cut or damaged input is an error, never a successful read.
TEST(ModernRead, CutAndDamagedFilesEndTheReadWithAnError) {
    const std::string crx =
        testkit::read_file(testkit::test_data_path("ACOR00ESP_R_20213550000_01D_30S_MO.crx"));
    const std::string rnx =
        testkit::read_file(testkit::test_data_path("ACOR00ESP_R_20213550000_01D_30S_MO.rnx"));
    const std::string gz = testkit::read_file(testkit::test_data_path("sample.rnx.gz"));
    std::string bad_gz = gz;
    bad_gz[gz.size() / 2] = static_cast<char>(bad_gz[gz.size() / 2] ^ 0x55);
    const std::size_t cut_line = crx.find('\n', crx.size() / 2) + 1;  // a whole line
    // Inside the second epoch, after its first satellite line.
    const std::size_t second_epoch = rnx.find("\n>", rnx.find("\n>") + 1);
    ASSERT_NE(second_epoch, std::string::npos);
    const std::size_t rnx_cut = rnx.find("\nG", second_epoch + 1) + 1;
    const struct {
        std::string name;
        std::string content;
        std::string message;
    } cases[] = {
        {"cut.crx", crx.substr(0, crx.size() / 2), "'cut.crx': line "},
        {"cut2.crx", crx.substr(0, cut_line), "'cut2.crx': line "},
        {"cut.rnx.gz", gz.substr(0, gz.size() - 20), "'cut.rnx.gz': cut gzip stream"},
        {"bad.rnx.gz", bad_gz, "'bad.rnx.gz': "},
        {"cut.rnx", rnx.substr(0, rnx_cut),
         "'cut.rnx': the file ends inside the epoch record of line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        testkit::write_file(dir.file(c.name), c.content);
        const RunResult run = testkit::run_lumerak({"-r" + c.name}, dir.path());
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(contains(run.err, "\nError in Zeile 0   : " + c.message)) << run.err;
        EXPECT_FALSE(contains(run.err, "done.")) << run.err;
        EXPECT_FALSE(contains(run.out, "Eintraege")) << run.out;
    }
}

std::vector<std::string> export_lines(const std::string& dir, const char* extension) {
    EXPECT_EQ(testkit::run_lumerak({"-aCAMP"}, dir).status, 0);
    std::vector<std::string> out;
    for (const std::string& line : testkit::lines_of(testkit::read_file(dir + "/CAMP" + extension)))
        if (line[0] != '#') out.push_back(line);
    return out;
}

// The occupation keeps the base name, so a read through a path exports,
// lists and plots as a read in place; long names give their station, day
// and session.
TEST(ModernRead, ExportNamesFromReadsInPlaceThroughPathsAndLongNames) {
    ScratchDir here, there;
    ASSERT_EQ(read_into(here.path(), "07590920.05o").status, 0);
    const std::string sub = there.file("data");
    ASSERT_EQ(std::system(("mkdir -p '" + sub + "/a/b' '" + there.file("work") + "'").c_str()), 0);
    testkit::copy_test_data("07590920.05o", sub);
    const RunResult run = testkit::run_lumerak({"-r../data/07590920.05o"}, there.file("work"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(export_lines(there.file("work"), ".OBS"), export_lines(here.path(), ".OBS"));
    EXPECT_EQ(export_lines(there.file("work"), ".STA"), export_lines(here.path(), ".STA"));
    EXPECT_EQ(export_lines(here.path(), ".OBS").at(0).substr(0, 15), "2005 092 0 0759");
    EXPECT_EQ(export_lines(here.path(), ".STA").at(0).substr(0, 7), "0759 1 ");

    // A folder part far longer than the stored name is accepted.
    std::string deep = sub;
    std::string relative = "../data";
    for (int i = 0; i < 12; ++i) {
        deep += "/folder-with-a-rather-long-name";
        relative += "/folder-with-a-rather-long-name";
    }
    ASSERT_EQ(std::system(("mkdir -p '" + deep + "'").c_str()), 0);
    testkit::copy_test_data("ACOR00ESP_R_20213550000_01D_30S_MO.crx", deep);
    ASSERT_GT(relative.size(), 300u);
    const RunResult long_run = testkit::run_lumerak(
        {"-r" + relative + "/ACOR00ESP_R_20213550000_01D_30S_MO.crx"}, there.file("work"));
    ASSERT_EQ(long_run.status, 0) << long_run.err;
    testkit::copy_test_data("KMS300DNK_R_20221591000_01H_30S_MO.crx", there.file("work"));
    ASSERT_EQ(testkit::run_lumerak({"-rKMS300DNK_R_20221591000_01H_30S_MO.crx"}, there.file("work"))
                  .status,
              0);
    const auto obs = export_lines(there.file("work"), ".OBS");
    ASSERT_EQ(obs.size(), 3u);
    std::set<std::string> heads;
    for (const std::string& line : obs) heads.insert(line.substr(0, 15));
    // ACOR: day 355, one day of data, session 0; KMS3: day 159 from 10:00,
    // one hour, session 'k'.
    EXPECT_EQ(heads,
              (std::set<std::string>{"2005 092 0 0759", "2021 355 0 ACOR", "2022 159 k KMS3"}));
    const auto sta = export_lines(there.file("work"), ".STA");
    ASSERT_EQ(sta.size(), 3u);
    std::set<std::string> ids;
    for (const std::string& line : sta) ids.insert(line.substr(0, 7));
    EXPECT_EQ(ids, (std::set<std::string>{"0759 1 ", "ACOR 1 ", "KMS3 1 "}));

    // A name that does not fit the occupation is refused before any table.
    ScratchDir refused;
    const std::string name = std::string(78, 'n') + ".rnx";
    testkit::copy_test_data("sample.rnx", refused.path());
    ASSERT_EQ(std::rename(refused.file("sample.rnx").c_str(), refused.file(name).c_str()), 0);
    const RunResult too_long = testkit::run_lumerak({"-r" + name}, refused.path());
    EXPECT_EQ(too_long.status, 1);
    EXPECT_TRUE(
        contains(too_long.err, "\nError in Zeile 0   : File name longer than 80 characters: 'nnn"))
        << too_long.err;
    EXPECT_TRUE(no_tables(refused.path()));
}

// Listing and plot of a mixed file show every system's satellites.
TEST(ModernRead, ListingAndPlotOfAMixedFile) {
    ScratchDir dir;
    ASSERT_EQ(read_into(dir.path(), "TWTF00TWN_R_20232490000_01D_30S_MO.rnx").status, 0);
    const RunResult run = testkit::run_lumerak({"-sLIST.TXT", "-g"}, dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    // 45 satellites of six systems, each listed as it stands ("Sats:" rows
    // end with the identifier).
    const std::string listing = testkit::read_file(dir.file("LIST.TXT"));
    const std::string sats = listing.substr(listing.find("\nSats:\n"));
    for (const char* prn :
         {"C01", "C34", "E07", "E31", "G04", "G22", "J02", "J03", "R02", "R18", "S22", "S44"})
        EXPECT_TRUE(contains(sats, std::string(" ") + prn + " \n")) << prn;
    // The page has a row for every satellite.
    const std::string page = testkit::read_file(dir.file("TWTF-1.ps"));
    for (const char* prn : {"(C01)", "(C34)", "(E07)", "(G04)", "(G22)", "(J02)", "(R02)", "(R03)",
                            "(R04)", "(S44)"})
        EXPECT_TRUE(contains(page, prn)) << prn;
    EXPECT_TRUE(contains(page, "TWTF00TWN_R_20232490000_01D_30S_MO.rnx"));
    if (std::system("command -v gs >/dev/null 2>&1") == 0) {
        const std::string command =
            "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r40 -sOutputFile='" +
            dir.file("page.png") + "' '" + dir.file("TWTF-1.ps") + "' 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0);
        EXPECT_GT(testkit::read_file(dir.file("page.png")).size(), 1000u);
    }
}

}  // namespace
