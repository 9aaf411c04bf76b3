// Line formats of RINEX 2 observation files: header lines, epoch and event
// lines, satellite continuation lines and observation fields. Functions over
// one line each: no file, no table, no global state. A line is passed
// without its line end, cut at its first NUL byte and at 254 characters, and
// terminated there (line.data()[line.size()] is '\0').
//
// A RINEX 2 file is read line by line. A line holding a header label
// anywhere is a header line, wherever it stands; the other lines are epoch or
// event lines, satellite continuation lines of a long epoch, or the
// observation lines of the epoch's satellites, one or more per satellite.
#pragma once

#include <string_view>

#include "obsdb/schema.h"
#include "rinex/rinex_header.h"

inline constexpr int rinex2_max_types = 64;        // observation types that can be mapped
inline constexpr int rinex2_sats_per_line = 12;    // satellites on an epoch or continuation line
inline constexpr int rinex2_sat_list_column = 32;  // where a satellite list starts
inline constexpr int rinex2_fields_per_line = 5;   // observation fields on one line

// ---------------------------------------------------------------------------
// Header lines.

// The first label, in the order of HeaderLabel up to "LEAP SECONDS", that
// occurs anywhere in the line; `none` when it holds none.
HeaderLabel rinex2_header_label(std::string_view line);

// Stores what one header line gives (columns count from 1); fields a
// conversion cannot read keep their content:
//   MARKER NAME           marker_name = first word of the line; sta_flags = 0
//   MARKER NUMBER         marker_number = first word of the line
//   OBSERVER / AGENCY     observer = columns 1-20, agency = columns 21-60, not trimmed
//   REC # / TYPE / VERS   rcv_number = columns 1-20, rcv_type = columns 21-40, blanks trimmed
//   ANT # / TYPE          ant_number = columns 1-20, ant_type = columns 21-40, blanks trimmed
//   APPROX POSITION XYZ   pos_x, pos_y, pos_z: the first three numbers; cor_flag = blank
//   ANTENNA: DELTA H/E/N  delta_h, delta_e, delta_n: the first three numbers; occ_flag = blank
//   INTERVAL              interval: the first integer (30.000 gives 30)
// Other labels store nothing.
void rinex2_store_header_line(HeaderLabel label, std::string_view line,
                              const HeaderRecords& records);

// "WAVELENGTH FACT L1/2": the default line (no satellite count in columns
// 13-18, or 0) sets wlf_l1 and wlf_l2 and gives true; a line with a count
// holds the factors of single satellites, is not stored and gives false.
bool rinex2_store_wavelength_line(std::string_view line, occ_record* occ);

// The observation types of the file: for each type in file order its slot
// (obs_slot) or -1.
struct Rinex2Types {
    int count = 0;   // types announced by the first "# / TYPES OF OBSERV" line
    int listed = 0;  // type words taken so far
    bool seen = false;
    int slot[rinex2_max_types];
    Rinex2Types();
};

// The first "# / TYPES OF OBSERV" line gives the count and the first types;
// lines without a count continue its list until the count is reached. Later
// lines with a count change nothing. A type word maps to the first of C1,
// P1, L1, P2, L2 it contains.
void rinex2_add_types_line(Rinex2Types* types, std::string_view line);

// Lines of observations of one satellite for `type_count` types.
int rinex2_lines_per_satellite(int type_count);

// ---------------------------------------------------------------------------
// Epoch and event lines.

enum class Rinex2Record {
    none,             // not an epoch or event line
    epoch,            // flags 0 and 1: `count` satellites, listed from `satellites` on
    cycle_slips,      // flag 6: the satellite list of a cycle-slip record
    special_records,  // flags 2-5: `count` special records follow
};

struct Rinex2Epoch {
    int year = 0;  // two digits as written
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    double seconds = 0;
    int flag = 0;
    long count = 0;               // satellites or special records as written; 0 when unreadable
    std::string_view satellites;  // the satellite list after the count (epochs, cycle slips)
};

// An epoch line is year, month, day, hour and minute as numbers of at most
// two characters with separators that are no digits (the last one no full
// stop either), the seconds, the flag and the satellite count; an event
// line without a time has 28 blanks, a flag 2 to 5 and the record count.
// Lines in the usual fixed columns (" yy mm dd hh mm ss.sssssss  f nn")
// are taken apart directly; any other layout the same way as a scanf
// format of those fields would.
Rinex2Record rinex2_read_epoch_line(std::string_view line, Rinex2Epoch* epoch);

// A satellite continuation line: 32 blanks, then the list.
bool rinex2_is_sat_continuation(std::string_view line);

// ---------------------------------------------------------------------------
// Observation lines.

// Field `field` (0 to 4) of an observation line: 14 columns of value, the
// loss-of-lock indicator and the signal strength. Parts cut off by the end
// of the line are blank (value 0). A value that is no plain decimal number
// is read as strtod reads it.
void rinex2_read_field(std::string_view line, int field, obs_value* out);
