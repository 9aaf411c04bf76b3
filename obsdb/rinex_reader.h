// The RINEX 2 observation reader: adds one observation file to the campaign
// database as one occupation (station, position, receiver, antenna,
// occupation, and per epoch the satellites and their observations).
#pragma once

// Reads `file_name` into the database in the current folder. With
// `no_obs_data` the epochs still link their satellites to the occupation,
// but no observation records are written. Prints the line count and the
// number of observation records on standard output. A file that has epochs
// or ends before its "END OF HEADER" line is rejected (fatal).
void read_rinex(const char* file_name, bool no_obs_data);

// Opens or creates the epoch tables zzSATOCC and zzSAT and, unless
// `no_obs_data`, zzOBS, each with its index.
void open_epoch_tables(bool no_obs_data);
