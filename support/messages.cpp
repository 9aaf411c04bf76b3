#include "support/meldunge.h"

const char* const meldunge[message_count] = {
    "ok",                              // 0
    "'%s' %s",                         // 1 file cannot be opened: name, system text
    "max. 64KB pro Zeiger",            // 2
    "no memory",                       // 3
    " (%.2lf sec) ok",                 // 4
    "index %s creation failed",        // 5
    "database %s creation failed",     // 6
    "key %s occured twice in %s",      // 7
    "record not found",                // 8
    "key %s not found",                // 9
    "database %s cannot be opened",    // 10
    "index %s cannot be opened",       // 11
};
