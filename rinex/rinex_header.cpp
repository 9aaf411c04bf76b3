#include "rinex/rinex_header.h"

#include <bit>
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

namespace {

constexpr std::uint64_t bytes_of(unsigned char c) { return 0x0101010101010101ULL * c; }

// True when all eight bytes of `word` are decimal digits.
bool all_digits(std::uint64_t word) {
    constexpr std::uint64_t high_nibbles = bytes_of(0xf0);
    return (word & high_nibbles) == bytes_of('0') &&
           ((word + bytes_of(6)) & high_nibbles) == bytes_of('0');
}

// The number of eight digits in memory order (the first is the most
// significant), combined pairwise: 2 digits per byte pair, 4 per 16 bits,
// 8 per 32 bits.
std::uint64_t eight_digits(std::uint64_t word) {
    word -= bytes_of('0');
    word = (word * 10 + (word >> 8)) & 0x00ff00ff00ff00ffULL;
    word = (word * 100 + (word >> 16)) & 0x0000ffff0000ffffULL;
    return (word * 10000 + (word >> 32)) & 0xffffffffULL;
}

}  // namespace

bool f14_3_value(const char* text, double* value) {
    static_assert(std::endian::native == std::endian::little);
    if (text[10] != '.') return false;
    std::uint64_t head;  // columns 1-8
    std::memcpy(&head, text, sizeof head);
    // Leading blanks and the sign become zeros; the digits begin at `first`.
    const std::uint64_t not_blank = head ^ bytes_of(' ');
    std::size_t first = not_blank == 0 ? 8 : std::countr_zero(not_blank) / 8u;
    bool negative = false;
    if (first < 8 && (text[first] == '-' || text[first] == '+')) negative = text[first++] == '-';
    const std::uint64_t filled =
        first == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * first)) - 1;
    head = (head & ~filled) | (bytes_of('0') & filled);
    // Columns 9, 10 and 12-14: the last five digits.
    const auto digit = [&](int at) { return static_cast<unsigned>(text[at] - '0'); };
    const unsigned d9 = digit(8), d10 = digit(9), d12 = digit(11), d13 = digit(12), d14 = digit(13);
    if (!all_digits(head) || (d9 > 9) | (d10 > 9) | (d12 > 9) | (d13 > 9) | (d14 > 9)) return false;
    const std::uint64_t last = d9 * 10000 + d10 * 1000 + d12 * 100 + d13 * 10 + d14;
    const double magnitude = static_cast<double>(eight_digits(head) * 100000 + last) / 1e3;
    *value = negative ? -magnitude : magnitude;
    return true;
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
