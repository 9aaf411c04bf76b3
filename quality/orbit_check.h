// The quality check with orbits: it rides along the check of an occupation
// (as its observer and slip sink) and places every observation, slip and MP
// value in the occupation's sky, counts per epoch the observations the sky
// lets one expect, and computes the occupation's position from its codes.
//
// Elevations come from the occupation's sky (orbits/occupation_sky.h) on
// nodes 30 s apart per satellite, interpolated linearly between them (an
// error below 1e-4 degrees: the elevation's curvature over 30 s), and kept
// for 32 minutes, so that slips and MP values, which the check decides some
// epochs late, find them still there.
#pragma once

#include <memory>
#include <vector>

#include "orbits/occupation_sky.h"
#include "quality/occupation_carriers.h"
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

    void observation(const char* prn, const obs_record& obs) override;
    void epoch(double t) override;
    MultipathObserver* multipath_of(const char* prn) override;
    void found(const QualitySlip& slip) override;

    // The figures, once the check has ended.
    OrbitFigures finish();

    // The elevation (degrees) of a satellite of the occupation at a time
    // value; false without an orbit then.
    bool elevation(char system, int prn, double t, double* out);

private:
    struct Node {
        long index = -1;  // node time / node spacing
        bool found = false;
        float elevation = 0;
    };
    static constexpr int ring = 64;
    struct Satellite {
        char system;
        int prn;
        Node nodes[ring];
    };
    struct ArcMultipath;

    int satellite(char system, int prn);
    int satellite(const char* prn);
    bool elevation_at(int sat, double gps, double* out);
    double gps_of(double t);
    void count_expected(double t);

    OrbitFigures figures_;
    SlipSink& next_;
    std::shared_ptr<const orbits::EphemerisStore> store_;
    orbits::OccupationSky sky_;
    OccupationCarriers carriers_;
    std::unique_ptr<PositionFromCodes> position_;
    bool position_done_ = false;  // computed before the check (header of zero)
    std::vector<Satellite> satellites_;
    std::vector<int> slot_;       // satellite by system and number
    std::vector<int> in_store_;   // satellites with ephemerides
    std::vector<std::unique_ptr<ArcMultipath>> multipath_;
    double interval_ = 0;
    double previous_t_ = -1;
    long offset_bucket_ = -1;  // the time zone offset of time values is kept per quarter hour
    double offset_ = 0;
};
