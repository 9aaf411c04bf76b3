#include "obsdb/signal_tables.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "obsdb/schema.h"
#include "support/error.h"

namespace {

template <typename Record>
void insert_all(const char* table, const std::vector<Record>& records, auto key_of) {
    if (records.empty()) return;
    Record record{};
    DbHandle db{.buffer = &record};
    table_open_fill(&db, table, sizeof record, true);
    char key[eph_key_size];
    for (const Record& r : records) {
        key_of(key, r);
        if (db_find(&db, key)) continue;  // a header that repeats a pair
        record = r;
        const long number = db_append(&db, &record);
        if (number <= 0) fatal("Write failure on file %s.DAT\n", table);
        db_key_insert(db.current_index, key, number);
    }
    db_close(&db);
}

// Reads the record whose key begins with `key` into `record`; false when
// the table or the record is not there.
template <typename Record>
bool find_record(const char* table, const char* key, Record* record) {
    if (!table_exists(table)) return false;
    DbHandle db{.buffer = record};
    table_open_read(&db, table, sizeof *record, true);
    const bool found = db_find(&db, key) != 0 &&
                       std::strncmp(db_current_key(&db), key, std::strlen(key)) == 0;
    db_close(&db);
    return found;
}

}  // namespace

void store_occupation_signals(long occupation, std::vector<sig_record> signals,
                              std::vector<frq_record> channels) {
    for (sig_record& sig : signals) sig.occ_ref = static_cast<std::int32_t>(occupation);
    for (frq_record& frq : channels) frq.occ_ref = static_cast<std::int32_t>(occupation);
    insert_all(table_sig, signals,
               [](char* key, const sig_record& r) { sig_key(key, r.occ_ref, r.system); });
    insert_all(table_frq, channels,
               [](char* key, const frq_record& r) { frq_key(key, r.occ_ref, r.slot); });
}

bool occupation_signal_codes(long occupation, char system, char codes[5][4]) {
    std::memset(codes, 0, 5 * 4);
    char key[eph_key_size];
    sig_key(key, occupation, system);
    sig_record sig{};
    if (!find_record(table_sig, key, &sig) || sig.occ_ref != occupation || sig.system != system)
        return false;
    std::memcpy(codes, sig.codes, sizeof sig.codes);
    for (int slot = 0; slot < 5; ++slot) codes[slot][3] = '\0';
    return true;
}

bool glonass_channel(long occupation, int slot, int* channel) {
    char key[eph_key_size];
    frq_key(key, occupation, slot);
    frq_record frq{};
    if (find_record(table_frq, key, &frq) && frq.occ_ref == occupation && frq.slot == slot) {
        *channel = frq.channel;
        return true;
    }
    // Any GLONASS ephemeris of the satellite: the frequency number is the
    // fourth value of its second broadcast-orbit line.
    std::snprintf(key, sizeof key, "R%02d", slot % 100);
    eph_record eph{};
    if (slot < 1 || slot > 99 || !find_record(table_eph, key, &eph)) return false;
    const double number = eph.values[10];
    if (!(number >= -7 && number <= 13)) return false;
    *channel = static_cast<int>(std::lround(number));
    return true;
}
