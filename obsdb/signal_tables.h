// The signals of an occupation: which observation code each slot of each
// system holds (zzSIG) and the GLONASS frequency channels its header gives
// (zzFRQ), stored by the observation read and read by the computations
// that need carrier frequencies.
#pragma once

#include <vector>

#include "obsdb/nav_tables.h"

// Stores the records of one occupation (their occ_ref is set here), creating
// the tables when the campaign has none; nothing is opened for empty lists.
void store_occupation_signals(long occupation, std::vector<sig_record> signals,
                              std::vector<frq_record> channels);

// The codes in the five slots of `system` in the occupation; false (and all
// codes "") when the read stored none (RINEX 2 files: the slots hold the
// RINEX 2 types C1, P1, L1, P2, L2).
bool occupation_signal_codes(long occupation, char system, char codes[5][4]);

// The GLONASS frequency channel of satellite `slot` for an occupation: from
// the occupation's header where it gave one, else from any stored GLONASS
// ephemeris of that satellite (its frequency number). False when neither
// knows it.
bool glonass_channel(long occupation, int slot, int* channel);
