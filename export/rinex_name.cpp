#include "export/rinex_name.h"

#include <cstring>

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Fixed positions of SSSSMRCCC_S_YYYYDDDHHMM_PPU_ (0-based).
constexpr std::size_t long_prefix = 28;
constexpr std::size_t day_start = 16;
constexpr std::size_t hour_start = 19;
constexpr std::size_t period_start = 24;

}  // namespace

bool rinex_name_is_long(const char* name) {
    if (strnlen(name, long_prefix) < long_prefix) return false;
    if (name[9] != '_' || name[11] != '_' || name[23] != '_' || name[27] != '_') return false;
    for (std::size_t i = 12; i < 23; ++i)
        if (!is_digit(name[i])) return false;
    if (!is_digit(name[24]) || !is_digit(name[25])) return false;
    if (std::strchr("MHDYUmhdyu", name[26]) == nullptr) return false;  // period unit
    const int hour = (name[hour_start] - '0') * 10 + (name[hour_start + 1] - '0');
    return hour <= 23;
}

rinex_name_parts rinex_name_split(const char* name) {
    rinex_name_parts parts{};
    const std::size_t length = std::strlen(name);
    const std::size_t station = length < 4 ? length : 4;
    std::memcpy(parts.station, name, station);
    parts.station[station] = '\0';

    if (rinex_name_is_long(name)) {
        std::memcpy(parts.day, name + day_start, 3);
        parts.day[3] = '\0';
        const char* period = name + period_start;
        const bool one_day =
            period[0] == '0' && period[1] == '1' && (period[2] == 'D' || period[2] == 'd');
        const int hour = (name[hour_start] - '0') * 10 + (name[hour_start + 1] - '0');
        parts.session = one_day ? '0' : static_cast<char>('a' + hour);
        return parts;
    }
    for (std::size_t i = 0; i < 3; ++i) parts.day[i] = 4 + i < length ? name[4 + i] : ' ';
    parts.day[3] = '\0';
    parts.session = 7 < length ? name[7] : ' ';
    return parts;
}
