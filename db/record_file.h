// Record files: flat files of fixed-size records addressed by byte offset.
// A newly created file holds one zeroed placeholder record, so the first
// record a client appends has the number S (the record size) and 0 can mean
// "no record". Open files live in a module-wide table of 100 slots.
#pragma once

#include <cstdint>
#include <cstdio>

struct RecFileSlot {
    std::FILE* stream;  // null while the slot is free
    char* name;         // copy of the file name
    std::int32_t record_size;
    // Bookkeeping that lets a transfer skip a seek that would not move the
    // stream (each seek flushes the stdio buffer and costs a system call).
    long position;      // where the stream stands; -1 when unknown
    long end;           // length of the file; -1 when unknown
    int last_transfer;  // 0 none, 1 read, 2 write
    int journal_id;     // tracking number in the journal, -1 outside a change
};

inline constexpr int rec_table_slots = 100;
// Records are read and written through a stream buffer of this size: a day
// of observations is appended in writes of this size rather than of the
// system's block size.
inline constexpr std::size_t rec_stream_buffer_bytes = 32768;

extern RecFileSlot* rec_slots;
extern int rec_capacity;

// Opens `name` for reading and writing; `create` empties or makes the file and
// writes the placeholder record. Returns the slot, or -1 when the table is full
// or the file cannot be opened. An existing file shorter than one record ends
// the program.
int rec_open(const char* name, int record_size, int create);
void rec_close(int slot);
// Closes every open record file and frees the slot table, which a failed
// open may have left without any open file.
void rec_close_all();
// Drops every open record file without writing what its stream still
// holds, and frees the slot table: the start of a rollback.
void rec_discard_all();
// The file name of an open slot, or "".
const char* rec_name(int slot);
// Appends one record; returns its number, or -1.
long rec_append(const void* record, int slot);
// Reads record `number`; returns the number, or -1.
long rec_read(long number, void* record, int slot);
// The length of the file: the number the next record appended would get;
// -1 for a slot not open or a file whose length cannot be learnt.
long rec_end(int slot);
// Writes record `number`; returns 1, or -1.
int rec_write(long number, const void* record, int slot);
