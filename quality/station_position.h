// The position of an occupation that distances are measured between.
#pragma once

#include "obsdb/campaign.h"

// The position stored from the observation file's header (zzCOR; all three
// coordinates zero means the header gave none); where there is none, the
// position computed from the observations and orbits. False when neither is
// known. zzOCC's record variable must hold the occupation; zzCOR must be
// open, and its record variable is left changed.
bool occupation_position(Campaign& c, long occupation, double xyz[3]);

// The position computed for an occupation from its observations and the
// broadcast orbits, ECEF XYZ in metres; false when none has been computed.
// This is the one place the baselines take a computed position from: the
// campaign stores none yet, so there is never one.
bool computed_position(Campaign& c, long occupation, double xyz[3]);
