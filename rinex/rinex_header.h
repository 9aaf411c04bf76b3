// What the RINEX 2 and RINEX 3 line formats share: the header labels, the
// records a header fills, and the helpers that take fixed columns apart.
// Lines are views without their line end; a column the line does not reach
// counts as absent.
#pragma once

#include <cstddef>
#include <string_view>

#include "obsdb/schema.h"

// ---------------------------------------------------------------------------
// Columns.

// Columns [first, first + count) as far as the line reaches (0-based).
inline std::string_view columns(std::string_view line, std::size_t first, std::size_t count) {
    if (first >= line.size()) return {};
    return line.substr(first, count);
}

// Columns 61-80, where a header line has its label.
inline std::string_view label_columns(std::string_view line) { return columns(line, 60, 20); }

// Without leading and trailing blanks (only ' ').
std::string_view trimmed(std::string_view text);

// The first blank-delimited word of `text`.
std::string_view first_word(std::string_view text);

// Without a trailing carriage return or line feed.
std::string_view without_line_end(std::string_view line);

// Copies `text` into a text field of `size` bytes, cut to fit and
// terminated; the bytes after the terminator are left as they are.
void copy_text(char* field, std::size_t size, std::string_view text);

// As copy_text, with the bytes after the terminator set to zero.
void store_text(char* field, std::size_t size, std::string_view text);

// An observation value in F14.3 layout: up to ten columns of integer part
// (leading blanks, an optional sign, digits), the point, three decimals. Its
// value is that of plain_decimal for the same text; false for any other
// layout, which plain_decimal or the caller's own rules then take.
bool f14_3_value(const char* text, double* value);

// A plain decimal number filling `text`: leading blanks, an optional sign,
// 1 to 15 digits with at most one decimal point, then only blanks. Its value
// is correctly rounded (digits and power of ten are exact doubles, so one
// division rounds once). False for anything else, which the caller converts
// by its own rules.
bool plain_decimal(std::string_view text, double* value);

// ---------------------------------------------------------------------------
// Header labels.

// In the order a RINEX 2 line is searched for them: the first label found
// anywhere in the line decides (a line can hold a label inside its content).
// `types3` comes last, as RINEX 2 does not know it.
enum class HeaderLabel {
    version,        // "RINEX VERSION / TYPE"
    program,        // "PGM / RUN BY / DATE"
    comment,        // "COMMENT"
    marker_name,    // "MARKER NAME"
    marker_number,  // "MARKER NUMBER"
    observer,       // "OBSERVER / AGENCY"
    receiver,       // "REC # / TYPE / VERS"
    antenna_type,   // "ANT # / TYPE"
    position,       // "APPROX POSITION XYZ"
    antenna_delta,  // "ANTENNA: DELTA H/E/N"
    wavelength,     // "WAVELENGTH FACT L1/2"
    types2,         // "# / TYPES OF OBSERV"
    interval,       // "INTERVAL"
    first_obs,      // "TIME OF FIRST OBS"
    last_obs,       // "TIME OF LAST OBS"
    satellites,     // "# OF SATELLITES"
    prn_obs,        // "PRN / # OF OBS"
    end_of_header,  // "END OF HEADER"
    ion_alpha,      // "ION ALPHA"
    ion_beta,       // "ION BETA"
    delta_utc,      // "DELTA-UTC: A0,A1,T,W"
    leap_seconds,   // "LEAP SECONDS"
    types3,         // "SYS / # / OBS TYPES"
    none,           // no label (columns 61-80 blank or missing)
    other,          // a label that is none of the above
};

// The text of a label (`none` and `other` have none: "").
std::string_view header_label_text(HeaderLabel label);

// The label standing in columns 61-80, trailing blanks ignored: `none` when
// those columns are blank or missing, `other` for a text that is no label
// above.
HeaderLabel header_label_in_columns(std::string_view line);

// The records a header fills (the reader's record buffers).
struct HeaderRecords {
    sta_record* sta;
    cor_record* cor;
    rcv_record* rcv;
    ant_record* ant;
    occ_record* occ;
};
