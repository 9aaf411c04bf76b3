#include "plot/information_block.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "geodesy/geodesy.h"
#include "plot/page_geometry.h"
#include "plot/page_text.h"
#include "plot/sn_elements.h"
#include "support/version.h"

namespace {

// The file name on the bottom line, fitted beside the legend.
void put_file_name(Canvas& c, const char* name) {
    const file_name_setting f = set_file_name(name);
    put_text(c, f.x, info_line_y(2), f.size, f.centred ? text_centre : text_right, "%s",
             f.text.c_str());
}

// "Rec:" or "Ant:" with number and type in the first column, in a smaller
// size when the file's texts are too long for the column at 8 pt.
template <std::size_t N, std::size_t M>
void put_fitted(Canvas& c, double y, const char* title, const char (&number)[N],
                const char (&type)[M]) {
    constexpr double column = 7.8 - 2.0 - 0.15;  // up to the position column, and a gap
    char text[256];
    std::snprintf(text, sizeof text, "%s%s,%s", title, field_text(number).c_str(),
                  field_text(type).c_str());
    const int size = courier_size_to_fit(std::strlen(text), column);
    put_text(c, 2.0, y, size > 0 ? size : 5, text_top + text_left, "%s", text);
}

// One packed angle with its hemisphere letter.
void put_angle(Canvas& c, double y, double packed, char positive, char negative,
               int positive_decimals) {
    bool south_west = packed < 0;
    dms_parts p = dms_split(packed, south_west ? 3 : positive_decimals);
    if (south_west)
        put_text(c, 7.8, y, 8, text_top + text_left, "%c %2.0lf %2.0lf %6.3lf", negative, p.degrees,
                 p.minutes, p.seconds);
    else if (positive_decimals == 6)
        put_text(c, 7.8, y, 8, text_top + text_left, "%c %2.0lf %2.0lf %6.6lf", positive, p.degrees,
                 p.minutes, p.seconds);
    else
        put_text(c, 7.8, y, 8, text_top + text_left, "%c %2.0lf %2.0lf %6.3lf", positive, p.degrees,
                 p.minutes, p.seconds);
}

void draw_position(Canvas& c, const Campaign& campaign, bool show_lat_lon) {
    ell_params ell;
    ell_setup(grs80_a, grs80_b, &ell);
    const geodetic_position p =
        station_position(campaign.cor.pos_x, campaign.cor.pos_y, campaign.cor.pos_z, ell);
    if (!p.known) {
        // The file gave no position (or one that is no place on Earth).
        put_text(c, 7.8, info_line_y(0), 8, text_top + text_left, "Position unknown");
        return;
    }
    if (!show_lat_lon) {
        put_text(c, 7.8, info_line_y(0), 8, text_top + text_left, "X: %13.4lfm",
                 campaign.cor.pos_x);
        put_text(c, 7.8, info_line_y(1), 8, text_top + text_left, "Y: %13.4lfm",
                 campaign.cor.pos_y);
        put_text(c, 7.8, info_line_y(2), 8, text_top + text_left, "Z: %13.4lfm",
                 campaign.cor.pos_z);
        return;
    }
    put_angle(c, info_line_y(0), rad_to_dms(p.latitude), 'N', 'S', 3);
    put_angle(c, info_line_y(1), rad_to_dms(p.longitude), 'E', 'W', 6);
    put_text(c, 7.8, info_line_y(2), 8, text_top + text_left, "ALT %10.3lf", p.height);
}

}  // namespace

void draw_information(Canvas& canvas, Campaign& c, bool show_lat_lon, int page, int pages,
                      const char* page_name) {
    c.read_linked(CampaignTable::cor, c.occ.cor_ref);
    c.read_linked(CampaignTable::sta, c.occ.sta_ref);
    c.read_linked(CampaignTable::rec, c.occ.rcv_ref);
    c.read_linked(CampaignTable::ant, c.occ.ant_ref);

    canvas.font(4);
    canvas.paint(0, 0, 0);
    put_text(canvas, 27.0, info_line_y(0), 15, text_top + text_centre, "%.8s",
             field_text(c.sta.marker_name).c_str());
    canvas.font(8);
    draw_position(canvas, c, show_lat_lon);
    put_file_name(canvas, field_text(c.occ.rinex_file).c_str());
    put_text(canvas, 2.0, info_line_y(2), 8, text_top + text_left, "Int: %is", c.occ.interval);
    put_fitted(canvas, info_line_y(0), "Rec: ", c.rcv.rcv_number, c.rcv.rcv_type);
    put_fitted(canvas, info_line_y(1), "Ant: ", c.ant.ant_number, c.ant.ant_type);
    put_text(canvas, 11.0, info_line_y(0), 8, text_top + text_left, "H: %7.4lfm", c.occ.delta_h);
    put_text(canvas, 11.0, info_line_y(1), 8, text_top + text_left, "E: %7.4lfm", c.occ.delta_e);
    put_text(canvas, 11.0, info_line_y(2), 8, text_top + text_left, "N: %7.4lfm", c.occ.delta_n);
    char when[time_text_size];
    put_text(canvas, 13.4, info_line_y(0), 8, text_top + text_left, "Begin: %s",
             format_time_value(c.occ.first_epoch, when));
    put_text(canvas, 13.4, info_line_y(1), 8, text_top + text_left, "End:   %s",
             format_time_value(c.occ.last_epoch, when));
    if (pages > 1 && page_name != nullptr)
        put_text(canvas, 13.4, info_line_y(2), 8, text_top + text_left, "Page:  %d of %d  %s",
                 page, pages, page_name);
    else if (pages > 1)
        put_text(canvas, 13.4, info_line_y(2), 8, text_top + text_left, "Page:  %d of %d", page,
                 pages);
}

namespace {

std::string metres(double v) {
    if (std::isnan(v)) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

}  // namespace

void draw_quality_line(Canvas& c, const OccupationQuality& q) {
    c.font(8);
    c.paint(0, 0, 0);
    if (q.systems.empty()) {
        put_text(c, 2.0, info_line_y(3), 8, text_top + text_left, "Slips: no observations stored");
        return;
    }
    long observations = 0, slips[3] = {};
    bool tested[3] = {true, false, false};
    std::string mp;
    for (const SystemQuality& s : q.systems) {
        observations += s.observations;
        for (int test = 0; test < 3; ++test) slips[test] += s.slips[test];
        tested[1] = tested[1] || (s.frequencies_known && s.gf_checked);
        tested[2] = tested[2] || (s.frequencies_known && s.mw_checked);
        const double mp1 = multipath_rms(s, 0), mp2 = multipath_rms(s, 1);
        if (std::isnan(mp1) && std::isnan(mp2)) continue;
        char part[48];
        std::snprintf(part, sizeof part, " %c %s/%s", s.system, metres(mp1).c_str(),
                      metres(mp2).c_str());
        mp += part;
    }
    std::string text = "Slips:";
    const char* names[3] = {"lli", "gf", "mw"};
    for (int test = 0; test < 3; ++test) {
        char part[32];
        if (tested[test])
            std::snprintf(part, sizeof part, " %s %ld", names[test], slips[test]);
        else
            std::snprintf(part, sizeof part, " %s -", names[test]);
        text += part;
    }
    const long all = slips[0] + slips[1] + slips[2];
    char figures[64];
    if (all > 0)
        std::snprintf(figures, sizeof figures, " (%.1f obs/slip)",
                      static_cast<double>(observations) / static_cast<double>(all));
    else
        std::snprintf(figures, sizeof figures, " (no slip)");
    text += figures;
    text += "  MP1/MP2:";
    text += mp.empty() ? " -" : mp.append(" m");
    put_text(c, 2.0, info_line_y(3), 8, text_top + text_left, "%s", text.c_str());
}

void draw_footer(Canvas& c) {
    c.font(0);
    std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    char text[256];
    std::snprintf(text, sizeof text, "%s %s %s %02u.%02u.%4u QOR-VELD", program_name, version_text,
                  credits_text, static_cast<unsigned>(today.tm_mday),
                  static_cast<unsigned>(today.tm_mon + 1),
                  static_cast<unsigned>(today.tm_year + 1900));
    c.text(28.2, 0.65, 8, text, -90.0, text_right);
}
