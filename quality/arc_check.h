// The arcs of one satellite in one occupation: where its phase lost lock or
// slipped, which single epochs are outliers, and the multipath of every arc.
//
// Epochs come in one at a time in time order. The check holds the last few
// accepted epochs of the current arc (the "before" window) and the next few
// epochs still to be decided (the "after" window), never more: an epoch is
// decided once the epochs after it that confirm or refute a jump are there.
//
// An arc ends at a gap (the satellite missing for longer than the gap limit),
// at a phase acquired again (a loss-of-lock flag, bit 0 of the L1 or L2
// indicator, on a phase the satellite's previous epoch lacked: no slip), and
// at every slip. A loss-of-lock flag on any other epoch but the arc's first
// is tested: where GF and MW can be measured across it and neither moves, the
// phase kept its count and the arc goes on; otherwise it is a slip. A slip is
// a step in the geometry-free combination (GF) or the Melbourne-Wuebbena
// combination (MW) that the following epochs keep and that fits a whole
// number of cycles on each carrier, or a break: MP1 or MP2 moving by metres,
// or GF by many cycles, from one epoch to the next, where the next epoch does
// not return (a phase that runs away is a run of breaks). An epoch that jumps
// while the following ones stay where the earlier ones were is an outlier,
// left out of the arc and its multipath.
#pragma once

#include "quality/combinations.h"

enum class SlipTest { lli, gf, mw, clock };

// One satellite's values at one epoch; NaN where the observations for a
// combination are missing.
struct EpochValues {
    double t = 0;    // time value
    double gf = 0;   // m
    double mw = 0;   // wide-lane cycles
    double mp1 = 0;  // m, plus the arc's constant
    double mp2 = 0;
    // Bit 0 of the loss-of-lock indicator of L1 or L2, on a phase that the
    // satellite's previous epoch had (tested: a slip unless GF and MW show
    // the phase kept its count), or on one it lacked (the phase acquired
    // again: a new arc, but no slip).
    bool lli = false;
    bool reacquired = false;
    // The code of the L1 slot in MW is P1 here and C1 before, or the other
    // way round.
    bool code_changed = false;
};

struct SlipFound {
    double t;  // time value of the epoch of the slip
    SlipTest test;
    double gf_jump;  // m; NaN when not measured
    double mw_jump;  // wide-lane cycles; NaN when not measured
};

// Receives what the check finds.
class ArcListener {
public:
    virtual void slip(const SlipFound& slip) = 0;
    // An arc of at least min_multipath_epochs values of MP1 (which 0) or MP2
    // (which 1): their number and the sum of their squared deviations from
    // the arc's mean.
    virtual void arc_multipath(int which, long count, double squares) = 0;
    // A stretch in which the phase broke at `breaks` epochs from `first` to
    // `last` (time values) with arcs too short for the multipath between
    // them: the phase was unusable there.
    virtual void unusable(double first, double last, long breaks) = 0;

protected:
    ~ArcListener() = default;
};

inline constexpr long min_multipath_epochs = 10;

// Values summed less the first of them, so that their squares keep their
// digits: their number, sum and sum of squares.
struct ShiftedSums {
    long n = 0;
    double shift = 0, sum = 0, squares = 0;
    // Adds a value; returns it less the shift.
    double add(double value) {
        if (n == 0) shift = value;
        const double d = value - shift;
        ++n;
        sum += d;
        squares += d * d;
        return d;
    }
};

// Sees every MP value an arc takes in (with the arc's constant) and the end
// of the arc's MP1 or MP2, for figures the satellite's totals do not give
// (by elevation, for example).
class MultipathObserver {
public:
    // The MP1 and MP2 values (m) of an epoch the arc takes in; one that is
    // not finite is none.
    virtual void values(double t, const double mp[2]) = 0;
    // `kept`: the arc was long enough for its values to count.
    virtual void arc_end(int which, bool kept) = 0;

protected:
    ~MultipathObserver() = default;
};

class ArcCheck {
public:
    static constexpr int before_size = 10;  // accepted epochs the tests compare with
    // Epochs, the decided one included, that confirm a jump: two MW windows.
    static constexpr int mw_window = 10;
    static constexpr int after_size = 2 * mw_window;

    // Starts the check of a satellite: `carriers` null when the slot
    // frequencies are unknown (only loss of lock and gaps are checked);
    // `interval` the occupation's interval in seconds (0 when unknown); an
    // arc ends where the satellite was missing for longer than `gap_limit`
    // seconds.
    void begin(const Carriers* carriers, double interval, double gap_limit);
    // Passes the MP values to `observer` from now on (null: to none).
    void observe_multipath(MultipathObserver* observer) { mp_observer_ = observer; }
    void add(const EpochValues& epoch, ArcListener& out);
    // Decides the epochs still waiting and ends the arc.
    void finish(ArcListener& out);

    long outliers() const { return outliers_; }
    // The time of the earliest epoch still to be decided: no slip found
    // later lies before it. Infinite when none waits.
    double earliest_pending() const;
    // The time of the last epoch added, and whether an arc is open.
    double last_epoch() const { return last_t_; }
    bool open() const { return active_; }

private:
    struct Point {
        double t, gf, mw;  // t and gf relative to the arc's first accepted epoch
    };
    struct GfStep {
        double jump;
        bool fits;
        bool solved = false;  // measured by the fit, not the departure alone
        int after = 0;        // epochs from the decided one on that the fit used
    };
    struct MwWindow {
        double step = __builtin_nan("");  // after level less before level
        double sigma = 0;                 // deviation of the step statistic; NaN: not worked out
        bool candidate = false;           // beyond the threshold for a step GF supports
        bool strong = false;              // beyond the threshold for a step MW alone shows
        bool holds = false;               // the second after window agrees
    };
    struct Line {  // gf = a + b (t - tm), relative to the arc's first epoch
        double a, b, tm;
        double at(double t) const { return a + b * (t - tm); }
    };

    void decide(ArcListener& out);
    bool flag_holds();
    int broken(const EpochValues& e) const;
    bool break_stays(const EpochValues& e, const EpochValues& next, int which) const;
    void note_break(double t, ArcListener& out);
    void close_stretch(ArcListener& out);
    int horizon() const;
    void accept(const EpochValues& e);
    void drop_first();
    void end_arc(ArcListener& out);
    void clear_before();
    void restart_at(const EpochValues& e, ArcListener& out);
    void close_multipath(ArcListener& out);
    bool first_is_outlier() const;
    GfStep gf_step_at(const Line& line, double departure, bool stays) const;
    MwWindow mw_window_test(double before_mw, int nb_mw, double before_sum);
    // Puts the MW values of the epochs pending(from) to pending(to - 1) that
    // have one into `values`; returns their number.
    int pending_mw(int from, int to, double* values) const;
    Line before_line() const;
    double mw_sigma() const;
    double window_sigma() const;
    void note_window_step(double step);
    void forget_mw();

    const Carriers* carriers_ = nullptr;
    double interval_ = 0, gap_limit_ = 0;
    bool active_ = false;
    double last_t_ = 0;
    double t0_ = 0, gf0_ = 0;  // the arc's first accepted epoch

    Point before_[before_size] = {};  // a ring, before_next_ the slot of the next accepted one
    int before_count_ = 0, before_next_ = 0;
    // The j-th latest accepted epoch (0 the latest).
    const Point& recent(int j) const {
        const int k = before_next_ - 1 - j;
        return before_[k < 0 ? k + before_size : k];
    }
    // The epochs still to decide, in time order from pending_first_: a
    // window that slides along the buffer and moves back to its start when
    // it reaches the end, so that they lie side by side.
    EpochValues pending_[2 * after_size] = {};
    int pending_first_ = 0, pending_count_ = 0;
    // The pending epochs the decision of the first may look at: up to the
    // next flagged one, which may end the arc; the flagged ones among them.
    int visible_ = 0;
    int pending_flags_ = 0;
    EpochValues& pending(int i) { return pending_[pending_first_ + i]; }
    const EpochValues& pending(int i) const { return pending_[pending_first_ + i]; }

    double window_variance_ = 0;  // of the MW step statistic, running
    int window_updates_ = 0;
    double held_step_[after_size] = {};  // statistics not yet in the variance
    int held_first_ = 0, held_steps_ = 0;
    long mw_n_ = 0;  // accepted MW values of the arc: count, mean, squared deviations
    double mw_mean_ = 0, mw_m2_ = 0;

    ShiftedSums mp_[2];
    MultipathObserver* mp_observer_ = nullptr;
    long outliers_ = 0;
    long arc_accepted_ = 0;  // epochs accepted since the arc began
    double last_mp1_ = 0, last_mp2_ = 0;  // of the latest accepted epoch
    // The stretch of breaks being gathered: first and last break, their number.
    double stretch_first_ = 0, stretch_last_ = 0;
    long stretch_breaks_ = 0;
};
