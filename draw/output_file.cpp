#include "draw/output_file.h"

#include <stdlib.h>
#include <unistd.h>

#include "support/checked_file.h"

std::FILE* open_output_file(const char* path) { return checked_open(path, "wb"); }

bool close_output_file(std::FILE* file, const char* path, bool complete) {
    (void)path;
    const bool written = !std::ferror(file);
    return std::fclose(file) == 0 && written && complete;
}

std::FILE* open_temporary_file() {
    char name[] = "/tmp/lumerak-page-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return nullptr;
    close(fd);
    std::FILE* part = std::fopen(name, "w+b");
    std::remove(name);
    return part;
}
