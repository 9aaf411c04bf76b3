// Broadcast positions against a precise orbit of the same day, the GLONASS
// integration against its own elements, the relativistic clock term, the
// choice of the serving ephemeris, and the interpolated track against the
// direct evaluation of the orbit with the work it saves on a walk.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

#include "orbits/point_position.h"
#include "orbits/satellite_state.h"
#include "orbits/test_files.h"
#include "orbits/track.h"
#include "orbits/time_scales.h"
#include "tests/testkit/testkit.h"

namespace {

using orbits::Ephemeris;
using orbits::EphemerisStore;
using orbits::SatelliteState;

const orbits_test::NavFile& mojn_file() {
    static const orbits_test::NavFile file =
        orbits_test::read_nav_file(testkit::test_data_path("MOJN00DNK_R_20201770000_01D_MN.rnx.gz"));
    return file;
}

const EphemerisStore& mojn() {
    static const EphemerisStore store = orbits_test::store_of(mojn_file());
    return store;
}

using orbits::position_distance;
const double day_start = orbits::calendar_seconds(2020, 6, 25, 0, 0, 0);

}  // namespace

// Every satellite of the precise orbit that an ephemeris serves, at every
// epoch of its 6 hours (15-minute spacing).
TEST(BroadcastOrbit, MatchesPreciseOrbitPerSystem) {
    const EphemerisStore& store = mojn();
    const orbits_test::PreciseOrbit precise =
        orbits_test::read_sp3(testkit::test_data_path("GBM0MGXRAP_20201770000_01D_15M_ORB_25epoch.sp3"));
    std::map<std::string, std::pair<int, double>> by_system;  // count and sum of squares: "G", ..., "C GEO"
    for (const auto& [satellite, epochs] : precise.positions) {
        const char system = satellite[0];
        const int prn = std::atoi(satellite.c_str() + 1);
        const std::string group =
            std::string(1, system) + (system == 'C' && orbits::is_beidou_geo(prn) ? " GEO" : "");
        for (const auto& [t, position] : epochs) {
            const Ephemeris* eph = store.serving(system, prn, t);
            if (eph == nullptr) continue;
            const double d = position_distance(orbits::satellite_state(*eph, t).position, position.data());
            ++by_system[group].first;
            by_system[group].second += d * d;
        }
    }
    // Broadcast orbits refer to the antenna, the precise one to the centre of
    // mass: about a metre apart; a wrong term shows as tens of metres.
    struct Limit {
        const char* group;
        int min_count;
        double rms_m;
    };
    // BeiDou's geostationary satellite is the one the station sees; its
    // broadcast orbit is known to be worst along its track (about 12 m here,
    // constant over the day): a missing or wrong tilt of its frame gives
    // kilometres.
    const Limit limits[] = {{"G", 500, 2.5}, {"E", 350, 3.0}, {"J", 30, 3.0},
                            {"C", 400, 3.0}, {"C GEO", 20, 15.0}, {"R", 200, 4.0}};
    for (const Limit& l : limits) {
        const auto [count, sum2] = by_system[l.group];
        const double rms = count > 0 ? std::sqrt(sum2 / count) : 0;
        EXPECT_GE(count, l.min_count) << l.group;
        EXPECT_LT(rms, l.rms_m) << l.group;
    }
}

// The integration from one GLONASS record 15 minutes forwards and back
// returns to its own elements, and two records 30 minutes apart meet in the
// middle within the accuracy of broadcast orbits.
TEST(GlonassOrbit, IntegrationAgainstItsOwnElements) {
    const EphemerisStore& store = mojn();
    int pairs = 0;
    for (int prn = 1; prn <= 24; ++prn) {
        const std::vector<Ephemeris>& list = store.of_satellite('R', prn);
        for (std::size_t i = 0; i + 1 < list.size(); ++i) {
            const Ephemeris& a = list[i];
            const Ephemeris& b = list[i + 1];
            if (b.toe - a.toe != 1800.0 || !a.healthy || !b.healthy) continue;
            for (double way : {900.0, -900.0}) {
                // There and back again with a record that starts at the end point.
                Ephemeris moved = a;
                moved.toe = moved.toc = a.toe + way;
                orbits::glonass_integrate(a, a.toe + way, orbits::glonass_step, moved.position, moved.velocity);
                const SatelliteState back = orbits::glonass_state(moved, a.toe);
                // The step is fine enough: a step of 1 s gets the same end point.
                double fine[3], fine_velocity[3];
                orbits::glonass_integrate(a, a.toe + way, 1.0, fine, fine_velocity);
                EXPECT_LT(position_distance(fine, moved.position), 0.005) << "R" << prn << " way " << way;
                EXPECT_LT(position_distance(back.position, a.position), 0.005) << "R" << prn << " way " << way;
            }
            const SatelliteState from_a = orbits::glonass_state(a, a.toe + 900.0);
            const SatelliteState from_b = orbits::glonass_state(b, b.toe - 900.0);
            EXPECT_LT(position_distance(from_a.position, from_b.position), 10.0) << "R" << prn << " at " << a.toe;
            ++pairs;
        }
    }
    EXPECT_GT(pairs, 100);
}

// The relativistic clock term F e sqrt(A) sin E equals -2 r.v / c² of the
// Kepler orbit, computed here from the positions alone (the harmonic
// corrections part them by a few parts in a thousand: 2e-10 s is 6 cm, the
// term itself reaches 4e-8 s).
TEST(KeplerOrbit, RelativisticClockTermFromPositionAndVelocity) {
    const EphemerisStore& store = mojn();
    int checked = 0;
    for (const char system : {'G', 'E', 'C', 'J'}) {
        for (int prn = 1; prn <= 40; ++prn) {
            const std::vector<Ephemeris>& list = store.of_satellite(system, prn);
            if (list.empty() || list[0].orbit != orbits::OrbitKind::kepler) continue;
            Ephemeris eph = list[0];
            eph.af0 = eph.af1 = eph.af2 = 0;  // leaves the relativistic term alone
            for (double dt : {0.0, 1800.0, 4000.0}) {
                const double t = eph.toe + dt;
                const SatelliteState s = orbits::kepler_state(eph, t);
                const SatelliteState ahead = orbits::kepler_state(eph, t + 0.5);
                const SatelliteState behind = orbits::kepler_state(eph, t - 0.5);
                double r_dot_v = 0;
                for (int k = 0; k < 3; ++k) r_dot_v += s.position[k] * (ahead.position[k] - behind.position[k]);
                const double expected = -2.0 * r_dot_v / (299792458.0 * 299792458.0);
                EXPECT_NEAR(s.clock, expected, 2e-10) << system << prn << " dt " << dt;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 150);
}

// The serving ephemeris: nearest healthy one within its validity; at the
// same distance the one of the earlier clock epoch, wherever it stands.
TEST(EphemerisChoice, NearestHealthyWithinValidity) {
    auto make = [](char system, int prn, double reference, bool healthy, bool fnav, double toc = 0) {
        Ephemeris e;
        e.system = system, e.prn = prn, e.reference_gps = reference, e.healthy = healthy, e.fnav = fnav, e.toc = toc;
        return e;
    };
    const Ephemeris list[] = {
        make('G', 5, 0, true, false),         // 0
        make('G', 5, 7200, true, false),      // 1
        make('G', 5, 14400, false, false),    // 2: unhealthy
        make('G', 7, 3600, true, false),      // 3: another satellite
        make('R', 5, 0, true, false),         // 4: another system, same number
        make('E', 5, 600, true, true),        // 5: F/NAV
        make('E', 5, 600, true, false),       // 6: I/NAV of the same time
        make('J', 1, 3600, true, false, 3660),  // 7: the same time, a later clock epoch
        make('J', 1, 3600, true, false, 3600),  // 8: ... an earlier one, which serves
        make('J', 1, 0, true, false, 0),        // 9
    };
    struct Row {
        char system;
        int prn;
        double t;
        int expected;
    };
    const Row rows[] = {
        {'G', 5, 100, 0},      {'G', 5, 3599, 0},    {'G', 5, 3601, 1},  {'G', 5, -7200, 0},
        {'G', 5, -7201, -1},   {'G', 5, 14400, 1},   {'G', 5, 14401, -1}, {'G', 7, 100, 3},
        {'G', 8, 100, -1},     {'R', 5, 900, 4},     {'R', 5, 901, -1},  {'R', 5, -900, 4},
        {'E', 5, 700, 6},      {'C', 5, 0, -1},      {'J', 1, 3000, 8},  {'J', 1, 1800, 9},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(orbits::choose_ephemeris(list, std::size(list), r.system, r.prn, r.t), r.expected)
            << r.system << r.prn << " at " << r.t;
    }
}

// What the store keeps and how long a satellite has an orbit. A Galileo
// F/NAV ephemeris is kept only where no healthy I/NAV one of the same
// reference time serves in its place, whichever was read first. The
// validities of the healthy ephemerides join up to a gap (touching ones
// join), an unhealthy one bridging nothing.
TEST(EphemerisStore, KeptEphemeridesAndSpansWithAnOrbit) {
    EphemerisStore store;
    struct Added {
        char system;
        double reference;
        bool healthy, fnav;
    };
    for (const Added& a : {Added{'E', 600, true, true},     // dropped by the I/NAV that follows
                           Added{'E', 600, true, false},    //
                           Added{'E', 600, true, true},     // not kept
                           Added{'E', 1200, true, true},    // kept: its I/NAV is unhealthy
                           Added{'E', 1200, false, false},  //
                           Added{'E', 1800, true, true},    // kept: no I/NAV of its time
                           Added{'G', 0, true, false},      Added{'G', 10000, true, false},
                           Added{'G', 30000, false, false}, Added{'G', 50000, true, false},
                           Added{'G', 64400, true, false}}) {
        Ephemeris e;
        e.system = a.system, e.prn = 5, e.reference_gps = a.reference, e.healthy = a.healthy, e.fnav = a.fnav;
        store.add(e);
    }
    const std::vector<Ephemeris>& galileo = store.of_satellite('E', 5);
    ASSERT_EQ(galileo.size(), 4u);
    EXPECT_EQ(store.size(), 9u);
    const bool fnav[] = {false, true, false, true};
    for (std::size_t i = 0; i < galileo.size(); ++i) EXPECT_EQ(galileo[i].fnav, fnav[i]) << i;

    struct Row {
        double t;
        bool has;
        double from, to;  // where it has one; otherwise the gap's ends bound the span
    };
    const Row rows[] = {
        {5000, true, -7200, 17200}, {17200, true, -7200, 17200}, {17201, false, 17200, 42800},
        {30000, false, 17200, 42800}, {50000, true, 42800, 71600}, {71601, false, 71600, 1e300},
    };
    for (const Row& r : rows) {
        double from = 0, to = 0;
        EXPECT_EQ(store.has_orbit('G', 5, r.t, &from, &to), r.has) << r.t;
        if (r.has) {
            EXPECT_EQ(from, r.from) << r.t;
            EXPECT_EQ(to, r.to) << r.t;
        } else {
            EXPECT_TRUE(from > r.from && from <= r.t && to >= r.t && to < r.to) << r.t << ": " << from << " " << to;
        }
    }
}

// Records are decoded from the values of their lines: the toe in the week
// of the record's epoch (also across the week's end), BeiDou's geostationary
// satellites by number, and records that cannot be orbits refused.
TEST(EphemerisDecode, TimesKindsAndRefusals) {
    double v[31] = {};
    v[10] = 5153.7;  // sqrt(A)
    v[8] = 0.01;
    Ephemeris e;
    // Saturday 23:59:44 of GPS week 2138 with a toe of 0 (the next week's start).
    const double toc = orbits::calendar_seconds(2021, 1, 2, 23, 59, 44);
    v[11] = 0;
    ASSERT_TRUE(orbits::decode_ephemeris('G', 1, toc, v, "LNAV", -1, &e));
    EXPECT_EQ(e.toe, orbits::calendar_seconds(2021, 1, 3, 0, 0, 0));
    EXPECT_EQ(e.reference_gps, e.toe);
    v[11] = 7200;  // BeiDou: 02:00 BDT of the week that starts 16 s after toc
    using orbits::OrbitKind;
    for (const auto& [prn, kind] : {std::pair{3, OrbitKind::beidou_geo}, std::pair{6, OrbitKind::kepler},
                                    std::pair{60, OrbitKind::beidou_geo}}) {
        ASSERT_TRUE(orbits::decode_ephemeris('C', prn, toc, v, prn == 6 ? "D1" : "D2", -1, &e));
        EXPECT_EQ(e.orbit, kind) << prn;
        EXPECT_EQ(e.reference_gps, orbits::calendar_seconds(2021, 1, 3, 2, 0, 14)) << prn;
    }
    v[24] = 1;
    ASSERT_TRUE(orbits::decode_ephemeris('E', 1, toc, v, "FNAV", -1, &e));
    EXPECT_FALSE(e.healthy);
    EXPECT_TRUE(e.fnav);
    // Without a kind, the data source: 2 is F/NAV, 517 I/NAV E1-B and E5b.
    for (const auto& [source, fnav] : {std::pair{2.0, true}, std::pair{517.0, false}}) {
        v[20] = source;
        ASSERT_TRUE(orbits::decode_ephemeris('E', 1, toc, v, "", -1, &e));
        EXPECT_EQ(e.fnav, fnav) << source;
    }

    EXPECT_FALSE(orbits::decode_ephemeris('S', 120, toc, v, "", -1, &e));
    EXPECT_FALSE(orbits::decode_ephemeris('I', 1, toc, v, "", -1, &e));
    // An overflowing mean anomaly, no semi-major axis, an eccentricity of 1.
    for (const auto& [index, value] : {std::pair{6, HUGE_VAL}, std::pair{10, 0.0}, std::pair{8, 1.0}}) {
        double bad[31];
        std::copy(v, v + 31, bad);
        bad[index] = value;
        EXPECT_FALSE(orbits::decode_ephemeris('G', 1, toc, bad, "LNAV", -1, &e)) << index;
    }
    double r[31] = {};
    EXPECT_FALSE(orbits::decode_ephemeris('R', 1, toc, r, "FDMA", -1, &e));
    r[3] = 20000.0, r[7] = 5000.0, r[11] = 15000.0, r[10] = -4;
    ASSERT_TRUE(orbits::decode_ephemeris('R', 1, toc, r, "FDMA", 18, &e));
    EXPECT_EQ(e.frequency_channel, -4);
    EXPECT_EQ(e.position[0], 2.0e7);
    EXPECT_EQ(e.reference_gps, toc + 18);
}

// Every satellite of the day's file over six hours, every 7 s: the track
// keeps the position to a millimetre and the clock to 1e-13 s, and it has a
// position exactly where the direct evaluation has one.
TEST(SatelliteTrack, KeepsPositionToAMillimetre) {
    const double start = day_start;
    std::map<char, double> worst;
    std::map<char, long> count;
    for (const char system : {'G', 'R', 'E', 'C', 'J'}) {
        for (int prn = 1; prn <= 63; ++prn) {
            if (mojn().of_satellite(system, prn).empty()) continue;
            orbits::SatelliteTrack track(mojn(), system, prn);
            for (double t = start; t < start + 6 * 3600; t += 7) {
                const Ephemeris* eph = mojn().serving(system, prn, t);
                SatelliteState interpolated;
                const bool found = track.state_at(t, &interpolated);
                ASSERT_EQ(found, eph != nullptr) << system << prn << " at " << t - start;
                if (!found) continue;
                const SatelliteState direct = orbits::satellite_state(*eph, t);
                worst[system] = std::max(worst[system], position_distance(direct.position, interpolated.position));
                EXPECT_NEAR(interpolated.clock, direct.clock, 1e-13) << system << prn;
                ++count[system];
            }
        }
    }
    for (const char system : {'G', 'R', 'E', 'C', 'J'}) {
        EXPECT_GT(count[system], 1000) << system;
        EXPECT_LT(worst[system], 0.001) << system;
    }
}

// A walk at 1 Hz evaluates the orbit at a node per step (and the nodes of a
// new ephemeris where the serving one changes), not once per epoch.
TEST(SatelliteTrack, WalkEvaluatesFewNodes) {
    const double start = day_start;
    struct Row {
        char system;
        int prn;
        double step;
        long most;
    };
    const Row rows[] = {{'G', 5, 300, 80}, {'E', 1, 300, 160}, {'R', 2, 300, 140}, {'R', 2, 30, 360}};
    for (const Row& r : rows) {
        orbits::SatelliteTrack track(mojn(), r.system, r.prn, r.step);
        int positions = 0;
        for (double t = start; t < start + 3600; t += 1) {
            SatelliteState s;
            positions += track.state_at(t, &s);
        }
        EXPECT_EQ(positions, 3600) << r.system << r.prn;
        EXPECT_LE(track.evaluations(), r.most) << r.system << r.prn << " step " << r.step;
        EXPECT_GE(track.evaluations(), 3600 / r.step) << r.system << r.prn;
    }
}
