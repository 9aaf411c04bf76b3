// Creating, opening and closing index files, and the write-back of their
// cached pages and headers.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "db/file_io.h"
#include "db/index_internal.h"
#include "db/journal.h"
#include "support/error.h"
#include "support/memory.h"

int open_indexes = 0;
NdxFile* open_chain = nullptr;

namespace {

// The search's comparison: the first `length` characters, bytes unsigned.
int prefix_compare(const char* text, const char* key, std::size_t length) {
    return std::strncmp(text, key, length);
}

NdxFile* make_control_block(const char* name, int dup_mode) {
    auto* index = static_cast<NdxFile*>(mem_calloc(1, sizeof(NdxFile)));
    index->compare = prefix_compare;
    std::snprintf(index->name, sizeof index->name, "%s", name);
    index->header.root = ndx_first_page;
    index->header.file_end = ndx_first_page;
    index->header.free_head = 0;
    index->header.flag_a = 0;
    index->header.flag_b = 2;
    index->header.dup_mode = dup_mode;
    index->header.page_size = ndx_page_bytes;
    index->fd = -1;
    index->journal_id = -1;
    return index;
}

void write_header(NdxFile* index) { write_block(index, 0, &index->header, sizeof index->header); }

// A header whose positions cannot belong to a page of the file would send
// every later access astray.
bool header_sound(const NdxHeader& header, long file_bytes) {
    if (!page_boundary(header.file_end) || header.file_end < ndx_first_page + ndx_page_bytes ||
        header.file_end > file_bytes)
        return false;
    if (!page_boundary(header.root) || header.root >= header.file_end) return false;
    if (header.free_head != 0 &&
        (!page_boundary(header.free_head) || header.free_head >= header.file_end))
        return false;
    return true;
}

// Makes the control block and opens the file; none when the file cannot be
// opened, with errno kept for the caller's report.
NdxFile* open_index_file(const char* name, int dup_mode, int flags) {
    NdxFile* index = make_control_block(name, dup_mode);
    if ((flags & O_TRUNC) && journal_active()) index->journal_id = journal_before_create(name);
    index->fd = io_open(name, flags, S_IRUSR | S_IWUSR);
    if (index->fd < 0) {
        const int saved = errno;
        mem_free(index);
        errno = saved;
        return nullptr;
    }
    cache_set_up();
    return index;
}

void count_open(NdxFile* index) {
    index->next_open = open_chain;
    open_chain = index;
    ++open_indexes;
}

}  // namespace

NdxFile* ndx_create(const char* name, int dup_mode) {
    NdxFile* index = open_index_file(name, dup_mode, O_RDWR | O_CREAT | O_TRUNC);
    if (!index) return nullptr;
    count_open(index);
    unsigned char* root = new_page(index);
    write_header(index);
    write_block(index, sizeof(NdxHeader), root + ndx_entries_at,
                ndx_first_page - sizeof(NdxHeader));
    return index;
}

NdxFile* ndx_open(const char* name) {
    NdxFile* index = open_index_file(name, 0, O_RDWR);
    if (!index) return nullptr;
    // A file refused here is closed before the run ends, so nothing of it
    // stays open where the end of the run is intercepted.
    const long file_bytes = lseek(index->fd, 0, SEEK_END);
    if (file_bytes < static_cast<long>(sizeof index->header)) {
        close(index->fd);
        ndx_damaged(name, 0);
    }
    read_block(index, 0, &index->header, sizeof index->header);
    if (!header_sound(index->header, file_bytes)) {
        close(index->fd);
        ndx_damaged(name, 0);
    }
    if (journal_active()) index->journal_id = journal_track(name, file_bytes);
    count_open(index);
    return index;
}

void ndx_close(NdxFile* index) {
    write_held_pages(index);
    // One sync of the journal for all the pages written back here.
    journal_cached_pages(index);
    write_cached_pages(index, true);
    write_header(index);
    // A file changed under the journal is synced by the commit.
    if (index->journal_id >= 0 && journal_written(index->journal_id) &&
        !journal_sync_at_commit(index->journal_id, index->fd)) {
        std::perror("");
        fatal("Write failure on file %s\n", index->name);
    }
    close(index->fd);
    for (NdxFile** link = &open_chain; *link; link = &(*link)->next_open) {
        if (*link == index) {
            *link = index->next_open;
            break;
        }
    }
    mem_free(index);
    if (--open_indexes == 0) cache_release();
}

// Drops every open index without writing: the descriptors are closed and
// the control blocks and the page cache released.
void ndx_discard_all() {
    while (open_chain) {
        NdxFile* index = open_chain;
        open_chain = index->next_open;
        close(index->fd);
        mem_free(index);
    }
    if (cache_ready) cache_release();
    open_indexes = 0;
}
