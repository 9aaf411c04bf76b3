#include "draw/canvas_factory.h"

#include <cstring>

#include "draw/ps_canvas.h"
#ifdef LUMERAK_HAVE_CAIRO
#include "draw/cairo_canvas.h"
#endif

namespace {

struct FormatName {
    const char* name;
    DrawFormat format;
    const char* extension;
};

constexpr FormatName format_names[] = {
    {"ps", DrawFormat::ps, ".ps"},
    {"pdf", DrawFormat::pdf, ".pdf"},
    {"svg", DrawFormat::svg, ".svg"},
    {"png", DrawFormat::png, ".png"},
};

}  // namespace

bool parse_draw_format(const char* name, DrawFormat* format) {
    if (name == nullptr) return false;
    for (const FormatName& f : format_names) {
        if (std::strcmp(name, f.name) == 0) {
            *format = f.format;
            return true;
        }
    }
    return false;
}

const char* draw_format_names() { return "ps, pdf, svg, png"; }

const char* draw_format_extension(DrawFormat format) {
    for (const FormatName& f : format_names)
        if (f.format == format) return f.extension;
    return ".ps";
}

bool draw_format_available(DrawFormat format) {
#ifdef LUMERAK_HAVE_CAIRO
    (void)format;
    return true;
#else
    return format == DrawFormat::ps;
#endif
}

std::unique_ptr<Canvas> make_canvas(DrawFormat format) {
    if (format == DrawFormat::ps) return std::make_unique<PsCanvas>();
#ifdef LUMERAK_HAVE_CAIRO
    return std::make_unique<CairoCanvas>(format);
#else
    return nullptr;
#endif
}
