#include "db/table.h"

#include <cerrno>
#include <cstdio>

#include "db/index_internal.h"
#include "db/record_file.h"
#include "db/table_changes.h"
#include "support/error.h"
#include "support/memory.h"
#include "support/messages.h"

namespace {

// File names are composed in 44 characters; a longer name is refused like a
// file that cannot be opened rather than cut to some other file's name.
constexpr std::size_t file_name_room = 44;

struct FileName {
    char text[256];
    bool fits;
};

FileName compose(const char* format, const char* base, int suffix) {
    FileName name{};
    const int length = suffix < 0
                           ? std::snprintf(name.text, sizeof name.text, format, base)
                           : std::snprintf(name.text, sizeof name.text, format, base, suffix);
    name.fits = length >= 0 && static_cast<std::size_t>(length) < file_name_room;
    return name;
}

[[noreturn]] void open_failed(int number, const char* name) {
    std::perror("");
    error_exit(number, name);
}

void open_table(DbHandle* db, int record_size, const char* base, bool create) {
    db->record_size = record_size;
    const FileName name = compose("%s.DAT", base, -1);
    db->appended = 0;
    db->index_chain = nullptr;
    db->current_index = nullptr;
    const int number = create ? msg_db_create : msg_db_open;
    if (!name.fits) {
        errno = ENAMETOOLONG;
        open_failed(number, name.text);
    }
    db->record_file = rec_open(name.text, record_size, create ? 1 : 0);
    if (db->record_file < 0) open_failed(number, name.text);
}

NdxFile* add_index(DbHandle* db, const char* base, bool create, int duplicate_mode) {
    int count = 0;
    IndexLink* last = nullptr;
    for (IndexLink* link = db->index_chain; link; link = link->next) {
        ++count;
        last = link;
    }
    const FileName name = compose("%s.ID%c", base, '0' + count);
    auto* link = static_cast<IndexLink*>(mem_calloc(1, sizeof(IndexLink)));
    if (last)
        last->next = link;
    else
        db->index_chain = link;
    const int number = create ? msg_index_create : msg_index_open;
    if (!name.fits) {
        errno = ENAMETOOLONG;
        open_failed(number, name.text);
    }
    link->index = create ? ndx_create(name.text, duplicate_mode) : ndx_open(name.text);
    if (!link->index) open_failed(number, name.text);
    db->current_index = link->index;
    return link->index;
}

}  // namespace

void db_create(DbHandle* db, int record_size, const char* name) {
    open_table(db, record_size, name, true);
}

void db_open(DbHandle* db, int record_size, const char* name) {
    open_table(db, record_size, name, false);
}

NdxFile* db_index_create(DbHandle* db, const char* name, int, int duplicate_mode) {
    return add_index(db, name, true, duplicate_mode);
}

NdxFile* db_index_open(DbHandle* db, const char* name, int) {
    return add_index(db, name, false, 0);
}

void db_close(DbHandle* db) {
    rec_close(db->record_file);
    IndexLink* link = db->index_chain;
    while (link) {
        IndexLink* next = link->next;
        ndx_close(link->index);
        mem_free(link);
        link = next;
    }
    db->index_chain = nullptr;
}

long db_append(DbHandle* db, const void* record) {
    changes_check_signal();
    const long number = rec_append(record, db->record_file);
    if (number >= 0) ++db->appended;
    return number;
}

void db_key_insert(NdxFile* index, const char* key, long record_number) {
    changes_check_signal();
    if (record_number == 0) return;
    if (ndx_insert(index, key, record_number) == 0 && index->header.dup_mode == 0)
        error_exit(msg_duplicate_key, key, index->name);
}

long db_read(DbHandle* db, long record_number) {
    return rec_read(record_number, db->buffer, db->record_file);
}

long db_end(DbHandle* db) { return rec_end(db->record_file); }

void db_rewrite(DbHandle* db) {
    changes_check_signal();
    if (!db->current_index) return;
    rec_write(db->current_index->cur_record, db->buffer, db->record_file);
}

int db_find(DbHandle* db, const char* key) {
    if (!db->current_index) return 0;
    const long record = ndx_find(db->current_index, key);
    if (record == 0) return 0;
    db_read(db, record);
    return 1;
}

long db_first(DbHandle* db) { return db->current_index ? ndx_first(db->current_index) : 0; }

long db_next(DbHandle* db) { return db->current_index ? ndx_next(db->current_index) : 0; }

void db_select_index(DbHandle* db, NdxFile* index) { db->current_index = index; }

const char* db_current_key(const DbHandle* db) {
    return db->current_index ? db->current_index->cur_key : "";
}

long db_current_record(const DbHandle* db) {
    return db->current_index ? db->current_index->cur_record : 0;
}

void db_close_all() {
    rec_close_all();
    ndx_discard_all();
    changes_forget();
    db_campaign_unlock();
}

const char* db_file_name(const DbHandle* db) { return rec_name(db->record_file); }

bool db_all_closed() { return open_indexes == 0 && !cache_ready && rec_slots == nullptr; }
