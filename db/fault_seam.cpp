// Fault injection, the switch for syncs and the names of the files opened
// through the file layer; the power-loss log and the order check are in
// power_loss.cpp and write_order.cpp.
#include "db/fault_seam.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>

#include "db/seam_parts.h"

namespace {

constexpr int op_kinds = 5;
long counts[op_kinds] = {};
FaultOp armed_op = FaultOp::write;
long armed_nth = 0;
FaultAction armed_action = FaultAction::fail;
bool syncs_skipped = false;
std::map<SeamFile, std::string> names;

SeamFile file_of(const struct stat& status) { return SeamFile{status.st_dev, status.st_ino}; }

}  // namespace

void fault_arm(FaultOp op, long nth, FaultAction action) {
    for (long& count : counts) count = 0;
    armed_op = op;
    armed_nth = nth;
    armed_action = action;
}

long fault_count(FaultOp op) { return counts[static_cast<int>(op)]; }

void fault_skip_syncs(bool skip) { syncs_skipped = skip; }

bool seam_syncs_skipped() { return syncs_skipped; }

bool seam_fails(FaultOp op) {
    const long n = ++counts[static_cast<int>(op)];
    if (armed_nth == 0 || op != armed_op || n != armed_nth) return false;
    if (armed_action == FaultAction::end_process) _exit(fault_exit_status);
    errno = op == FaultOp::sync || op == FaultOp::truncate ? EIO : ENOSPC;
    return true;
}

SeamFile seam_file(int fd) {
    struct stat status {};
    return fstat(fd, &status) == 0 ? file_of(status) : SeamFile{};
}

SeamFile seam_file(const char* name) {
    struct stat status {};
    return stat(name, &status) == 0 ? file_of(status) : SeamFile{};
}

const std::string& seam_name(SeamFile file) {
    static const std::string none;
    const auto it = names.find(file);
    return it == names.end() ? none : it->second;
}

void seam_before_open(const char* name, int flags) {
    write_order_check_open(name, flags);
    power_loss_before_open(name, flags);
}

void seam_opened(int fd, const char* name, int flags) {
    const SeamFile file = seam_file(fd);
    names[file] = name;
    power_loss_opened(file, name, flags);
}

void seam_before_unlink(const char* name) {
    write_order_check_unlink(name);
    power_loss_before_unlink(name);
}

void seam_before_write(int fd, long position, const void* data, std::size_t count, bool buffered) {
    if (position < 0) position = lseek(fd, 0, SEEK_CUR);
    write_order_check_write(fd, position, count);
    power_loss_before_write(fd, position, data, count, buffered);
}

void seam_before_truncate(int fd, long length) {
    write_order_check_truncate(fd, length);
    power_loss_before_truncate(fd, length);
}

void seam_synced(int fd) {
    write_order_synced(fd);
    power_loss_synced(fd);
}
