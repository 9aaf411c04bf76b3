// An output file written all or nothing: the listing, the export files, the
// pages and the CSV files of the quality check are written under a temporary
// name beside their own, synced, and renamed over it only when complete. A
// run that fails, is interrupted or is killed while writing leaves the file
// from before (or none), never a part of one.
//
// The temporary is ".lumerak-tmp.<process id>.<n>" in the output's folder.
// The program removes its temporaries when it ends through an error report or
// through SIGINT, SIGTERM or SIGHUP; output_sweep removes those of runs that
// could not (killed with SIGKILL, a power loss).
//
// A name that is a symbolic link writes through it: the file it points to is
// replaced. A name that is no plain file (a device such as /dev/stdout, a
// named pipe) is written in place, as nothing else can be.
#pragma once

#include <cstdio>

// Opens the output `name`. Null, with errno, when its temporary cannot be
// created (or too many outputs are open at once).
std::FILE* output_open(const char* name);
// Flushes and syncs the output, closes it and renames it over its name. False,
// with errno, when any of that failed: the name then keeps what it had and the
// temporary is removed. `file` is closed either way.
bool output_commit(std::FILE* file);
// Closes the output and removes its temporary; its name keeps what it had.
void output_abandon(std::FILE* file);

// The two for the program's own writers: an output that cannot be created
// ends the run with message 1 (its name and the system's error text), one
// that cannot be completely written with the system's error text and
// "Write failure on file".
std::FILE* output_create(const char* name);
void output_finish(std::FILE* file);

// The file an open output is being written to (its temporary, or its name
// when written in place), for a look at what is written so far; null for a
// file not opened by output_open.
const char* output_written_file(std::FILE* file);

// Abandons every open output, as the end of the process does: for a caller
// that goes on after a command ended through an error report.
void output_abandon_all();

// Removes the temporaries in the current folder whose process has ended.
void output_sweep();
