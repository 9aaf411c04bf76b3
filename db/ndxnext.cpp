#include "db/ndx_init.h"

long ndx_settle(unsigned char* page, int entry) {
    // Down to the smallest key of the subtree left of `entry`.
    while (entry_child(page, entry) != 0) {
        path_push(page, entry);
        page = get_page(entry_child(page, entry));
        entry = ndx_entries_at;
    }
    // An exhausted page hands over to the ancestor entry that follows it.
    while (entry == page_end(page)) {
        if (cur_ndx->depth == 0) return 0;
        entry = path_pop(&page);
    }
    path_push(page, entry);
    ndx_set_current(cur_ndx, page, entry);
    return cur_ndx->cur_record;
}

long ndx_next(NdxFile* index) {
    cur_ndx = index;
    unsigned char* page = nullptr;
    int entry = path_pop(&page);
    entry += entry_size(page, entry);
    return ndx_settle(page, entry);
}
