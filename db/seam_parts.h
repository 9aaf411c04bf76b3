// The parts of the fault seam (fault_seam.h) among themselves: the names of
// the files opened through the file layer, the power-loss log
// (power_loss.cpp) and the check of the order of writes (write_order.cpp).
#pragma once

#include <sys/types.h>

#include <compare>
#include <cstddef>
#include <string>

// A file by its identity on disk, whatever descriptor or name it has now.
struct SeamFile {
    dev_t device = 0;
    ino_t inode = 0;
    auto operator<=>(const SeamFile&) const = default;
};
// The file open as `fd`, or of `name` ({} when there is none).
SeamFile seam_file(int fd);
SeamFile seam_file(const char* name);
// The name a file was last opened by through the file layer; "" for none.
const std::string& seam_name(SeamFile file);

void power_loss_before_open(const char* name, int flags);
void power_loss_opened(SeamFile file, const char* name, int flags);
void power_loss_before_unlink(const char* name);
void power_loss_before_write(int fd, long position, const void* data, std::size_t count,
                             bool buffered);
void power_loss_before_truncate(int fd, long length);
void power_loss_synced(int fd);

// Each check ends the process with a report when the operation comes before
// the journal entries that protect it are on disk.
void write_order_check_open(const char* name, int flags);
void write_order_check_write(int fd, long position, std::size_t count);
void write_order_check_truncate(int fd, long length);
void write_order_check_unlink(const char* name);
void write_order_synced(int fd);
