// The quality check with orbits: it rides along the check of an occupation
// (as its observer and slip sink) and places every observation, slip and MP
// value in the occupation's sky, counts per epoch the observations the sky
// lets one expect, and computes the occupation's position from its codes.
//
// Elevations come from a sky grid (orbits/sky_grid.h: within 0.01 degrees)
// seen from the occupation's sky's position (orbits/occupation_sky.h); its
// nodes are kept for four hours, so that slips and MP values, which the
// check decides some epochs late, find them still there.
#pragma once

#include <memory>
#include <vector>

#include "orbits/occupation_sky.h"
#include "orbits/sky_grid.h"
#include "orbits/time_scales.h"
#include "quality/occupation_check.h"
#include "quality/occupation_position.h"
#include "quality/sky_bands.h"

struct OrbitFigures {
    bool orbits = false;  // the campaign holds ephemerides
    SkyBands sky;
    double header[3] = {0, 0, 0};
    orbits::OccupationPosition position;
    double spacing = 0;  // s between the epochs solved, 0: every epoch
};

class OrbitCheck final : public CheckObserver, public SlipSink {
public:
    // For the occupation with record number `occupation`; slips go on to
    // `next`. Reads the occupation's record and header position (zzOCC and
    // zzCOR open) and, for a header without position, computes it first
    // from the codes (zzSATOCC, zzSAT, zzOBS open).
    OrbitCheck(Campaign& c, long occupation, std::shared_ptr<const orbits::EphemerisStore> store,
               SlipSink& next);
    ~OrbitCheck();
    OrbitCheck(const OrbitCheck&) = delete;
    OrbitCheck& operator=(const OrbitCheck&) = delete;

    SatelliteObserver* satellite_of(const char* prn, const Carriers* carriers) override;
    void epoch(double t) override;
    void found(const QualitySlip& slip) override;

    // The figures, once the check has ended.
    OrbitFigures finish();

private:
    struct Satellite;
    void observed(Satellite& s, const obs_record& obs);

    // Each satellite's sine of elevation over the piece of time the sky grid
    // last answered for: the cubic of its span, one value at one time (near
    // the ends of the satellite's ephemerides), or no answer over the span
    // (no orbit, or kept below the horizon). Observations, slips and counts
    // within the piece need no grid.
    struct Piece {
        double from = 1, to = 0;  // GPS seconds
        bool found = false;
        double sine = 0;          // the answer where the span has no cubic
        orbits::SineSpan span;
    };
    std::vector<Piece> pieces_;  // by grid satellite, as far as asked

    const Piece& piece_at(int sat, double gps);
    // The elevation band of grid satellite `sat` at a time value; false
    // without an orbit then or below the horizon.
    bool band_at(int sat, double t, int* band);
    // The time (GPS seconds) up to which the answer band_at gave at `gps`
    // (from the satellite's piece then) stays the same.
    double band_holds_until(int sat, double gps) const;
    double gps_of(double t) { return clock_.gps(t); }
    void count_expected(double t);

    OrbitFigures figures_;
    SlipSink& next_;
    std::shared_ptr<const orbits::EphemerisStore> store_;
    orbits::OccupationSky sky_;
    std::unique_ptr<PositionFromCodes> position_;
    bool position_done_ = false;  // computed before the check (header of zero)
    std::unique_ptr<orbits::SkyGrid> grid_;
    double grid_time_ = -1;
    std::vector<std::unique_ptr<Satellite>> satellites_;
    static constexpr double expected_step = 30.0;  // s
    long expected_sample_ = -1;
    // The satellites up now, counted by system and band, and the band each
    // is counted in (-1: none); a satellite is looked at again only once the
    // time its band holds has passed (the queue holds when, soonest first).
    static constexpr char expected_systems[] = "GRECJ";  // the sky grid's systems
    long up_[sizeof expected_systems][sky_band_count] = {};
    long expected_[sizeof expected_systems][sky_band_count] = {};  // the sums of up_ over the epochs
    std::vector<int> counted_band_;  // by grid satellite
    std::vector<std::pair<double, int>> recount_;  // a heap: held until (GPS seconds), satellite
    double interval_ = 0;
    double previous_t_ = -1;
    orbits::TimeValueClock clock_;
};
