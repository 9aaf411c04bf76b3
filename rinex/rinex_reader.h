// The observation reader: adds one observation file (RINEX 2, 3 or 4, plain,
// compact or compressed) to the campaign database as one occupation
// (station, position, receiver, antenna, occupation, and per epoch the
// satellites and their observations). The first line decides the format;
// the line loop of that format parses each line, and the occupation writer
// stores what it gives.
#pragma once

// Reads `file_name` into the database in the current folder. With
// `no_obs_data` the epochs still link their satellites to the occupation,
// but no observation records are written. Prints the line count and the
// number of observation records on standard output. A file that has epochs
// or ends before its "END OF HEADER" line is rejected (fatal).
void read_rinex(const char* file_name, bool no_obs_data);

// Closes the observation file of a read that an error report ended. The
// program ends after such a report, which closes it; a caller that goes on
// after the report (a test harness) calls this before it releases the files
// the read left open, so that the next read does not close a file by a
// number that is no longer its own.
void read_rinex_release();
