#include "support/messages.h"

const char* const message_texts[message_count] = {
    "ok",                            // msg_ok
    "'%s' %s",                       // msg_open_failed
    "max. 64KB pro Zeiger",          // msg_block_too_large
    "no memory",                     // msg_no_memory
    " (%.2lf sec) ok",               // msg_elapsed
    "index %s creation failed",      // msg_index_create
    "database %s creation failed",   // msg_db_create
    "key %s occured twice in %s",    // msg_duplicate_key
    "record not found",              // msg_record_not_found
    "key %s not found",              // msg_key_not_found
    "database %s cannot be opened",  // msg_db_open
    "index %s cannot be opened",     // msg_index_open
};
