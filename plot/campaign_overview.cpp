#include "plot/campaign_overview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>

#include "draw/canvas.h"

namespace {

// The drawing's columns and rows, cm.
constexpr double name_x = 0.8;                      // station names
constexpr double chart_x0 = 4.4, chart_x1 = 20.4;   // the time chart
constexpr double list_x = 20.8, list_right = 28.8;  // the partners
constexpr double row_top = 17.2, row_height = 0.6;  // first row's top edge
constexpr double frame_bottom = row_top - overview_rows_per_page * row_height;
constexpr double bar_height = 0.36;
constexpr std::size_t name_chars = 20, partner_chars = 12, list_chars = 62;

std::string format(const char* f, auto... values) {
    char text[200];
    std::snprintf(text, sizeof text, f, values...);
    return text;
}

std::tm local(double t) {
    const std::time_t whole = static_cast<std::time_t>(std::floor(t));
    std::tm f{};
    localtime_r(&whole, &f);
    return f;
}

std::string date_text(double t, bool full_year) {
    const std::tm f = local(t);
    return full_year ? format("%02d.%02d.%04d", f.tm_mday, f.tm_mon + 1, f.tm_year + 1900)
                     : format("%02d.%02d.%02d", f.tm_mday, f.tm_mon + 1, f.tm_year % 100);
}

// The local midnight `days` days after the one that begins t's day.
double midnight(double t, int days) {
    std::tm f = local(t);
    f.tm_hour = f.tm_min = f.tm_sec = 0;
    f.tm_mday += days;
    f.tm_isdst = -1;
    return static_cast<double>(std::mktime(&f));
}

struct Axis {
    double t0 = 0, t1 = 1;
    double x(double t) const { return chart_x0 + (t - t0) / (t1 - t0) * (chart_x1 - chart_x0); }
};

// The campaign's span, a little wider, so that no bar touches the frame.
Axis axis_of(const OverviewInput& in) {
    double first = HUGE_VAL, last = -HUGE_VAL;
    for (const OverviewOccupation& o : in.occupations) {
        if (o.first < 0) continue;
        first = std::min(first, o.first);
        last = std::max(last, std::max(o.last, o.first));
    }
    Axis a;
    if (!(first <= last)) return a;
    if (last - first < 600) last = first + 600;
    const double margin = 0.02 * (last - first);
    a.t0 = first - margin;
    a.t1 = last + margin;
    return a;
}

// Ticks, grid lines and labels of the time axis: hours (with the date under
// the first tick and each midnight) for up to two days, else days.
void draw_axis(const Axis& a, OverviewPage* page) {
    const double span = a.t1 - a.t0;
    const bool hours = span <= 2 * 86400.0;
    std::vector<double> ticks;
    if (hours) {
        double step = 43200;
        for (double s : {300.0, 600.0, 900.0, 1800.0, 3600.0, 7200.0, 10800.0, 14400.0, 21600.0})
            if (span / s <= 10) {
                step = s;
                break;
            }
        const double start = midnight(a.t0, 0);
        for (double t = start + std::ceil((a.t0 - start) / step) * step; t <= a.t1; t += step)
            ticks.push_back(t);
    } else {
        int step = 1;
        for (int s : {1, 2, 3, 7, 14, 28, 56, 91, 182, 364, 728, 1820, 3640})
            if (span / (s * 86400.0) <= 10) {
                step = s;
                break;
            }
        // From the first midnight within the axis on.
        for (int d = midnight(a.t0, 0) >= a.t0 ? 0 : 1;; d += step) {
            const double t = midnight(a.t0, d);
            if (t > a.t1) break;
            ticks.push_back(t);
        }
    }
    bool dated = false;
    for (double t : ticks) {
        const double x = a.x(t);
        page->lines.push_back({x, frame_bottom, x, row_top, true});
        page->lines.push_back({x, frame_bottom - 0.15, x, frame_bottom, false});
        if (!hours) {
            page->texts.push_back({x, frame_bottom - 0.6, 8, 0, text_centre, date_text(t, false)});
            continue;
        }
        const std::tm f = local(t);
        page->texts.push_back(
            {x, frame_bottom - 0.6, 8, 0, text_centre, format("%02d:%02d", f.tm_hour, f.tm_min)});
        if (!dated || (f.tm_hour == 0 && f.tm_min == 0))
            page->texts.push_back({x, frame_bottom - 1.1, 8, 0, text_centre, date_text(t, true)});
        dated = true;
    }
    page->texts.push_back({chart_x1, frame_bottom - 1.6, 8, 0, text_right,
                           hours ? "local time of the observation files, hours"
                                 : "local time of the observation files, days"});
}

void draw_legend(const OverviewInput& in, OverviewPage* page) {
    double x = chart_x0;
    const double y = overview_bottom + 0.3;
    auto entry = [&](BarShade shade, const char* text, double width) {
        page->boxes.push_back({x, y, 0.6, bar_height, shade});
        page->texts.push_back({x + 0.8, y + bar_height / 2, 8, 0, text_left + text_middle, text});
        x += width;
    };
    bool empty = false;
    for (const OverviewOccupation& o : in.occupations)
        empty = empty || shade_of(o, in.checked) == BarShade::empty;
    if (in.checked) {
        page->texts.push_back(
            {name_x, y + bar_height / 2, 8, 0, text_left + text_middle, "observations per slip:"});
        entry(BarShade::many, "at least 1,000", 3.6);
        entry(BarShade::some, "300 to 1,000", 3.4);
        entry(BarShade::few, "under 300", 3.0);
        if (empty) entry(BarShade::empty, "no observations stored", 4.5);
    } else {
        entry(BarShade::unchecked,
              "occupation, first to last epoch (run -i with -g to shade by slips)", 10);
    }
}

std::string clipped(const std::string& text, std::size_t chars) {
    return text.size() <= chars ? text : text.substr(0, chars - 1) + "~";
}

// "BRAV 2.0 h, CHAR 1.9 h, +2 more" in the width of the column.
std::string partner_list(const std::vector<Partner>& partners) {
    std::string list;
    for (std::size_t i = 0; i < partners.size(); ++i) {
        const std::string item = clipped(partners[i].station, partner_chars) + " " +
                                 common_time_text(partners[i].seconds);
        const std::string more = format(", +%zu more", partners.size() - i);
        if (i > 0 && list.size() + 2 + item.size() + (i + 1 < partners.size() ? more.size() : 0) >
                         list_chars)
            return list + more;
        list += (i > 0 ? ", " : "") + item;
    }
    return list;
}

}  // namespace

BarShade shade_of(const OverviewOccupation& o, bool checked) {
    if (!checked) return BarShade::unchecked;
    if (o.observations <= 0) return BarShade::empty;
    if (o.slips <= 0) return BarShade::many;
    const double per_slip = static_cast<double>(o.observations) / static_cast<double>(o.slips);
    return per_slip >= 1000 ? BarShade::many : per_slip >= 300 ? BarShade::some : BarShade::few;
}

std::vector<Partner> partners_of(const std::string& station, const OverviewInput& in) {
    std::map<std::string, double> seconds;
    for (const OverviewOccupation& a : in.occupations) {
        if (a.station != station || a.first < 0) continue;
        for (const OverviewOccupation& b : in.occupations) {
            if (b.station == station || b.first < 0) continue;
            const double overlap = std::min(a.last, b.last) - std::max(a.first, b.first);
            if (overlap >= 0 && a.first <= b.last && b.first <= a.last)
                seconds[b.station] += overlap;
        }
    }
    std::vector<Partner> partners;
    for (const auto& [name, s] : seconds) partners.push_back({name, s});
    std::stable_sort(partners.begin(), partners.end(),
                     [](const Partner& x, const Partner& y) { return x.seconds > y.seconds; });
    return partners;
}

std::string common_time_text(double seconds) {
    if (seconds < 3600) return format("%ld min", std::lround(seconds / 60));
    if (seconds < 3 * 86400) return format("%.1f h", seconds / 3600);
    return format("%.1f d", seconds / 86400);
}

std::vector<OverviewPage> lay_out_overview(const OverviewInput& in) {
    std::vector<std::string> stations;
    for (const OverviewOccupation& o : in.occupations) stations.push_back(o.station);
    std::sort(stations.begin(), stations.end());
    stations.erase(std::unique(stations.begin(), stations.end()), stations.end());
    const std::size_t rows = static_cast<std::size_t>(overview_rows_per_page);
    const std::size_t count = std::max<std::size_t>(1, (stations.size() + rows - 1) / rows);
    const Axis axis = axis_of(in);
    double first = HUGE_VAL, last = -HUGE_VAL;
    for (const OverviewOccupation& o : in.occupations)
        if (o.first >= 0) first = std::min(first, o.first), last = std::max(last, o.last);

    std::vector<OverviewPage> pages(count);
    for (std::size_t p = 0; p < count; ++p) {
        OverviewPage& page = pages[p];
        page.texts.push_back({name_x, 18.9, 14, 1, text_left, "Campaign overview"});
        std::string span = format("%zu station%s, %zu occupation%s", stations.size(),
                                  stations.size() == 1 ? "" : "s", in.occupations.size(),
                                  in.occupations.size() == 1 ? "" : "s");
        if (first <= last) {
            const std::tm f = local(first), l = local(last);
            span += format(", %s %02d:%02d to %s %02d:%02d", date_text(first, true).c_str(),
                           f.tm_hour, f.tm_min, date_text(last, true).c_str(), l.tm_hour, l.tm_min);
        }
        page.texts.push_back({chart_x0 + 2.4, 18.9, 9, 0, text_left, span});
        if (count > 1)
            page.texts.push_back(
                {list_right, 18.9, 9, 0, text_right, format("page %zu of %zu", p + 1, count)});
        page.texts.push_back({name_x, row_top + 0.25, 8, 1, text_left, "station"});
        page.texts.push_back({chart_x0, row_top + 0.25, 8, 1, text_left,
                              "occupations, each numbered as its signal/noise page"});
        page.texts.push_back({list_x, row_top + 0.25, 8, 1, text_left,
                              "observed with (common time, longest first)"});
        // The frame of the chart, the same height on every page.
        page.lines.push_back({chart_x0, frame_bottom, chart_x1, frame_bottom, false});
        page.lines.push_back({chart_x0, row_top, chart_x1, row_top, false});
        page.lines.push_back({chart_x0, frame_bottom, chart_x0, row_top, false});
        page.lines.push_back({chart_x1, frame_bottom, chart_x1, row_top, false});
        draw_axis(axis, &page);
        draw_legend(in, &page);

        for (std::size_t r = 0; r < rows && p * rows + r < stations.size(); ++r) {
            const std::string& station = stations[p * rows + r];
            const double bottom = row_top - static_cast<double>(r + 1) * row_height;
            const double middle = bottom + row_height / 2;
            if (r > 0)
                page.lines.push_back(
                    {name_x, bottom + row_height, list_right, bottom + row_height, true});
            page.texts.push_back(
                {name_x, middle, 8, 0, text_left + text_middle, clipped(station, name_chars)});
            for (const OverviewOccupation& o : in.occupations) {
                if (o.station != station || o.first < 0) continue;
                const double x0 = axis.x(o.first);
                const double w = std::max(axis.x(std::max(o.last, o.first)) - x0, 0.06);
                page.boxes.push_back(
                    {x0, middle - bar_height / 2, w, bar_height, shade_of(o, in.checked)});
                // The number in the bar, or right of a bar too narrow for it.
                const std::string number = std::to_string(o.number);
                if (w >= 0.3)
                    page.texts.push_back(
                        {x0 + w / 2, middle, 6, 0, text_centre + text_middle, number});
                else
                    page.texts.push_back(
                        {x0 + w + 0.05, middle, 6, 0, text_left + text_middle, number});
            }
            const std::vector<Partner> partners = partners_of(station, in);
            if (partners.empty())
                page.texts.push_back({list_x, middle, 8, 1, text_left + text_middle,
                                      "observed with no other station", true});
            else
                page.texts.push_back(
                    {list_x, middle, 7, 0, text_left + text_middle, partner_list(partners)});
        }
    }
    return pages;
}
