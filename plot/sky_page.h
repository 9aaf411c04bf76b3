// The sky-plot page of an occupation: each satellite's track across the sky
// as seen from the station, north up and azimuth clockwise, the distance
// from the centre growing with the zenith angle (the horizon on the outer
// circle). Tracks are drawn in the line style of their L1 signal digit, as
// the rows of the signal/noise pages are; small squares mark a loss of lock
// and blue crosses the quality check's slips.
//
// All coordinates are centimetres of the landscape drawing (as on the
// signal/noise pages): the plot stands left, its key right, the information
// block below it is drawn by the caller.
#pragma once

#include <string>
#include <vector>

#include "draw/canvas.h"
#include "plot/line_styles.h"
#include "plot/sky_gather.h"

inline constexpr double sky_centre_x = 10.6;
inline constexpr double sky_centre_y = 10.1;
inline constexpr double sky_radius = 8.2;        // the horizon
inline constexpr double sky_label_margin = 1.0;  // names may stand this far outside it
inline constexpr double sky_mask = 10.0;         // elevation mask drawn, degrees

struct SkyXY {
    double x;
    double y;
};
// Page position of an azimuth and elevation in degrees.
SkyXY sky_position(double azimuth, double elevation);

// A box a text takes on the page.
struct LabelBox {
    double x0, y0, x1, y1;
};
bool boxes_overlap(const LabelBox& a, const LabelBox& b, double gap);

// The box of a Helvetica text of `length` characters at `size` points
// centred on (x, y): wide enough for capitals and digits.
LabelBox text_box(double x, double y, std::size_t length, int size);

// A name to set beside a track, at one of its ends.
struct LabelWish {
    std::string text;
    SkyXY ends[2];  // the track's end, then its start
    int ends_count; // 1 for a track of one point
};

// Where the names go: near their track's end (else its start), moving away
// from it step by step until the name overlaps no name set before it and no
// obstacle, and stays inside the plot circle and its margin. A name that finds
// no such place within 3 cm stands at its track's end; `placed_freely`
// counts the others.
struct PlacedLabel {
    std::string text;
    LabelBox box;  // the text is centred in it
};
std::vector<PlacedLabel> place_labels(const std::vector<LabelWish>& wishes,
                                      const std::vector<LabelBox>& obstacles, int size,
                                      int* placed_freely = nullptr);

inline constexpr int sky_label_size = 8;

// Draws the plot, the tracks with their marks and names, and the key.
void draw_sky_plot(Canvas& c, const std::vector<SatelliteSky>& satellites,
                   const LineStyle* line_types);
