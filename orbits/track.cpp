#include "orbits/track.h"

#include <cmath>

namespace orbits {

SatelliteTrack::SatelliteTrack(const EphemerisStore& store, char system, int prn, double step)
    : store_(store), system_(system), prn_(prn), step_(step) {}

bool SatelliteTrack::state_at(double gps_seconds, SatelliteState* out) {
    const Ephemeris* eph = eph_;
    if (eph == nullptr || !(gps_seconds > serving_from_ && gps_seconds < serving_to_)) {
        double from = 0, to = 0;
        eph = store_.serving(system_, prn_, gps_seconds, &from, &to);
        if (eph == nullptr) return false;
        serving_from_ = from;
        serving_to_ = to;
    }
    // Nodes first-3 .. first+4 around the interval that holds the time.
    const long first = static_cast<long>(std::floor(gps_seconds / step_)) - (track_nodes / 2 - 1);
    if (!filled_ || eph != eph_ || first != first_node_) {
        long shift = filled_ && eph == eph_ ? first - first_node_ : track_nodes;
        if (shift < 0 || shift > track_nodes) shift = track_nodes;
        // Keep the nodes the new window shares with the old one.
        for (int j = 0; j + shift < track_nodes; ++j)
            for (int c = 0; c < 4; ++c) nodes_[j][c] = nodes_[j + shift][c];
        for (int j = track_nodes - static_cast<int>(shift); j < track_nodes; ++j) {
            const SatelliteState s = satellite_state(*eph, (first + j) * step_);
            nodes_[j][0] = s.position[0];
            nodes_[j][1] = s.position[1];
            nodes_[j][2] = s.position[2];
            nodes_[j][3] = s.clock;
            ++evaluations_;
        }
        eph_ = eph;
        first_node_ = first;
        filled_ = true;
    }
    double v[4];
    lagrange_equally_spaced(gps_seconds / step_ - static_cast<double>(first), nodes_, 4, v);
    out->position[0] = v[0];
    out->position[1] = v[1];
    out->position[2] = v[2];
    out->clock = v[3];
    return true;
}

namespace {

// Barycentric weights of equally spaced nodes: (-1)^j times the binomial
// coefficient (n-1 over j).
struct Weights {
    double w[track_nodes];
    constexpr Weights() : w() {
        double binomial = 1;
        for (int j = 0; j < track_nodes; ++j) {
            w[j] = (j % 2 == 0 ? 1 : -1) * binomial;
            binomial = binomial * (track_nodes - 1 - j) / (j + 1);
        }
    }
};
constexpr Weights weights;

}  // namespace

void lagrange_equally_spaced(double x, const double (*y)[4], int components, double* out) {
    double terms[track_nodes];
    double sum = 0;
    for (int j = 0; j < track_nodes; ++j) {
        const double d = x - j;
        if (d == 0) {
            for (int c = 0; c < components; ++c) out[c] = y[j][c];
            return;
        }
        terms[j] = weights.w[j] / d;
        sum += terms[j];
    }
    for (int c = 0; c < components; ++c) {
        double v = 0;
        for (int j = 0; j < track_nodes; ++j) v += terms[j] * y[j][c];
        out[c] = v / sum;
    }
}

}  // namespace orbits
