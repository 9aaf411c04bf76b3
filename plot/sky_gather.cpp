#include "plot/sky_gather.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "quality/frequencies.h"

double mean_digit(long sum, long count) {
    return count > 0 ? static_cast<double>(sum) / static_cast<double>(count) : -1.0;
}

int elevation_bin(double elevation) {
    if (!(elevation >= 0.0)) return -1;
    return std::min(static_cast<int>(elevation / elevation_bin_width), elevation_bins - 1);
}

namespace {

// The digit a track is drawn with: '1' to '9', anything else '0'.
char track_digit(char ssi) { return ssi >= '1' && ssi <= '9' ? ssi : '0'; }

}  // namespace

SkyGather::SkyGather(SkyLook look, const std::vector<std::string>& ids, int interval)
    : look_(std::move(look)), break_after_(std::max(1.5 * interval, track_step)) {
    slots_.resize(ids.size());
    for (std::size_t k = 1; k < ids.size(); ++k) {
        slots_[k].sky.id = ids[k];
        slots_[k].system = satellite_system(ids[k].c_str());
    }
}

bool SkyGather::look_at(Slot& s, double epoch) {
    ++looks_;
    double azimuth = 0, elevation = 0;
    s.cached = true;
    s.cache_epoch = epoch;
    s.known = look_(s.sky.id.c_str(), epoch, &azimuth, &elevation) && std::isfinite(azimuth) &&
              std::isfinite(elevation) && elevation >= 0.0;
    s.azimuth = azimuth;
    s.elevation = elevation;
    return s.known;
}

void SkyGather::keep_point(Slot& s, double epoch, char digit, bool starts_line) {
    s.sky.points.push_back({static_cast<float>(s.azimuth), static_cast<float>(s.elevation), digit,
                            starts_line});
    s.last_kept = epoch;
    s.last_digit = digit;
}

// Ends a track's line at the satellite's last observation when that came
// after the last point kept (and after the last look, which keeps the looks
// of a satellite in time order).
void SkyGather::end_line(Slot& s) {
    if (s.seen && s.last_seen > s.last_kept && s.last_seen >= s.cache_epoch &&
        look_at(s, s.last_seen))
        keep_point(s, s.last_seen, s.last_digit, false);
    s.seen = false;
}

void SkyGather::observe(int slot, double epoch, char l1_ssi, char l2_ssi, bool lost_lock) {
    if (slot <= 0 || slot >= static_cast<int>(slots_.size())) return;
    Slot& s = slots_[slot];
    const char digit = track_digit(l1_ssi);
    if (s.seen && (epoch - s.last_seen > break_after_ || epoch < s.last_seen)) end_line(s);

    // Where the orbits had no place, they are asked again only after a step.
    const bool stale = !s.cached || epoch - s.cache_epoch >= track_step || epoch < s.cache_epoch;
    if (s.cached && !s.known && !stale) return;

    const bool keep = !s.seen || epoch - s.last_kept >= track_step ||
                      (digit != s.last_digit && epoch - s.last_kept >= digit_step);
    const bool mark = lost_lock && epoch - s.last_mark >= digit_step;
    if (keep || stale || mark) look_at(s, epoch);
    if (!s.known) {
        // No place in the sky: the track breaks here.
        s.seen = false;
        return;
    }
    if (keep) keep_point(s, epoch, digit, !s.seen);
    s.seen = true;
    s.last_seen = epoch;
    if (mark) {
        s.sky.lock_losses.push_back(
            {static_cast<float>(s.azimuth), static_cast<float>(s.elevation)});
        s.last_mark = epoch;
    }

    const int bin = elevation_bin(s.elevation);
    SystemElevation& e = system_of(s.system);
    ++e.observations[bin];
    if (l1_ssi >= '1' && l1_ssi <= '9') {
        ++e.l1_count[bin];
        e.l1_sum[bin] += l1_ssi - '0';
    }
    if (l2_ssi >= '1' && l2_ssi <= '9') {
        ++e.l2_count[bin];
        e.l2_sum[bin] += l2_ssi - '0';
    }
}

void SkyGather::finish() {
    for (std::size_t k = 1; k < slots_.size(); ++k) end_line(slots_[k]);
}

void SkyGather::mark_slip(int slot, double epoch) {
    if (slot <= 0 || slot >= static_cast<int>(slots_.size())) return;
    Slot& s = slots_[slot];
    if (look_at(s, epoch))
        s.sky.slips.push_back({static_cast<float>(s.azimuth), static_cast<float>(s.elevation)});
}

SystemElevation& SkyGather::system_of(char system) {
    for (SystemElevation& e : systems_)
        if (e.system == system) return e;
    SystemElevation& e = systems_.emplace_back();
    e.system = system;
    return e;
}

std::vector<SatelliteSky> SkyGather::satellites() const {
    std::vector<SatelliteSky> out;
    for (std::size_t k = 1; k < slots_.size(); ++k) {
        const SatelliteSky& sky = slots_[k].sky;
        if (!sky.points.empty() || !sky.lock_losses.empty() || !sky.slips.empty())
            out.push_back(sky);
    }
    return out;
}

std::vector<SystemElevation> SkyGather::systems() const {
    std::vector<SystemElevation> out = systems_;
    std::stable_sort(out.begin(), out.end(), [](const SystemElevation& a, const SystemElevation& b) {
        return system_rank(a.system) < system_rank(b.system);
    });
    return out;
}
