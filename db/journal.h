// The rollback journal of the engine. While a command changes the database
// (between db_changes_begin and db_changes_commit), the record and index
// modules report every file they create, open or write; before the first
// change of any byte that existed before the run, its original image goes to
// the journal file in the campaign folder, and the journal is on disk before
// that change is written. A run that fails or is interrupted is rolled back
// from the journal; one that was killed, or cut off by a power loss, is
// rolled back by the next command.
//
// Journal file: a header, then entries appended in order.
//   header (32 bytes): "LUMJRNL" and a zero byte, version (u32) 1, header
//     size (u32) 32, the number of entries on disk (u32), 8 zero bytes,
//     CRC-32 of the 28 bytes before it (u32)
//   entry: magic (u32) 0x59524e45, kind (u32), name size (u32), data size
//     (u32), position (i64), sequence number from 0 (u32), CRC-32 (u32) of
//     the 28 bytes before it, the name and the data; then the name, then the
//     data.
// Kinds: 1 the file's original length is `position`; 2 the `data` are the
// original bytes at `position`; 3 the file did not exist before the run.
//
// Each sync of the journal puts its new entries on disk, then writes the
// number of entries in the header and syncs again; no byte of the database
// is written, appended or cut, and no file created, before the entries that
// protect it are on disk that way. So the entries the header counts were
// complete on disk, and an entry beyond them protects nothing that was
// written. Recovery reads the entries up to the end of the file or the first
// entry that is not sound, and restores from those before it:
//  - an unsound entry beyond the counted ones is the journal's unfinished
//    end, the last write before a power loss, and what follows is ignored;
//  - a header shorter than 32 bytes or all zero never reached the disk, so
//    nothing of the database was changed: the journal is removed;
//  - any other fault of the header, and an unsound or missing entry among
//    the counted ones, makes the journal damaged, and nothing is restored.
// Journals of earlier versions kept the count at zero and are read the same
// way: their entries were synced before the bytes they protect were written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr const char* journal_name = "lumerak.journal";

// True between journal_begin and the end of the change (journal_commit,
// journal_roll_back or journal_forget).
bool journal_active();
void journal_begin();
// Before a file is created or emptied: an existing file is saved whole, a
// new one noted as created. Returns the file's tracking number.
int journal_before_create(const char* name);
// A file opened for change, `length` bytes long now. Returns its tracking
// number; a file tracked before in this run keeps what was noted first.
int journal_track(const char* name, long length);
// Before `count` bytes at `position` of tracked file `id` (open as `fd`) are
// written: saves the original bytes there once and puts the journal on disk.
void journal_before_write(int id, int fd, long position, std::size_t count);
// The same for several writes under one sync: each is noted first, then
// journal_sync puts all of them on disk before any of them is written.
void journal_note_write(int id, int fd, long position, std::size_t count);
void journal_sync();
// A file of the run at most this long is saved whole with the first sync of
// the journal after it is opened, instead of piece by piece with a sync each.
inline constexpr long journal_whole_file_bytes = 64L << 10;
// A changed file's writeback is started for every 4 MiB it grows by, up to
// 1 MiB behind its end: the run does not write there again, so it never
// waits for a page on its way to the disk.
inline constexpr long journal_writeback_bytes = 4L << 20;
inline constexpr long journal_writeback_lag = 1L << 20;
// Whether tracked file `id` was written in this run.
bool journal_written(int id);
// A changed file that is closed before the commit: the journal keeps a
// duplicate of `fd` and syncs the file at the commit, before the journal is
// removed, together with the others. False when no duplicate can be made.
bool journal_sync_at_commit(int id, int fd);
// Commits the change: syncs the files it changed, then removes the journal,
// and ends the change. True when there was a journal to remove; that removal
// is put on disk by journal_sync_removal.
bool journal_commit();
void journal_sync_removal();
// Ends the change and restores the database from its journal; false, with
// the file that could not be restored in `why`, when that failed, in which
// case the journal stays for the next command.
bool journal_roll_back(std::string& why);
// Restores the database from a journal left by an interrupted run, if any.
void journal_recover();
// Forgets the run's journal state; what the end of the process does
// (db_close_all).
void journal_forget();

std::uint32_t journal_crc32(const void* data, std::size_t size, std::uint32_t crc = 0);
