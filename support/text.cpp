#include "support/text.h"

#include <cstring>

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
