// A record that cannot be read whole ends the listing, the export, the plot
// and the quality check with the file and the record named, never with the previous record's
// values passed on as this one's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "tests/testkit/testkit.h"

namespace {

struct DamageCase {
    const char* command;
    const char* cut_file;
    long record_size;
    const char* nav_file = nullptr;  // read after the observations
};

class DamagedRecord : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedRecord, EndsTheCommandNamingFileAndRecord) {
    const DamageCase& d = GetParam();
    testkit::ScratchDir dir;
    testkit::copy_test_data("07590920.05o", dir.path());
    ASSERT_EQ(testkit::run_lumerak({"-r07590920.05o"}, dir.path()).status, 0);
    if (d.nav_file) {
        testkit::copy_test_data(d.nav_file, dir.path());
        ASSERT_EQ(testkit::run_lumerak({std::string("-r") + d.nav_file}, dir.path()).status, 0);
    }

    // Cut 100 bytes off: the last record is gone, the one before it is cut.
    const std::string path = dir.file(d.cut_file);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    const long size = static_cast<long>(info.st_size) - 100;
    ASSERT_EQ(truncate(path.c_str(), size), 0);
    const long first_damaged = std::max(size / d.record_size, 1L) * d.record_size;

    const testkit::RunResult run = testkit::run_lumerak({d.command}, dir.path());
    EXPECT_EQ(run.status, 1);
    const std::string expected = "\nError in Zeile 0   : Damaged record file " +
                                 std::string(d.cut_file, 5) + ".DAT (record " +
                                 std::to_string(first_damaged) + ")\n";
    EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(CutFiles, DamagedRecord,
                         ::testing::Values(DamageCase{"-sLIST.TXT", "zzOBS.DAT", 72},
                                           DamageCase{"-g", "zzOBS.DAT", 72},
                                           DamageCase{"-i", "zzOBS.DAT", 72},
                                           DamageCase{"-sLIST.TXT", "zzOCC.DAT", 216},
                                           DamageCase{"-aCAMP", "zzOCC.DAT", 216},
                                           DamageCase{"-g", "zzOCC.DAT", 216},
                                           DamageCase{"-i", "zzEPH.DAT", 268, "dlf10010.21g"}));

TEST(DamagedRecord, AnExportedLinkPastTheEndOfItsTable) {
    testkit::ScratchDir dir;
    testkit::copy_test_data("07590920.05o", dir.path());
    ASSERT_EQ(testkit::run_lumerak({"-r07590920.05o"}, dir.path()).status, 0);
    // The occupation's station link points far past the station table.
    ASSERT_TRUE(testkit::write_int32_at(dir.file("zzOCC.DAT"), 216, 1000 * 88));

    const testkit::RunResult run = testkit::run_lumerak({"-aCAMP"}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("\nError in Zeile 0   : Damaged record file zzSTA.DAT (record 88000)\n"),
              std::string::npos)
        << run.err;
}

}  // namespace
