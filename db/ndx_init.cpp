#include "db/ndx_init.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

#include "support/error.h"
#include "support/myalloc.h"

NdxFile* cur_ndx = nullptr;
CacheSlot* page_cache = nullptr;
bool cache_ready = false;
int open_indexes = 0;

namespace {

NdxFile* open_chain = nullptr;

PageDirectory* page_directory(const unsigned char* page) {
    return reinterpret_cast<PageDirectory*>(const_cast<unsigned char*>(page) + ndx_page_buffer);
}

// The search's comparison: the first `length` characters, bytes unsigned.
int prefix_compare(const char* text, const char* key, std::size_t length) {
    return std::strncmp(text, key, length);
}

NdxFile* make_control_block(const char* name, int dup_mode) {
    auto* index = static_cast<NdxFile*>(mem_calloc(1, sizeof(NdxFile)));
    index->compare = prefix_compare;
    std::snprintf(index->name, sizeof index->name, "%s", name);
    index->root = ndx_first_page;
    index->file_end = ndx_first_page;
    index->free_head = 0;
    index->flag_a = 0;
    index->flag_b = 2;
    index->dup_mode = dup_mode;
    index->page_size = ndx_page_bytes;
    index->fd = -1;
    cur_ndx = index;
    return index;
}

void set_up_cache() {
    if (cache_ready) return;
    page_cache = static_cast<CacheSlot*>(mem_calloc(ndx_cache_slots, sizeof(CacheSlot)));
    for (int i = 0; i < ndx_cache_slots; ++i)
        page_cache[i].page = static_cast<unsigned char*>(mem_calloc(1, ndx_slot_bytes));
    cache_ready = true;
}

void release_cache() {
    for (int i = 0; i < ndx_cache_slots; ++i) mem_free(page_cache[i].page);
    mem_free(page_cache);
    page_cache = nullptr;
    cache_ready = false;
}

NdxHeader header_of(const NdxFile* index) {
    NdxHeader header{};
    header.root = index->root;
    header.file_end = index->file_end;
    header.free_head = index->free_head;
    header.flag_a = index->flag_a;
    header.flag_b = index->flag_b;
    header.padding = index->padding;
    header.dup_mode = index->dup_mode;
    header.page_size = index->page_size;
    return header;
}

void write_header(NdxFile* index) {
    const NdxHeader header = header_of(index);
    write_block(0, &header, sizeof header);
}

bool page_boundary(std::uint32_t position) {
    return position >= ndx_first_page && (position - ndx_first_page) % ndx_page_bytes == 0;
}

// A header whose positions cannot belong to a page of the file would send
// every later access astray.
bool header_sound(const NdxFile* index, long file_bytes) {
    if (!page_boundary(index->file_end) || index->file_end < ndx_first_page + ndx_page_bytes ||
        index->file_end > file_bytes)
        return false;
    if (!page_boundary(index->root) || index->root >= index->file_end) return false;
    if (index->free_head != 0 &&
        (!page_boundary(index->free_head) || index->free_head >= index->file_end))
        return false;
    return true;
}

bool child_sound(std::uint32_t child, std::uint32_t self) {
    return child == 0 || (page_boundary(child) && child < cur_ndx->file_end && child != self);
}

// Checks a page just read from the file, so that no later walk of it can run
// outside the page or follow a child outside the file; on the way it notes
// the entry offsets.
bool page_sound(unsigned char* page, std::uint32_t position) {
    if (page_position(page) != position || page_used(page) > ndx_max_used ||
        page_used(page) < 0)
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
        if (!child_sound(entry_child(page, entry), position)) return false;
        entry = static_cast<int>(static_cast<const unsigned char*>(zero) - page) + 1;
    }
    return child_sound(entry_child(page, end), position);
}

[[noreturn]] void damaged(const char* name, long position) {
    if (position > 0)
        fatal("Damaged index file %s (page %ld)\n", name, position);
    fatal("Damaged index file %s (header)\n", name);
}

const char* name_of_fd(int fd) {
    for (NdxFile* index = open_chain; index; index = index->next_open)
        if (index->fd == fd) return index->name;
    return cur_ndx->name;
}

// Positioned transfers take one system call each; a position the file
// cannot have fails like a seek that does not arrive.
void write_at(int fd, const char* name, long position, const void* buffer, unsigned count) {
    if (position < 0 || pwrite(fd, buffer, count, position) != static_cast<ssize_t>(count)) {
        if (position < 0) errno = EINVAL;
        std::perror("");
        fatal("Write failure on file %s\n", name);
    }
}

// Makes the control block and opens the file; none when the file cannot be
// opened, with errno kept for the caller's report.
NdxFile* open_index_file(const char* name, int dup_mode, int flags) {
    NdxFile* index = make_control_block(name, dup_mode);
    index->fd = open(name, flags, S_IRUSR | S_IWUSR);
    if (index->fd < 0) {
        const int saved = errno;
        mem_free(index);
        cur_ndx = nullptr;
        errno = saved;
        return nullptr;
    }
    set_up_cache();
    return index;
}

void count_open(NdxFile* index) {
    index->next_open = open_chain;
    open_chain = index;
    ++open_indexes;
    error_set_exit_hook(ndx_write_back_all);
}

// Writes the pages of the current index held in the cache; `release` also
// frees their slots.
void write_cached_pages(bool release) {
    for (int i = 0; i < ndx_cache_slots; ++i) {
        CacheSlot& slot = page_cache[i];
        if (slot.owner_fd != cur_ndx->fd || page_position(slot.page) == 0) continue;
        if (slot.modified) write_block(page_position(slot.page), slot.page, ndx_page_bytes);
        slot.modified = 0;
        if (release) {
            slot.owner_fd = 0;
            ndx_set_word(slot.page, 0);
        }
    }
}

}  // namespace

NdxFile* ndx_create(const char* name, int dup_mode) {
    NdxFile* index = open_index_file(name, dup_mode, O_RDWR | O_CREAT | O_TRUNC);
    if (!index) return nullptr;
    unsigned char* root = new_page();
    write_header(index);
    write_block(sizeof(NdxHeader), root + ndx_entries_at, ndx_first_page - sizeof(NdxHeader));
    count_open(index);
    return index;
}

NdxFile* ndx_open(const char* name) {
    NdxFile* index = open_index_file(name, 0, O_RDWR);
    if (!index) return nullptr;
    // A file refused here is closed before the run ends, so nothing of it
    // stays open where the end of the run is intercepted.
    const long file_bytes = lseek(index->fd, 0, SEEK_END);
    NdxHeader header;
    if (file_bytes < static_cast<long>(sizeof header)) {
        close(index->fd);
        damaged(name, 0);
    }
    read_block(0, &header, sizeof header);
    index->root = header.root;
    index->file_end = header.file_end;
    index->free_head = header.free_head;
    index->flag_a = header.flag_a;
    index->flag_b = header.flag_b;
    index->padding = header.padding;
    index->dup_mode = header.dup_mode;
    index->page_size = header.page_size;
    if (!header_sound(index, file_bytes)) {
        close(index->fd);
        damaged(name, 0);
    }
    count_open(index);
    return index;
}

void ndx_close(NdxFile* index) {
    cur_ndx = index;
    write_cached_pages(true);
    write_header(index);
    close(index->fd);
    for (NdxFile** link = &open_chain; *link; link = &(*link)->next_open) {
        if (*link == index) {
            *link = index->next_open;
            break;
        }
    }
    mem_free(index);
    cur_ndx = nullptr;
    if (--open_indexes == 0) {
        release_cache();
        error_set_exit_hook(nullptr);
    }
}

// Drops every open index without writing: the descriptors are closed, the
// control blocks and the page cache released, and the write-back hook
// withdrawn. What an ended process leaves after its write-back ran.
void ndx_discard_all() {
    while (open_chain) {
        NdxFile* index = open_chain;
        open_chain = index->next_open;
        close(index->fd);
        mem_free(index);
    }
    if (cache_ready) release_cache();
    open_indexes = 0;
    cur_ndx = nullptr;
    error_set_exit_hook(nullptr);
}

void ndx_write_back_all() {
    for (NdxFile* index = open_chain; index; index = index->next_open) {
        cur_ndx = index;
        write_cached_pages(false);
        write_header(index);
    }
}

unsigned char* get_page(std::uint32_t position) {
    int found = -1;
    if (position != 0) {
        for (int i = 0; i < ndx_cache_slots; ++i) {
            if (page_position(page_cache[i].page) == position &&
                page_cache[i].owner_fd == cur_ndx->fd) {
                found = i;
                break;
            }
        }
    }
    if (found < 0) {
        for (int i = 0; i < ndx_cache_slots && found < 0; ++i)
            if (page_position(page_cache[i].page) == 0) found = i;
        if (found < 0) {
            // The least recently used page goes back to its own file.
            found = ndx_cache_slots - 1;
            CacheSlot& victim = page_cache[found];
            write_at(victim.owner_fd, name_of_fd(victim.owner_fd),
                     page_position(victim.page), victim.page, ndx_page_bytes);
        }
        CacheSlot& slot = page_cache[found];
        slot.modified = 0;
        forget_directory(slot.page);
        if (position == 0) {
            std::memset(slot.page, 0, ndx_page_bytes);
        } else {
            slot.owner_fd = cur_ndx->fd;
            read_block(position, slot.page, ndx_page_bytes);
            if (!page_sound(slot.page, position)) {
                // A damaged page never counts as cached.
                ndx_set_word(slot.page, 0);
                forget_directory(slot.page);
                damaged(cur_ndx->name, position);
            }
        }
    }
    CacheSlot chosen = page_cache[found];
    for (int i = found; i > 0; --i) page_cache[i] = page_cache[i - 1];
    chosen.owner_fd = cur_ndx->fd;
    page_cache[0] = chosen;
    return chosen.page;
}

unsigned char* new_page() {
    unsigned char* page = get_page(0);
    page_cache[0].modified = 1;
    if (cur_ndx->free_head != 0) {
        const std::uint32_t position = cur_ndx->free_head;
        read_block(position, page, ndx_page_bytes);
        const std::uint32_t next = page_position(page);
        if (next != 0 && (!page_boundary(next) || next >= cur_ndx->file_end)) {
            std::memset(page, 0, ndx_page_bytes);
            damaged(cur_ndx->name, position);
        }
        cur_ndx->free_head = next;
        std::memset(page, 0, ndx_page_bytes);
        ndx_set_word(page, position);
        forget_directory(page);
    } else {
        ndx_set_word(page, cur_ndx->file_end);
        cur_ndx->file_end += ndx_page_bytes;
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

void read_block(long position, void* buffer, unsigned count) {
    if (position < 0) {
        errno = EINVAL;
        std::perror("");
        fatal("(lseek %ld) Read failure on file %s\n", position, cur_ndx->name);
    }
    if (pread(cur_ndx->fd, buffer, count, position) != static_cast<ssize_t>(count)) {
        std::perror("");
        fatal("(read pos=%ld %u) Read failure on file %s\n", position, count, cur_ndx->name);
    }
}

void write_block(long position, const void* buffer, unsigned count) {
    write_at(cur_ndx->fd, cur_ndx->name, position, buffer, count);
}

void path_push(const unsigned char* page, int entry) {
    if (cur_ndx->depth >= ndx_max_depth) fatal("Index stack overflow");
    NdxPathPair& pair = cur_ndx->path[cur_ndx->depth++];
    pair.page = page_position(page);
    pair.entry = entry - ndx_entries_at;
}

int path_pop(unsigned char** page) {
    if (cur_ndx->depth <= 0) fatal("Index stack underflow");
    const NdxPathPair& pair = cur_ndx->path[--cur_ndx->depth];
    *page = get_page(pair.page);
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
