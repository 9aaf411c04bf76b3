// The table of numbered messages. A message's number is also the exit status
// of a run that ends with it.
#pragma once

enum MessageNumber : int {
    msg_ok = 0,
    msg_open_failed = 1,      // file cannot be opened: name, system text
    msg_block_too_large = 2,  // a heap block above the size limit
    msg_no_memory = 3,
    msg_elapsed = 4,        // seconds taken
    msg_index_create = 5,   // index file name
    msg_db_create = 6,      // record file name
    msg_duplicate_key = 7,  // key, index file name
    msg_record_not_found = 8,
    msg_key_not_found = 9,  // key
    msg_db_open = 10,       // record file name
    msg_index_open = 11,    // index file name
    message_count
};

extern const char* const message_texts[message_count];
