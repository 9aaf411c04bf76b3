#include "obsdb/listing.h"

#include <cstdio>

#include "obsdb/campaign.h"
#include "support/checked_file.h"

namespace {

Campaign c;

// Writes the title, then one line per record of `db` in key order through
// `write_line` (running count from 1, record number; the record is in the
// handle's buffer).
template <typename WriteLine>
void write_section(std::FILE* out, const char* title, CampaignTable table, WriteLine write_line) {
    std::fputs(title, out);
    DbHandle* db = &c.handle(table);
    long count = 0;
    for (long number = db_first(db); number != 0; number = db_next(db)) {
        c.read_checked(table, number);
        write_line(++count, number);
    }
}

// Text fields are printed with their width as precision, so a record without
// its terminator cannot run into the next field.
void write_sections(std::FILE* out) {
    write_section(out, "Occupation:\n", CampaignTable::occ, [out](long count, long number) {
        std::fprintf(out,
                     "%3ld %4ld %4ld %4ld %4ld %4ld %5.3lf %5.3lf %5.3lf %2ld %2ld %2ld %10.21s "
                     "%10.41s %10.81s %10.2lf %10.2lf\n",
                     count, number, long{c.occ.sta_ref}, long{c.occ.cor_ref}, long{c.occ.rcv_ref},
                     long{c.occ.ant_ref}, c.occ.delta_h, c.occ.delta_e, c.occ.delta_n,
                     long{c.occ.interval}, long{c.occ.wlf_l1}, long{c.occ.wlf_l2}, c.occ.observer,
                     c.occ.agency, c.occ.rinex_file, c.occ.first_epoch, c.occ.last_epoch);
    });
    write_section(out, "Station:\n", CampaignTable::sta, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %4ld %.61s %.23s\n", count, number, long{c.sta.sta_flags},
                     c.sta.marker_name, c.sta.marker_number);
    });
    write_section(out, "Receiver:\n", CampaignTable::rec, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %.21s %.21s\n", count, number, c.rcv.rcv_number,
                     c.rcv.rcv_type);
    });
    write_section(out, "Antenna:\n", CampaignTable::ant, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %.21s %.21s\n", count, number, c.ant.ant_number,
                     c.ant.ant_type);
    });
    write_section(out, "SatOccu:\n", CampaignTable::satocc, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %4ld %4ld\n", count, number, long{c.satocc.sat_ref},
                     long{c.satocc.occ_ref});
    });
    write_section(out, "Sats:\n", CampaignTable::sat, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %.16s %.81s\n", count, number, c.sat.prn, c.sat.sat_text);
    });
    write_section(out, "Observations:\n", CampaignTable::obs, [out](long count, long number) {
        std::fprintf(out, "%6ld %6ld %6ld %8lf\n", count, number, long{c.obs.satocc_ref},
                     c.obs.epoch);
    });
}

}  // namespace

void list_database(const char* file_name) {
    std::FILE* out = checked_open(file_name, "wt");
    static char out_buffer[1 << 16];
    std::setvbuf(out, out_buffer, _IOFBF, sizeof out_buffer);

    c.open_read({CampaignTable::occ, CampaignTable::rec, CampaignTable::ant, CampaignTable::sta,
                 CampaignTable::satocc, CampaignTable::sat, CampaignTable::obs});

    write_sections(out);

    c.close({CampaignTable::occ, CampaignTable::satocc, CampaignTable::rec, CampaignTable::ant,
             CampaignTable::sta, CampaignTable::sat, CampaignTable::obs});
    checked_close(out, file_name);
    std::printf("Done.\n");
}
