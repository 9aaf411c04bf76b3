// The settings of one run, filled by the option scan and read by the commands.
#pragma once

#include <climits>

#include "plot/line_styles.h"

struct RunSettings {
    char read_file[PATH_MAX];  // a path of any length the system takes
    char list_file[256];
    char export_name[256];
    char table_file[256];  // -x: the observations as CSV
    char plot_station[65];
    bool do_read;
    bool do_list;
    bool do_export;
    bool do_table;
    bool do_plot;
    bool do_cycle_slips;
    bool no_obs_data;
    bool show_lat_lon;
    bool landscape;
    double plot_begin;            // time value, -1 = the occupation's first epoch
    double plot_end;              // time value, -1 = the occupation's last epoch
    LineStyle sn_line_types[10];  // style for each signal-strength digit 0 to 9
};

// The defaults; the S/N line types are those of the plots.
inline constexpr RunSettings default_run_settings = {
    "",
    "",
    "",
    "",
    "",
    false,
    false,
    false,
    false,
    false,
    false,
    false,
    true,
    true,
    -1,
    -1,
    {default_sn_line_types[0], default_sn_line_types[1], default_sn_line_types[2],
     default_sn_line_types[3], default_sn_line_types[4], default_sn_line_types[5],
     default_sn_line_types[6], default_sn_line_types[7], default_sn_line_types[8],
     default_sn_line_types[9]},
};

// The run's settings (one instance for the run).
extern RunSettings run_settings;

// The option letters of the command line; a letter followed by ':' takes a
// value attached to it.
inline constexpr const char option_letters[] = "Dp0gr:n:t:is:a:x:cd:b:e:";

// Reads a date and time "dd.mm.yy,hh:mm:ss" (local time; years below 70 are
// 20yy, 70 to 99 are 19yy; month 0 is December) into *time, -1 for a date
// that cannot be converted. False when the text holds fewer than six numbers.
bool parse_date_time(const char* text, double* time);

// Sets slots 0, 1, ... of `styles` from a comma-separated list of line types
// (at most ten). -1 to 9 select that type, other numbers type 0; a token that
// is not a number leaves its slot alone.
void set_line_types(const char* text, LineStyle styles[10]);

// Applies one option letter with its value (null when none) to run_settings.
// A missing or over-long value ends the program.
void apply_option(char letter, const char* value);

// Scans the command line into run_settings. An unknown option letter ends the
// program with status 1 after the scanner has reported it.
void scan_options(int argc, char* argv[]);
