// The position of an occupation that distances are measured between.
#pragma once

#include "obsdb/campaign.h"

// The position stored from the observation file's header (zzCOR; all three
// coordinates zero means the header gave none). False when there is none:
// the check then takes the position it computes from the codes, where the
// campaign holds orbits for the occupation. zzOCC's record variable must hold
// the occupation; zzCOR must be open, and its record variable is left
// changed.
bool occupation_position(Campaign& c, double xyz[3]);
