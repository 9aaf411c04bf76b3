// The frequency table, the combinations, the slip fit, the step fit and the
// arc check on series made here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "quality/arc_check.h"
#include "quality/step_fit.h"

namespace {

Carriers carriers(char system) {
    SlotFrequencies f{};
    EXPECT_TRUE(slot_frequencies(system, &f)) << system;
    return carriers_of(f);
}

TEST(QualityFrequencies, FixedOnlyWhereTheSystemFixesThem) {
    struct Row {
        char system;
        bool known;
        double l1_mhz, l2_mhz;
    };
    for (const Row& r : {Row{'G', true, 1575.42, 1227.60}, Row{'E', true, 1575.42, 1176.45},
                         Row{'J', true, 1575.42, 1227.60}, Row{'S', true, 1575.42, 1176.45},
                         Row{'I', true, 1176.45, 2492.028}, Row{'R', false, 0, 0},
                         Row{'C', false, 0, 0}, Row{'X', false, 0, 0}}) {
        SlotFrequencies f{};
        EXPECT_EQ(slot_frequencies(r.system, &f), r.known) << r.system;
        if (!r.known) continue;
        EXPECT_DOUBLE_EQ(f.l1_hz, r.l1_mhz * 1e6) << r.system;
        EXPECT_DOUBLE_EQ(f.l2_hz, r.l2_mhz * 1e6) << r.system;
    }
    EXPECT_EQ(satellite_system(" 05"), 'G');  // RINEX 2 without system letter
    EXPECT_EQ(satellite_system("E11"), 'E');
    // The report lists systems in the order of the pages' rows.
    std::string listed = "XSIJCERGY";
    std::sort(listed.begin(), listed.end(),
              [](char a, char b) { return system_rank(a) < system_rank(b); });
    EXPECT_EQ(listed, "GRECJISXY");
}

// GLONASS carriers from the channel, BeiDou's from the signal in each slot;
// what cannot be told is not guessed.
TEST(QualityFrequencies, PerSatelliteFromChannelAndSignals) {
    struct Row {
        char system;
        const char* l1;
        const char* l2;
        int channel;  // -99: none known
        bool known;
        double l1_mhz, l2_mhz;
    };
    const Row rows[] = {
        {'R', "", "", 1, true, 1602.5625, 1246.4375},         // RINEX 2: bands 1 and 2
        {'R', "L1C", "L2P", -7, true, 1598.0625, 1242.9375},
        {'R', "L1P", "L2C", 6, true, 1605.375, 1248.625},
        {'R', "L1C", "L2P", -99, false, 0, 0},                 // no channel
        {'R', "L1C", "L2P", 14, false, 0, 0},                  // no channel of GLONASS
        {'C', "L2I", "L7I", -99, true, 1561.098, 1207.14},     // B1I, B2I
        {'C', "L2I", "L6I", -99, true, 1561.098, 1268.52},     // B1I, B3I
        {'C', "L1I", "L7I", -99, true, 1561.098, 1207.14},     // RINEX 3.02's B1I
        {'C', "L1P", "L5P", -99, true, 1575.42, 1176.45},      // B1C, B2a
        {'C', "L2I", "L7D", -99, true, 1561.098, 1207.14},     // B2b
        {'C', "L1X", "L7I", -99, false, 0, 0},                 // B1I or B1C
        {'C', "", "", -99, false, 0, 0},                       // RINEX 2: nothing stored
        {'C', "L2I", "", -99, false, 0, 0},
        {'G', "", "", -99, true, 1575.42, 1227.60},            // fixed, whatever the codes
    };
    for (const Row& r : rows) {
        SlotFrequencies f{};
        const int channel = r.channel;
        EXPECT_EQ(satellite_slot_frequencies(r.system, r.l1, r.l2, channel == -99 ? nullptr : &channel, &f),
                  r.known)
            << r.system << r.l1 << r.l2 << channel;
        if (!r.known) continue;
        EXPECT_NEAR(f.l1_hz, r.l1_mhz * 1e6, 1e-3) << r.system << r.l1;
        EXPECT_NEAR(f.l2_hz, r.l2_mhz * 1e6, 1e-3) << r.system << r.l2;
    }
    EXPECT_EQ(code_carrier('E', "C7Q", nullptr), 1207.14e6);
    EXPECT_EQ(code_carrier('J', "C5X", nullptr), 1176.45e6);
    EXPECT_EQ(code_carrier('G', "C9X", nullptr), 0);
    EXPECT_EQ(code_carrier('G', "C", nullptr), 0);
}

// Observations of one satellite built from range, ionosphere (L1 delay),
// ambiguities and code multipath on P1: GF follows only the ionosphere, MW
// only the multipath, MP1 the multipath, each up to a constant.
TEST(QualityCombinations, EachKeepsOnlyWhatItShould) {
    for (char system : {'G', 'E'}) {
        const Carriers c = carriers(system);
        auto values = [&](double range, double iono, double mp1, double* out) {
            out[0] = range + iono + mp1;                            // P1
            out[1] = range + c.alpha * iono;                        // P2
            out[2] = (range - iono) / c.lambda1 + 1234567;          // L1
            out[3] = (range - c.alpha * iono) / c.lambda2 - 76543;  // L2
        };
        double a[4], b[4];
        values(2.1e7, 5.0, 0.0, a);
        values(2.3e7, 7.0, 0.4, b);  // the satellite moved, ionosphere and multipath grew
        const double gf = geometry_free(c, b[2], b[3]) - geometry_free(c, a[2], a[3]);
        EXPECT_NEAR(gf, (c.alpha - 1) * 2.0, 1e-6) << system;
        const double mw = melbourne_wuebbena(c, b[2], b[3], b[0], b[1]) -
                          melbourne_wuebbena(c, a[2], a[3], a[0], a[1]);
        EXPECT_NEAR(mw, -c.f1 / (c.f1 + c.f2) * 0.4 / c.lambda_wide, 1e-6) << system;
        EXPECT_NEAR(multipath1(c, b[0], b[2], b[3]) - multipath1(c, a[0], a[2], a[3]), 0.4, 1e-6);
        EXPECT_NEAR(multipath2(c, b[1], b[2], b[3]) - multipath2(c, a[1], a[2], a[3]), 0.0, 1e-6);
        // A slip of (n1, n2) moves MW by n1 - n2 and GF by lambda1 n1 - lambda2 n2.
        EXPECT_NEAR(melbourne_wuebbena(c, a[2] + 9, a[3] + 7, a[0], a[1]) -
                        melbourne_wuebbena(c, a[2], a[3], a[0], a[1]),
                    2, 1e-6);
        EXPECT_NEAR(geometry_free(c, a[2] + 9, a[3] + 7) - geometry_free(c, a[2], a[3]),
                    slip_gf_jump(c, 9, 7), 1e-6);
    }
}

TEST(QualitySlipFit, FindsThePairOrRefusesWhatNoPairExplains) {
    struct Row {
        char system;
        double gf_noise, mw_noise;
        int n1, n2;
        bool fits;
    };
    std::vector<Row> rows;
    for (char system : {'G', 'E'})
        for (auto [n1, n2] :
             {std::pair{1, 0}, {0, 1}, {1, 2}, {2, 1}, {4, 3}, {9, 7}, {10, 0}, {0, 10}, {-1, 0}})
            rows.push_back({system, 0.006, -0.3, n1, n2, true});
    for (const Row& r : rows) {
        const Carriers c = carriers(r.system);
        const SlipFit fit = fit_slip(c, slip_gf_jump(c, r.n1, r.n2) + r.gf_noise,
                                     r.n1 - r.n2 + r.mw_noise, 0.0045, 0.15);
        EXPECT_TRUE(fit.fits) << r.system << r.n1 << r.n2;
        EXPECT_EQ(fit.n1, r.n1) << r.system << r.n1 << r.n2;
        EXPECT_EQ(fit.n2, r.n2) << r.system << r.n1 << r.n2;
    }
    // One wide-lane cycle of MW without a GF jump: no GPS pair gives that
    // (4/3 moves GF by 2.9 cm), but the Galileo 4/3 pair does (-3 mm).
    EXPECT_FALSE(fit_slip(carriers('G'), 0.0, 1.0, 0.0045, 0.15).fits);
    const SlipFit galileo = fit_slip(carriers('E'), 0.0, 1.0, 0.0045, 0.15);
    EXPECT_TRUE(galileo.fits);
    EXPECT_EQ(galileo.n1, 4);
    EXPECT_EQ(galileo.n2, 3);
}

TEST(QualityStepFit, MeasuresAStepOnACurvedTrend) {
    std::vector<double> t, v;
    for (int i = -6; i < 6; ++i) {
        t.push_back(30.0 * i);
        v.push_back(0.3 + 1e-3 * i + 2e-4 * i * i + (i >= 0 ? 0.19 : 0));
    }
    const StepFit fit = fit_step(t.data(), v.data(), 12, 0.0);
    ASSERT_TRUE(fit.solved);
    EXPECT_NEAR(fit.jump, 0.19, 1e-9);
    EXPECT_NEAR(fit.worst_residual, 0, 1e-9);
    EXPECT_FALSE(fit_step(t.data(), v.data(), 6, 0.0).solved);  // nothing after the step
}

// The arc check on a GPS satellite seen every 30 s with a smooth ionosphere
// and a small code wobble, and the events of one row put in.
struct Found : ArcListener {
    std::vector<SlipFound> slips;
    long arcs = 0;
    std::vector<long> stretches;  // breaks of each unusable stretch
    void slip(const SlipFound& s) override { slips.push_back(s); }
    void arc_multipath(int which, long, double) override { arcs += which == 0; }
    void unusable(double, double, long breaks) override { stretches.push_back(breaks); }
};

TEST(QualityArcCheck, SlipsOutliersFlagsBreaksAndGaps) {
    struct Event {
        const char* what;
        int epoch;          // where it is put in
        int n1, n2;         // slip
        double gf_outlier;  // m added to L1 at that epoch only
        bool lli, missing;  // flag at the epoch; the satellite missing from it for 5 minutes
        std::vector<SlipTest> expected;
        long arcs;
        // Both phases moved by so many metres at each of so many epochs from
        // the epoch on (a break, or a phase running away).
        double run_m = 0;
        int run_epochs = 0;
        std::vector<long> stretches = {};
    };
    const Carriers c = carriers('G');
    using T = SlipTest;
    const std::vector<T> run(12, T::mw);
    for (const Event& ev :
         {Event{"nothing", -1, 0, 0, 0, false, false, {}, 1},
          Event{"slip 1/0", 40, 1, 0, 0, false, false, {T::gf}, 2},
          Event{"slip 9/7", 40, 9, 7, 0, false, false, {T::mw}, 2},
          Event{"outlier", 40, 0, 0, 0.3, false, false, {}, 1},
          Event{"flag where nothing moves", 40, 0, 0, 0, true, false, {}, 1},
          Event{"flagged slip 1/1", 40, 1, 1, 0, true, false, {T::lli}, 2},
          Event{"flagged slip 9/7", 40, 9, 7, 0, true, false, {T::lli}, 2},
          Event{"flag on the first epoch", 0, 0, 0, 0, true, false, {}, 1},
          Event{"gap", 40, 0, 0, 0, false, true, {}, 2},
          Event{"break of 3 km on both phases", 40, 0, 0, 0, false, false, {T::mw}, 2, 3000, 1},
          Event{"phase running away", 40, 0, 0, 0, false, false, run, 2, 40, 12, {12}}}) {
        ArcCheck arc;
        arc.begin(&c, 30, 90);
        Found found;
        int n1 = 0, n2 = 0;
        for (int k = 0; k < 100; ++k) {
            if (ev.missing && k >= ev.epoch && k < ev.epoch + 10) continue;
            if (k == ev.epoch) {
                n1 += ev.n1;
                n2 += ev.n2;
            }
            const double t = 1e9 + 30.0 * k;
            const double range = 2.2e7 + 300.0 * k, iono = 4 + 0.01 * k;
            const double wobble = 0.1 * std::sin(k * 1.3);  // code noise stand-in
            const double p1 = range + iono + wobble, p2 = range + c.alpha * iono - wobble;
            const double away =
                ev.run_m * std::clamp(k - ev.epoch + 1, 0, ev.run_epochs) * (ev.epoch >= 0);
            const double l1 =
                (range - iono + away + (k == ev.epoch ? ev.gf_outlier : 0)) / c.lambda1 + n1;
            const double l2 = (range - c.alpha * iono + away) / c.lambda2 + n2;
            EpochValues v;
            v.t = t;
            v.gf = geometry_free(c, l1, l2);
            v.mw = melbourne_wuebbena(c, l1, l2, p1, p2);
            v.mp1 = multipath1(c, p1, l1, l2);
            v.mp2 = multipath2(c, p2, l1, l2);
            v.lli = ev.lli && k == ev.epoch;
            arc.add(v, found);
        }
        arc.finish(found);
        std::vector<SlipTest> tests;
        for (std::size_t i = 0; i < found.slips.size(); ++i) {
            tests.push_back(found.slips[i].test);
            EXPECT_DOUBLE_EQ(found.slips[i].t, 1e9 + 30.0 * (ev.epoch + static_cast<int>(i)))
                << ev.what;
        }
        EXPECT_EQ(tests, ev.expected) << ev.what;
        EXPECT_EQ(found.arcs, ev.arcs) << ev.what;
        EXPECT_EQ(found.stretches, ev.stretches) << ev.what;
        EXPECT_EQ(arc.outliers(), ev.gf_outlier != 0 ? 1 : 0) << ev.what;
    }
}

}  // namespace
