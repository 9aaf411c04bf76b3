// Navigation files read by the real program: every version and wrapping
// under any name, each ephemeris stored once, the records' bytes on disk,
// the listing's new sections after unchanged observation sections, and bad
// input refused with the campaign untouched.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "obsdb/nav_tables.h"
#include "obsdb/schema.h"
#include "obsdb/signal_tables.h"
#include "tests/testkit/testkit.h"

using testkit::run_lumerak;
using testkit::RunResult;
using testkit::ScratchDir;

namespace {

// The campaign's files (zz*) by name.
std::map<std::string, std::string> campaign(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("zz")) files[name] = testkit::read_file(entry.path().string());
    }
    return files;
}

template <typename T>
T at(const std::string& bytes, std::size_t offset) {
    T value{};
    if (offset + sizeof value <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

}  // namespace

// The counts the read prints, for a file under another name where the
// content alone tells what it is.
TEST(NavRead, EveryVersionAndWrappingUnderAnyName) {
    struct Row {
        const char* file;
        const char* name;
        const char* out_end;
        const char* err;
    } rows[] = {
        {"AMEL00NLD_R_20210010000_01D_MN.rnx", "amel.txt",
         "\n      54 Zeilen gelesen.\n\n6 ephemerides stored, 0 already in the database.\n",
         "RINEX-file (Version 3.04, Type NAVIGATION) found.\n"},
        {"cbw10010.21n.Z", "brdc.dat",
         "\n    1504 Zeilen gelesen.\n\n187 ephemerides stored, 0 already in the database.\n",
         "RINEX-file (Version 2.11, Type N:) found.\n"},
        {"KMS300DNK_R_20221591000_01H_MN.rnx.gz", "kms.o",
         "\n    2533 Zeilen gelesen.\n\n199 ephemerides stored, 0 already in the database.\n"
         "Records passed over: 3 ION, 3 STO, 158 S SBAS.\n",
         "RINEX-file (Version 4.00, Type N:) found.\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        ScratchDir dir;
        std::filesystem::copy_file(testkit::test_data_path(row.file), dir.file(row.name));
        const RunResult r = run_lumerak({std::string("-r") + row.name}, dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.out.ends_with(row.out_end)) << r.out;
        EXPECT_EQ(r.err, std::string("'") + row.name + "' read into database\n" + row.err + "done.\n");
    }
}

// Read again, under another name and wrapping, or from a second file that
// shares some: each ephemeris and each file header is stored once.
TEST(NavRead, TheSameEphemerisIsStoredOnce) {
    ScratchDir dir;
    testkit::copy_test_data("cbw10010.21n.gz", dir.path());
    std::filesystem::copy_file(testkit::test_data_path("cbw10010.21n.Z"), dir.file("again"));
    ASSERT_EQ(run_lumerak({"-rcbw10010.21n.gz"}, dir.path()).status, 0);
    const auto first = campaign(dir.path());
    const RunResult again = run_lumerak({"-ragain"}, dir.path());
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(again.out.ends_with("\n0 ephemerides stored, 187 already in the database.\n")) << again.out;
    EXPECT_EQ(campaign(dir.path()), first);

    // A file with the same records and one changed: only that one is added.
    std::string text = testkit::read_file(testkit::test_data_path("dlf10010.21g"));
    testkit::write_file(dir.file("dlf.21g"), text);
    ASSERT_EQ(run_lumerak({"-rdlf.21g"}, dir.path()).status, 0);
    const std::size_t epoch = text.find("17 20 12 31 23 45  0.0");
    ASSERT_NE(epoch, std::string::npos);
    text.replace(epoch, 22, "17 20 12 31 23 15  0.0");
    testkit::write_file(dir.file("dlf2.21g"), text);
    const RunResult shared = run_lumerak({"-rdlf2.21g"}, dir.path());
    EXPECT_TRUE(shared.out.ends_with("\n1 ephemerides stored, 6 already in the database.\n")) << shared.out;
    const auto files = campaign(dir.path());
    EXPECT_EQ(files.at("zzEPH.DAT").size(), (1 + 187 + 7 + 1) * sizeof(eph_record));
    EXPECT_EQ(files.at("zzNAV.DAT").size(), (1 + 3) * sizeof(nav_record));
}

// The record images as the tables hold them (record 1 at byte offset one
// record size): the file's first ephemeris, and its header, in the values the
// listing does not show.
TEST(NavRead, RecordBytesOnDisk) {
    ScratchDir dir;
    testkit::copy_test_data("AMEL00NLD_R_20210010000_01D_MN.rnx", dir.path());
    ASSERT_EQ(run_lumerak({"-rAMEL00NLD_R_20210010000_01D_MN.rnx"}, dir.path()).status, 0);
    const std::string eph = testkit::read_file(dir.file("zzEPH.DAT"));
    ASSERT_EQ(eph.size(), 7 * sizeof(eph_record));
    const std::size_t c05 = sizeof(eph_record);
    EXPECT_EQ(at<double>(eph, c05 + 20 + 8 * 30), 0.0);            // last value
    EXPECT_EQ(at<double>(eph, c05 + 20 + 8 * 27), .432000000000e+06);

    const std::string nav = testkit::read_file(dir.file("zzNAV.DAT"));
    ASSERT_EQ(nav.size(), 2 * sizeof(nav_record));
    const std::size_t h = sizeof(nav_record);
    EXPECT_EQ(at<double>(nav, h + 116), 7.4510e-09);     // GPSA
    EXPECT_EQ(at<double>(nav, h + 148 + 24), 4.5880e+05);  // GPSB, fourth
    EXPECT_EQ(at<double>(nav, h + 212), 6.9630e+04);     // QZSB, first
    EXPECT_EQ(at<double>(nav, h + 308), 6.6250e+01);     // GAL
}

// Read before or after an observation file: the listing's observation
// sections stay line for line, the navigation sections follow them.
TEST(NavRead, ListingAddsItsSectionsAfterTheObservationTables) {
    const std::string nav_sections =
        "Navigation files:\n"
        " 1  340 AMEL00NLD_R_20210010000_01D_MN.rnx M 3.04     6 1609459200 1609515600  18 1B\n"
        "Ephemerides:\n"
        "   1     268 C05 D2   1609459200    1 -4.263372393320E-04\n"
        "   2     536 C21 D1   1609477200    1 -7.751563098280E-04\n"
        "   3     804 E01 FNAV 1609495800   13 -1.015538116920E-03\n"
        "   4    1072 E03 FNAV 1609515600   46 -3.825202002190E-04\n"
        "   5    1340 R07 FDMA 1609494300    0 -4.201009869580E-05\n"
        "   6    1608 R19 FDMA 1609460100    0 -1.260237768290E-04\n";
    ScratchDir plain, before, after, only;
    for (const ScratchDir* dir : {&plain, &before, &after, &only}) {
        testkit::copy_test_data("07590920.05o", dir->path());
        testkit::copy_test_data("AMEL00NLD_R_20210010000_01D_MN.rnx", dir->path());
    }
    auto run = [](const ScratchDir& dir, std::vector<std::string> args) {
        const RunResult r = run_lumerak(args, dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
        return testkit::read_file(dir.file("list.txt"));
    };
    const std::string observations = run(plain, {"-r07590920.05o", "-slist.txt"});
    run(before, {"-rAMEL00NLD_R_20210010000_01D_MN.rnx"});
    EXPECT_EQ(run(before, {"-r07590920.05o", "-slist.txt"}), observations + nav_sections);
    run(after, {"-r07590920.05o"});
    EXPECT_EQ(run(after, {"-rAMEL00NLD_R_20210010000_01D_MN.rnx", "-slist.txt"}),
              observations + nav_sections);
    EXPECT_EQ(run(only, {"-rAMEL00NLD_R_20210010000_01D_MN.rnx", "-slist.txt"}), nav_sections);
}

// Bad input: the file and line named, status 1, every table as before.
TEST(NavRead, BadInputLeavesTheCampaignUntouched) {
    const std::string good = testkit::read_file(testkit::test_data_path("AMEL00NLD_R_20210010000_01D_MN.rnx"));
    auto changed = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
        return text;
    };
    struct Row {
        std::string text;
        const char* error;
    } rows[] = {
        {changed(".118906250000e+02", ".11890625000Qe+02"),
         "'bad.nav': line 16: bad number in a broadcast-orbit line\n"},
        {changed("END OF HEADER", "END OF HEADEX"), "'bad.nav': line 54: no END OF HEADER line\n"},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        testkit::copy_test_data("07590920.05o", dir.path());
        testkit::copy_test_data("dlf10010.21g", dir.path());
        ASSERT_EQ(run_lumerak({"-r07590920.05o", "-rdlf10010.21g"}, dir.path()).status, 0);
        const auto before = campaign(dir.path());
        testkit::write_file(dir.file("bad.nav"), row.text);
        const RunResult r = run_lumerak({"-rbad.nav"}, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.ends_with(std::string(row.error) +
                                         "\nNothing of 'bad.nav' was added to the database.\n"))
            << r.err;
        EXPECT_EQ(campaign(dir.path()), before);
    }
}

// What the frequency computations read: the codes in an occupation's slots
// and a GLONASS satellite's channel, from the occupation's header first,
// else from any stored ephemeris.
TEST(NavRead, SignalsAndGlonassChannelsOfAnOccupation) {
    ScratchDir dir;
    testkit::copy_test_data("TWTF00TWN_R_20232490000_01D_30S_MO.rnx", dir.path());
    testkit::copy_test_data("07590920.05o", dir.path());
    testkit::copy_test_data("dlf10010.21g", dir.path());
    for (const char* file : {"-rTWTF00TWN_R_20232490000_01D_30S_MO.rnx", "-r07590920.05o", "-rdlf10010.21g"})
        ASSERT_EQ(run_lumerak({file}, dir.path()).status, 0) << file;
    const long twtf = sizeof(occ_record);       // the first occupation
    const long rinex2 = 2 * sizeof(occ_record);  // the second

    testkit::InDir in(dir.path());
    char codes[5][4];
    ASSERT_TRUE(occupation_signal_codes(twtf, 'C', codes));
    EXPECT_EQ(std::string(codes[0]) + codes[1] + "|" + codes[2] + codes[3] + codes[4], "C2I|L2IC7IL7I");
    ASSERT_TRUE(occupation_signal_codes(twtf, 'G', codes));
    EXPECT_EQ(std::string(codes[1]), "C1W");
    EXPECT_FALSE(occupation_signal_codes(twtf, 'I', codes));
    EXPECT_FALSE(occupation_signal_codes(rinex2, 'G', codes));
    EXPECT_EQ(std::string(codes[0]), "");

    struct Row {
        long occupation;
        int slot;
        bool known;
        int channel;
    } rows[] = {
        {twtf, 2, true, -4},    // header: R02 -4
        {twtf, 10, true, -7},   // header
        {twtf, 22, false, 0},   // neither header nor ephemeris
        {rinex2, 3, true, 5},   // ephemeris of R03
        {rinex2, 17, true, 4},  // ephemeris of R17
        {rinex2, 2, false, 0},  // none for R02
    };
    for (const Row& row : rows) {
        int channel = 99;
        EXPECT_EQ(glonass_channel(row.occupation, row.slot, &channel), row.known) << row.slot;
        if (row.known) {
            EXPECT_EQ(channel, row.channel) << row.slot;
        }
    }
}
