// The RINEX 2 line loop: header lines fill the occupation's records, epoch
// lines link their satellites, observation lines become observation records.
#include <cstdio>

#include "rinex/read_state.h"
#include "rinex/rinex2_format.h"

namespace {

constexpr int max_epoch_sats = 999;  // the satellite count field has three digits

// What the RINEX 2 loop keeps besides the reader state.
struct Rinex2State {
    Rinex2Types types;

    // The current epoch.
    long epoch_sats[max_epoch_sats];  // satellite occupation of each listed satellite
    int sat_count = 0;                // satellites announced by the epoch line
    int sats_listed = 0;              // satellites read from its list so far
    int sat_pos = 0;                  // satellite of the next observation line
    int sat_lines_pending = 0;        // satellite continuation lines still expected
    bool listing_event = false;       // the pending list belongs to an event, not an epoch
    bool epoch_open = false;          // observation lines belong to the current epoch
};

void header_line(ReadState& st, Rinex2State& r2, HeaderLabel label) {
    Campaign& c = st.writer.tables();
    const HeaderRecords records{&c.sta, &c.cor, &c.rcv, &c.ant, &c.occ};
    switch (label) {
    case HeaderLabel::version: announce_version(st); break;
    case HeaderLabel::antenna_delta:
        rinex2_store_header_line(label, st.line, records);
        st.writer.set_file_name(st.base_name);
        break;
    case HeaderLabel::wavelength:
        if (!rinex2_store_wavelength_line(st.line, &c.occ))
            std::printf("Die abweichenden Wavelength-Facts werden nicht beruecksichtigt.\n");
        break;
    case HeaderLabel::types2: rinex2_add_types_line(&r2.types, st.line); break;
    case HeaderLabel::end_of_header:
        // A second one (inside event records) must not store the occupation again.
        if (!st.header_done) {
            st.writer.link_occupation();
            st.header_done = true;
        }
        break;
    default: rinex2_store_header_line(label, st.line, records); break;
    }
}

// Takes up to twelve satellite identifiers (three characters each) from `list`.
void read_sat_list(ReadState& st, Rinex2State& r2, std::string_view list) {
    for (int i = 0; i < rinex2_sats_per_line && r2.sats_listed < r2.sat_count; ++i) {
        const std::size_t at = 3 * static_cast<std::size_t>(i);
        if (at + 3 > list.size()) break;
        if (!r2.listing_event)
            r2.epoch_sats[r2.sats_listed] = st.writer.link_satellite(list.data() + at);
        ++r2.sats_listed;
    }
}

// Starts an epoch (flags 0 and 1) or the satellite list of a cycle-slip
// record (flag 6).
void start_epoch(ReadState& st, Rinex2State& r2, const Rinex2Epoch& e) {
    if (!st.header_done) reject_headerless(st);
    long count = e.count;
    if (count < 0) count = 0;
    if (count > max_epoch_sats) count = max_epoch_sats;
    r2.sat_count = static_cast<int>(count);
    r2.sats_listed = 0;
    r2.sat_pos = 0;
    r2.listing_event = e.flag == 6;
    r2.epoch_open = !r2.listing_event;

    if (r2.listing_event) {
        // Cycle-slip records in observation format follow the list: pass over them.
        st.records_to_skip = count * rinex2_lines_per_satellite(r2.types.count);
    } else {
        st.writer.begin_epoch(epoch_time(st, e.year < 70 ? 2000 + e.year : 1900 + e.year, e.month,
                                         e.day, e.hour, e.minute, e.seconds));
        st.in_data = true;
    }
    read_sat_list(st, r2, e.satellites);
    r2.sat_lines_pending = (r2.sat_count + rinex2_sats_per_line - 1) / rinex2_sats_per_line - 1;
    if (r2.sat_lines_pending < 0) r2.sat_lines_pending = 0;
}

// Epoch and event lines. False for any other line.
bool epoch_or_event_line(ReadState& st, Rinex2State& r2) {
    Rinex2Epoch e;
    switch (rinex2_read_epoch_line(st.line, &e)) {
    case Rinex2Record::epoch:
    case Rinex2Record::cycle_slips: start_epoch(st, r2, e); return true;
    case Rinex2Record::special_records:
        st.records_to_skip = e.count;
        r2.epoch_open = false;
        return true;
    case Rinex2Record::none: break;
    }
    return false;
}

// The observations of the next satellite of the epoch, on this line and as
// many continuation lines as the number of types needs.
void observation_line(ReadState& st, Rinex2State& r2) {
    if (!r2.epoch_open || r2.sat_pos >= r2.sats_listed) return;
    const Rinex2Types& types = r2.types;
    // Types that the file ends before are stored as absent, not as the
    // previous satellite's values.
    for (int type = 0; type < types.count && type < rinex2_max_types; ++type)
        if (types.slot[type] >= 0) st.obs[types.slot[type]] = {0, ' ', ' ', {0, 0}};
    int field = 0;
    for (int type = 0; type < types.count; ++type) {
        if (field == rinex2_fields_per_line) {
            if (!read_line(st)) break;
            field = 0;
        }
        const int slot = type < rinex2_max_types ? types.slot[type] : -1;
        if (slot >= 0) rinex2_read_field(st.line, field, &st.obs[slot]);
        ++field;
    }
    st.writer.store_observation(r2.epoch_sats[r2.sat_pos], st.obs);
    ++r2.sat_pos;
}

void data_line(ReadState& st, Rinex2State& r2) {
    if (r2.sat_lines_pending > 0) {
        if (rinex2_is_sat_continuation(st.line)) {
            read_sat_list(st, r2, st.line.substr(rinex2_sat_list_column));
            --r2.sat_lines_pending;
            return;
        }
        r2.sat_lines_pending = 0;  // the list ends early; this line is something else
    }
    if (st.records_to_skip > 0) {
        --st.records_to_skip;
        return;
    }
    if (epoch_or_event_line(st, r2)) return;
    if (st.in_data) observation_line(st, r2);
}

}  // namespace

void read_rinex2(ReadState& st) {
    Rinex2State r2;
    do {
        show_progress(st);
        const HeaderLabel label = rinex2_header_label(st.line);
        if (label != HeaderLabel::none) {
            header_line(st, r2, label);
            if (st.records_to_skip > 0) --st.records_to_skip;
        } else {
            data_line(st, r2);
        }
    } while (read_line(st));
    if (!st.header_done) reject_headerless(st);
}
