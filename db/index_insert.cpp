// Insertion of a key into an index, with the splits of full pages.
#include "db/index_internal.h"

#include "support/error.h"

namespace {

constexpr int placed = 1;
constexpr int refused = 0;
constexpr int start_again = -1;

// Moves the middle entry M of the full page `g` up into its parent; the
// entries before M go to a new page on M's left. A parent without room for M
// is split first instead, and `g` waits for the next descent.
void split_page(NdxFile* index, unsigned char* g) {
    const int used = page_used(g);
    const int middle = ndx_entries_at + used / 2;
    int m_at = ndx_entries_at;
    for (int at = ndx_entries_at; at < middle && at < page_end(g); at += entry_size(g, at))
        m_at = at;
    const int m = entry_size(g, m_at);
    const int moved = m_at + m - ndx_entries_at;  // the entries before M, and M

    unsigned char* parent = nullptr;
    int before = ndx_entries_at;
    if (index->depth > 0) {
        before = path_pop(index, &parent);
        if (page_used(parent) + m >= ndx_max_used) {
            split_page(index, parent);
            return;
        }
    }
    // Both new pages are taken before anything moves, so an error while
    // evicting a page cannot leave the tree half split.
    const bool new_root = parent == nullptr;
    unsigned char* left = new_page(index);
    if (new_root) parent = new_page(index);

    std::memcpy(left + ndx_entries_at, g + ndx_entries_at, static_cast<std::size_t>(moved));
    set_page_used(left, moved - m);  // M's child becomes the trailer of the left page
    ndx_set_word(left + ndx_entries_at + moved, 0);

    std::memmove(g + ndx_entries_at, g + ndx_entries_at + moved,
                 static_cast<std::size_t>(used - moved + 4));
    set_page_used(g, used - moved);
    mark_modified(g);
    forget_directory(g);
    forget_directory(left);

    if (new_root) {
        ndx_set_word(parent + ndx_entries_at, page_position(g));
        index->header.root = page_position(parent);
    }
    make_room(parent, before, m);
    std::memcpy(parent + before, left + ndx_entries_at + moved - m, static_cast<std::size_t>(m));
    ndx_set_word(parent + before, page_position(left));
    mark_modified(left);
}

// Offset of the first entry of `page` whose key is not less than `key`, or
// the end entry. Keys mostly come in ascending order (observations are keyed
// by their record numbers), so a key above the page's last one goes to the
// end entry after a single comparison.
int insert_position(const unsigned char* page, const char* key) {
    const PageDirectory* entries = page_entries(page);
    if (entries->count > 0 &&
        std::strcmp(entry_key(page, entries->offset[entries->count - 1]), key) < 0)
        return page_end(page);
    return first_entry_not(page, [&](const char* entry) { return std::strcmp(entry, key) < 0; });
}

// `rightmost`: every page above `position` was left through its end entry.
int insert_into(NdxFile* index, NdxEntry& e, std::uint32_t position, bool rightmost) {
    if (position == 0) return refused;
    unsigned char* page = get_page(index, position);
    const int end = page_end(page);
    int at = insert_position(page, e.key);

    if (at < end && std::strcmp(entry_key(page, at), e.key) == 0) {
        if (index->header.dup_mode == 0) {
            e.record = entry_record(page, at);
            return refused;
        }
        int run = at;
        for (; run < end && std::strcmp(entry_key(page, run), e.key) == 0;
             run += entry_size(page, run))
            if (entry_record(page, run) == e.record) return placed;
        if (index->header.dup_mode != 2) at = run;
    }

    if (const std::uint32_t child = entry_child(page, at)) {
        path_push(index, page, at);
        return insert_into(index, e, child, rightmost && at == end);
    }
    const int size = ndx_entry_head + 1 + static_cast<int>(std::strlen(e.key));
    if (page_used(page) + size > ndx_max_used) {
        split_page(index, page);
        return start_again;
    }
    make_room(page, at, size);
    std::memcpy(page + at, &e, static_cast<std::size_t>(size));
    if (rightmost) index->right_leaf = position;
    return placed;
}

// Keys mostly come in ascending order. One greater than the last key of the
// rightmost leaf is greater than every key of the index, so the descent from
// the root would leave each page above through its end entry, push the same
// path as the last insertion and end at the end of that leaf; while the leaf
// has room, the key is placed there at once.
bool append_to_right_leaf(NdxFile* index, const NdxEntry& e, int size) {
    if (index->right_leaf == 0) return false;
    unsigned char* page = get_page(index, index->right_leaf);
    const PageDirectory* entries = page_entries(page);
    if (entries->count == 0 || page_used(page) + size > ndx_max_used ||
        std::strcmp(entry_key(page, entries->offset[entries->count - 1]), e.key) >= 0)
        return false;
    const int at = page_end(page);
    make_room(page, at, size);
    std::memcpy(page + at, &e, static_cast<std::size_t>(size));
    return true;
}

}  // namespace

long ndx_insert(NdxFile* index, const char* key, long record) {
    const std::size_t length = std::strlen(key);
    if (length > ndx_max_key) fatal("Key \"%s\" too long", key);
    NdxEntry e{};
    e.record = static_cast<std::int32_t>(record);
    std::memcpy(e.key, key, length + 1);

    int result = placed;
    if (!append_to_right_leaf(index, e, ndx_entry_head + 1 + static_cast<int>(length))) {
        index->right_leaf = 0;
        result = start_again;
    }
    while (result == start_again) {
        index->depth = 0;
        result = insert_into(index, e, index->header.root, true);
    }
    index->cur_child = e.child;
    index->cur_record = e.record;
    std::memcpy(index->cur_key, e.key, sizeof index->cur_key);
    return result == placed ? e.record : 0;
}
