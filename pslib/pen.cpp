// Pen moves and draws, line width, paint and font choice.
#include <climits>
#include <cstdio>

#include "pslib/output_buffer.h"
#include "pslib/pslib.h"

using pslib_detail::clamp_int;
using pslib_detail::OutputBuffer;
using pslib_detail::ps_round;
using pslib_detail::put_colour;

void ps_pen_to(double x, double y, int pen) {
    PsState& st = ps_state;
    if (st.out == nullptr) return;
    const int ix = ps_round(x * st.units);
    const int iy = ps_round(y * st.units);
    OutputBuffer line(st.out);
    if (pen == ps_pen_draw || pen == ps_pen_draw_stroke) {
        const long long dx = static_cast<long long>(ix) - st.pen_x;
        const long long dy = static_cast<long long>(iy) - st.pen_y;
        if (dx == 0 && dy == 0) return;
        line.num(dx).put(' ').num(dy).put(" D\n");
        ++st.path_len;
    } else {
        line.num(ix).put(' ').num(iy).put(" M\n");
        st.path_len = 1;
    }
    if (pen == ps_pen_draw_stroke) line.put("S\n");
    st.pen_x = ix;
    st.pen_y = iy;
    if (st.path_len > st.path_limit) {
        // Stroke the long path and go on with a new one from the same point.
        line.put("S ").num(ix).put(' ').num(iy).put(" M\n");
        st.path_len = 1;
    }
}

void ps_pen_by(double dx, double dy, int pen) {
    PsState& st = ps_state;
    if (st.out == nullptr) return;
    const int idx = ps_round(dx * st.units);
    const int idy = ps_round(dy * st.units);
    if (idx == 0 && idy == 0) return;
    OutputBuffer line(st.out);
    if (st.path_len < INT_MAX) ++st.path_len;
    line.num(idx).put(' ').num(idy);
    if (pen == ps_pen_draw || pen == ps_pen_draw_stroke) {
        line.put(" D\n");
    } else {
        line.put(" G\n");
        st.path_len = 1;
    }
    if (pen == ps_pen_draw_stroke) line.put("S\n");
    st.pen_x = clamp_int(static_cast<long long>(st.pen_x) + idx);
    st.pen_y = clamp_int(static_cast<long long>(st.pen_y) + idy);
}

void ps_select_font(int font) {
    if (font < 0 || font >= ps_font_count) {
        std::fprintf(stderr, "pslib: Selected font out of range (%d), ignored\n", font);
        return;
    }
    ps_state.font = font;
}

void ps_line_width(int width) {
    if (width < 0) {
        std::fprintf(stderr, "pslib: Selected linewidth is negative (%d), ignored\n", width);
        return;
    }
    if (ps_state.out == nullptr) return;
    OutputBuffer(ps_state.out).put("S ").num(width).put(" W\n");
}

void ps_paint(int red, int green, int blue) {
    if (red < 0 || red > 255 || green < 0 || green > 255 || blue < 0 || blue > 255) {
        std::fprintf(stderr, "pslib: Selected color is out of range (%d/%d/%d), ignored\n", red,
                     green, blue);
        return;
    }
    if (ps_state.out == nullptr) return;
    OutputBuffer line(ps_state.out);
    line.put("S ");
    put_colour(line, red, green, blue);
    line.put('\n');
}
