// Draws the laid-out pages of the campaign overview through a canvas, the
// same drawing for every back end.
#pragma once

#include "draw/canvas.h"
#include "plot/campaign_overview.h"

// Draws one page (between the canvas's begin_page and end_page).
void draw_overview_page(Canvas& canvas, const OverviewPage& page);
