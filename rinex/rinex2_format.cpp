#include "rinex/rinex2_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/text.h"

namespace {

constexpr std::size_t line_size = 255;  // longest line kept, terminator included
constexpr std::size_t field_width = 16;
constexpr std::size_t value_width = 14;

// Their positions are the slots of obs_record::obs.
const char* const obs_type_names[] = {"C1", "P1", "L1", "P2", "L2", nullptr};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads "%lf %lf %lf" into three consecutive doubles of a record (at any
// byte position); those the line does not give keep their content.
void read_three_reals(const char* line, char* fields) {
    double values[3];
    std::memcpy(values, fields, sizeof values);
    std::sscanf(line, "%lf %lf %lf", &values[0], &values[1], &values[2]);
    std::memcpy(fields, values, sizeof values);
}

void copy_trimmed(char* field, std::size_t size, std::string_view text) {
    copy_text(field, size, text);
    trim_blanks(field);
}

// True when the line holds two upper-case letters side by side, as every
// header label does and data lines (numbers, satellite identifiers such as
// G05) do not. Bytes are passed over eight at a time while none of them can
// be a letter (all below 'A'), which settles observation lines at once.
bool has_upper_pair(std::string_view line) {
    const char* text = line.data();
    const std::size_t length = line.size();
    const auto may_hold_letter = [text](std::size_t at) {
        constexpr std::uint64_t low7 = 0x7f7f7f7f7f7f7f7fULL;
        constexpr std::uint64_t to_high_bit = 0x3f3f3f3f3f3f3f3fULL;  // 'A' + 0x3f = 0x80
        constexpr std::uint64_t high = 0x8080808080808080ULL;
        std::uint64_t word;
        std::memcpy(&word, text + at, sizeof word);
        return (((word & low7) + to_high_bit) | word) & high;
    };
    std::size_t i = 0;
    while (i + 16 <= length && !(may_hold_letter(i) | may_hold_letter(i + 8))) i += 16;
    if (i + 8 <= length && !may_hold_letter(i)) i += 8;
    bool upper_before = false;  // the bytes passed over are no letters
    for (; i < length; ++i) {
        const bool upper = text[i] >= 'A' && text[i] <= 'Z';
        if (upper && upper_before) return true;
        upper_before = upper;
    }
    return false;
}

// Adds the type words of `text` to the type map, up to the announced count.
void map_type_words(Rinex2Types* types, char* text) {
    for (char* word = std::strtok(text, " "); word && types->listed < types->count;
         word = std::strtok(nullptr, " ")) {
        if (types->listed < rinex2_max_types)
            types->slot[types->listed] = find_in_list(word, obs_type_names);
        ++types->listed;
    }
}

// The date, seconds and flag of an epoch line in the usual columns: " yy mm
// dd hh mm" (a number may stand as " d"), the seconds as F11.7 below 100,
// two blanks, the flag digit and a blank. The scanf format below reads the
// same values from such a line; anything else is left to it. `used` is
// where the rest of the line after the flag begins.
bool fixed_date(std::string_view line, Rinex2Epoch* e, std::size_t* used) {
    if (line.size() < 30 || line[0] != ' ') return false;
    const char* c = line.data();
    int* const fields[5] = {&e->year, &e->month, &e->day, &e->hour, &e->minute};
    for (int k = 0; k < 5; ++k) {
        const char* f = c + 1 + 3 * k;
        if (!is_digit(f[1]) || f[2] != ' ') return false;
        if (is_digit(f[0]))
            *fields[k] = (f[0] - '0') * 10 + (f[1] - '0');
        else if (f[0] == ' ')
            *fields[k] = f[1] - '0';
        else
            return false;
    }
    // Columns 16-26: " d.ddddddd" or "dd.ddddddd" after the blank of column 16.
    if (!(c[16] == ' ' || is_digit(c[16])) || !is_digit(c[17]) || c[18] != '.') return false;
    std::uint64_t mantissa = is_digit(c[16]) ? static_cast<std::uint64_t>(c[16] - '0') : 0;
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(c[17] - '0');
    for (int i = 19; i <= 25; ++i) {
        if (!is_digit(c[i])) return false;
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(c[i] - '0');
    }
    if (c[26] != ' ' || c[27] != ' ' || !is_digit(c[28]) || c[29] != ' ') return false;
    e->seconds = static_cast<double>(mantissa) / 1e7;  // both exact: rounded once
    e->flag = c[28] - '0';
    *used = 29;
    return true;
}

// The same from any layout, through the scanf format that defines the
// fields. A cheap test first (a number of at most two characters followed by
// a non-digit) keeps observation lines away from it.
bool scanned_date(std::string_view line, Rinex2Epoch* e, std::size_t* used) {
    const char* text = line.data();
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    int width = 0;
    if (*p == '+' || *p == '-') {
        ++p;
        ++width;
    }
    const bool number_first = is_digit(*p);
    if (number_first) {
        ++p;
        if (width == 0 && is_digit(*p)) ++p;
    }
    if (!number_first || *p == '\0' || is_digit(*p)) return false;
    int date[5];
    double seconds = 0;
    int flag = 0;
    int end = -1;
    const int read =
        std::sscanf(text, "%2d%*[^0-9]%2d%*[^0-9]%2d%*[^0-9]%2d%*[^0-9]%2d%*[^0-9.]%lf%d%n",
                    &date[0], &date[1], &date[2], &date[3], &date[4], &seconds, &flag, &end);
    if (read != 7 || end < 0 || text[end] == '\0') return false;
    e->year = date[0];
    e->month = date[1];
    e->day = date[2];
    e->hour = date[3];
    e->minute = date[4];
    e->seconds = seconds;
    e->flag = flag;
    *used = static_cast<std::size_t>(end);
    return true;
}

// The satellite count at the start of `rest` and where the list after it
// begins: "%d" as scanf reads it, directly when the count stands as blanks
// and up to three digits followed by a non-digit.
void read_sat_count(std::string_view rest, Rinex2Epoch* e) {
    std::size_t i = 0;
    while (i < rest.size() && i < 3 && rest[i] == ' ') ++i;
    std::size_t digits = 0;
    long count = 0;
    while (i < rest.size() && digits < 3 && is_digit(rest[i])) {
        count = count * 10 + (rest[i] - '0');
        ++i;
        ++digits;
    }
    if (digits > 0 && (i == rest.size() || !is_digit(rest[i]))) {
        e->count = count;
        e->satellites = rest.substr(i);
        return;
    }
    int scanned = 0;
    int used = 0;
    if (std::sscanf(rest.data(), "%d%n", &scanned, &used) != 1) used = 0;
    e->count = scanned;
    e->satellites = rest.substr(static_cast<std::size_t>(used));
}

long record_count(const char* text) {
    long count = 0;
    std::sscanf(text, "%ld", &count);
    return count > 0 ? count : 0;
}

// A value field as a decimal number; all blanks give 0. Fixed-point text is
// converted directly, anything else by strtod.
double field_value(const char* text, std::size_t length) {
    double value = 0;
    if (length == value_width && f14_3_value(text, &value)) return value;
    if (plain_decimal({text, length}, &value)) return value;
    char copy[value_width + 1];
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return std::strtod(copy, nullptr);
}

}  // namespace

Rinex2Types::Rinex2Types() {
    for (int& s : slot) s = -1;
}

HeaderLabel rinex2_header_label(std::string_view line) {
    if (!has_upper_pair(line)) return HeaderLabel::none;
    for (int i = 0; i <= static_cast<int>(HeaderLabel::leap_seconds); ++i) {
        const auto label = static_cast<HeaderLabel>(i);
        if (line.find(header_label_text(label)) != std::string_view::npos) return label;
    }
    return HeaderLabel::none;
}

void rinex2_store_header_line(HeaderLabel label, std::string_view line,
                              const HeaderRecords& records) {
    const char* text = line.data();
    switch (label) {
    case HeaderLabel::marker_name:
        std::sscanf(text, "%60s", records.sta->marker_name);
        trim_blanks(records.sta->marker_name);
        records.sta->sta_flags = 0;
        break;
    case HeaderLabel::marker_number:
        std::sscanf(text, "%22s", records.sta->marker_number);
        trim_blanks(records.sta->marker_number);
        break;
    case HeaderLabel::observer:
        copy_text(records.occ->observer, sizeof records.occ->observer, columns(line, 0, 20));
        copy_text(records.occ->agency, sizeof records.occ->agency, columns(line, 20, 40));
        break;
    case HeaderLabel::receiver:
        copy_trimmed(records.rcv->rcv_number, sizeof records.rcv->rcv_number, columns(line, 0, 20));
        copy_trimmed(records.rcv->rcv_type, sizeof records.rcv->rcv_type, columns(line, 20, 20));
        break;
    case HeaderLabel::antenna_type:
        copy_trimmed(records.ant->ant_number, sizeof records.ant->ant_number, columns(line, 0, 20));
        copy_trimmed(records.ant->ant_type, sizeof records.ant->ant_type, columns(line, 20, 20));
        break;
    case HeaderLabel::position:
        read_three_reals(text, reinterpret_cast<char*>(records.cor) + offsetof(cor_record, pos_x));
        records.cor->cor_flag = ' ';
        break;
    case HeaderLabel::antenna_delta:
        read_three_reals(text,
                         reinterpret_cast<char*>(records.occ) + offsetof(occ_record, delta_h));
        records.occ->occ_flag = ' ';
        break;
    case HeaderLabel::interval: {
        int interval = records.occ->interval;
        std::sscanf(text, "%i", &interval);
        records.occ->interval = interval;
        break;
    }
    default: break;
    }
}

bool rinex2_store_wavelength_line(std::string_view line, occ_record* occ) {
    char count_field[7];
    copy_text(count_field, sizeof count_field, columns(line, 12, 6));
    int satellites = 0;
    if (std::sscanf(count_field, "%d", &satellites) == 1 && satellites != 0) return false;
    int l1 = occ->wlf_l1;
    int l2 = occ->wlf_l2;
    std::sscanf(line.data(), "%d %d", &l1, &l2);
    occ->wlf_l1 = l1;
    occ->wlf_l2 = l2;
    return true;
}

void rinex2_add_types_line(Rinex2Types* types, std::string_view line) {
    char words[line_size];
    copy_text(words, sizeof words, line);
    if (char* label = std::strstr(words, header_label_text(HeaderLabel::types2).data()))
        *label = '\0';
    int count = 0;
    int used = 0;
    const bool has_count = std::sscanf(words, "%d%n", &count, &used) == 1;
    if (!types->seen) {
        if (!has_count) return;
        types->seen = true;
        types->count = count > 0 ? count : 0;
        types->listed = 0;
        for (int& s : types->slot) s = -1;
        map_type_words(types, words + used);
    } else if (!has_count) {
        map_type_words(types, words);
    }
}

int rinex2_lines_per_satellite(int type_count) {
    return type_count <= rinex2_fields_per_line
               ? 1
               : (type_count + rinex2_fields_per_line - 1) / rinex2_fields_per_line;
}

Rinex2Record rinex2_read_epoch_line(std::string_view line, Rinex2Epoch* epoch) {
    Rinex2Epoch e;
    std::size_t used = 0;
    if (fixed_date(line, &e, &used) || scanned_date(line, &e, &used)) {
        const std::string_view rest = line.substr(used);
        if (e.flag == 0 || e.flag == 1 || e.flag == 6) {
            read_sat_count(rest, &e);
            *epoch = e;
            return e.flag == 6 ? Rinex2Record::cycle_slips : Rinex2Record::epoch;
        }
        if (e.flag >= 2 && e.flag <= 5) {
            e.count = record_count(rest.data());
            *epoch = e;
            return Rinex2Record::special_records;
        }
        return Rinex2Record::none;
    }
    // Events without a time: 28 blanks, the flag 2 to 5, the record count.
    if (line.size() >= 29 && line[28] >= '2' && line[28] <= '5' &&
        line.find_first_not_of(' ') >= 28) {
        e.flag = line[28] - '0';
        e.count = record_count(line.data() + 29);
        *epoch = e;
        return Rinex2Record::special_records;
    }
    return Rinex2Record::none;
}

bool rinex2_is_sat_continuation(std::string_view line) {
    if (line.size() < rinex2_sat_list_column + 3) return false;
    for (int i = 0; i < rinex2_sat_list_column; ++i)
        if (line[i] != ' ') return false;
    return true;
}

void rinex2_read_field(std::string_view line, int field, obs_value* out) {
    const std::size_t start = static_cast<std::size_t>(field) * field_width;
    out->lli = ' ';
    out->snr = ' ';
    out->value = 0;
    if (start >= line.size()) return;
    const std::size_t rest = line.size() - start;
    out->value = field_value(line.data() + start, rest < value_width ? rest : value_width);
    if (rest > value_width) out->lli = line[start + value_width];
    if (rest > value_width + 1) out->snr = line[start + value_width + 1];
}
