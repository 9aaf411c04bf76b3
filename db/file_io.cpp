#include "db/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#ifdef LUMERAK_FAULT_SEAM
#include "db/table.h"

namespace {

constexpr int op_kinds = 4;
long counts[op_kinds] = {};
FaultOp armed_op = FaultOp::write;
long armed_nth = 0;
FaultAction armed_action = FaultAction::fail;

// Counts one operation; true when it is the one that must fail.
bool fault_here(FaultOp op) {
    const long n = ++counts[static_cast<int>(op)];
    if (armed_nth == 0 || op != armed_op || n != armed_nth) return false;
    if (armed_action == FaultAction::end_process) _exit(fault_exit_status);
    errno = op == FaultOp::write || op == FaultOp::record_write ? ENOSPC : EIO;
    return true;
}

}  // namespace

void fault_arm(FaultOp op, long nth, FaultAction action) {
    for (long& count : counts) count = 0;
    armed_op = op;
    armed_nth = nth;
    armed_action = action;
}

long fault_count(FaultOp op) { return counts[static_cast<int>(op)]; }

#define FAULT_HERE(op, failed) \
    if (fault_here(op)) return failed
#else
#define FAULT_HERE(op, failed)
#endif

ssize_t io_pwrite(int fd, const void* buffer, std::size_t count, off_t position) {
    FAULT_HERE(FaultOp::write, -1);
    return pwrite(fd, buffer, count, position);
}

ssize_t io_write(int fd, const void* buffer, std::size_t count) {
    FAULT_HERE(FaultOp::write, -1);
    return write(fd, buffer, count);
}

int io_fsync(int fd) {
    FAULT_HERE(FaultOp::sync, -1);
    return fsync(fd);
}

int io_ftruncate(int fd, off_t length) {
    FAULT_HERE(FaultOp::truncate, -1);
    return ftruncate(fd, length);
}

std::size_t io_fwrite(const void* buffer, std::size_t size, std::size_t count, std::FILE* stream) {
    FAULT_HERE(FaultOp::record_write, 0);
    return std::fwrite(buffer, size, count, stream);
}

int io_fflush(std::FILE* stream) {
    FAULT_HERE(FaultOp::record_write, EOF);
    return std::fflush(stream);
}

void io_start_writeback(int fd, long from, long bytes) {
    sync_file_range(fd, from, bytes, SYNC_FILE_RANGE_WRITE);
}

int io_sync_folder() {
    FAULT_HERE(FaultOp::sync, -1);
    const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    const int result = fsync(fd);
    close(fd);
    return result;
}
