#include "export/observation_directions.h"

#include <cmath>

#include "orbits/occupation_sky.h"
#include "orbits/time_scales.h"
#include "quality/occupation_position.h"

namespace {

struct Directions {
    std::shared_ptr<const orbits::EphemerisStore> store;
    long occupation = -1;
    orbits::OccupationSky sky;

    void open(long number) {
        occupation = number;
        sky = orbits::OccupationSky();
        Campaign c;
        c.open_read({CampaignTable::occ, CampaignTable::cor, CampaignTable::satocc, CampaignTable::sat});
        const bool observations = table_exists(table_obs);
        if (observations) c.open_read({CampaignTable::obs});
        if (c.read_linked(CampaignTable::occ, number)) {
            double header[3];
            orbits::header_position(c, header);
            orbits::OccupationPosition computed;
            if (header[0] == 0 && header[1] == 0 && header[2] == 0 && observations)
                computed = position_from_codes(
                    c, number, *store, orbits::campaign_klobuchar(orbits::gps_seconds_of_time_value(c.occ.first_epoch)));
            sky = orbits::occupation_sky(c, store, computed.known ? computed.position : nullptr);
        }
        if (observations) c.close({CampaignTable::obs});
        c.close({CampaignTable::occ, CampaignTable::cor, CampaignTable::satocc, CampaignTable::sat});
    }
};

}  // namespace

SkyDirections campaign_sky_directions() {
    auto state = std::make_shared<Directions>();
    state->store = orbits::campaign_ephemerides();
    if (state->store->empty()) return {};
    return [state](long occupation, const std::string& satellite, double epoch) {
        if (occupation != state->occupation) state->open(occupation);
        const orbits::SkyDirection d = state->sky.direction(satellite.c_str(), epoch);
        SkyDirection out;
        if (d.found) {
            out.azimuth_deg = d.azimuth_deg;
            out.elevation_deg = d.elevation_deg;
        }
        return out;
    };
}
