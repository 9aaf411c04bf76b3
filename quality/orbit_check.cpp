#include "quality/orbit_check.h"

#include <cmath>
#include <cstring>

#include "orbits/time_scales.h"

namespace {

constexpr char systems[] = "GRECJ";
constexpr int numbers = 100;
constexpr double node_spacing = 30.0;  // s

int slot_of(char system, int prn) {
    const char* at = system != 0 ? std::strchr(systems, system) : nullptr;
    if (at == nullptr || prn < 1 || prn >= numbers) return -1;
    return static_cast<int>(at - systems) * numbers + prn;
}

bool present(const obs_value& v) { return std::isfinite(v.value) && v.value != 0; }
int strength(const obs_value& v) { return v.snr >= '1' && v.snr <= '9' ? v.snr - '0' : 0; }

}  // namespace

// The MP values of one satellite's arc by band, until the arc ends and its
// mean is known: then each band gets its values' squared deviations from it.
struct OrbitCheck::ArcMultipath final : MultipathObserver {
    OrbitCheck* owner = nullptr;
    char system = 0;
    int prn = 0;
    struct Sums {
        long n = 0;
        double shift = 0, sum = 0;
        long band_n[sky_band_count] = {};
        double band_sum[sky_band_count] = {};
        double band_squares[sky_band_count] = {};
    } arc[2];

    void value(int which, double t, double mp) override {
        Sums& s = arc[which];
        if (s.n == 0) s.shift = mp;
        const double d = mp - s.shift;
        ++s.n;
        s.sum += d;
        double e = 0;
        if (!owner->elevation(system, prn, t, &e) || e < 0) return;
        const int b = sky_band(e);
        ++s.band_n[b];
        s.band_sum[b] += d;
        s.band_squares[b] += d * d;
    }
    void arc_end(int which, bool kept) override {
        Sums& s = arc[which];
        if (kept && s.n > 0) {
            const double mean = s.sum / static_cast<double>(s.n);
            for (int b = 0; b < sky_band_count; ++b)
                if (s.band_n[b] > 0)
                    owner->figures_.sky.multipath(
                        system, b, which, s.band_n[b],
                        s.band_squares[b] - 2 * mean * s.band_sum[b] + static_cast<double>(s.band_n[b]) * mean * mean);
        }
        s = Sums{};
    }
};

OrbitCheck::OrbitCheck(Campaign& c, long occupation, std::shared_ptr<const orbits::EphemerisStore> store,
                       SlipSink& next)
    : next_(next), store_(std::move(store)), carriers_(occupation), slot_(std::strlen(systems) * numbers, -1) {
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
    for (const char* s = systems; *s; ++s)
        for (int prn = 1; prn < numbers; ++prn)
            if (!store_->of_satellite(*s, prn).empty()) in_store_.push_back(satellite(*s, prn));
}

OrbitCheck::~OrbitCheck() = default;

int OrbitCheck::satellite(char system, int prn) {
    const int slot = slot_of(system, prn);
    if (slot < 0) return -1;
    if (slot_[static_cast<std::size_t>(slot)] < 0) {
        slot_[static_cast<std::size_t>(slot)] = static_cast<int>(satellites_.size());
        satellites_.push_back(Satellite{system, prn, {}});
    }
    return slot_[static_cast<std::size_t>(slot)];
}

int OrbitCheck::satellite(const char* prn) {
    char system = 0;
    int number = 0;
    return orbits::parse_satellite(prn, &system, &number) ? satellite(system, number) : -1;
}

double OrbitCheck::gps_of(double t) {
    const long bucket = static_cast<long>(std::floor(t / 900.0));
    if (bucket != offset_bucket_) {
        const double whole = bucket * 900.0;
        offset_ = orbits::gps_seconds_of_time_value(whole) - whole;
        offset_bucket_ = bucket;
    }
    return t + offset_;
}

bool OrbitCheck::elevation_at(int sat, double gps, double* out) {
    Satellite& s = satellites_[static_cast<std::size_t>(sat)];
    const double x = gps / node_spacing;
    const long k = static_cast<long>(std::floor(x));
    float e[2];
    for (int j = 0; j < 2; ++j) {
        Node& n = s.nodes[(k + j) & (ring - 1)];
        if (n.index != k + j) {
            const orbits::SkyDirection d = sky_.direction_gps(s.system, s.prn, (k + j) * node_spacing);
            n.index = k + j;
            n.found = d.found;
            n.elevation = static_cast<float>(d.elevation_deg);
        }
        if (!n.found) return false;
        e[j] = n.elevation;
    }
    *out = e[0] + (x - static_cast<double>(k)) * (e[1] - e[0]);
    return true;
}

bool OrbitCheck::elevation(char system, int prn, double t, double* out) {
    if (!sky_.has_orbits()) return false;
    const int sat = satellite(system, prn);
    return sat >= 0 && elevation_at(sat, gps_of(t), out);
}

void OrbitCheck::observation(const char* prn, const obs_record& obs) {
    if (!figures_.orbits) return;
    if (position_) position_->observation(prn, obs, carriers_.of(prn));
    if (!sky_.has_orbits()) return;
    const int sat = satellite(prn);
    double e = 0;
    if (sat < 0 || !elevation_at(sat, gps_of(obs.epoch), &e) || e < 0) return;
    const obs_value& l1 = obs.obs[OBS_L1];
    const obs_value& l2 = obs.obs[OBS_L2];
    figures_.sky.observed(satellites_[static_cast<std::size_t>(sat)].system, e, present(l1), present(l2),
                          strength(l1), strength(l2));
}

void OrbitCheck::count_expected(double t) {
    const double gps = gps_of(t);
    for (int sat : in_store_) {
        double e = 0;
        if (elevation_at(sat, gps, &e) && e >= 0)
            figures_.sky.expected(satellites_[static_cast<std::size_t>(sat)].system, e);
    }
}

void OrbitCheck::epoch(double t) {
    if (!figures_.orbits) return;
    if (position_) position_->epoch(t);
    if (!sky_.has_orbits()) return;
    // The epochs a gap lost are expected too.
    if (interval_ > 0 && previous_t_ >= 0 && t - previous_t_ > 1.5 * interval_) {
        const long missing = std::lround((t - previous_t_) / interval_) - 1;
        for (long k = 1; k <= missing && k < 10000000; ++k) count_expected(previous_t_ + k * interval_);
    }
    count_expected(t);
    previous_t_ = t;
}

MultipathObserver* OrbitCheck::multipath_of(const char* prn) {
    char system = 0;
    int number = 0;
    if (!sky_.has_orbits() || !orbits::parse_satellite(prn, &system, &number)) return nullptr;
    ArcMultipath& m = *multipath_.emplace_back(std::make_unique<ArcMultipath>());
    m.owner = this;
    m.system = system;
    m.prn = number;
    return &m;
}

void OrbitCheck::found(const QualitySlip& slip) {
    next_.found(slip);
    if (slip.prn[0] == 0 || !sky_.has_orbits()) return;
    const int sat = satellite(slip.prn);
    double e = 0;
    if (sat >= 0 && elevation_at(sat, gps_of(slip.t), &e) && e >= 0)
        figures_.sky.slip(satellites_[static_cast<std::size_t>(sat)].system, e);
}

OrbitFigures OrbitCheck::finish() {
    if (position_ && !position_done_) {
        figures_.position = position_->result();
        position_done_ = true;
    }
    return std::move(figures_);
}
