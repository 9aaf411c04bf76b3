#include "quality/occupation_position.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "obsdb/observation_walk.h"
#include "orbits/occupation_sky.h"
#include "orbits/time_scales.h"

namespace {

double code_value(const obs_value& v) { return std::isfinite(v.value) ? v.value : 0; }

}  // namespace

PositionFromCodes::PositionFromCodes(const orbits::EphemerisStore& store,
                                     const orbits::KlobucharParameters& klobuchar, const double header[3],
                                     double first, double last, double interval)
    : store_(store) {
    settings_.klobuchar = klobuchar;
    std::copy(header, header + 3, start_);
    have_start_ = header[0] != 0 || header[1] != 0 || header[2] != 0;
    const double span = last > first ? last - first : 0;
    spacing_ = std::max(interval > 0 ? interval : 0.0, span / position_epochs);
    // A file of 1 s over 24 hours: one epoch in 720 s. Every epoch where the
    // interval already spreads them.
    if (interval > 0 && spacing_ <= interval * 1.5) spacing_ = 0;
}

void PositionFromCodes::observation(const char* prn, const obs_record& obs, const Carriers* carriers) {
    if (obs.epoch < next_ || carriers == nullptr) return;
    char system = 0;
    int number = 0;
    if (!orbits::parse_satellite(prn, &system, &number)) return;
    orbits::CodeObservation o{};
    o.system = system;
    o.prn = number;
    const double p1 = code_value(obs.obs[OBS_P1]);
    o.code[0] = p1 != 0 ? p1 : code_value(obs.obs[OBS_C1]);
    o.code[1] = code_value(obs.obs[OBS_P2]);
    o.frequency[0] = carriers->f1;
    o.frequency[1] = carriers->f2;
    if (o.code[0] == 0 && o.code[1] == 0) return;
    codes_.push_back(o);
}

void PositionFromCodes::epoch(double t) {
    if (t < next_) return;
    if (!codes_.empty()) {
        const orbits::EpochInput input{orbits::gps_seconds_of_time_value(t), codes_.data(), codes_.size()};
        const orbits::EpochSolution s = orbits::solve_epoch(input, store_, settings_, have_start_ ? start_ : nullptr);
        if (s.solved) {
            solutions_.push_back(s);
            if (!have_start_) std::copy(s.position, s.position + 3, start_), have_start_ = true;
        }
        codes_.clear();
    }
    next_ = spacing_ > 0 ? t + spacing_ * 0.999 : t;
}

orbits::OccupationPosition position_from_codes(Campaign& c, long occupation, const orbits::EphemerisStore& store,
                                               const orbits::KlobucharParameters& klobuchar) {
    const double zero[3] = {0, 0, 0};
    PositionFromCodes solver(store, klobuchar, zero, c.occ.first_epoch, c.occ.last_epoch, c.occ.interval);
    OccupationCarriers carriers(occupation);
    struct Satellite {
        char prn[4];
        const Carriers* carriers;
    };
    std::map<std::int32_t, Satellite> satellites;
    ObservationWalk walk(c);
    if (!walk.start(occupation)) return {};
    double t = c.obs.epoch;
    do {
        const obs_record obs = c.obs;
        auto found = satellites.find(obs.satocc_ref);
        if (found == satellites.end()) {
            if (obs.satocc_ref <= 0 || !c.read_linked(CampaignTable::satocc, obs.satocc_ref) ||
                c.satocc.occ_ref != occupation)
                break;
            Satellite s{};
            if (c.read_linked(CampaignTable::sat, c.satocc.sat_ref)) std::copy(c.sat.prn, c.sat.prn + 3, s.prn);
            s.carriers = carriers.of(s.prn);
            found = satellites.emplace(obs.satocc_ref, s).first;
        }
        if (obs.epoch != t) {
            solver.epoch(t);
            t = obs.epoch;
        }
        solver.observation(found->second.prn, obs, found->second.carriers);
    } while (walk.next());
    solver.epoch(t);
    return solver.result();
}
