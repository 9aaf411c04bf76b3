// The output formats of the pages and the back end that draws each.
#pragma once

#include <memory>

#include "draw/canvas.h"

enum class DrawFormat { ps, pdf, svg, png };

// The format named `name` ("ps", "pdf", "svg", "png"); false for any other.
bool parse_draw_format(const char* name, DrawFormat* format);

// "ps, pdf, svg, png": the names parse_draw_format knows, for messages.
const char* draw_format_names();

// File name extension of the format, with its dot (".pdf").
const char* draw_format_extension(DrawFormat format);

// True when the program was built with cairo, which draws PDF, SVG and PNG.
bool draw_format_available(DrawFormat format);

// Resolution of PNG pages, dots per inch.
inline constexpr int png_dots_per_inch = 150;

// A new canvas drawing in `format`; null when the program was built without
// the back end of the format.
std::unique_ptr<Canvas> make_canvas(DrawFormat format);
