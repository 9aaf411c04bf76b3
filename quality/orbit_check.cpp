#include "quality/orbit_check.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "orbits/time_scales.h"

namespace {

bool present(const obs_value& v) { return std::isfinite(v.value) && v.value != 0; }
int strength(const obs_value& v) { return v.snr >= '1' && v.snr <= '9' ? v.snr - '0' : 0; }

}  // namespace

// One satellite of the occupation: its observations are placed in the sky,
// and the MP values of its arc kept by band until the arc ends and its mean
// is known: then each band gets its values' squared deviations from it.
struct OrbitCheck::Satellite final : SatelliteObserver {
    OrbitCheck* owner = nullptr;
    char name[4] = {};  // as stored ("G05")
    const Carriers* carriers = nullptr;
    int sat = -1;  // in the sky grid; -1: none
    void observation(const obs_record& obs) override { owner->observed(*this, obs); }
    // The bands of the satellite's latest observations, in time order: the
    // MP values, which follow some epochs behind, find theirs here.
    static constexpr std::size_t kept = 32;  // more than the epochs the arc check decides behind
    struct Seen {
        double t = -1;
        bool found = false;
        int band = 0;
    } seen[kept];
    std::size_t seen_count = 0, seen_read = 0;

    void saw(double t, bool found, int band) { seen[seen_count++ % kept] = {t, found, band}; }
    bool recall(double t, int* band) {
        if (seen_read + kept < seen_count) seen_read = seen_count - kept;
        for (; seen_read < seen_count; ++seen_read) {
            const Seen& e = seen[seen_read % kept];
            if (e.t > t) break;
            if (e.t == t) {
                *band = e.band;
                return e.found;
            }
        }
        return owner->band_at(sat, t, band);
    }
    struct Sums {
        ShiftedSums all;
        long band_n[sky_band_count] = {};
        double band_sum[sky_band_count] = {};
        double band_squares[sky_band_count] = {};
    } arc[2];

    void values(double t, const double mp[2]) override {
        int band = 0;
        const bool found = recall(t, &band);
        for (int which = 0; which < 2; ++which) {
            if (!std::isfinite(mp[which])) continue;
            Sums& s = arc[which];
            const double d = s.all.add(mp[which]);
            if (!found) continue;
            ++s.band_n[band];
            s.band_sum[band] += d;
            s.band_squares[band] += d * d;
        }
    }
    void arc_end(int which, bool kept) override {
        Sums& s = arc[which];
        if (kept && s.all.n > 0) {
            const double mean = s.all.sum / static_cast<double>(s.all.n);
            for (int b = 0; b < sky_band_count; ++b)
                if (s.band_n[b] > 0)
                    owner->figures_.sky.multipath(
                        owner->grid_->system_of(sat), b, which, s.band_n[b],
                        s.band_squares[b] - 2 * mean * s.band_sum[b] + static_cast<double>(s.band_n[b]) * mean * mean);
        }
        s = Sums{};
    }
};

OrbitCheck::OrbitCheck(Campaign& c, long occupation, std::shared_ptr<const orbits::EphemerisStore> store,
                       SlipSink& next)
    : next_(next), store_(std::move(store)) {
    c.read_checked(CampaignTable::occ, occupation);
    orbits::header_position(c, figures_.header);
    figures_.orbits = store_ && !store_->empty();
    interval_ = c.occ.interval > 0 ? c.occ.interval : 0;
    if (!figures_.orbits) return;
    const orbits::KlobucharParameters klobuchar =
        orbits::campaign_klobuchar(orbits::gps_seconds_of_time_value(c.occ.first_epoch));
    const bool header_zero = figures_.header[0] == 0 && figures_.header[1] == 0 && figures_.header[2] == 0;
    if (header_zero) {
        figures_.position = position_from_codes(c, occupation, *store_, klobuchar);
        position_done_ = true;
        c.read_checked(CampaignTable::occ, occupation);
    } else {
        position_ = std::make_unique<PositionFromCodes>(*store_, klobuchar, figures_.header, c.occ.first_epoch,
                                                        c.occ.last_epoch, c.occ.interval);
        figures_.spacing = position_->spacing();
    }
    sky_ = orbits::occupation_sky(c, store_, figures_.position.known ? figures_.position.position : nullptr);
    if (sky_.has_orbits()) grid_ = std::make_unique<orbits::SkyGrid>(*store_, sky_.station());
}

OrbitCheck::~OrbitCheck() = default;

const OrbitCheck::Piece& OrbitCheck::piece_at(int sat, double gps) {
    if (pieces_.size() <= static_cast<std::size_t>(sat)) pieces_.resize(static_cast<std::size_t>(sat) + 1);
    Piece& p = pieces_[static_cast<std::size_t>(sat)];
    if (gps < p.from || gps > p.to) {
        if (gps != grid_time_) {
            grid_->set_time(gps);
            grid_time_ = gps;
        }
        // Only a sine above the horizon places anything: below it, the grid
        // may answer without evaluating its nodes.
        p.found = grid_->sine_elevation(sat, &p.sine, true, &p.span);
        p.from = p.span.from;
        p.to = p.span.to;
    }
    return p;
}

bool OrbitCheck::band_at(int sat, double t, int* band) {
    if (sat < 0) return false;
    const double gps = gps_of(t);
    const Piece& p = piece_at(sat, gps);
    if (!p.found) return false;
    const double sine = p.span.cubic ? orbits::sine_of_span(p.span, gps) : p.sine;
    if (sine < 0) return false;
    *band = sky_band_of_sine(sine);
    return true;
}

double OrbitCheck::band_holds_until(int sat, double gps) const {
    const Piece& p = pieces_[static_cast<std::size_t>(sat)];
    if (!p.found || !p.span.cubic) return p.to;
    double low = 0, high = 0;
    sky_band_edges_of_sine(orbits::sine_of_span(p.span, gps), &low, &high);
    return std::min(orbits::sine_leaves(p.span, gps, low, high), p.to);
}

void OrbitCheck::observed(Satellite& s, const obs_record& obs) {
    if (position_ && position_->wants(obs.epoch)) position_->observation(s.name, obs, s.carriers);
    if (!grid_) return;
    int band = 0;
    const bool found = band_at(s.sat, obs.epoch, &band);
    s.saw(obs.epoch, found, band);
    if (!found) return;
    const obs_value& l1 = obs.obs[OBS_L1];
    const obs_value& l2 = obs.obs[OBS_L2];
    figures_.sky.observed(grid_->system_of(s.sat), band, present(l1), present(l2), strength(l1), strength(l2));
}

void OrbitCheck::count_expected(double t) {
    // The sky is counted afresh every expected_step seconds and added at
    // every epoch in between: at 1 s a satellite's band changes some seconds
    // early or late, while the count costs a thirtieth.
    const double gps = gps_of(t);
    const long sample = static_cast<long>(std::floor(gps / expected_step));
    if (sample != expected_sample_) {
        const bool first = expected_sample_ < 0;
        expected_sample_ = sample;
        const auto later = [](const std::pair<double, int>& a, const std::pair<double, int>& b) {
            return a.first > b.first;
        };
        if (first) {
            counted_band_.assign(orbits::SkyGrid::satellite_count, -1);
            for (int sat : grid_->in_store()) recount_.push_back({-1e300, sat});
            std::make_heap(recount_.begin(), recount_.end(), later);
        }
        while (!recount_.empty() && recount_.front().first < gps) {
            std::pop_heap(recount_.begin(), recount_.end(), later);
            const int sat = recount_.back().second;
            int band = 0;
            if (!band_at(sat, t, &band)) band = -1;
            int& counted = counted_band_[static_cast<std::size_t>(sat)];
            if (band != counted) {
                const std::size_t system =
                    static_cast<std::size_t>(std::strchr(expected_systems, grid_->system_of(sat)) - expected_systems);
                if (counted >= 0) --up_[system][counted];
                if (band >= 0) ++up_[system][band];
                counted = band;
            }
            // Looked at again once its band's time has passed: at the next
            // sample at the soonest.
            recount_.back() = {std::max(band_holds_until(sat, gps), gps), sat};
            std::push_heap(recount_.begin(), recount_.end(), later);
        }
    }
    for (std::size_t system = 0; system + 1 < sizeof expected_systems; ++system)
        for (int band = 0; band < sky_band_count; ++band) expected_[system][band] += up_[system][band];
}

void OrbitCheck::epoch(double t) {
    if (!figures_.orbits) return;
    if (position_) position_->epoch(t);
    if (!grid_) return;
    // The epochs a gap lost are expected too.
    if (interval_ > 0 && previous_t_ >= 0 && t - previous_t_ > 1.5 * interval_) {
        const long missing = std::lround((t - previous_t_) / interval_) - 1;
        for (long k = 1; k <= missing && k < 10000000; ++k) count_expected(previous_t_ + k * interval_);
    }
    count_expected(t);
    previous_t_ = t;
}

SatelliteObserver* OrbitCheck::satellite_of(const char* prn, const Carriers* carriers) {
    if (!figures_.orbits) return nullptr;
    Satellite& s = *satellites_.emplace_back(std::make_unique<Satellite>());
    s.owner = this;
    std::strncpy(s.name, prn, sizeof s.name - 1);
    s.carriers = carriers;
    char system = 0;
    int number = 0;
    if (grid_ && orbits::parse_satellite(prn, &system, &number)) s.sat = grid_->satellite(system, number);
    return &s;
}

void OrbitCheck::found(const QualitySlip& slip) {
    next_.found(slip);
    char system = 0;
    int number = 0;
    if (slip.prn[0] == 0 || !grid_ || !orbits::parse_satellite(slip.prn, &system, &number)) return;
    const int sat = grid_->satellite(system, number);
    int band = 0;
    if (band_at(sat, slip.t, &band)) figures_.sky.slip(grid_->system_of(sat), band);
}

OrbitFigures OrbitCheck::finish() {
    for (std::size_t system = 0; system + 1 < sizeof expected_systems; ++system)
        for (int band = 0; band < sky_band_count; ++band)
            if (long& n = expected_[system][band]; n > 0) {
                figures_.sky.expected(expected_systems[system], band, n);
                n = 0;
            }
    if (position_ && !position_done_) {
        figures_.position = position_->result();
        position_done_ = true;
    }
    return std::move(figures_);
}
