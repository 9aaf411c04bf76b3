#include "db/ndx_init.h"

namespace {

// Finds the leftmost entry below page `position` whose key begins with
// `text`; on success the path leads to it and it is the current entry.
long search(const char* text, std::size_t length, std::uint32_t position) {
    unsigned char* page = get_page(position);
    const int end = page_end(page);
    // Keys that sort before the text without beginning with it come first.
    const int entry = first_entry_not(
        page, [&](const char* key) { return cur_ndx->compare(text, key, length) > 0; });
    if (entry < end && cur_ndx->compare(text, entry_key(page, entry), length) == 0) {
        const std::uint32_t child = entry_child(page, entry);
        if (child != 0) {
            // A match further left, in the subtree before this entry, sorts first.
            path_push(page, entry);
            if (const long found = search(text, length, child)) return found;
            path_pop(&page);
        }
        ndx_set_current(cur_ndx, page, entry);
        path_push(page, entry);
        return entry_record(page, entry);
    }
    path_push(page, entry);
    const std::uint32_t child = entry_child(page, entry);
    const long found = child != 0 ? search(text, length, child) : 0;
    if (found == 0) path_pop(&page);
    return found;
}

}  // namespace

long ndx_find(NdxFile* index, const char* text) {
    cur_ndx = index;
    index->depth = 0;
    return search(text, std::strlen(text), index->root);
}
