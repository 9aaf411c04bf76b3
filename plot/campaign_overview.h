// The overview page of a campaign: a time axis over the whole campaign, a
// row per station with a bar per occupation, shaded by the quality check's
// observations per slip where it ran, and beside each row the stations it
// observed together with. Laid out here as plain data (what to draw where,
// page by page); overview_drawing.h draws it through a canvas.
#pragma once

#include <string>
#include <vector>

struct OverviewOccupation {
    std::string station;
    int number = 0;                // among the station's occupations, from 1
    double first = -1, last = -1;  // time values of its first and last epoch
    long observations = 0;         // counted by the quality check
    long slips = 0;
};

struct OverviewInput {
    std::vector<OverviewOccupation> occupations;
    bool checked = false;  // the quality check ran: observations and slips are known
};

// The shade of a bar: its class of observations per slip, or one shade when
// the check did not run, or none for an occupation without observations.
enum class BarShade { unchecked, many, some, few, empty };

// Observations per slip of at least 1,000 (a bar without slips too), 300 to
// 1,000, under 300.
BarShade shade_of(const OverviewOccupation& o, bool checked);

struct OverviewBox {
    double x, y, w, h;  // cm of the drawing, lower left corner
    BarShade shade;
};

struct OverviewText {
    double x, y;
    int size;     // points
    int font;     // 0 Helvetica, 1 Helvetica-Bold
    int justify;  // canvas anchors
    std::string text;
    bool alert = false;  // drawn in red: a station that observed with nobody
};

struct OverviewLine {
    double x0, y0, x1, y1;
    bool grid;  // a thin grey grid line, else a black frame line
};

struct OverviewPage {
    std::vector<OverviewBox> boxes;
    std::vector<OverviewLine> lines;
    std::vector<OverviewText> texts;
};

// The landscape drawing (a portrait page scales it) lies within these bounds.
inline constexpr double overview_left = 0.6, overview_right = 28.9;
inline constexpr double overview_bottom = 0.6, overview_top = 19.6;
inline constexpr int overview_rows_per_page = 22;

// The total time two stations observed together: the overlaps of their
// occupations' spans, in seconds, per other station (by name), longest first.
struct Partner {
    std::string station;
    double seconds;
};
std::vector<Partner> partners_of(const std::string& station, const OverviewInput& in);

// "45 min", "2.5 h", "3.1 d": a length of common time for the page.
std::string common_time_text(double seconds);

// The pages of the overview: stations in name order, overview_rows_per_page
// to a page.
std::vector<OverviewPage> lay_out_overview(const OverviewInput& in);
