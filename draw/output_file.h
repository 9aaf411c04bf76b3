// The files the cairo back end writes (PDF documents, SVG and PNG pages) are
// opened and closed here and nowhere else, so that how an output file comes
// into being (for example under a temporary name that is renamed when it is
// complete) is decided in one place.
#pragma once

#include <cstdio>

// Opens `path` for writing, replacing a file of that name; a file that cannot
// be created ends the program with message 1 (file name and the system's
// error text), as every output file of the program does.
std::FILE* open_output_file(const char* path);

// Closes a file from open_output_file and puts it in place of the old one;
// `complete` false (the caller could not write all of it) or a failed write
// keeps the old file instead. Returns false when the new file is not
// complete on disk.
bool close_output_file(std::FILE* file, const char* path, bool complete);

// A temporary file without a name for drawing set aside, open for writing and
// reading: the system removes it when it is closed, also when the run ends in
// between. Null when none can be made.
std::FILE* open_temporary_file();
