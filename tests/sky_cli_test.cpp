// The sky pages as the program writes them, for an occupation generated
// under a real day's broadcast orbits with an obstruction: a sector of
// azimuth where nothing below 40 degrees is observed. The pages are read
// back from the PostScript (the tracks' lines) and through Ghostscript (the
// names, the boxes, the page count).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "orbits/occupation_sky.h"
#include "orbits/test_files.h"
#include "plot/sky_page.h"
#include "tests/testkit/ghostscript.h"
#include "tests/testkit/plot_test_fill.h"
#include "tests/testkit/testkit.h"

namespace {

using testkit::RunResult;

const char* const nav_file = "MOJN00DNK_R_20201770000_01D_MN.rnx.gz";
constexpr double units = 300.0;  // drawing units per centimetre

// The obstruction: azimuth 60 to 150 degrees, below 40.
bool obstructed(double azimuth, double elevation) {
    return azimuth >= 60 && azimuth <= 150 && elevation < 40;
}

struct Place {
    std::string satellite;
    double x, y;  // drawing units
};

// An occupation of the GPS satellites above the horizon over six hours of
// 2020-06-25 at 30 s, as the day's broadcast orbits place them, all with
// signal digit 9, without the obstructed observations. `places` receives
// where each observation stands on the sky plot.
plottest::OccSetup obstructed_day(std::vector<Place>* places) {
    plottest::OccSetup setup;
    setup.start = time_value(2020, 6, 25, 6, 0, 0);
    setup.interval = 30;
    auto store = std::make_shared<orbits::EphemerisStore>(
        orbits_test::store_of(orbits_test::read_nav_file(testkit::test_data_path(nav_file))));
    const double position[3] = {setup.x, setup.y, setup.z};
    orbits::OccupationSky sky(store, position);
    std::map<std::string, int> index;
    for (double at = 0; at <= 6 * 3600; at += 30)
        for (int prn = 1; prn <= 32; ++prn) {
            const std::string id = plottest::satellite_id('G', prn);
            const orbits::SkyDirection d = sky.direction(id.c_str(), setup.start + at);
            if (!d.found || d.elevation_deg < 0 || obstructed(d.azimuth_deg, d.elevation_deg))
                continue;
            auto known = index.find(id);
            if (known == index.end()) {
                known = index.emplace(id, static_cast<int>(setup.names.size())).first;
                setup.names.push_back(id);
            }
            setup.obs.push_back({known->second, at, '9', '9'});
            const SkyXY p = sky_position(d.azimuth_deg, d.elevation_deg);
            places->push_back({id, p.x * units, p.y * units});
        }
    setup.satellites = static_cast<int>(setup.names.size());
    return setup;
}

// The lines inside the plot's horizon of page `page` drawn with line width
// `width` (the key's samples stand outside it), from the document's pen
// moves ("x y M", absolute) and lines ("dx dy D", relative), in drawing
// units.
struct Segment {
    double x0, y0, x1, y1;
};
bool inside_horizon(double x, double y) {
    return std::hypot(x / units - sky_centre_x, y / units - sky_centre_y) <= sky_radius;
}

std::vector<Segment> lines_of_width(const std::string& doc, int page, int width) {
    const std::string start = "%%Page: " + std::to_string(page) + " ";
    std::size_t at = doc.find(start);
    if (at == std::string::npos) return {};
    const std::size_t stop = doc.find("%%Page: ", at + start.size());
    std::istringstream in(doc.substr(at, stop == std::string::npos ? std::string::npos : stop - at));
    std::vector<Segment> out;
    std::string line;
    double x = 0, y = 0;
    int w = -1;
    while (std::getline(in, line)) {
        double a = 0, b = 0;
        char op[8] = {};
        if (std::sscanf(line.c_str(), "S %lf %7s", &a, op) == 2 && std::string(op) == "W") {
            w = static_cast<int>(a);
        } else if (std::sscanf(line.c_str(), "%lf %lf %7s", &a, &b, op) == 3) {
            if (std::string(op) == "M") {
                x = a;
                y = b;
            } else if (std::string(op) == "D") {
                if (w == width && inside_horizon(x, y) && inside_horizon(x + a, y + b))
                    out.push_back({x, y, x + a, y + b});
                x += a;
                y += b;
            }
        }
    }
    return out;
}

// Azimuth and elevation of a point of the plot (drawing units).
void direction_of(double x, double y, double* azimuth, double* elevation) {
    const double dx = x / units - sky_centre_x, dy = y / units - sky_centre_y;
    *elevation = 90.0 - std::hypot(dx, dy) / sky_radius * 90.0;
    *azimuth = std::fmod(std::atan2(dx, dy) * 180.0 / std::numbers::pi + 360.0, 360.0);
}

class SkyPages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testkit::ScratchDir;
        setup_ = new plottest::OccSetup(obstructed_day(&places_));
        {
            testkit::InDir in(dir_->path());
            plottest::add_occupations({*setup_});
        }
        testkit::copy_test_data(nav_file, dir_->path());
        read_ = testkit::run_lumerak({std::string("-r") + nav_file}, dir_->path());
        plot_ = testkit::run_lumerak({"-g"}, dir_->path());
        doc_ = testkit::read_file(dir_->file("TP27-1.ps"));
    }
    static void TearDownTestSuite() {
        delete setup_;
        delete dir_;
    }
    static testkit::ScratchDir* dir_;
    static plottest::OccSetup* setup_;
    static std::vector<Place> places_;
    static RunResult read_, plot_;
    static std::string doc_;
};
testkit::ScratchDir* SkyPages::dir_ = nullptr;
plottest::OccSetup* SkyPages::setup_ = nullptr;
std::vector<Place> SkyPages::places_;
RunResult SkyPages::read_, SkyPages::plot_;
std::string SkyPages::doc_;

// Tracks of digit 9 are drawn 40 units wide, as the legend's line of 9.
constexpr int track_width = 40;

// Every track point stands where the orbits put an observed satellite, and
// no track runs through the obstructed sector while the open one beside it
// has low tracks.
TEST_F(SkyPages, TracksFollowTheOrbitsAndAvoidTheObstructedSector) {
    ASSERT_EQ(read_.status, 0) << read_.err;
    ASSERT_EQ(plot_.status, 0) << plot_.err;
    ASSERT_GE(setup_->satellites, 8);
    const std::vector<Segment> tracks = lines_of_width(doc_, 2, track_width);
    ASSERT_GE(tracks.size(), 100u);
    std::size_t off = 0;
    int inside = 0, beside = 0;
    for (const Segment& s : tracks) {
        for (auto [x, y] : {std::pair{s.x0, s.y0}, std::pair{s.x1, s.y1}}) {
            double nearest = 1e9;
            for (const Place& p : places_) nearest = std::min(nearest, std::hypot(p.x - x, p.y - y));
            if (nearest > track_width) ++off;
        }
        for (double f = 0; f <= 1.0; f += 0.125) {
            double azimuth, elevation;
            direction_of(s.x0 + f * (s.x1 - s.x0), s.y0 + f * (s.y1 - s.y0), &azimuth,
                         &elevation);
            // A degree inside the sector's edges: a track may run along them.
            if (azimuth > 61 && azimuth < 149 && elevation < 39) ++inside;
            if (azimuth > 160 && azimuth < 250 && elevation < 39) ++beside;
        }
    }
    EXPECT_EQ(off, 0u) << "track points farther than a line width from every observation's place";
    EXPECT_EQ(inside, 0);
    EXPECT_GT(beside, 0) << "the unobstructed sector beside it has low tracks";
}

TEST_F(SkyPages, EverySatelliteNamedOnceInsideThePlotAndNoneOverAnother) {
    if (!testkit::have_ghostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
    ASSERT_EQ(plot_.status, 0) << plot_.err;
    const std::vector<testkit::SheetPage> pages = testkit::sheet_texts(dir_->path(), "TP27-1.ps");
    ASSERT_EQ(pages.size(), 3u);
    const testkit::SheetPage& sky = pages[1];
    // The plot circle on the sheet from its north and south letters, which
    // stand 0.4 cm outside the horizon.
    auto centre_of = [&](const std::string& text) {
        for (const testkit::SheetText& t : sky)
            if (t.text == text && t.size > 11) return std::pair{(t.x0 + t.x1) / 2.0, (t.y0 + t.y1) / 2.0};
        return std::pair{-1.0, -1.0};
    };
    const auto north = centre_of("N"), south = centre_of("S");
    ASSERT_GE(north.first, 0);
    ASSERT_GE(south.first, 0);
    const double cx = (north.first + south.first) / 2, cy = (north.second + south.second) / 2;
    const double outer = std::hypot(north.first - south.first, north.second - south.second) / 2 /
                         (sky_radius + 0.4) * (sky_radius + sky_label_margin);
    std::vector<const testkit::SheetText*> names;
    for (const std::string& id : setup_->names) {
        int found = 0;
        for (const testkit::SheetText& t : sky)
            if (t.text == id) {
                ++found;
                names.push_back(&t);
                for (auto [x, y] : {std::pair{t.x0, t.y0}, std::pair{t.x1, t.y1}})
                    EXPECT_LE(std::hypot(x - cx, y - cy), outer + 1) << id;
            }
        EXPECT_EQ(found, 1) << id;
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) {
            const testkit::SheetText& a = *names[i];
            const testkit::SheetText& b = *names[j];
            const bool apart = std::max(a.x0, a.x1) < std::min(b.x0, b.x1) ||
                               std::max(b.x0, b.x1) < std::min(a.x0, a.x1) ||
                               std::max(a.y0, a.y1) < std::min(b.y0, b.y1) ||
                               std::max(b.y0, b.y1) < std::min(a.y0, a.y1);
            EXPECT_TRUE(apart) << a.text << " over " << b.text;
        }
}

TEST_F(SkyPages, PagesOnA4InBothOrientationsCountedInTheDocument) {
    if (!testkit::have_ghostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
    for (const char* orientation : {"", "-p"}) {
        SCOPED_TRACE(orientation);
        std::vector<std::string> args = {"-g"};
        if (*orientation) args.push_back(orientation);
        const RunResult r = testkit::run_lumerak(args, dir_->path());
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string doc = testkit::read_file(dir_->file("TP27-1.ps"));
        EXPECT_NE(doc.find("%%Pages: 3\n"), std::string::npos);
        EXPECT_EQ(testkit::pdf_pages(dir_->path(), "TP27-1.ps"), 3);
        const std::vector<std::vector<int>> boxes = testkit::drawn_boxes(dir_->path(), "TP27-1.ps");
        ASSERT_EQ(boxes.size(), 3u);
        for (const std::vector<int>& box : boxes) {
            EXPECT_GT(box[0], 0);
            EXPECT_GT(box[1], 0);
            EXPECT_LE(box[2], 595);
            EXPECT_LE(box[3], 842);
        }
        EXPECT_EQ(testkit::ghostscript_errors(dir_->path(), "TP27-1.ps"), "");
    }
}

// Ephemerides of another day give no sky pages: the file is the one the
// campaign without them gives, byte for byte but for its creation date (and
// the footer's date).
TEST(SkyPagesWithoutOrbits, EphemeridesOfAnotherDayLeaveTheFileAsItWas) {
    std::vector<Place> places;
    const plottest::OccSetup setup = obstructed_day(&places);
    std::string files[2];
    for (int with = 0; with <= 1; ++with) {
        testkit::ScratchDir dir;
        {
            testkit::InDir in(dir.path());
            plottest::add_occupations({setup});
        }
        if (with) {
            const char* other_day = "KMS300DNK_R_20221591000_01H_MN.rnx.gz";
            testkit::copy_test_data(other_day, dir.path());
            ASSERT_EQ(testkit::run_lumerak({std::string("-r") + other_day}, dir.path()).status, 0);
        }
        ASSERT_EQ(testkit::run_lumerak({"-g"}, dir.path()).status, 0);
        for (const std::string& line : testkit::lines_of(testkit::read_file(dir.file("TP27-1.ps"))))
            if (!line.starts_with("%%CreationDate") && line.find("QOR-VELD") == std::string::npos)
                files[with] += line + "\n";
    }
    EXPECT_EQ(files[0].find("%%Pages"), std::string::npos);
    EXPECT_EQ(files[1], files[0]);
}

}  // namespace
