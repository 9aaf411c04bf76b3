#include "plot/page_geometry.h"

namespace {

// Row and count-level pitch.
constexpr double row_pitch = 0.65;

}  // namespace

double plot_x(const sn_page& page, double t) { return 2.0 + (t - page.begin) * page.cm_per_second; }

double row_line_y(const sn_page& page, sn_frequency freq, int row) {
    double top = freq == SN_L1 ? 0.5 : 0.3;
    return page.sv_rows * row_pitch + top - row * row_pitch;
}

double count_level_y(int m) { return m * row_pitch + 0.75; }
