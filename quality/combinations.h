// The dual-frequency combinations the quality check works with, and the
// integer slip that explains a pair of jumps. Phases are in cycles as stored,
// codes in metres.
#pragma once

#include "quality/frequencies.h"

inline constexpr double speed_of_light = 299792458.0;  // m/s

struct Carriers {
    double f1, f2;            // Hz
    double lambda1, lambda2;  // m
    double lambda_wide;       // c / (f1 - f2), m
    double alpha;             // (f1 / f2)^2
    // The factors of the phases (cycles) in MP1 and MP2, worked out once.
    double mp1_l1, mp1_l2, mp2_l1, mp2_l2;
};

Carriers carriers_of(const SlotFrequencies& frequencies);

// Geometry-free combination lambda1 L1 - lambda2 L2 (m): ionosphere and
// ambiguities only, so it moves slowly until a carrier slips.
double geometry_free(const Carriers& c, double l1, double l2);

// Melbourne-Wuebbena combination in wide-lane cycles: the wide-lane phase
// less the narrow-lane code, constant within an arc up to code noise and
// multipath.
double melbourne_wuebbena(const Carriers& c, double l1, double l2, double p1, double p2);

// Code multipath of P1 and of P2 (m), each plus a constant per arc (the
// ambiguities), which the caller removes with the arc's mean. With
// a = 2 / (alpha - 1): MP1 = P1 - (1 + a) lambda1 L1 + a lambda2 L2, and with
// b = 2 alpha / (alpha - 1): MP2 = P2 - b lambda1 L1 + (b - 1) lambda2 L2.
double multipath1(const Carriers& c, double p1, double l1, double l2);
double multipath2(const Carriers& c, double p2, double l1, double l2);

// How a slip of n1 cycles on L1 and n2 on L2 moves the combinations: GF by
// lambda1 n1 - lambda2 n2 metres, MW by n1 - n2 wide-lane cycles.
double slip_gf_jump(const Carriers& c, int n1, int n2);

struct SlipFit {
    int n1 = 0, n2 = 0;
    double gf_residual = 0;  // m
    double mw_residual = 0;  // wide-lane cycles
    bool fits = false;       // both residuals within their tolerances
};

// The integer pair (n1, n2) whose jumps lie closest to the measured ones,
// weighed by their standard deviations: MW fixes n1 - n2 to within a cycle
// or two, GF then picks n1. The pair fits when the GF residual is below three
// deviations and below a third of |lambda1 - lambda2| (the GF spacing of
// pairs with equal n1 - n2), and the MW residual at most half a cycle.
SlipFit fit_slip(const Carriers& c, double gf_jump, double mw_jump, double gf_sigma,
                 double mw_sigma);
