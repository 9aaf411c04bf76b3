// Small file and text helpers shared by the commands.
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

// Removes leading and trailing blanks (only ' ') in place.
void trim_blanks(char* text);

// Position of the first entry of the null-terminated `list` that occurs
// anywhere inside `text`, or -1.
int find_in_list(const char* text, const char* const* list);

// True when the record file of table `name` exists.
bool table_exists(const char* name);
