// The quality check of one occupation: one forward pass over its stored
// observations, epoch by epoch, holding per satellite only its arc's running
// values (arc_check.h) and per epoch only that epoch's observations.
#pragma once

#include <vector>

#include "obsdb/campaign.h"
#include "quality/arc_check.h"

// What one system's observations of an occupation gave.
struct SystemQuality {
    char system = ' ';               // G, R, E, C, J, I, S, ...
    bool frequencies_known = false;  // the dual-frequency tests apply
    long satellites = 0;
    long observations = 0;
    long with_l1 = 0;         // observations with an L1 phase
    long with_l1_l2 = 0;      // ... that also have an L2 phase
    long slips[3] = {};       // found by the loss-of-lock, GF and MW tests
    long lli_flags = 0;       // observations whose L1 or L2 carries bit 0 of the flag
    bool gf_checked = false;  // some epoch had both phases
    bool mw_checked = false;  // some epoch had both phases and both codes
    long mp_count[2] = {};    // MP1, MP2 values in arcs long enough
    double mp_squares[2] = {};
};

// A satellite whose phase broke at every few epochs (arc_check.h).
struct UnusableStretch {
    char prn[4];
    double first, last;  // time values of the first and last break
    long breaks;
};

struct OccupationQuality {
    long occupation = 0;      // record number in zzOCC
    double first_epoch = -1;  // time values; -1 without observations
    double last_epoch = -1;
    double interval = 0;  // s; 0 when unknown
    long epochs = 0;
    long gaps = 0;           // spacings longer than 1.5 intervals
    double longest_gap = 0;  // s without epochs in the longest gap
    long clock_jumps = 0;
    std::vector<SystemQuality> systems;  // in the order of system_rank
    std::vector<UnusableStretch> unusable;  // in the order they ended
};

// One slip or clock jump as the report and the plot see it: what the arc
// check found (at time value t), and on which satellite.
struct QualitySlip : SlipFound {
    long satocc;  // satellite occupation; 0 for a clock jump
    char prn[4];  // "" for a clock jump
};

class SlipSink {
public:
    virtual void found(const QualitySlip& slip) = 0;

protected:
    ~SlipSink() = default;
};

// Sees each observation the check takes, in reading order, so that another
// summary of the occupation (the baselines' epochs) is gathered in the same
// pass over the observations.
class ObservationTap {
public:
    virtual void observed(const obs_record& observation) = 0;

protected:
    ~ObservationTap() = default;
};

// Sees what the check reads and works out, for figures beyond its own (the
// sky's: quality/orbit_check.h).
// One satellite's part: its observations as read and its MP values.
class SatelliteObserver : public MultipathObserver {
public:
    virtual void observation(const obs_record& obs) = 0;

protected:
    ~SatelliteObserver() = default;
};

class CheckObserver {
public:
    // Where a satellite's observations and MP values go (null: nowhere),
    // asked once per satellite, with its name as stored ("G05") and its
    // carriers (null where unknown), which stay in place while the check
    // runs.
    virtual SatelliteObserver* satellite_of(const char* prn, const Carriers* carriers) = 0;
    // The end of an epoch (time value) whose observations were passed.
    virtual void epoch(double t) = 0;

protected:
    ~CheckObserver() = default;
};

// Checks the occupation with record number `occupation`. The tables zzOCC,
// zzSAT, zzSATOCC and zzOBS must be open for reading; their record variables
// and the zzOBS walk are left changed. Slips and clock jumps go to `slips` in
// the order they are found (by satellite, within a few epochs of time order).
// With an observer, it sees what the check reads and works out; with a tap,
// every observation of the occupation is shown to it too.
OccupationQuality check_occupation(Campaign& c, long occupation, SlipSink& slips,
                                   CheckObserver* observer = nullptr,
                                   ObservationTap* tap = nullptr);

// What a page shows of an occupation's check: its figures, and the slips the
// GF and MW tests found (the loss-of-lock flags are on the page already), in
// time order.
struct PageQuality {
    OccupationQuality quality;
    std::vector<QualitySlip> slips;
};
PageQuality check_for_page(Campaign& c, long occupation);

// The observations per slip of a system (slips by all three tests), 0 when
// nothing slipped; the RMS of MP1 (which 0) or MP2, or NaN when not computed.
double observations_per_slip(const SystemQuality& s);
double multipath_rms(const SystemQuality& s, int which);
