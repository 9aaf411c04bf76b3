#include "plot/elevation_page.h"

#include <algorithm>
#include <cstdio>

#include "plot/page_text.h"
#include "quality/frequencies.h"

namespace {

constexpr double count_line = 0.32;   // pitch of the count lines
constexpr double counts_bottom = 1.0;
constexpr double strip_bottom = 13.6;
constexpr double strip_top = 18.9;
constexpr int l1_width = 12, l2_width = 5, frame_width = 12, grid_width = 2;

void frame(Canvas& c, double x0, double y0, double x1, double y1) {
    c.move_to(x0, y0);
    c.line_to(x1, y0);
    c.line_to(x1, y1);
    c.line_to(x0, y1);
    c.line_to(x0, y0);
}

void use(Canvas& c, const SystemPaint& p) { c.paint(p.red, p.green, p.blue); }

// The curve of one frequency: straight lines through the bins' centres,
// broken at a bin without digits; a bin standing alone gets a short bar.
void curve(Canvas& c, double bottom, const long* sum, const long* count) {
    bool open = false;
    for (int b = 0; b < elevation_bins; ++b) {
        const double mean = mean_digit(sum[b], count[b]);
        const double x = elevation_x((b + 0.5) * elevation_bin_width);
        if (mean < 0) {
            open = false;
            continue;
        }
        const double y = digit_y(bottom, mean);
        const bool next = b + 1 < elevation_bins && count[b + 1] > 0;
        if (!open) {
            c.move_to(x, y);
            if (!next) c.line_to(x + 0.1, y);
        } else {
            c.line_to(x, y);
        }
        open = true;
    }
}

void draw_axes(Canvas& c, double bottom) {
    c.paint(170, 170, 170);
    c.line_width(grid_width);
    for (int d = 1; d <= 9; ++d) {
        c.move_to(elevation_frame_left, digit_y(bottom, d));
        c.line_to(elevation_frame_right, digit_y(bottom, d));
    }
    for (int e = 10; e < 90; e += 10) {
        c.move_to(elevation_x(e), bottom);
        c.line_to(elevation_x(e), elevation_frame_top);
    }
    c.paint(0, 0, 0);
    c.line_width(frame_width);
    frame(c, elevation_frame_left, bottom, elevation_frame_right, elevation_frame_top);
    c.font(0);
    for (int d = 0; d <= 9; ++d)
        put_text(c, elevation_frame_left - 0.15, digit_y(bottom, d), 8, text_right + text_middle,
                 "%d", d);
    for (int e = 0; e <= 90; e += 10)
        put_text(c, elevation_x(e), bottom - 0.12, 8, text_centre + text_top, "%d", e);
    put_text(c, elevation_frame_right, bottom - 0.12, 8, text_left + text_top, "  deg");
    c.text(elevation_frame_left - 0.9, (bottom + elevation_frame_top) / 2, 8,
           "mean signal/noise digit", 90.0, text_centre);
    c.font(4);
    c.text(elevation_frame_left, elevation_frame_top + 0.25, 12, "Signal against elevation", 0.0,
           text_left);
}

// Legend right of the title: per system its name, L1 and L2 line samples.
void draw_legend(Canvas& c, const std::vector<SystemElevation>& systems) {
    c.font(0);
    double x = 8.5;
    const double y = elevation_frame_top + 0.35;
    for (const SystemElevation& s : systems) {
        const SystemPaint p = system_paint(s.system);
        for (int f = 0; f < 2; ++f) {
            use(c, p);
            c.line_width(f == 0 ? l1_width : l2_width);
            c.move_to(x, y);
            c.line_to(x + 0.45, y);
            c.paint(0, 0, 0);
            put_text(c, x + 0.52, y, 7, text_left + text_middle, "%c L%d", s.system, f + 1);
            x += 1.3;
        }
    }
}

// Counts per bin, a line per system under the frame.
void draw_counts(Canvas& c, const std::vector<SystemElevation>& systems) {
    c.font(0);
    const int n = static_cast<int>(systems.size());
    for (int i = 0; i < n; ++i) {
        const SystemElevation& s = systems[i];
        const double y = counts_bottom + (n - 1 - i) * count_line;
        use(c, system_paint(s.system));
        put_text(c, elevation_frame_left - 0.15, y, 7, text_right + text_middle, "%c obs",
                 s.system);
        c.paint(0, 0, 0);
        for (int b = 0; b < elevation_bins; ++b)
            put_text(c, elevation_x((b + 0.5) * elevation_bin_width), y, 6,
                     text_centre + text_middle, "%ld", s.observations[b]);
    }
}

// Bars of the share present per 10 degree band, a band of bars per system.
void draw_completeness(Canvas& c, const std::vector<BandCompleteness>* completeness) {
    c.font(0);
    c.paint(0, 0, 0);
    put_text(c, elevation_frame_left, strip_top + 0.3, 8, text_left,
             "Observed of expected (L1), per 10 deg band of elevation, from the quality check");
    if (!completeness || completeness->empty()) {
        put_text(c, elevation_frame_left, (strip_bottom + strip_top) / 2, 8, text_left,
                 "(the quality check's completeness against the sky: draw with -g -i)");
        return;
    }
    const int n = static_cast<int>(completeness->size());
    const double pitch = std::min(1.2, (strip_top - strip_bottom) / n);
    for (int i = 0; i < n; ++i) {
        const BandCompleteness& s = (*completeness)[i];
        const double y0 = strip_top - (i + 1) * pitch;
        const double h = pitch - 0.15;
        use(c, system_paint(s.system));
        put_text(c, elevation_frame_left - 0.15, y0 + h / 2, 8, text_right + text_middle, "%c",
                 s.system);
        c.paint(0, 0, 0);
        c.line_width(grid_width);
        c.rectangle(elevation_frame_left, y0, elevation_frame_right - elevation_frame_left, h,
                    false);
        for (int b = 0; b < completeness_bands; ++b) {
            const double x0 = elevation_x(b * 10.0), x1 = elevation_x(b * 10.0 + 10.0);
            if (s.expected[b] <= 0) {
                c.paint(0, 0, 0);
                put_text(c, (x0 + x1) / 2, y0 + h / 2, 7, text_centre + text_middle, "-");
                continue;
            }
            const double share =
                std::min(1.0, static_cast<double>(s.present_l1[b]) / s.expected[b]);
            use(c, system_paint(s.system));
            if (share > 0) c.rectangle(x0 + 0.1, y0, (x1 - x0 - 0.2), h * share, true);
            c.paint(0, 0, 0);
            put_text(c, (x0 + x1) / 2, y0 + h + 0.02, 6, text_centre, "%.0f%%", 100.0 * share);
        }
    }
}

}  // namespace

double elevation_x(double elevation) {
    return elevation_frame_left +
           (elevation_frame_right - elevation_frame_left) * elevation / 90.0;
}

double elevation_frame_bottom(int systems) {
    return counts_bottom + std::max(systems, 1) * count_line + 0.45;
}

double digit_y(double bottom, double digit) {
    return bottom + (elevation_frame_top - bottom) * digit / 9.5;
}

SystemPaint system_paint(char system) {
    switch (system) {
        case 'G': return {0, 0, 200};
        case 'R': return {200, 0, 0};
        case 'E': return {0, 140, 0};
        case 'C': return {200, 110, 0};
        case 'J': return {140, 0, 160};
        case 'I': return {0, 140, 140};
        default: return {90, 90, 90};
    }
}

void draw_elevation_page(Canvas& c, const std::vector<SystemElevation>& systems,
                         const std::vector<BandCompleteness>* completeness) {
    const double bottom = elevation_frame_bottom(static_cast<int>(systems.size()));
    draw_axes(c, bottom);
    for (const SystemElevation& s : systems) {
        use(c, system_paint(s.system));
        c.line_width(l1_width);
        curve(c, bottom, s.l1_sum, s.l1_count);
        use(c, system_paint(s.system));
        c.line_width(l2_width);
        curve(c, bottom, s.l2_sum, s.l2_count);
    }
    draw_legend(c, systems);
    draw_counts(c, systems);
    draw_completeness(c, completeness);
}
