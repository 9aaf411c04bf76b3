// Line formats of RINEX 3 and 4 observation files, and the decision which
// reader a file goes to. Pure functions over one line each: no file, no
// table, no global state.
//
// How the RINEX 3 line loop (rinex3_reader.cpp) uses them, storing through
// the occupation writer as the RINEX 2 loop does:
//
//  1. The first line of the file goes to rinex_classify_first_line. A refused
//     file ends the read with its reason before any table is opened; version
//     2 goes to the RINEX 2 loop; compact RINEX goes to the compact decoder,
//     whose first decoded line is classified again (compact 1.0 must hold
//     RINEX 2, compact 3.0 RINEX 3 or 4).
//  2. Header lines up to "END OF HEADER": rinex3_header_label names the label
//     in columns 61-80. SYS / # / OBS TYPES lines (with their continuation
//     lines) go to rinex3_add_types_line; the other labels go to
//     rinex3_store_header_line, which fills the same sta, cor, rcv, ant and
//     occ records the RINEX 2 formats fill. On "ANTENNA: DELTA H/E/N" the
//     loop also has the writer set rinex_file and occ_ordinal, as for RINEX
//     2. At "END OF HEADER" (wavelength factors set to 1 and 1 here) the loop
//     builds the plan with rinex3_make_plan and the writer links station,
//     position, receiver, antenna and occupation.
//  3. Data lines: rinex3_read_epoch_line. An epoch (flags 0 and 1) sets the
//     current time (time_value of its date fields) and the number of
//     satellite lines that follow; special records (flags 2-5, header lines)
//     and cycle-slip records (flag 6, satellite lines) are passed over, that
//     many lines, storing nothing.
//  4. Each satellite line of an epoch: rinex3_read_sat_line gives the
//     satellite identifier and the five observation slots. The writer links
//     the satellite to the occupation (zzSAT found or added, zzSATOCC found
//     or added) and stores the line as one obs_record with the epoch's time
//     value. A RINEX 3 epoch line carries no satellite list: the satellites
//     of an epoch are those of its satellite lines.
//
// Lines are passed without their line end; a trailing carriage return is
// ignored all the same, so CR LF files read like LF files.
#pragma once

#include <string_view>

#include "obsdb/schema.h"
#include "rinex/rinex_header.h"

// ---------------------------------------------------------------------------
// Which reader a file goes to, from its first line.

enum class rinex_format {
    rinex2_obs,  // RINEX 2.xx observation data: the RINEX 2 reader
    rinex3_obs,  // RINEX 3.xx or 4.xx observation data: the RINEX 3 reader
    compact1,    // compact RINEX 1.0 (RINEX 2 inside)
    compact3,    // compact RINEX 3.0 (RINEX 3 or 4 inside)
    navigation,  // RINEX 2, 3 or 4 navigation data (type 'N', or 'G' for GLONASS)
    refused,     // anything else; `reason` says why
};

struct rinex_first_line {
    rinex_format format = rinex_format::refused;
    double version = 0;     // the version as written (2.11, 3.04, 1.0 for compact 1.0)
    char file_type = ' ';   // column 21 of a RINEX line ('O' for observation data)
    char reason[100] = {};  // empty unless refused
};

// Classifies "RINEX VERSION / TYPE" (version F9.2 in columns 1-9, file type
// in column 21) and "CRINEX VERS   / TYPE" (version in columns 1-20), each
// label in columns 61-80. A first line with neither label there, a version
// that cannot be read, a version
// other than 2, 3 or 4 (compact: other than 1.0 and 3.0), or a file type
// other than 'O' (observation data), 'N' or 'G' (navigation data) is refused.
rinex_first_line rinex_classify_first_line(std::string_view line);

// ---------------------------------------------------------------------------
// Header lines.

enum rinex3_label {
    R3_VERSION,        // "RINEX VERSION / TYPE"
    R3_MARKER_NAME,    // "MARKER NAME"
    R3_MARKER_NUMBER,  // "MARKER NUMBER"
    R3_OBSERVER,       // "OBSERVER / AGENCY"
    R3_RECEIVER,       // "REC # / TYPE / VERS"
    R3_ANTENNA_TYPE,   // "ANT # / TYPE"
    R3_POSITION,       // "APPROX POSITION XYZ"
    R3_ANTENNA_DELTA,  // "ANTENNA: DELTA H/E/N"
    R3_INTERVAL,       // "INTERVAL"
    R3_FIRST_OBS,      // "TIME OF FIRST OBS"
    R3_OBS_TYPES,      // "SYS / # / OBS TYPES"
    R3_END_OF_HEADER,  // "END OF HEADER"
    R3_OTHER_LABEL,    // a label this reader skips (COMMENT, PGM / RUN BY / DATE, ...)
    R3_NO_LABEL,       // columns 61-80 blank or missing
};

// The label in columns 61-80 (trailing blanks ignored).
rinex3_label rinex3_header_label(std::string_view line);

// Stores what one header line gives; columns count from 1:
//   MARKER NAME           marker_name = first word of columns 1-60; sta_flags = 0
//   MARKER NUMBER         marker_number = first word of columns 1-20
//   OBSERVER / AGENCY     observer = columns 1-20, agency = columns 21-60, not trimmed
//   REC # / TYPE / VERS   rcv_number = columns 1-20, rcv_type = columns 21-40, blanks trimmed
//   ANT # / TYPE          ant_number = columns 1-20, ant_type = columns 21-40, blanks trimmed
//   APPROX POSITION XYZ   pos_x, pos_y, pos_z = columns 1-14, 15-28, 29-42; cor_flag = blank
//   ANTENNA: DELTA H/E/N  delta_h, delta_e, delta_n = columns 1-14, 15-28, 29-42; occ_flag = blank
//   INTERVAL              interval = columns 1-10 in whole seconds, cut toward zero
//   END OF HEADER         wlf_l1 = wlf_l2 = 1 (RINEX 3 has no wavelength factors)
// The columns are those of RINEX 2 for the same labels. A number that cannot
// be read keeps the field's previous value. The name and number are the
// first word of their own columns, so a blank name stays empty instead of
// taking a word of the label. Other labels store nothing.
void rinex3_store_header_line(rinex3_label label, std::string_view line,
                              const HeaderRecords& records);

// ---------------------------------------------------------------------------
// Epoch records.

struct rinex3_epoch {
    int year = 0;  // four digits
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    double seconds = 0;
    int flag = 0;
    int count = 0;          // satellite lines, special records or cycle-slip records that follow
    bool has_time = false;  // false only for special records written without a date
};

enum class rinex3_record_kind {
    not_epoch,        // not an epoch record line
    epoch,            // flags 0 and 1: `count` satellite lines follow
    special_records,  // flags 2-5: `count` header lines follow
    cycle_slips,      // flag 6: `count` satellite lines of cycle slips follow
};

// '>' in column 1, then year (columns 3-6), month (8-9), day (11-12), hour
// (14-15), minute (17-18), seconds F11.7 (19-29), flag (32) and count
// (33-35); a receiver clock offset after that is allowed and not read. The
// date must be complete and in range for flags 0, 1 and 6; special records
// may leave it blank. Anything else is not an epoch record line.
rinex3_record_kind rinex3_read_epoch_line(std::string_view line, rinex3_epoch* epoch);

// "TIME OF FIRST OBS": year, month, day, hour, minute (5I6, columns 1-30),
// then in columns 31-60 the seconds (F13.7, columns 31-43) and the time
// system (columns 49-51, empty when absent), taken as words because some
// writers shift both by a column. False when the time cannot be read.
bool rinex3_read_first_obs(std::string_view line, rinex3_epoch* time, char time_system[4]);

// ---------------------------------------------------------------------------
// Observation types and the five slots C1, P1, L1, P2, L2.

inline constexpr int rinex3_max_types = 64;    // types kept per system; later ones get no slot
inline constexpr int rinex3_max_systems = 26;  // one per system letter

// The type list of one system.
struct rinex3_system_types {
    char system = ' ';
    int count = 0;   // types announced (fields on each satellite line)
    int listed = 0;  // types read so far, at most rinex3_max_types
    char type[rinex3_max_types][4] = {};
};

// All "SYS / # / OBS TYPES" lines of a header.
struct rinex3_type_lists {
    rinex3_system_types systems[rinex3_max_systems];
    int system_count = 0;
    int continuing = -1;  // list that continuation lines extend; -1 none, -2 ignored
};

// Adds one "SYS / # / OBS TYPES" line: system letter (column 1), count
// (columns 4-6) and up to 13 types of three characters (columns 8-10,
// 12-14, ..., 56-58), or, with columns 1-6 blank, up to 13 more types of the
// list before. A system's first list counts; a second one for the same
// system is ignored with its continuation lines. False for a line that is
// neither (no system letter or no count, or a continuation without a list).
bool rinex3_add_types_line(rinex3_type_lists* lists, std::string_view line);

// Slots chosen for one system.
struct rinex3_selection {
    int type_count = 0;                  // fields on each satellite line
    int slot_of_type[rinex3_max_types];  // per type: its slot (obs_slot) or -1
    int type_of_slot[OBS_SLOTS];         // per slot: index of its type or -1
    int strength_type[OBS_SLOTS];        // L1, L2: index of the S type of that signal or -1
};

// Per slot the first type of the system's preference list that the file's
// list holds (preference order, not file order). Systems other than G, R,
// E, C, J, S and I get no slots.
rinex3_selection rinex3_select_slots(const rinex3_system_types& types);

// The selections of all systems of a header, found by system letter.
struct rinex3_plan {
    bool present[rinex3_max_systems] = {};
    rinex3_selection selection[rinex3_max_systems];
};

void rinex3_make_plan(const rinex3_type_lists& lists, rinex3_plan* plan);

// The selection for a satellite's system letter (a blank means G), or null
// when the header lists no types for it.
const rinex3_selection* rinex3_plan_for(const rinex3_plan& plan, char system);

// Signal-strength digit of a carrier-to-noise density in dB-Hz: '1' below
// 12, then one step per 6 dB-Hz ('2' for 12 to under 18, ... '8' for 48 to
// under 54), '9' from 54; a blank for 0 (no value) and below.
char rinex3_strength_digit(double db_hz);

// One satellite line: the satellite (columns 1-3) and fields of 16 columns
// from column 4 in the order of its system's type list: 14 columns of value
// (F14.3), loss-of-lock indicator, signal strength. `satellite` gets the
// identifier as system letter and two digits ("G05"; a blank letter is G, a
// blank tens digit 0). All five slots are written: a slot with a type gets
// the value of its field (0 when cut off or blank) and the two flag
// characters as they stand (blanks when cut off); the L1 and L2 slots take
// their strength from the S type where their own digit is blank; a slot
// without a type in this system gets value 0 and zero flag bytes, as in a
// RINEX 2 file without that type. False, and nothing written, when columns
// 1-3 are not a satellite identifier.
bool rinex3_read_sat_line(std::string_view line, const rinex3_plan& plan, char satellite[4],
                          obs_value obs[OBS_SLOTS]);
