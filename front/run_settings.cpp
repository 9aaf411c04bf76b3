#include "front/run_settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "front/option_scan.h"
#include "obsdb/schema.h"
#include "support/error.h"

RunSettings run_settings = default_run_settings;

namespace {

// Copies an option value into its field; a missing value or one that does not
// fit is refused rather than cut.
template <std::size_t size>
void copy_value(char (&field)[size], const char* value) {
    if (!value || std::strlen(value) >= size) fatal("parameter expected.");
    std::strcpy(field, value);
}

double date_time_value(const char* value) {
    double time = -1;
    if (!value || !parse_date_time(value, &time)) fatal("date/time expected.");
    return time;
}

}  // namespace

bool parse_date_time(const char* text, double* time) {
    int day, month, year, hour, minute, second;
    if (std::sscanf(text, "%2d.%2d.%2d,%2d:%2d:%2d", &day, &month, &year, &hour, &minute,
                    &second) != 6)
        return false;
    year += year < 70 ? 2000 : 1900;
    *time = time_value(year, month, day, hour, minute, second);
    return true;
}

void set_line_types(const char* text, LineStyle styles[10]) {
    const char* token = text;
    for (int slot = 0; slot < 10; ++slot) {
        char* end = nullptr;
        const long type = std::strtol(token, &end, 10);
        if (end != token)
            styles[slot] = line_style(type >= -1 && type <= 9 ? static_cast<int>(type) : 0);
        token = std::strchr(token, ',');
        if (!token) break;
        ++token;
    }
}

void apply_option(char letter, const char* value) {
    RunSettings& s = run_settings;
    switch (letter) {
    case 'r':
        copy_value(s.read_file, value);
        s.do_read = true;
        break;
    case 's':
        copy_value(s.list_file, value);
        s.do_list = true;
        break;
    case 'a':
        copy_value(s.export_name, value);
        s.do_export = true;
        break;
    case 'x':
        copy_value(s.table_file, value);
        s.do_table = true;
        break;
    case 't':
        copy_value(s.plot_station, value);
        s.do_cycle_slips = true;
        break;
    case 'd':
        if (!value) fatal("parameter expected.");
        set_line_types(value, s.sn_line_types);
        break;
    case 'b': s.plot_begin = date_time_value(value); break;
    case 'e': s.plot_end = date_time_value(value); break;
    case 'g': s.do_plot = true; break;
    case 'i': s.do_cycle_slips = true; break;
    case '0': s.no_obs_data = true; break;
    case 'c': s.show_lat_lon = false; break;
    case 'p': s.landscape = false; break;
    default: break;  // -D, -n, -: and words without '-' change nothing
    }
}

void scan_options(int argc, char* argv[]) {
    opt_init(1, 1, '-');
    char* value = nullptr;
    for (char letter; (letter = opt_scan(argc, argv, option_letters, &value)) != opt_end;) {
        if (letter == '?') std::exit(1);
        apply_option(letter, value);
    }
}
