// The quality check's figures by elevation: per system and 10-degree band,
// the observations the sky lets one expect (every epoch, every satellite
// with an orbit above the horizon) against those present with L1 and with
// L2, the slips, the MP1 and MP2 scatter and the mean signal strengths.
#pragma once

#include <vector>

inline constexpr int sky_band_count = 9;         // 0-10, 10-20, ..., 80-90 degrees
inline constexpr double sky_band_width_deg = 10;
inline constexpr double sky_mask_deg = 10;        // the completeness counts above it

struct SkyBand {
    long expected = 0;
    long observed_l1 = 0;
    long observed_l2 = 0;
    long slips = 0;
    long mp_count[2] = {};
    double mp_squares[2] = {};  // squared deviations from their arcs' means (m²)
    long ssi_count[2] = {};     // L1, L2 observations with a signal strength
    long ssi_sum[2] = {};
};

struct SystemSky {
    char system = 0;
    SkyBand bands[sky_band_count];
    // The sums over the bands above the mask.
    long expected_above_mask() const;
    long observed_above_mask(int which) const;  // 0: with L1, 1: with L2
    // Any satellite of the system had an orbit: something was expected or
    // an observation was placed in the sky.
    bool has_orbits() const;
};

// The band of an elevation (degrees): 0 below 10 (and below the horizon),
// 8 from 80 up; the same from the sine of the elevation.
int sky_band(double elevation_deg);
int sky_band_of_sine(double sine);
// The edges (in sine) of the band of `sine`: [low, high), from the horizon
// for band 0, without end above band 8; below the horizon, up to it.
void sky_band_edges_of_sine(double sine, double* low, double* high);

class SkyBands {
public:
    void expected(char system, int band, long count = 1);
    // An observation placed in the sky; `ssi_l1`, `ssi_l2` 1 to 9, 0 where
    // none was stored.
    void observed(char system, int band, bool l1, bool l2, int ssi_l1, int ssi_l2);
    void slip(char system, int band);
    // MP values of one kind (`which` 0: MP1) in one band: their number and
    // squared deviations from their arc's mean.
    void multipath(char system, int band, int which, long count, double squares);

    const std::vector<SystemSky>& systems() const { return systems_; }
    // The figures of a system, or null when nothing of it was counted.
    const SystemSky* of(char system) const;

private:
    SystemSky& at(char system);
    std::vector<SystemSky> systems_;
    int last_ = -1;
};

// The RMS of a band's MP values (m), NaN without any; the mean strength,
// NaN without any.
double band_multipath_rms(const SkyBand& band, int which);
double band_mean_ssi(const SkyBand& band, int which);
