// What the sky pages of an occupation need, gathered in the same one pass
// over its observations as the signal/noise rows: per satellite its track
// across the sky (thinned), the places where it lost lock and where the
// quality check found slips, and per system the signal-strength digits
// summed in 5 degree bins of elevation.
//
// Memory stays flat in the number of observations: a track keeps a point
// at most every `track_step` seconds (sooner only when its L1 digit changes,
// and then no sooner than `digit_step` seconds), and a satellite's
// loss-of-lock marks no closer than `digit_step` seconds apart.
//
// The orbits, the pages' main cost, are asked where a satellite stands
// only every `track_step` seconds of its observations (on a grid that
// starts with each run of observations); a point, mark or observation in
// between takes its direction from the straight line between the looks
// before and after it in the plot's plane. Over 10 minutes a satellite
// moves a few degrees, and the line departs from its true path by less than
// the width of a track's line.
//
// Usage:
//   SkyGather sky(look, ids, interval);   // ids[k]: satellite of slot k (ids[0] unused)
//   for each observation in time order: sky.observe(slot, epoch, l1_ssi, l2_ssi, lost);
//   sky.finish();                          // closes every track at its last observation
//   for each slip: sky.mark_slip(slot, epoch);
//   draw_sky_page(canvas, sky.satellites(), ...);
//   draw_elevation_page(canvas, sky.systems(), ...);
#pragma once

#include <functional>
#include <string>
#include <vector>

// Where a satellite stood at an epoch (a stored time value): azimuth and
// elevation in degrees; false where the orbits cannot tell.
using SkyLook =
    std::function<bool(const char* satellite, double epoch, double* azimuth, double* elevation)>;

// A point of a track in degrees, with the L1 signal digit of the track from
// it to the next point ('0' to '9'); `starts_line` where the track begins
// again after a gap in the observations or in the orbits.
struct SkyPoint {
    float azimuth;
    float elevation;
    char digit;
    bool starts_line;
};

struct SkyMark {
    float azimuth;
    float elevation;
};

struct SatelliteSky {
    std::string id;                   // "G05"
    std::vector<SkyPoint> points;     // in time order
    std::vector<SkyMark> lock_losses;
    std::vector<SkyMark> slips;
};

// Elevation bins of 5 degrees from 0 to 90 (an observation at exactly 90
// goes into the last).
inline constexpr int elevation_bins = 18;
inline constexpr double elevation_bin_width = 5.0;

// A system's signal digits by elevation bin: the observations in the bin,
// and the number and sum of the L1 and L2 digits 1 to 9 among them (0 and a
// blank say that the receiver gave none).
struct SystemElevation {
    char system = 0;
    long observations[elevation_bins] = {};
    long l1_count[elevation_bins] = {};
    long l1_sum[elevation_bins] = {};
    long l2_count[elevation_bins] = {};
    long l2_sum[elevation_bins] = {};
};

// Mean digit of a bin, or a negative number when the bin has none.
double mean_digit(long sum, long count);

// The bin of an elevation in degrees, or -1 below the horizon or when it is
// no number.
int elevation_bin(double elevation);

inline constexpr double track_step = 600.0;  // s
inline constexpr double digit_step = 10.0;   // s
inline constexpr double gap_step = 30.0;     // s

class SkyGather {
public:
    // `ids[k]` names the satellite of slot k; slot 0 is not a satellite.
    // `interval` is the occupation's interval in seconds: a satellite not
    // seen for more than 1.5 intervals (and at least `gap_step`) has a gap
    // in its track.
    SkyGather(SkyLook look, const std::vector<std::string>& ids, int interval);

    void observe(int slot, double epoch, char l1_ssi, char l2_ssi, bool lost_lock);
    // Ends every track at the last observation of its satellite.
    void finish();
    // A slip of the satellite of `slot` at `epoch`, placed where the orbits
    // put the satellite then.
    void mark_slip(int slot, double epoch);

    // The satellites with at least one point or mark, in slot order.
    std::vector<SatelliteSky> satellites() const;
    // The systems with at least one observation at a known elevation, in
    // the order of the pages' rows (G, R, E, C, J, I, S).
    std::vector<SystemElevation> systems() const;
    // How many times the orbits were asked (the cost of the pages).
    long looks() const { return looks_; }

private:
    // A look: the direction as a point of the plot's plane (see ask), and
    // its elevation.
    struct PlanePoint {
        double epoch;
        double x, y;
        double elevation;
        bool known;
    };
    struct Slot {
        SatelliteSky sky;
        char system = 'G';
        int system_index = 0;     // in systems_
        bool seen = false;        // observed since the track began again
        double last_seen = 0;
        double last_kept = 0;     // epoch of the last point kept
        char last_digit = 0;
        bool looked = false;      // from and to hold looks
        PlanePoint from{}, to{};  // looks a track step apart around the epoch
        double last_mark = -1e300;
    };
    PlanePoint ask(const Slot& s, double epoch);
    void look_around(Slot& s, double epoch);
    bool place(const Slot& s, double epoch, double* azimuth, double* elevation) const;
    double elevation_at(const Slot& s, double epoch) const;
    void keep_point(Slot& s, double epoch, char digit, bool starts_line);
    void end_line(Slot& s);
    SystemElevation& system_of(char system);

    SkyLook look_;
    double break_after_;
    std::vector<Slot> slots_;
    std::vector<SystemElevation> systems_;
    long looks_ = 0;
};
