#include "front/option_scan.h"

#include <cstdio>

int opt_next = 1;
int opt_verbose = 1;
char opt_switch = '-';
int opt_offset = 0;

void opt_init(int first, int verbose, char option_char) {
    opt_next = first;
    opt_verbose = verbose;
    opt_switch = option_char;
}

char opt_scan(int argc, char* const argv[], const char* options, char** value) {
    *value = nullptr;
    if (opt_next >= argc) return opt_end;

    char* arg = argv[opt_next];
    if (arg[0] != opt_switch && opt_offset == 0) {
        *value = arg;
        ++opt_next;
        return '!';
    }

    char* at = arg + opt_offset + 1;
    char letter = *at;
    if (letter == opt_switch) {
        ++opt_next;
        return opt_end;
    }
    // The option character alone stands for the letter blank.
    const bool at_end = letter == '\0';
    if (at_end) letter = ' ';
    const bool more = !at_end && at[1] != '\0';

    // Colons take part in the comparison: "-:" is a letter like any other.
    const char* match = options;
    while (*match != '\0' && *match != letter) ++match;
    if (*match == '\0') {
        *value = at;
        ++opt_next;
        // A later call must not continue inside the next argument at this
        // argument's position.
        opt_offset = 0;
        if (opt_verbose) std::printf("illegal option flag: %c\n", letter);
        return '?';
    }

    if (match[1] == ':') {
        opt_offset = 0;
        ++opt_next;
        if (more) *value = at + 1;
        return letter;
    }
    if (more) {
        ++opt_offset;
    } else {
        opt_offset = 0;
        ++opt_next;
    }
    return letter;
}
