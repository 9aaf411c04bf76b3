// Formatted text on a signal/noise page.
#pragma once

// ps_put_text of a printf-formatted text (at most 255 characters), upright
// and filled.
void put_text(double x, double y, int size, int justify, const char* format, ...)
    __attribute__((format(printf, 5, 6)));
