// Prefix search of an index.
#include "db/index_internal.h"

namespace {

// Finds the leftmost entry below page `position` whose key begins with
// `text`; on success the path leads to it and it is the current entry.
long search(NdxFile* index, const char* text, std::size_t length, std::uint32_t position) {
    unsigned char* page = get_page(index, position);
    const int end = page_end(page);
    // Keys that sort before the text without beginning with it come first.
    const int entry = first_entry_not(
        page, [&](const char* key) { return index->compare(text, key, length) > 0; });
    if (entry < end && index->compare(text, entry_key(page, entry), length) == 0) {
        const std::uint32_t child = entry_child(page, entry);
        if (child != 0) {
            // A match further left, in the subtree before this entry, sorts first.
            path_push(index, page, entry);
            if (const long found = search(index, text, length, child)) return found;
            path_pop(index, &page);
        }
        ndx_set_current(index, page, entry);
        path_push(index, page, entry);
        return entry_record(page, entry);
    }
    path_push(index, page, entry);
    const std::uint32_t child = entry_child(page, entry);
    const long found = child != 0 ? search(index, text, length, child) : 0;
    if (found == 0) path_pop(index, &page);
    return found;
}

}  // namespace

long ndx_find(NdxFile* index, const char* text) {
    // The path no longer leads to the rightmost leaf.
    index->right_leaf = 0;
    index->depth = 0;
    return search(index, text, std::strlen(text), index->header.root);
}
