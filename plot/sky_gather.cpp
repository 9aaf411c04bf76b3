#include "plot/sky_gather.h"

#include <algorithm>
#include <cmath>
#include <numbers>
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
    : look_(std::move(look)), break_after_(std::max(1.5 * interval, gap_step)) {
    slots_.resize(ids.size());
    for (std::size_t k = 1; k < ids.size(); ++k) {
        slots_[k].sky.id = ids[k];
        const char system = satellite_system(ids[k].c_str());
        slots_[k].system = system;
        slots_[k].system_index = static_cast<int>(&system_of(system) - systems_.data());
    }
}

// A direction as a point of the plot's plane: the zenith angle in degrees
// along the azimuth, north on y and east on x.
SkyGather::PlanePoint SkyGather::ask(const Slot& s, double epoch) {
    ++looks_;
    double azimuth = 0, elevation = 0;
    PlanePoint p{epoch, 0, 0, 0, false};
    if (!look_(s.sky.id.c_str(), epoch, &azimuth, &elevation) || !std::isfinite(azimuth) ||
        !(elevation >= 0.0 && elevation <= 90.0))
        return p;
    const double r = 90.0 - elevation, a = azimuth * std::numbers::pi / 180.0;
    p.x = r * std::sin(a);
    p.y = r * std::cos(a);
    p.elevation = elevation;
    p.known = true;
    return p;
}

// Makes the slot's two looks hold `epoch`: the step that holds it follows
// on from the one before where it can (its second look is taken over), and
// is asked anew where the observations jumped ahead or back.
void SkyGather::look_around(Slot& s, double epoch) {
    if (s.looked && epoch >= s.from.epoch && epoch <= s.to.epoch) return;
    if (s.looked && epoch > s.to.epoch && epoch < s.to.epoch + track_step) {
        s.from = s.to;
        s.to = ask(s, s.from.epoch + track_step);
    } else {
        s.from = ask(s, epoch);
        s.to = ask(s, epoch + track_step);
    }
    s.looked = true;
}

// The direction at an epoch within the slot's looks: on the straight line
// between them in the plot's plane, or the first look where the second has
// no place. False where the first has none.
bool SkyGather::place(const Slot& s, double epoch, double* azimuth, double* elevation) const {
    if (!s.from.known) return false;
    double x = s.from.x, y = s.from.y;
    if (s.to.known) {
        const double f = (epoch - s.from.epoch) / (s.to.epoch - s.from.epoch);
        x += f * (s.to.x - s.from.x);
        y += f * (s.to.y - s.from.y);
    }
    *elevation = 90.0 - std::sqrt(x * x + y * y);
    if (azimuth) {
        *azimuth = std::atan2(x, y) * 180.0 / std::numbers::pi;
        if (*azimuth < 0) *azimuth += 360.0;
    }
    return true;
}

// The elevation at an epoch within the slot's looks (the first must have
// a place): on the straight line in time between theirs, which stays
// closer to the true elevation than the plane's line does near the zenith;
// it sorts the observations into their bins.
double SkyGather::elevation_at(const Slot& s, double epoch) const {
    if (!s.to.known) return s.from.elevation;
    constexpr double per_step = 1.0 / track_step;
    return s.from.elevation + (epoch - s.from.epoch) * per_step * (s.to.elevation - s.from.elevation);
}

void SkyGather::keep_point(Slot& s, double epoch, char digit, bool starts_line) {
    double azimuth = 0, elevation = 0;
    if (!place(s, epoch, &azimuth, &elevation)) return;
    s.sky.points.push_back(
        {static_cast<float>(azimuth), static_cast<float>(elevation), digit, starts_line});
    s.last_kept = epoch;
    s.last_digit = digit;
}

// Ends a track's line at the satellite's last observation when that came
// after the last point kept.
void SkyGather::end_line(Slot& s) {
    if (s.seen && s.last_seen > s.last_kept) {
        look_around(s, s.last_seen);
        keep_point(s, s.last_seen, s.last_digit, false);
    }
    s.seen = false;
}

void SkyGather::observe(int slot, double epoch, char l1_ssi, char l2_ssi, bool lost_lock) {
    if (slot <= 0 || static_cast<std::size_t>(slot) >= slots_.size()) return;
    Slot& s = slots_[slot];
    const char digit = track_digit(l1_ssi);
    if (s.seen && (epoch - s.last_seen > break_after_ || epoch < s.last_seen)) end_line(s);

    look_around(s, epoch);
    if (!s.from.known) {
        // No place in the sky: the track breaks here.
        end_line(s);
        return;
    }
    const bool keep = !s.seen || epoch - s.last_kept >= track_step ||
                      (digit != s.last_digit && epoch - s.last_kept >= digit_step);
    if (keep) keep_point(s, epoch, digit, !s.seen);
    s.seen = true;
    s.last_seen = epoch;
    double azimuth = 0, elevation = 0;
    if (lost_lock && epoch - s.last_mark >= digit_step && place(s, epoch, &azimuth, &elevation)) {
        s.sky.lock_losses.push_back({static_cast<float>(azimuth), static_cast<float>(elevation)});
        s.last_mark = epoch;
    }

    const int bin = elevation_bin(elevation_at(s, epoch));
    if (bin < 0) return;
    SystemElevation& e = systems_[static_cast<std::size_t>(s.system_index)];
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
    const PlanePoint p = ask(s, epoch);
    if (!p.known) return;
    double azimuth = std::atan2(p.x, p.y) * 180.0 / std::numbers::pi;
    if (azimuth < 0) azimuth += 360.0;
    s.sky.slips.push_back(
        {static_cast<float>(azimuth), static_cast<float>(90.0 - std::hypot(p.x, p.y))});
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
    std::vector<SystemElevation> out;
    for (const SystemElevation& e : systems_) {
        long observations = 0;
        for (long n : e.observations) observations += n;
        if (observations > 0) out.push_back(e);
    }
    std::stable_sort(out.begin(), out.end(), [](const SystemElevation& a, const SystemElevation& b) {
        return system_rank(a.system) < system_rank(b.system);
    });
    return out;
}
