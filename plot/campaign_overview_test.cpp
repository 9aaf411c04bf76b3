// The overview page as laid out: shades, common times, rows and pages, the
// time axis, and everything within the drawing's bounds.
#include "plot/campaign_overview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "obsdb/schema.h"

namespace {

TEST(CampaignOverview, ShadeOfObservationsPerSlip) {
    struct Case {
        long observations, slips;
        bool checked;
        BarShade shade;
    };
    for (const Case& c :
         {Case{5000, 0, true, BarShade::many}, Case{10000, 10, true, BarShade::many},
          Case{9999, 10, true, BarShade::some}, Case{3000, 10, true, BarShade::some},
          Case{2999, 10, true, BarShade::few}, Case{0, 0, true, BarShade::empty},
          Case{5000, 900, false, BarShade::unchecked}}) {
        const OverviewOccupation o{"A", 1, 0, 1000, c.observations, c.slips};
        EXPECT_EQ(shade_of(o, c.checked), c.shade) << c.observations << "/" << c.slips;
    }
}

TEST(CampaignOverview, CommonTimeText) {
    struct Case {
        double seconds;
        const char* text;
    };
    for (const Case& c : {Case{570, "10 min"}, Case{0, "0 min"}, Case{7170, "2.0 h"},
                          Case{3 * 86400 - 1, "72.0 h"}, Case{10 * 86400, "10.0 d"}})
        EXPECT_EQ(common_time_text(c.seconds), c.text) << c.seconds;
}

TEST(CampaignOverview, PartnersSumTheOverlapsLongestFirst) {
    OverviewInput in;
    in.occupations = {{"A", 1, 0, 1000},    {"B", 1, 500, 1500},    {"C", 1, 0, 1000},
                      {"A", 2, 2000, 3000}, {"B", 2, 2900, 4000}, {"D", 1, 5000, 6000},
                      {"A", 3, 1000, 1000}};  // one epoch, at C's last
    const std::vector<Partner> a = partners_of("A", in);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].station, "C");
    EXPECT_EQ(a[0].seconds, 1000);
    EXPECT_EQ(a[1].station, "B");
    EXPECT_EQ(a[1].seconds, 600);
    EXPECT_TRUE(partners_of("D", in).empty());
}

// Texts of a page by their content.
std::set<std::string> texts_of(const OverviewPage& page) {
    std::set<std::string> texts;
    for (const OverviewText& t : page.texts) texts.insert(t.text);
    return texts;
}

TEST(CampaignOverview, StationsInNameOrderOverPagesAllWithinTheDrawing) {
    const double day = time_value(2021, 3, 1, 0, 0, 0);
    OverviewInput in;
    // 50 stations, named in the reverse of their reading order, two
    // occupations each on one day; Z00 observed with nobody.
    for (int s = 49; s >= 0; --s) {
        std::string name = "S";
        name += std::to_string(100 + s);
        in.occupations.push_back({name, 1, day + 8 * 3600, day + 10 * 3600});
        in.occupations.push_back({name, 2, day + 13 * 3600, day + 15 * 3600});
    }
    in.occupations.push_back({"Z00", 1, day + 20 * 3600, day + 21 * 3600});
    const std::vector<OverviewPage> pages = lay_out_overview(in);
    ASSERT_EQ(pages.size(), 3u);  // 51 stations, 22 to a page
    std::vector<std::string> order;
    auto within = [](double x0, double y0, double x1, double y1) {
        return x0 >= overview_left && x1 <= overview_right && y0 >= overview_bottom &&
               y1 <= overview_top;
    };
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const OverviewPage& page = pages[p];
        for (const OverviewText& t : page.texts) {
            if ((t.text[0] == 'S' || t.text[0] == 'Z') && t.x < 2) order.push_back(t.text);
            EXPECT_TRUE(within(t.x, t.y, t.x, t.y)) << t.text;
        }
        for (const OverviewBox& b : page.boxes) EXPECT_TRUE(within(b.x, b.y, b.x + b.w, b.y + b.h));
        for (const OverviewLine& l : page.lines)
            EXPECT_TRUE(within(std::min(l.x0, l.x1), overview_bottom, std::max(l.x0, l.x1),
                               overview_top));
        const std::set<std::string> texts = texts_of(page);
        EXPECT_TRUE(texts.count("page " + std::to_string(p + 1) + " of 3"));
        // Hours over one day, the date under the first tick.
        EXPECT_TRUE(texts.count("08:00") && texts.count("20:00")) << p;
        EXPECT_TRUE(texts.count("01.03.2021")) << p;
    }
    ASSERT_EQ(order.size(), 51u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    // Every station's two occupations are numbered on its row; the last
    // page's last station observed with nobody, in red.
    EXPECT_EQ(texts_of(pages[0]).count("S101 4.0 h, S102 4.0 h, S103 4.0 h, S104 4.0 h, +45 more"),
              1u);
    bool alone = false;
    for (const OverviewText& t : pages[2].texts)
        if (t.text == "observed with no other station") alone = t.alert;
    EXPECT_TRUE(alone);
    long bars = 0;
    for (const OverviewPage& page : pages) bars += static_cast<long>(page.boxes.size()) - 1;
    EXPECT_EQ(bars, 101);  // every occupation, less the legend's one box per page
}

TEST(CampaignOverview, SeveralDaysGetDatesOnTheAxisAndCheckedBarsALegend) {
    OverviewInput in;
    in.checked = true;
    for (int d = 0; d < 10; ++d)
        in.occupations.push_back({"ST01", d + 1, time_value(2026, 11, 30 + d, 0, 0, 0),
                                  time_value(2026, 11, 30 + d, 23, 59, 30), 1000L * (d + 1), d + 1});
    const std::vector<OverviewPage> pages = lay_out_overview(in);
    ASSERT_EQ(pages.size(), 1u);
    const std::set<std::string> texts = texts_of(pages[0]);
    for (const char* date : {"30.11.26", "02.12.26", "08.12.26"})
        EXPECT_TRUE(texts.count(date)) << date;
    EXPECT_EQ(texts.count("08:00"), 0u);
    for (const char* legend :
         {"observations per slip:", "at least 1,000", "300 to 1,000", "under 300"})
        EXPECT_TRUE(texts.count(legend)) << legend;
    for (int n = 1; n <= 10; ++n) EXPECT_TRUE(texts.count(std::to_string(n))) << n;
}

}  // namespace
