// The walk of a page over the observations of its occupation in zzOBS.
#pragma once

#include "obsdb/campaign.h"
#include "plot/sv_rows.h"

// Positions the zzOBS walk on the first observation of the occupation of
// `rows` at or after begin, with the observation in the record buffer. False
// when there is none.
bool find_first_epoch(Campaign& c, const sv_rows& rows, double begin);

// Moves the zzOBS walk on by one entry and reads its observation; false at
// the end of the index.
bool next_obs(Campaign& c);
