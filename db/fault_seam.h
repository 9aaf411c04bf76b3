// The fault seam of the engine's file layer, for tests: present only in the
// engine variant built with LUMERAK_FAULT_SEAM (library lum_db_faults). It
//  - makes one operation of a kind fail, or end the process, as a full disk,
//    a failing device or a crash would (fault_arm);
//  - switches the syncs off, for tests that run many changes and never need
//    the disk to keep them (fault_skip_syncs);
//  - simulates a power loss between any two operations (power_loss_*);
//  - checks, in every change, that no byte of a file that existed before it
//    is written, appended or cut, and no file created, before the journal
//    entries that protect it are on disk; a write out of that order ends the
//    process with a report on standard error and status write_order_status.
#pragma once

#ifndef LUMERAK_FAULT_SEAM
#error "the fault seam exists only in the engine built with LUMERAK_FAULT_SEAM"
#endif

#include <sys/types.h>

#include <cstddef>
#include <map>
#include <set>
#include <string>

enum class FaultOp {
    record_write,  // a write or flush of a record file's stream
    write,         // a positioned or appending write (index pages, journal)
    sync,          // fsync of a file or the folder
    truncate,
    output,        // a write, sync or rename of an output file (output_file.h)
};
enum class FaultAction {
    fail,         // the call fails (ENOSPC for writes, EIO otherwise)
    end_process,  // the process ends at once with fault_exit_status
};
inline constexpr int fault_exit_status = 99;
inline constexpr int write_order_status = 98;

// Makes the `nth` operation (counted from 1) of kind `op` take `action`;
// resets all counts. nth 0 arms nothing, which only counts.
void fault_arm(FaultOp op, long nth, FaultAction action);
// Operations of kind `op` since the last arm.
long fault_count(FaultOp op);
// With `skip`, syncs of files and of the folder succeed without reaching
// the disk; they still count, fail when armed and take their place in the
// power-loss simulation.
void fault_skip_syncs(bool skip);

// ---- Power-loss simulation
//
// While recording, the file layer logs every operation that changes a file
// of the current folder or the folder itself: each write with its bytes
// (the records of a stream up to 4 KiB at a time, as its buffer writes
// them), each truncation, creation and removal, and each sync of a file or
// of the folder. A power loss before operation n then leaves, per file, what
// its last sync before n covered plus a part of its later writes, and the
// names created or removed only as of the last sync of the folder before n.

// Which of the writes after a file's last sync survive the power loss.
enum class PowerLossKeep {
    none,   // none: only what was synced
    whole,  // each write, whole, by a toss of a coin
    torn,   // each 4 KiB-aligned piece of each write by a toss of a coin
    all,    // all of them, as after a crash of the process alone
};

// Starts a new log; the files as they are now count as on disk.
void power_loss_record();
void power_loss_stop();
// Operations logged.
long power_loss_operations();
// The files the log touched as a power loss before operation `n` (0 to
// power_loss_operations()) leaves them: the content of each that is there,
// and the names that are not; `seed` chooses the surviving writes.
struct PowerLossFiles {
    std::map<std::string, std::string> there;
    std::set<std::string> gone;
};
PowerLossFiles power_loss_files(long n, PowerLossKeep keep, unsigned seed);

// ---- Called by the file layer

// Counts one operation; true when it is the one that must fail (errno set).
bool seam_fails(FaultOp op);
bool seam_syncs_skipped();
// A file about to be opened with `flags` (O_CREAT, O_TRUNC), and opened.
void seam_before_open(const char* name, int flags);
void seam_opened(int fd, const char* name, int flags);
void seam_before_unlink(const char* name);
// Before `count` bytes at `position` (-1: the descriptor's offset) are
// written; `buffered` for a stream's write.
void seam_before_write(int fd, long position, const void* data, std::size_t count, bool buffered);
void seam_before_truncate(int fd, long length);
// After a successful sync of a file, or of the folder (fd -1).
void seam_synced(int fd);
