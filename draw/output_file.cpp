#include "draw/output_file.h"

#include <stdlib.h>
#include <unistd.h>

#include "db/output_file.h"

// Written all or nothing, as every output of the program.
std::FILE* open_output_file(const char* path) { return output_create(path); }

bool close_output_file(std::FILE* file, const char* path, bool complete) {
    (void)path;
    if (!complete || std::ferror(file)) {
        output_abandon(file);
        return false;
    }
    return output_commit(file);
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
