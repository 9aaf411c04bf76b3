// An occupation's sky built from a campaign that read a real day's
// observation and navigation files, against a full evaluation of the same
// navigation files read by the tests' own reader; satellites and times
// without orbits; the names of satellites.
#include "orbits/occupation_sky.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <map>
#include <string>
#include <vector>

#include "obsdb/observation_walk.h"
#include "orbits/sky_grid.h"
#include "orbits/test_files.h"
#include "orbits/time_scales.h"
#include "tests/testkit/testkit.h"

namespace {

constexpr double deg = std::numbers::pi / 180.0;

// The angle (degrees) between two directions given as azimuth and elevation.
double angle_between(double az1, double el1, double az2, double el2) {
    const double a[3] = {std::cos(el1 * deg) * std::sin(az1 * deg), std::cos(el1 * deg) * std::cos(az1 * deg),
                         std::sin(el1 * deg)};
    const double b[3] = {std::cos(el2 * deg) * std::sin(az2 * deg), std::cos(el2 * deg) * std::cos(az2 * deg),
                         std::sin(el2 * deg)};
    const double c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    return std::atan2(std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]), dot) / deg;
}

}  // namespace

TEST(OccupationSky, SatelliteNames) {
    struct Row {
        const char* text;
        bool ok;
        char system;
        int prn;
    } rows[] = {
        {"G05", true, 'G', 5},  {"R24", true, 'R', 24}, {"E31", true, 'E', 31}, {"C59", true, 'C', 59},
        {"J01", true, 'J', 1},  {" 7", true, 'G', 7},   {"12", true, 'G', 12},  {"G 5", true, 'G', 5},
        {"S20", true, 'S', 20}, {"X05", false, 0, 0},   {"G", false, 0, 0},     {"G5x", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const Row& r : rows) {
        char system = 0;
        int prn = 0;
        EXPECT_EQ(orbits::parse_satellite(r.text, &system, &prn), r.ok) << r.text;
        if (r.ok) {
            EXPECT_EQ(system, r.system) << r.text;
            EXPECT_EQ(prn, r.prn) << r.text;
        }
    }
}

// Real days read by the program with navigation files of their own: the
// directions against a full evaluation of the same navigation files read
// by the tests' own reader, at every observation.
struct RealDay {
    const char* observations;
    std::vector<const char*> navigation;
    const char* systems;  // the systems whose navigation files were read
    long min_found;       // observations with a direction, at least
    double header_x;
};

class OccupationSkyDay : public testing::TestWithParam<RealDay> {};

TEST_P(OccupationSkyDay, AgainstFullEvaluation) {
    const RealDay& day = GetParam();
    testkit::ScratchDir dir;
    std::vector<const char*> files = day.navigation;
    files.insert(files.begin() + 1, day.observations);  // a navigation file before and after
    for (const char* f : files) {
        testkit::copy_test_data(f, dir.path());
        ASSERT_EQ(testkit::run_lumerak({std::string("-r") + f}, dir.path()).status, 0) << f;
    }
    orbits::EphemerisStore direct;
    for (const char* f : day.navigation) {
        const orbits_test::NavFile nav = orbits_test::read_nav_file(testkit::test_data_path(f));
        const orbits::EphemerisStore part = orbits_test::store_of(nav);
        for (const char* s = day.systems; *s; ++s)
            for (int prn = 1; prn < 100; ++prn)
                for (const orbits::Ephemeris& e : part.of_satellite(*s, prn)) direct.add(e);
    }

    testkit::InDir in(dir.path());
    Campaign c;
    c.open_read({CampaignTable::occ, CampaignTable::cor, CampaignTable::satocc, CampaignTable::sat,
                 CampaignTable::obs});
    const long occupation = db_first(&c.occ_db);
    ASSERT_NE(occupation, 0);
    c.read_checked(CampaignTable::occ, occupation);
    const auto store = orbits::campaign_ephemerides();
    const double elsewhere[3] = {6378137.0, 0, 0};  // a computed position is for a header of zero only
    orbits::OccupationSky sky = orbits::occupation_sky(c, store, elsewhere);
    ASSERT_TRUE(sky.has_orbits());
    EXPECT_NEAR(sky.station().position[0], day.header_x, 1e-3);  // the header's position

    long found = 0, below_horizon = 0;
    std::map<char, long> per_system;
    double worst = 0;
    ObservationWalk walk(c);
    ASSERT_TRUE(walk.start(occupation));
    do {
        if (c.obs.satocc_ref == 0) break;
        c.read_checked(CampaignTable::satocc, c.obs.satocc_ref);
        if (c.satocc.occ_ref != occupation) break;
        c.read_checked(CampaignTable::sat, c.satocc.sat_ref);
        const orbits::SkyDirection d = sky.direction(c.sat.prn, c.obs.epoch);
        char system = 0;
        int prn = 0;
        ASSERT_TRUE(orbits::parse_satellite(c.sat.prn, &system, &prn));
        const orbits::Sighting full = orbits::sight_satellite(
            direct, system, prn, sky.station(), orbits::gps_seconds_of_time_value(c.obs.epoch));
        ASSERT_EQ(d.found, full.found) << c.sat.prn << " " << c.obs.epoch;
        if (!d.found) continue;
        ++found;
        ++per_system[system];
        if (d.elevation_deg < 0) ++below_horizon;
        ASSERT_GE(d.azimuth_deg, 0);
        ASSERT_LT(d.azimuth_deg, 360);
        worst = std::max(worst, angle_between(d.azimuth_deg, d.elevation_deg, full.look.azimuth / deg,
                                              full.look.elevation / deg));
    } while (walk.next());
    // Observed satellites stand above the horizon.
    EXPECT_GE(found, day.min_found);
    EXPECT_EQ(below_horizon, 0);
    for (const char* s = day.systems; *s; ++s) EXPECT_GT(per_system[*s], 0) << *s;
    EXPECT_LT(worst, 1e-5) << "interpolated against full, degrees";

    // Without orbits: a satellite without ephemerides, a time days away,
    // a name that is not a satellite.
    const double day_start = c.occ.first_epoch;
    EXPECT_FALSE(sky.direction("E36", day_start + 600).found);
    EXPECT_FALSE(sky.direction("G05", day_start + 3 * 86400).found);
    EXPECT_FALSE(sky.direction("X05", day_start + 600).found);
    c.close({CampaignTable::occ, CampaignTable::cor, CampaignTable::satocc, CampaignTable::sat,
             CampaignTable::obs});
}

INSTANTIATE_TEST_SUITE_P(
    RealDays, OccupationSkyDay,
    testing::Values(
        // Delft, 1 January 2021, 52 minutes of 30 s, GPS and GLONASS, with the
        // day's GPS and GLONASS files (few of their ephemerides serve the hour).
        RealDay{"delf0010.21o", {"cbw10010.21n.gz", "dlf10010.21g"}, "GR", 200, 3924687.702},
        // KMS3, 8 June 2022 10:00, 919 observations of 30 s, five systems, with its
        // own navigation file (RINEX 4).
        RealDay{"KMS300DNK_R_20221591000_01H_30S_MO.crx", {"KMS300DNK_R_20221591000_01H_MN.rnx.gz"}, "GRECJ",
                700, 3516213.438}),
    [](const testing::TestParamInfo<RealDay>& info) {
        return std::string(info.param.observations).substr(0, 4);
    });

// A campaign that read no navigation file has no ephemerides; a header
// position of zero: the computed position where the caller gives one,
// otherwise no orbits.
TEST(OccupationSky, WithoutNavigationAndHeaderOfZero) {
    testkit::ScratchDir dir;
    std::string text = testkit::read_file(testkit::test_data_path("delf0010.21o"));
    const std::string approx = "  3924687.7020   301132.7660  5001910.7750                  APPROX POSITION XYZ";
    const std::size_t at = text.find(approx);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, approx.size(), "        0.0000        0.0000        0.0000                  APPROX POSITION XYZ");
    testkit::write_file(dir.file("zero.21o"), text);
    testkit::copy_test_data("cbw10010.21n.gz", dir.path());
    testkit::InDir in(dir.path());
    ASSERT_EQ(testkit::run_lumerak({"-rzero.21o"}, dir.path()).status, 0);
    EXPECT_TRUE(orbits::campaign_ephemerides()->empty());
    ASSERT_EQ(testkit::run_lumerak({"-rcbw10010.21n.gz"}, dir.path()).status, 0);
    Campaign c;
    c.open_read({CampaignTable::occ, CampaignTable::cor});
    c.read_checked(CampaignTable::occ, db_first(&c.occ_db));
    double header[3] = {1, 1, 1};
    orbits::header_position(c, header);
    EXPECT_EQ(header[0], 0);
    EXPECT_EQ(header[2], 0);
    // No position, or no ephemerides: no orbits.
    const auto store = orbits::campaign_ephemerides();
    const double computed[3] = {3924690.0, 301130.0, 5001915.0};
    orbits::OccupationSky nowhere = orbits::occupation_sky(c, store);
    orbits::OccupationSky without(std::make_shared<orbits::EphemerisStore>(), computed);
    for (orbits::OccupationSky* none : {&nowhere, &without}) {
        EXPECT_FALSE(none->has_orbits());
        EXPECT_FALSE(none->direction("G08", c.occ.first_epoch + 600).found);
    }
    orbits::OccupationSky sky = orbits::occupation_sky(c, store, computed);
    EXPECT_TRUE(sky.has_orbits());
    EXPECT_EQ(sky.station().position[0], computed[0]);
    // G08 at 00:10 (an ephemeris of 00:00 serves it) stands above Delft.
    const orbits::SkyDirection d = sky.direction("G08", c.occ.first_epoch + 600);
    EXPECT_TRUE(d.found);
    EXPECT_GT(d.elevation_deg, 0);
    c.close({CampaignTable::occ, CampaignTable::cor});
}

// The sky grid against the full computation over a whole day of five
// systems (MOJN's navigation file, seen from KMS3), its ends and the gaps
// in its ephemerides included: the same satellites found, the sine of the
// elevation within 1e-4, at every 30 s; and every answer kept over its
// span: the sine 30 s on, where the span reaches, that of the span's
// cubic, no orbit found where the span said none, and the sine within
// 0.02 of the one before up to where sine_leaves says it leaves, and
// beyond it 2 ms later. Asked for sines above the horizon only, it
// answers false only where the full computation has none: over the whole
// span given with it.
TEST(SkyGrid, WholeDayAgainstFullComputation) {
    const orbits_test::NavFile nav =
        orbits_test::read_nav_file(testkit::test_data_path("MOJN00DNK_R_20201770000_01D_MN.rnx.gz"));
    const orbits::EphemerisStore store = orbits_test::store_of(nav);
    const orbits::StationFrame kms3 = orbits::station_frame(3516213.438, 781859.8595, 5246037.966);
    orbits::SkyGrid grid(store, kms3);
    const double day = orbits::calendar_seconds(2020, 6, 25, 0, 0, 0);
    double worst = 0;
    long compared = 0, differ = 0;
    std::map<char, long> per_system;
    struct Kept {
        bool found = false;
        double sine = 0;
        orbits::SineSpan span;
    };
    std::map<int, Kept> kept;
    long outside_span = 0, spans_kept = 0, left_early = 0, leaving = 0;
    std::map<int, orbits::SineSpan> below;  // the spans of false answers to above_only
    long below_kept = 0, up_while_below = 0;
    for (double t = day - 3600; t < day + 90000; t += 30) {
        grid.set_time(t);
        for (int sat : grid.in_store()) {
            const char system = grid.system_of(sat);
            int prn = 0;
            for (int p = 1; p < 100 && prn == 0; ++p)
                if (grid.satellite(system, p) == sat) prn = p;
            double sine = 0;
            orbits::SineSpan span;
            const bool on_grid = grid.sine_elevation(sat, &sine, false, &span);
            Kept& k = kept[sat];
            if (t >= k.span.from && t <= k.span.to && k.span.to > k.span.from) {
                ++spans_kept;
                if (on_grid != k.found || (on_grid && std::fabs(sine - orbits::sine_of_span(k.span, t)) > 1e-12))
                    ++outside_span;
            }
            const double until = orbits::sine_leaves(span, t, sine - 0.02, sine + 0.02);
            if (on_grid && span.cubic && until < span.to) {
                ++leaving;
                double at = 0, after = 0;
                grid.set_time(until);
                grid.sine_elevation(sat, &at);
                grid.set_time(until + 0.002);
                grid.sine_elevation(sat, &after);
                grid.set_time(t);
                if (std::fabs(at - sine) >= 0.02 || std::fabs(after - sine) < 0.02) ++left_early;
            }
            k = Kept{on_grid, sine, span};
            const orbits::Sighting full = orbits::sight_satellite(store, system, prn, kms3, t);
            const bool up = full.found && full.look.elevation >= 0;
            orbits::SineSpan& b = below[sat];
            if (t >= b.from && t <= b.to) {
                ++below_kept;
                if (up) ++up_while_below;
            }
            double above = 0;
            orbits::SineSpan above_span;
            if (grid.sine_elevation(sat, &above, true, &above_span)) {
                if (above != sine) ++differ;
            } else {
                if (up) ++up_while_below;
                b = above_span;
            }
            ++compared;
            if (on_grid != full.found) ++differ;  // near the ends of a satellite's ephemerides
            if (!on_grid || !full.found) continue;
            ++per_system[system];
            worst = std::max(worst, std::fabs(sine - std::sin(full.look.elevation)));
        }
    }
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(outside_span, 0);
    EXPECT_EQ(left_early, 0);
    EXPECT_EQ(up_while_below, 0);
    EXPECT_GT(below_kept, compared / 4);
    EXPECT_GT(leaving, 1000);
    EXPECT_GT(spans_kept, compared / 2);
    for (char s : {'G', 'R', 'E', 'C', 'J'}) EXPECT_GT(per_system[s], 0) << s;
    EXPECT_LT(worst, 1e-4);
}
