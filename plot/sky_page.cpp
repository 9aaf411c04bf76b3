#include "plot/sky_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "plot/page_text.h"

namespace {

constexpr double radians = std::numbers::pi / 180.0;
constexpr double point_cm = 2.54 / 72.0;

// Names stay at least a point clear of each other and of the plot's texts.
constexpr double label_gap = 1.0 * point_cm;

// Line widths in drawing units (1/300 cm) and paints of the plot's parts.
constexpr int horizon_width = 12;
constexpr int mask_width = 8;
constexpr int circle_width = 2;
constexpr int mark_width = 4;
constexpr int slip_width = 6;
constexpr int circle_grey = 170;
constexpr int mask_red = 220, mask_green = 120, mask_blue = 0;
constexpr int slip_red = 0, slip_green = 0, slip_blue = 200;

void line(Canvas& c, SkyXY a, SkyXY b) {
    c.move_to(a.x, a.y);
    c.line_to(b.x, b.y);
}

// A circle of equal elevation, as a polygon of 180 sides.
void elevation_circle(Canvas& c, double elevation) {
    c.move_to(sky_position(0, elevation).x, sky_position(0, elevation).y);
    for (int a = 2; a <= 360; a += 2) {
        const SkyXY p = sky_position(a, elevation);
        c.line_to(p.x, p.y);
    }
}

bool inside_region(const LabelBox& b) {
    const double limit = sky_radius + sky_label_margin;
    const double corners[4][2] = {{b.x0, b.y0}, {b.x1, b.y0}, {b.x0, b.y1}, {b.x1, b.y1}};
    for (const auto& k : corners)
        if (std::hypot(k[0] - sky_centre_x, k[1] - sky_centre_y) > limit) return false;
    return true;
}

// The texts of the plot itself (directions, azimuths, elevations), which the
// names keep clear of.
struct PlotText {
    double x, y;
    int size;
    int font;
    std::string text;
};

std::vector<PlotText> plot_texts() {
    std::vector<PlotText> out;
    static const char* const cardinal[4] = {"N", "E", "S", "W"};
    for (int a = 0; a < 360; a += 30) {
        const double r = sky_radius + 0.4;
        const double x = sky_centre_x + r * std::sin(a * radians);
        const double y = sky_centre_y + r * std::cos(a * radians);
        char text[8];
        std::snprintf(text, sizeof text, "%d", a);
        if (a % 90 == 0)
            out.push_back({x, y, 12, 1, cardinal[a / 90]});
        else
            out.push_back({x, y, 7, 0, text});
    }
    for (int e = 15; e < 90; e += 15) {
        const SkyXY p = sky_position(0, e);
        char text[8];
        std::snprintf(text, sizeof text, "%d", e);
        out.push_back({p.x + 0.25, p.y + 0.15, 7, 0, text});
    }
    return out;
}

void draw_grid(Canvas& c) {
    // Spokes every 30 degrees of azimuth and circles every 15 of elevation.
    c.paint(circle_grey, circle_grey, circle_grey);
    c.line_width(circle_width);
    for (int a = 0; a < 360; a += 30) line(c, sky_position(a, 90), sky_position(a, 0));
    for (int e = 15; e < 90; e += 15) elevation_circle(c, e);
    c.paint(mask_red, mask_green, mask_blue);
    c.line_width(mask_width);
    elevation_circle(c, sky_mask);
    c.paint(0, 0, 0);
    c.line_width(horizon_width);
    elevation_circle(c, 0);
    for (const PlotText& t : plot_texts()) {
        c.font(t.font);
        c.text(t.x, t.y, t.size, t.text.c_str(), 0.0, text_centre + text_middle);
    }
}

void lock_loss_mark(Canvas& c, SkyXY p) {
    constexpr double half = 0.06;
    c.rectangle(p.x - half, p.y - half, 2 * half, 2 * half, false);
}

void slip_cross(Canvas& c, SkyXY p) {
    constexpr double arm = 0.1;
    c.move_to(p.x - arm, p.y - arm);
    c.line_to(p.x + arm, p.y + arm);
    c.move_to(p.x - arm, p.y + arm);
    c.line_to(p.x + arm, p.y - arm);
}

void style_of(Canvas& c, const LineStyle* line_types, char digit) {
    const LineStyle& s = line_types[digit >= '0' && digit <= '9' ? digit - '0' : 0];
    c.paint(s.grey, s.grey, s.grey);
    c.line_width(s.width);
}

// A track in straight pieces between its points, each in the style of the
// digit at its start; a piece's style changes only where the digit does.
void draw_track(Canvas& c, const SatelliteSky& s, const LineStyle* line_types) {
    char style = 0;
    for (std::size_t i = 0; i + 1 < s.points.size(); ++i) {
        const SkyPoint& a = s.points[i];
        const SkyPoint& b = s.points[i + 1];
        if (b.starts_line) continue;
        const SkyXY pa = sky_position(a.azimuth, a.elevation);
        const SkyXY pb = sky_position(b.azimuth, b.elevation);
        const bool joined = i > 0 && !a.starts_line && style == a.digit;
        if (!joined) {
            style_of(c, line_types, a.digit);
            style = a.digit;
            c.move_to(pa.x, pa.y);
        }
        c.line_to(pb.x, pb.y);
    }
    // A point standing alone (one observation between gaps) as a dot.
    for (std::size_t i = 0; i < s.points.size(); ++i) {
        const bool alone =
            s.points[i].starts_line && (i + 1 == s.points.size() || s.points[i + 1].starts_line);
        if (!alone) continue;
        style_of(c, line_types, s.points[i].digit);
        style = 0;
        const SkyXY p = sky_position(s.points[i].azimuth, s.points[i].elevation);
        c.move_to(p.x - 0.02, p.y);
        c.line_to(p.x + 0.02, p.y);
    }
}

void draw_key(Canvas& c, const std::vector<SatelliteSky>& satellites, const LineStyle* line_types) {
    constexpr double x = 21.2;
    c.paint(0, 0, 0);
    c.font(4);
    c.text(x, 18.6, 15, "Sky plot", 0.0, text_left + text_top);
    c.font(0);
    put_text(c, x, 17.6, 8, text_left + text_top, "%zu satellites seen from the station",
             satellites.size());
    put_text(c, x, 17.2, 8, text_left + text_top, "North up, azimuth clockwise,");
    put_text(c, x, 16.8, 8, text_left + text_top, "elevation circles every 15 deg");
    put_text(c, x, 15.9, 8, text_left + text_top, "Track: L1 signal/noise");
    for (int v = 0; v <= 9; ++v) {
        const double y = 15.3 - v * 0.4;
        style_of(c, line_types, static_cast<char>('0' + v));
        c.move_to(x, y);
        c.line_to(x + 1.4, y);
        c.paint(0, 0, 0);
        put_text(c, x + 1.7, y, 8, text_left + text_middle, "%d", v);
    }
    double y = 10.9;
    c.paint(0, 0, 0);
    c.line_width(mark_width);
    lock_loss_mark(c, {x + 0.7, y});
    put_text(c, x + 1.7, y, 8, text_left + text_middle, "loss of lock");
    y -= 0.5;
    c.paint(slip_red, slip_green, slip_blue);
    c.line_width(slip_width);
    slip_cross(c, {x + 0.7, y});
    c.paint(0, 0, 0);
    put_text(c, x + 1.7, y, 8, text_left + text_middle, "slip (quality check)");
    y -= 0.5;
    c.line_width(horizon_width);
    line(c, {x, y}, {x + 1.4, y});
    put_text(c, x + 1.7, y, 8, text_left + text_middle, "horizon");
    y -= 0.5;
    c.paint(mask_red, mask_green, mask_blue);
    c.line_width(mask_width);
    line(c, {x, y}, {x + 1.4, y});
    c.paint(0, 0, 0);
    put_text(c, x + 1.7, y, 8, text_left + text_middle, "%.0f deg elevation mask", sky_mask);
}

}  // namespace

SkyXY sky_position(double azimuth, double elevation) {
    const double r = sky_radius * (90.0 - elevation) / 90.0;
    return {sky_centre_x + r * std::sin(azimuth * radians),
            sky_centre_y + r * std::cos(azimuth * radians)};
}

bool boxes_overlap(const LabelBox& a, const LabelBox& b, double gap) {
    return a.x0 < b.x1 + gap && b.x0 < a.x1 + gap && a.y0 < b.y1 + gap && b.y0 < a.y1 + gap;
}

LabelBox text_box(double x, double y, std::size_t length, int size) {
    // Helvetica capitals and digits are at most 0.72 of the size wide and
    // 0.72 high; a little more on each side keeps descenders in.
    const double w = static_cast<double>(length) * 0.72 * size * point_cm;
    const double h = 0.8 * size * point_cm;
    return {x - w / 2, y - h / 2, x + w / 2, y + h / 2};
}

std::vector<PlacedLabel> place_labels(const std::vector<LabelWish>& wishes,
                                      const std::vector<LabelBox>& obstacles, int size,
                                      int* placed_freely) {
    static const double distances[] = {0.3, 0.45, 0.65, 0.9, 1.2, 1.6, 2.0, 2.5, 3.0};
    static const double turns[] = {0, 45, -45, 90, -90, 135, -135, 180};
    std::vector<PlacedLabel> placed;
    int freely = 0;
    for (const LabelWish& w : wishes) {
        bool found = false;
        LabelBox best{};
        for (double d : distances) {
            for (int e = 0; e < w.ends_count && !found; ++e) {
                const SkyXY a = w.ends[e];
                double ux = a.x - sky_centre_x, uy = a.y - sky_centre_y;
                const double n = std::hypot(ux, uy);
                const double base = n > 1e-6 ? std::atan2(uy, ux) : std::numbers::pi / 2;
                for (double t : turns) {
                    const double angle = base + t * radians;
                    const LabelBox b = text_box(a.x + d * std::cos(angle),
                                                a.y + d * std::sin(angle), w.text.size(), size);
                    if (!inside_region(b)) continue;
                    bool clear = true;
                    for (const LabelBox& o : obstacles) clear = clear && !boxes_overlap(b, o, label_gap);
                    for (const PlacedLabel& p : placed)
                        clear = clear && !boxes_overlap(b, p.box, label_gap);
                    if (clear) {
                        best = b;
                        found = true;
                        break;
                    }
                }
            }
            if (found) break;
        }
        if (!found) {
            ++freely;
            best = text_box(w.ends[0].x, w.ends[0].y, w.text.size(), size);
        }
        placed.push_back({w.text, best});
    }
    if (placed_freely) *placed_freely = freely;
    return placed;
}

void draw_sky_plot(Canvas& c, const std::vector<SatelliteSky>& satellites,
                   const LineStyle* line_types) {
    draw_grid(c);
    for (const SatelliteSky& s : satellites) draw_track(c, s, line_types);
    c.paint(0, 0, 0);
    c.line_width(mark_width);
    for (const SatelliteSky& s : satellites)
        for (const SkyMark& m : s.lock_losses)
            lock_loss_mark(c, sky_position(m.azimuth, m.elevation));
    c.paint(slip_red, slip_green, slip_blue);
    c.line_width(slip_width);
    for (const SatelliteSky& s : satellites)
        for (const SkyMark& m : s.slips) slip_cross(c, sky_position(m.azimuth, m.elevation));

    // Names at the ends of their tracks.
    std::vector<LabelBox> obstacles;
    for (const PlotText& t : plot_texts()) obstacles.push_back(text_box(t.x, t.y, t.text.size(), t.size));
    std::vector<LabelWish> wishes;
    for (const SatelliteSky& s : satellites) {
        LabelWish w{s.id, {}, 0};
        if (!s.points.empty()) {
            const SkyPoint& last = s.points.back();
            const SkyPoint& first = s.points.front();
            w.ends[0] = sky_position(last.azimuth, last.elevation);
            w.ends[1] = sky_position(first.azimuth, first.elevation);
            w.ends_count = s.points.size() > 1 ? 2 : 1;
        } else {
            const SkyMark& m = s.lock_losses.empty() ? s.slips.front() : s.lock_losses.front();
            w.ends[0] = sky_position(m.azimuth, m.elevation);
            w.ends_count = 1;
        }
        wishes.push_back(w);
    }
    c.paint(0, 0, 0);
    c.font(0);
    for (const PlacedLabel& p : place_labels(wishes, obstacles, sky_label_size))
        c.text((p.box.x0 + p.box.x1) / 2, (p.box.y0 + p.box.y1) / 2, sky_label_size,
               p.text.c_str(), 0.0, text_centre + text_middle);
    draw_key(c, satellites, line_types);
}
