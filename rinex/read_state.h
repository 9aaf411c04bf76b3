// The state of one read of an observation file, shared by the driver that
// picks the format (rinex_reader.cpp) and the line loops of RINEX 2
// (rinex2_reader.cpp) and RINEX 3 (rinex3_reader.cpp). Used only inside
// rinex/.
#pragma once

#include <cstddef>
#include <string_view>

#include "input/observation_source.h"
#include "obsdb/occupation_writer.h"
#include "obsdb/schema.h"

struct ReadState {
    ReadState(Campaign& tables, input::ObservationSource& source, const char* file_name,
              bool no_obs_data);

    OccupationWriter writer;
    input::ObservationSource& source;
    const char* file_name;  // as given to the read
    const char* base_name;  // the file name without its folder

    // The current line without its line end, cut at its first NUL byte and
    // at line_size - 1 characters, and terminated in `text`.
    static constexpr std::size_t line_size = 255;
    char text[line_size] = {};
    std::string_view line;
    long line_count = 0;  // lines read, continuation lines included

    bool header_done = false;  // "END OF HEADER" seen, occupation stored, epoch tables open
    bool in_data = false;      // an epoch line has been seen
    long records_to_skip = 0;  // special records of an event still to pass over

    // The observations of the next record to store: the slots the file has
    // no type for keep value 0 and zero flags for the whole file.
    obs_value obs[OBS_SLOTS] = {};

    // When the progress dots were last put out (monotonic clock, ms).
    long dots_shown = -1;

    // Local time of the last epoch minute converted.
    int minute_fields[5] = {};
    double minute_time = 0;
    bool minute_valid = false;
};

// Reads the next line into st.line. False at the end of the file; a failed
// read or a damaged stream ends the read (fatal).
bool read_line(ReadState& st);

// A full stop on standard output every 100 lines.
void show_progress(ReadState& st);

// Writes "RINEX-file (Version %s, Type %s) found." with the first two words
// of the line.
void announce_version(const ReadState& st);

// Local time value of an epoch; the conversion is done once per minute.
double epoch_time(ReadState& st, int year, int month, int day, int hour, int minute,
                  double seconds);

// Ends the read with `reason`, naming the file, which is released first.
[[noreturn]] void refuse_file(ReadState& st, std::string_view reason);

// Rejects a file that reaches its data, or its end, without "END OF HEADER":
// nothing has been added, and the tables are closed so they stay readable.
[[noreturn]] void reject_headerless(ReadState& st);

// The line loops, from the first line (already in st.line) to the end.
void read_rinex2(ReadState& st);
void read_rinex3(ReadState& st);
// A navigation file, from its first line (in st.line) to the end: its
// ephemerides and header go into the navigation tables.
void read_navigation(ReadState& st);
