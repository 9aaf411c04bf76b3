// The page of an occupation as the drawing elements see it: the plotted span
// and its horizontal scale, the interval, the satellite rows and the line
// styles of the S/N digits. All coordinates are centimetres of the page.
#pragma once

#include "plot/line_styles.h"

struct sn_page {
    double begin;                 // plotted span: time values of the left and right end
    double end;                   //   (the right frame edge stands one interval after end)
    double cm_per_second;         // horizontal scale
    int interval;                 // interval of the occupation in whole seconds
    int sv_rows;                  // satellite rows
    const LineStyle* line_types;  // style of each S/N digit 0 to 9
};

enum sn_frequency { SN_L1, SN_L2 };

// x of a time value: 2.0 + (t - begin) * cm_per_second.
double plot_x(const sn_page& page, double t);
// Height of the L1 or L2 line of the row with index `row` (0 = top row).
double row_line_y(const sn_page& page, sn_frequency freq, int row);
// Height of count level m of the satellite-count curve.
double count_level_y(int m);
