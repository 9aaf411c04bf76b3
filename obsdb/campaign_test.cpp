// The campaign tables: the order of opening decides which missing table is
// reported, and a linked read never leaves another record's values behind.
#include "obsdb/campaign.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/error.h"
#include "tests/testkit/campaign_fill.h"
#include "tests/testkit/testkit.h"

namespace {

TEST(Campaign, TheFirstMissingTableInOpeningOrderIsReported) {
    testkit::ScratchDir dir;
    testkit::InDir in(dir.path());
    {
        Campaign c;
        c.open_fill({CampaignTable::sta, CampaignTable::cor});
        c.close({CampaignTable::sta, CampaignTable::cor});
    }
    auto open = [](std::initializer_list<CampaignTable> tables) {
        return testkit::run_in_child([tables] {
            report_stream = stderr;
            Campaign c;
            c.open_read(tables);
            c.close(tables);
        });
    };
    EXPECT_EQ(open({CampaignTable::sta, CampaignTable::cor}).status, 0);
    testkit::RunResult rec_first =
        open({CampaignTable::sta, CampaignTable::rec, CampaignTable::occ});
    EXPECT_EQ(rec_first.status, 10);
    EXPECT_NE(rec_first.err.find("E0010: database zzREC.DAT cannot be opened"), std::string::npos)
        << rec_first.err;
    testkit::RunResult occ_first = open({CampaignTable::occ, CampaignTable::rec});
    EXPECT_EQ(occ_first.status, 10);
    EXPECT_NE(occ_first.err.find("zzOCC.DAT"), std::string::npos) << occ_first.err;
}

TEST(Campaign, ReadLinkedFillsTheRecordOrClearsIt) {
    testkit::ScratchDir dir;
    testkit::InDir in(dir.path());
    long first = 0, second = 0;
    {
        testkit::CampaignFill fill;
        first = fill.station("ALPHA");
        second = fill.station("BRAVO");
    }
    Campaign c;
    c.open_read({CampaignTable::sta});
    EXPECT_TRUE(c.read_linked(CampaignTable::sta, second));
    EXPECT_STREQ(c.sta.marker_name, "BRAVO");
    EXPECT_TRUE(c.read_linked(CampaignTable::sta, first));
    EXPECT_STREQ(c.sta.marker_name, "ALPHA");
    // No link, a negative one and one past the end leave nothing of ALPHA.
    for (long link : {0L, -88L, second + 88 * 10}) {
        ASSERT_TRUE(c.read_linked(CampaignTable::sta, first));
        EXPECT_FALSE(c.read_linked(CampaignTable::sta, link)) << link;
        const sta_record zero{};
        EXPECT_EQ(std::memcmp(&c.sta, &zero, sizeof zero), 0) << link;
    }
    c.close({CampaignTable::sta});
}

TEST(Campaign, TheObservationTableCanBeNamed) {
    testkit::ScratchDir dir;
    testkit::InDir in(dir.path());
    Campaign c;
    c.obs_table = "zzOBX";
    c.open_fill({CampaignTable::obs});
    c.close({CampaignTable::obs});
    EXPECT_TRUE(testkit::file_exists(dir.file("zzOBX.DAT")));
    EXPECT_TRUE(testkit::file_exists(dir.file("zzOBX.ID0")));
    EXPECT_FALSE(testkit::file_exists(dir.file("zzOBS.DAT")));
}

}  // namespace
