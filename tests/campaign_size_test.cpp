// Campaigns of any size: observation keys past record number 99,999,999,
// the first observation of an occupation found in a campaign of many, and the
// end of the observation table at the 32-bit record links. Large tables start
// as sparse files, so nothing big is written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "obsdb/campaign.h"
#include "tests/testkit/plot_test_fill.h"
#include "tests/testkit/tables_for_tests.h"
#include "tests/testkit/testkit.h"

namespace {

using testkit::RunResult;
constexpr long obs_size = sizeof(obs_record);

// A page without the lines that depend on the day it was drawn.
std::string page_without_dates(const std::string& page) {
    std::string out;
    for (const std::string& line : testkit::lines_of(page))
        if (line.find("QOR-VELD") == std::string::npos && !line.starts_with("%%CreationDate"))
            out += line + "\n";
    return out;
}

// Makes the observation table `bytes` long; the new records are holes.
void grow_observations(const std::string& dir, long bytes) {
    ASSERT_EQ(truncate((dir + "/zzOBS.DAT").c_str(), bytes), 0);
}

RunResult read_file(const std::string& name, const std::string& dir) {
    testkit::copy_test_data(name, dir);
    return testkit::run_lumerak({"-r" + name}, dir);
}

TEST(CampaignSize, ObservationKeysKeepTheirOrderPastTheEightDigitLimit) {
    testkit::ScratchDir camp;
    // The same file twice: the satellites then have the records they get
    // when the file is read alone, which decides the order of the rows.
    ASSERT_EQ(read_file("delf0010.21o", camp.path()).status, 0);
    const long first_count =
        static_cast<long>(tables::records<obs_record>(camp.path(), "zzOBS").size());
    // Twenty observations of the second file get eight-digit keys, the rest
    // lie past 99,999,999.
    const long start = (100000000 / obs_size - 19) * obs_size;
    grow_observations(camp.path(), start);
    ASSERT_EQ(read_file("delf0010.21o", camp.path()).status, 0);

    const auto keys = tables::keys(camp.path(), CampaignTable::obs);
    ASSERT_GT(keys.size(), static_cast<std::size_t>(first_count + 100));
    // The walk returns the records in written order: the first file's, then
    // the second file's from where the table had grown to.
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const long expected = i < static_cast<std::size_t>(first_count)
                                  ? static_cast<long>(i + 1) * obs_size
                                  : start + static_cast<long>(i - first_count) * obs_size;
        ASSERT_EQ(keys[i].second, expected) << i << " " << keys[i].first;
    }
    EXPECT_EQ(keys[first_count + 19].first, "99999936");
    EXPECT_EQ(keys[first_count + 20].first, ":0100000008");

    // The prefix find positions the index on each of them.
    {
        testkit::InDir in(camp.path());
        Campaign c;
        c.open_read({CampaignTable::obs});
        for (const auto& [key, number] : keys) {
            ASSERT_TRUE(db_find(&c.obs_db, key.c_str())) << key;
            ASSERT_EQ(db_current_record(&c.obs_db), number) << key;
        }
        c.close({CampaignTable::obs});
    }

    // The page of the second occupation is the page of its file read alone
    // (the station's second page in the campaign).
    testkit::ScratchDir alone;
    ASSERT_EQ(read_file("delf0010.21o", alone.path()).status, 0);
    ASSERT_EQ(testkit::run_lumerak({"-g"}, camp.path()).status, 0);
    ASSERT_EQ(testkit::run_lumerak({"-g"}, alone.path()).status, 0);
    const std::string page = testkit::read_file(alone.file("DELFT-16-1.ps"));
    // Not an empty page: the rows are drawn.
    const auto lines = testkit::lines_of(page);
    ASSERT_GT(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.ends_with(" D"); }),
              200);
    EXPECT_EQ(page_without_dates(testkit::read_file(camp.file("DELFT-16-2.ps"))),
              page_without_dates(page));
}

// Occupation `i` of a campaign: a few epochs whose S/N digits and loss-of-lock
// marks depend on i, so that every page differs; every fifth has no
// observations, as a file read without them.
plottest::OccSetup small_occupation(int i, double day) {
    static const char* const stations[] = {"ALFA", "BRAV", "CHAR"};
    plottest::OccSetup setup;
    setup.station = stations[i % 3];
    setup.start = day + i * 7200.0;
    setup.interval = 30;
    setup.satellites = 2 + i % 3;
    if (i % 5 == 3) return setup;
    for (int epoch = 0; epoch <= 4 + i % 4; ++epoch)
        for (int sat = 0; sat < setup.satellites; ++sat) {
            const char snr = static_cast<char>('0' + (i + epoch + sat) % 10);
            const char lli = (epoch + i) % 4 == sat ? '1' : ' ';
            setup.obs.push_back({sat, epoch * 30.0, snr, snr, lli, ' '});
        }
    return setup;
}

// The campaign of `count` small occupations, its observations stored in
// reading order or, when `reversed`, the last occupation's first.
void many_small_occupations(bool reversed) {
    const double day = time_value(2021, 1, 1, 0, 0, 0);
    constexpr int count = 24;
    testkit::ScratchDir camp;
    std::vector<plottest::OccSetup> setups;
    std::vector<std::size_t> order;
    for (int i = 0; i < count; ++i) {
        setups.push_back(small_occupation(i, day));
        if (reversed) order.insert(order.begin(), static_cast<std::size_t>(i));
    }
    {
        testkit::InDir in(camp.path());
        plottest::add_occupations(setups, order);
    }
    ASSERT_EQ(testkit::run_lumerak({"-g"}, camp.path()).status, 0);

    int drawn[3] = {0, 0, 0};
    for (int i = 0; i < count; ++i) {
        const std::string station = setups[i].station;
        const std::string name = station + "-" + std::to_string(++drawn[i % 3]) + ".ps";
        testkit::ScratchDir alone;
        {
            testkit::InDir in(alone.path());
            plottest::add_occupations({setups[i]});
        }
        ASSERT_EQ(testkit::run_lumerak({"-g"}, alone.path()).status, 0);
        const std::string page =
            page_without_dates(testkit::read_file(alone.file(station + "-1.ps")));
        EXPECT_EQ(page_without_dates(testkit::read_file(camp.file(name))), page) << name;

        // -t draws the station's first occupation, with the quality check
        // it turns on: as -g -i draws the file alone.
        if (i < 3) {
            ASSERT_EQ(testkit::run_lumerak({"-g", "-t" + station}, camp.path()).status, 0);
            ASSERT_EQ(testkit::run_lumerak({"-g", "-i"}, alone.path()).status, 0);
            EXPECT_EQ(page_without_dates(testkit::read_file(camp.file(station + "1.ps"))),
                      page_without_dates(testkit::read_file(alone.file(station + "-1.ps"))))
                << station;
        }
    }
}

TEST(CampaignSize, EveryPageOfManySmallOccupationsEqualsItsFileAlone) {
    many_small_occupations(false);
}

// Observations stored against the reading order of their occupations (no
// reading makes this, two at once in one folder might): the search cannot
// rely on the order, and the pages must still be right.
TEST(CampaignSize, PagesStayRightWhenObservationsAreNotInReadingOrder) {
    many_small_occupations(true);
}

TEST(CampaignSize, AFullObservationTableEndsTheReadWithItsCount) {
    testkit::ScratchDir camp;
    ASSERT_EQ(read_file("07590920.05o", camp.path()).status, 0);
    // Room for exactly two more records before a record would start past
    // INT32_MAX, the largest link.
    const long last_allowed = INT32_MAX / obs_size * obs_size;
    grow_observations(camp.path(), last_allowed - obs_size);
    const auto keys_before = tables::keys(camp.path(), CampaignTable::obs);
    const auto size_before = std::filesystem::file_size(camp.file("zzOBS.DAT"));
    const RunResult run = read_file("07590930.05o", camp.path());
    EXPECT_EQ(run.status, 1);
    const std::string held = std::to_string(last_allowed / obs_size);
    EXPECT_NE(run.err.find("Error in Zeile 0   : Campaign full: zzOBS.DAT holds " + held +
                           " observations\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("Nothing of '07590930.05o' was added to the database."),
              std::string::npos)
        << run.err;

    // The failed read is rolled back: no key links past the last record a
    // link can hold, and the table is as it was.
    const auto keys = tables::keys(camp.path(), CampaignTable::obs);
    EXPECT_EQ(keys, keys_before);
    EXPECT_EQ(std::filesystem::file_size(camp.file("zzOBS.DAT")), size_before);
    for (const auto& [key, number] : keys) EXPECT_LE(number, long{INT32_MAX}) << key;
}

}  // namespace
