// The plot command: one signal/noise page per occupation.
#pragma once

#include "draw/canvas_factory.h"
#include "plot/line_styles.h"

// Writes one document per occupation in `format`, "<station>-<n>.ps" (.pdf,
// .svg, .png) with n counting the station's occupations in zzOCC key order.
// With a station name (a prefix of the marker name) only that station's
// first occupation is drawn, into "<station><n>.ps". SVG and PNG pages of an
// occupation of several pages go into one file each, "<station>-<n>-<k>.svg". `obs_table` names the
// observation table; begin and end limit the plotted span (-1 for none); `line_types` gives the
// style of each S/N digit 0 to 9. With `quality` (the quality check runs in
// the same run) every page marks the check's GF and MW slips and shows its
// figures.
void plot_occupations(const char* obs_table, bool show_lat_lon, bool landscape, double plot_begin,
                      double plot_end, const char* plot_station,
                      const LineStyle* line_types = default_sn_line_types, bool quality = false,
                      DrawFormat format = DrawFormat::ps);
