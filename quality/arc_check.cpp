#include "quality/arc_check.h"

#include "quality/step_fit.h"

#include <algorithm>
#include <cmath>

namespace {

// GF: an epoch departs from the line through the arc's last gf_line_epochs
// accepted epochs by more than the base plus the per-second part times the
// time step (m).
constexpr double gf_threshold_base = 0.05;
constexpr double gf_threshold_per_second = 0.002;
constexpr int gf_line_epochs = 4;
// A GF jump this many times its threshold, which the next epoch keeps, is a
// slip without further tests (a slip of ten cycles on L1 moves GF by 1.9 m).
constexpr double gf_certain = 10;
// The size of a GF step is measured with up to this many accepted epochs
// before it and epochs from it on, no farther from it than step_fit_seconds
// (a quadratic trend does not follow the ionosphere over much longer spans);
// its standard deviation is about gf_jump_sigma (m).
constexpr int step_fit_before = 10;
constexpr int step_fit_after = 10;
constexpr double step_fit_seconds = 180;
constexpr double gf_jump_sigma = 0.0045;

// MW, one epoch (for outliers): departs from the mean of the before window
// by more than mw_sigmas running deviations of MW over the arc, and by at
// least mw_floor cycles.
constexpr double mw_sigmas = 4;
constexpr double mw_floor = 0.7;
// MW, a step: the trimmed mean of the after window departs from the mean of
// the before window by more than mw_sigmas deviations of that difference,
// and by at least mw_window_floor cycles; both windows must hold window_min
// values. The deviation is the running one of the difference (over about
// window_memory epochs), or mw_arc_share of the running deviation of MW over
// the arc where that is larger.
constexpr double mw_window_floor = 0.5;
constexpr int window_min = 5;
constexpr int window_memory = 10;
constexpr double mw_arc_share = 0.6;
// A step whose GF size is beyond gf_support metres (though below the GF
// threshold) needs only mw_supported_sigmas in MW: GF backs it.
constexpr double mw_supported_sigmas = 2.5;
constexpr double gf_support = 4 * gf_jump_sigma;
// The running deviations start from mw_prior_sigma, weighed as so many
// epochs, so that the first epochs of an arc do not give a deviation near
// zero.
constexpr double mw_prior_sigma = 0.3;
constexpr double mw_prior_weight = 4;

// The epochs after a candidate that tell an outlier from a step.
constexpr int outlier_look = 5;

// A break: MP1 or MP2 moving by more than this (m) from one epoch to the
// next, which no code noise explains (or GF by gf_certain thresholds).
constexpr double mp_break = 5;
// A flagged epoch kept its count where the GF step across it is within this
// (m: a 1/1 slip moves GF by 5.4 cm, 4/3 by 2.9 cm) and the MW step within
// the floor or mw_supported_sigmas deviations.
constexpr double flag_gf_tolerance = 0.025;

const double none = std::nan("");

double median(double* v, int n) {
    std::sort(v, v + n);
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// The variance of the values without the one farthest from their mean.
double spread(const double* v, int n) {
    if (n < 3) return 0;
    double mean = 0;
    for (int i = 0; i < n; ++i) mean += v[i];
    mean /= n;
    int far = 0;
    for (int i = 1; i < n; ++i)
        if (std::fabs(v[i] - mean) > std::fabs(v[far] - mean)) far = i;
    mean = (mean * n - v[far]) / (n - 1);
    double squares = 0;
    for (int i = 0; i < n; ++i)
        if (i != far) squares += (v[i] - mean) * (v[i] - mean);
    return squares / (n - 2);
}

// The mean without the smallest and the largest value (of five or more), so
// that one outlier among them does not move it; the values come one at a
// time.
struct TrimmedMean {
    double sum = 0, low = HUGE_VAL, high = -HUGE_VAL;
    int n = 0;
    void add(double v) {
        sum += v;
        low = std::min(low, v);
        high = std::max(high, v);
        ++n;
    }
    double value() const { return n >= 5 ? (sum - low - high) / (n - 2) : sum / n; }
};

double trimmed_mean(const double* v, int n) {
    TrimmedMean mean;
    for (int i = 0; i < n; ++i) mean.add(v[i]);
    return mean.value();
}

}  // namespace

void ArcCheck::begin(const Carriers* carriers, double interval, double gap_limit) {
    *this = ArcCheck{};
    gf0_ = none;
    window_variance_ = mw_prior_sigma * mw_prior_sigma;
    carriers_ = carriers;
    interval_ = interval;
    gap_limit_ = gap_limit;
}

void ArcCheck::add(const EpochValues& epoch, ArcListener& out) {
    if (active_ && !(epoch.t > last_t_)) return;  // a repeated or earlier epoch
    if (active_ && (epoch.t - last_t_) - interval_ > gap_limit_) end_arc(out);
    if (active_ && epoch.reacquired) {
        end_arc(out);
        if (epoch.lli) out.slip({epoch.t, SlipTest::lli, none, none});
    }
    if (pending_first_ + pending_count_ == 2 * after_size) {
        EpochValues* first = pending_ + pending_first_;
        std::copy(first, first + pending_count_, pending_);
        pending_first_ = 0;
    }
    EpochValues& e = pending(pending_count_++);
    e = epoch;
    // A flag on the arc's first epoch, or with the arc ended above, is no slip.
    if (!active_ || epoch.reacquired) e.lli = false;
    pending_flags_ += e.lli;
    active_ = true;
    last_t_ = epoch.t;
    if (pending_count_ == after_size) decide(out);
}

double ArcCheck::earliest_pending() const { return pending_count_ > 0 ? pending(0).t : HUGE_VAL; }

void ArcCheck::finish(ArcListener& out) {
    if (active_) end_arc(out);
}

void ArcCheck::end_arc(ArcListener& out) {
    while (pending_count_ > 0) decide(out);
    close_multipath(out);
    close_stretch(out);
    clear_before();
    window_variance_ = mw_prior_sigma * mw_prior_sigma;
    window_updates_ = 0;
    active_ = false;
}

void ArcCheck::clear_before() {
    held_steps_ = 0;
    arc_accepted_ = 0;
    before_count_ = before_next_ = 0;
    mw_n_ = 0;
    mw_mean_ = mw_m2_ = 0;
    gf0_ = none;
}

void ArcCheck::close_multipath(ArcListener& out) {
    for (int which = 0; which < 2; ++which) {
        ShiftedSums& s = mp_[which];
        if (s.n >= min_multipath_epochs)
            out.arc_multipath(which, s.n, s.squares - s.sum * s.sum / static_cast<double>(s.n));
        if (mp_observer_ && s.n > 0) mp_observer_->arc_end(which, s.n >= min_multipath_epochs);
        s = ShiftedSums{};
    }
}

void ArcCheck::drop_first() {
    pending_flags_ -= pending(0).lli;
    ++pending_first_;
    if (--pending_count_ == 0) pending_first_ = 0;
}

void ArcCheck::accept(const EpochValues& e) {
    if (before_count_ == 0) t0_ = e.t;
    if (!std::isfinite(gf0_)) gf0_ = e.gf;
    before_[before_next_] = {e.t - t0_, e.gf - gf0_, e.mw};
    last_mp1_ = e.mp1;
    last_mp2_ = e.mp2;
    ++arc_accepted_;
    if (++before_next_ == before_size) before_next_ = 0;
    if (before_count_ < before_size) ++before_count_;
    if (std::isfinite(e.mw)) {
        ++mw_n_;
        const double d = e.mw - mw_mean_;
        mw_mean_ += d / static_cast<double>(mw_n_);
        mw_m2_ += d * (e.mw - mw_mean_);
    }
    const double mp[2] = {e.mp1, e.mp2};
    for (int which = 0; which < 2; ++which)
        if (std::isfinite(mp[which])) mp_[which].add(mp[which]);
    if (mp_observer_ && (std::isfinite(mp[0]) || std::isfinite(mp[1]))) mp_observer_->values(e.t, mp);
}

// The slip ends the arc before `e`; `e` is the first epoch of the next one.
void ArcCheck::restart_at(const EpochValues& e, ArcListener& out) {
    close_multipath(out);
    clear_before();
    accept(e);
}

// The step statistic of every epoch goes into the running deviation only
// once the after windows of later epochs have passed it without a slip (a
// slip drops those still held): before a slip the statistic ramps up towards
// the slip's size, which must not count as noise.
void ArcCheck::note_window_step(double step) {
    if (held_steps_ == after_size) {  // the oldest has waited long enough
        const double old = held_step_[held_first_];
        if (++held_first_ == after_size) held_first_ = 0;
        --held_steps_;
        window_updates_ = std::min(window_updates_ + 1, window_memory);
        window_variance_ += (old * old - window_variance_) / (window_updates_ + mw_prior_weight);
    }
    const int next = held_first_ + held_steps_;
    held_step_[next < after_size ? next : next - after_size] = step;
    ++held_steps_;
}

// The code in MW changed between P1 and C1, whose difference would show as
// a step: MW starts again from this epoch.
void ArcCheck::forget_mw() {
    for (Point& p : before_) p.mw = none;
    mw_n_ = 0;
    mw_mean_ = mw_m2_ = 0;
    held_steps_ = 0;
}

double ArcCheck::window_sigma() const {
    return std::max(std::sqrt(window_variance_), mw_arc_share * mw_sigma());
}

double ArcCheck::mw_sigma() const {
    const double n = static_cast<double>(mw_n_);
    const double m2 = (mw_n_ > 1 ? mw_m2_ : 0) + mw_prior_weight * mw_prior_sigma * mw_prior_sigma;
    return std::sqrt(m2 / (std::max(n - 1, 0.0) + mw_prior_weight));
}

// Least-squares line through the GF values of the last few accepted epochs
// (a short span, so that a curving ionosphere does not bend it). With a
// single value the slope comes from the epochs that follow the one being
// decided (zero when they do not give one).
ArcCheck::Line ArcCheck::before_line() const {
    double t[gf_line_epochs], gf[gf_line_epochs];
    int n = 0;
    for (int j = 0; j < before_count_ && n < gf_line_epochs; ++j) {
        const Point& p = recent(j);
        if (!std::isfinite(p.gf)) continue;
        t[n] = p.t;
        gf[n++] = p.gf;
    }
    Line line{none, 0, 0};
    if (n == 0) return line;
    double st = 0, sg = 0;
    for (int i = 0; i < n; ++i) {
        st += t[i];
        sg += gf[i];
    }
    line.tm = st / n;
    line.a = sg / n;
    double sxx = 0, sxy = 0;
    if (n >= 2) {
        for (int i = 0; i < n; ++i) {
            sxx += (t[i] - line.tm) * (t[i] - line.tm);
            sxy += (t[i] - line.tm) * (gf[i] - line.a);
        }
    } else {
        double ft = 0, fg = 0;
        int m = 0;
        for (int i = 1; i < visible_; ++i) {
            if (!std::isfinite(pending(i).gf)) continue;
            ft += pending(i).t - t0_;
            fg += pending(i).gf - gf0_;
            ++m;
        }
        if (m >= 2) {
            ft /= m;
            fg /= m;
            for (int i = 1; i < visible_; ++i) {
                if (!std::isfinite(pending(i).gf)) continue;
                const double dt = pending(i).t - t0_ - ft;
                sxx += dt * dt;
                sxy += dt * (pending(i).gf - gf0_ - fg);
            }
        }
    }
    if (sxx > 0) line.b = sxy / sxx;
    return line;
}

// The first epoch of an arc against the few that follow it: GF extrapolated
// back from the next two, MW against the median of the next ones.
bool ArcCheck::first_is_outlier() const {
    if (visible_ < 3) return false;
    const EpochValues& e = pending(0);
    const EpochValues& a = pending(1);
    const EpochValues& b = pending(2);
    if (std::isfinite(e.gf) && std::isfinite(a.gf) && std::isfinite(b.gf) && b.t > a.t) {
        const double back = a.gf + (a.gf - b.gf) / (b.t - a.t) * (a.t - e.t);
        if (std::fabs(e.gf - back) > gf_threshold_base + gf_threshold_per_second * (a.t - e.t))
            return true;
    }
    if (std::isfinite(e.mw)) {
        double v[outlier_look];
        int n = 0;
        for (int i = 1; i < visible_ && i <= outlier_look; ++i)
            if (std::isfinite(pending(i).mw)) v[n++] = pending(i).mw;
        if (n >= 2 &&
            std::fabs(e.mw - median(v, n)) > std::max(mw_sigmas * mw_prior_sigma, mw_floor))
            return true;
    }
    return false;
}

// The size of a GF step at the epoch being decided, from a quadratic trend
// with a step through the accepted epochs before it and the epochs from it
// on, within step_fit_seconds; whether that model fits them all (a GF jump
// one epoch later leaves this one far off). Without enough epochs: the
// epoch's own departure, and whether the following epochs stay near it.
ArcCheck::GfStep ArcCheck::gf_step_at(const Line& line, double departure, bool stays) const {
    const double te = pending(0).t - t0_;
    double ts[step_fit_before + step_fit_after], gs[step_fit_before + step_fit_after];
    int n = 0;
    for (int j = std::min(before_count_, step_fit_before) - 1; j >= 0; --j) {
        const Point& p = recent(j);
        if (!std::isfinite(p.gf) || te - p.t > step_fit_seconds) continue;
        ts[n] = p.t;
        gs[n++] = p.gf;
    }
    for (int i = 0; i < visible_ && i < step_fit_after; ++i) {
        const double t = pending(i).t - t0_;
        if (!std::isfinite(pending(i).gf) || t - te > step_fit_seconds) continue;
        const double g = pending(i).gf - gf0_;
        // Up to the next jump.
        if (i > 0 && std::fabs(g - gs[n - 1] - line.b * (t - ts[n - 1])) >
                         gf_threshold_base + gf_threshold_per_second * (t - ts[n - 1]))
            break;
        ts[n] = t;
        gs[n++] = g;
    }
    const StepFit fit = fit_step(ts, gs, n, te);
    if (!fit.solved) return {departure, stays};
    int after = 0;
    while (after < n && ts[n - 1 - after] >= te) ++after;
    return {fit.jump,
            fit.worst_residual <= std::max(3 * gf_jump_sigma, 0.25 * std::fabs(fit.jump)), true,
            after};
}

// The pending epochs up to the next flagged one: whether that flag ends the
// arc is decided only when it is first.
int ArcCheck::horizon() const {
    if (pending_flags_ == (pending(0).lli ? 1 : 0)) return pending_count_;
    int n = 1;
    while (n < pending_count_ && !pending(n).lli) ++n;
    return n;
}

// Whether the flagged epoch being decided kept its phase count: GF measured
// across it by the step fit (the arc's accepted epochs before it and the
// epochs from it on, through later flags) and MW from the mean of the
// accepted epochs to the mean of the same epochs after it, neither moving.
// False where either cannot be measured.
bool ArcCheck::flag_holds() {
    const EpochValues& e = pending(0);
    if (!carriers_ || !std::isfinite(e.gf) || !std::isfinite(e.mw)) return false;
    int nb_gf = 0, nb_mw = 0;
    double before_sum = 0;
    for (int j = 0; j < before_count_; ++j) {
        nb_gf += std::isfinite(recent(j).gf);
        if (std::isfinite(recent(j).mw)) {
            before_sum += recent(j).mw;
            ++nb_mw;
        }
    }
    if (nb_gf < 2 || nb_mw < 2) return false;
    visible_ = pending_count_;
    const Line line = before_line();
    const GfStep gf = gf_step_at(line, e.gf - gf0_ - line.at(e.t - t0_), false);
    if (!gf.solved || !gf.fits || std::fabs(gf.jump) > flag_gf_tolerance) return false;
    double after[mw_window];
    const int na = pending_mw(0, std::min(gf.after, mw_window), after);
    if (na < 2) return false;
    const double step = trimmed_mean(after, na) - before_sum / nb_mw;
    return std::fabs(step) <= std::max(mw_window_floor, mw_supported_sigmas * window_sigma());
}

// Which of MP1, MP2 and GF (bits 0, 1, 2) moved by more than noise explains
// from the arc's last accepted epoch to `e`.
int ArcCheck::broken(const EpochValues& e) const {
    const Point& last = recent(0);
    const double dt = e.t - t0_ - last.t;
    return (std::fabs(e.mp1 - last_mp1_) > mp_break ? 1 : 0) |
           (std::fabs(e.mp2 - last_mp2_) > mp_break ? 2 : 0) |
           (std::fabs(e.gf - gf0_ - last.gf) >
                    gf_certain * (gf_threshold_base + gf_threshold_per_second * dt)
                ? 4
                : 0);
}

// Whether the epoch after a break at `e` (in the combinations `which`)
// stays nearer `e` than the epoch before it in any of them.
bool ArcCheck::break_stays(const EpochValues& e, const EpochValues& next, int which) const {
    const Point& last = recent(0);
    auto nearer = [](double v, double at, double before) {
        return std::fabs(v - at) < std::fabs(v - before);
    };
    return ((which & 1) && nearer(next.mp1, e.mp1, last_mp1_)) ||
           ((which & 2) && nearer(next.mp2, e.mp2, last_mp2_)) ||
           ((which & 4) && nearer(next.gf - gf0_, e.gf - gf0_, last.gf));
}

// A break at `t`: it joins the stretch of the breaks before it when the arc
// since the last one was too short for the multipath.
void ArcCheck::note_break(double t, ArcListener& out) {
    if (stretch_breaks_ > 0 && arc_accepted_ < min_multipath_epochs) {
        stretch_last_ = t;
        ++stretch_breaks_;
        return;
    }
    close_stretch(out);
    stretch_first_ = stretch_last_ = t;
    stretch_breaks_ = 1;
}

void ArcCheck::close_stretch(ArcListener& out) {
    if (stretch_breaks_ >= 2) out.unusable(stretch_first_, stretch_last_, stretch_breaks_);
    stretch_breaks_ = 0;
}

void ArcCheck::decide(ArcListener& out) {
    const EpochValues& e = pending(0);
    if (e.code_changed) forget_mw();
    if (e.lli && !flag_holds()) {  // a slip: the arc ends before this epoch
        out.slip({e.t, SlipTest::lli, none, none});
        close_multipath(out);
        clear_before();
        window_variance_ = mw_prior_sigma * mw_prior_sigma;
        window_updates_ = 0;
    }
    visible_ = horizon();
    if (before_count_ == 0) {
        if (first_is_outlier()) {
            ++outliers_;
        } else {
            accept(e);
        }
        drop_first();
        return;
    }
    const int na = visible_;

    // Geometry-free: the epoch against the line through the last epochs.
    const Point& last = recent(0);
    const Line line = before_line();
    const bool have_gf = carriers_ && std::isfinite(e.gf) && std::isfinite(line.a);
    const double gf_threshold = gf_threshold_base + gf_threshold_per_second * (e.t - t0_ - last.t);
    const double gf_departure = have_gf ? e.gf - gf0_ - line.at(e.t - t0_) : none;
    const bool gf_candidate = have_gf && std::fabs(gf_departure) > gf_threshold;

    // Melbourne-Wuebbena against the mean of the before window: the epoch
    // alone (outliers), and the trimmed mean of the next mw_window epochs
    // (steps).
    double before_sum = 0;
    int nb_mw = 0;
    for (int i = 0; i < before_count_; ++i)
        if (std::isfinite(before_[i].mw)) {
            before_sum += before_[i].mw;
            ++nb_mw;
        }
    const bool have_mw = carriers_ && std::isfinite(e.mw) && nb_mw > 0;
    const double before_mw = nb_mw > 0 ? before_sum / nb_mw : none;
    const double mw_departure = have_mw ? e.mw - before_mw : none;
    // The floor first: the running deviation is needed only beyond it.
    const bool mw_candidate = have_mw && std::fabs(mw_departure) > mw_floor &&
                              std::fabs(mw_departure) > mw_sigmas * mw_sigma();
    const MwWindow window = have_mw ? mw_window_test(before_mw, nb_mw, before_sum) : MwWindow{};
    const bool window_candidate = window.candidate;

    // A break (MP1, MP2 or GF moving by more than noise explains) that the
    // next epoch does not undo is a slip whatever the other tests make of
    // it; one that it undoes, or that nothing follows, is an outlier. Where
    // MW is measured, a break moves it beyond its single-epoch test (5 m of
    // MP1 or MP2 are 2.5 cycles and more): only candidates are looked at.
    const bool look = gf_candidate || mw_candidate || window_candidate || !have_mw;
    const int breaks = look ? broken(e) : 0;
    const bool break_holds = breaks && na > 1 && break_stays(e, pending(1), breaks);
    if (breaks && !break_holds) {
        ++outliers_;
        drop_first();
        return;
    }
    const bool gf_moved = have_gf && std::fabs(gf_departure) > gf_certain * gf_threshold;
    // Neither an outlier nor a slip by the GF and MW tests.
    auto no_step = [&] {
        if (break_holds) {
            const GfStep gf = have_gf ? gf_step_at(line, gf_departure, true) : GfStep{none, false};
            out.slip({e.t, gf_moved ? SlipTest::gf : SlipTest::mw, gf.jump,
                      have_mw ? mw_departure : none});
            note_break(e.t, out);
            restart_at(e, out);
        } else {
            accept(e);
        }
        drop_first();
    };
    if (!gf_candidate && !mw_candidate && !window_candidate) return no_step();
    if (na == 1) {  // nothing follows: an outlier cannot be told from a slip
        if (gf_candidate || mw_candidate) {
            ++outliers_;
            drop_first();
            return;
        }
        return no_step();
    }

    // The epochs that follow: back where the earlier ones were (an outlier),
    // or where this one is (a step). GF looks at the next epoch only, so that
    // a second slip soon after the first does not hide it; MW at the median
    // of the next few.
    double gf_next = none, mw_rest[outlier_look];
    int n_mw = 0;
    for (int i = 1; i < na; ++i)
        if (have_gf && std::isfinite(pending(i).gf)) {
            gf_next = pending(i).gf - gf0_ - line.at(pending(i).t - t0_);
            break;
        }
    for (int i = 1; i < na && i <= outlier_look; ++i)
        if (have_mw && std::isfinite(pending(i).mw)) mw_rest[n_mw++] = pending(i).mw - before_mw;
    const double mw_after = n_mw > 0 ? median(mw_rest, n_mw) : none;
    const bool gf_stays =
        std::isfinite(gf_next) && std::fabs(gf_next - gf_departure) <= std::fabs(gf_next);
    bool outlier = !window_candidate && (gf_candidate || mw_candidate);
    if (gf_candidate && gf_stays) outlier = false;
    if (mw_candidate && n_mw > 0 && std::fabs(mw_after - mw_departure) <= std::fabs(mw_after))
        outlier = false;
    if (outlier && !break_holds) {
        ++outliers_;
        drop_first();
        return;
    }

    // A step. Where both combinations are measured it must be a whole number
    // of cycles on each carrier; a step that GF does not see must hold in
    // MW over the second after window too (multipath at low elevation moves
    // MW for a few minutes, then back).
    // Without an MW step measured (too few epochs of MW on either side),
    // GF decides alone, once its line rests on gf_line_epochs epochs: a
    // rising satellite's GF bends too fast for fewer.
    const GfStep gf = have_gf ? gf_step_at(line, gf_departure, gf_stays) : GfStep{none, false};
    const bool mw_measured = have_mw && std::isfinite(window.step);
    bool slip = false;
    if (outlier) {
        slip = false;  // the break decides
    } else if (gf_candidate && gf_stays && gf_moved) {
        slip = true;  // far beyond anything noise or the ionosphere does
    } else if (have_gf && mw_measured && (gf_candidate || window_candidate)) {
        const double sigma = std::isnan(window.sigma) ? window_sigma() : window.sigma;
        const SlipFit fit =
            fit_slip(*carriers_, gf.jump, window.step, gf_jump_sigma, std::max(sigma, 0.1));
        const bool gf_supports = std::fabs(gf.jump) > gf_support;
        slip = fit.fits && (fit.n1 != 0 || fit.n2 != 0) && gf.fits &&
               (gf_candidate || (window.holds && (window.strong || gf_supports)));
    } else if (have_gf && !mw_measured && before_count_ >= gf_line_epochs) {
        slip = gf_candidate && gf_stays && gf.fits;
    }
    if (!slip) return no_step();
    out.slip({e.t, gf_candidate ? SlipTest::gf : SlipTest::mw, gf.jump, window.step});
    if (break_holds) note_break(e.t, out);
    restart_at(e, out);
    drop_first();
}

int ArcCheck::pending_mw(int from, int to, double* values) const {
    int n = 0;
    for (int i = from; i < to; ++i)
        if (std::isfinite(pending(i).mw)) values[n++] = pending(i).mw;
    return n;
}

// The MW step test of the epoch being decided: the trimmed mean of the first
// after window against the before mean, beyond a multiple of the deviation
// of that difference (the largest of its running value, a share of the
// running deviation of MW over the arc, and what the scatter within the two
// windows gives: each catches multipath that the others miss) and at least
// the floor; the epoch nearer the after level than the before level; and the
// step not larger one epoch later. `holds` when the second after window is
// beyond the threshold on the same side too.
ArcCheck::MwWindow ArcCheck::mw_window_test(double before_mw, int nb_mw, double before_sum) {
    MwWindow w;
    TrimmedMean after;  // of the first after window
    const int first_end = std::min(visible_, mw_window);
    for (int i = 0; i < first_end; ++i)
        if (std::isfinite(pending(i).mw)) after.add(pending(i).mw);
    if (after.n < window_min || nb_mw < window_min) return w;
    const double after_mw = after.value();
    w.step = after_mw - before_mw;
    note_window_step(w.step);
    // A step within the floor is no candidate whatever the deviation, which
    // is then left for the slip test to work out if it needs it.
    w.sigma = none;
    if (std::fabs(w.step) <= mw_window_floor) return w;
    w.sigma = window_sigma();
    if (std::fabs(w.step) <= mw_supported_sigmas * w.sigma) return w;

    double first[mw_window];
    const int n1 = pending_mw(0, first_end, first);
    double before_values[before_size];
    int nb = 0;
    for (int i = 0; i < before_count_; ++i)
        if (std::isfinite(before_[i].mw)) before_values[nb++] = before_[i].mw;
    const double local = std::sqrt(spread(before_values, nb) / nb + spread(first, n1) / (n1 - 2));
    w.sigma = std::max(w.sigma, local);
    const double threshold = std::max(mw_supported_sigmas * w.sigma, mw_window_floor);
    const double e_mw = pending(0).mw;
    w.strong = std::fabs(w.step) > std::max(mw_sigmas * w.sigma, mw_window_floor);
    w.candidate =
        std::fabs(w.step) > threshold && std::fabs(e_mw - after_mw) < std::fabs(e_mw - before_mw);
    if (!w.candidate) return w;
    double second[mw_window];
    const int n2 = pending_mw(mw_window, visible_, second);
    if (n2 > 0) {
        // The next split: the epoch joins the before window.
        double next[mw_window];
        std::copy(first + 1, first + n1, next);
        next[n1 - 1] = second[0];
        const double next_step = trimmed_mean(next, n1) - (before_sum + e_mw) / (nb_mw + 1);
        if (std::fabs(next_step) > std::fabs(w.step)) w.candidate = false;
    }
    if (w.candidate && n2 >= window_min) {
        const double later = trimmed_mean(second, n2) - before_mw;
        w.holds = std::fabs(later) > threshold && (later > 0) == (w.step > 0);
    }
    return w;
}
