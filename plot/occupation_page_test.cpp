#include "plot/occupation_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <numbers>
#include <string>
#include <vector>

#include "support/error.h"
#include "tests/testkit/plot_test_fill.h"
#include "tests/testkit/testkit.h"

namespace {

using Lines = std::vector<std::string>;
using plottest::Obs;
using plottest::OccSetup;

const double t0 = time_value(2021, 12, 21, 10, 0, 0);

struct Rendered {
    testkit::RunResult run;  // status and console output of the page
    std::string document;
};

// Builds the occupations, draws the page of the first one in a child and
// returns the document and the console output.
Rendered render(std::vector<OccSetup> setups, bool show_lat_lon = false, double begin = -1,
                double end = -1) {
    testkit::ScratchDir dir;
    testkit::InDir in(dir.path());
    for (OccSetup& setup : setups)
        if (setup.start == 0) setup.start = t0;
    long occ = plottest::add_occupations(setups)[0].occupation;
    Rendered r;
    r.run = testkit::run_in_child([&] {
        Campaign c;
        plot_tables_open(c, "zzOBS");
        plot_occupation(c, "page.ps", occ, {show_lat_lon, true, begin, end, default_sn_line_types});
        plot_tables_close(c);
    });
    r.document = testkit::read_file(dir.file("page.ps"));
    return r;
}

// The lines the epochs and the closing step draw: from the end of the set-up
// up to the first text (the row labels).
Lines drawing(const std::string& document) {
    Lines all = testkit::lines_of(document), out;
    bool in = false;
    for (const std::string& line : all) {
        if (in && (line.ends_with(" Z") || line.ends_with(" Z U"))) break;
        if (in) out.push_back(line);
        if (line == "%%EndSetup") in = true;
    }
    return out;
}

// Texts written with ps_put_text, in order.
Lines texts(const std::string& document) {
    Lines out;
    for (const std::string& line : testkit::lines_of(document)) {
        std::size_t end = line.rfind(") ");
        std::size_t start = line.find(" (");
        if (end != std::string::npos && start != std::string::npos && end > start)
            out.push_back(line.substr(start + 2, end - start - 2));
    }
    return out;
}

// The `n` lines that follow the first line equal to `marker`.
Lines after(const std::string& document, const std::string& marker, std::size_t n) {
    Lines all = testkit::lines_of(document);
    auto it = std::find(all.begin(), all.end(), marker);
    if (it == all.end()) return {};
    ++it;
    return Lines(it, it + static_cast<long>(
                              std::min<std::size_t>(n, static_cast<std::size_t>(all.end() - it))));
}

bool has_text(const std::string& document, const std::string& text) {
    for (const std::string& t : texts(document))
        if (t == text) return true;
    return false;
}

const std::string count = "S 1 0.392 0.392 C", count_width = "S 10 W";

TEST(OccupationPage, SteadyDigitDrawsOneLinePerRowAndFrequency) {
    // Interval 1, 26 epochs: one centimetre per second; rows of 2 satellites.
    OccSetup setup;
    setup.interval = 1;
    setup.satellites = 2;
    for (const Obs& o : plottest::steady(2, 1, 25, ' '))
        setup.obs.push_back({o.sat, o.at, '7', '4'});
    Rendered r = render({setup});
    EXPECT_EQ(r.run.status, 0);
    EXPECT_EQ(r.run.out, "");
    EXPECT_EQ(drawing(r.document),
              (Lines{count,       count_width, "600 225 M", "0 390 D",               //
                     count,       count_width, "600 615 M", "7800 0 D", "0 -390 D",  //
                     "S 0 A",     "S 40 W",    "600 540 M", "7800 0 D",              // G01 L1
                     "S 0.314 A", "S 24 W",    "600 480 M", "7800 0 D",              // G01 L2
                     "S 0 A",     "S 40 W",    "600 345 M", "7800 0 D",              // G02 L1
                     "S 0.314 A", "S 24 W",    "600 285 M", "7800 0 D",              // G02 L2
                     "S 0 A"}));
}

TEST(OccupationPage, AlternatingDigitsStartASegmentAtEveryChange) {
    // Four epochs, 6.5 cm per second; L2 without S/N draws like digit 0.
    OccSetup setup;
    setup.interval = 1;
    setup.obs = {{0, 0, '4', ' '}, {0, 1, '7', ' '}, {0, 2, '4', ' '}, {0, 3, '7', ' '}};
    Rendered r = render({setup});
    EXPECT_EQ(drawing(r.document),
              (Lines{count,       count_width, "600 225 M",  "0 195 D",               //
                     "S 0.314 A", "S 24 W",    "600 345 M",  "1950 0 D",              // 4
                     "S 0 A",     "S 40 W",    "2550 345 M", "1950 0 D",              // 7
                     "S 0.314 A", "S 24 W",    "4500 345 M", "1950 0 D",              // 4
                     count,       count_width, "600 420 M",  "7800 0 D", "0 -195 D",  //
                     "S 0 A",     "S 40 W",    "6450 345 M", "1950 0 D",              // 7, closed
                     "S 0.471 A", "S 12 W",    "600 285 M",  "7800 0 D",              // L2 blank
                     "S 0 A"}));
}

TEST(OccupationPage, MissingSatelliteBreaksItsLineForOneEpoch) {
    OccSetup setup;
    setup.interval = 1;
    setup.satellites = 2;
    for (const Obs& o : plottest::steady(2, 1, 3, '5'))
        if (!(o.sat == 1 && o.at == 1)) setup.obs.push_back(o);
    Rendered r = render({setup});
    EXPECT_EQ(drawing(r.document),
              (Lines{count,       count_width, "600 225 M",  "0 390 D",               //
                     count,       count_width, "600 615 M",  "1950 0 D", "0 -195 D",  // 2 -> 1
                     "S 0.314 A", "S 24 W",    "600 345 M",  "1950 0 D",              // G02 L1 ends
                     "S 0.314 A", "S 24 W",    "600 285 M",  "1950 0 D",              // G02 L2 ends
                     count,       count_width, "2550 420 M", "1950 0 D", "0 195 D",   // 1 -> 2
                     count,       count_width, "4500 615 M", "3900 0 D", "0 -390 D",  //
                     "S 0.314 A", "S 24 W",    "600 540 M",  "7800 0 D",              //
                     "S 0.314 A", "S 24 W",    "600 480 M",  "7800 0 D",              //
                     "S 0.314 A", "S 24 W",    "4500 345 M", "3900 0 D",              // G02 again
                     "S 0.314 A", "S 24 W",    "4500 285 M", "3900 0 D",              //
                     "S 0 A"}));
    EXPECT_EQ(r.run.out, "");
}

TEST(OccupationPage, GapEndsLinesOneIntervalAfterTheLastEpoch) {
    // Interval 13, epochs 0, 13, 52, 65: a third of a centimetre per second.
    OccSetup setup;
    setup.interval = 13;
    setup.obs = {{0, 0, '8', '8'}, {0, 13, '8', '8'}, {0, 52, '8', '8'}, {0, 65, '8', '8'}};
    Rendered r = render({setup});
    EXPECT_EQ(drawing(r.document),
              (Lines{count,      count_width, "600 225 M",  "0 195 D",  //
                     count,      count_width, "600 420 M",  "1300 0 D", "1300 0 D", "0 -195 D",
                     "1300 0 D",                                         // to zero at 26 s
                     "S 0 A",    "S 40 W",    "600 345 M",  "2600 0 D",  // L1 ends at 26 s
                     "S 0 A",    "S 40 W",    "600 285 M",  "2600 0 D",  //
                     count,      count_width, "4500 225 M", "1300 0 D", "0 195 D",   //
                     count,      count_width, "5800 420 M", "2600 0 D", "0 -195 D",  //
                     "S 0 A",    "S 40 W",    "5800 345 M", "2600 0 D",              //
                     "S 0 A",    "S 40 W",    "5800 285 M", "2600 0 D",              //
                     "S 0 A"}));
    EXPECT_EQ(r.run.out, "\nWarning: [21.12.121 10:00:52] Intervallwechsel von 39.00 zu 13.00\n");
}

TEST(OccupationPage, SatelliteFirstSeenBeforeAGapDrawsOneIntervalNotTheGap) {
    // Interval 13, epochs 0, 52, 65: the gap follows the first epoch, so the
    // row's line covers 0 to 13 s and starts again at 52 s.
    OccSetup setup;
    setup.interval = 13;
    setup.obs = {{0, 0, '8', '8'}, {0, 52, '8', '8'}, {0, 65, '8', '8'}};
    Rendered r = render({setup});
    EXPECT_EQ(drawing(r.document),
              (Lines{count,      count_width, "600 225 M",  "0 195 D",  "1300 0 D", "0 -195 D",
                     "1300 0 D",                                         // to zero at 26 s
                     "S 0 A",    "S 40 W",    "600 345 M",  "1300 0 D",  // L1 0 to 13 s
                     "S 0 A",    "S 40 W",    "600 285 M",  "1300 0 D",  //
                     count,      count_width, "3200 225 M", "2600 0 D", "0 195 D",   //
                     count,      count_width, "5800 420 M", "2600 0 D", "0 -195 D",  //
                     "S 0 A",    "S 40 W",    "5800 345 M", "2600 0 D",  // L1 52 to 78 s
                     "S 0 A",    "S 40 W",    "5800 285 M", "2600 0 D",  //
                     "S 0 A"}));
}

TEST(OccupationPage, IntervalZeroMakesEveryNewEpochAGap) {
    OccSetup setup;
    setup.obs = {{0, 0, '8', '8'}, {0, 1, '8', '8'}, {0, 2, '8', '8'}};
    Rendered r = render({setup});
    EXPECT_EQ(drawing(r.document),
              (Lines{count,   count_width, "600 225 M",  "0 195 D",  "0 -195 D",              //
                     count,   count_width, "600 225 M",  "3900 0 D", "0 195 D",  "0 -195 D",  //
                     "S 0 A", "S 40 W",    "600 345 M",  "3900 0 D",                          //
                     "S 0 A", "S 40 W",    "600 285 M",  "3900 0 D",                          //
                     count,   count_width, "4500 225 M", "3900 0 D", "0 195 D",               //
                     count,   count_width, "8400 420 M", "0 -195 D",                          //
                     "S 0 A", "S 40 W",    "8400 345 M",                                      //
                     "S 0 A", "S 40 W",    "8400 285 M",                                      //
                     "S 0 A"}));
    EXPECT_EQ(r.run.out, "");
}

TEST(OccupationPage, LossOfLockOneAndFiveMarkThreeAndSevenDoNot) {
    OccSetup setup;
    setup.interval = 1;
    setup.obs = {{0, 0, '6', '6'}, {0, 1, '6', '6', '1', '5'}, {0, 2, '6', '6', '3', '7'}};
    Rendered r = render({setup});
    EXPECT_EQ(drawing(r.document),
              (Lines{count,       count_width, "600 225 M",  "0 195 D",               //
                     "S 0 A",     "S 4 W",     "3200 387 M", "0 -36 D",               // L1 mark
                     "S 0 A",     "S 4 W",     "3200 228 M", "0 36 D",                // L2 mark
                     count,       count_width, "600 420 M",  "7800 0 D", "0 -195 D",  //
                     "S 0.314 A", "S 24 W",    "600 345 M",  "7800 0 D",              //
                     "S 0.314 A", "S 24 W",    "600 285 M",  "7800 0 D",              //
                     "S 0 A"}));
}

TEST(OccupationPage, SpacingWarningNamesTheEpochWhereTheSpacingChanged) {
    OccSetup setup;
    setup.interval = 30;
    for (double at : {0, 15, 30, 60, 90}) setup.obs.push_back({0, at, '5', '5'});
    Rendered r = render({setup});
    EXPECT_EQ(r.run.status, 0);
    EXPECT_EQ(r.run.out, "\nWarning: [21.12.121 10:01:00] Intervallwechsel von 15.00 zu 30.00\n");
}

TEST(OccupationPage, ProgressDotEveryHundredObservations) {
    OccSetup setup;
    setup.interval = 1;
    setup.satellites = 5;
    setup.obs = plottest::steady(5, 1, 59, '5');  // 300 observations
    EXPECT_EQ(render({setup}).run.out, "...");
}

TEST(OccupationPage, MoreThan27SatellitesShareTheFrameOf27Rows) {
    struct Case {
        int sats;
        const char* top_l1;  // the move to the L1 line of the top row, closing the page
        const char* width;   // the width of digit 5 at the row pitch
    };
    // The pitch is 0.65 cm x 27 / rows; the top row's L1 line stands 0.2 cm
    // x pitch / 0.65 below the frame's top at 18.25 cm (5475).
    for (const Case& c : {Case{28, "600 5417 M", "S 23 W"}, Case{30, "600 5421 M", "S 22 W"},
                          Case{54, "600 5445 M", "S 12 W"}}) {
        OccSetup setup;
        setup.interval = 30;
        setup.satellites = c.sats;
        setup.obs = plottest::steady(c.sats, 30, 60, '5');
        Rendered r = render({setup});
        EXPECT_EQ(r.run.status, 0) << c.sats;
        EXPECT_EQ(r.run.out.find("SVs"), std::string::npos) << c.sats;  // none left out
        // A label for every satellite.
        EXPECT_TRUE(has_text(r.document, plottest::satellite_id('G', c.sats))) << c.sats;
        // The frame is 27 rows high: 27 * 0.65 + 0.07 cm; the rows share it.
        EXPECT_NE(r.document.find("\n0 5286 D\n"), std::string::npos) << c.sats;
        EXPECT_EQ(after(r.document, c.width, 1), (Lines{c.top_l1})) << c.sats;
        // All observations count, so the curve reaches the satellite count,
        // which stands at the frame's top.
        EXPECT_TRUE(has_text(r.document, std::to_string(c.sats))) << c.sats;
        EXPECT_TRUE(r.document.starts_with("%!PS-Adobe-3.0 EPSF-3.0\n")) << c.sats;
    }
}

TEST(OccupationPage, PagesOfASeriesEachShowTheirRowsAndTheWholeCountCurve) {
    // 32 GPS and 28 GLONASS satellites: GLONASS begins the second page. R01,
    // its top row, loses lock on L1 at 30 s.
    OccSetup setup;
    setup.interval = 30;
    for (int n = 1; n <= 60; ++n)
        setup.names.push_back(plottest::satellite_id(n <= 32 ? 'G' : 'R', n <= 32 ? n : n - 32));
    setup.satellites = 60;
    setup.obs = plottest::steady(60, 30, 60, '5');
    setup.obs[32 + 60].l1_lli = '1';
    const std::string doc = render({setup}).document;
    const std::size_t second = doc.find("%%Page: 2 2\n");
    ASSERT_TRUE(second != std::string::npos && doc.find("%%Page: 3 3") == std::string::npos);
    const std::string page1 = doc.substr(0, second), page2 = doc.substr(second);
    // Both pages begin with the same count curve of all 60 satellites.
    EXPECT_EQ(after(page1, "%%EndPageSetup", 8), after(page2, "%%EndPageSetup", 8));
    EXPECT_EQ(after(page1, "%%EndPageSetup", 1), Lines{count});
    EXPECT_TRUE(has_text(page1, "G32") && !has_text(page1, "R01") &&
                has_text(page1, "Page:  1 of 2"));
    EXPECT_TRUE(has_text(page2, "R28") && !has_text(page2, "G01") &&
                has_text(page2, "Page:  2 of 2"));
    // The mark at x 2 + 30 x 26 / 90 cm, 0.06 cm x 27 / 28 below the top of
    // the frame (0.7 + 17.55 cm), on the second page only.
    EXPECT_EQ(after(page2, "S 4 W", 1), (Lines{"3200 5458 M"}));
    EXPECT_EQ(after(page1, "S 4 W", 1), Lines{});
}

TEST(OccupationPage, InformationBlockInCartesianCoordinates) {
    OccSetup setup;
    setup.interval = 30;
    setup.obs = plottest::steady(1, 30, 60, '5');
    Rendered r = render({setup}, false);
    for (const char* text :
         {"TP27", "X:  4449541.1000m", "Y:   723423.5000m", "Z:  4497127.0000m", "TP270010.21o",
          "Int: 30s", "Rec: R100,TRIMBLE 4000SST", "Ant: A200,TRM22020.00+GP", "H:  1.5000m",
          "E:  0.0000m", "N:  0.0000m", "Begin: 21.12.121 10:00:00", "End:   21.12.121 10:01:00",
          "SV #", "G01", "signal/noise"})
        EXPECT_TRUE(has_text(r.document, text)) << text;
}

TEST(OccupationPage, InformationBlockInLatitudeAndLongitude) {
    // A point 100 m above the ellipsoid at latitude -0.5 degrees, longitude 0.
    const double a = 6378137.0, b = 6356752.31414, e2 = 1 - b * b / (a * a);
    const double phi = -0.5 * std::numbers::pi / 180,
                 n = a / std::sqrt(1 - e2 * std::sin(phi) * std::sin(phi));
    OccSetup setup;
    setup.interval = 30;
    setup.x = (n + 100) * std::cos(phi);
    setup.y = 0;
    setup.z = (n * (1 - e2) + 100) * std::sin(phi);
    setup.obs = plottest::steady(1, 30, 60, '5');
    Rendered r = render({setup}, true);
    EXPECT_TRUE(has_text(r.document, "S  0 30  0.000"));
    EXPECT_TRUE(has_text(r.document, "E  0  0 0.000000"));
    EXPECT_TRUE(has_text(r.document, "ALT    100.000"));

    // West of Greenwich and north: three decimals for the western longitude.
    setup.x = 4449541.1;
    setup.y = -723423.5;
    setup.z = 4497127.0;
    r = render({setup}, true);
    EXPECT_TRUE(has_text(r.document, "N 45  7 24.443")) << r.document;
    EXPECT_TRUE(has_text(r.document, "W  9 14  4.440"));
}

TEST(OccupationPage, FooterFrameAxisAndLegendFollowTheRows) {
    OccSetup setup;
    setup.interval = 30;
    setup.obs = plottest::steady(1, 30, 60, '5');
    std::time_t now = std::time(nullptr);
    Rendered r = render({setup});
    std::tm today{};
    localtime_r(&now, &today);
    char footer[128];
    std::snprintf(footer, sizeof footer,
                  "Lumerakon 2.0.2, 11.9.2000 \\(c\\) Lumerakon developers %02d.%02d.%4d QOR-VELD",
                  today.tm_mday, today.tm_mon + 1, today.tm_year + 1900);
    // Parentheses go into the document with a backslash in front.
    EXPECT_NE(r.document.find(std::string("V -90 R 85 F0 (") + footer + ") E -1 div 0 G Z U\n"),
              std::string::npos)
        << footer;
    // Frame of one row: 26 cm wide, 0.72 cm high.
    EXPECT_NE(r.document.find("S 0 A\nS 12 W\n600 210 M\n7800 0 D\n0 216 D\n-7800 0 D\n0 -216 D\n"),
              std::string::npos);
    // Count scale: level 1 only, then the information block begins.
    Lines scale = after(r.document, "S 3 W", 4);
    ASSERT_EQ(scale.size(), 4u);
    EXPECT_TRUE(scale[0].ends_with(" (1) E -1 div 0 G Z")) << scale[0];
    EXPECT_EQ((Lines(scale.begin() + 1, scale.end())), (Lines{"570 420 M", "30 0 D", "S 0 A"}));
    EXPECT_TRUE(r.document.ends_with("showpage\n\nend\n"));
}

TEST(OccupationPage, NoEpochInTheSpanDrawsNoCurvesAndNoCountScale) {
    OccSetup setup;
    setup.interval = 30;
    setup.obs = plottest::steady(1, 30, 60, '5');
    Rendered r = render({setup}, false, t0 + 3600, t0 + 7200);
    EXPECT_EQ(r.run.status, 0);
    EXPECT_EQ(drawing(r.document), (Lines{"S 0 A"}));
    EXPECT_EQ(after(r.document, "S 3 W", 1), (Lines{"S 0 A"}));
    EXPECT_TRUE(has_text(r.document, "G01"));
    EXPECT_TRUE(has_text(r.document, "signal/noise"));
}

// Every coordinate of a page stays on or near the paper.
bool coordinates_finite(const std::string& document) {
    for (const std::string& line : testkit::lines_of(document)) {
        if (line.find("nan") != std::string::npos || line.find("inf") != std::string::npos)
            return false;
        long x, y;
        if (std::sscanf(line.c_str(), "%ld %ld M", &x, &y) == 2 &&
            (std::labs(x) > 20000 || std::labs(y) > 20000))
            return false;
    }
    return true;
}

TEST(OccupationPage, DegenerateSpansStillDrawAFinitePage) {
    OccSetup setup;  // interval 0, one epoch: begin equals end
    setup.obs = {{0, 0, '5', '5'}};
    Rendered r = render({setup});
    EXPECT_EQ(r.run.status, 0);
    EXPECT_TRUE(coordinates_finite(r.document));
    EXPECT_TRUE(r.document.ends_with("showpage\n\nend\n"));

    setup.interval = 30;  // end before begin
    setup.obs = plottest::steady(1, 30, 60, '5');
    r = render({setup}, false, t0 + 60, t0);
    EXPECT_EQ(r.run.status, 0);
    EXPECT_TRUE(r.document.ends_with("showpage\n\nend\n"));

    // More than a week of span.
    r = render({setup}, false, t0, t0 + 40 * 86400.0);
    EXPECT_EQ(r.run.status, 0);
    EXPECT_TRUE(coordinates_finite(r.document));
}

TEST(OccupationPage, LastEpochBeforeAnotherOccupationIsNoGap) {
    // The next occupation starts a day later: the lines end on the right edge
    // of the frame and no spacing warning appears.
    OccSetup first, second;
    first.interval = second.interval = 1;
    first.obs = {{0, 0, '8', '8'}, {0, 1, '8', '8'}};
    second.start = t0 + 86400;
    second.obs = {{0, 0, '8', '8'}};
    Rendered r = render({first, second});
    EXPECT_EQ(r.run.out, "");
    EXPECT_EQ(drawing(r.document),
              (Lines{count, count_width, "600 225 M", "0 195 D",               //
                     count, count_width, "600 420 M", "7800 0 D", "0 -195 D",  //
                     "S 0 A", "S 40 W", "600 345 M", "7800 0 D",               //
                     "S 0 A", "S 40 W", "600 285 M", "7800 0 D",               //
                     "S 0 A"}));
}

TEST(OccupationPage, DamagedLinksDoNotStopThePage) {
    OccSetup setup;
    setup.interval = 1;
    setup.obs = {
        {0, 0, '8', '8'}, {0, 1, '8', '8'}, {0, 2, '8', '8', ' ', ' ', 987654}, {0, 3, '8', '8'}};
    Rendered r = render({setup});
    EXPECT_EQ(r.run.status, 0);
    // The block of the occupation ends at the observation that points nowhere.
    Lines d = drawing(r.document);
    EXPECT_EQ(std::count(d.begin(), d.end(), "600 345 M"), 1);
    EXPECT_TRUE(r.document.ends_with("showpage\n\nend\n"));
}

}  // namespace
