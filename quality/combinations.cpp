#include "quality/combinations.h"

#include <algorithm>
#include <cmath>

Carriers carriers_of(const SlotFrequencies& f) {
    Carriers c;
    c.f1 = f.l1_hz;
    c.f2 = f.l2_hz;
    c.lambda1 = speed_of_light / c.f1;
    c.lambda2 = speed_of_light / c.f2;
    c.lambda_wide = speed_of_light / (c.f1 - c.f2);
    c.alpha = (c.f1 / c.f2) * (c.f1 / c.f2);
    const double a1 = 2 / (c.alpha - 1), a2 = 2 * c.alpha / (c.alpha - 1);
    c.mp1_l1 = (1 + a1) * c.lambda1;
    c.mp1_l2 = a1 * c.lambda2;
    c.mp2_l1 = a2 * c.lambda1;
    c.mp2_l2 = (a2 - 1) * c.lambda2;
    return c;
}

double geometry_free(const Carriers& c, double l1, double l2) {
    return c.lambda1 * l1 - c.lambda2 * l2;
}

double melbourne_wuebbena(const Carriers& c, double l1, double l2, double p1, double p2) {
    const double wide_phase = (c.f1 * c.lambda1 * l1 - c.f2 * c.lambda2 * l2) / (c.f1 - c.f2);
    const double narrow_code = (c.f1 * p1 + c.f2 * p2) / (c.f1 + c.f2);
    return (wide_phase - narrow_code) / c.lambda_wide;
}

double multipath1(const Carriers& c, double p1, double l1, double l2) {
    return p1 - c.mp1_l1 * l1 + c.mp1_l2 * l2;
}

double multipath2(const Carriers& c, double p2, double l1, double l2) {
    return p2 - c.mp2_l1 * l1 + c.mp2_l2 * l2;
}

double slip_gf_jump(const Carriers& c, int n1, int n2) { return c.lambda1 * n1 - c.lambda2 * n2; }

SlipFit fit_slip(const Carriers& c, double gf_jump, double mw_jump, double gf_sigma,
                 double mw_sigma) {
    SlipFit best;
    double best_score = HUGE_VAL;
    const double spacing = std::fabs(c.lambda1 - c.lambda2);
    const double base = std::round(mw_jump);
    if (!std::isfinite(base) || !std::isfinite(gf_jump) || std::fabs(base) > 1e6) return best;
    for (int dw = -1; dw <= 1; ++dw) {
        const int w = static_cast<int>(base) + dw;
        const double n1_real = (gf_jump - c.lambda2 * w) / (c.lambda1 - c.lambda2);
        if (!(std::fabs(n1_real) < 1e6)) continue;
        const int n1 = static_cast<int>(std::lround(n1_real));
        const int n2 = n1 - w;
        const double gf_res = gf_jump - slip_gf_jump(c, n1, n2);
        const double mw_res = mw_jump - w;
        const double score =
            (gf_res / gf_sigma) * (gf_res / gf_sigma) + (mw_res / mw_sigma) * (mw_res / mw_sigma);
        if (score < best_score) {
            best_score = score;
            best.n1 = n1;
            best.n2 = n2;
            best.gf_residual = gf_res;
            best.mw_residual = mw_res;
        }
    }
    const double gf_tolerance = std::min(3 * gf_sigma, spacing / 3);
    const double mw_tolerance = 0.5;
    best.fits =
        std::fabs(best.gf_residual) <= gf_tolerance && std::fabs(best.mw_residual) <= mw_tolerance;
    return best;
}
