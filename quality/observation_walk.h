// The observations of one occupation, found without reading those of every
// earlier occupation.
#pragma once

#include "obsdb/campaign.h"

// Positions the zzOBS walk (index and record variable) on the first
// observation of `occupation`; false when the occupation has none. The
// table zzSATOCC must be open, zzOBS too unless the campaign has none.
//
// The reader stores the observations of one file together and in reading
// order, and numbers occupations in reading order too, so the occupation of
// observation record k never decreases with k: halving over the record
// numbers finds the start of the block. Where a record on the way cannot be
// followed to its occupation, or the records looked at are out of that
// order, the index is walked from its start instead.
bool seek_occupation_observations(Campaign& c, long occupation);
