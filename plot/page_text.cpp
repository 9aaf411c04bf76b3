#include "plot/page_text.h"

#include <cstdarg>
#include <cstdio>

void put_text(Canvas& c, double x, double y, int size, int justify, const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    c.text(x, y, size, text, 0.0, justify);
}
