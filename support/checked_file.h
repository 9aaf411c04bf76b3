// Opening and closing the program's own text files with checks: a file that
// cannot be opened or completely written ends the run.
#pragma once

#include <cstdio>

// Opens a file as fopen does; on failure ends the program with message 1
// (file name and the system's error text).
std::FILE* checked_open(const char* name, const char* mode);

// Closes a file written by the program; when its data could not all be
// written (a full disk, a file size limit), ends the program with the system's
// error text and "Write failure on file", so a cut-off output never passes as
// done.
void checked_close(std::FILE* file, const char* name);
