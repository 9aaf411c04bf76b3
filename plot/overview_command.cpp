#include "plot/overview_command.h"

#include <map>
#include <memory>

#include "obsdb/campaign.h"
#include "plot/overview_drawing.h"
#include "support/error.h"

namespace {

// Laid out for landscape; portrait scales the drawing down to the width of
// A4 and shifts it onto the paper, as the occupation pages do.
constexpr double portrait_scale = 0.68;
constexpr double portrait_x_origin = 0.9;
constexpr double portrait_y_origin = 2.0;
// Time values beyond this (the year 2096) are taken for damage.
constexpr double latest_time_value = 4e9;

OverviewInput read_campaign(const std::vector<CheckedOccupation>* checked) {
    std::map<long, const CheckedOccupation*> by_record;
    if (checked)
        for (const CheckedOccupation& o : *checked) by_record[o.occupation] = &o;
    OverviewInput in;
    in.checked = checked != nullptr;
    Campaign c;
    c.open_read({CampaignTable::occ, CampaignTable::sta});
    std::map<long, int> numbers;
    for (long r = db_first(&c.occ_db); r != 0; r = db_next(&c.occ_db)) {
        c.read_checked(CampaignTable::occ, r);
        OverviewOccupation o;
        o.number = ++numbers[c.occ.sta_ref];
        // A span no calendar holds (a damaged record) draws no bar.
        if (c.occ.first_epoch > 0 && c.occ.last_epoch >= c.occ.first_epoch &&
            c.occ.last_epoch < latest_time_value) {
            o.first = c.occ.first_epoch;
            o.last = c.occ.last_epoch;
        }
        const auto found = by_record.find(r);
        if (found != by_record.end()) {
            o.observations = found->second->observations;
            o.slips = found->second->slips;
        }
        o.station = c.read_linked(CampaignTable::sta, c.occ.sta_ref) ? field_text(c.sta.marker_name)
                                                                     : std::string();
        in.occupations.push_back(o);
    }
    c.close({CampaignTable::occ, CampaignTable::sta});
    return in;
}

}  // namespace

std::string overview_file_name(DrawFormat format) {
    return std::string("zzCAMPAIGN") + draw_format_extension(format);
}

void write_campaign_overview(bool landscape, const std::vector<CheckedOccupation>* checked,
                             DrawFormat format) {
    const OverviewInput in = read_campaign(checked);
    if (in.occupations.empty()) return;  // an empty campaign: no page, as no occupation page
    const std::vector<OverviewPage> pages = lay_out_overview(in);
    const std::string name = overview_file_name(format);
    PageSetup setup;
    setup.landscape = landscape;
    setup.scale = landscape ? 1.0 : portrait_scale;
    setup.x_origin = landscape ? 0.0 : portrait_x_origin;
    setup.y_origin = landscape ? 0.0 : portrait_y_origin;
    setup.title = "Campaign overview";
    std::unique_ptr<Canvas> canvas = make_canvas(format);
    if (!canvas) fatal("%s pages cannot be written by this build\n", draw_format_extension(format));
    message("create campaign overview '%s'\n", name.c_str());
    const int count = static_cast<int>(pages.size());
    if (!canvas->begin_document(name.c_str(), setup, count)) return;
    for (int p = 0; p < count; ++p) {
        canvas->begin_page(p + 1);
        draw_overview_page(*canvas, pages[static_cast<std::size_t>(p)]);
        canvas->end_page();
    }
    if (!canvas->end_document()) {
        std::perror("");
        fatal("Write failure on file %s\n", name.c_str());
    }
    message("done.\n");
}
