// The engine's file layer: every open for writing, write, sync, truncation
// and removal of a database file or of the journal goes through these calls,
// so that the test variant of the engine (LUMERAK_FAULT_SEAM, see
// fault_seam.h) can make any one of them fail or end the process, simulate a
// power loss between them, and check that each write of a change comes after
// the journal entries that protect it are on disk.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdio>

int io_open(const char* name, int flags, mode_t mode);
std::FILE* io_fopen(const char* name, const char* mode);
int io_unlink(const char* name);
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

// Writes, syncs and renames of the program's output files (output_file.h).
// They are no database files, so neither the order check nor the power-loss
// log follows them; the fault seam can make any one of them fail.
ssize_t io_output_write(int fd, const void* buffer, std::size_t count);
int io_output_sync(int fd);
int io_output_rename(const char* from, const char* to);

// What the journal does, for the test variant's check of the order of
// writes (nothing in the program itself): a change begins, journaled in the
// file `journal`; an entry of the journal protects a file created in the
// change, the original length of a file, or its original bytes at
// `position`; the change ends (before a rollback restores anything).
#ifdef LUMERAK_FAULT_SEAM
void io_change_begun(const char* journal);
void io_journal_protects_created(const char* name);
void io_journal_protects_length(const char* name, long length);
void io_journal_protects_bytes(const char* name, long position, std::size_t count);
void io_change_ended();
#else
inline void io_change_begun(const char*) {}
inline void io_journal_protects_created(const char*) {}
inline void io_journal_protects_length(const char*, long) {}
inline void io_journal_protects_bytes(const char*, long, std::size_t) {}
inline void io_change_ended() {}
#endif
