// The page of an occupation as the drawing elements see it: the plotted span
// and its horizontal scale, the interval, the satellite rows and the line
// styles of the S/N digits. All coordinates are centimetres of the page.
//
// The frame stands on y 0.7 and is divided into `bands` row bands of `pitch`
// centimetres, the top row first. Up to 27 bands the pitch is 0.65 cm and the
// frame grows with the rows; more rows share the height of 27 bands, down to
// half the pitch for 54 rows. Every vertical measure of a row (its L1 and L2
// lines, the loss-of-lock marks, the line widths) keeps its place within the
// band, scaled by pitch / 0.65. Below the frame lies the information block:
// lines at y 0.6, 0.3 and 0.0, and room for a fourth line at -0.3.
#pragma once

#include <string>

#include "plot/line_styles.h"

struct sn_page {
    double begin;                 // plotted span: time values of the left and right end
    double end;                   //   (the right frame edge stands one interval after end)
    double cm_per_second;         // horizontal scale
    int interval;                 // interval of the occupation in whole seconds
    int sv_rows;                  // satellite rows on this page, from the top band down
    int bands;                    // row bands of the frame: sv_rows, or more on a page of a series
    double pitch;                 // height of one row band
    double count_pitch;           // height of one level of the satellite-count curve
    int count_levels;             // levels the frame holds; the curve is drawn no higher
    const LineStyle* line_types;  // style of each S/N digit 0 to 9
};

// Row pitch of a frame of at most 27 bands.
inline constexpr double sn_full_pitch = 0.65;
// The frame's lower edge; rows hang above it, the information block below.
inline constexpr double sn_frame_bottom = 0.7;

// Lays the page out for `rows` rows in a frame of `bands` bands (at least
// `rows`) and a satellite-count curve of up to `count_levels` levels (at
// least `bands`, so the curve keeps inside the frame).
void set_page_rows(sn_page* page, int rows, int bands, int count_levels);

enum sn_frequency { SN_L1, SN_L2 };

// x of a time value: 2.0 + (t - begin) * cm_per_second.
double plot_x(const sn_page& page, double t);
// Height of the frame's inside: bands * pitch.
double frame_height(const sn_page& page);
// pitch / 0.65: the factor of every vertical measure and line width of a row.
double row_scale(const sn_page& page);
// Upper and lower edge of the band of the row with index `row` (0 = top).
double row_top(const sn_page& page, int row);
double row_bottom(const sn_page& page, int row);
// Height of the L1 or L2 line of a row: 0.2 and 0.4 cm below its top at full
// pitch.
double row_line_y(const sn_page& page, sn_frequency freq, int row);
// A line width of a row, in PostScript units, scaled with the pitch.
int row_line_width(const sn_page& page, int width);
// Height of count level m of the satellite-count curve; level 0 stands just
// above the frame's lower edge.
double count_level_y(const sn_page& page, int m);
// Step between the numbered levels of the count curve's scale: every level
// while they stand at least 8 pt apart, else every 2nd, 5th, 10th, ...
int count_label_step(const sn_page& page);

// Height of the information block's line `line` (0 to 3, the top line first).
double info_line_y(int line);

// How the occupation's file name (in Courier) is set under the station title,
// which stands centred on x 27.0 at the right end of the information block.
// A name that fits between the legend (x 25.0) and the paper's edge at 8 pt
// stays centred on the title. A longer one ends at x 28.9 and takes the
// largest size from 8 down to 5 pt at which it keeps 0.5 cm clear of the
// legend's title (x 22.25); one that is too long even at 5 pt keeps its
// beginning and its end around "...".
struct file_name_setting {
    std::string text;
    int size;      // points
    bool centred;  // centred on x; else its right end at x
    double x;
};
file_name_setting set_file_name(const std::string& name);

// Largest size from 8 down to 5 pt at which a Courier text of `length`
// characters is at most `room` centimetres wide; 0 when there is none.
int courier_size_to_fit(std::size_t length, double room);
