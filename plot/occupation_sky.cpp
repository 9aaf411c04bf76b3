#include "plot/occupation_sky.h"

#include <utility>

#include "orbits/occupation_sky.h"

SkyLook occupation_sky_look(Campaign& c, std::shared_ptr<const orbits::EphemerisStore> store) {
    if (!store || store->empty()) return {};
    auto sky = std::make_shared<orbits::OccupationSky>(orbits::occupation_sky(c, std::move(store)));
    if (!sky->has_orbits()) return {};
    return [sky](const char* satellite, double epoch, double* azimuth, double* elevation) {
        const orbits::SkyDirection d = sky->direction(satellite, epoch);
        if (!d.found) return false;
        *azimuth = d.azimuth_deg;
        *elevation = d.elevation_deg;
        return true;
    };
}
