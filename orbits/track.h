// A satellite's positions along the day at little cost: the orbit is
// evaluated on nodes a fixed step apart (with the ephemeris that serves the
// time asked for) and interpolated between them with a Lagrange polynomial
// on track_nodes nodes. Calls at increasing times, as a walk over epochs
// makes them, compute one new node per step.
#pragma once

#include "orbits/ephemeris_store.h"
#include "orbits/satellite_state.h"

namespace orbits {

inline constexpr int track_nodes = 8;
inline constexpr double default_track_step = 300.0;  // s

class SatelliteTrack {
public:
    SatelliteTrack(const EphemerisStore& store, char system, int prn, double step = default_track_step);
    // The state at `gps_seconds`, or false when no ephemeris serves the
    // satellite then.
    bool state_at(double gps_seconds, SatelliteState* out);
    // The same as a callable, for sight_from.
    bool operator()(double gps_seconds, SatelliteState* out) { return state_at(gps_seconds, out); }
    // How many nodes have been evaluated from the ephemerides so far.
    long evaluations() const { return evaluations_; }

private:
    const EphemerisStore& store_;
    char system_;
    int prn_;
    double step_;
    const Ephemeris* eph_ = nullptr;  // the ephemeris of the nodes held
    double serving_from_ = 0, serving_to_ = -1;  // where eph_ stays the choice
    long first_node_ = 0;             // index (time / step) of nodes_[0]
    bool filled_ = false;
    double nodes_[track_nodes][4];    // x, y, z, clock
    long evaluations_ = 0;
};

// Lagrange interpolation at `x` (in units of the node spacing, node j at j,
// 0 <= x <= track_nodes - 1) of the values `y[j][component]` of the
// track_nodes nodes, for `components` columns (barycentric form).
void lagrange_equally_spaced(double x, const double (*y)[4], int components, double* out);

}  // namespace orbits
