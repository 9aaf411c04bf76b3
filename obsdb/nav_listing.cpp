#include "obsdb/nav_listing.h"

#include "obsdb/nav_tables.h"
#include "obsdb/schema.h"
#include "support/error.h"

namespace {

// Writes the title, then one line per record of the table in key order
// (running count from 1, record number, the record).
template <typename Record, typename WriteLine>
void write_table(std::FILE* out, const char* title, const char* table, WriteLine write_line) {
    if (!table_exists(table)) return;
    std::fputs(title, out);
    Record record{};
    DbHandle db{.buffer = &record};
    table_open_read(&db, table, sizeof record, true);
    long count = 0;
    for (long number = db_first(&db); number != 0; number = db_next(&db)) {
        if (db_read(&db, number) != number)
            fatal("Damaged record file %s.DAT (record %ld)\n", table, number);
        write_line(++count, number, record);
    }
    db_close(&db);
}

}  // namespace

bool nav_tables_exist() {
    return table_exists(table_nav) || table_exists(table_eph) || table_exists(table_sig) ||
           table_exists(table_frq);
}

void list_nav_tables(std::FILE* out) {
    write_table<nav_record>(out, "Navigation files:\n", table_nav,
                            [&](long count, long number, const nav_record& nav) {
                                std::fprintf(out, "%2ld %4ld %.81s %c %4.2lf %5ld %.0lf %.0lf %3ld %02X\n",
                                             count, number, nav.nav_file, nav.system ? nav.system : '?',
                                             nav.version, long{nav.ephemerides}, nav.first_toc,
                                             nav.last_toc, long{nav.leap_seconds},
                                             unsigned{nav.present});
                            });
    write_table<sig_record>(out, "Signals:\n", table_sig,
                            [&](long count, long number, const sig_record& sig) {
                                std::fprintf(out, "%2ld %4ld %4ld %c", count, number,
                                             long{sig.occ_ref}, sig.system ? sig.system : '?');
                                for (const auto& code : sig.codes) {
                                    std::fprintf(out, " %.3s", code[0] ? code : "-");
                                }
                                std::fputc('\n', out);
                            });
    write_table<frq_record>(out, "GLONASS channels:\n", table_frq,
                            [&](long count, long number, const frq_record& frq) {
                                std::fprintf(out, "%2ld %4ld %4ld R%02ld %3ld\n", count, number,
                                             long{frq.occ_ref}, long{frq.slot % 100},
                                             long{frq.channel});
                            });
    write_table<eph_record>(out, "Ephemerides:\n", table_eph,
                            [&](long count, long number, const eph_record& eph) {
                                // The issue of data of the key (none for GLONASS).
                                const double iod = eph.sat[0] == 'R' ? 0 : eph.values[3];
                                std::fprintf(out, "%4ld %7ld %.3s %-4.4s %.0lf %4.0lf %19.12E\n",
                                             count, number, eph.sat, eph.kind, eph.toc, iod,
                                             eph.values[0]);
                            });
}
