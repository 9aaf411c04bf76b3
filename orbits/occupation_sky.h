// An occupation's sky: where each satellite stood, seen from the occupation,
// at the epochs of its observations.
//
// How to use it:
//
//     auto store = orbits::campaign_ephemerides();  // once per run: zzEPH, zzNAV
//     orbits::OccupationSky sky = orbits::occupation_sky(campaign, store);
//     if (!sky.has_orbits()) ...                     // no ephemerides or no position
//     orbits::SkyDirection d = sky.direction("G05", obs.epoch);
//     if (d.found) ... d.azimuth_deg, d.elevation_deg ...
//
// occupation_sky takes the occupation in campaign.occ (read it first) and
// its approximate position from zzCOR (the table must be open); where the
// header gives none (zero), the position computed from the occupation's
// codes, when the caller has one (the quality check computes it:
// quality/occupation_position.h), and otherwise the sky has no orbits.
//
// direction() is cheap when the calls for one satellite come in time order
// (as a walk over an occupation's observations makes them): each satellite
// keeps a SatelliteTrack, whose orbit is evaluated every 300 s and
// interpolated between (8-node Lagrange): on real days of five systems the
// directions stay within 2e-9 degrees of a full evaluation at each epoch
// (occupation_sky_test bounds them at 1e-5). Calls out of order are right,
// only slower. A satellite without a serving ephemeris at the time (none within
// its validity, or none healthy) is not found.
#pragma once

#include <memory>
#include <vector>

#include "obsdb/campaign.h"
#include "orbits/atmosphere.h"
#include "orbits/ephemeris_store.h"
#include "orbits/sky.h"
#include "orbits/track.h"

namespace orbits {

struct SkyDirection {
    bool found = false;  // false: no orbit for that satellite at that time
    double azimuth_deg = 0;    // from north through east, 0 to below 360
    double elevation_deg = 0;  // above the horizon, -90 to 90
};

// "G05", "R12", "E31", "C07", "J01" (a blank or a digit first reads as
// GPS): the system letter and number; false for anything else.
bool parse_satellite(const char* text, char* system, int* prn);

class OccupationSky {
public:
    // A sky of no orbits.
    OccupationSky() = default;
    // A sky from ephemerides and a position (ECEF m); a position of zero
    // gives a sky without orbits.
    OccupationSky(std::shared_ptr<const EphemerisStore> store, const double position[3]);

    // Ephemerides and a position to see them from.
    bool has_orbits() const { return store_ && !store_->empty() && station_.known; }
    const StationFrame& station() const { return station_; }
    const EphemerisStore* store() const { return store_.get(); }

    // The direction of a satellite at a stored epoch (a time value) or at a
    // time in GPS seconds.
    SkyDirection direction(const char* satellite, double time_value);
    SkyDirection direction_gps(char system, int prn, double gps_seconds);

private:
    std::shared_ptr<const EphemerisStore> store_;
    StationFrame station_;
    std::vector<std::unique_ptr<SatelliteTrack>> tracks_;  // by system and number
};

// The campaign's broadcast ephemerides, decoded from zzEPH, GLONASS's with
// the leap seconds of the navigation file that spans them (zzNAV), or the
// program's table of leap seconds. Empty without zzEPH. Ephemerides that do
// not decode (a zero orbit) are left out.
std::shared_ptr<const EphemerisStore> campaign_ephemerides();

// The sky of the occupation in `campaign.occ`, seen from its header position
// (zzCOR, which must be open) or, where that is zero, from `computed` (ECEF
// m; null or zero for none).
OccupationSky occupation_sky(Campaign& campaign, std::shared_ptr<const EphemerisStore> store,
                             const double* computed = nullptr);

// The ionosphere parameters (GPS's) of the navigation file of the
// campaign whose ephemerides span `gps_seconds` (a day either side), else of
// any that gives them; none without.
KlobucharParameters campaign_klobuchar(double gps_seconds);

// The header position of the occupation in `campaign.occ` (zzCOR must be
// open); zero where the header gives none.
void header_position(Campaign& campaign, double out[3]);

}  // namespace orbits
