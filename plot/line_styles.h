// The line styles of the signal/noise plots.
#pragma once

// A line style: grey level 0 (black) to 255 (white) and line width in
// PostScript units.
struct LineStyle {
    int grey;
    int width;
};

// The eleven line types that can be chosen, for types -1 to 9 (index type + 1).
inline constexpr LineStyle line_styles[11] = {
    {255, 0}, {200, 8}, {160, 8}, {160, 12}, {120, 12}, {120, 16},
    {80, 18}, {80, 24}, {40, 28}, {40, 36},  {0, 40},
};

// The style of line type `type` (-1 to 9).
inline constexpr LineStyle line_style(int type) { return line_styles[type + 1]; }

// The defaults for signal-strength digits 0 to 9: line type 3 for digits
// 0-3, 6 for 4-6, 9 for 7-9.
inline constexpr LineStyle default_sn_line_types[10] = {
    line_style(3), line_style(3), line_style(3), line_style(3), line_style(6),
    line_style(6), line_style(6), line_style(9), line_style(9), line_style(9),
};
