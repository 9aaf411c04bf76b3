// Cases found by fuzzing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>

#include "obsdb/schema.h"
#include "tests/testkit/testkit.h"

using testkit::ScratchDir;

namespace {

// Reads the test file `rinex` into a new campaign in `dir`.
void read_campaign(const ScratchDir& dir, const std::string& rinex) {
    testkit::copy_test_data(rinex, dir.path());
    ASSERT_EQ(testkit::run_lumerak({"-r" + rinex}, dir.path()).status, 0);
}

}  // namespace

// A damaged occupation record whose first epoch is no time the platform can
// convert exports with year 0 instead of converting an out-of-range value.
TEST(FuzzRegression, ExportOfAnImpossibleFirstEpoch) {
    ScratchDir dir;
    ASSERT_NO_FATAL_FAILURE(read_campaign(dir, "aopr0010.17o"));
    const std::string occupations = dir.file("zzOCC.DAT");
    const std::string intact = testkit::read_file(occupations);
    ASSERT_EQ(intact.size(), 2 * sizeof(occ_record));

    for (const double epoch : {-5.9901e106, 1e300, 1e15, std::nan("")}) {
        std::string damaged = intact;
        std::memcpy(damaged.data() + sizeof(occ_record) + offsetof(occ_record, first_epoch), &epoch,
                    sizeof epoch);
        testkit::write_file(occupations, damaged);
        const testkit::RunResult r = testkit::run_lumerak({"-aGN"}, dir.path());
        SCOPED_TRACE(epoch);
        EXPECT_EQ(r.status, 0) << r.err;
        const auto lines = testkit::lines_of(testkit::read_file(dir.file("GN.OBS")));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().substr(0, 12), "0 001 0 aopr");
    }
}

// Observations whose epoch is no time a calendar holds are checked without
// overflowing the conversion to calendar fields (the report shows them on
// 1 January 1900, as the pages do).
TEST(FuzzRegression, QualityCheckOfImpossibleEpochs) {
    ScratchDir dir;
    ASSERT_NO_FATAL_FAILURE(read_campaign(dir, "aopr0010.17o"));
    const std::string observations = dir.file("zzOBS.DAT");
    const std::string intact = testkit::read_file(observations);
    ASSERT_GT(intact.size(), 2 * sizeof(obs_record));

    for (const double epoch : {-1e300, 1e300, std::nan("")}) {
        std::string damaged = intact;
        for (std::size_t at = sizeof(obs_record); at + sizeof(obs_record) <= damaged.size();
             at += sizeof(obs_record))
            std::memcpy(damaged.data() + at + offsetof(obs_record, epoch), &epoch, sizeof epoch);
        testkit::write_file(observations, damaged);
        const testkit::RunResult r = testkit::run_lumerak({"-i"}, dir.path());
        SCOPED_TRACE(epoch);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string report = testkit::read_file(dir.file("zzQC.csv"));
        EXPECT_EQ(testkit::lines_of(report).size(), 2u) << report;
    }
}

// Observations whose values no receiver measures (a field like "24359E892.126"
// overflows to infinity when read) are checked as absent: the clock-jump
// test's prediction from them does not turn into a number no integer holds
// (which, for every satellite of an epoch alike, counted a clock jump), and
// the report stays finite.
TEST(FuzzRegression, QualityCheckOfValuesBeyondAnyRange) {
    ScratchDir dir;
    ASSERT_NO_FATAL_FAILURE(
        read_campaign(dir, "07590920.05o"));  // 120 epochs of about 8 satellites
    const std::string observations = dir.file("zzOBS.DAT");
    const std::string intact = testkit::read_file(observations);
    ASSERT_GT(intact.size(), 400 * sizeof(obs_record));

    for (const double value : {HUGE_VAL, -HUGE_VAL, std::nan(""), 1e300, -1e300}) {
        std::string damaged = intact;
        // Records 200 to 299: whole epochs in the middle of the hour.
        for (std::size_t record = 200; record < 300; ++record)
            for (int slot = 0; slot < OBS_SLOTS; ++slot)
                std::memcpy(damaged.data() + record * sizeof(obs_record) +
                                offsetof(obs_record, obs) +
                                static_cast<std::size_t>(slot) * sizeof(obs_value),
                            &value, sizeof value);
        testkit::write_file(observations, damaged);
        const testkit::RunResult r = testkit::run_lumerak({"-i"}, dir.path());
        SCOPED_TRACE(value);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string report = testkit::read_file(dir.file("zzQC.csv"));
        ASSERT_EQ(testkit::lines_of(report).size(), 2u) << report;
        EXPECT_EQ(report.find("nan"), std::string::npos) << report;
        EXPECT_EQ(report.find("inf"), std::string::npos) << report;
        const std::string slips = testkit::read_file(dir.file("zzSLIPS.csv"));
        EXPECT_EQ(slips.find(",clock,"), std::string::npos) << slips;
    }
}

// A damaged occupation record whose span no calendar holds draws no bar on
// the campaign's overview page, instead of converting its times.
TEST(FuzzRegression, OverviewOfAnImpossibleSpan) {
    ScratchDir dir;
    ASSERT_NO_FATAL_FAILURE(read_campaign(dir, "aopr0010.17o"));
    const std::string occupations = dir.file("zzOCC.DAT");
    const std::string intact = testkit::read_file(occupations);
    for (const double epoch : {1e300, 1e15, HUGE_VAL, std::nan("")}) {
        std::string damaged = intact;
        for (const std::size_t field :
             {offsetof(occ_record, first_epoch), offsetof(occ_record, last_epoch)})
            std::memcpy(damaged.data() + sizeof(occ_record) + field, &epoch, sizeof epoch);
        testkit::write_file(occupations, damaged);
        const testkit::RunResult r = testkit::run_lumerak({"-g"}, dir.path());
        SCOPED_TRACE(epoch);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string page = testkit::read_file(dir.file("zzCAMPAIGN.ps"));
        EXPECT_NE(page.find("(aopr)"), std::string::npos);
        EXPECT_EQ(page.find("(1)"), std::string::npos) << "a bar numbered 1";
    }
}
