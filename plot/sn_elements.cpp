#include "plot/sn_elements.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// Count curve: light red, width 10 at full pitch and never below 4.
// Loss-of-lock marks: black, width 4 at full pitch.
constexpr int count_red = 255, count_green = 100, count_blue = 100, count_width = 10;
constexpr int count_min_width = 4;
constexpr int mark_width = 4;
// Slip marks: dark blue crosses, width 6 at full pitch.
constexpr int slip_red = 0, slip_green = 0, slip_blue = 200, slip_width = 6;

constexpr double tick_units[12] = {1,     10,    60,    600,    1800,   3600,
                                   21600, 43200, 86400, 172800, 345600, 604800};
constexpr double tick_divisors[11] = {1, 2, 2, 2, 3, 3, 6, 6, 6, 8, 8};

// Calendar fields of the whole second of t in local time. A time the platform
// cannot convert gives the fields of 1 January 1900, 00:00:00.
std::tm local_fields(double t) {
    std::tm fields{};
    fields.tm_mday = 1;
    double whole = std::floor(t);
    if (!(whole > -1e15 && whole < 1e15)) return fields;
    std::time_t seconds = static_cast<std::time_t>(whole);
    std::tm converted{};
    if (localtime_r(&seconds, &converted)) fields = converted;
    return fields;
}

void line(Canvas& c, double x0, double y0, double x1, double y1) {
    c.move_to(x0, y0);
    c.line_to(x1, y1);
}

void count_curve_style(Canvas& c, const sn_page& page) {
    c.paint(count_red, count_green, count_blue);
    const long width = std::lround(count_width * page.count_pitch / sn_full_pitch);
    c.line_width(static_cast<int>(std::max<long>(width, count_min_width)));
}

// The since/class/next fields of one frequency of a slot.
struct freq_fields {
    double* since;
    char* sn_class;
    char* next;
};

freq_fields fields_of(sv_slot* slot, sn_frequency freq) {
    if (freq == SN_L1) return {&slot->l1_since, &slot->l1_class, &slot->l1_next};
    return {&slot->l2_since, &slot->l2_class, &slot->l2_next};
}

// Draws the open segment of one frequency from its start to `to`, if the
// row has one. Returns true when it drew.
bool draw_open_segment(Canvas& c, const sn_page& page, const sv_slot* slot, sn_frequency freq,
                       double to, int row) {
    double since = freq == SN_L1 ? slot->l1_since : slot->l2_since;
    char sn_class = freq == SN_L1 ? slot->l1_class : slot->l2_class;
    if (sn_class == 0) return false;
    double y = row_line_y(page, freq, row);
    sn_class_style(c, page, sn_class);
    line(c, plot_x(page, since), y, plot_x(page, to), y);
    return true;
}

}  // namespace

void sn_class_style(Canvas& c, const sn_page& page, char sn_class) {
    int digit = sn_class >= '0' && sn_class <= '9' ? sn_class - '0' : 0;
    const LineStyle& style = page.line_types[digit];
    c.paint(style.grey, style.grey, style.grey);
    c.line_width(row_line_width(page, style.width));
}

void segment_change(Canvas& c, const sn_page& page, sv_slot* slot, sn_frequency freq, double t,
                    int row) {
    draw_open_segment(c, page, slot, freq, t, row);
    freq_fields f = fields_of(slot, freq);
    *f.sn_class = *f.next;
    *f.since = t;
}

void segment_gap(Canvas& c, const sn_page& page, sv_slot* slot, sn_frequency freq, double t,
                 int row) {
    const int interval = page.interval;
    freq_fields f = fields_of(slot, freq);
    bool drew = draw_open_segment(c, page, slot, freq, t - interval, row);
    if (!drew && *f.next != 0 && interval > 0) {
        // First seen in the epoch before the gap: its line covers that
        // epoch's interval and ends there, instead of opening after the gap
        // and running over it to the next epoch.
        double y = row_line_y(page, freq, row);
        sn_class_style(c, page, *f.next);
        line(c, plot_x(page, t - 2.0 * interval), y, plot_x(page, t - interval), y);
        drew = true;
    }
    if (drew) {
        *f.sn_class = 0;
        *f.next = 0;
    }
    *f.since = t - interval;
}

void segment_close(Canvas& c, const sn_page& page, const sv_slot* slot, sn_frequency freq, double t,
                   int row) {
    draw_open_segment(c, page, slot, freq, t + page.interval, row);
}

void count_curve_step(Canvas& c, const sn_page& page, sv_slot* slot0, double t, int n) {
    double s = plot_x(page, slot0->l1_since);
    double x = plot_x(page, t);
    count_curve_style(c, page);
    c.move_to(s, count_level_y(page, slot0->l1_class));
    c.line_to(x, count_level_y(page, slot0->l1_class));
    c.line_to(x, count_level_y(page, n));
    slot0->l1_class = static_cast<char>(n);
    slot0->l1_since = t;
}

void count_curve_gap(Canvas& c, const sn_page& page, sv_slot* slot0, double t, int* n) {
    double s = plot_x(page, slot0->l1_since);
    double x = plot_x(page, t);
    double x1 = plot_x(page, t + page.interval);
    double x2 = plot_x(page, t + 2.0 * page.interval);
    count_curve_style(c, page);
    c.move_to(s, count_level_y(page, slot0->l1_class));
    c.line_to(x, count_level_y(page, slot0->l1_class));
    c.line_to(x, count_level_y(page, *n));
    c.line_to(x1, count_level_y(page, *n));
    c.line_to(x1, count_level_y(page, 0));
    c.line_to(x2, count_level_y(page, 0));
    slot0->l1_class = 0;
    *n = 0;
    slot0->l1_since = t + 2.0 * page.interval;
}

void count_curve_close(Canvas& c, const sn_page& page, const sv_slot* slot0, double t) {
    double s = plot_x(page, slot0->l1_since);
    double x1 = plot_x(page, t + page.interval);
    count_curve_style(c, page);
    c.move_to(s, count_level_y(page, slot0->l1_class));
    c.line_to(x1, count_level_y(page, slot0->l1_class));
    c.line_to(x1, count_level_y(page, 0));
}

void lock_loss_mark(Canvas& c, const sn_page& page, sn_frequency freq, double t, int row) {
    const double x = plot_x(page, t), s = row_scale(page);
    c.paint(0, 0, 0);
    c.line_width(row_line_width(page, mark_width));
    if (freq == SN_L1) {
        const double top = row_top(page, row);
        line(c, x, top - 0.06 * s, x, top - 0.18 * s);
    } else {
        const double bottom = row_bottom(page, row);
        line(c, x, bottom + 0.06 * s, x, bottom + 0.18 * s);
    }
}

void slip_mark(Canvas& c, const sn_page& page, double t, int row) {
    const double x = plot_x(page, t), s = row_scale(page);
    const double middle = (row_line_y(page, SN_L1, row) + row_line_y(page, SN_L2, row)) / 2;
    const double arm = 0.1 * s;
    c.paint(slip_red, slip_green, slip_blue);
    c.line_width(row_line_width(page, slip_width));
    line(c, x - arm, middle - arm, x + arm, middle + arm);
    line(c, x - arm, middle + arm, x + arm, middle - arm);
}

double tick_step(double begin, double end) {
    double span = end - begin;
    if (std::isnan(span)) span = 0;
    double step;
    if (span <= tick_units[11]) {
        int i = 1;
        while (tick_units[i] < span) ++i;
        step = tick_units[i - 1] / tick_divisors[i - 1];
    } else {
        // Beyond one week the table has no divisor: one day per started week
        // of span keeps the axis at a handful of labels.
        double weeks = std::ceil(span / tick_units[11]);
        step = tick_units[8] * (std::isfinite(weeks) ? weeks : 1.0);
        if (!std::isfinite(step)) step = tick_units[8];
    }
    if (span / step < 3.0) step /= 2.0;
    return step;
}

double first_tick(double begin, double step) {
    std::tm f = local_fields(begin + step);
    double offset = 0;
    if (f.tm_sec < step) offset = f.tm_sec;
    if (f.tm_min * 60.0 + offset < step) offset += f.tm_min * 60.0;
    if (f.tm_hour * 3600.0 + offset < step) offset += f.tm_hour * 3600.0;
    if (f.tm_mday * 86400.0 + offset < step) offset += f.tm_mday * 86400.0;
    return begin + step - offset;
}

void tick_text(double t, tick_label* previous, char* text) {
    std::tm f = local_fields(t);
    tick_label now = {f.tm_year, f.tm_mon + 1, f.tm_mday, f.tm_hour, f.tm_min};
    char date[40] = "";
    char hour[16], minute[16], second[16];
    std::snprintf(hour, sizeof hour, "%d:", now.hour);
    std::snprintf(minute, sizeof minute, "%02d:", now.minute);
    std::snprintf(second, sizeof second, "%02d", f.tm_sec);
    if (now.year != previous->year || now.month != previous->month || now.day != previous->day) {
        std::snprintf(date, sizeof date, "%d.%d.%d ", now.day, now.month, now.year);
    } else if (now.hour == previous->hour) {
        hour[0] = '\0';
        if (now.minute == previous->minute) minute[0] = '\0';
    }
    *previous = now;
    std::snprintf(text, tick_text_size, "%s%s%s%s", date, hour, minute, second);
}

void time_tick(Canvas& c, const sn_page& page, double t, tick_label* previous) {
    char label[tick_text_size];
    tick_text(t, previous, label);
    double x = plot_x(page, t);
    c.paint(0, 0, 0);
    c.text(x, frame_height(page) + 1.0, 6, label, 30.0, text_middle + text_left);
    c.line_width(0);
    line(c, x, sn_frame_bottom, x, frame_height(page) + 0.95);
}

void time_axis(Canvas& c, const sn_page& page) {
    const double begin = page.begin, end = page.end;
    // More labels than this cannot be read on a 26 cm axis; the bound only
    // guards against a step too small for the magnitude of the time values.
    constexpr int max_ticks = 2000;
    c.font(0);
    double step = tick_step(begin, end);
    tick_label previous = no_tick_label;
    time_tick(c, page, begin, &previous);
    double tick = first_tick(begin, step);
    for (int i = 0; tick < end && i < max_ticks; ++i) {
        time_tick(c, page, tick, &previous);
        tick += step;
    }
    time_tick(c, page, end, &previous);
}

void sn_legend(Canvas& c, const sn_page& page) {
    c.font(0);
    c.text(21.5, 0.0, 8, "signal/noise", 0.0, text_centre);
    for (int v = 0; v <= 9; ++v) {
        const LineStyle& style = page.line_types[v];
        c.line_width(style.width);
        c.paint(style.grey, style.grey, style.grey);
        line(c, 18.0 + v * 0.7, 0.3, 18.0 + (v + 1) * 0.7, 0.3);
        char digit[4];
        std::snprintf(digit, sizeof digit, "%1d", v);
        c.paint(0, 0, 0);
        c.text(18.0 + v * 0.7 + 0.35, 0.4, 8, digit, 0.0, text_centre);
    }
}

char* format_time_value(double t, char* buffer) {
    std::tm f = local_fields(t);
    std::snprintf(buffer, time_text_size, "%02d.%02d.%2d %02d:%02d:%02d", f.tm_mday, f.tm_mon + 1,
                  f.tm_year, f.tm_hour, f.tm_min, f.tm_sec);
    return buffer;
}
