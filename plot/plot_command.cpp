#include "plot/plot_driver.h"

#include <cstdio>

#include "obsdb/myfopen.h"
#include "plot/occupation_page.h"
#include "support/error.h"
#include "support/myalloc.h"

namespace {

// Files written so far per station; entry i belongs to the i-th zzSTA record.
int* station_plot_count = nullptr;
long station_entries = 0;

long count_stations() {
    long count = 0;
    for (long r = db_first(&plot_sta_db); r != 0; r = db_next(&plot_sta_db)) ++count;
    return count;
}

// The counter of the station with record number `sta_ref`, or null when the
// record lies outside the station table.
int* station_counter(long sta_ref) {
    constexpr long size = sizeof(sta_record);
    if (sta_ref <= 0 || sta_ref % size != 0 || sta_ref / size > station_entries) return nullptr;
    return &station_plot_count[sta_ref / size];
}

// Creates the file (ending the program with message 1 when it cannot be
// created) so that the page can write it.
void create_plot_file(const char* name) {
    std::fclose(checked_open(name, "wt"));
}

struct page_options {
    bool show_lat_lon;
    bool landscape;
    double begin;
    double end;
};

// Counts the page for the station in the record buffer, names the file with
// `name_format` (station name, count), creates it and draws the page.
void plot_page(int* counter, const char* name_format, const char* notice, long occupation,
               const page_options& o) {
    char name[1024];
    std::snprintf(name, sizeof name, name_format, plot_sta.marker_name, ++*counter);
    create_plot_file(name);
    message(notice, name);
    plot_occupation(name, occupation, o.show_lat_lon, o.landscape, o.begin, o.end);
}

void plot_all(const page_options& o) {
    for (long r = db_first(&plot_occ_db); r != 0; r = db_next(&plot_occ_db)) {
        int* counter = nullptr;
        if (db_read(&plot_occ_db, r) == r) counter = station_counter(plot_occ.sta_ref);
        if (!counter || db_read(&plot_sta_db, plot_occ.sta_ref) != plot_occ.sta_ref) {
            message("\noccupation %ld skipped: its station record %ld is not in zzSTA\n", r,
                    static_cast<long>(plot_occ.sta_ref));
            continue;
        }
        plot_page(counter, "%.61s-%d.ps", "\nplot into '%s'", r, o);
    }
}

void plot_station_only(const char* station, const page_options& o) {
    if (!db_find(&plot_sta_db, station)) return;
    long sta_no = db_current_record(&plot_sta_db);
    long occ = 0;
    for (long r = db_first(&plot_occ_db); r != 0 && occ == 0; r = db_next(&plot_occ_db))
        if (db_read(&plot_occ_db, r) == r && plot_occ.sta_ref == sta_no) occ = r;
    if (occ == 0) fatal("station not found.");
    int* counter = station_counter(sta_no);
    if (!counter || db_read(&plot_sta_db, sta_no) != sta_no) {
        message("\nstation record %ld is not in zzSTA; nothing drawn\n", sta_no);
        return;
    }
    plot_page(counter, "%.61s%d.ps", "plot into '%s'\n", occ, o);
}

}  // namespace

void plot_occupations(const char* obs_table, bool show_lat_lon, bool landscape, double plot_begin,
                      double plot_end, const char* plot_station) {
    plot_tables_open(obs_table);
    station_entries = count_stations();
    station_plot_count =
        static_cast<int*>(mem_calloc(static_cast<std::size_t>(station_entries + 1), sizeof(int)));
    const page_options options = {show_lat_lon, landscape, plot_begin, plot_end};
    if (plot_station == nullptr || plot_station[0] == '\0')
        plot_all(options);
    else
        plot_station_only(plot_station, options);
    plot_tables_close();
    mem_free(station_plot_count);
    station_plot_count = nullptr;
    std::printf("\nDone.\n");
}
