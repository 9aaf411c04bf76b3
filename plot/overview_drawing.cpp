#include "plot/overview_drawing.h"

namespace {

struct Colour {
    int r, g, b;
};

// Light shades, so that the black occupation numbers stay legible on them.
Colour colour_of(BarShade shade) {
    switch (shade) {
    case BarShade::many: return {140, 205, 140};   // green: at least 1,000 per slip
    case BarShade::some: return {240, 205, 90};    // amber: 300 to 1,000
    case BarShade::few: return {235, 120, 110};    // red: under 300
    case BarShade::empty: return {255, 255, 255};  // an outline only
    case BarShade::unchecked: break;
    }
    return {170, 185, 215};  // one shade when the check did not run
}

}  // namespace

void draw_overview_page(Canvas& canvas, const OverviewPage& page) {
    canvas.line_width(0);
    canvas.paint(190, 190, 190);
    for (const OverviewLine& l : page.lines)
        if (l.grid) {
            canvas.move_to(l.x0, l.y0);
            canvas.line_to(l.x1, l.y1);
        }
    canvas.line_width(3);
    canvas.paint(0, 0, 0);
    for (const OverviewLine& l : page.lines)
        if (!l.grid) {
            canvas.move_to(l.x0, l.y0);
            canvas.line_to(l.x1, l.y1);
        }
    for (const OverviewBox& b : page.boxes) {
        const Colour c = colour_of(b.shade);
        canvas.paint(c.r, c.g, c.b);
        canvas.rectangle(b.x, b.y, b.w, b.h, true);
        canvas.paint(0, 0, 0);
        canvas.line_width(2);
        canvas.rectangle(b.x, b.y, b.w, b.h, false);
    }
    int font = -1;
    bool red = false;
    for (const OverviewText& t : page.texts) {
        if (t.font != font) canvas.font(font = t.font);
        if (t.alert != red) {
            red = t.alert;
            canvas.paint(red ? 200 : 0, 0, 0);
        }
        canvas.text(t.x, t.y, t.size, t.text.c_str(), 0.0, t.justify);
    }
}
