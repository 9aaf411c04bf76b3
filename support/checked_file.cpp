#include "obsdb/myfopen.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "support/error.h"

std::FILE* checked_open(const char* name, const char* mode) {
    std::FILE* file = std::fopen(name, mode);
    if (!file) error_exit(1, name, std::strerror(errno));
    return file;
}

void checked_close(std::FILE* file, const char* name) {
    const bool written = !std::ferror(file);
    if (std::fclose(file) == 0 && written) return;
    std::perror("");
    fatal("Write failure on file %s\n", name);
}

void trim_blanks(char* text) {
    std::size_t start = 0;
    while (text[start] == ' ') ++start;
    std::size_t end = std::strlen(text + start) + start;
    while (end > start && text[end - 1] == ' ') --end;
    std::memmove(text, text + start, end - start);
    text[end - start] = '\0';
}

int find_in_list(const char* text, const char* const* list) {
    for (int i = 0; list[i]; ++i)
        if (std::strstr(text, list[i])) return i;
    return -1;
}

bool table_exists(const char* name) {
    char path[64];
    std::snprintf(path, sizeof path, "%s.DAT", name);
    struct stat info;
    return stat(path, &info) == 0;
}
