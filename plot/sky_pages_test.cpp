// The sky pages' parts on synthetic tracks: where a direction lands on the
// plot, what the gathering keeps of a pass over observations, and how names
// are set beside their tracks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "draw/canvas.h"

#include "plot/sky_gather.h"
#include "plot/sky_page.h"

namespace {

TEST(SkyPosition, NorthUpAzimuthClockwiseHorizonOnTheOuterCircle) {
    struct Row {
        double azimuth, elevation, x, y;
    };
    const double r = sky_radius, cx = sky_centre_x, cy = sky_centre_y;
    for (const Row& row : {
             Row{0, 90, cx, cy},                // zenith: the centre
             Row{123, 90, cx, cy},              // whatever the azimuth
             Row{0, 0, cx, cy + r},             // north on the horizon: straight up
             Row{90, 0, cx + r, cy},            // east: right
             Row{180, 45, cx, cy - r / 2},      // south at 45: half way down
             Row{270, 30, cx - r * 2 / 3, cy},  // west at 30: two thirds left
             Row{45, 60, cx + r / 3 * std::sqrt(0.5), cy + r / 3 * std::sqrt(0.5)},
             Row{360, 10, cx, cy + r * 8 / 9},  // a full turn is north again
         }) {
        const SkyXY p = sky_position(row.azimuth, row.elevation);
        EXPECT_NEAR(p.x, row.x, 1e-9) << row.azimuth << " " << row.elevation;
        EXPECT_NEAR(p.y, row.y, 1e-9) << row.azimuth << " " << row.elevation;
    }
}

TEST(ElevationBins, FiveDegreesFromTheHorizonUpToTheZenith) {
    struct Row {
        double elevation;
        int bin;
    };
    for (const Row& row : {Row{0, 0}, Row{4.99, 0}, Row{5, 1}, Row{44.9, 8}, Row{89.9, 17},
                           Row{90, 17}, Row{-0.1, -1}, Row{NAN, -1}})
        EXPECT_EQ(elevation_bin(row.elevation), row.bin) << row.elevation;
    EXPECT_LT(mean_digit(0, 0), 0);
}

// A satellite rising in the east: elevation 1 degree per minute from the
// horizon, azimuth 90 + 0.5 per minute. "G02" has no orbits.
bool rising(const char* satellite, double epoch, double* azimuth, double* elevation) {
    if (std::string(satellite) == "G02") return false;
    *elevation = epoch / 60.0;
    *azimuth = 90.0 + epoch / 120.0;
    return true;
}

struct Gathered {
    std::vector<SatelliteSky> satellites;
    std::vector<SystemElevation> systems;
    long looks;
};

// Observations of G01 every `step` seconds from 0 to `end` except in the
// gaps [from, to), with the L1 digit of `digit_of` and a loss of lock at
// the epochs of `lost`.
Gathered gather(int step, double end, std::vector<std::pair<double, double>> gaps,
                char (*digit_of)(double), std::vector<double> lost = {}) {
    SkyGather sky(rising, {"", "G01", "G02", "E11"}, step);
    for (double t = 0; t <= end; t += step) {
        bool in_gap = false;
        for (auto [from, to] : gaps) in_gap = in_gap || (t >= from && t < to);
        if (in_gap) continue;
        const bool loses = std::find(lost.begin(), lost.end(), t) != lost.end();
        sky.observe(1, t, digit_of(t), '4', loses);
        sky.observe(2, t, '5', '5', false);
    }
    sky.finish();
    return {sky.satellites(), sky.systems(), sky.looks()};
}

char steady(double) { return '7'; }
char flickering(double t) { return static_cast<long>(t) % 2 ? '5' : '6'; }

TEST(SkyGather, TracksAreThinnedToPointsOnTheOrbitsPlaces) {
    // One hour at 1 s: a point every ten minutes, the last at the last
    // observation. Between the looks of the orbits the places lie on a
    // straight line of the plot's plane, which departs from this track
    // (straight in azimuth and elevation) by hundredths of a degree.
    const Gathered g = gather(1, 3630, {}, steady);
    ASSERT_EQ(g.satellites.size(), 1u);  // G02 has no place in the sky
    const SatelliteSky& s = g.satellites[0];
    EXPECT_EQ(s.id, "G01");
    ASSERT_EQ(s.points.size(), 8u);
    EXPECT_NEAR(s.points.back().elevation, 3630 / 60.0, 0.05);
    for (std::size_t i = 0; i + 1 < s.points.size(); ++i) {
        const double t = track_step * static_cast<double>(i);
        EXPECT_NEAR(s.points[i].elevation, t / 60.0, 1e-3) << i;  // at the looks
        EXPECT_NEAR(s.points[i].azimuth, 90.0 + t / 120.0, 1e-3) << i;
        EXPECT_EQ(s.points[i].digit, '7');
        EXPECT_EQ(s.points[i].starts_line, i == 0) << i;
    }
    // Orbits asked about every ten minutes per satellite, not once an epoch.
    EXPECT_LT(g.looks, 3631 / 200);
}

TEST(SkyGather, GapsBreakTheTrackAndItsLinesEndAtTheLastObservation) {
    // 30 s data, a gap of 10 minutes from 600 s and one missing epoch at 1500.
    const Gathered g = gather(30, 1800, {{600, 1200}, {1500, 1530}}, steady);
    ASSERT_EQ(g.satellites.size(), 1u);
    // Elevations in seconds of the track's time: within 6 s (0.1 degree).
    std::vector<double> starts;
    for (const SkyPoint& p : g.satellites[0].points)
        if (p.starts_line) starts.push_back(p.elevation * 60.0);
    ASSERT_EQ(starts.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(starts[i], (std::vector<double>{0, 1200, 1530})[i], 6);
    // The line before each gap reaches the last observation before it.
    const std::vector<SkyPoint>& p = g.satellites[0].points;
    for (std::size_t i = 1; i < p.size(); ++i)
        if (p[i].starts_line) {
            const double before = p[i - 1].elevation * 60.0;
            EXPECT_TRUE(std::fabs(before - 570) < 6 || std::fabs(before - 1470) < 6) << before;
        }
    EXPECT_NEAR(p.back().elevation * 60.0, 1800, 6);
}

TEST(SkyGather, DigitChangesAndLockLossesAreKeptButNotEveryEpoch) {
    const Gathered g = gather(1, 600, {}, flickering, {100, 101, 105, 130, 131});
    ASSERT_EQ(g.satellites.size(), 1u);
    const SatelliteSky& s = g.satellites[0];
    // A digit that changes every second keeps a point every 10 s.
    EXPECT_GE(s.points.size(), 55u);
    EXPECT_LE(s.points.size(), 62u);
    // Marks no closer than 10 s: 100 and 130.
    ASSERT_EQ(s.lock_losses.size(), 2u);
    EXPECT_NEAR(s.lock_losses[0].elevation * 60.0, 100, 6);
    EXPECT_NEAR(s.lock_losses[1].elevation * 60.0, 130, 6);
}

TEST(SkyGather, SignalDigitsSummedPerSystemAndBinAndSlipsPlaced) {
    // 30 s for 20 minutes: elevations 0 to 20 degrees, bins 0 to 3 (20 at 4).
    SkyGather sky(rising, {"", "E11", "G01", "G02"}, 30);
    for (double t = 0; t <= 1200; t += 30) {
        sky.observe(1, t, '8', ' ', false);
        sky.observe(2, t, t < 300 ? '3' : '6', '0', false);
    }
    sky.finish();
    // A slip stands where the orbits put its satellite at its time; none for
    // a satellite without orbits or a slot that is not there.
    sky.mark_slip(2, 1800);
    sky.mark_slip(3, 1800);
    sky.mark_slip(7, 1800);
    const std::vector<SatelliteSky> s = sky.satellites();
    ASSERT_EQ(s.size(), 2u);
    const SatelliteSky& g01 = s[0].id == "G01" ? s[0] : s[1];
    EXPECT_EQ(g01.id, "G01");
    EXPECT_TRUE((s[0].id == "G01" ? s[1] : s[0]).slips.empty());
    ASSERT_EQ(g01.slips.size(), 1u);
    EXPECT_NEAR(g01.slips[0].elevation, 30, 1e-4);
    EXPECT_NEAR(g01.slips[0].azimuth, 105, 1e-4);
    const std::vector<SystemElevation> systems = sky.systems();
    ASSERT_EQ(systems.size(), 2u);
    EXPECT_EQ(systems[0].system, 'G');  // GPS before Galileo
    EXPECT_EQ(systems[1].system, 'E');
    const SystemElevation& gps = systems[0];
    // Bin 0 holds 0 to 4.5 degrees: epochs 0 to 270 s, ten of them.
    EXPECT_EQ(gps.observations[0], 10);
    EXPECT_EQ(gps.l1_count[0], 10);
    EXPECT_EQ(gps.l1_sum[0], 30);
    EXPECT_EQ(gps.observations[1], 10);
    EXPECT_EQ(gps.l1_sum[1], 60);
    EXPECT_EQ(gps.observations[4], 1);
    EXPECT_EQ(gps.l2_count[0], 0);  // digit 0: none given
    EXPECT_EQ(systems[1].l1_sum[2], 80);
    EXPECT_EQ(systems[1].l2_count[2], 0);  // blank
    long all = 0;
    for (long n : gps.observations) all += n;
    EXPECT_EQ(all, 41);
}

// Names of `n` tracks that all end at nearly the same place.
std::vector<LabelWish> crowd(int n, double azimuth, double elevation) {
    std::vector<LabelWish> wishes;
    for (int i = 0; i < n; ++i) {
        char id[16];
        std::snprintf(id, sizeof id, "G%02d", i + 1);
        wishes.push_back({id,
                          {sky_position(azimuth + 0.3 * i, elevation),
                           sky_position(azimuth + 180, 40)},
                          2});
    }
    return wishes;
}

bool within_margin(const LabelBox& b) {
    for (double x : {b.x0, b.x1})
        for (double y : {b.y0, b.y1})
            if (std::hypot(x - sky_centre_x, y - sky_centre_y) >
                sky_radius + sky_label_margin + 1e-9)
                return false;
    return true;
}

TEST(LabelPlacement, CrowdedNamesMoveApartAndStayInsideTheMargin) {
    struct Row {
        int names;
        double azimuth, elevation;
    };
    const std::vector<LabelBox> obstacles = {text_box(sky_centre_x, sky_centre_y + sky_radius + 0.4, 1, 12)};
    for (const Row& row : {Row{1, 0, 0}, Row{12, 0, 0}, Row{30, 120, 5}, Row{40, 200, 60}}) {
        int free = -1;
        const std::vector<PlacedLabel> placed =
            place_labels(crowd(row.names, row.azimuth, row.elevation), obstacles, 8, &free);
        ASSERT_EQ(placed.size(), static_cast<std::size_t>(row.names));
        EXPECT_EQ(free, 0) << row.names;
        for (std::size_t i = 0; i < placed.size(); ++i) {
            EXPECT_TRUE(within_margin(placed[i].box)) << placed[i].text;
            EXPECT_FALSE(boxes_overlap(placed[i].box, obstacles[0], 0)) << placed[i].text;
            for (std::size_t j = 0; j < i; ++j)
                EXPECT_FALSE(boxes_overlap(placed[i].box, placed[j].box, 0))
                    << placed[i].text << " over " << placed[j].text;
        }
    }
}

TEST(LabelPlacement, ALoneNameStandsBesideItsTracksEnd) {
    const SkyXY end = sky_position(250, 35);
    const std::vector<PlacedLabel> placed = place_labels({{"R07", {end, end}, 1}}, {}, 8);
    ASSERT_EQ(placed.size(), 1u);
    const double x = (placed[0].box.x0 + placed[0].box.x1) / 2;
    const double y = (placed[0].box.y0 + placed[0].box.y1) / 2;
    EXPECT_NEAR(std::hypot(x - end.x, y - end.y), 0.3, 1e-9);
}

// A canvas that keeps the lines drawn, with their paint and width, and the
// rectangles.
class RecordingCanvas final : public Canvas {
public:
    struct Line {
        double x0, y0, x1, y1;
        int grey_or_red, green, blue, width;
    };
    struct Box {
        double x, y, w, h;
        bool filled;
    };
    std::vector<Line> lines;
    std::vector<Box> boxes;

    bool begin_document(const char*, const PageSetup&, int) override { return true; }
    void begin_page(int) override {}
    void end_page() override {}
    bool end_document() override { return true; }
    void move_to(double x, double y) override { x_ = x, y_ = y; }
    void line_to(double x, double y) override {
        lines.push_back({x_, y_, x, y, red_, green_, blue_, width_});
        x_ = x, y_ = y;
    }
    void move_by(double dx, double dy) override { move_to(x_ + dx, y_ + dy); }
    void line_by(double dx, double dy) override { line_to(x_ + dx, y_ + dy); }
    void line_width(int width) override { width_ = width; }
    void paint(int red, int green, int blue) override { red_ = red, green_ = green, blue_ = blue; }
    void rectangle(double x, double y, double w, double h, bool filled) override {
        boxes.push_back({x, y, w, h, filled});
    }
    void clip(double, double, double, double) override {}
    void unclip() override {}
    void font(int) override {}
    void text(double, double, int, const char*, double, int) override {}
    int open_part() override { return -1; }
    void draw_into(int) override {}
    bool insert_part(int) override { return false; }
    void close_parts() override {}

private:
    double x_ = 0, y_ = 0;
    int red_ = 0, green_ = 0, blue_ = 0, width_ = 0;
};

TEST(SkyPlot, TracksMarksAndCrossesStandAtTheirPlacesInTheirStyles) {
    SatelliteSky g{"G07",
                   {{100, 20, '8', true}, {110, 30, '8', false}, {120, 40, '2', false},
                    {130, 45, '2', false}},
                   {{110, 30}},
                   {{125, 42}}};
    SatelliteSky e{"E19", {{300, 5, '5', true}, {310, 8, '5', false}}, {}, {}};
    RecordingCanvas c;
    draw_sky_plot(c, {g, e}, default_sn_line_types);

    auto near = [](double x, double y, SkyXY p) { return std::hypot(x - p.x, y - p.y) < 0.005; };
    // Each piece of track from its point to the next, in the style of the
    // digit at its start: the legend's grey and width.
    for (const auto& [s, i] : {std::pair{&g, 0}, {&g, 1}, {&g, 2}, {&e, 0}}) {
        const SkyPoint& from = s->points[i];
        const SkyPoint& to = s->points[i + 1];
        const SkyXY a = sky_position(from.azimuth, from.elevation);
        const SkyXY b = sky_position(to.azimuth, to.elevation);
        const LineStyle style = default_sn_line_types[from.digit - '0'];
        int found = 0;
        for (const RecordingCanvas::Line& l : c.lines)
            if (near(l.x0, l.y0, a) && near(l.x1, l.y1, b)) {
                ++found;
                EXPECT_EQ(l.grey_or_red, style.grey);
                EXPECT_EQ(l.width, style.width);
            }
        EXPECT_EQ(found, 1) << s->id << " " << i;
    }
    // The loss of lock: a small square about its place.
    const SkyXY lost = sky_position(110, 30);
    int squares = 0;
    for (const RecordingCanvas::Box& b : c.boxes)
        if (near(b.x + b.w / 2, b.y + b.h / 2, lost) && !b.filled && b.w < 0.2) ++squares;
    EXPECT_EQ(squares, 1);
    // The slip: a blue cross of two strokes through its place.
    const SkyXY slip = sky_position(125, 42);
    int strokes = 0;
    for (const RecordingCanvas::Line& l : c.lines)
        if (near((l.x0 + l.x1) / 2, (l.y0 + l.y1) / 2, slip) && l.blue == 200 && l.grey_or_red == 0)
            ++strokes;
    EXPECT_EQ(strokes, 2);
}

}  // namespace
