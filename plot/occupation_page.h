// The signal/noise page of one occupation, and the campaign tables the plots
// read (one handle and record buffer per table, opened once for all pages).
#pragma once

#include "db/mydb.h"
#include "obsdb/schema.h"

extern DbHandle plot_occ_db;
extern DbHandle plot_satocc_db;
extern DbHandle plot_sat_db;
extern DbHandle plot_obs_db;
extern DbHandle plot_sta_db;
extern DbHandle plot_cor_db;
extern DbHandle plot_ant_db;
extern DbHandle plot_rcv_db;

extern occ_record plot_occ;
extern satocc_record plot_satocc;
extern sat_record plot_sat;
extern obs_record plot_obs;
extern sta_record plot_sta;
extern cor_record plot_cor;
extern ant_record plot_ant;
extern rcv_record plot_rcv;

// Opens the eight tables, index 0 current on all but zzCOR; the observation
// table is named by `obs_table`.
void plot_tables_open(const char* obs_table);
void plot_tables_close();

// Writes the page of the occupation with record number `occupation` into a
// new PostScript document `file_name`. `begin` and `end` limit the plotted
// span; -1 stands for the occupation's first or last epoch. The tables must
// be open.
void plot_occupation(const char* file_name, long occupation, bool show_lat_lon, bool landscape,
                     double begin, double end);
