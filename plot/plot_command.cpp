#include "plot/plot_command.h"

#include <cstdio>
#include <string>

#include "orbits/occupation_sky.h"
#include "plot/occupation_page.h"
#include "db/output_file.h"
#include "support/error.h"
#include "support/memory.h"
#include "support/untrusted_text.h"

namespace {

// Files written so far per station; entry i belongs to the i-th zzSTA record.
int* station_plot_count = nullptr;
long station_entries = 0;

long count_stations(Campaign& c) {
    long count = 0;
    for (long r = db_first(&c.sta_db); r != 0; r = db_next(&c.sta_db)) ++count;
    return count;
}

// The counter of the station with record number `sta_ref`, or null when the
// record lies outside the station table.
int* station_counter(long sta_ref) {
    constexpr long size = sizeof(sta_record);
    if (sta_ref <= 0 || sta_ref % size != 0 || sta_ref / size > station_entries) return nullptr;
    return &station_plot_count[sta_ref / size];
}

// Ends the program with message 1 when the PostScript page's file cannot be
// created; the file itself is replaced only by the finished page. The other
// formats' files are created by their back end, which ends the program alike.
void check_plot_file(const char* name) { output_abandon(output_create(name)); }

// Counts the page for the station in the record buffer, names the file with
// `name_format` (station name, count) as a plain name in the current folder
// and the format's extension, and draws the page. SVG and PNG files of
// several pages are named by page from it.
void plot_page(Campaign& c, int* counter, const char* name_format, const char* notice,
               long occupation, const plot_options& o) {
    char formatted[1024];
    std::snprintf(formatted, sizeof formatted, name_format, c.sta.marker_name, ++*counter);
    const std::string name = plain_file_name(formatted) + draw_format_extension(o.format);
    if (o.format == DrawFormat::ps) check_plot_file(name.c_str());
    message(notice, name.c_str());
    plot_occupation(c, name.c_str(), occupation, o);
}

void plot_all(Campaign& c, const plot_options& o) {
    for (long r = db_first(&c.occ_db); r != 0; r = db_next(&c.occ_db)) {
        c.read_checked(CampaignTable::occ, r);
        int* counter = station_counter(c.occ.sta_ref);
        if (!counter || db_read(&c.sta_db, c.occ.sta_ref) != c.occ.sta_ref) {
            message("\noccupation %ld skipped: its station record %ld is not in zzSTA\n", r,
                    static_cast<long>(c.occ.sta_ref));
            continue;
        }
        plot_page(c, counter, "%.61s-%d", "\nplot into '%s'", r, o);
    }
}

void plot_station_only(Campaign& c, const char* station, const plot_options& o) {
    if (!db_find(&c.sta_db, station)) return;
    long sta_no = db_current_record(&c.sta_db);
    long occ = 0;
    for (long r = db_first(&c.occ_db); r != 0 && occ == 0; r = db_next(&c.occ_db)) {
        c.read_checked(CampaignTable::occ, r);
        if (c.occ.sta_ref == sta_no) occ = r;
    }
    if (occ == 0) fatal("station not found.");
    int* counter = station_counter(sta_no);
    if (!counter || db_read(&c.sta_db, sta_no) != sta_no) {
        message("\nstation record %ld is not in zzSTA; nothing drawn\n", sta_no);
        return;
    }
    plot_page(c, counter, "%.61s%d", "plot into '%s'\n", occ, o);
}

}  // namespace

void plot_occupations(const char* obs_table, bool show_lat_lon, bool landscape, double plot_begin,
                      double plot_end, const char* plot_station, const LineStyle* line_types,
                      bool quality, DrawFormat format) {
    Campaign c;
    plot_tables_open(c, obs_table);
    station_entries = count_stations(c);
    station_plot_count =
        static_cast<int*>(mem_calloc(static_cast<std::size_t>(station_entries + 1), sizeof(int)));
    plot_options options{};
    options.show_lat_lon = show_lat_lon;
    options.landscape = landscape;
    options.begin = plot_begin;
    options.end = plot_end;
    options.line_types = line_types;
    options.quality = quality;
    options.ephemerides = orbits::campaign_ephemerides();
    options.format = format;
    if (plot_station == nullptr || plot_station[0] == '\0')
        plot_all(c, options);
    else
        plot_station_only(c, plot_station, options);
    plot_tables_close(c);
    mem_free(station_plot_count);
    station_plot_count = nullptr;
    std::printf("\nDone.\n");
}
