#include "plot/page_geometry.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "plot/row_order.h"

void set_page_rows(sn_page* page, int rows, int bands, int count_levels) {
    page->sv_rows = rows;
    page->bands = std::max(bands, rows);
    page->pitch =
        page->bands <= sv_frame_rows ? sn_full_pitch : sv_frame_rows * sn_full_pitch / page->bands;
    const int levels = std::max(count_levels, page->bands);
    page->count_levels = levels;
    page->count_pitch =
        levels <= sv_frame_rows ? sn_full_pitch : sv_frame_rows * sn_full_pitch / levels;
}

double plot_x(const sn_page& page, double t) { return 2.0 + (t - page.begin) * page.cm_per_second; }

double frame_height(const sn_page& page) { return page.bands * page.pitch; }

double row_scale(const sn_page& page) { return page.pitch / sn_full_pitch; }

double row_top(const sn_page& page, int row) {
    return sn_frame_bottom + (page.bands - row) * page.pitch;
}

double row_bottom(const sn_page& page, int row) { return row_top(page, row + 1); }

double row_line_y(const sn_page& page, sn_frequency freq, int row) {
    return row_top(page, row) - (freq == SN_L1 ? 0.2 : 0.4) * row_scale(page);
}

int row_line_width(const sn_page& page, int width) {
    return static_cast<int>(std::lround(width * row_scale(page)));
}

double count_level_y(const sn_page& page, int m) {
    return sn_frame_bottom + page.count_pitch * (m + 1.0 / 13);
}

int count_label_step(const sn_page& page) {
    constexpr double min_spacing = 8 * 2.54 / 72;  // 8 pt in centimetres
    static const int steps[] = {1, 2, 5, 10, 20, 50, 100};
    for (int step : steps)
        if (step * page.count_pitch >= min_spacing) return step;
    return steps[std::size(steps) - 1];
}

double info_line_y(int line) { return 0.6 - 0.3 * line; }

namespace {

// Width of a Courier text of `length` characters at `size` points in
// centimetres: every character advances 0.6 of the size.
double courier_width(std::size_t length, int size) { return length * 0.6 * size * 2.54 / 72; }

constexpr double title_x = 27.0;        // centre of the station title
constexpr double legend_end = 25.1;     // right end of the legend, and a gap
constexpr double name_end = 28.9;       // right end of the room, clear of the edge
constexpr double legend_title = 22.75;  // right end of the legend's title, and 0.5 cm
constexpr int largest_size = 8, smallest_size = 5;

}  // namespace

int courier_size_to_fit(std::size_t length, double room) {
    for (int size = largest_size; size >= smallest_size; --size)
        if (courier_width(length, size) <= room) return size;
    return 0;
}

file_name_setting set_file_name(const std::string& name) {
    if (courier_width(name.size(), largest_size) <= 2 * (title_x - legend_end))
        return {name, largest_size, true, title_x};
    const double room = name_end - legend_title;
    if (const int size = courier_size_to_fit(name.size(), room))
        return {name, size, false, name_end};
    // Keep as much as fits, the beginning and the end of the name.
    std::size_t keep = 0;
    while (courier_width(keep + 1 + 3, smallest_size) <= room) ++keep;
    const std::size_t head = keep / 2, tail = keep - head;
    return {name.substr(0, head) + "..." + name.substr(name.size() - tail), smallest_size, false,
            name_end};
}
