#include "obsdb/listing.h"

#include <cstdio>

#include "obsdb/myfopen.h"
#include "obsdb/schema.h"

namespace {

occ_record occ;
rcv_record rcv;
ant_record ant;
sta_record sta;
satocc_record satocc;
sat_record sat;
obs_record obs;

DbHandle occ_db{nullptr, nullptr, 0, 0, 0, &occ};
DbHandle rcv_db{nullptr, nullptr, 0, 0, 0, &rcv};
DbHandle ant_db{nullptr, nullptr, 0, 0, 0, &ant};
DbHandle sta_db{nullptr, nullptr, 0, 0, 0, &sta};
DbHandle satocc_db{nullptr, nullptr, 0, 0, 0, &satocc};
DbHandle sat_db{nullptr, nullptr, 0, 0, 0, &sat};
DbHandle obs_db{nullptr, nullptr, 0, 0, 0, &obs};

// Writes the title, then one line per record of `db` in key order through
// `write_line` (running count from 1, record number; the record is in the
// handle's buffer).
template <typename WriteLine>
void write_section(std::FILE* out, const char* title, DbHandle* db, WriteLine write_line) {
    std::fputs(title, out);
    long count = 0;
    for (long number = db_first(db); number != 0; number = db_next(db)) {
        db_read(db, number);
        write_line(++count, number);
    }
}

// Text fields are printed with their width as precision, so a record without
// its terminator cannot run into the next field.
void write_sections(std::FILE* out) {
    write_section(out, "Occupation:\n", &occ_db, [out](long count, long number) {
        std::fprintf(out,
                     "%3ld %4ld %4ld %4ld %4ld %4ld %5.3lf %5.3lf %5.3lf %2ld %2ld %2ld %10.21s "
                     "%10.41s %10.81s %10.2lf %10.2lf\n",
                     count, number, long{occ.sta_ref}, long{occ.cor_ref}, long{occ.rcv_ref},
                     long{occ.ant_ref}, occ.delta_h, occ.delta_e, occ.delta_n, long{occ.interval},
                     long{occ.wlf_l1}, long{occ.wlf_l2}, occ.observer, occ.agency, occ.rinex_file,
                     occ.first_epoch, occ.last_epoch);
    });
    write_section(out, "Station:\n", &sta_db, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %4ld %.61s %.23s\n", count, number, long{sta.sta_flags},
                     sta.marker_name, sta.marker_number);
    });
    write_section(out, "Receiver:\n", &rcv_db, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %.21s %.21s\n", count, number, rcv.rcv_number, rcv.rcv_type);
    });
    write_section(out, "Antenna:\n", &ant_db, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %.21s %.21s\n", count, number, ant.ant_number, ant.ant_type);
    });
    write_section(out, "SatOccu:\n", &satocc_db, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %4ld %4ld\n", count, number, long{satocc.sat_ref},
                     long{satocc.occ_ref});
    });
    write_section(out, "Sats:\n", &sat_db, [out](long count, long number) {
        std::fprintf(out, "%2ld %4ld %.16s %.81s\n", count, number, sat.prn, sat.sat_text);
    });
    write_section(out, "Observations:\n", &obs_db, [out](long count, long number) {
        std::fprintf(out, "%6ld %6ld %6ld %8lf\n", count, number, long{obs.satocc_ref}, obs.epoch);
    });
}

}  // namespace

void list_database(const char* file_name) {
    std::FILE* out = checked_open(file_name, "wt");
    static char out_buffer[1 << 16];
    std::setvbuf(out, out_buffer, _IOFBF, sizeof out_buffer);

    table_open_read(&occ_db, table_occ, sizeof(occ_record), true);
    table_open_read(&rcv_db, table_rec, sizeof(rcv_record), true);
    table_open_read(&ant_db, table_ant, sizeof(ant_record), true);
    table_open_read(&sta_db, table_sta, sizeof(sta_record), true);
    table_open_read(&satocc_db, table_satocc, sizeof(satocc_record), true);
    table_open_read(&sat_db, table_sat, sizeof(sat_record), true);
    table_open_read(&obs_db, table_obs, sizeof(obs_record), true);

    write_sections(out);

    db_close(&occ_db);
    db_close(&satocc_db);
    db_close(&rcv_db);
    db_close(&ant_db);
    db_close(&sta_db);
    db_close(&sat_db);
    db_close(&obs_db);
    checked_close(out, file_name);
    std::printf("Done.\n");
}
