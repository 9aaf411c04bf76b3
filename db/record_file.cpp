#include "db/record_file.h"

#include <stdio_ext.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "db/file_io.h"
#include "db/journal.h"

#include "support/error.h"
#include "support/memory.h"

RecFileSlot* rec_slots = nullptr;
int rec_capacity = 0;

namespace {

// Stream buffers of the first slots, which hold every file a command has
// open at once (the slots beyond keep the system's buffer). They are static
// so that a file takes only the pages it fills: a small table one page, the
// observations all of them.
constexpr int buffered_slots = 16;
char stream_buffers[buffered_slots][rec_stream_buffer_bytes];

constexpr int transfer_read = 1;
constexpr int transfer_write = 2;

RecFileSlot* slot_of(int slot) {
    if (slot < 0 || slot >= rec_capacity || !rec_slots[slot].stream) return nullptr;
    return &rec_slots[slot];
}

void forget_position(RecFileSlot* s) {
    s->position = -1;
    s->end = -1;
    s->last_transfer = 0;
}

// Puts the stream at `offset` before a transfer of kind `transfer`. The C
// library requires a positioning call when an update stream switches between
// reading and writing; otherwise a stream already at `offset` is left alone.
bool position_at(RecFileSlot* s, long offset, int transfer) {
    if (s->position == offset && (s->last_transfer == transfer || s->last_transfer == 0) &&
        offset >= 0)
        return true;
    if (std::fseek(s->stream, offset, SEEK_SET) != 0) {
        forget_position(s);
        return false;
    }
    s->position = offset;
    return true;
}

// Length of the file, measured once and then kept up to date by the appends.
long file_end(RecFileSlot* s) {
    if (s->end >= 0) return s->end;
    if (std::fseek(s->stream, 0, SEEK_END) != 0) return -1;
    s->end = std::ftell(s->stream);
    s->position = s->end;
    s->last_transfer = 0;
    return s->end;
}

// Frees the slot table with the names kept in it; no file may be open.
void release_table() {
    for (int i = 0; i < rec_capacity; ++i) mem_free(rec_slots[i].name);
    mem_free(rec_slots);
    rec_slots = nullptr;
    rec_capacity = 0;
}

}  // namespace

int rec_open(const char* name, int record_size, int create) {
    if (!rec_slots) {
        rec_slots = static_cast<RecFileSlot*>(mem_calloc(rec_table_slots, sizeof(RecFileSlot)));
        rec_capacity = rec_table_slots;
    }
    int slot = 0;
    while (slot < rec_capacity && rec_slots[slot].stream) ++slot;
    if (slot == rec_capacity) return -1;

    // A change of the database notes the file before it is touched.
    int journal_id = -1;
    if (create && journal_active()) journal_id = journal_before_create(name);
    std::FILE* stream = io_fopen(name, create ? "w+b" : "r+b");
    if (!stream) return -1;
    if (slot < buffered_slots)
        std::setvbuf(stream, stream_buffers[slot], _IOFBF, rec_stream_buffer_bytes);
    if (create) {
        // Without its placeholder the first record would land at offset 0,
        // one record away from the number it is given: a file that cannot
        // take it counts as one that cannot be created.
        void* placeholder = mem_calloc(static_cast<std::size_t>(record_size) + 1, 1);
        const bool written =
            io_fwrite(placeholder, static_cast<std::size_t>(record_size), 1, stream) == 1;
        mem_free(placeholder);
        if (!written) {
            std::fclose(stream);
            return -1;
        }
    }

    RecFileSlot* s = &rec_slots[slot];
    mem_free(s->name);
    const std::size_t length = std::strlen(name);
    s->name = static_cast<char*>(mem_calloc(length + 1, 1));
    std::memcpy(s->name, name, length);
    s->stream = stream;
    s->record_size = record_size;
    s->journal_id = journal_id;
    forget_position(s);

    if (create) {
        s->position = record_size;
        s->end = record_size;
        s->last_transfer = transfer_write;
    } else if (file_end(s) < record_size) {
        // Without its placeholder the file cannot be a record file of this
        // table: record numbers would not match the clients' links.
        fatal("Record file %s too short\n", name);
    } else if (journal_active()) {
        s->journal_id = journal_track(name, s->end);
    }
    return slot;
}

void rec_close(int slot) {
    RecFileSlot* s = slot_of(slot);
    if (!s) return;
    // Appended records may still wait in the stream's buffer; a flush that
    // fails loses them and must not pass as a closed table. A file changed
    // under the journal is synced by the commit.
    bool flushed = true;
    if (s->journal_id >= 0 && journal_written(s->journal_id))
        flushed =
            io_fflush(s->stream) == 0 && journal_sync_at_commit(s->journal_id, fileno(s->stream));
    flushed = std::fclose(s->stream) == 0 && flushed;
    s->stream = nullptr;
    if (!flushed) {
        std::perror("");
        fatal("Write failure on file %s\n", s->name);
    }
    for (int i = 0; i < rec_capacity; ++i)
        if (rec_slots[i].stream) return;
    release_table();
}

void rec_discard_all() {
    for (int slot = 0; slot < rec_capacity; ++slot) {
        if (!rec_slots[slot].stream) continue;
        __fpurge(rec_slots[slot].stream);
        std::fclose(rec_slots[slot].stream);
        rec_slots[slot].stream = nullptr;
    }
    if (rec_slots) release_table();
}

const char* rec_name(int slot) {
    const RecFileSlot* s = slot_of(slot);
    return s ? s->name : "";
}

void rec_close_all() {
    for (int slot = 0; slot < rec_capacity; ++slot) rec_close(slot);
    if (rec_slots) release_table();
}

namespace {

// Moves one record between `record` and the file at `number`.
bool transfer(RecFileSlot* s, long number, void* record, int kind) {
    const std::size_t size = static_cast<std::size_t>(s->record_size);
    if (kind == transfer_write && s->journal_id >= 0) {
        // The original bytes are read from the file itself, so what the
        // stream holds must be there first.
        if (number < s->end && io_fflush(s->stream) != 0) return false;
        journal_before_write(s->journal_id, fileno(s->stream), number, size);
    }
    if (!position_at(s, number, kind)) return false;
    const std::size_t moved = kind == transfer_read ? std::fread(record, size, 1, s->stream)
                                                    : io_fwrite(record, size, 1, s->stream);
    if (moved != 1) {
        forget_position(s);
        return false;
    }
    s->last_transfer = kind;
    s->position = number + s->record_size;
    if (s->end >= 0 && s->position > s->end) s->end = s->position;
    return true;
}

}  // namespace

long rec_append(const void* record, int slot) {
    RecFileSlot* s = slot_of(slot);
    if (!s) return -1;
    const long number = file_end(s);
    // Record numbers are stored as signed 32-bit links.
    if (number < 0 || number > INT32_MAX) return -1;
    return transfer(s, number, const_cast<void*>(record), transfer_write) ? number : -1;
}

long rec_read(long number, void* record, int slot) {
    RecFileSlot* s = slot_of(slot);
    return s && transfer(s, number, record, transfer_read) ? number : -1;
}

long rec_end(int slot) {
    RecFileSlot* s = slot_of(slot);
    return s ? file_end(s) : -1;
}

int rec_write(long number, const void* record, int slot) {
    RecFileSlot* s = slot_of(slot);
    return s && transfer(s, number, const_cast<void*>(record), transfer_write) ? 1 : -1;
}
