// A small campaign end to end: four observation files read into one database
// with the real program (two occupations of station 0759 on consecutive days,
// one of KOSG, one of aopr), then one run that lists, exports and plots. The
// listing, the four GEONAP files, the four plot pages and the standard output
// of that run are compared line by line with the reviewed copies in
// tests/golden, and so is a last run that plots ten minutes of the first
// occupation of 0759 alone, in portrait and with Cartesian coordinates.
//
// Masking rule: only two texts depend on the day the test runs, both in the
// plot pages: the value of the "%%CreationDate: " header line and the date
// "dd.mm.yyyy" in front of " QOR-VELD" in the footer. The expected pages hold
// @CREATION_DATE@ and @TODAY@ in their place. A value is replaced by its
// placeholder only when it is right: the creation date must be a second
// between the clock readings taken just before and just after the run, in
// the form "Www Mmm dd hh:mm:ss yyyy", and the footer date must be the local
// day of one of those readings. Anything else stays and fails the comparison.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "support/version.h"
#include "tests/testkit/testkit.h"

namespace {

namespace fs = std::filesystem;

const char* const zone = "Europe/Berlin";

// Files read, in this order, one per run. The second occupation of 0759 comes
// last, so the outputs show the occupations ordered by antenna (both 0759
// files share one), not by reading order. aopr0010.17o has no INTERVAL line:
// its interval is the spacing of its own first two epochs (12820 s).
const std::vector<std::string> rinex_files = {"07590920.05o", "KOSG0010.95O", "aopr0010.17o",
                                              "07590930.05o"};
// Observations each of them stores.
const std::vector<int> stored_observations = {948, 23, 30, 282};

const std::vector<std::string> plot_pages = {"0759-1.ps", "0759-2.ps", "KOSG-1.ps", "aopr-1.ps"};

// The single-station run and the page it writes.
const std::vector<std::string> single_station_run = {
    "-g", "-t0759", "-p", "-c", "-b02.04.05,00:20:00", "-e02.04.05,00:30:00"};
const char* const single_station_page = "07591.ps";

std::string golden_path(const std::string& name) {
    return (fs::path(testkit::test_data_path(name)).parent_path().parent_path() / "golden" / name)
        .string();
}

std::string local_text(std::time_t when, const char* format) {
    std::tm fields{};
    localtime_r(&when, &fields);
    char text[64];
    std::strftime(text, sizeof text, format, &fields);
    return text;
}

// True when `value` is a creation date written between `before` and `after`.
bool valid_creation_date(const std::string& value, std::time_t before, std::time_t after) {
    for (std::time_t when = before; when <= after; ++when)
        if (value == local_text(when, "%a %b %d %H:%M:%S %Y")) return true;
    return false;
}

// Replaces the two day-dependent texts of a plot page by their placeholders
// when they are right (see the masking rule at the top).
std::string mask_dates(const std::string& page, std::time_t before, std::time_t after) {
    const std::string creation = "%%CreationDate: ";
    const std::string footer_end = " QOR-VELD)";
    std::string masked;
    for (std::string line : testkit::lines_of(page)) {
        if (line.rfind(creation, 0) == 0 &&
            valid_creation_date(line.substr(creation.size()), before, after))
            line = creation + "@CREATION_DATE@";
        const auto end = line.find(footer_end);
        if (end != std::string::npos && end >= 10) {
            const std::string day = line.substr(end - 10, 10);
            if (day == local_text(before, "%d.%m.%Y") || day == local_text(after, "%d.%m.%Y"))
                line.replace(end - 10, 10, "@TODAY@");
        }
        masked += line + "\n";
    }
    return masked;
}

// Compares two texts and names the first line that differs.
::testing::AssertionResult same_text(const std::string& name, const std::string& expected,
                                     const std::string& actual) {
    const auto want = testkit::lines_of(expected);
    const auto got = testkit::lines_of(actual);
    for (std::size_t i = 0; i < want.size() && i < got.size(); ++i)
        if (want[i] != got[i])
            return ::testing::AssertionFailure() << name << " line " << i + 1 << "\n  expected: ["
                                                 << want[i] << "]\n  actual:   [" << got[i] << "]";
    if (want.size() != got.size())
        return ::testing::AssertionFailure()
               << name << ": " << got.size() << " lines, expected " << want.size();
    if (expected != actual)
        return ::testing::AssertionFailure() << name << ": same lines, different line ends";
    return ::testing::AssertionSuccess();
}

class GoldenCampaign : public ::testing::Test {
protected:
    // The database is built and the outputs written once for all tests.
    static void SetUpTestSuite() {
        setenv("TZ", zone, 1);
        tzset();
        dir_ = new testkit::ScratchDir;
        for (const auto& name : rinex_files) {
            testkit::copy_test_data(name, dir_->path());
            reads_.push_back(testkit::run_lumerak({"-r" + name}, dir_->path(), zone));
        }
        before_ = std::time(nullptr);
        output_run_ = testkit::run_lumerak({"-sCAMP.LST", "-aCAMP", "-g"}, dir_->path(), zone);
        single_run_ = testkit::run_lumerak(single_station_run, dir_->path(), zone);
        after_ = std::time(nullptr);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
        reads_.clear();
    }

    static std::string output(const std::string& name) {
        return testkit::read_file(dir_->file(name));
    }

    static testkit::ScratchDir* dir_;
    static std::vector<testkit::RunResult> reads_;
    static testkit::RunResult output_run_;
    static testkit::RunResult single_run_;
    static std::time_t before_, after_;
};

testkit::ScratchDir* GoldenCampaign::dir_ = nullptr;
std::vector<testkit::RunResult> GoldenCampaign::reads_;
testkit::RunResult GoldenCampaign::output_run_;
testkit::RunResult GoldenCampaign::single_run_;
std::time_t GoldenCampaign::before_ = 0;
std::time_t GoldenCampaign::after_ = 0;

TEST_F(GoldenCampaign, EveryFileIsReadWithItsObservationCount) {
    ASSERT_EQ(reads_.size(), rinex_files.size());
    for (std::size_t i = 0; i < reads_.size(); ++i) {
        SCOPED_TRACE(rinex_files[i]);
        EXPECT_EQ(reads_[i].status, 0) << reads_[i].err;
        const std::string count_line = "Es wurden " + std::to_string(stored_observations[i]) +
                                       " Eintraege in der Obs-Datei erzeugt.";
        EXPECT_NE(reads_[i].out.find("\n" + count_line + "\n"), std::string::npos) << reads_[i].out;
    }
}

TEST_F(GoldenCampaign, OutputRunEndsNormallyWithTheExpectedConsole) {
    EXPECT_EQ(output_run_.status, 0) << output_run_.err;
    EXPECT_TRUE(same_text("standard output", testkit::read_file(golden_path("console.out")),
                          output_run_.out));
}

TEST_F(GoldenCampaign, ListingMatches) {
    EXPECT_TRUE(
        same_text("CAMP.LST", testkit::read_file(golden_path("CAMP.LST")), output("CAMP.LST")));
}

TEST_F(GoldenCampaign, GeonapFilesMatch) {
    for (const char* name : {"CAMP.STA", "CAMP.OBS", "CAMP.RCV", "CAMP.ANT"})
        EXPECT_TRUE(same_text(name, testkit::read_file(golden_path(name)), output(name)));
}

TEST_F(GoldenCampaign, PlotPagesMatchWithTheirDatesMasked) {
    for (const auto& name : plot_pages) {
        ASSERT_TRUE(testkit::file_exists(dir_->file(name))) << name;
        EXPECT_TRUE(same_text(name, testkit::read_file(golden_path(name)),
                              mask_dates(output(name), before_, after_)));
    }
}

TEST_F(GoldenCampaign, SingleStationPageOfAShortSpanMatches) {
    EXPECT_EQ(single_run_.status, 0) << single_run_.err;
    // One progress mark for the 160 observations drawn, then the quality
    // check of the occupation drawn (-t turns it on).
    EXPECT_EQ(single_run_.out,
              std::string(program_name) + " " + version_text + " " + credits_text + " " +
                  build_tool_text +
                  "\n.\nDone.\n"
                  "0759        1 2005-04-02 00:00:00 +00:59:30    30s     120/120    gaps   0 "
                  "longest     0s  GPS      11 sv      948 obs  L2  97.7%  slips lli    9 of   14 flags "
                  "gf    0 mw    0 clock  0      105.3 obs/slip  MP1 0.240 m  MP2 0.315 m\n");
    ASSERT_TRUE(testkit::file_exists(dir_->file(single_station_page)));
    EXPECT_TRUE(same_text(single_station_page, testkit::read_file(golden_path(single_station_page)),
                          mask_dates(output(single_station_page), before_, after_)));
}

// The masking must not hide a wrong date: a creation date outside the run
// and a footer of another day stay as they are.
TEST_F(GoldenCampaign, MaskingKeepsDatesOutsideTheRun) {
    const std::string page =
        "%%CreationDate: " + local_text(before_ - 86400, "%a %b %d %H:%M:%S %Y") + "\n(x " +
        local_text(after_ + 2 * 86400, "%d.%m.%Y") + " QOR-VELD) Z\n";
    EXPECT_EQ(mask_dates(page, before_, after_), page);
    const std::string today = "%%CreationDate: " + local_text(before_, "%a %b %d %H:%M:%S %Y") +
                              "\n(x " + local_text(after_, "%d.%m.%Y") + " QOR-VELD) Z\n";
    EXPECT_EQ(mask_dates(today, before_, after_),
              "%%CreationDate: @CREATION_DATE@\n(x @TODAY@ QOR-VELD) Z\n");
}

}  // namespace
