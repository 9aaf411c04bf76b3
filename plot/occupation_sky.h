// Where the satellites of an occupation stood, for the sky pages.
#pragma once

#include "obsdb/campaign.h"
#include "plot/sky_gather.h"

// The look angles of the occupation's satellites from the campaign's
// orbits; an empty function when the campaign holds none for it.
SkyLook occupation_sky_look(Campaign& c, long occupation);
