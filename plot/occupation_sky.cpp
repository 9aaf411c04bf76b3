#include "plot/occupation_sky.h"

#include <map>
#include <numbers>
#include <string>
#include <utility>

#include "orbits/occupation_sky.h"
#include "orbits/satellite_state.h"
#include "orbits/sky.h"
#include "orbits/time_scales.h"
#include "quality/occupation_position.h"

namespace {

// The looks of the pages: every satellite keeps the ephemeris that last
// served it and the times it goes on serving over, so that most looks
// choose none.
struct PageLook {
    std::shared_ptr<const orbits::EphemerisStore> store;
    orbits::StationFrame station;
    orbits::TimeValueClock clock;
    struct Serving {
        const orbits::Ephemeris* ephemeris = nullptr;
        double from = 1, to = 0;
    };
    std::map<std::string, Serving> serving;

    bool operator()(const char* satellite, double epoch, double* azimuth, double* elevation) {
        const double t = clock.gps(epoch);
        Serving& s = serving[satellite];
        if (t < s.from || t > s.to) {
            char system = 0;
            int prn = 0;
            if (!orbits::parse_satellite(satellite, &system, &prn)) return false;
            s.ephemeris = store->serving(system, prn, t, &s.from, &s.to);
        }
        if (s.ephemeris == nullptr) return false;
        double seen[3];
        orbits::seen_position(*s.ephemeris, t, seen);
        const orbits::LookAngles look = orbits::look_angles(station, seen);
        *azimuth = look.azimuth * 180.0 / std::numbers::pi;
        *elevation = look.elevation * 180.0 / std::numbers::pi;
        return true;
    }
};

}  // namespace

SkyLook occupation_sky_look(Campaign& c, long occupation,
                            std::shared_ptr<const orbits::EphemerisStore> store) {
    if (!store || store->empty()) return {};
    // A header without position: the sky is seen from the position the
    // occupation's codes give, in a walk of its own over its observations.
    double header[3];
    orbits::header_position(c, header);
    orbits::OccupationPosition computed;
    if (header[0] == 0 && header[1] == 0 && header[2] == 0) {
        const orbits::KlobucharParameters klobuchar =
            orbits::campaign_klobuchar(orbits::gps_seconds_of_time_value(c.occ.first_epoch));
        computed = position_from_codes(c, occupation, *store, klobuchar);
        c.read_checked(CampaignTable::occ, occupation);
    }
    const orbits::OccupationSky sky =
        orbits::occupation_sky(c, store, computed.known ? computed.position : nullptr);
    if (!sky.has_orbits()) return {};
    // The pages ask every ten minutes of a satellite's observations: each
    // asks the orbit once, from the ephemeris that serves the time, rather
    // than through a track of interpolation nodes, which would evaluate a
    // window of nodes at every change of ephemeris.
    return PageLook{store, sky.station(), {}, {}};
}

bool ephemerides_serve(const orbits::EphemerisStore* store, const std::vector<std::string>& ids,
                       const std::vector<double>& epochs) {
    if (store == nullptr) return false;
    for (double epoch : epochs) {
        const double t = orbits::gps_seconds_of_time_value(epoch);
        for (std::size_t k = 1; k < ids.size(); ++k) {
            char system = 0;
            int prn = 0;
            if (orbits::parse_satellite(ids[k].c_str(), &system, &prn) &&
                store->serving(system, prn, t) != nullptr)
                return true;
        }
    }
    return false;
}
