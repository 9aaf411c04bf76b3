#include "draw/canvas.h"

std::string page_file_name(const char* path, int pages, int k) {
    std::string name = path != nullptr ? path : "";
    if (pages <= 1) return name;
    // The last name starts after the last slash; a dot that begins it (a
    // hidden file) starts no extension.
    const std::size_t slash = name.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = name.rfind('.');
    const bool has_extension = dot != std::string::npos && dot > start;
    const std::size_t at = has_extension ? dot : name.size();
    return name.substr(0, at) + "-" + std::to_string(k) + name.substr(at);
}
