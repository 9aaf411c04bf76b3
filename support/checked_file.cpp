#include "support/checked_file.h"

#include <cerrno>
#include <cstring>

#include "support/error.h"
#include "support/messages.h"

std::FILE* checked_open(const char* name, const char* mode) {
    std::FILE* file = std::fopen(name, mode);
    if (!file) error_exit(msg_open_failed, name, std::strerror(errno));
    return file;
}

void checked_close(std::FILE* file, const char* name) {
    const bool written = !std::ferror(file);
    if (std::fclose(file) == 0 && written) return;
    std::perror("");
    fatal("Write failure on file %s\n", name);
}
