// Index files: a B-tree of text keys with record numbers in pages of 1024
// bytes, read and written through a page cache of eight buffers shared by all
// open indexes. This header belongs to the engine inside db/; every other
// module uses the table handle of table.h.
//
// File image (all integers 32-bit little-endian, positions are byte offsets):
//   0    24 bytes  header (NdxHeader)
//   24   488 bytes zero
//   512 + 1024*k   page k: own position, `used`, entries, trailer
// An entry is a child position, a record number and a key of at most 17
// characters with its terminating zero. The trailer after the last entry is
// the child holding the keys greater than all keys of the page.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "index files are little-endian byte images");

inline constexpr int ndx_page_bytes = 1024;
inline constexpr int ndx_page_buffer = 1028;  // a page plus room for a trailer copy
inline constexpr int ndx_first_page = 512;
inline constexpr int ndx_entries_at = 8;   // first entry of a page
inline constexpr int ndx_max_used = 1012;  // entry bytes a page can hold
inline constexpr int ndx_entry_head = 8;   // child and record number
inline constexpr int ndx_max_key = 17;
inline constexpr int ndx_max_depth = 20;
inline constexpr int ndx_cache_slots = 8;

struct NdxHeader {
    std::uint32_t root;       // position of the root page
    std::uint32_t file_end;   // where the next new page goes
    std::uint32_t free_head;  // first page of the free list, 0 for none
    std::uint8_t flag_a;      // written 0, carried unchanged
    std::uint8_t flag_b;      // written 2, carried unchanged
    std::uint16_t padding;
    std::int32_t dup_mode;   // 0 unique, 1 duplicates after, 2 before equal keys
    std::int32_t page_size;  // always 1024
};
static_assert(sizeof(NdxHeader) == 24);
static_assert(offsetof(NdxHeader, root) == 0 && offsetof(NdxHeader, file_end) == 4 &&
              offsetof(NdxHeader, free_head) == 8 && offsetof(NdxHeader, flag_a) == 12 &&
              offsetof(NdxHeader, flag_b) == 13 && offsetof(NdxHeader, padding) == 14 &&
              offsetof(NdxHeader, dup_mode) == 16 && offsetof(NdxHeader, page_size) == 20);

// The start of a page; the entries follow, then the 4-byte trailer.
struct NdxPageHead {
    std::uint32_t position;  // the page's own position (next free page on the free list)
    std::uint32_t used;      // bytes taken by entries
};
static_assert(sizeof(NdxPageHead) == ndx_entries_at && offsetof(NdxPageHead, used) == 4);
static_assert(ndx_entries_at + ndx_max_used + 4 == ndx_page_bytes,
              "a full page ends with its trailer");

// The start of an entry as it lies in a page; the key follows.
struct NdxEntryHead {
    std::uint32_t child;
    std::int32_t record;
};
static_assert(sizeof(NdxEntryHead) == ndx_entry_head && offsetof(NdxEntryHead, record) == 4);

// A whole entry with room for the longest key; the working entry of an
// insertion and the current entry of an index have this shape.
struct NdxEntry {
    std::uint32_t child;
    std::int32_t record;
    char key[20];
};
static_assert(sizeof(NdxEntry) == 28 && offsetof(NdxEntry, key) == 8);

struct NdxPathPair {
    std::uint32_t page;  // page position
    std::int32_t entry;  // entry offset counted from the first entry of the page
};

using ndx_compare_fn = int (*)(const char* text, const char* key, std::size_t length);

// Control block of one open index.
struct NdxFile {
    ndx_compare_fn compare;   // prefix comparison of the search
    std::uint32_t cur_child;  // current entry
    std::int32_t cur_record;
    char cur_key[20];
    NdxHeader header;    // image of the file's header, written back at close
    std::int32_t depth;  // pairs on the path
    NdxPathPair path[ndx_max_depth];
    int fd;
    char name[80];
    NdxFile* next_open;  // chain of all open indexes
    int journal_id;      // tracking number in the journal, -1 outside a change
    // The rightmost leaf, which the last insertion reached through the last
    // entry of every page above it and where the path still leads; 0 when
    // that is not so.
    std::uint32_t right_leaf;
};

struct CacheSlot {
    std::uint8_t modified;
    int owner_fd;
    unsigned char* page;  // ndx_page_buffer bytes; position 0 marks a free slot
};

// Offsets of the entries of a cached page, kept in memory behind the page
// buffer so that a page is searched by halving instead of entry by entry.
// Built when first needed after the page was loaded or rearranged.
inline constexpr int ndx_max_entries = ndx_max_used / (ndx_entry_head + 1);
struct PageDirectory {
    std::int16_t count;  // -1 while not built
    std::int16_t offset[ndx_max_entries];
};
inline constexpr int ndx_slot_bytes = ndx_page_buffer + static_cast<int>(sizeof(PageDirectory));
static_assert(ndx_page_buffer % alignof(PageDirectory) == 0);

extern CacheSlot* page_cache;
extern bool cache_ready;
extern int open_indexes;
extern NdxFile* open_chain;  // every open index, most recently opened first

// Open, create and close (index_file.cpp).
NdxFile* ndx_create(const char* name, int dup_mode);
NdxFile* ndx_open(const char* name);
void ndx_close(NdxFile* index);
// Closes every open index without writing anything and releases the cache.
void ndx_discard_all();

// Search, traversal and insertion; each returns a record number or 0.
long ndx_first(NdxFile* index);
long ndx_next(NdxFile* index);
long ndx_find(NdxFile* index, const char* text);
long ndx_insert(NdxFile* index, const char* key, long record);

// The page cache and the page I/O of an index (index_pages.cpp). Pages are
// addressed by their buffer; an entry by its byte offset from the start of
// its page.
void cache_set_up();
void cache_release();
unsigned char* get_page(NdxFile* index, std::uint32_t position);
unsigned char* new_page(NdxFile* index);
void mark_modified(const unsigned char* page);
void read_block(NdxFile* index, long position, void* buffer, unsigned count);
void write_block(NdxFile* index, long position, const void* buffer, unsigned count);
// Writes the pages of `index` held in the cache when modified; `release`
// also frees their slots.
void write_cached_pages(NdxFile* index, bool release);
// Writes the pages of `index` evicted from the cache that still wait to go
// to its file together.
void write_held_pages(NdxFile* index);
// Notes in the journal, under one sync, the original bytes of the cached
// pages of `index` that write_cached_pages will write and of the header.
void journal_cached_pages(NdxFile* index);
void path_push(NdxFile* index, const unsigned char* page, int entry);
int path_pop(NdxFile* index, unsigned char** page);
void make_room(unsigned char* page, int entry, int bytes);
// Marks the entry offsets of a page as stale after its entries were moved.
void forget_directory(unsigned char* page);
const PageDirectory* page_entries(const unsigned char* page);
// Ends the run: the index file `name` is damaged at page `position`, or in
// its header when `position` is 0.
[[noreturn]] void ndx_damaged(const char* name, long position);
inline bool page_boundary(std::uint32_t position) {
    return position >= ndx_first_page && (position - ndx_first_page) % ndx_page_bytes == 0;
}

inline std::uint32_t ndx_word(const unsigned char* at) {
    std::uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}
inline void ndx_set_word(unsigned char* at, std::uint32_t value) { std::memcpy(at, &value, 4); }

inline std::uint32_t page_position(const unsigned char* page) { return ndx_word(page); }
inline int page_used(const unsigned char* page) { return static_cast<int>(ndx_word(page + 4)); }
inline void set_page_used(unsigned char* page, int used) {
    ndx_set_word(page + 4, static_cast<std::uint32_t>(used));
}
// Offset of the end entry: the trailer, whose child is the rightmost subtree.
inline int page_end(const unsigned char* page) { return ndx_entries_at + page_used(page); }
inline std::uint32_t entry_child(const unsigned char* page, int entry) {
    return ndx_word(page + entry);
}
inline std::int32_t entry_record(const unsigned char* page, int entry) {
    return static_cast<std::int32_t>(ndx_word(page + entry + 4));
}
inline const char* entry_key(const unsigned char* page, int entry) {
    return reinterpret_cast<const char*>(page + entry + ndx_entry_head);
}
inline int entry_size(const unsigned char* page, int entry) {
    return ndx_entry_head + 1 + static_cast<int>(std::strlen(entry_key(page, entry)));
}
// Offset of the first entry of `page` for which `before`(key) is false, or
// the end entry; `before` must hold for a leading run of the entries.
template <class Before>
int first_entry_not(const unsigned char* page, Before before) {
    const PageDirectory* entries = page_entries(page);
    int low = 0;
    int high = entries->count;
    while (low < high) {
        const int middle = (low + high) / 2;
        if (before(entry_key(page, entries->offset[middle])))
            low = middle + 1;
        else
            high = middle;
    }
    return low < entries->count ? entries->offset[low] : page_end(page);
}

// Makes the entry at `entry` the index's current entry.
inline void ndx_set_current(NdxFile* index, const unsigned char* page, int entry) {
    index->cur_child = entry_child(page, entry);
    index->cur_record = entry_record(page, entry);
    std::strcpy(index->cur_key, entry_key(page, entry));
}
