#include "db/ndx_init.h"

long ndx_first(NdxFile* index) {
    cur_ndx = index;
    unsigned char* root = get_page(index->root);
    if (page_used(root) == 0 && entry_child(root, page_end(root)) == 0) return 0;
    index->depth = 0;
    return ndx_settle(root, ndx_entries_at);
}
