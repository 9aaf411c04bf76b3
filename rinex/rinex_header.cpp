#include "rinex/rinex_header.h"

#include <cstdint>
#include <cstring>

namespace {

// In the order of HeaderLabel.
constexpr std::string_view label_texts[] = {
    "RINEX VERSION / TYPE",
    "PGM / RUN BY / DATE",
    "COMMENT",
    "MARKER NAME",
    "MARKER NUMBER",
    "OBSERVER / AGENCY",
    "REC # / TYPE / VERS",
    "ANT # / TYPE",
    "APPROX POSITION XYZ",
    "ANTENNA: DELTA H/E/N",
    "WAVELENGTH FACT L1/2",
    "# / TYPES OF OBSERV",
    "INTERVAL",
    "TIME OF FIRST OBS",
    "TIME OF LAST OBS",
    "# OF SATELLITES",
    "PRN / # OF OBS",
    "END OF HEADER",
    "ION ALPHA",
    "ION BETA",
    "DELTA-UTC: A0,A1,T,W",
    "LEAP SECONDS",
    "SYS / # / OBS TYPES",
};
static_assert(std::size(label_texts) == static_cast<std::size_t>(HeaderLabel::none));

}  // namespace

std::string_view header_label_text(HeaderLabel label) {
    const auto i = static_cast<std::size_t>(label);
    return i < std::size(label_texts) ? label_texts[i] : std::string_view{};
}

HeaderLabel header_label_in_columns(std::string_view line) {
    std::string_view label = label_columns(without_line_end(line));
    while (!label.empty() && label.back() == ' ') label.remove_suffix(1);
    if (trimmed(label).empty()) return HeaderLabel::none;
    for (std::size_t i = 0; i < std::size(label_texts); ++i)
        if (label == label_texts[i]) return static_cast<HeaderLabel>(i);
    return HeaderLabel::other;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

std::string_view first_word(std::string_view text) {
    text = trimmed(text);
    const std::size_t end = text.find(' ');
    return end == std::string_view::npos ? text : text.substr(0, end);
}

std::string_view without_line_end(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    return line;
}

void copy_text(char* field, std::size_t size, std::string_view text) {
    const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    if (n > 0) std::memcpy(field, text.data(), n);  // an empty view may have no data
    field[n] = '\0';
}

void store_text(char* field, std::size_t size, std::string_view text) {
    const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    if (n > 0) std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, size - n);
}

bool plain_decimal(std::string_view text, double* value) {
    static const double powers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const std::size_t length = text.size();
    std::size_t i = 0;
    while (i < length && text[i] == ' ') ++i;
    bool negative = false;
    if (i < length && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::uint64_t mantissa = 0;
    int digits = 0;
    int decimals = -1;
    for (; i < length && text[i] != ' '; ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
        if (digit < 10) {
            mantissa = mantissa * 10 + digit;
            ++digits;
            if (decimals >= 0) ++decimals;
        } else if (text[i] == '.' && decimals < 0) {
            decimals = 0;
        } else {
            return false;
        }
    }
    while (i < length && text[i] == ' ') ++i;
    if (digits == 0 || digits > 15 || i != length) return false;
    const double magnitude = static_cast<double>(mantissa) / powers[decimals > 0 ? decimals : 0];
    *value = negative ? -magnitude : magnitude;
    return true;
}
