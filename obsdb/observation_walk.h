// The observations of one occupation, found without reading those of every
// earlier occupation: the walk the quality check and the pages share.
#pragma once

#include "obsdb/campaign.h"

// Reads the observations stored from an occupation's first one on into the
// record variable, one at a time; the caller tells where the occupation
// ends (the next one's observations follow). The table zzSATOCC must be
// open, zzOBS too unless the campaign has none.
//
// The reader stores the observations of one file together and in reading
// order, and numbers occupations in reading order too, so the occupation of
// observation record k never decreases with k: halving over the record
// numbers finds the start of the block. Where a record on the way cannot be
// followed to its occupation, or the records looked at are out of that
// order, the index is walked from its start instead.
//
// zzOBS is keyed by record number, and every observation is keyed as it is
// stored and never removed, so the index holds the records in the order of
// their numbers. Where the halving found the occupation's first record, the
// walk therefore steps from record number to record number, which reads the
// file straight through instead of every index page as well; otherwise it
// follows the index.
class ObservationWalk {
public:
    explicit ObservationWalk(Campaign& c) : c_(c) {}
    // Reads the occupation's first observation; false when it has none.
    bool start(long occupation);
    // Reads the next observation; false after the last of the table.
    bool next();

private:
    Campaign& c_;
    long number_ = 0;  // record number of the observation read last
    bool by_number_ = false;
};
