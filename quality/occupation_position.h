// The position of an occupation from its codes: about position_epochs epochs
// spread evenly over the occupation (every epoch of a short one, one every
// few minutes of a day at 1 s) are solved one by one (orbits/point_position:
// broadcast orbits and clocks, the ionosphere-free codes or the broadcast
// ionosphere, the troposphere, a 10-degree mask, a receiver clock per
// system), and the median of their solutions is the position.
#pragma once

#include <vector>

#include "obsdb/campaign.h"
#include "orbits/point_position.h"
#include "quality/occupation_carriers.h"

inline constexpr int position_epochs = 120;

class PositionFromCodes {
public:
    // `header` (ECEF m, zero when the header gives none) starts the first
    // solution; `first`, `last` (time values) and `interval` (s, 0 unknown)
    // spread the epochs solved.
    PositionFromCodes(const orbits::EphemerisStore& store, const orbits::KlobucharParameters& klobuchar,
                      const double header[3], double first, double last, double interval);

    // Feeds an observation of satellite `prn` of the epoch being read; its
    // carriers, null where unknown (its codes are then left out).
    void observation(const char* prn, const obs_record& obs, const Carriers* carriers);
    // Ends the epoch at time value `t`: solves it when it is one of those chosen.
    void epoch(double t);

    orbits::OccupationPosition result() const { return orbits::median_position(solutions_); }
    // Seconds between the epochs solved (0: every epoch).
    double spacing() const { return spacing_; }

private:
    const orbits::EphemerisStore& store_;
    orbits::PositionSettings settings_;
    double start_[3];
    bool have_start_;
    double spacing_;
    double next_ = -1e300;  // the time value from which the next epoch is solved
    double epoch_t_ = 0;
    std::vector<orbits::CodeObservation> codes_;
    std::vector<orbits::EpochSolution> solutions_;
};

// The same in a walk of its own over the occupation in `c.occ` (record
// number `occupation`), for a header without position, whose sky needs the
// position before the check. zzSATOCC, zzSAT and zzOBS must be open.
orbits::OccupationPosition position_from_codes(Campaign& c, long occupation, const orbits::EphemerisStore& store,
                                               const orbits::KlobucharParameters& klobuchar);
