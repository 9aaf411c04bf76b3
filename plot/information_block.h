// The information block below the frame and the footer along the right edge
// of a signal/noise page.
#pragma once

#include "draw/canvas.h"
#include "obsdb/campaign.h"
#include "quality/occupation_check.h"

// Station, position, receiver, antenna, offsets, interval, the occupation's
// first and last epoch and its file name, read through the occupation in the
// record buffer; with `pages` above 1 also "Page:  k of n", followed by
// `page_name` where one is given ("Sky"). The fourth line of the block
// (info_line_y(3)) is left free.
void draw_information(Canvas& canvas, Campaign& c, bool show_lat_lon, int page, int pages,
                      const char* page_name = nullptr);

// The quality check's figures of the occupation on the fourth line of the
// block: slips by test with the observations per slip, and the RMS of MP1
// and MP2 per system.
void draw_quality_line(Canvas& c, const OccupationQuality& q);

// Program, version, credits and today's date, reading down the right edge.
void draw_footer(Canvas& c);
