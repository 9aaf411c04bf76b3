// The signal/noise page of one occupation.
#pragma once

#include "obsdb/campaign.h"

// Opens the eight tables the pages read, index 0 current on all but zzCOR;
// the observation table is named by `obs_table`.
void plot_tables_open(Campaign& c, const char* obs_table);
void plot_tables_close(Campaign& c);

// Writes the page of the occupation with record number `occupation` into a
// new PostScript document `file_name`. `begin` and `end` limit the plotted
// span; -1 stands for the occupation's first or last epoch. The tables must
// be open.
void plot_occupation(Campaign& c, const char* file_name, long occupation, bool show_lat_lon,
                     bool landscape, double begin, double end);
