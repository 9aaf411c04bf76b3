// The signal/noise page of one occupation.
#pragma once

#include <memory>

#include "draw/canvas_factory.h"
#include "obsdb/campaign.h"
#include "orbits/ephemeris_store.h"
#include "plot/line_styles.h"

// Opens the eight tables the pages read, index 0 current on all but zzCOR;
// the observation table is named by `obs_table`.
void plot_tables_open(Campaign& c, const char* obs_table);
void plot_tables_close(Campaign& c);

// How the pages of a run are drawn.
struct plot_options {
    bool show_lat_lon;            // latitude, longitude and height instead of X, Y and Z
    bool landscape;               // else portrait
    double begin;                 // plotted span; -1 stands for the occupation's first
    double end;                   //   or last epoch
    const LineStyle* line_types;  // style of each S/N digit 0 to 9
    bool quality = false;         // the quality check's slip marks and figures (-g -i)
    DrawFormat format = DrawFormat::ps;
    // The campaign's ephemerides: where they give the occupation's satellites
    // a place in its sky, the sky plot and the page of signal against
    // elevation follow the signal/noise pages. None: no sky pages.
    std::shared_ptr<const orbits::EphemerisStore> ephemerides = nullptr;
};

// Writes the pages of the occupation with record number `occupation` into a
// new document `file_name` in the options' format (SVG and PNG: one file per
// page, page_file_name). The tables must be open.
void plot_occupation(Campaign& c, const char* file_name, long occupation, const plot_options& o);
