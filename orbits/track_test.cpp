// The interpolated track against the direct evaluation of the orbit, and the
// work it saves on a walk over the epochs.
#include "orbits/track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "orbits/test_files.h"
#include "orbits/time_scales.h"
#include "tests/testkit/testkit.h"

namespace {

const orbits::EphemerisStore& mojn() {
    static const orbits::EphemerisStore store = orbits_test::store_of(
        orbits_test::read_nav_file(testkit::test_data_path("MOJN00DNK_R_20201770000_01D_MN.rnx.gz")));
    return store;
}

}  // namespace

// Every satellite of the day's file over six hours, every 7 s: the track
// keeps the position to a millimetre and the clock to 1e-13 s, and it has a
// position exactly where the direct evaluation has one.
TEST(SatelliteTrack, KeepsPositionToAMillimetre) {
    const double start = orbits::calendar_seconds(2020, 6, 25, 0, 0, 0);
    std::map<char, double> worst;
    std::map<char, long> count;
    for (const char system : {'G', 'R', 'E', 'C', 'J'}) {
        for (int prn = 1; prn <= 63; ++prn) {
            if (mojn().of_satellite(system, prn).empty()) continue;
            orbits::SatelliteTrack track(mojn(), system, prn);
            for (double t = start; t < start + 6 * 3600; t += 7) {
                const orbits::Ephemeris* eph = mojn().serving(system, prn, t);
                orbits::SatelliteState interpolated;
                const bool found = track.state_at(t, &interpolated);
                ASSERT_EQ(found, eph != nullptr) << system << prn << " at " << t - start;
                if (!found) continue;
                const orbits::SatelliteState direct = orbits::satellite_state(*eph, t);
                double d2 = 0;
                for (int k = 0; k < 3; ++k)
                    d2 += (direct.position[k] - interpolated.position[k]) * (direct.position[k] - interpolated.position[k]);
                worst[system] = std::max(worst[system], std::sqrt(d2));
                EXPECT_NEAR(interpolated.clock, direct.clock, 1e-13) << system << prn;
                ++count[system];
            }
        }
    }
    for (const char system : {'G', 'R', 'E', 'C', 'J'}) {
        std::printf("%c %7ld positions, worst %.3f mm\n", system, count[system], worst[system] * 1000);
        EXPECT_GT(count[system], 1000) << system;
        EXPECT_LT(worst[system], 0.001) << system;
    }
}

// A walk at 1 Hz evaluates the orbit at a node per step (and the nodes of a
// new ephemeris where the serving one changes), not once per epoch.
TEST(SatelliteTrack, WalkEvaluatesFewNodes) {
    const double start = orbits::calendar_seconds(2020, 6, 25, 0, 0, 0);
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
            orbits::SatelliteState s;
            positions += track.state_at(t, &s);
        }
        EXPECT_EQ(positions, 3600) << r.system << r.prn;
        EXPECT_LE(track.evaluations(), r.most) << r.system << r.prn << " step " << r.step;
        EXPECT_GE(track.evaluations(), 3600 / r.step) << r.system << r.prn;
    }
}

// Lagrange interpolation reproduces polynomials up to its degree exactly.
TEST(Lagrange, ReproducesPolynomialsOfItsDegree) {
    double y[orbits::track_nodes][4];
    auto f = [](double x) { return 3 - 2 * x + 0.5 * x * x * x - 0.01 * std::pow(x, 7); };
    for (int j = 0; j < orbits::track_nodes; ++j) y[j][0] = f(j), y[j][1] = j, y[j][2] = 1, y[j][3] = 0;
    for (double x : {0.0, 0.25, 3.5, 6.9, 7.0}) {
        double out[4];
        orbits::lagrange_equally_spaced(x, y, 4, out);
        EXPECT_NEAR(out[0], f(x), 1e-9) << x;
        EXPECT_NEAR(out[1], x, 1e-12) << x;
        EXPECT_NEAR(out[2], 1, 1e-12) << x;
    }
}
