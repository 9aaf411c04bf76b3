#include "obsdb/nav_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "obsdb/schema.h"
#include "support/error.h"

namespace {

// Whole seconds of a time value, kept to the ten digits a key has room for.
long key_seconds(double time) {
    if (!(time > 0)) return 0;
    if (time > 9999999999.0) return 9999999999L;
    return static_cast<long>(std::floor(time));
}

long append_checked(DbHandle* db, const void* record, const char* table) {
    const long number = db_append(db, record);
    if (number <= 0) fatal("Write failure on file %s.DAT\n", table);
    return number;
}

// Reads every record of a table in key order into `out`. The index gives
// the order; the records are then read in the order of their numbers, so
// that the record file is read front to back once instead of a buffer
// refilled at every record.
template <typename Record>
std::vector<Record> read_all(const char* table) {
    std::vector<Record> out;
    if (!table_exists(table)) return out;
    Record record{};
    DbHandle db{.buffer = &record};
    table_open_read(&db, table, sizeof record, true);
    std::vector<std::pair<long, std::size_t>> numbers;  // record number, place in key order
    for (long number = db_first(&db); number != 0; number = db_next(&db))
        numbers.emplace_back(number, numbers.size());
    std::sort(numbers.begin(), numbers.end());
    out.resize(numbers.size());
    for (const auto& [number, place] : numbers) {
        if (db_read(&db, number) != number)
            fatal("Damaged record file %s.DAT (record %ld)\n", table, number);
        out[place] = record;
    }
    db_close(&db);
    return out;
}

// Formats a key into a buffer wide enough for any value, then keeps the
// characters an index key holds (every value above fits them).
template <typename... Args>
void make_key(char* key, const char* format, Args... args) {
    char text[64];
    std::snprintf(text, sizeof text, format, args...);
    std::snprintf(key, eph_key_size, "%.17s", text);
}

}  // namespace

void eph_key(char* key, const eph_record& eph) {
    const char kind = eph.kind[0] == 'D' ? eph.kind[1] : eph.kind[0];
    const double iod = eph.sat[0] == 'R' ? 0 : eph.values[3];
    const long iod_part = iod >= 0 && iod < 1e9 ? static_cast<long>(iod) % 1000 : 0;
    make_key(key, "%.3s%010ld%c%03ld", eph.sat, key_seconds(eph.toc),
                  kind ? kind : '?', iod_part);
}

void nav_key(char* key, const nav_record& nav) {
    make_key(key, "%010ld%c%06ld", key_seconds(nav.first_toc),
                  nav.system ? nav.system : '?', static_cast<long>(nav.ephemerides % 1000000));
}

void sig_key(char* key, long occupation, char system) {
    make_key(key, "%07ld%c", occupation, system);
}

void frq_key(char* key, long occupation, int slot) {
    make_key(key, "%07ld%02d", occupation, slot);
}

NavStore::NavStore() = default;
NavStore::~NavStore() { close(); }

void NavStore::open() {
    table_open_fill(&eph_db_, table_eph, sizeof eph_, true);
    table_open_fill(&nav_db_, table_nav, sizeof nav_, true);
    open_ = true;
}

bool NavStore::add_ephemeris(const eph_record& eph) {
    char key[eph_key_size];
    eph_key(key, eph);
    if (db_find(&eph_db_, key)) return false;
    eph_ = eph;
    db_key_insert(eph_db_.current_index, key, append_checked(&eph_db_, &eph_, table_eph));
    return true;
}

bool NavStore::add_header(const nav_record& nav) {
    char key[eph_key_size];
    nav_key(key, nav);
    if (db_find(&nav_db_, key)) return false;
    nav_ = nav;
    db_key_insert(nav_db_.current_index, key, append_checked(&nav_db_, &nav_, table_nav));
    return true;
}

void NavStore::close() {
    if (!open_) return;
    open_ = false;
    db_close(&nav_db_);
    db_close(&eph_db_);
}

std::vector<eph_record> read_ephemerides() { return read_all<eph_record>(table_eph); }
std::vector<nav_record> read_nav_headers() { return read_all<nav_record>(table_nav); }
