#include "db/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#ifdef LUMERAK_FAULT_SEAM
#include "db/fault_seam.h"
#define SEAM(call) call
#define FAULT_HERE(op, failed) \
    if (seam_fails(op)) return failed
#else
#define SEAM(call)
#define FAULT_HERE(op, failed)
#endif

// Syncs cost a wait for the disk; the fuzzing harnesses, which run the
// engine thousands of times a second on throw-away folders, compile them out.
#ifdef LUMERAK_SKIP_SYNCS
constexpr bool syncs_compiled = false;
#else
constexpr bool syncs_compiled = true;
#endif

namespace {

bool syncs_on() {
#ifdef LUMERAK_FAULT_SEAM
    if (seam_syncs_skipped()) return false;
#endif
    return syncs_compiled;
}

#ifdef LUMERAK_FAULT_SEAM
// The open flags a stream's mode stands for.
int open_flags(const char* mode) {
    if (mode[0] == 'w') return O_CREAT | O_TRUNC;
    if (mode[0] == 'a') return O_CREAT;
    return 0;
}
#endif

}  // namespace

int io_open(const char* name, int flags, mode_t mode) {
    SEAM(seam_before_open(name, flags));
    const int fd = open(name, flags | O_CLOEXEC, mode);
    SEAM(if (fd >= 0) seam_opened(fd, name, flags));
    return fd;
}

std::FILE* io_fopen(const char* name, const char* mode) {
    SEAM(seam_before_open(name, open_flags(mode)));
    std::FILE* stream = std::fopen(name, mode);
    SEAM(if (stream) seam_opened(fileno(stream), name, open_flags(mode)));
    return stream;
}

int io_unlink(const char* name) {
    SEAM(seam_before_unlink(name));
    return unlink(name);
}

ssize_t io_pwrite(int fd, const void* buffer, std::size_t count, off_t position) {
    SEAM(seam_before_write(fd, position, buffer, count, false));
    FAULT_HERE(FaultOp::write, -1);
    return pwrite(fd, buffer, count, position);
}

ssize_t io_write(int fd, const void* buffer, std::size_t count) {
    SEAM(seam_before_write(fd, -1, buffer, count, false));
    FAULT_HERE(FaultOp::write, -1);
    return write(fd, buffer, count);
}

int io_fsync(int fd) {
    FAULT_HERE(FaultOp::sync, -1);
    const int result = syncs_on() ? fsync(fd) : 0;
    SEAM(if (result == 0) seam_synced(fd));
    return result;
}

int io_ftruncate(int fd, off_t length) {
    SEAM(seam_before_truncate(fd, length));
    FAULT_HERE(FaultOp::truncate, -1);
    return ftruncate(fd, length);
}

std::size_t io_fwrite(const void* buffer, std::size_t size, std::size_t count, std::FILE* stream) {
    SEAM(seam_before_write(fileno(stream), std::ftell(stream), buffer, size * count, true));
    FAULT_HERE(FaultOp::record_write, 0);
    return std::fwrite(buffer, size, count, stream);
}

int io_fflush(std::FILE* stream) {
    FAULT_HERE(FaultOp::record_write, EOF);
    return std::fflush(stream);
}

void io_start_writeback(int fd, long from, long bytes) {
    if (syncs_on()) sync_file_range(fd, from, bytes, SYNC_FILE_RANGE_WRITE);
}

int io_sync_folder() {
    FAULT_HERE(FaultOp::sync, -1);
    if (!syncs_on()) {
        SEAM(seam_synced(-1));
        return 0;
    }
    const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    const int result = fsync(fd);
    close(fd);
    SEAM(if (result == 0) seam_synced(-1));
    return result;
}

ssize_t io_output_write(int fd, const void* buffer, std::size_t count) {
    FAULT_HERE(FaultOp::output, -1);
    return write(fd, buffer, count);
}

int io_output_sync(int fd) {
    FAULT_HERE(FaultOp::output, -1);
    return syncs_on() ? fsync(fd) : 0;
}

int io_output_rename(const char* from, const char* to) {
    FAULT_HERE(FaultOp::output, -1);
    return std::rename(from, to);
}
