// Rectangles and rectangular clipping.
#include "pslib/output_buffer.h"
#include "pslib/pslib.h"

using pslib_detail::OutputBuffer;
using pslib_detail::ps_round;

namespace {

// The closed path of a rectangle from (x, y) in measure units, with the
// operator that moves to its corner.
void put_box(OutputBuffer& line, double x, double y, double w, double h, const char* move) {
    const PsState& st = ps_state;
    const int ix = ps_round(x * st.units), iy = ps_round(y * st.units);
    const int iw = ps_round(w * st.units), ih = ps_round(h * st.units);
    line.num(ix).put(' ').num(iy).put(' ').put(move).put(' ');
    line.num(iw).put(" 0 D 0 ").num(ih).put(" D ").num(-static_cast<long long>(iw));
    line.put(" 0 D P");
    ps_state.pen_x = ix;
    ps_state.pen_y = iy;
    ps_state.path_len = 0;
}

}  // namespace

void ps_rectangle(double x, double y, double w, double h, int filled) {
    if (ps_state.out == nullptr) return;
    OutputBuffer line(ps_state.out);
    put_box(line, x, y, w, h, "M");
    line.put(filled ? " F\n" : " S\n");
}

void ps_clip_rectangle(double x, double y, double w, double h) {
    if (ps_state.out == nullptr) return;
    OutputBuffer line(ps_state.out);
    line.put("S V ");
    put_box(line, x, y, w, h, "m");
    line.put(" clip N\n");
}

void ps_unclip() {
    if (ps_state.out == nullptr) return;
    OutputBuffer(ps_state.out).put("S U\n");
    ps_state.path_len = 0;
}
