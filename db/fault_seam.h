// Fault injection for tests: present only in the engine variant built with
// LUMERAK_FAULT_SEAM (library lum_db_faults). One operation of a kind, counted
// from the last arm, fails as a full disk or a failing device would, or ends
// the process before it happens as a crash would.
#pragma once

enum class FaultOp {
    record_write,  // a write or flush of a record file's stream
    write,         // a positioned or appending write (index pages, journal)
    sync,          // fsync of a file or the folder
    truncate,
};
enum class FaultAction {
    fail,         // the call fails (ENOSPC for writes, EIO otherwise)
    end_process,  // the process ends at once with fault_exit_status
};
inline constexpr int fault_exit_status = 99;

// Makes the `nth` operation (counted from 1) of kind `op` take `action`;
// resets all counts. nth 0 arms nothing, which only counts.
void fault_arm(FaultOp op, long nth, FaultAction action);
// Operations of kind `op` since the last arm.
long fault_count(FaultOp op);
