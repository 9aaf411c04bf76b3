// The RINEX 3 and 4 line loop: the epoch records carry their satellites on
// their own lines, one observation record each.
#include <cstdio>

#include <vector>

#include "obsdb/signal_tables.h"
#include "rinex/read_state.h"
#include "rinex/rinex3_format.h"
#include "rinex/rinex_header.h"
#include "rinex/signal_info.h"

namespace {

// What the RINEX 3 loop keeps besides the reader state.
struct Rinex3State {
    rinex3_type_lists types;
    rinex3_plan plan;
    long sat_lines_left = 0;  // satellite lines of the current epoch still to come
    long epoch_line = 0;      // line of the current epoch record
    std::vector<GlonassChannel> channels;  // "GLONASS SLOT / FRQ #" pairs
};

// Stores which code each slot holds and the header's GLONASS channels.
void store_signals(ReadState& st, const Rinex3State& r3) {
    std::vector<frq_record> channels;
    for (const GlonassChannel& c : r3.channels) channels.push_back({0, c.slot, c.channel});
    store_occupation_signals(st.writer.occupation_number(), slot_codes(r3.types, r3.plan),
                             std::move(channels));
}

void header_line(ReadState& st, Rinex3State& r3) {
    const rinex3_label label = rinex3_header_label(st.line);
    Campaign& c = st.writer.tables();
    const HeaderRecords records{&c.sta, &c.cor, &c.rcv, &c.ant, &c.occ};
    switch (label) {
    case R3_VERSION: announce_version(st); break;
    case R3_OBS_TYPES: rinex3_add_types_line(&r3.types, st.line); break;
    case R3_ANTENNA_DELTA:
        rinex3_store_header_line(label, st.line, records);
        st.writer.set_file_name(st.base_name);
        break;
    case R3_END_OF_HEADER:
        rinex3_store_header_line(label, st.line, records);
        // The export takes station, day and session from the name, so a file
        // without an antenna line keeps its name too.
        if (c.occ.rinex_file[0] == '\0') st.writer.set_file_name(st.base_name);
        rinex3_make_plan(r3.types, &r3.plan);
        st.writer.link_occupation();
        store_signals(st, r3);
        st.header_done = true;
        break;
    case R3_NO_LABEL:
        // Data before "END OF HEADER" cannot be linked to an occupation.
        if (st.line.starts_with('>')) reject_headerless(st);
        break;
    default:
        if (trimmed(label_columns(st.line)) == "GLONASS SLOT / FRQ #")
            read_glonass_slot_line(st.line, &r3.channels);
        rinex3_store_header_line(label, st.line, records);
        break;
    }
}

// One satellite line of the current epoch: the satellite is linked to the
// occupation and its five slots become one observation record. A line that
// does not begin with a satellite identifier stores nothing.
void sat_line(ReadState& st, const Rinex3State& r3) {
    char satellite[4];
    if (!rinex3_read_sat_line(st.line, r3.plan, satellite, st.obs)) return;
    st.writer.store_observation(st.writer.link_satellite(satellite), st.obs);
}

void data_line(ReadState& st, Rinex3State& r3) {
    if (st.records_to_skip > 0) {
        --st.records_to_skip;
        return;
    }
    rinex3_epoch epoch;
    const rinex3_record_kind kind = rinex3_read_epoch_line(st.line, &epoch);
    if (r3.sat_lines_left > 0) {
        // An epoch record where a satellite line should be: the epoch before
        // has fewer lines than it announced. The new record counts.
        if (kind == rinex3_record_kind::not_epoch) {
            --r3.sat_lines_left;
            sat_line(st, r3);
            return;
        }
        r3.sat_lines_left = 0;
    }
    switch (kind) {
    case rinex3_record_kind::epoch:
        st.writer.begin_epoch(epoch_time(st, epoch.year, epoch.month, epoch.day, epoch.hour,
                                         epoch.minute, epoch.seconds));
        st.in_data = true;
        r3.sat_lines_left = epoch.count;
        r3.epoch_line = st.line_count;
        break;
    case rinex3_record_kind::special_records:
    case rinex3_record_kind::cycle_slips:
        // Header lines or cycle-slip satellite lines: neither epochs nor
        // observations.
        st.records_to_skip = epoch.count;
        r3.epoch_line = st.line_count;
        break;
    case rinex3_record_kind::not_epoch: break;
    }
}

}  // namespace

void read_rinex3(ReadState& st) {
    Rinex3State r3;
    do {
        show_progress(st);
        if (!st.header_done)
            header_line(st, r3);
        else
            data_line(st, r3);
    } while (read_line(st));
    if (!st.header_done) reject_headerless(st);
    // A file that ends before the lines its last record announced has been
    // cut: what it held is unknown.
    if (r3.sat_lines_left > 0 || st.records_to_skip > 0) {
        char reason[80];
        std::snprintf(reason, sizeof reason, "the file ends inside the epoch record of line %ld",
                      r3.epoch_line);
        refuse_file(st, reason);
    }
}
