// Walking an index in ascending key order: the first entry, then the next.
#include "db/index_internal.h"

namespace {

// Moves from entry `entry` of `page` down to the smallest key of its child
// subtree, or up past exhausted pages, and makes the entry reached current;
// the record number reached, or 0 at the end of the index.
long ndx_settle(NdxFile* index, unsigned char* page, int entry) {
    // Down to the smallest key of the subtree left of `entry`.
    while (entry_child(page, entry) != 0) {
        path_push(index, page, entry);
        page = get_page(index, entry_child(page, entry));
        entry = ndx_entries_at;
    }
    // An exhausted page hands over to the ancestor entry that follows it.
    while (entry == page_end(page)) {
        if (index->depth == 0) return 0;
        entry = path_pop(index, &page);
    }
    path_push(index, page, entry);
    ndx_set_current(index, page, entry);
    return index->cur_record;
}

}  // namespace

long ndx_first(NdxFile* index) {
    // The path no longer leads to the rightmost leaf.
    index->right_leaf = 0;
    unsigned char* root = get_page(index, index->header.root);
    if (page_used(root) == 0 && entry_child(root, page_end(root)) == 0) return 0;
    index->depth = 0;
    return ndx_settle(index, root, ndx_entries_at);
}

long ndx_next(NdxFile* index) {
    index->right_leaf = 0;
    unsigned char* page = nullptr;
    int entry = path_pop(index, &page);
    entry += entry_size(page, entry);
    return ndx_settle(index, page, entry);
}
