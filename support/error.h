// Error reports, progress texts and exit statuses.
//
// Every error the program detects is fatal: a numbered report (error_exit)
// ends the run with the message number as exit status, a free-text report
// (fatal) ends it with status 1. Progress texts (message) go to standard error.
#pragma once

#include <cstdint>
#include <cstdio>

// Stream that receives error reports; the program entry sets it to stderr.
extern std::FILE* report_stream;
// When set, progress texts and the console copies of reports are suppressed.
extern unsigned char quiet;
// Line or progress number shown in reports; negative means none is shown.
extern std::int32_t error_line;

// Report message `number` of the message table, formatted with the further
// arguments, and end the program with `number` as exit status.
[[noreturn]] void error_exit(int number, ...);

// Report a free-text error and end the program with exit status 1. The text is
// cut to 83 characters.
[[noreturn]] void fatal(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Write a progress text to standard error unless `quiet` is set.
void message(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Write one line to the report stream (with a console copy when the report
// stream is not standard error).
void message_line(const char* text);

// A routine that must run before the program ends through error_exit or
// fatal, such as writing back cached database pages. Only one is kept; it is
// dropped before it runs, so an error raised inside it ends the program at
// once instead of recursing.
using exit_hook = void (*)();
void error_set_exit_hook(exit_hook hook);
