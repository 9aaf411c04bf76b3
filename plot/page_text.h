// Formatted text on a signal/noise page.
#pragma once

#include "draw/canvas.h"

// Canvas::text of a printf-formatted text (at most 255 characters), upright.
void put_text(Canvas& c, double x, double y, int size, int justify, const char* format, ...)
    __attribute__((format(printf, 6, 7)));
