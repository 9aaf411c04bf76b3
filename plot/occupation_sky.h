// Where the satellites of an occupation stood, for the sky pages.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "obsdb/campaign.h"
#include "orbits/ephemeris_store.h"
#include "plot/sky_gather.h"

// The look angles of the satellites of the occupation in the record buffer
// (zzCOR open) from the campaign's ephemerides; an empty function when there
// are none, or the occupation has no position to see them from.
SkyLook occupation_sky_look(Campaign& c, std::shared_ptr<const orbits::EphemerisStore> store);

// Whether the ephemerides serve one of the satellites `ids` (from index 1)
// at one of the time values `epochs`: the campaign may hold ephemerides of
// other days only.
bool ephemerides_serve(const orbits::EphemerisStore* store, const std::vector<std::string>& ids,
                       const std::vector<double>& epochs);
