// Look angles on a known geometry, and satellites seen from a station with
// and without ephemerides (the ranges against the codes also catch a wrong
// rotation of the Earth during the signal's travel).
#include "orbits/sky.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>

#include "orbits/test_files.h"
#include "tests/testkit/testkit.h"

namespace {

constexpr double deg = std::numbers::pi / 180.0;

// A point `distance` metres from the station along east, north and up.
void along(const orbits::StationFrame& f, double east, double north, double up, double out[3]) {
    for (int k = 0; k < 3; ++k) out[k] = f.position[k] + east * f.east[k] + north * f.north[k] + up * f.up[k];
}

}  // namespace

TEST(LookAngles, KnownGeometry) {
    // Delft's header position, and a station on the equator at longitude 0.
    const orbits::StationFrame delft = orbits::station_frame(3924687.702, 301132.766, 5001910.775);
    const orbits::StationFrame equator = orbits::station_frame(6378137.0, 0, 0);
    ASSERT_TRUE(delft.known);
    ASSERT_TRUE(equator.known);
    EXPECT_NEAR(delft.latitude / deg, 51.986, 0.001);
    EXPECT_NEAR(delft.longitude / deg, 4.388, 0.001);
    struct Row {
        const orbits::StationFrame* station;
        double east, north, up;
        double azimuth_deg, elevation_deg;
    };
    const double far = 2.0e7;
    const Row rows[] = {
        {&delft, 0, 0, far, -1, 90},     // straight overhead (azimuth undefined)
        {&delft, 0, far, 0, 0, 0},       // on the horizon to the north
        {&delft, far, 0, 0, 90, 0},      // east
        {&delft, 0, -far, 0, 180, 0},    // south
        {&delft, -far, 0, 0, 270, 0},    // west
        {&delft, far, far, far * std::sqrt(2.0), 45, 45},
        {&delft, -far, 0, -far, 270, -45},
        {&equator, 0, 0, far, -1, 90},
        {&equator, 0, far, far, 0, 45},
    };
    for (const Row& r : rows) {
        double p[3];
        along(*r.station, r.east, r.north, r.up, p);
        const orbits::LookAngles look = orbits::look_angles(*r.station, p);
        EXPECT_NEAR(look.elevation / deg, r.elevation_deg, 1e-9) << r.east << " " << r.north << " " << r.up;
        if (r.azimuth_deg >= 0) {
            EXPECT_NEAR(look.azimuth / deg, r.azimuth_deg, 1e-9) << r.east << " " << r.north << " " << r.up;
        }
        EXPECT_NEAR(look.range, std::sqrt(r.east * r.east + r.north * r.north + r.up * r.up), 1e-6);
    }
    // The satellite over the North Pole is due north from Delft; over the
    // equator's station, the point above the pole is on its horizon.
    const double pole[3] = {0, 0, 2.6e7};
    EXPECT_NEAR(orbits::look_angles(delft, pole).azimuth / deg, 0.0, 1e-9);
    EXPECT_GT(orbits::look_angles(delft, pole).elevation / deg, 30.0);
    EXPECT_FALSE(orbits::station_frame(0, 0, 0).known);
}

// Satellites seen from KMS3 (Denmark) on 8 June 2022: the ranges from the
// broadcast positions against the measured codes, which the receiver clock
// offsets by the same amount for all satellites of a system and epoch; and
// a satellite without an ephemeris has no position.
TEST(SightSatellite, RangesAgreeWithCodesAndUnknownSatellites) {
    const orbits_test::NavFile nav =
        orbits_test::read_nav_file(testkit::test_data_path("KMS300DNK_R_20221591000_01H_MN.rnx.gz"));
    const orbits::EphemerisStore store = orbits_test::store_of(nav);
    std::map<int, int> channels;
    for (int prn = 1; prn <= 27; ++prn)
        if (!store.of_satellite('R', prn).empty()) channels[prn] = store.of_satellite('R', prn)[0].frequency_channel;
    const orbits_test::ObservationFile obs = orbits_test::read_rinex3_codes(
        testkit::test_data_path("KMS300DNK_R_20221591000_01H_30S_MO.crx"), channels, "GRECJ");
    ASSERT_GT(obs.epochs.size(), 10u);
    const orbits::StationFrame station =
        orbits::station_frame(obs.header_position[0], obs.header_position[1], obs.header_position[2]);
    int checked = 0, seen = 0, found = 0;
    for (const orbits_test::ObservationEpoch& epoch : obs.epochs) {
        std::map<char, std::vector<double>> offsets;  // code - range + c * clock, by system
        for (const orbits::CodeObservation& o : epoch.codes) {
            const orbits::Sighting s = orbits::sight_satellite(store, o.system, o.prn, station, epoch.gps_seconds);
            ++seen;
            if (!s.found) continue;
            ++found;
            EXPECT_GT(s.look.elevation, -3 * deg) << o.system << o.prn;  // observed: above the horizon
            if (s.look.elevation < 15 * deg || o.code[0] == 0) continue;
            offsets[o.system].push_back(o.code[0] - s.look.range + 299792458.0 * s.clock);
        }
        // Without the Earth's rotation, ranges err by up to about 40 m;
        // ionosphere and troposphere leave a few metres at 15 degrees and up.
        for (const auto& [system, values] : offsets) {
            if (values.size() < 3) continue;
            double sum = 0;
            for (double v : values) sum += v;
            const double mean = sum / values.size();
            for (double v : values) EXPECT_NEAR(v, mean, 15.0) << system << " at " << epoch.gps_seconds;
            ++checked;
        }
    }
    EXPECT_GT(checked, 4 * static_cast<int>(obs.epochs.size()) - 1);
    EXPECT_GT(found, seen * 9 / 10);
    const double t = obs.epochs[0].gps_seconds;
    EXPECT_FALSE(orbits::sight_satellite(store, 'G', 33, station, t).found);
    EXPECT_FALSE(orbits::sight_satellite(store, 'S', 20, station, t).found);
    EXPECT_FALSE(orbits::sight_satellite(store, 'G', 2, station, t + 3 * 86400.0).found);
}
