// The azimuth and elevation columns of the observation table (-x) from the
// campaign's navigation data: each occupation's sky (orbits/occupation_sky.h)
// seen from its header position or, where that is zero, from the position
// computed from its codes. Without ephemerides the columns stay empty.
#pragma once

#include <memory>

#include "export/observation_table.h"

// Reads the campaign's ephemerides once; the directions it gives keep one
// occupation's sky at a time (the table walks occupation by occupation),
// so the satellites' tracks serve the epochs in time order.
SkyDirections campaign_sky_directions();
