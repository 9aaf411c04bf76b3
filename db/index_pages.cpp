// The page cache shared by all open indexes, block I/O on index files, the
// checks of pages read from a file, and the path stack of an index.
#include "db/index_internal.h"

#include "db/file_io.h"
#include "db/journal.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "support/error.h"
#include "support/memory.h"

CacheSlot* page_cache = nullptr;
bool cache_ready = false;

namespace {

PageDirectory* page_directory(const unsigned char* page) {
    return reinterpret_cast<PageDirectory*>(const_cast<unsigned char*>(page) + ndx_page_buffer);
}

bool child_sound(std::uint32_t child, std::uint32_t self, std::uint32_t file_end) {
    return child == 0 || (page_boundary(child) && child < file_end && child != self);
}

// Checks a page just read from the file, so that no later walk of it can run
// outside the page or follow a child outside the file; on the way it notes
// the entry offsets.
bool page_sound(unsigned char* page, std::uint32_t position, std::uint32_t file_end) {
    if (page_position(page) != position || page_used(page) > ndx_max_used || page_used(page) < 0)
        return false;
    const int end = page_end(page);
    PageDirectory* entries = page_directory(page);
    entries->count = 0;
    int entry = ndx_entries_at;
    while (entry < end) {
        entries->offset[entries->count++] = static_cast<std::int16_t>(entry);
        const int key_at = entry + ndx_entry_head;
        if (key_at >= end) return false;
        const int room = end - key_at < ndx_max_key + 1 ? end - key_at : ndx_max_key + 1;
        const void* zero = std::memchr(page + key_at, 0, static_cast<std::size_t>(room));
        if (!zero) return false;
        if (!child_sound(entry_child(page, entry), position, file_end)) return false;
        entry = static_cast<int>(static_cast<const unsigned char*>(zero) - page) + 1;
    }
    return child_sound(entry_child(page, end), position, file_end);
}

// The open index a descriptor belongs to.
NdxFile* index_of_fd(int fd, NdxFile* asking) {
    for (NdxFile* index = open_chain; index; index = index->next_open)
        if (index->fd == fd) return index;
    return asking;
}

// During a change of the database the journal keeps the bytes a write
// replaces before it is made.
void journal_write(NdxFile* index, long position, unsigned count) {
    if (position >= 0 && index->journal_id >= 0)
        journal_before_write(index->journal_id, index->fd, position, count);
}

// Positioned transfers take one system call each; a position the file
// cannot have fails like a seek that does not arrive.
void transfer_out(NdxFile* index, long position, const void* buffer, unsigned count) {
    if (position < 0 ||
        io_pwrite(index->fd, buffer, count, position) != static_cast<ssize_t>(count)) {
        if (position < 0) errno = EINVAL;
        std::perror("");
        fatal("Write failure on file %s\n", index->name);
    }
}

void write_at(NdxFile* index, long position, const void* buffer, unsigned count) {
    journal_write(index, position, count);
    transfer_out(index, position, buffer, count);
}

// Pages evicted to make room for a new page. While an index grows at its
// end, as one keyed by ascending record numbers does, they lie one after the
// other in its file: they wait here and go to the file in one write of up to
// 32 KiB, which costs the system far less than a write per page. The journal
// notes each page as it comes, as for a write of its own. A read of the
// index file where they lie, and the close of the index, write them first;
// a run that ends with an error drops them with the cached pages. The
// buffer is static, so that only the pages a run fills take memory.
constexpr int held_pages_max = 32;
unsigned char held_bytes[held_pages_max * ndx_page_bytes];
struct HeldPages {
    NdxFile* index;       // the index they belong to
    std::uint32_t first;  // position of the first page
    int pages;
};
HeldPages held{};

void write_held() {
    if (held.pages == 0) return;
    const unsigned count = static_cast<unsigned>(held.pages) * ndx_page_bytes;
    held.pages = 0;  // a failed write ends the run; nothing is written twice
    transfer_out(held.index, held.first, held_bytes, count);
}

bool held_overlap(const NdxFile* index, long position, unsigned count) {
    return held.pages > 0 && held.index == index &&
           position < static_cast<long>(held.first) + held.pages * ndx_page_bytes &&
           position + static_cast<long>(count) > static_cast<long>(held.first);
}

void hold_evicted(NdxFile* index, const unsigned char* page) {
    const std::uint32_t position = page_position(page);
    if (held.pages > 0 &&
        (held.index != index || held.pages == held_pages_max ||
         position != held.first + static_cast<std::uint32_t>(held.pages) * ndx_page_bytes))
        write_held();
    journal_write(index, position, ndx_page_bytes);
    if (held.pages == 0) {
        held.index = index;
        held.first = position;
    }
    std::memcpy(held_bytes + static_cast<std::size_t>(held.pages) * ndx_page_bytes, page,
                ndx_page_bytes);
    ++held.pages;
}

}  // namespace

void cache_set_up() {
    if (cache_ready) return;
    page_cache = static_cast<CacheSlot*>(mem_calloc(ndx_cache_slots, sizeof(CacheSlot)));
    for (int i = 0; i < ndx_cache_slots; ++i)
        page_cache[i].page = static_cast<unsigned char*>(mem_calloc(1, ndx_slot_bytes));
    cache_ready = true;
}

void cache_release() {
    for (int i = 0; i < ndx_cache_slots; ++i) mem_free(page_cache[i].page);
    mem_free(page_cache);
    page_cache = nullptr;
    cache_ready = false;
    held = HeldPages{};
}

[[noreturn]] void ndx_damaged(const char* name, long position) {
    if (position > 0) fatal("Damaged index file %s (page %ld)\n", name, position);
    fatal("Damaged index file %s (header)\n", name);
}

void write_cached_pages(NdxFile* index, bool release) {
    for (int i = 0; i < ndx_cache_slots; ++i) {
        CacheSlot& slot = page_cache[i];
        if (slot.owner_fd != index->fd || page_position(slot.page) == 0) continue;
        if (slot.modified) write_block(index, page_position(slot.page), slot.page, ndx_page_bytes);
        slot.modified = 0;
        if (release) {
            slot.owner_fd = 0;
            ndx_set_word(slot.page, 0);
        }
    }
}

void journal_cached_pages(NdxFile* index) {
    if (index->journal_id < 0) return;
    for (int i = 0; i < ndx_cache_slots; ++i) {
        const CacheSlot& slot = page_cache[i];
        if (slot.owner_fd != index->fd || page_position(slot.page) == 0 || !slot.modified) continue;
        journal_note_write(index->journal_id, index->fd, page_position(slot.page), ndx_page_bytes);
    }
    journal_note_write(index->journal_id, index->fd, 0, sizeof index->header);
    journal_sync();
}

namespace {

// Loads page `position` (0: a fresh zeroed page) into a free slot, or into
// the least recently used one after writing its page back; returns the slot.
// Kept out of get_page, whose common case is a page already cached.
[[gnu::noinline]] int load_page(NdxFile* index, std::uint32_t position) {
    int found = -1;
    for (int i = 0; i < ndx_cache_slots && found < 0; ++i)
        if (page_position(page_cache[i].page) == 0) found = i;
    if (found < 0) {
        // The least recently used page goes back to its own file; to make
        // room for a new page it may wait for the pages evicted after it.
        found = ndx_cache_slots - 1;
        CacheSlot& victim = page_cache[found];
        NdxFile* owner = index_of_fd(victim.owner_fd, index);
        if (position == 0)
            hold_evicted(owner, victim.page);
        else
            write_at(owner, page_position(victim.page), victim.page, ndx_page_bytes);
    }
    CacheSlot& slot = page_cache[found];
    slot.modified = 0;
    forget_directory(slot.page);
    if (position == 0) {
        std::memset(slot.page, 0, ndx_page_bytes);
    } else {
        slot.owner_fd = index->fd;
        read_block(index, position, slot.page, ndx_page_bytes);
        if (!page_sound(slot.page, position, index->header.file_end)) {
            // A damaged page never counts as cached.
            ndx_set_word(slot.page, 0);
            forget_directory(slot.page);
            ndx_damaged(index->name, position);
        }
    }
    return found;
}

}  // namespace

unsigned char* get_page(NdxFile* index, std::uint32_t position) {
    int found = -1;
    if (position != 0) {
        for (int i = 0; i < ndx_cache_slots; ++i) {
            if (page_position(page_cache[i].page) == position &&
                page_cache[i].owner_fd == index->fd) {
                found = i;
                break;
            }
        }
    }
    if (found < 0) found = load_page(index, position);
    // The page becomes the most recently used; the slots before it move back.
    if (found > 0) {
        const CacheSlot chosen = page_cache[found];
        std::memmove(page_cache + 1, page_cache,
                     static_cast<std::size_t>(found) * sizeof *page_cache);
        page_cache[0] = chosen;
    }
    page_cache[0].owner_fd = index->fd;
    return page_cache[0].page;
}

unsigned char* new_page(NdxFile* index) {
    unsigned char* page = get_page(index, 0);
    page_cache[0].modified = 1;
    if (index->header.free_head != 0) {
        const std::uint32_t position = index->header.free_head;
        read_block(index, position, page, ndx_page_bytes);
        const std::uint32_t next = page_position(page);
        if (next != 0 && (!page_boundary(next) || next >= index->header.file_end)) {
            std::memset(page, 0, ndx_page_bytes);
            ndx_damaged(index->name, position);
        }
        index->header.free_head = next;
        std::memset(page, 0, ndx_page_bytes);
        ndx_set_word(page, position);
        forget_directory(page);
    } else {
        ndx_set_word(page, index->header.file_end);
        index->header.file_end += ndx_page_bytes;
    }
    return page;
}

void mark_modified(const unsigned char* page) {
    for (int i = 0; i < ndx_cache_slots; ++i) {
        if (page_cache[i].page == page) {
            page_cache[i].modified = 1;
            return;
        }
    }
}

void write_held_pages(NdxFile* index) {
    if (held.pages > 0 && held.index == index) write_held();
}

void read_block(NdxFile* index, long position, void* buffer, unsigned count) {
    if (held_overlap(index, position, count)) write_held();
    if (position < 0) {
        errno = EINVAL;
        std::perror("");
        fatal("(lseek %ld) Read failure on file %s\n", position, index->name);
    }
    if (pread(index->fd, buffer, count, position) != static_cast<ssize_t>(count)) {
        std::perror("");
        fatal("(read pos=%ld %u) Read failure on file %s\n", position, count, index->name);
    }
}

void write_block(NdxFile* index, long position, const void* buffer, unsigned count) {
    write_at(index, position, buffer, count);
}

void path_push(NdxFile* index, const unsigned char* page, int entry) {
    if (index->depth >= ndx_max_depth) fatal("Index stack overflow");
    NdxPathPair& pair = index->path[index->depth++];
    pair.page = page_position(page);
    pair.entry = entry - ndx_entries_at;
}

int path_pop(NdxFile* index, unsigned char** page) {
    if (index->depth <= 0) fatal("Index stack underflow");
    const NdxPathPair& pair = index->path[--index->depth];
    *page = get_page(index, pair.page);
    return ndx_entries_at + pair.entry;
}

void make_room(unsigned char* page, int entry, int bytes) {
    const int tail = page_end(page) + 4 - entry;
    std::memmove(page + entry + bytes, page + entry, static_cast<std::size_t>(tail));
    set_page_used(page, page_used(page) + bytes);
    mark_modified(page);
    // The gap becomes an entry of its own; the entries behind it move up.
    PageDirectory* entries = page_directory(page);
    if (entries->count < 0) return;
    int k = entries->count;
    for (; k > 0 && entries->offset[k - 1] >= entry; --k)
        entries->offset[k] = static_cast<std::int16_t>(entries->offset[k - 1] + bytes);
    entries->offset[k] = static_cast<std::int16_t>(entry);
    ++entries->count;
}

void forget_directory(unsigned char* page) { page_directory(page)->count = -1; }

const PageDirectory* page_entries(const unsigned char* page) {
    PageDirectory* entries = page_directory(page);
    if (entries->count >= 0) return entries;
    const int end = page_end(page);
    int count = 0;
    for (int entry = ndx_entries_at; entry < end; entry += entry_size(page, entry))
        entries->offset[count++] = static_cast<std::int16_t>(entry);
    entries->count = static_cast<std::int16_t>(count);
    return entries;
}
