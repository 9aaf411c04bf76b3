// The page of signal against elevation: per system, the mean L1 and L2
// signal digit in 5 degree bins of elevation as curves on one frame, the
// number of observations per bin under it, and above it the share of the
// expected observations present in each 10 degree band (from the quality
// check's completeness against the sky) where the check ran.
//
// Coordinates are centimetres of the landscape drawing; the information
// block below is drawn by the caller.
#pragma once

#include <vector>

#include "draw/canvas.h"
#include "plot/sky_gather.h"

// Observations expected above the elevation mask and present, per 10
// degree band of elevation (band 0 is 0 to 10 degrees).
inline constexpr int completeness_bands = 9;
struct BandCompleteness {
    char system = 0;
    long expected[completeness_bands] = {};
    long present_l1[completeness_bands] = {};
};

// Left and right end of the frame; x of an elevation in degrees.
inline constexpr double elevation_frame_left = 3.0;
inline constexpr double elevation_frame_right = 27.0;
double elevation_x(double elevation);

// Where the frame's lower edge stands for `systems` systems (their count
// lines fill the room below it).
double elevation_frame_bottom(int systems);
inline constexpr double elevation_frame_top = 12.4;
// y of a mean digit (0 to 9) in a frame standing on `bottom`.
double digit_y(double bottom, double digit);

// Paint of a system's curves and bars.
struct SystemPaint {
    int red, green, blue;
};
SystemPaint system_paint(char system);

void draw_elevation_page(Canvas& c, const std::vector<SystemElevation>& systems,
                         const std::vector<BandCompleteness>* completeness);
