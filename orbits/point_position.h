// The position of an occupation from its code observations: a least-squares
// solution per epoch (position and one receiver clock per system, broadcast
// orbits and clocks, ionosphere and troposphere models, an elevation mask),
// and the median of the epochs' solutions.
#pragma once

#include <cstddef>
#include <vector>

#include "orbits/atmosphere.h"
#include "orbits/ephemeris_store.h"

namespace orbits {

inline constexpr double default_elevation_mask = 10.0 * 3.14159265358979323846 / 180.0;

// The codes of one satellite at one epoch: up to two codes (m, 0 where
// absent) on their carriers (Hz, 0 where unknown). With both, the
// ionosphere-free combination is used; with one, the Klobuchar model.
struct CodeObservation {
    char system;  // G R E C J
    int prn;
    double code[2];
    double frequency[2];
};

struct EpochInput {
    double gps_seconds;  // reception time, receiver clock (GPS time scale)
    const CodeObservation* observations;
    std::size_t count;
};

struct EpochSolution {
    bool solved = false;
    double position[3] = {0, 0, 0};  // ECEF (m)
    int satellites = 0;              // used in the solution
    int systems = 0;                 // receiver clocks solved for
    double rms = 0;                  // of the post-fit residuals (m)
};

struct PositionSettings {
    double elevation_mask = default_elevation_mask;  // rad
    double max_residual = 30.0;  // m: a larger residual removes its satellite and the epoch is solved again
    KlobucharParameters klobuchar;
};

// One epoch's solution. `start` is a position to start from (the header's,
// or the last epoch's); null or zero starts at the Earth's centre. An epoch
// with fewer satellites above the mask than unknowns has no solution.
EpochSolution solve_epoch(const EpochInput& epoch, const EphemerisStore& store,
                          const PositionSettings& settings, const double* start);

struct OccupationPosition {
    bool known = false;
    double position[3] = {0, 0, 0};
    int epochs_used = 0;
};
// The median, coordinate by coordinate, of the solved epochs.
OccupationPosition median_position(const std::vector<EpochSolution>& epochs);

// The check of a header position against the computed one.
enum class PositionFlag {
    none,          // within the distance
    header_zero,   // the header gives no position
    far,           // more than the distance apart
    not_computed,  // no position could be computed to compare with
};
inline constexpr double position_flag_distance = 100.0;  // m
double position_distance(const double a[3], const double b[3]);
PositionFlag position_flag(const double header[3], const OccupationPosition& computed);
// "", "header position zero", "header more than 100 m off", "no computed position"
const char* position_flag_text(PositionFlag flag);

}  // namespace orbits
