#include "support/untrusted_text.h"

namespace {

bool control(unsigned char byte) { return byte < 32 || byte == 127; }

std::string escaped(std::string_view text, bool keep_line_ends) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (!control(byte) || (keep_line_ends && c == '\n')) {
            out += c;
            continue;
        }
        out += "\\x";
        out += hex[byte >> 4];
        out += hex[byte & 15];
    }
    return out;
}

}  // namespace

std::string plain_file_name(std::string_view name) {
    std::string out(name.empty() ? std::string_view("_") : name);
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (control(byte) || byte > 127 || c == '/' || c == '\\') c = '_';
    }
    if (out[0] == '.') out[0] = '_';
    return out;
}

std::string console_text(std::string_view text) { return escaped(text, false); }

std::string console_lines(std::string_view text) { return escaped(text, true); }
