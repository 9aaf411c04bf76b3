#include "obsdb/nav_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
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

// Walks a table: `each(record, place)` for every record, in the order of
// the record file, read front to back once (a record read where the index
// says, a buffer refilled at every record), with its place in key order.
template <typename Record>
void walk_table(const char* table, const std::function<void(const Record&, std::size_t place)>& each) {
    if (!table_exists(table)) return;
    Record record{};
    DbHandle db{.buffer = &record};
    table_open_read(&db, table, sizeof record, true);
    std::vector<std::pair<long, std::size_t>> numbers;  // record number, place in key order
    for (long number = db_first(&db); number != 0; number = db_next(&db)) {
        numbers.emplace_back(number, numbers.size());
    }
    std::sort(numbers.begin(), numbers.end());
    for (const auto& [number, place] : numbers) {
        if (db_read(&db, number) != number)
            fatal("Damaged record file %s.DAT (record %ld)\n", table, number);
        each(record, place);
    }
    db_close(&db);
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

void each_ephemeris(const std::function<void(const char* satellite, long count)>& satellites,
                    const std::function<void(const eph_record&)>& each) {
    if (!table_exists(table_eph)) return;
    // Every record has its key (the two are written and rolled back
    // together), so the record file alone is read, twice front to back: a
    // walk of the index would cost a read of each of its pages and a write
    // of each the page cache evicts.
    eph_record record{};
    DbHandle db{.buffer = &record};
    table_open_read(&db, table_eph, sizeof record, false);
    const long size = sizeof record;
    const long end = db_end(&db);
    if (end < size || end % size != 0) fatal("Damaged record file %s.DAT (record %ld)\n", table_eph, end / size * size);
    const auto read = [&](long number) {
        if (db_read(&db, number) != number) fatal("Damaged record file %s.DAT (record %ld)\n", table_eph, number);
    };
    // Counted by letter and two digits, the form every stored name has.
    std::vector<long> counts(26 * 100, 0);
    for (long number = size; number < end; number += size) {
        read(number);
        const char* n = record.sat;
        if (n[0] >= 'A' && n[0] <= 'Z' && n[1] >= '0' && n[1] <= '9' && n[2] >= '0' && n[2] <= '9')
            ++counts[static_cast<std::size_t>((n[0] - 'A') * 100 + (n[1] - '0') * 10 + (n[2] - '0'))];
    }
    for (std::size_t k = 0; k < counts.size(); ++k)
        if (counts[k] > 0) {
            const char satellite[4] = {static_cast<char>('A' + k / 100), static_cast<char>('0' + k / 10 % 10),
                                       static_cast<char>('0' + k % 10), 0};
            satellites(satellite, counts[k]);
        }
    for (long number = size; number < end; number += size) {
        read(number);
        each(record);
    }
    db_close(&db);
}

std::vector<nav_record> read_nav_headers() {
    std::vector<nav_record> out;
    walk_table<nav_record>(table_nav, [&](const nav_record& r, std::size_t place) {
        if (out.size() <= place) out.resize(place + 1);
        out[place] = r;
    });
    return out;
}
