// The elevations of every satellite of a store over a station at little
// cost, for counts by elevation band over whole days: the sine of the
// elevation on nodes sky_grid_step apart (one orbit evaluation per node,
// the line of sight with the Earth's rotation during a mean travel time of
// 75 ms), interpolated between them by a cubic through four nodes. A node
// that no ephemeris serves is evaluated from the nearest one up to a
// validity past its own; where even that is missing (a gap in a
// satellite's ephemerides of more than twice their validity), the sine is
// evaluated every 30 s and interpolated linearly between. Whether a
// satellite has an orbit at a time is decided at the time itself, as a
// full computation decides it. The weights of a time are worked out once
// for all satellites. Over a real day of five systems the sine stays within
// 5e-5 of the full computation: 0.003 degrees of elevation at the 10-degree
// mask, more only near the zenith, where the sine hardly moves
// (occupation_sky_test).
#pragma once

#include <vector>

#include "orbits/ephemeris_store.h"
#include "orbits/sky.h"

namespace orbits {

inline constexpr double sky_grid_step = 900.0;  // s

// The times over which one interpolation cubic gives a satellite's sine of
// elevation.
struct SineSpan {
    double from = 0, to = 0;  // GPS seconds
    // The cubic itself where the sine came from one: sine = c[0] + c[1] u +
    // c[2] u² + c[3] u³ with u = (t - origin) / sky_grid_step.
    bool cubic = false;
    double origin = 0;
    double c[4] = {0, 0, 0, 0};
};

// The span's sine at `t` (GPS seconds, within the span; it has a cubic),
// as the grid gives it there.
double sine_of_span(const SineSpan& span, double t);

// The first time after `t` (GPS seconds, within the span) at which the
// span's sine reaches `high` or falls below `low` (it lies between them at
// `t`), less a millisecond; the span's end where it stays between them, or
// where the span has no cubic.
double sine_leaves(const SineSpan& span, double t, double low, double high);

class SkyGrid {
public:
    SkyGrid(const EphemerisStore& store, const StationFrame& station);

    // The fastest the sine of elevation of a satellite below the horizon can
    // change, seen from within 500 km of the ground: its speed in the Earth's
    // frame (below 6.2 km/s for every orbit of these systems) over the least
    // distance of a point below the horizon (24,000 km, GLONASS). A node
    // d below the horizon proves the satellite below it for d / rate
    // seconds either side, less a margin for the interpolation.
    static constexpr double below_sine_rate = 3e-4;  // 1/s
    static constexpr double below_margin = 1e-3;

    // The index of a satellite (system G, R, E, C or J), -1 for another;
    // below satellite_count.
    int satellite(char system, int prn);
    static constexpr int satellite_count = 5 * 100;
    // The satellites that have ephemerides, as indexes.
    const std::vector<int>& in_store() const { return in_store_; }
    char system_of(int satellite) const { return satellites_[static_cast<std::size_t>(satellite)].system; }

    // Sets the time (GPS seconds) of the queries that follow.
    void set_time(double gps_seconds);
    // The sine of the satellite's elevation at the time set, or false where
    // no ephemeris serves it at the nodes around the time, or (with
    // `above_only`) where the nodes around it all lie more than 10 degrees
    // below the horizon, which no cubic through them rises above, or where a
    // node nearby proves the satellite below the horizon. With
    // `span`: where the same four nodes (near the ends of the satellite's
    // ephemerides, the same line) give the sine, or give false (no orbit, or
    // kept below); empty (from and to the time set) where the sine was
    // evaluated at the time itself. A caller may keep an answer over its
    // span without asking again: the same false, or the span's cubic.
    bool sine_elevation(int satellite, double* out, bool above_only = false, SineSpan* span = nullptr);

private:
    static constexpr int ring = 16;  // nodes kept per satellite: 4 hours
    struct Node {
        long index = -1;
        bool found = false;
        double sine = 0;
    };
    struct Serving {
        const Ephemeris* ephemeris = nullptr;  // null: none serves
        double from = 1, to = 0;               // the times it stays so
    };
    struct Satellite {
        char system = 0;
        int prn = 0;
        Node nodes[ring];
        long edge_index = -1;  // the edge_step interval evaluated directly
        bool edge_found[2] = {false, false};
        double edge_sine[2] = {0, 0};
        // The ephemeris last chosen at the nodes and at the times asked, and
        // whether the satellite had an orbit at the time last asked.
        Serving at_nodes, at_times;
        bool has_orbit = false;
        double orbit_from = 1, orbit_to = 0;  // the times that stays so
        // The times a node proves the satellite below the horizon (GPS seconds).
        double below_from = 1, below_to = 0;
    };
    const Node& node(Satellite& s, long index);
    // The ephemeris that serves the satellite at t, or null; `cache` keeps
    // the choice and the times it holds over.
    const Ephemeris* served(const Satellite& s, Serving& cache, double t) const;
    bool sine_of(const Ephemeris& eph, double t, double* out) const;
    bool direct_sine(Satellite& s, double t, double* out) const;
    bool edge_sine(Satellite& s, double* out, SineSpan* span) const;
    static constexpr double edge_step = 30.0;  // s

    const EphemerisStore& store_;
    StationFrame station_;
    bool near_ground_ = false;  // the station within 500 km of the ground: below_sine_rate holds
    std::vector<Satellite> satellites_;
    std::vector<int> slot_;
    std::vector<int> in_store_;
    double time_ = 0;
    long first_ = 0;       // the first of the four nodes of the time set
    double weight_[4] = {0, 1, 0, 0};
};

}  // namespace orbits
