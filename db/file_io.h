// The engine's file layer: every write, sync and truncation of a database
// file or of the journal goes through these calls, so that a build with the
// fault seam (declared in table.h) can make any one of them fail or end the process.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdio>

ssize_t io_pwrite(int fd, const void* buffer, std::size_t count, off_t position);
ssize_t io_write(int fd, const void* buffer, std::size_t count);
int io_fsync(int fd);
int io_ftruncate(int fd, off_t length);
// Writes and flushes of the record files' buffered streams.
std::size_t io_fwrite(const void* buffer, std::size_t size, std::size_t count, std::FILE* stream);
int io_fflush(std::FILE* stream);
// Starts writing the file's changed pages to disk without waiting for them,
// so that the sync at the end of a change finds little left to do.
void io_start_writeback(int fd, long from, long bytes);
// Syncs the current folder, so that files created or removed in it stay so.
int io_sync_folder();
