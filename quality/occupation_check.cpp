#include "quality/occupation_check.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "obsdb/observation_walk.h"
#include "quality/occupation_carriers.h"

namespace {

constexpr double millisecond_m = speed_of_light * 1e-3;
// A code or phase within a tenth of a millisecond of a whole number of
// milliseconds off its prediction has taken part in a clock jump.
constexpr double clock_tolerance_m = 0.1 * millisecond_m;
// Predictions for the clock-jump test reach this far (s).
constexpr double clock_prediction_limit = 300;
constexpr double nan_value = __builtin_nan("");

// The carriers of the systems with fixed slot frequencies, made once.
const Carriers* carriers_for(char system) {
    static const struct Table {
        char letter[8];
        Carriers carriers[8];
        int count = 0;
        Table() {
            for (char s : {'G', 'E', 'J', 'S', 'I'}) {
                SlotFrequencies f;
                if (!slot_frequencies(s, &f)) continue;
                letter[count] = s;
                carriers[count++] = carriers_of(f);
            }
        }
    } table;
    for (int i = 0; i < table.count; ++i)
        if (table.letter[i] == system) return &table.carriers[i];
    return nullptr;
}

// A stored value no receiver measures (an overflowing field is stored as
// infinity) counts as absent, so that it does not spread through the tests.
double measured(double value) { return std::isfinite(value) ? value : 0; }

bool lock_lost(char lli) { return lli >= '0' && lli <= '9' && ((lli - '0') & 1) != 0; }

struct Satellite {
    long satocc;
    char prn[4];
    int system;  // index into the result's systems
    const Carriers* carriers;
    SatelliteObserver* observer;  // null: none
    ArcCheck arc;
    // The last two clock-corrected codes and phases (m) with their times,
    // latest first, for the clock-jump test.
    double t[2];
    double code[2];
    double phase[2];
    int history;
    bool had_l1, had_l2;  // the phases of its previous epoch
    int code_kind;        // the code of its last MW: 1 P1, 2 C1, 0 none yet
    int read_after;       // the satellite read after it last time; -1 none yet
};

struct EpochObservation {
    int sat;
    double code1, l1, p2, l2;  // code1: P1 where stored, else C1; 0 = absent
    int code_kind;             // 1 P1, 2 C1, 0 none
    bool lli1, lli2;           // bit 0 of the loss-of-lock indicators
};

// How far a satellite's code or phase (m) is off the line through its last
// two epochs; NaN without a prediction (fewer than two epochs since the last
// clock jump, or too old).
double prediction_off(const Satellite& s, const double* history, double value, double t) {
    if (value == 0 || s.history < 2 || t - s.t[0] > clock_prediction_limit || !(s.t[0] > s.t[1]))
        return nan_value;
    if (history[0] == 0 || history[1] == 0) return nan_value;
    const double predicted =
        history[0] + (history[0] - history[1]) / (s.t[0] - s.t[1]) * (t - s.t[0]);
    const double off = value - predicted;
    return std::isfinite(off) ? off : nan_value;
}

constexpr long not_whole = -1000000000L;

// The whole number of milliseconds in `off` (0 for less than half of one),
// or not_whole when it is off by something else.
long whole_milliseconds(double off) {
    if (std::fabs(off) <= clock_tolerance_m) return 0;  // the usual epoch, without a division
    if (!(std::fabs(off) < 1e6 * millisecond_m)) return not_whole;
    const double k = std::round(off / millisecond_m);
    if (std::fabs(off - k * millisecond_m) > clock_tolerance_m) return not_whole;
    return static_cast<long>(k);
}

// The most frequent non-zero whole number of milliseconds among `ks`, and
// how many have it.
long common_jump(const std::vector<long>& ks, int* votes) {
    long best = 0;
    *votes = 0;
    for (std::size_t i = 0; i < ks.size(); ++i) {
        if (ks[i] == 0 || ks[i] == not_whole || ks[i] == best) continue;
        const int n = static_cast<int>(std::count(ks.begin(), ks.end(), ks[i]));
        if (n > *votes) {
            *votes = n;
            best = ks[i];
        }
    }
    return best;
}

class Check final {
public:
    Check(Campaign& c, long occupation, SlipSink& sink, CheckObserver* observer,
          ObservationTap* tap)
        : c_(c), sink_(sink), observer_(observer), tap_(tap), carriers_(occupation) {
        q_.occupation = occupation;
    }
    OccupationQuality run();

    void on_slip(int sat, const SlipFound& found);
    void on_multipath(int sat, int which, long count, double squares);
    void on_unusable(int sat, double first, double last, long breaks);

private:
    int satellite_of(std::int32_t satocc_ref);
    int add_satellite(std::int32_t satocc_ref);
    int system_of(char system);
    void take_observation(int sat);
    void process_epoch(double t);
    void count_spacing(double t);
    void end_lost_arcs(double t);
    void release_slips(double before);

    Campaign& c_;
    SlipSink& sink_;
    CheckObserver* observer_;
    ObservationTap* tap_;
    OccupationCarriers carriers_;
    OccupationQuality q_;
    double stored_interval_ = 0;
    double gap_limit_ = 60;
    std::vector<Satellite> sats_;
    std::unordered_map<std::int32_t, int> by_ref_;
    int last_found_ = -1;
    std::vector<EpochObservation> epoch_;
    // The clock-jump test's values of the epoch: the whole milliseconds (not
    // none) that codes and phases are off their predictions, and those of the
    // code less the phase of the satellites whose code is off.
    std::vector<long> code_ms_, phase_ms_, difference_ms_;
    void clock_jump(double t);
    double code_offset_ = 0, phase_offset_ = 0;  // m, the clock jumps so far
    double previous_t_ = 0;
    double next_arc_end_ = -HUGE_VAL;  // no open arc ends before this time
    // Slips found but not yet passed on: the arcs decide an epoch a few
    // epochs late, so slips are held until no arc can find an earlier one,
    // and then passed on in time order.
    std::vector<QualitySlip> held_;
    // Spacings between epochs when the occupation has no interval: the
    // most frequent one becomes the interval.
    struct Spacing {
        double seconds;
        long count;
    };
    std::vector<Spacing> spacings_;
};

struct SatelliteListener final : ArcListener {
    Check* check;
    int sat;
    SatelliteListener(Check* c, int s) : check(c), sat(s) {}
    void slip(const SlipFound& found) override { check->on_slip(sat, found); }
    void arc_multipath(int which, long count, double squares) override {
        check->on_multipath(sat, which, count, squares);
    }
    void unusable(double first, double last, long breaks) override {
        check->on_unusable(sat, first, last, breaks);
    }
};

int Check::system_of(char system) {
    for (std::size_t i = 0; i < q_.systems.size(); ++i)
        if (q_.systems[i].system == system) return static_cast<int>(i);
    SystemQuality s;
    s.system = system;
    s.frequencies_known = carriers_for(system) != nullptr;
    q_.systems.push_back(s);
    return static_cast<int>(q_.systems.size()) - 1;
}

// The satellite of a satellite occupation of this occupation, added on first
// sight; -1 for one of another occupation (the end of the block). The
// satellites of an epoch come in the same order epoch after epoch, so the
// one that followed the previous satellite last time is tried first.
int Check::satellite_of(std::int32_t satocc_ref) {
    if (last_found_ >= 0) {
        const int guess = sats_[static_cast<std::size_t>(last_found_)].read_after;
        if (guess >= 0 && sats_[static_cast<std::size_t>(guess)].satocc == satocc_ref)
            return last_found_ = guess;
    }
    const auto found = by_ref_.find(satocc_ref);
    const int index = found != by_ref_.end() ? found->second : add_satellite(satocc_ref);
    if (index < 0) return -1;
    if (last_found_ >= 0) sats_[static_cast<std::size_t>(last_found_)].read_after = index;
    return last_found_ = index;
}

int Check::add_satellite(std::int32_t satocc_ref) {
    if (satocc_ref <= 0 || db_read(&c_.satocc_db, satocc_ref) != satocc_ref ||
        c_.satocc.occ_ref != q_.occupation)
        return -1;
    Satellite s{};
    s.satocc = satocc_ref;
    s.read_after = -1;
    if (c_.read_linked(CampaignTable::sat, c_.satocc.sat_ref)) std::memcpy(s.prn, c_.sat.prn, 3);
    const char system = satellite_system(s.prn);
    s.system = system_of(system);
    s.carriers = carriers_.of(s.prn);  // GLONASS and BeiDou: per satellite and occupation
    if (s.carriers) q_.systems[static_cast<std::size_t>(s.system)].frequencies_known = true;
    s.arc.begin(s.carriers, stored_interval_, gap_limit_);
    s.observer = observer_ ? observer_->satellite_of(s.prn, s.carriers) : nullptr;
    s.arc.observe_multipath(s.observer);
    ++q_.systems[static_cast<std::size_t>(s.system)].satellites;
    sats_.push_back(s);
    const int index = static_cast<int>(sats_.size()) - 1;
    by_ref_[satocc_ref] = index;
    return index;
}

void Check::take_observation(int sat) {
    const obs_value* o = c_.obs.obs;
    EpochObservation e;
    e.sat = sat;
    const double p1 = measured(o[OBS_P1].value), c1 = measured(o[OBS_C1].value);
    e.code1 = p1 != 0 ? p1 : c1;
    e.code_kind = p1 != 0 ? 1 : c1 != 0 ? 2 : 0;
    e.l1 = measured(o[OBS_L1].value);
    e.p2 = measured(o[OBS_P2].value);
    e.l2 = measured(o[OBS_L2].value);
    e.lli1 = lock_lost(o[OBS_L1].lli);
    e.lli2 = lock_lost(o[OBS_L2].lli);
    epoch_.push_back(e);
    SystemQuality& s =
        q_.systems[static_cast<std::size_t>(sats_[static_cast<std::size_t>(sat)].system)];
    ++s.observations;
    if (e.lli1 || e.lli2) ++s.lli_flags;
    if (e.l1 != 0) {
        ++s.with_l1;
        if (e.l2 != 0) ++s.with_l1_l2;
    }
}

void Check::count_spacing(double t) {
    ++q_.epochs;
    if (q_.epochs == 1) {
        q_.first_epoch = t;
    } else {
        const double spacing = t - previous_t_;
        if (stored_interval_ > 0) {
            if (spacing > 1.5 * stored_interval_) {
                ++q_.gaps;
                q_.longest_gap = std::max(q_.longest_gap, spacing - stored_interval_);
            }
        } else if (spacing > 0) {
            const double rounded = std::round(spacing * 1000) / 1000;
            bool counted = false;
            for (Spacing& s : spacings_)
                if (s.seconds == rounded) {
                    ++s.count;
                    counted = true;
                }
            if (!counted && spacings_.size() < 32) spacings_.push_back({rounded, 1});
        }
    }
    q_.last_epoch = std::max(q_.last_epoch, t);
    previous_t_ = t;
}

void Check::process_epoch(double t) {
    count_spacing(t);
    if (observer_) observer_->epoch(t);

    clock_jump(t);

    for (const EpochObservation& e : epoch_) {
        Satellite& s = sats_[static_cast<std::size_t>(e.sat)];
        const double code1 = e.code1 != 0 ? e.code1 - code_offset_ : 0;
        const double p2 = e.p2 != 0 ? e.p2 - code_offset_ : 0;
        double l1 = e.l1, l2 = e.l2;
        EpochValues v;
        v.t = t;
        v.lli = (e.lli1 && s.had_l1) || (e.lli2 && s.had_l2);
        v.reacquired = (e.lli1 && !s.had_l1) || (e.lli2 && !s.had_l2);
        s.had_l1 = e.l1 != 0;
        s.had_l2 = e.l2 != 0;
        v.gf = v.mw = v.mp1 = v.mp2 = nan_value;
        const Carriers* k = s.carriers;
        if (k && phase_offset_ != 0) {  // the phase has jumped with the clock
            if (l1 != 0) l1 -= phase_offset_ / k->lambda1;
            if (l2 != 0) l2 -= phase_offset_ / k->lambda2;
        }
        if (k && l1 != 0 && l2 != 0) {
            SystemQuality& q = q_.systems[static_cast<std::size_t>(s.system)];
            v.gf = geometry_free(*k, l1, l2);
            q.gf_checked = true;
            if (code1 != 0 && p2 != 0) {
                v.mw = melbourne_wuebbena(*k, l1, l2, code1, p2);
                v.code_changed = s.code_kind != 0 && s.code_kind != e.code_kind;
                s.code_kind = e.code_kind;
                q.mw_checked = true;
            }
            if (code1 != 0) v.mp1 = multipath1(*k, code1, l1, l2);
            if (p2 != 0) v.mp2 = multipath2(*k, p2, l1, l2);
        }
        // The clock-jump test's history.
        if (s.history > 0 && t - s.t[0] > clock_prediction_limit) s.history = 0;
        if (t > s.t[0] || s.history == 0) {
            s.t[1] = s.t[0];
            s.code[1] = s.code[0];
            s.phase[1] = s.phase[0];
            s.t[0] = t;
            s.code[0] = code1;
            s.phase[0] = k && l1 != 0 ? k->lambda1 * l1 : 0;
            if (s.history < 2) ++s.history;
        }
        SatelliteListener listener(this, e.sat);
        s.arc.add(v, listener);
    }
    epoch_.clear();
    end_lost_arcs(t);
    release_slips(t);
}

// A receiver clock jump moves the code, or the code and the phase, of every
// satellite by the same whole number of milliseconds. The jump is decided
// once: more than half the satellites with a predicted code off by the same
// milliseconds; whether the phase jumped with it from the code less the
// phase, which keeps its value when both jumped and moves by the jump when
// only the code did. Without a code jump, the phases alone may show one.
// Nothing is predicted across a jump, nor across an epoch where a quarter of
// the satellites show one: a line through two epochs on both sides of it
// would find it again at every following epoch.
void Check::clock_jump(double t) {
    code_ms_.clear();
    phase_ms_.clear();
    difference_ms_.clear();
    int codes = 0, phases = 0;  // predicted
    for (const EpochObservation& e : epoch_) {
        const Satellite& s = sats_[static_cast<std::size_t>(e.sat)];
        const double code =
            prediction_off(s, s.code, e.code1 != 0 ? e.code1 - code_offset_ : 0, t);
        const double phase =
            s.carriers && e.l1 != 0
                ? prediction_off(s, s.phase, s.carriers->lambda1 * e.l1 - phase_offset_, t)
                : nan_value;
        if (!std::isnan(code)) {
            ++codes;
            const long k = whole_milliseconds(code);
            if (k != 0) {
                code_ms_.push_back(k);
                if (!std::isnan(phase)) difference_ms_.push_back(whole_milliseconds(code - phase));
            }
        }
        if (!std::isnan(phase)) {
            ++phases;
            const long k = whole_milliseconds(phase);
            if (k != 0) phase_ms_.push_back(k);
        }
    }
    int votes = 0;
    long code_jump = common_jump(code_ms_, &votes), phase_jump = 0;
    bool unsure = votes > 0 && votes * 4 >= codes;
    if (votes * 2 <= codes) code_jump = 0;
    if (code_jump != 0) {
        const long moved = std::count(difference_ms_.begin(), difference_ms_.end(), 0L);
        const long stayed = std::count(difference_ms_.begin(), difference_ms_.end(), code_jump);
        phase_jump = moved > stayed ? code_jump : 0;
    } else {
        phase_jump = common_jump(phase_ms_, &votes);
        unsure = unsure || (votes > 0 && votes * 4 >= phases);
        if (votes * 2 <= phases) phase_jump = 0;
    }
    if (code_jump != 0 || phase_jump != 0) {
        code_offset_ += static_cast<double>(code_jump) * millisecond_m;
        phase_offset_ += static_cast<double>(phase_jump) * millisecond_m;
        ++q_.clock_jumps;
        held_.push_back({{t, SlipTest::clock, nan_value, nan_value}, 0, ""});
    }
    if (unsure || code_jump != 0 || phase_jump != 0)
        for (Satellite& s : sats_) s.history = 0;
}

void Check::on_slip(int sat, const SlipFound& found) {
    const Satellite& s = sats_[static_cast<std::size_t>(sat)];
    ++q_.systems[static_cast<std::size_t>(s.system)].slips[static_cast<int>(found.test)];
    QualitySlip slip{found, s.satocc, {}};
    std::memcpy(slip.prn, s.prn, sizeof slip.prn);
    held_.push_back(slip);
}

// Ends the arcs of satellites missing for longer than the gap limit, so that
// their last epochs are decided now and not when they rise again. The arcs
// are looked at only from the earliest time one of them can end (arcs opened
// later end later still), less a millisecond for rounding.
void Check::end_lost_arcs(double t) {
    if (t < next_arc_end_ - 1e-3) return;
    next_arc_end_ = HUGE_VAL;
    for (std::size_t i = 0; i < sats_.size(); ++i) {
        ArcCheck& arc = sats_[i].arc;
        if (arc.open() && (t - arc.last_epoch()) - stored_interval_ > gap_limit_) {
            SatelliteListener listener(this, static_cast<int>(i));
            arc.finish(listener);
        }
        if (arc.open())
            next_arc_end_ = std::min(next_arc_end_, arc.last_epoch() + stored_interval_ + gap_limit_);
    }
}

void Check::release_slips(double before) {
    if (held_.empty()) return;
    for (const Satellite& s : sats_) before = std::min(before, s.arc.earliest_pending());
    std::sort(held_.begin(), held_.end(), [](const QualitySlip& a, const QualitySlip& b) {
        return a.t != b.t ? a.t < b.t : std::strcmp(a.prn, b.prn) < 0;
    });
    std::size_t n = 0;
    while (n < held_.size() && held_[n].t < before) sink_.found(held_[n++]);
    held_.erase(held_.begin(), held_.begin() + static_cast<long>(n));
}

void Check::on_unusable(int sat, double first, double last, long breaks) {
    UnusableStretch u{{}, first, last, breaks};
    std::memcpy(u.prn, sats_[static_cast<std::size_t>(sat)].prn, sizeof u.prn);
    q_.unusable.push_back(u);
}

void Check::on_multipath(int sat, int which, long count, double squares) {
    SystemQuality& q =
        q_.systems[static_cast<std::size_t>(sats_[static_cast<std::size_t>(sat)].system)];
    q.mp_count[which] += count;
    q.mp_squares[which] += squares;
}

OccupationQuality Check::run() {
    c_.read_linked(CampaignTable::occ, q_.occupation);
    stored_interval_ = c_.occ.interval > 0 ? c_.occ.interval : 0;
    gap_limit_ = std::max(3 * stored_interval_, 60.0);
    q_.interval = stored_interval_;
    const double stored_first = c_.occ.first_epoch, stored_last = c_.occ.last_epoch;

    ObservationWalk walk(c_);
    if (walk.start(q_.occupation)) {
        double t = c_.obs.epoch;
        do {
            const int sat = satellite_of(c_.obs.satocc_ref);
            if (sat < 0) break;
            if (c_.obs.epoch != t) {
                process_epoch(t);
                t = c_.obs.epoch;
            }
            take_observation(sat);
            if (tap_) tap_->observed(c_.obs);
            if (SatelliteObserver* o = sats_[static_cast<std::size_t>(sat)].observer) o->observation(c_.obs);
        } while (walk.next());
        if (!epoch_.empty()) process_epoch(t);
        for (std::size_t i = 0; i < sats_.size(); ++i) {
            SatelliteListener listener(this, static_cast<int>(i));
            sats_[i].arc.finish(listener);
        }
        release_slips(HUGE_VAL);
    }
    if (q_.epochs == 0 && stored_first > 0) {  // nothing stored (read with -0): its own span
        q_.first_epoch = stored_first;
        q_.last_epoch = stored_last;
    }
    if (stored_interval_ == 0 && !spacings_.empty()) {
        const Spacing* mode = &spacings_[0];
        for (const Spacing& s : spacings_)
            if (s.count > mode->count) mode = &s;
        q_.interval = mode->seconds;
        for (const Spacing& s : spacings_)
            if (s.seconds > 1.5 * q_.interval) {
                q_.gaps += s.count;
                q_.longest_gap = std::max(q_.longest_gap, s.seconds - q_.interval);
            }
    }
    std::sort(q_.systems.begin(), q_.systems.end(),
              [](const SystemQuality& a, const SystemQuality& b) {
                  return system_rank(a.system) < system_rank(b.system);
              });
    return q_;
}

struct PhaseSlips final : SlipSink {
    std::vector<QualitySlip> slips;
    void found(const QualitySlip& slip) override {
        if (slip.test == SlipTest::gf || slip.test == SlipTest::mw) slips.push_back(slip);
    }
};

}  // namespace

OccupationQuality check_occupation(Campaign& c, long occupation, SlipSink& slips,
                                   CheckObserver* observer, ObservationTap* tap) {
    Check check(c, occupation, slips, observer, tap);
    return check.run();
}

PageQuality check_for_page(Campaign& c, long occupation) {
    PhaseSlips list;
    PageQuality page;
    page.quality = check_occupation(c, occupation, list);
    page.slips = std::move(list.slips);
    return page;
}

double observations_per_slip(const SystemQuality& s) {
    const long slips = s.slips[0] + s.slips[1] + s.slips[2];
    return slips > 0 ? static_cast<double>(s.observations) / static_cast<double>(slips) : 0;
}

double multipath_rms(const SystemQuality& s, int which) {
    if (s.mp_count[which] == 0) return nan_value;
    return std::sqrt(std::max(s.mp_squares[which], 0.0) / static_cast<double>(s.mp_count[which]));
}
