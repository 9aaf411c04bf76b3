// Look angles on a known geometry; satellites seen from a station on a real
// day with and without ephemerides (the ranges against the codes also catch
// a wrong rotation of the Earth during the signal's travel); the station's
// position from its codes on that day, the models it uses, the median over
// the epochs and the check of the header's position.
#include "orbits/point_position.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>

#include "orbits/frequencies.h"
#include "orbits/sky.h"
#include "orbits/test_files.h"
#include "tests/testkit/testkit.h"

namespace {

constexpr double deg = std::numbers::pi / 180.0;

struct Day {
    orbits_test::NavFile nav;
    orbits::EphemerisStore store;
    std::map<int, int> channels;  // GLONASS frequency channel by slot
};

// KMS3 (Denmark), 8 June 2022 10:00, with its own navigation file (RINEX 4).
const Day& kms3() {
    static const Day day = [] {
        Day d;
        d.nav = orbits_test::read_nav_file(testkit::test_data_path("KMS300DNK_R_20221591000_01H_MN.rnx.gz"));
        d.store = orbits_test::store_of(d.nav);
        for (int prn = 1; prn <= 27; ++prn) {
            const std::vector<orbits::Ephemeris>& list = d.store.of_satellite('R', prn);
            if (!list.empty()) d.channels[prn] = list[0].frequency_channel;
        }
        return d;
    }();
    return day;
}

// KMS3's codes of that hour for the given systems.
orbits_test::ObservationFile kms3_codes(const std::string& systems) {
    return orbits_test::read_rinex3_codes(testkit::test_data_path("KMS300DNK_R_20221591000_01H_30S_MO.crx"),
                                          kms3().channels, systems);
}

struct DayRun {
    orbits::OccupationPosition median;
    double header[3];
    std::vector<orbits::EpochSolution> epochs;
};

DayRun position_of(const std::string& systems, bool single_code, const orbits::PositionSettings& settings,
                bool from_header, double outlier = 0) {
    orbits_test::ObservationFile obs = kms3_codes(systems);
    DayRun run;
    std::copy(obs.header_position, obs.header_position + 3, run.header);
    const orbits::StationFrame f = orbits::station_frame(run.header[0], run.header[1], run.header[2]);
    for (orbits_test::ObservationEpoch& e : obs.epochs) {
        if (single_code)
            for (orbits::CodeObservation& o : e.codes) o.code[1] = 0;
        if (outlier != 0) {
            // Into the first satellite well above the mask.
            for (orbits::CodeObservation& o : e.codes) {
                if (orbits::sight_satellite(kms3().store, o.system, o.prn, f, e.gps_seconds).look.elevation > 20 * deg) {
                    o.code[0] += outlier, o.code[1] += outlier;
                    break;
                }
            }
        }
        const orbits::EpochInput input{e.gps_seconds, e.codes.data(), e.codes.size()};
        run.epochs.push_back(
            orbits::solve_epoch(input, kms3().store, settings, from_header ? obs.header_position : nullptr));
    }
    run.median = orbits::median_position(run.epochs);
    return run;
}

}  // namespace

TEST(LookAngles, KnownGeometry) {
    // Delft's header position, and a station on the equator at longitude 0.
    const orbits::StationFrame delft = orbits::station_frame(3924687.702, 301132.766, 5001910.775);
    const orbits::StationFrame equator = orbits::station_frame(6378137.0, 0, 0);
    ASSERT_TRUE(delft.known && equator.known);
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
        const orbits::StationFrame& f = *r.station;
        double p[3];
        for (int k = 0; k < 3; ++k) p[k] = f.position[k] + r.east * f.east[k] + r.north * f.north[k] + r.up * f.up[k];
        const orbits::LookAngles look = orbits::look_angles(f, p);
        EXPECT_NEAR(look.elevation / deg, r.elevation_deg, 1e-9) << r.east << " " << r.north << " " << r.up;
        if (r.azimuth_deg >= 0) {
            EXPECT_NEAR(look.azimuth / deg, r.azimuth_deg, 1e-9) << r.east << " " << r.north;
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
    const orbits::EphemerisStore& store = kms3().store;
    const orbits_test::ObservationFile obs = kms3_codes("GRECJ");
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

// The median of the epochs lies within a few metres of the header's
// position, for every system alone and together, with both codes or with
// one and the broadcast ionosphere.
TEST(PointPosition, RealDayWithinMetresOfHeader) {
    ASSERT_TRUE(kms3().nav.klobuchar.known);
    struct Row {
        const char* systems;
        bool single_code;
        bool from_header;
        int min_satellites;
        int clocks;
        double within_m;
    };
    const Row rows[] = {
        // QZSS J04 stands at 4 degrees: four clocks for five systems.
        {"GRECJ", false, true, 25, 4, 3.0},  {"GRECJ", false, false, 25, 4, 3.0},
        {"G", false, true, 7, 1, 5.0},       {"E", false, true, 4, 1, 5.0},
        {"C", false, true, 5, 1, 10.0},      {"R", false, true, 5, 1, 10.0},
        {"GE", true, true, 11, 2, 5.0},      {"G", true, false, 7, 1, 6.0},
    };
    for (const Row& r : rows) {
        orbits::PositionSettings settings;
        settings.klobuchar = kms3().nav.klobuchar;
        const DayRun run = position_of(r.systems, r.single_code, settings, r.from_header);
        ASSERT_TRUE(run.median.known) << r.systems;
        const double d = orbits::position_distance(run.header, run.median.position);
        EXPECT_LT(d, r.within_m) << r.systems << (r.single_code ? " one code" : " two codes");
        EXPECT_EQ(run.median.epochs_used, static_cast<int>(run.epochs.size())) << r.systems;
        for (const orbits::EpochSolution& e : run.epochs) {
            EXPECT_GE(e.satellites, r.min_satellites) << r.systems;
            EXPECT_EQ(e.systems, r.clocks) << r.systems;
        }
    }
}

// A code 500 m off removes its satellite; codes off at most satellites, a
// mask above every satellite, or observations without ephemerides, leave
// the epoch without a solution.
TEST(PointPosition, OutlierMaskAndMissingEphemerides) {
    orbits::PositionSettings settings;
    const DayRun clean = position_of("GE", false, settings, true);
    const DayRun bad = position_of("GE", false, settings, true, 500.0);
    ASSERT_TRUE(bad.median.known);
    EXPECT_LT(orbits::position_distance(bad.header, bad.median.position), 3.0);
    for (std::size_t e = 0; e < bad.epochs.size(); ++e)
        EXPECT_EQ(bad.epochs[e].satellites, clean.epochs[e].satellites - 1) << "epoch " << e;

    orbits_test::ObservationFile obs = kms3_codes("GE");
    std::vector<orbits::CodeObservation> off = obs.epochs.front().codes;
    ASSERT_GE(off.size(), 9u);
    for (std::size_t k = 0; k < off.size() * 2 / 3; ++k)  // every one off by another distance
        off[k].code[0] += 500.0 * static_cast<double>(k + 1), off[k].code[1] += 500.0 * static_cast<double>(k + 1);
    EXPECT_FALSE(orbits::solve_epoch({obs.epochs.front().gps_seconds, off.data(), off.size()}, kms3().store,
                                     settings, obs.header_position)
                     .solved);

    settings.elevation_mask = 89.0 * deg;
    const DayRun masked = position_of("GE", false, settings, true);
    EXPECT_FALSE(masked.median.known);

    const orbits::EphemerisStore none;
    const orbits::CodeObservation codes[] = {{'G', 2, {2.2e7, 2.2e7}, {orbits::l1_frequency, orbits::l2_frequency}}};
    EXPECT_FALSE(orbits::solve_epoch({1.65e9, codes, 1}, none, orbits::PositionSettings{}, nullptr).solved);
}

TEST(MedianPosition, CoordinateByCoordinateOfSolvedEpochs) {
    auto at = [](bool solved, double x, double y, double z) {
        orbits::EpochSolution s;
        s.solved = solved, s.position[0] = x, s.position[1] = y, s.position[2] = z;
        return s;
    };
    struct Row {
        std::vector<orbits::EpochSolution> epochs;
        bool known;
        double x, y, z;
        int used;
    };
    const Row rows[] = {
        {{}, false, 0, 0, 0, 0},
        {{at(false, 1, 1, 1)}, false, 0, 0, 0, 0},
        {{at(true, 1, 5, 9), at(true, 3, 4, 7), at(true, 2, 6, 8)}, true, 2, 5, 8, 3},
        {{at(true, 1, 5, 9), at(true, 3, 4, 7), at(false, 100, 100, 100), at(true, 2, 6, 8), at(true, 10, 0, 0)},
         true, 2.5, 4.5, 7.5, 4},
    };
    for (const Row& r : rows) {
        const orbits::OccupationPosition m = orbits::median_position(r.epochs);
        EXPECT_EQ(m.known, r.known);
        EXPECT_EQ(m.epochs_used, r.used);
        EXPECT_EQ(std::vector<double>(m.position, m.position + 3), (std::vector<double>{r.x, r.y, r.z}));
    }
}

TEST(PositionFlag, HeaderZeroFarOrNotComputed) {
    orbits::OccupationPosition computed;
    computed.known = true;
    computed.position[0] = 3516213.438, computed.position[1] = 781859.860, computed.position[2] = 5246037.966;
    orbits::OccupationPosition unknown;
    struct Row {
        double header[3];
        const orbits::OccupationPosition* computed;
        orbits::PositionFlag flag;
    };
    const Row rows[] = {
        {{3516213.438, 781859.860, 5246037.966}, &computed, orbits::PositionFlag::none},
        {{3516213.438 + 99.9, 781859.860, 5246037.966}, &computed, orbits::PositionFlag::none},
        {{3516213.438 + 60, 781859.860 + 60, 5246037.966 + 60}, &computed, orbits::PositionFlag::far},  // 104 m
        {{3516213.438, 781859.860, 5246037.966 - 100.1}, &computed, orbits::PositionFlag::far},
        {{0, 0, 0}, &computed, orbits::PositionFlag::header_zero},
        {{0, 0, 0}, &unknown, orbits::PositionFlag::header_zero},
        {{NAN, 0, 1}, &computed, orbits::PositionFlag::header_zero},
        {{3516213.438, 781859.860, 5246037.966}, &unknown, orbits::PositionFlag::not_computed},
    };
    for (const Row& r : rows)
        EXPECT_EQ(orbits::position_flag(r.header, *r.computed), r.flag) << r.header[0] << " " << r.header[2];
}

// The atmosphere models on values that follow from their definitions.
TEST(Atmosphere, TroposphereAndBroadcastIonosphere) {
    // Saastamoinen at sea level: about 2.3 m at the zenith (2.31 dry and
    // wet with 70 % humidity at 15 °C gives about 2.4), 1/sin(e) lower down.
    const double zenith = orbits::troposphere_delay(52 * deg, 0, 90 * deg);
    EXPECT_NEAR(zenith, 2.42, 0.05);
    EXPECT_NEAR(orbits::troposphere_delay(52 * deg, 0, 30 * deg), zenith * 2, 0.01);
    EXPECT_LT(orbits::troposphere_delay(52 * deg, 2000, 90 * deg), zenith * 0.82);
    EXPECT_EQ(orbits::troposphere_delay(52 * deg, 0, -1 * deg), 0);
    EXPECT_EQ(orbits::troposphere_delay(52 * deg, 2.0e4, 90 * deg), 0);

    // Klobuchar: with no amplitude, the night-time 5 ns times the slant
    // factor at the zenith.
    orbits::KlobucharParameters k;
    EXPECT_EQ(orbits::klobuchar_delay(k, 52 * deg, 4 * deg, 0, 90 * deg, 1.6e9), 0);  // not known
    k.known = true;
    const double night = 5e-9 * orbits::speed_of_light;
    EXPECT_NEAR(orbits::klobuchar_delay(k, 52 * deg, 4 * deg, 0, 90 * deg, 1.6e9), night * 1.000432, 1e-6);
    // A constant amplitude of 10 ns peaks at 14:00 local time at the pierce
    // point and is absent at night. 1.6e9 s + 14 h: the pierce point of a
    // satellite overhead at longitude 0 is at longitude 0.
    k.alpha[0] = 10e-9;
    k.beta[0] = 72000;
    const double midnight = 1609459200.0 + 18;  // 2021-01-01 00:00 UTC in GPS time
    const double at_14 = orbits::klobuchar_delay(k, 0, 0, 0, 90 * deg, midnight + 14 * 3600 - 18);
    EXPECT_NEAR(at_14, (5e-9 + 10e-9) * orbits::speed_of_light * 1.000432, 1e-3);
    const double at_2 = orbits::klobuchar_delay(k, 0, 0, 0, 90 * deg, midnight + 2 * 3600 - 18);
    EXPECT_NEAR(at_2, night * 1.000432, 1e-6);
}
