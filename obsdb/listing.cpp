#include "obsdb/listing.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "obsdb/campaign.h"
#include "db/output_file.h"
#include "obsdb/nav_listing.h"

namespace {

// Writes `number` right-aligned in at least `width` characters, as "%*ld"
// does; returns the end.
char* put_long(char* out, long number, int width) {
    char digits[24];
    char* const end = digits + sizeof digits;
    char* first = end;
    unsigned long magnitude =
        number < 0 ? 0UL - static_cast<unsigned long>(number) : static_cast<unsigned long>(number);
    do {
        *--first = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (number < 0) *--first = '-';
    for (long pad = width - (end - first); pad > 0; --pad) *out++ = ' ';
    std::memcpy(out, first, static_cast<std::size_t>(end - first));
    return out + (end - first);
}

// One observation line, "%6ld %6ld %6ld %8lf\n". Time values are whole
// seconds but for fractions of a second: those are written here directly,
// anything else by printf.
void write_observation(std::FILE* out, long count, long number, const obs_record& obs) {
    char line[128];  // three numbers of at most 20 characters, an epoch of at most 24
    char* p = put_long(line, count, 6);
    *p++ = ' ';
    p = put_long(p, number, 6);
    *p++ = ' ';
    p = put_long(p, obs.satocc_ref, 6);
    *p++ = ' ';
    const double epoch = obs.epoch;
    if (std::fabs(epoch) < 1e15 && epoch == std::trunc(epoch)) {
        if (std::signbit(epoch)) *p++ = '-';
        p = put_long(p, static_cast<long>(std::fabs(epoch)), 1);
        std::memcpy(p, ".000000\n", 8);
        p += 8;
        std::fwrite(line, 1, static_cast<std::size_t>(p - line), out);
    } else {
        // Up to some 300 digits for the largest doubles.
        std::fwrite(line, 1, static_cast<std::size_t>(p - line), out);
        std::fprintf(out, "%8lf\n", epoch);
    }
}

// Writes the title, then one line per record of the table in key order
// through `write_line` (running count from 1, record number, the tables with
// the record in its variable).
template <typename WriteLine>
void write_section(Campaign& tables, std::FILE* out, const char* title, CampaignTable table,
                   WriteLine write_line) {
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
void write_sections(Campaign& c, std::FILE* out) {
    const occ_record& occ = c.occ;
    write_section(c, out, "Occupation:\n", CampaignTable::occ, [&](long count, long number) {
        std::fprintf(out,
                     "%3ld %4ld %4ld %4ld %4ld %4ld %5.3lf %5.3lf %5.3lf %2ld %2ld %2ld %10.21s "
                     "%10.41s %10.81s %10.2lf %10.2lf\n",
                     count, number, long{occ.sta_ref}, long{occ.cor_ref}, long{occ.rcv_ref},
                     long{occ.ant_ref}, occ.delta_h, occ.delta_e, occ.delta_n, long{occ.interval},
                     long{occ.wlf_l1}, long{occ.wlf_l2}, occ.observer, occ.agency, occ.rinex_file,
                     occ.first_epoch, occ.last_epoch);
    });
    write_section(c, out, "Station:\n", CampaignTable::sta, [&](long count, long number) {
        std::fprintf(out, "%2ld %4ld %4ld %.61s %.23s\n", count, number, long{c.sta.sta_flags},
                     c.sta.marker_name, c.sta.marker_number);
    });
    write_section(c, out, "Receiver:\n", CampaignTable::rec, [&](long count, long number) {
        std::fprintf(out, "%2ld %4ld %.21s %.21s\n", count, number, c.rcv.rcv_number,
                     c.rcv.rcv_type);
    });
    write_section(c, out, "Antenna:\n", CampaignTable::ant, [&](long count, long number) {
        std::fprintf(out, "%2ld %4ld %.21s %.21s\n", count, number, c.ant.ant_number,
                     c.ant.ant_type);
    });
    write_section(c, out, "SatOccu:\n", CampaignTable::satocc, [&](long count, long number) {
        std::fprintf(out, "%2ld %4ld %4ld %4ld\n", count, number, long{c.satocc.sat_ref},
                     long{c.satocc.occ_ref});
    });
    write_section(c, out, "Sats:\n", CampaignTable::sat, [&](long count, long number) {
        std::fprintf(out, "%2ld %4ld %.16s %.81s\n", count, number, c.sat.prn, c.sat.sat_text);
    });
    write_section(c, out, "Observations:\n", CampaignTable::obs,
                  [&](long count, long number) { write_observation(out, count, number, c.obs); });
}

}  // namespace

void list_database(const char* file_name) {
    std::FILE* out = output_create(file_name);

    // A campaign that holds only navigation data lists only that.
    const bool navigation_only = !table_exists(table_occ) && nav_tables_exist();
    if (navigation_only) {
        list_nav_tables(out);
        output_finish(out);
        std::printf("Done.\n");
        return;
    }

    Campaign tables;
    tables.open_read({CampaignTable::occ, CampaignTable::rec, CampaignTable::ant,
                      CampaignTable::sta, CampaignTable::satocc, CampaignTable::sat,
                      CampaignTable::obs});

    write_sections(tables, out);

    tables.close({CampaignTable::occ, CampaignTable::satocc, CampaignTable::rec, CampaignTable::ant,
                  CampaignTable::sta, CampaignTable::sat, CampaignTable::obs});
    list_nav_tables(out);
    output_finish(out);
    std::printf("Done.\n");
}
