#include "plot/sn_elements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "draw/ps_canvas.h"
#include "obsdb/schema.h"
#include "plot/sv_rows.h"
#include "pslib/pslib.h"
#include "tests/testkit/testkit.h"

namespace {

using Lines = std::vector<std::string>;

// An open document in a scratch folder; lines() returns what a group of
// element calls adds to it.
class Page {
public:
    Page() : path_(dir_.file("page.ps")) { canvas.begin_document(path_.c_str(), PageSetup{}, 1); }
    ~Page() { canvas.end_document(); }

    Lines lines(const std::function<void()>& calls) {
        std::fflush(ps_state.out);
        std::size_t before = testkit::read_file(path_).size();
        calls();
        std::fflush(ps_state.out);
        return testkit::lines_of(testkit::read_file(path_).substr(before));
    }

    PsCanvas canvas;

private:
    testkit::ScratchDir dir_;
    std::string path_;
};

// With begin 1000 and one centimetre per second, time 1000 + s lies at
// 600 + 300 * s PostScript units. Three rows: L1 of row 0 at 2.45 cm (735),
// L1 and L2 of row 1 at 1.8 cm (540) and 1.6 cm (480). Interval 10 s.
constexpr double begin = 1000.0;

sv_slot slot_with(char l1, char l2, double since) {
    sv_slot slot{};
    slot.satocc_no = 72;
    slot.l1_class = l1;
    slot.l2_class = l2;
    slot.l1_since = slot.l2_since = since;
    return slot;
}

// A page of `rows` rows of full pitch from `begin` to `end`, interval 10 s.
sn_page page_of(int rows, double end, double cm_per_second, const LineStyle* styles) {
    sn_page page = {begin, end, cm_per_second, 10, 0, 0, 0, 0, 0, styles};
    set_page_rows(&page, rows, rows, 0);
    return page;
}

class SnElements : public ::testing::Test {
protected:
    void SetUp() override { std::copy_n(default_sn_line_types, 10, styles_); }
    LineStyle styles_[10];
    const sn_page sn_ = page_of(3, begin + 20, 1.0, styles_);
    Page page_;
};

TEST_F(SnElements, SegmentCloseLeavesTheSlotSoASecondCallDrawsTheSameLine) {
    sv_slot slot = slot_with('0', '8', 1002.0);
    const sv_slot before = slot;
    Lines first = page_.lines([&] {
        segment_close(page_.canvas, sn_, &slot, SN_L1, 1010.0, 1);
        segment_close(page_.canvas, sn_, &slot, SN_L2, 1010.0, 1);
    });
    EXPECT_EQ(first, (Lines{"S 0.471 A", "S 12 W", "1200 540 M", "5400 0 D", "S 0 A", "S 40 W",
                            "1200 480 M", "5400 0 D"}));
    EXPECT_EQ(page_.lines([&] {
        segment_close(page_.canvas, sn_, &slot, SN_L1, 1010.0, 1);
        segment_close(page_.canvas, sn_, &slot, SN_L2, 1010.0, 1);
    }),
              first);
    EXPECT_EQ(std::memcmp(&slot, &before, sizeof slot), 0);
}

TEST_F(SnElements, ClassStylesComeFromTheLineTypesOfTheRun) {
    // A character that is no digit draws like "0" (grey 120, width 12).
    sv_slot odd = slot_with('x', 0, 1000.0);
    EXPECT_EQ(page_.lines([&] { segment_close(page_.canvas, sn_, &odd, SN_L1, 1000.0, 0); }),
              (Lines{"S 0.471 A", "S 12 W", "600 735 M", "3000 0 D"}));

    // Line type -1 is white with width 0: invisible on the page and in the legend.
    styles_[6] = line_style(-1);
    sv_slot slot = slot_with('6', 0, 1000.0);
    EXPECT_EQ(page_.lines([&] { segment_close(page_.canvas, sn_, &slot, SN_L1, 1000.0, 0); }),
              (Lines{"S 1 A", "S 0 W", "600 735 M", "3000 0 D"}));
    Lines legend = page_.lines([&] { sn_legend(page_.canvas, sn_); });
    // The sample of digit 6 is drawn white with width 0.
    auto sample = std::find(legend.begin(), legend.end(), "6660 90 M");
    ASSERT_NE(sample, legend.end());
    EXPECT_EQ(*(sample - 2), "S 0 W");
    EXPECT_EQ(*(sample - 1), "S 1 A");
}

TEST(SlotOf, MatchesRowSlotsOnly) {
    sv_rows rows;
    rows.slots.resize(31);
    rows.slots[0].satocc_no = 8;  // slot 0 is the count curve, never a row
    rows.by_satocc = {{16, 1}, {24, 30}};
    EXPECT_EQ(rows.slot_of(16), 1);
    EXPECT_EQ(rows.slot_of(24), 30);
    EXPECT_EQ(rows.slot_of(8), 0);
    EXPECT_EQ(rows.slot_of(32), 0);
    EXPECT_EQ(rows.slot_of(0), 0);  // 0 names no record
}

TEST(TickStep, FollowsTheUnitTable) {
    EXPECT_EQ(tick_step(0, 86400), 7200);
    EXPECT_EQ(tick_step(0, 3600), 600);
    EXPECT_EQ(tick_step(0, 20), 5);
    EXPECT_EQ(tick_step(0, 12), 2.5);
    EXPECT_EQ(tick_step(0, 10), 1);
    EXPECT_EQ(tick_step(0, 60), 5);
    EXPECT_EQ(tick_step(0, 604800), 43200);
    EXPECT_EQ(tick_step(500, 500), 0.5);
    EXPECT_EQ(tick_step(500, 100), 0.5);
}

TEST(TickStep, SpansBeyondOneWeekGetWholeDays) {
    EXPECT_EQ(tick_step(0, 604801), 2 * 86400);
    EXPECT_EQ(tick_step(0, 30 * 86400), 5 * 86400);
    for (double span : {1e7, 1e12, 1e300}) {
        double step = tick_step(0, span);
        EXPECT_TRUE(step > 0 && std::isfinite(step)) << span;
        EXPECT_GE(span / step, 3.0) << span;
        EXPECT_LE(span / step, 8.0) << span;
    }
}

TEST(FirstTick, AlignsOnLocalSecondsMinutesAndHours) {
    double begin = time_value(2021, 6, 15, 10, 23, 17);
    EXPECT_EQ(first_tick(begin, 5), time_value(2021, 6, 15, 10, 23, 22));
    EXPECT_EQ(first_tick(begin, 300), time_value(2021, 6, 15, 10, 28, 0));
    EXPECT_EQ(first_tick(begin, 3600), time_value(2021, 6, 15, 11, 0, 0));
    // A fraction of a second in begin stays with every tick.
    EXPECT_EQ(first_tick(begin + 0.25, 3600), time_value(2021, 6, 15, 11, 0, 0) + 0.25);
}

std::string tick(double t, tick_label* previous) {
    char text[tick_text_size];
    tick_text(t, previous, text);
    return text;
}

TEST(TickText, RepeatsOnlyWhatChanged) {
    tick_label previous = no_tick_label;
    EXPECT_EQ(tick(time_value(1999, 10, 3, 5, 0, 30), &previous), "3.10.99 5:00:30");
    EXPECT_EQ(tick(time_value(1999, 10, 3, 5, 10, 0), &previous), "10:00");
    EXPECT_EQ(tick(time_value(1999, 10, 3, 5, 10, 30), &previous), "30");
    EXPECT_EQ(tick(time_value(1999, 10, 3, 6, 0, 0), &previous), "6:00:00");
    EXPECT_EQ(tick(time_value(1999, 10, 3, 23, 59, 50), &previous), "23:59:50");
    EXPECT_EQ(tick(time_value(1999, 10, 4, 0, 0, 10), &previous), "4.10.99 0:00:10");
    EXPECT_EQ(tick(time_value(2000, 1, 1, 0, 0, 0), &previous), "1.1.100 0:00:00");
}

TEST(FormatTimeValue, YearsCountFrom1900) {
    char text[time_text_size];
    EXPECT_STREQ(format_time_value(time_value(1999, 10, 3, 5, 0, 30.75), text),
                 "03.10.99 05:00:30");
    EXPECT_STREQ(format_time_value(time_value(2000, 10, 3, 5, 0, 30), text), "03.10.100 05:00:30");
}

// Texts of the time labels in an axis.
std::vector<std::string> axis_labels(const Lines& lines) {
    std::vector<std::string> labels;
    for (const std::string& line : lines) {
        std::size_t open = line.find(") Z");
        if (open == std::string::npos) continue;
        labels.push_back(line.substr(line.rfind('(', open) + 1, open - line.rfind('(', open) - 1));
    }
    return labels;
}

TEST_F(SnElements, TimeAxisLabelsBeginTicksAndEnd) {
    double from = time_value(1999, 10, 3, 5, 0, 30);
    auto axis = [&](double cm_per_second, double to) {
        sn_page p = page_of(2, to, cm_per_second, styles_);
        p.begin = from;
        return page_.lines([&] { time_axis(page_.canvas, p); });
    };
    Lines lines = axis(26.0 / 30, from + 20);
    EXPECT_EQ(axis_labels(lines),
              (std::vector<std::string>{"3.10.99 5:00:30", "35", "40", "45", "50"}));
    // Each label has its grid line from the frame bottom to above the frame.
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "S 0 A");
    EXPECT_EQ(lines[2], "S 0 W");
    EXPECT_EQ(lines[3], "600 210 M");
    EXPECT_EQ(lines[4], "0 465 D");

    // An empty or inverted span shows only the labels at begin and end.
    EXPECT_EQ(axis_labels(axis(1.0, from)).size(), 2u);
    EXPECT_EQ(axis_labels(axis(1.0, from - 60)).size(), 2u);
    // Years of span end after a handful of ticks.
    EXPECT_LE(axis_labels(axis(1e-9, from + 1e9)).size(), 10u);
}

TEST_F(SnElements, LegendShowsTheTenStyles) {
    Lines lines = page_.lines([&] { sn_legend(page_.canvas, sn_); });
    ASSERT_EQ(lines.size(), 1u + 10 * 6);
    EXPECT_EQ(lines[0], "6450 0 M 85 F0 (signal/noise) E -2 div 0 G Z");
    EXPECT_EQ((Lines(lines.begin() + 1, lines.begin() + 7)),
              (Lines{"S 12 W", "S 0.471 A", "5400 90 M", "210 0 D", "S 0 A",
                     "5505 120 M 85 F0 (0) E -2 div 0 G Z"}));
    EXPECT_EQ((Lines(lines.begin() + 55, lines.end())),
              (Lines{"S 40 W", "S 0 A", "7290 90 M", "210 0 D", "S 0 A",
                     "7395 120 M 85 F0 (9) E -2 div 0 G Z"}));
}

}  // namespace
