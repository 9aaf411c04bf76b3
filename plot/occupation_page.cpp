#include "plot/occupation_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "draw/canvas_factory.h"
#include "obsdb/observation_walk.h"
#include "plot/elevation_page.h"
#include "plot/information_block.h"
#include "plot/occupation_sky.h"
#include "plot/sky_gather.h"
#include "plot/sky_page.h"
#include "quality/orbit_check.h"
#include "plot/page_text.h"
#include "plot/row_order.h"
#include "plot/sn_elements.h"
#include "plot/sv_rows.h"
#include "support/error.h"

void plot_tables_open(Campaign& c, const char* obs_table) {
    c.obs_table = obs_table;
    c.open_read({CampaignTable::occ, CampaignTable::satocc, CampaignTable::sat, CampaignTable::obs,
                 CampaignTable::sta, CampaignTable::cor, CampaignTable::ant, CampaignTable::rec});
}

void plot_tables_close(Campaign& c) {
    c.close({CampaignTable::sta, CampaignTable::cor, CampaignTable::rec, CampaignTable::ant,
             CampaignTable::occ, CampaignTable::satocc, CampaignTable::sat, CampaignTable::obs});
}

namespace {

// Row labels are 8 pt high; the smallest pitch, that of 54 rows, still leaves
// them more than 8 pt apart.
constexpr int label_size = 8;
static_assert(sv_frame_rows * sn_full_pitch / sv_page_rows >= label_size * 2.54 / 72);

// The count curve's level is kept as a small number in its slot.
constexpr int count_limit = 127;

// S/N character of an observation; a blank and anything that is no digit
// count as "0".
char sn_class_of(char snr) { return snr >= '0' && snr <= '9' ? snr : '0'; }

bool loses_lock(char lli) { return lli == '1' || lli == '5'; }

// Observations drawn in this run; every hundredth prints a progress dot.
long progress_count = 0;

void progress_mark() {
    ++progress_count;
    if (progress_count % 100 == 0) std::putchar('.');
}

// Where the drawing of the epochs goes. A document of one page is drawn
// straight onto its page. A document of several pages is drawn in the same
// one pass over the observations: the rows of each page into a part of their
// own, and the satellite-count curve, which every page shows, into one more;
// the pages are put together from the parts after the pass. So the
// observations are read once however many pages there are, and none of them
// is held in memory.
class page_parts {
public:
    // Opens the parts of `pages` signal/noise pages (none for a document of
    // one page, `alone`); ends the program when a part cannot be made.
    void open(Canvas& canvas, int pages, bool alone, const char* file_name) {
        canvas_ = &canvas;
        rows_.clear();
        count_ = -1;
        if (alone) return;
        for (int p = 0; p <= pages; ++p) {
            const int part = canvas.open_part();
            if (part < 0) {
                std::perror("");
                fatal("Cannot create a temporary file for the pages of %s\n", file_name);
            }
            (p == pages ? count_ : rows_.emplace_back()) = part;
        }
    }
    void close() {
        if (canvas_ != nullptr) canvas_->close_parts();
        rows_.clear();
        count_ = -1;
    }

    // The following element goes onto the rows of `page`, or the count curve.
    void rows_of(int page) {
        if (count_ >= 0) canvas_->draw_into(rows_[page]);
    }
    void count_curve() {
        if (count_ >= 0) canvas_->draw_into(count_);
    }
    // The drawing of `page` onto the document's page being drawn.
    bool insert(int page) {
        canvas_->draw_into(-1);
        return canvas_->insert_part(count_) && canvas_->insert_part(rows_[page]);
    }

private:
    Canvas* canvas_ = nullptr;
    std::vector<int> rows_;
    int count_ = -1;
};

// The pages of an occupation and their rows.
struct occupation_pages {
    sv_rows rows;
    std::vector<sn_page> pages;

    // Calls draw(page, slot, row) for slot k with its drawing going onto its page.
    template <class Draw>
    void on_row(int k, page_parts& parts, Draw draw) {
        const sv_row& at = rows.place[k];
        parts.rows_of(at.page);
        draw(pages[at.page], rows.slots[k], at.row);
    }
};

// The page being drawn, with its rows and layouts. It lives here rather than
// on the stack: an error report leaves a page from deep inside its walks,
// which ends the program, except under the fuzzing harness, which returns to
// its loop; what the page holds then stays reachable and is taken over by
// the next page.
occupation_pages drawing;

// Draws the rows and the count curve epoch by epoch in one forward pass over
// zzOBS, and hands every observation to `sky` where the sky pages follow.
// Returns the largest count level reached.
int draw_epochs(Canvas& canvas, Campaign& c, occupation_pages& o, page_parts& parts,
                SkyGather* sky) {
    std::vector<sv_slot>& slots = o.rows.slots;
    const int rows = o.rows.count();
    const sn_page& count_page = o.pages.front();  // the count curve is the same on every page
    const int interval = count_page.interval;
    const int levels = std::min(std::max(count_page.count_levels, sv_frame_rows), count_limit);
    ObservationWalk walk(c);
    bool have = walk.start(o.rows.occupation);
    while (have && c.obs.epoch < count_page.begin) have = walk.next();
    // The slot of the observation read; 0 once it belongs to no row (the
    // next occupation's observations follow).
    int read = have ? o.rows.slot_of(c.obs.satocc_ref) : 0;
    double t = 0, previous_epoch = 0, previous_spacing = 0;
    int epochs = 0, max_count = 0;
    while (read != 0 && c.obs.epoch <= count_page.end) {
        for (sv_slot& slot : slots) slot.l1_next = slot.l2_next = 0;
        t = c.obs.epoch;
        int n = 0;
        do {
            progress_mark();
            const obs_value& l1 = c.obs.obs[OBS_L1];
            const obs_value& l2 = c.obs.obs[OBS_L2];
            slots[read].l1_next = sn_class_of(l1.snr);
            slots[read].l2_next = sn_class_of(l2.snr);
            if (sky)
                sky->observe(read, t, l1.snr, l2.snr, loses_lock(l1.lli) || loses_lock(l2.lli));
            if (loses_lock(l1.lli) || loses_lock(l2.lli)) {
                o.on_row(read, parts, [&](const sn_page& page, sv_slot&, int row) {
                    if (loses_lock(l1.lli)) lock_loss_mark(canvas, page, SN_L1, t, row);
                    if (loses_lock(l2.lli)) lock_loss_mark(canvas, page, SN_L2, t, row);
                });
            }
            read = walk.next() ? o.rows.slot_of(c.obs.satocc_ref) : 0;
            ++n;
        } while (read != 0 && c.obs.epoch == t);
        n = std::min(n, levels);

        // A gap only counts when the next observation is drawn on this page;
        // after the last epoch the closing step ends the lines.
        bool more = read != 0 && c.obs.epoch <= count_page.end;
        if (more && std::floor(c.obs.epoch) > t + interval) {
            parts.count_curve();
            count_curve_gap(canvas, count_page, &slots[0], t, &n);
            t = slots[0].l1_since;
            for (int k = 1; k <= rows; ++k)
                o.on_row(k, parts, [&](const sn_page& page, sv_slot& slot, int row) {
                    segment_gap(canvas, page, &slot, SN_L1, t, row);
                    segment_gap(canvas, page, &slot, SN_L2, t, row);
                });
        }
        if (slots[0].l1_class != n) {
            parts.count_curve();
            count_curve_step(canvas, count_page, &slots[0], t, n);
        }
        for (int k = 1; k <= rows; ++k) {
            if (slots[k].l1_class == slots[k].l1_next && slots[k].l2_class == slots[k].l2_next)
                continue;
            o.on_row(k, parts, [&](const sn_page& page, sv_slot& slot, int row) {
                if (slot.l1_class != slot.l1_next)
                    segment_change(canvas, page, &slot, SN_L1, t, row);
                if (slot.l2_class != slot.l2_next)
                    segment_change(canvas, page, &slot, SN_L2, t, row);
            });
        }

        double spacing = t - previous_epoch;
        if (epochs >= 2 && std::fabs(spacing - previous_spacing) > 1.0) {
            char when[time_text_size];
            std::printf("\nWarning: [%s] Intervallwechsel von %4.2lf zu %4.2lf\n",
                        format_time_value(t, when), previous_spacing, spacing);
        }
        previous_epoch = t;
        previous_spacing = spacing;
        if (slots[0].l1_class > max_count) max_count = slots[0].l1_class;
        ++epochs;
    }

    // Without any epoch there is nothing to close (t would lie far left of
    // the frame).
    if (epochs > 0) {
        parts.count_curve();
        count_curve_close(canvas, count_page, &slots[0], t);
        for (int k = 1; k <= rows; ++k)
            o.on_row(k, parts, [&](const sn_page& page, sv_slot& slot, int row) {
                segment_close(canvas, page, &slot, SN_L1, t, row);
                segment_close(canvas, page, &slot, SN_L2, t, row);
            });
    }
    return max_count;
}

// Satellite names left of the rows of page `p`, "SV #" above them, and the
// scale of the satellite-count curve.
void draw_row_labels(Canvas& c, const occupation_pages& o, int p, int max_count) {
    const sn_page& page = o.pages[p];
    c.font(0);
    c.paint(0, 0, 0);
    for (int k = 1; k <= o.rows.count(); ++k) {
        const sv_row& at = o.rows.place[k];
        if (at.page == p && at.labelled)
            put_text(c, 1.2, row_line_y(page, SN_L1, at.row), label_size, text_top + text_right,
                     "%3s", at.id);
    }
    put_text(c, 1.2, sn_frame_bottom + frame_height(page) + 0.45, label_size,
             text_top + text_centre, "SV #");
    c.line_width(3);
    const int step = count_label_step(page);
    for (int v = step; v <= max_count; v += step) {
        put_text(c, 1.8, count_level_y(page, v), 6, text_middle + text_right, "%d", v);
        c.move_to(1.9, count_level_y(page, v));
        c.line_by(0.1, 0.0);
    }
}

void draw_frame(Canvas& c, const sn_page& page) {
    double height = frame_height(page) + 0.07;
    c.paint(0, 0, 0);
    c.line_width(12);
    c.move_to(2.0, sn_frame_bottom);
    c.line_by(26.0, 0.0);
    c.line_by(0.0, height);
    c.line_by(-26.0, 0.0);
    c.line_by(0.0, -height);
}

// A cross on its satellite's row at each slip the quality check found in GF
// or MW within the plotted span.
void draw_slip_marks(Canvas& canvas, occupation_pages& o, page_parts& parts,
                     const std::vector<QualitySlip>& slips) {
    const sn_page& span = o.pages.front();
    for (const QualitySlip& slip : slips) {
        const int k = o.rows.slot_of(static_cast<std::int32_t>(slip.satocc));
        if (k == 0 || slip.t < span.begin || slip.t > span.end) continue;
        o.on_row(k, parts, [&](const sn_page& page, sv_slot&, int row) {
            slip_mark(canvas, page, slip.t, row);
        });
    }
}

// Everything of page `p` that follows the epochs: labels, information block
// (with the quality check's line when it ran), footer, frame, time axis and
// legend.
void draw_page_texts(Canvas& canvas, Campaign& c, const occupation_pages& o, int p, int pages,
                     int max_count, bool show_lat_lon, const OccupationQuality* quality) {
    const sn_page& page = o.pages[p];
    draw_row_labels(canvas, o, p, max_count);
    draw_information(canvas, c, show_lat_lon, p + 1, pages);
    if (quality) draw_quality_line(canvas, *quality);
    draw_footer(canvas);
    draw_frame(canvas, page);
    time_axis(canvas, page);
    sn_legend(canvas, page);
}

// Centimetres per second for the span; a span without positive length
// (begin equal to or after end, interval 0) gets the scale of one second so
// that every coordinate stays finite.
double scale_of(double begin, double end, int interval) {
    double seconds = (end - begin) + interval;
    if (!(seconds > 0) || !std::isfinite(seconds)) seconds = 1.0;
    return 26.0 / seconds;
}

// The drawing is laid out for a landscape page: from about x 0.6 to 28.9 cm
// (row labels left of the frame, the footer and a long file name right of
// it), up to 29.5 cm when a time label with a date stands at the right end of
// the axis, and from about y -0.3 cm (information block) up to 19.5 cm. A
// portrait page scales it down to fit the 21 cm width of A4 paper and shifts
// it right and up (in centimetres of the drawing) so that all of it lies on
// the paper, about 1 cm from the left and bottom edges.
constexpr double portrait_scale = 0.68;
constexpr double portrait_x_origin = 0.9;
constexpr double portrait_y_origin = 2.0;

// "Signal/noise <station> <observation file>", the document's title.
std::string page_title(Campaign& c) {
    c.read_linked(CampaignTable::sta, c.occ.sta_ref);
    return "Signal/noise " + field_text(c.sta.marker_name) + " " + field_text(c.occ.rinex_file);
}

// The GF and MW slips of the check, which the pages mark (the loss-of-lock
// flags are on them already).
struct phase_slips final : SlipSink {
    std::vector<QualitySlip> slips;
    void found(const QualitySlip& slip) override {
        if (slip.test == SlipTest::gf || slip.test == SlipTest::mw) slips.push_back(slip);
    }
};

// The check of an occupation with sky pages: it runs with the orbit check,
// whose completeness against the sky (per system, the observations expected
// above the mask and those present with L1, per 10 degree band) the page of
// signal against elevation shows.
PageQuality check_with_sky(Campaign& c, long occupation,
                           std::shared_ptr<const orbits::EphemerisStore> store,
                           std::vector<BandCompleteness>* completeness) {
    phase_slips list;
    PageQuality page;
    OrbitCheck orbit(c, occupation, std::move(store), list);
    page.quality = check_occupation(c, occupation, orbit, &orbit);
    page.slips = std::move(list.slips);
    const OrbitFigures figures = orbit.finish();
    for (const SystemSky& s : figures.sky.systems()) {
        if (s.expected_above_mask() == 0) continue;
        BandCompleteness& b = completeness->emplace_back();
        b.system = s.system;
        for (int k = 0; k < completeness_bands && k < sky_band_count; ++k) {
            b.expected[k] = s.bands[k].expected;
            b.present_l1[k] = s.bands[k].observed_l1;
        }
    }
    std::stable_sort(completeness->begin(), completeness->end(),
                     [](const BandCompleteness& a, const BandCompleteness& b) {
                         return system_rank(a.system) < system_rank(b.system);
                     });
    return page;
}

// What the sky pages draw, gathered in the pass over the observations.
struct sky_pages {
    std::vector<SatelliteSky> satellites;
    std::vector<SystemElevation> systems;
};

// The sky plot and the page of signal against elevation, pages `first` and
// `first` + 1 of `pages`, each with the information block (and the quality
// check's line where it ran) and the footer.
void draw_sky_pages(Canvas& canvas, Campaign& c, const sky_pages& sky, int first, int pages,
                    const plot_options& o, const OccupationQuality* quality,
                    const std::vector<BandCompleteness>* completeness) {
    canvas.begin_page(first);
    draw_sky_plot(canvas, sky.satellites, o.line_types);
    draw_information(canvas, c, o.show_lat_lon, first, pages, "Sky");
    if (quality) draw_quality_line(canvas, *quality);
    draw_footer(canvas);
    canvas.end_page();
    canvas.begin_page(first + 1);
    draw_elevation_page(canvas, sky.systems, completeness);
    draw_information(canvas, c, o.show_lat_lon, first + 1, pages, "Signal/elevation");
    if (quality) draw_quality_line(canvas, *quality);
    draw_footer(canvas);
    canvas.end_page();
}

}  // namespace

void plot_occupation(Campaign& c, const char* file_name, long occupation, const plot_options& o) {
    c.read_linked(CampaignTable::occ, occupation);
    const double begin = o.begin == -1 ? c.occ.first_epoch : o.begin;
    const double end = o.end == -1 ? c.occ.last_epoch : o.end;
    const int interval = c.occ.interval;

    occupation_pages& op = drawing;
    op.pages.clear();
    collect_rows(c, occupation, begin, &op.rows);
    const int pages = op.rows.pages();
    // The sky pages follow where the campaign holds orbits for the occupation.
    c.read_linked(CampaignTable::occ, occupation);
    std::vector<std::string> ids(static_cast<std::size_t>(op.rows.count()) + 1);
    for (int k = 1; k <= op.rows.count(); ++k) ids[k] = op.rows.place[k].id;
    SkyLook look = occupation_sky_look(c, occupation, o.ephemerides);
    if (look && !ephemerides_serve(o.ephemerides.get(), ids, {begin, (begin + end) / 2, end}))
        look = {};
    // The check makes its own pass over the observations before the page's.
    PageQuality quality;
    std::vector<BandCompleteness> completeness;
    if (o.quality && look)
        quality = check_with_sky(c, occupation, o.ephemerides, &completeness);
    else if (o.quality)
        quality = check_for_page(c, occupation);
    c.read_linked(CampaignTable::occ, occupation);
    std::unique_ptr<SkyGather> sky;
    if (look) sky = std::make_unique<SkyGather>(look, ids, interval);
    const int document_pages = pages + (sky ? 2 : 0);
    sn_page base{};
    base.begin = begin;
    base.end = end;
    base.cm_per_second = scale_of(begin, end, interval);
    base.interval = interval;
    base.line_types = o.line_types;
    for (int p = 0; p < pages; ++p) {
        sn_page& page = op.pages.emplace_back(base);
        const int rows = op.rows.page_rows[p];
        // The pages of a series share the frame of 27 rows and one count scale.
        if (pages == 1)
            set_page_rows(&page, rows, rows, 0);
        else
            set_page_rows(&page, rows, sv_frame_rows, op.rows.count());
    }

    PageSetup setup;
    setup.landscape = o.landscape;
    setup.scale = o.landscape ? 1.0 : portrait_scale;
    setup.x_origin = o.landscape ? 0.0 : portrait_x_origin;
    setup.y_origin = o.landscape ? 0.0 : portrait_y_origin;
    const std::string title = page_title(c);
    setup.title = title.c_str();
    std::unique_ptr<Canvas> made = make_canvas(o.format);
    if (!made) fatal("%s pages cannot be written by this build\n", draw_format_extension(o.format));
    Canvas& canvas = *made;
    if (!canvas.begin_document(file_name, setup, document_pages)) return;

    bool written = true;
    page_parts parts;
    parts.open(canvas, pages, document_pages <= 1, file_name);
    // A document of one page is drawn on in the pass; pages of a series (also
    // a signal/noise page that the sky pages follow) are put together from
    // their parts after it.
    if (document_pages <= 1) canvas.begin_page(1);
    const int max_count = draw_epochs(canvas, c, op, parts, sky.get());
    if (o.quality) draw_slip_marks(canvas, op, parts, quality.slips);
    const OccupationQuality* figures = o.quality ? &quality.quality : nullptr;
    for (int p = 0; p < pages; ++p) {
        if (document_pages > 1) {
            canvas.begin_page(p + 1);
            written = parts.insert(p) && written;
        }
        draw_page_texts(canvas, c, op, p, document_pages, max_count, o.show_lat_lon, figures);
        canvas.end_page();
    }
    parts.close();
    if (sky) {
        sky->finish();
        if (o.quality)
            for (const QualitySlip& slip : quality.slips) {
                const int k = op.rows.slot_of(static_cast<std::int32_t>(slip.satocc));
                if (k != 0 && slip.t >= begin && slip.t <= end) sky->mark_slip(k, slip.t);
            }
        const sky_pages drawn{sky->satellites(), sky->systems()};
        sky.reset();
        draw_sky_pages(canvas, c, drawn, pages + 1, document_pages, o, figures,
                       o.quality ? &completeness : nullptr);
    }
    if (!canvas.end_document() || !written) {
        std::perror("");
        fatal("Write failure on file %s\n", file_name);
    }
}
