#include "rinex/nav_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t value_width = 19;  // D19.12
constexpr int kepler_lines = 7;          // GPS, Galileo, BeiDou, QZSS
constexpr int glonass_min_lines = 3;     // RINEX 2 and up to 3.04
constexpr int glonass_max_lines = 4;     // RINEX 3.05 and 4 add the status line

std::string_view columns(std::string_view line, std::size_t first, std::size_t count) {
    if (first >= line.size()) return {};
    return line.substr(first, count);
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

bool is_blank(std::string_view text) { return trim(text).empty(); }

// An integer in its columns: blanks around it, an optional minus sign,
// digits. A blank field is `blank_ok`'s answer with value 0.
bool int_field(std::string_view text, int* value, bool blank_ok = false) {
    text = trim(text);
    *value = 0;
    if (text.empty()) return blank_ok;
    bool negative = false;
    if (text[0] == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 9) return false;
    int result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + (c - '0');
    }
    *value = negative ? -result : result;
    return true;
}

bool kepler_system(char system) {
    return system == 'G' || system == 'E' || system == 'C' || system == 'J';
}

int max_orbit_lines(char system) { return system == 'R' ? glonass_max_lines : kepler_lines; }
int min_orbit_lines(char system) { return system == 'R' ? glonass_min_lines : kepler_lines; }

// BeiDou's geostationary satellites broadcast D2, the others D1.
const char* beidou_kind(int prn) { return prn <= 5 || prn >= 59 ? "D2" : "D1"; }

// The record types kept from RINEX 4 "> EPH" lines.
bool kept_v4_kind(char system, std::string_view kind) {
    switch (system) {
    case 'G':
    case 'J': return kind == "LNAV";
    case 'E': return kind == "INAV" || kind == "FNAV";
    case 'C': return kind == "D1" || kind == "D2";
    case 'R': return kind == "FDMA";
    default: return false;
    }
}

// Galileo's "data sources" word (broadcast orbit 5, second value): bit 1
// marks F/NAV (E5a), bits 0 and 2 I/NAV (E1-B, E5b). A record naming
// neither is taken as I/NAV, the message every Galileo satellite sends.
const char* galileo_kind(double data_sources) {
    if (!(data_sources >= 0 && data_sources < 65536)) return "INAV";
    const unsigned bits = static_cast<unsigned>(data_sources);
    return (bits & 2u) && !(bits & 5u) ? "FNAV" : "INAV";
}

void set_kind(NavEphemeris& eph, const char* kind) {
    std::memset(eph.kind, 0, sizeof eph.kind);
    std::memcpy(eph.kind, kind, std::strlen(kind));
}

}  // namespace

bool nav_number(std::string_view field, double* value) {
    field = trim(field);
    *value = 0;
    if (field.empty()) return true;
    char text[48];
    if (field.size() >= sizeof text) return false;
    std::size_t length = 0;
    for (std::size_t i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c == 'D' || c == 'd') c = 'E';
        // from_chars takes no leading '+'.
        if (i == 0 && c == '+') continue;
        // Only digits, signs, point and exponent letter: from_chars would
        // also take "inf", "nan" and hexadecimal digits.
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'E' || c == 'e'))
            return false;
        text[length++] = c;
    }
    if (length == 0) return false;
    double result = 0;
    const auto [end, error] = std::from_chars(text, text + length, result);
    if (error != std::errc() || end != text + length || !std::isfinite(result)) return false;
    *value = result;
    return true;
}

double nav_calendar_seconds(int year, int month, int day, int hour, int minute, double second) {
    // Days from 1970-01-01 of a proleptic Gregorian date (March-based years).
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int year_of_era = y - era * 400;
    const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    const long days = static_cast<long>(era) * 146097 + day_of_era - 719468;
    return static_cast<double>(days) * 86400.0 + hour * 3600.0 + minute * 60.0 + second;
}

bool NavParser::fail(long line, std::string text) {
    failed_ = true;
    error_line_ = line;
    error_text_ = std::move(text);
    return false;
}

void NavParser::count_skipped(std::string_view type) {
    for (NavSkipped& entry : skipped_) {
        if (entry.type == type) {
            ++entry.count;
            return;
        }
    }
    skipped_.push_back({std::string(type), 1});
}

bool NavParser::add_line(std::string_view line) {
    if (failed_) return false;
    ++line_number_;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return header_done_ ? data_line(line) : header_line(line);
}

bool NavParser::header_line(std::string_view line) {
    const std::string_view label = trim(columns(line, 60, 20));
    if (line_number_ == 1) {
        if (label != "RINEX VERSION / TYPE")
            return fail(1, "the first line is not a RINEX VERSION / TYPE line");
        double version = 0;
        if (is_blank(columns(line, 0, 9)) || !nav_number(columns(line, 0, 9), &version))
            return fail(1, "the RINEX version cannot be read");
        header_.version = version;
        header_.file_type = line.size() > 20 ? line[20] : ' ';
        const char system = line.size() > 40 ? line[40] : ' ';
        if (version >= 2 && version < 3) {
            if (header_.file_type == 'N')
                header_.system = 'G';
            else if (header_.file_type == 'G')
                header_.system = 'R';
            else
                return fail(1, std::string("RINEX 2 file type '") + header_.file_type +
                                   "' is no GPS or GLONASS navigation data");
        } else if (version >= 3 && version < 5) {
            if (header_.file_type == 'N')
                header_.system = system == ' ' ? 'G' : system;
            else if (header_.file_type == 'G')
                header_.system = 'R';
            else
                return fail(1, std::string("file type '") + header_.file_type +
                                   "' is not navigation data");
            if (std::strchr("GRECJSIM", header_.system) == nullptr || header_.system == '\0')
                return fail(1, std::string("satellite system '") + header_.system +
                                   "' is not known");
        } else {
            char text[80];
            std::snprintf(text, sizeof text,
                          "RINEX version %.2f is not read (only 2.xx, 3.xx, 4.xx)", version);
            return fail(1, text);
        }
        return true;
    }
    if (label == "END OF HEADER") {
        header_done_ = true;
        return true;
    }
    if (label == "LEAP SECONDS") {
        int leap = 0;
        if (!int_field(columns(line, 0, 6), &leap)) return fail(line_number_, "bad LEAP SECONDS");
        header_.leap_seconds = leap;
        header_.leap_seconds_present = true;
        return true;
    }
    // ION ALPHA / ION BETA: 2X,4D12.4; IONOSPHERIC CORR: A4,1X,4D12.4.
    NavKlobuchar* klobuchar = nullptr;
    bool alpha = false;
    std::size_t first = 0;
    if (label == "ION ALPHA" || label == "ION BETA") {
        klobuchar = &header_.gps;
        alpha = label == "ION ALPHA";
        first = 2;
    } else if (label == "IONOSPHERIC CORR") {
        const std::string_view type = trim(columns(line, 0, 4));
        first = 5;
        if (type == "GAL") {
            if (header_.galileo_present) return true;
            for (int i = 0; i < 4; ++i) {
                if (!nav_number(columns(line, first + 12 * i, 12), &header_.galileo[i]))
                    return fail(line_number_, "bad IONOSPHERIC CORR value");
            }
            header_.galileo_present = true;
            return true;
        }
        if (type == "GPSA" || type == "GPSB") klobuchar = &header_.gps;
        if (type == "QZSA" || type == "QZSB") klobuchar = &header_.qzss;
        if (type == "BDSA" || type == "BDSB") klobuchar = &header_.beidou;
        alpha = !type.empty() && type.back() == 'A';
    }
    if (klobuchar == nullptr) return true;  // any other header line
    bool& read = alpha ? klobuchar->alpha_read : klobuchar->beta_read;
    if (read) return true;
    double* target = alpha ? klobuchar->alpha : klobuchar->beta;
    for (int i = 0; i < 4; ++i) {
        if (!nav_number(columns(line, first + 12 * i, 12), &target[i]))
            return fail(line_number_, "bad ionosphere parameter in " + std::string(label));
    }
    read = true;
    klobuchar->present = klobuchar->alpha_read && klobuchar->beta_read;
    return true;
}

bool NavParser::data_line(std::string_view line) {
    if (is_blank(line)) return true;
    if (header_.version >= 4) {
        if (line[0] == '>') {
            if (!end_record()) return false;
            return v4_record_line(line);
        }
        if (v4_pending_first_) return begin_ephemeris(line);
        if (record_ == Record::skip) return true;
        if (record_ == Record::ephemeris) return orbit_line(line);
        return fail(line_number_, "a line outside any record");
    }
    const bool starts = header_.version < 3 ? (line[0] != ' ' || (line.size() > 1 && line[1] != ' '))
                                            : line[0] != ' ';
    if (starts) {
        if (!end_record()) return false;
        return begin_ephemeris(line);
    }
    if (record_ == Record::skip) return true;
    if (record_ == Record::ephemeris) return orbit_line(line);
    return fail(line_number_, "a continuation line outside any record");
}

// "> EPH G02 LNAV", "> STO E01 IFNV", ...: the record type, the satellite,
// the message type, separated by blanks.
bool NavParser::v4_record_line(std::string_view line) {
    std::string_view words[3];
    std::string_view rest = line.substr(1);
    for (std::string_view& word : words) {
        rest = trim(rest);
        const std::size_t end = rest.find(' ');
        word = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    }
    if (words[0].empty()) return fail(line_number_, "a record line without a record type");
    record_line_ = line_number_;
    if (words[0] != "EPH") {
        record_ = Record::skip;
        count_skipped(words[0]);
        return true;
    }
    int prn = 0;
    if (words[1].size() != 3 || !int_field(words[1].substr(1), &prn) || prn < 1 || prn > 99 ||
        words[2].empty() || words[2].size() > 4)
        return fail(line_number_, "bad > EPH line");
    const char system = words[1][0];
    if (!kept_v4_kind(system, words[2])) {
        record_ = Record::skip;
        count_skipped(std::string(1, system) + " " + std::string(words[2]));
        return true;
    }
    v4_pending_first_ = true;
    v4_system_ = system;
    v4_prn_ = prn;
    std::memset(v4_kind_, 0, sizeof v4_kind_);
    std::memcpy(v4_kind_, words[2].data(), words[2].size());
    return true;
}

bool NavParser::begin_ephemeris(std::string_view line) {
    NavEphemeris eph{};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double second = 0;
    std::size_t first_value = 0;
    bool fields_ok = false;
    if (header_.version < 3) {
        // I2,1X,I2.2,1X,I2,1X,I2,1X,I2,1X,I2,F5.1,3D19.12
        eph.system = header_.system;
        fields_ok = int_field(columns(line, 0, 2), &eph.prn) &&
                    int_field(columns(line, 3, 2), &year) &&
                    int_field(columns(line, 6, 2), &month) &&
                    int_field(columns(line, 9, 2), &day) && int_field(columns(line, 12, 2), &hour) &&
                    int_field(columns(line, 15, 2), &minute) && !is_blank(columns(line, 17, 5)) &&
                    nav_number(columns(line, 17, 5), &second);
        if (fields_ok && year >= 0 && year < 100) year += year < 80 ? 2000 : 1900;
        first_value = 22;
    } else {
        // A1,I2.2,1X,I4,5(1X,I2.2),3D19.12
        eph.system = line[0];
        int whole_second = 0;
        fields_ok = int_field(columns(line, 1, 2), &eph.prn) &&
                    int_field(columns(line, 4, 4), &year) &&
                    int_field(columns(line, 9, 2), &month) &&
                    int_field(columns(line, 12, 2), &day) &&
                    int_field(columns(line, 15, 2), &hour) &&
                    int_field(columns(line, 18, 2), &minute) &&
                    int_field(columns(line, 21, 2), &whole_second);
        second = whole_second;
        first_value = 23;
    }
    if (header_.version >= 4) {
        v4_pending_first_ = false;
        if (eph.system != v4_system_ || eph.prn != v4_prn_)
            return fail(line_number_, "the ephemeris is not of the satellite its > EPH line names");
    } else if (header_.version >= 3 && !kepler_system(eph.system) && eph.system != 'R') {
        if (eph.system == 'S' || eph.system == 'I') {
            record_ = Record::skip;
            record_line_ = line_number_;
            count_skipped(eph.system == 'S' ? "S SBAS" : "I LNAV");
            return true;
        }
        return fail(line_number_, std::string("satellite system '") + eph.system + "' is not known");
    }
    if (!fields_ok) return fail(line_number_, "bad satellite number or epoch");
    if (eph.prn < 1 || eph.prn > 99) return fail(line_number_, "satellite number out of range");
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || !(second >= 0 && second < 61) || year < 1980 || year > 2200)
        return fail(line_number_, "bad epoch");
    eph.toc = nav_calendar_seconds(year, month, day, hour, minute, second);
    for (int i = 0; i < 3; ++i) {
        if (!nav_number(columns(line, first_value + value_width * i, value_width), &eph.values[i]))
            return fail(line_number_, "bad number in the epoch line");
    }
    if (header_.version >= 4)
        set_kind(eph, v4_kind_);
    else if (eph.system == 'G' || eph.system == 'J')
        set_kind(eph, "LNAV");
    else if (eph.system == 'R')
        set_kind(eph, "FDMA");
    else if (eph.system == 'C')
        set_kind(eph, beidou_kind(eph.prn));
    // Galileo's kind follows from its data sources, read at the end.
    current_ = eph;
    record_ = Record::ephemeris;
    record_line_ = line_number_;
    orbit_lines_ = 0;
    return true;
}

bool NavParser::orbit_line(std::string_view line) {
    const int limit = max_orbit_lines(current_.system);
    if (orbit_lines_ >= limit) {
        char text[80];
        std::snprintf(text, sizeof text, "more than %d broadcast-orbit lines in the ephemeris of line %ld",
                      limit, record_line_);
        return fail(line_number_, text);
    }
    // v2: 3X,4D19.12; v3 and v4: 4X,4D19.12.
    const std::size_t first = header_.version < 3 ? 3 : 4;
    double* values = current_.values + 3 + 4 * orbit_lines_;
    for (int i = 0; i < 4; ++i) {
        if (!nav_number(columns(line, first + value_width * i, value_width), &values[i]))
            return fail(line_number_, "bad number in a broadcast-orbit line");
    }
    ++orbit_lines_;
    return true;
}

bool NavParser::end_record() {
    if (v4_pending_first_)
        return fail(record_line_, "the > EPH record has no lines");
    const Record record = record_;
    record_ = Record::none;
    if (record != Record::ephemeris) return true;
    if (orbit_lines_ < min_orbit_lines(current_.system)) {
        char text[80];
        std::snprintf(text, sizeof text, "the ephemeris has %d of its %d broadcast-orbit lines",
                      orbit_lines_, min_orbit_lines(current_.system));
        return fail(record_line_, text);
    }
    if (current_.system == 'E' && current_.kind[0] == '\0')
        set_kind(current_, galileo_kind(current_.values[20]));
    ready_.push_back(current_);
    return true;
}

bool NavParser::finish() {
    if (failed_) return false;
    if (!header_done_) return fail(line_number_, "no END OF HEADER line");
    const bool cut = v4_pending_first_ ||
                     (record_ == Record::ephemeris && orbit_lines_ < min_orbit_lines(current_.system));
    if (cut) {
        char text[80];
        std::snprintf(text, sizeof text, "the file ends inside the ephemeris of line %ld",
                      record_line_);
        return fail(line_number_, text);
    }
    return end_record();
}

NavFile parse_nav_text(std::string_view text) {
    NavFile file;
    NavParser parser;
    bool ok = true;
    while (ok && !text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ok = parser.add_line(line);
        for (const NavEphemeris& eph : parser.ready()) file.ephemerides.push_back(eph);
        parser.ready().clear();
    }
    if (ok) ok = parser.finish();
    for (const NavEphemeris& eph : parser.ready()) file.ephemerides.push_back(eph);
    file.ok = ok;
    file.error_line = parser.error_line();
    file.error_text = parser.error_text();
    file.header = parser.header();
    file.skipped = parser.skipped();
    file.lines = parser.lines();
    return file;
}
