// Option scanner: splits the command line into option letters and their
// values, one option per call.
//
// It differs from the C library's getopt: a value is never taken from the
// following argument, a word that does not start with the option character is
// handed back as '!' instead of ending the scan, and the option character is
// configurable.
#pragma once

// Result of opt_scan when there are no more options.
inline constexpr char opt_end = static_cast<char>(-1);

extern int opt_next;     // index of the argument being scanned (0 is the program)
extern int opt_verbose;  // report unknown letters on standard output when not 0
extern char opt_switch;  // character that starts an option word
extern int opt_offset;   // the next letter is the one after this position

// Starts a scan at argument `first`. Leaves opt_offset alone.
void opt_init(int first, int verbose, char option_char);

// Scans the next option against `options` (letters; a letter followed by ':'
// takes a value attached to it). Returns the letter of a known option and sets
// *value to its attached value (null when there is none, or for letters
// without value); '!' with *value = the argument for a word that is not an
// option; '?' with *value pointing at the letter for an unknown letter;
// opt_end at the end of the arguments or after "--".
char opt_scan(int argc, char* const argv[], const char* options, char** value);
