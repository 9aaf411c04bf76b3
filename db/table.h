// The table handle: one record file plus its index files, used through the
// db_ operations. Record numbers are byte offsets in the record file; 0 means
// "no record" everywhere.
#pragma once

#include <cstdint>

#include "db/campaign_lock.h"

struct NdxFile;  // one open index, owned by the engine

struct IndexLink {
    NdxFile* index;
    IndexLink* next;
};

struct DbHandle {
    IndexLink* index_chain = nullptr;  // open indexes in the order they were created or opened
    NdxFile* current_index = nullptr;  // index used by find, first, next and rewrite
    std::int32_t record_size = 0;
    std::int32_t record_file = 0;  // slot in the open-record-file table
    std::int32_t appended = 0;     // successful appends since create or open
    void* buffer = nullptr;        // the client's record variable; never allocated here
};

void db_create(DbHandle* db, int record_size, const char* name);
void db_open(DbHandle* db, int record_size, const char* name);
NdxFile* db_index_create(DbHandle* db, const char* name, int reserved, int duplicate_mode);
NdxFile* db_index_open(DbHandle* db, const char* name, int reserved);
void db_close(DbHandle* db);
long db_append(DbHandle* db, const void* record);
void db_key_insert(NdxFile* index, const char* key, long record_number);
long db_read(DbHandle* db, long record_number);
// The number after the last record (the record file's length), for reading
// a table front to back without an index: records are numbered from
// record_size on, record_size apart. -1 when it cannot be learnt.
long db_end(DbHandle* db);
void db_rewrite(DbHandle* db);
int db_find(DbHandle* db, const char* key);
long db_first(DbHandle* db);
long db_next(DbHandle* db);
void db_select_index(DbHandle* db, NdxFile* index);

// The current entry of the handle's current index: its key ("" before the
// index was first positioned or without a current index) and its record
// number (0 then).
const char* db_current_key(const DbHandle* db);
long db_current_record(const DbHandle* db);

// Ends the use of every open table at once, as the end of the process does
// after an error report: record files are flushed and closed, index files are
// closed without writing their cached pages, the engine's blocks are
// released and the campaign lock is given up. The client handles are left as
// they are; they are set up again by the next create or open.
void db_close_all();

// True when no record file or index file is open and the engine holds none
// of its blocks: what every command leaves behind when it returns.
bool db_all_closed();

// The record file name of an open table, for messages; "" when it is closed.
const char* db_file_name(const DbHandle* db);

// ---- Changing a campaign safely: one run at a time (the campaign lock), and
// a change that is complete or undone.

// Brackets a command that changes the database. Until the commit, every
// change is journaled; when the run ends with an error report, or with
// SIGINT, SIGTERM or SIGHUP (exit status 128 + signal), the changes are
// rolled back and `note` is printed on standard error, such as "Nothing of
// 'x.99o' was added to the database." A run that is killed is rolled back by
// the next one. The commit comes after the command closed its tables, each of
// which was synced to disk as it closed.
void db_changes_begin(const char* note);
void db_changes_commit();
