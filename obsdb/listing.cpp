#include "obsdb/listing.h"

#include <cstdio>

#include "obsdb/campaign.h"
#include "support/checked_file.h"

namespace {

Campaign tables;

// Writes the title, then one line per record of `db` in key order through
// `write_line` (running count from 1, record number; the record is in the
// handle's buffer).
template <typename WriteLine>
void write_section(std::FILE* out, const char* title, CampaignTable table, WriteLine write_line) {
    std::fputs(title, out);
    DbHandle* db = &tables.handle(table);
    long count = 0;
    for (long number = db_first(db); number != 0; number = db_next(db)) {
        tables.read_checked(table, number);
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
                     count, number, long{tables.occ.sta_ref}, long{tables.occ.cor_ref},
                     long{tables.occ.rcv_ref}, long{tables.occ.ant_ref}, tables.occ.delta_h,
                     tables.occ.delta_e, tables.occ.delta_n, long{tables.occ.interval},
                     long{tables.occ.wlf_l1}, long{tables.occ.wlf_l2}, tables.occ.observer,
                     tables.occ.agency, tables.occ.rinex_file, tables.occ.first_epoch,
                     tables.occ.last_epoch);
    });
    write_section(out, "Station:\n", CampaignTable::sta, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %4ld %.61s %.23s\n", count, number, long{tables.sta.sta_flags},
                     tables.sta.marker_name, tables.sta.marker_number);
    });
    write_section(out, "Receiver:\n", CampaignTable::rec, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %.21s %.21s\n", count, number, tables.rcv.rcv_number,
                     tables.rcv.rcv_type);
    });
    write_section(out, "Antenna:\n", CampaignTable::ant, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %.21s %.21s\n", count, number, tables.ant.ant_number,
                     tables.ant.ant_type);
    });
    write_section(out, "SatOccu:\n", CampaignTable::satocc, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %4ld %4ld\n", count, number, long{tables.satocc.sat_ref},
                     long{tables.satocc.occ_ref});
    });
    write_section(out, "Sats:\n", CampaignTable::sat, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %.16s %.81s\n", count, number, tables.sat.prn,
                     tables.sat.sat_text);
    });
    write_section(out, "Observations:\n", CampaignTable::obs, [out](long count, long number) {
        std::fprintf(out, "%6ld %6ld %6ld %8lf\n", count, number, long{tables.obs.satocc_ref},
                     tables.obs.epoch);
    });
}

}  // namespace

void list_database(const char* file_name) {
    std::FILE* out = checked_open(file_name, "wt");
    static char out_buffer[1 << 16];
    std::setvbuf(out, out_buffer, _IOFBF, sizeof out_buffer);

    tables.open_read({CampaignTable::occ, CampaignTable::rec, CampaignTable::ant,
                      CampaignTable::sta, CampaignTable::satocc, CampaignTable::sat,
                      CampaignTable::obs});

    write_sections(out);

    tables.close({CampaignTable::occ, CampaignTable::satocc, CampaignTable::rec, CampaignTable::ant,
                  CampaignTable::sta, CampaignTable::sat, CampaignTable::obs});
    checked_close(out, file_name);
    std::printf("Done.\n");
}
