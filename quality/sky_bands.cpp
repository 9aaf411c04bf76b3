#include "quality/sky_bands.h"

#include <algorithm>
#include <limits>
#include <cmath>

long SystemSky::expected_above_mask() const {
    long n = 0;
    for (int b = sky_band(sky_mask_deg); b < sky_band_count; ++b) n += bands[b].expected;
    return n;
}

long SystemSky::observed_above_mask(int which) const {
    long n = 0;
    for (int b = sky_band(sky_mask_deg); b < sky_band_count; ++b)
        n += which == 0 ? bands[b].observed_l1 : bands[b].observed_l2;
    return n;
}

bool SystemSky::has_orbits() const {
    for (const SkyBand& b : bands)
        if (b.expected > 0 || b.observed_l1 > 0 || b.observed_l2 > 0) return true;
    return false;
}

int sky_band(double elevation_deg) {
    if (!(elevation_deg > 0)) return 0;
    return std::min(static_cast<int>(elevation_deg / sky_band_width_deg), sky_band_count - 1);
}

namespace {
// sin(10°), sin(20°), ..., sin(80°)
constexpr double band_limits[sky_band_count - 1] = {
    0.17364817766693033, 0.34202014332566871, 0.5, 0.64278760968653925,
    0.76604444311897801, 0.86602540378443860, 0.93969262078590832, 0.98480775301220802};
}  // namespace

int sky_band_of_sine(double sine) {
    int band = 0;
    while (band < sky_band_count - 1 && sine >= band_limits[band]) ++band;
    return band;
}

void sky_band_edges_of_sine(double sine, double* low, double* high) {
    constexpr double none = std::numeric_limits<double>::infinity();
    if (sine < 0) {
        *low = -none, *high = 0;
        return;
    }
    const int band = sky_band_of_sine(sine);
    *low = band == 0 ? 0.0 : band_limits[band - 1];
    *high = band == sky_band_count - 1 ? none : band_limits[band];
}

SystemSky& SkyBands::at(char system) {
    if (last_ >= 0 && systems_[static_cast<std::size_t>(last_)].system == system)
        return systems_[static_cast<std::size_t>(last_)];
    for (std::size_t i = 0; i < systems_.size(); ++i)
        if (systems_[i].system == system) {
            last_ = static_cast<int>(i);
            return systems_[i];
        }
    systems_.push_back(SystemSky{});
    systems_.back().system = system;
    last_ = static_cast<int>(systems_.size()) - 1;
    return systems_.back();
}

const SystemSky* SkyBands::of(char system) const {
    for (const SystemSky& s : systems_)
        if (s.system == system) return &s;
    return nullptr;
}

void SkyBands::expected(char system, int band, long count) { at(system).bands[band].expected += count; }

void SkyBands::observed(char system, int band, bool l1, bool l2, int ssi_l1, int ssi_l2) {
    SkyBand& b = at(system).bands[band];
    if (l1) ++b.observed_l1;
    if (l2) ++b.observed_l2;
    const int ssi[2] = {ssi_l1, ssi_l2};
    const bool present[2] = {l1, l2};
    for (int k = 0; k < 2; ++k)
        if (present[k] && ssi[k] > 0) {
            ++b.ssi_count[k];
            b.ssi_sum[k] += ssi[k];
        }
}

void SkyBands::slip(char system, int band) { ++at(system).bands[band].slips; }

void SkyBands::multipath(char system, int band, int which, long count, double squares) {
    SkyBand& b = at(system).bands[std::clamp(band, 0, sky_band_count - 1)];
    b.mp_count[which] += count;
    b.mp_squares[which] += squares;
}

double band_multipath_rms(const SkyBand& band, int which) {
    if (band.mp_count[which] == 0) return __builtin_nan("");
    return std::sqrt(std::max(band.mp_squares[which], 0.0) / static_cast<double>(band.mp_count[which]));
}

double band_mean_ssi(const SkyBand& band, int which) {
    if (band.ssi_count[which] == 0) return __builtin_nan("");
    return static_cast<double>(band.ssi_sum[which]) / static_cast<double>(band.ssi_count[which]);
}
