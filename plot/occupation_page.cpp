#include "plot/occupation_page.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "geodesy/geodesy.h"
#include "plot/sn_elements.h"
#include "pslib/pslib.h"
#include "support/error.h"
#include "support/version.h"

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

constexpr double row_pitch = 0.65;

// A text field of a record, cut at its width even when it lacks its
// terminator.
struct field_text {
    char text[96];
};
template <std::size_t N>
field_text text_of(const char (&field)[N]) {
    static_assert(N < sizeof(field_text::text));
    field_text out{};
    std::memcpy(out.text, field, N);
    return out;
}

void put_text(double x, double y, int size, int justify, const char* format, ...)
    __attribute__((format(printf, 5, 6)));
void put_text(double x, double y, int size, int justify, const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    ps_put_text(x, y, size, text, 0.0, justify, 0);
}

// S/N character of an observation; a blank and anything that is no digit
// count as "0".
char sn_class_of(char snr) { return snr >= '0' && snr <= '9' ? snr : '0'; }

bool loses_lock(char lli) { return lli == '1' || lli == '5'; }

// The satellite occupations of the page: up to 30 in the slots (the rows),
// and whether there are more than that.
struct page_sats {
    sv_slot slots[sv_slot_count];
    int filled;  // slots in use
    int total;   // satellite occupations of the occupation
    long occupation;
};

// The satellite occupations of one occupation in key order. Their keys begin
// with the occupation's record number ("%07ld", then the satellite's), so the
// walk starts at the first key with that beginning and ends with the last,
// instead of reading every satellite occupation of the campaign; the caller
// still compares each record's occupation.
struct satocc_walk {
    char prefix[24];
    std::size_t length;
};

long first_satocc(Campaign& c, satocc_walk* walk, long occupation) {
    std::snprintf(walk->prefix, sizeof walk->prefix, "%07ld", occupation);
    walk->length = std::strlen(walk->prefix);
    return db_find(&c.satocc_db, walk->prefix) ? db_current_record(&c.satocc_db) : 0;
}

long next_satocc(Campaign& c, const satocc_walk& walk) {
    const long r = db_next(&c.satocc_db);
    if (r == 0 || std::strncmp(db_current_key(&c.satocc_db), walk.prefix, walk.length) != 0)
        return 0;
    return r;
}

void fill_slots(Campaign& c, page_sats* sats, long occupation, double begin) {
    std::memset(sats, 0, sizeof *sats);
    sats->occupation = occupation;
    satocc_walk walk;
    for (long r = first_satocc(c, &walk, occupation); r != 0; r = next_satocc(c, walk)) {
        c.read_checked(CampaignTable::satocc, r);
        if (c.satocc.occ_ref != occupation) continue;
        ++sats->total;
        if (sats->filled == sv_row_slots) continue;
        sv_slot& slot = sats->slots[++sats->filled];
        slot.satocc_no = static_cast<std::int32_t>(r);
        slot.l1_since = begin;
        slot.l2_since = begin;
    }
    sats->slots[0].l1_since = begin;
    sats->slots[0].l2_since = begin;
}

// Whether a satellite occupation belongs to the page's occupation. The slots
// answer it without a read unless the occupation has more satellites than rows.
bool belongs(Campaign& c, const page_sats& sats, std::int32_t satocc_ref) {
    if (satocc_ref > 0 && find_sv_slot(sats.slots, satocc_ref) != 0) return true;
    if (sats.total <= sats.filled || satocc_ref <= 0) return false;
    return db_read(&c.satocc_db, satocc_ref) == satocc_ref && c.satocc.occ_ref == sats.occupation;
}

// Moves the zzOBS walk on by one entry; false at the end of the index.
bool next_obs(Campaign& c) {
    const long r = db_next(&c.obs_db);
    if (r == 0) return false;
    c.read_checked(CampaignTable::obs, r);
    return true;
}

// Observation records lie at k * record size for k = 1 to count, and the
// observations of one occupation are stored together in reading order, with
// occupations numbered in reading order too. So the occupation of record k
// never decreases with k, and its first observation can be found by halving
// over k instead of walking the observations of every earlier occupation.

constexpr long obs_size = sizeof(obs_record);

bool obs_readable(Campaign& c, long k) { return db_read(&c.obs_db, k * obs_size) == k * obs_size; }

// Number of whole observation records: doubling, then halving on readability.
long obs_count(Campaign& c) {
    long high = 1;
    while (obs_readable(c, high)) high *= 2;
    long low = high / 2;  // readable, or 0
    while (high - low > 1) {
        const long mid = low + (high - low) / 2;
        (obs_readable(c, mid) ? low : high) = mid;
    }
    return low;
}

// The occupation of observation record k through its satellite occupation,
// or -1 when the record or its link cannot be read.
long occupation_at(Campaign& c, long k) {
    if (!obs_readable(c, k)) return -1;
    const long satocc = c.obs.satocc_ref;
    if (satocc <= 0 || db_read(&c.satocc_db, satocc) != satocc) return -1;
    return c.satocc.occ_ref;
}

enum class search_result { found, none, unsure };

// Halves over the observation records for the first one of `occupation` and
// positions the zzOBS index on it. `unsure` when a record met on the way
// cannot be followed to its occupation, or the order the search relies on
// does not hold around the result; the caller then walks instead.
search_result seek_first_observation(Campaign& c, long occupation) {
    const long count = obs_count(c);
    if (count == 0) return search_result::none;
    // Every record looked at, by position: the order the search relies on
    // must hold among them, or the walk decides.
    struct probe {
        long k;
        long at;
    };
    probe probes[80];
    int probed = 0;
    auto look = [&](long k) {
        const long at = occupation_at(c, k);
        probes[probed++] = {k, at};
        return at;
    };
    if (look(1) < 0 || look(count) < 0) return search_result::unsure;
    long low = 1, high = count + 1;  // the answer lies in [low, high]
    while (low < high) {
        const long mid = low + (high - low) / 2;
        const long at = look(mid);
        if (at < 0) return search_result::unsure;
        if (at < occupation)
            low = mid + 1;
        else
            high = mid;
    }
    if (low <= count && look(low) < 0) return search_result::unsure;
    if (low > 1 && look(low - 1) < 0) return search_result::unsure;
    std::sort(probes, probes + probed, [](const probe& a, const probe& b) { return a.k < b.k; });
    for (int i = 1; i < probed; ++i)
        if (probes[i].at < probes[i - 1].at) return search_result::unsure;
    if (low > count || occupation_at(c, low) != occupation) return search_result::none;

    char key[record_key_size];
    const long number = low * obs_size;
    record_number_key(key, number);
    if (!db_find(&c.obs_db, key) || db_current_record(&c.obs_db) != number ||
        db_read(&c.obs_db, number) != number)
        return search_result::unsure;
    return search_result::found;
}

// Positions the zzOBS walk on the first observation of the occupation at or
// after begin. False when there is none.
bool find_first_epoch(Campaign& c, const page_sats& sats, double begin) {
    bool have = false;
    switch (seek_first_observation(c, sats.occupation)) {
    case search_result::found: have = true; break;
    case search_result::none: return false;
    case search_result::unsure: {
        const long r = db_first(&c.obs_db);
        have = r != 0;
        if (have) c.read_checked(CampaignTable::obs, r);
        while (have && !belongs(c, sats, c.obs.satocc_ref)) have = next_obs(c);
        break;
    }
    }
    while (have && c.obs.epoch < begin) have = next_obs(c);
    return have;
}

// Observations drawn in this run; every hundredth prints a progress dot.
long progress_count = 0;

void progress_mark() {
    ++progress_count;
    if (progress_count % 100 == 0) std::putchar('.');
}

// Draws the rows and the count curve epoch by epoch in one forward pass over
// zzOBS. Returns the largest count level reached.
int draw_epochs(Campaign& c, page_sats* sats, const sn_page& s) {
    sv_slot* slots = sats->slots;
    const int interval = s.interval;
    bool have = find_first_epoch(c, *sats, s.begin);
    double t = 0, previous_epoch = 0, previous_spacing = 0;
    int epochs = 0, max_count = 0;
    while (have && c.obs.epoch <= s.end && belongs(c, *sats, c.obs.satocc_ref)) {
        for (sv_slot& slot : sats->slots) slot.l1_next = slot.l2_next = 0;
        t = c.obs.epoch;
        int n = 0;
        do {
            progress_mark();
            int k = find_sv_slot(slots, c.obs.satocc_ref);
            if (k != 0) {  // satellites beyond the 30th have no row
                const obs_value& l1 = c.obs.obs[OBS_L1];
                const obs_value& l2 = c.obs.obs[OBS_L2];
                slots[k].l1_next = sn_class_of(l1.snr);
                slots[k].l2_next = sn_class_of(l2.snr);
                if (loses_lock(l1.lli)) lock_loss_mark(s, SN_L1, t, k);
                if (loses_lock(l2.lli)) lock_loss_mark(s, SN_L2, t, k);
            }
            have = next_obs(c);
            ++n;
        } while (have && c.obs.epoch == t && belongs(c, *sats, c.obs.satocc_ref));

        // A gap only counts when the next observation is drawn on this page;
        // after the last epoch the closing step ends the lines.
        bool more = have && c.obs.epoch <= s.end && belongs(c, *sats, c.obs.satocc_ref);
        if (more && std::floor(c.obs.epoch) > t + interval) {
            count_curve_gap(s, &slots[0], t, &n);
            t = slots[0].l1_since;
            for (int k = 1; k < sv_slot_count; ++k) {
                segment_gap(s, &slots[k], SN_L1, t, k - 1);
                segment_gap(s, &slots[k], SN_L2, t, k - 1);
            }
        }
        if (slots[0].l1_class != n) count_curve_step(s, &slots[0], t, n);
        for (int k = 1; k < sv_slot_count; ++k) {
            if (slots[k].l1_class != slots[k].l1_next)
                segment_change(s, &slots[k], SN_L1, t, k - 1);
            if (slots[k].l2_class != slots[k].l2_next)
                segment_change(s, &slots[k], SN_L2, t, k - 1);
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
        count_curve_close(s, &slots[0], t);
        for (int k = 1; k < sv_slot_count; ++k) {
            segment_close(s, &slots[k], SN_L1, t, k - 1);
            segment_close(s, &slots[k], SN_L2, t, k - 1);
        }
    }
    return max_count;
}

// Satellite names left of the rows, "SV #" above them, and the scale of the
// satellite-count curve.
void draw_row_labels(Campaign& c, const page_sats& sats, int sv_rows, int max_count) {
    ps_select_font(0);
    ps_paint(0, 0, 0);
    int i = 0;
    satocc_walk walk;
    for (long r = first_satocc(c, &walk, sats.occupation); r != 0 && i < sats.filled;
         r = next_satocc(c, walk)) {
        c.read_checked(CampaignTable::satocc, r);
        if (c.satocc.occ_ref != sats.occupation) continue;
        if (c.read_linked(CampaignTable::sat, c.satocc.sat_ref))
            put_text(1.2, sv_rows * row_pitch + 0.5 - i * row_pitch, 8, 11, "%3s",
                     text_of(c.sat.prn).text);
        ++i;
    }
    put_text(1.2, (sv_rows + 1) * row_pitch + 0.5, 8, 10, "SV #");
    ps_line_width(3);
    for (int v = 1; v <= max_count; ++v) {
        put_text(1.8, v * row_pitch + 0.75, 6, 7, "%d", v);
        ps_pen_to(1.9, v * row_pitch + 0.75, ps_pen_move);
        ps_pen_by(0.1, 0.0, ps_pen_draw);
    }
}

// One packed angle with its hemisphere letter.
void put_angle(double y, double packed, char positive, char negative, int positive_decimals) {
    bool south_west = packed < 0;
    dms_parts p = dms_split(packed, south_west ? 3 : positive_decimals);
    if (south_west)
        put_text(7.8, y, 8, 9, "%c %2.0lf %2.0lf %6.3lf", negative, p.degrees, p.minutes,
                 p.seconds);
    else if (positive_decimals == 6)
        put_text(7.8, y, 8, 9, "%c %2.0lf %2.0lf %6.6lf", positive, p.degrees, p.minutes,
                 p.seconds);
    else
        put_text(7.8, y, 8, 9, "%c %2.0lf %2.0lf %6.3lf", positive, p.degrees, p.minutes,
                 p.seconds);
}

void draw_position(const Campaign& c, bool show_lat_lon) {
    ell_params ell;
    ell_setup(grs80_a, grs80_b, &ell);
    const geodetic_position p = station_position(c.cor.pos_x, c.cor.pos_y, c.cor.pos_z, ell);
    if (!p.known) {
        // The file gave no position (or one that is no place on Earth).
        put_text(7.8, 0.6, 8, 9, "Position unknown");
        return;
    }
    if (!show_lat_lon) {
        put_text(7.8, 0.6, 8, 9, "X: %13.4lfm", c.cor.pos_x);
        put_text(7.8, 0.3, 8, 9, "Y: %13.4lfm", c.cor.pos_y);
        put_text(7.8, 0.0, 8, 9, "Z: %13.4lfm", c.cor.pos_z);
        return;
    }
    put_angle(0.6, rad_to_dms(p.latitude), 'N', 'S', 3);
    put_angle(0.3, rad_to_dms(p.longitude), 'E', 'W', 6);
    put_text(7.8, 0.0, 8, 9, "ALT %10.3lf", p.height);
}

// Station, position, receiver, antenna, offsets, interval and the
// occupation's first and last epoch below the frame.
void draw_information(Campaign& c, bool show_lat_lon) {
    c.read_linked(CampaignTable::cor, c.occ.cor_ref);
    c.read_linked(CampaignTable::sta, c.occ.sta_ref);
    c.read_linked(CampaignTable::rec, c.occ.rcv_ref);
    c.read_linked(CampaignTable::ant, c.occ.ant_ref);

    ps_select_font(4);
    ps_paint(0, 0, 0);
    put_text(27.0, 0.6, 15, 10, "%.8s", text_of(c.sta.marker_name).text);
    ps_select_font(8);
    draw_position(c, show_lat_lon);
    put_text(27.0, 0.0, 8, 2, "%s", text_of(c.occ.rinex_file).text);
    put_text(2.0, 0.0, 8, 9, "Int: %is", c.occ.interval);
    put_text(2.0, 0.6, 8, 9, "Rec: %s,%s", text_of(c.rcv.rcv_number).text,
             text_of(c.rcv.rcv_type).text);
    put_text(2.0, 0.3, 8, 9, "Ant: %s,%s", text_of(c.ant.ant_number).text,
             text_of(c.ant.ant_type).text);
    put_text(11.0, 0.6, 8, 9, "H: %7.4lfm", c.occ.delta_h);
    put_text(11.0, 0.3, 8, 9, "E: %7.4lfm", c.occ.delta_e);
    put_text(11.0, 0.0, 8, 9, "N: %7.4lfm", c.occ.delta_n);
    char when[time_text_size];
    put_text(13.4, 0.6, 8, 9, "Begin: %s", format_time_value(c.occ.first_epoch, when));
    put_text(13.4, 0.3, 8, 9, "End:   %s", format_time_value(c.occ.last_epoch, when));
}

void draw_footer() {
    ps_select_font(0);
    std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    char text[256];
    std::snprintf(text, sizeof text, "%s %s %s %02u.%02u.%4u QOR-VELD", program_name, version_text,
                  credits_text, static_cast<unsigned>(today.tm_mday),
                  static_cast<unsigned>(today.tm_mon + 1),
                  static_cast<unsigned>(today.tm_year + 1900));
    ps_put_text(28.2, 0.65, 8, text, -90.0, 3, 0);
}

void draw_frame(int sv_rows) {
    double height = sv_rows * row_pitch + 0.07;
    ps_paint(0, 0, 0);
    ps_line_width(12);
    ps_pen_to(2.0, 0.7, ps_pen_move);
    ps_pen_by(26.0, 0.0, ps_pen_draw);
    ps_pen_by(0.0, height, ps_pen_draw);
    ps_pen_by(-26.0, 0.0, ps_pen_draw);
    ps_pen_by(0.0, -height, ps_pen_draw);
}

// Centimetres per second for the span; a span without positive length
// (begin equal to or after end, interval 0) gets the scale of one second so
// that every coordinate stays finite.
double scale_of(double begin, double end, int interval) {
    double seconds = (end - begin) + interval;
    if (!(seconds > 0) || !std::isfinite(seconds)) seconds = 1.0;
    return 26.0 / seconds;
}

// The drawing is laid out for a landscape page: from about x 0.6 to 28.5 cm
// (row labels left of the frame, the footer right of it), up to 29.5 cm when
// a time label with a date stands at the right end of the axis, and from
// about y -1.0 cm (information block, labels of rows 28 to 30) up to 19.5 cm
// for 27 rows. A portrait page scales it down to fit the 21 cm width of A4
// paper and shifts it right and up (in centimetres of the drawing) so that
// all of it lies on the paper, about 1 cm from the left and bottom edges.
constexpr double portrait_scale = 0.68;
constexpr double portrait_x_origin = 0.9;
constexpr double portrait_y_origin = 2.0;

}  // namespace

void plot_occupation(Campaign& c, const char* file_name, long occupation, const plot_options& o) {
    const bool landscape = o.landscape;
    const int white[3] = {255, 255, 255};
    const double paper_scale = landscape ? 1.0 : portrait_scale;
    const double x_origin = landscape ? 0.0 : portrait_x_origin;
    const double y_origin = landscape ? 0.0 : portrait_y_origin;
    if (ps_begin_document(file_name, 0, landscape ? 0 : ps_mode_portrait, x_origin, y_origin,
                          paper_scale, paper_scale, 1, 300, ps_unit_cm, 20.0, white, nullptr) != 0)
        return;
    c.read_linked(CampaignTable::occ, occupation);
    const double begin = o.begin == -1 ? c.occ.first_epoch : o.begin;
    const double end = o.end == -1 ? c.occ.last_epoch : o.end;
    const int interval = c.occ.interval;

    page_sats sats;
    fill_slots(c, &sats, occupation, begin);
    int sv_rows = sats.filled;
    if (sats.total > sv_frame_rows) {
        std::printf("more than 27 SVs\n");
        sv_rows = sv_frame_rows;
    }
    const sn_page page = {begin,    end,     scale_of(begin, end, interval),
                          interval, sv_rows, o.line_types};

    int max_count = draw_epochs(c, &sats, page);
    draw_row_labels(c, sats, sv_rows, max_count);
    draw_information(c, o.show_lat_lon);
    draw_footer();
    draw_frame(sv_rows);
    time_axis(page);
    sn_legend(page);
    if (ps_end_document(1) != 0) {
        std::perror("");
        fatal("Write failure on file %s\n", file_name);
    }
}
