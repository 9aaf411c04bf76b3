#include "input/compact_rinex.h"

#include <algorithm>
#include <cstring>

namespace input {

namespace {

constexpr std::size_t label_column = 60;

bool has_label(std::string_view line, std::string_view label) {
    return line.size() > label_column && line.substr(label_column).starts_with(label);
}

// Reads an integer of up to `columns.size()` digits with blanks around it;
// an all blank text is 0. -1 when the text is not such a number.
int small_number(std::string_view columns) {
    int value = 0;
    bool digits = false;
    bool after = false;
    for (char c : columns) {
        if (c == ' ') {
            if (digits) after = true;
            continue;
        }
        if (c < '0' || c > '9' || after) return -1;
        digits = true;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Leading real number of a header line's first columns, as major version.
int major_version(std::string_view columns) {
    std::size_t i = 0;
    while (i < columns.size() && columns[i] == ' ') ++i;
    if (i == columns.size() || columns[i] < '0' || columns[i] > '9') return -1;
    int v = 0;
    while (i < columns.size() && columns[i] >= '0' && columns[i] <= '9' && v < 1000)
        v = v * 10 + (columns[i++] - '0');
    return v;
}

// Parses an optionally negative decimal integer of at most 18 digits.
bool parse_integer(std::string_view text, std::int64_t& value) {
    bool negative = false;
    if (!text.empty() && text[0] == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 18) return false;
    std::int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    value = negative ? -v : v;
    return true;
}

// Appends `value`, a count of 10^-decimals units, right aligned in `width`
// columns with `decimals` digits after the point. As the Fortran F format
// writes it, a value below 1 has no zero before the point (".250", "-.125").
// False when the text does not fit the columns.
// Two decimal digits for each number 0 to 99: values are written two digits
// at a time, which halves the divisions of the busiest loop of the decoder.
constexpr auto digit_pairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// Puts the `count` lowest decimal digits of `a` (all of them when `count` is
// negative, none for 0) in front of position `p` of `buffer`; returns the new
// position and leaves the rest of the number in `a`.
int put_digits(char* buffer, int p, std::uint64_t& a, int count) {
    while ((count < 0 && a >= 10) || count >= 2) {
        const std::size_t pair = static_cast<std::size_t>(a % 100);
        a /= 100;
        p -= 2;
        std::memcpy(buffer + p, digit_pairs.data() + 2 * pair, 2);
        if (count > 0) count -= 2;
    }
    if (count == 1 || (count < 0 && a != 0)) {
        buffer[--p] = static_cast<char>('0' + a % 10);
        a /= 10;
    }
    return p;
}

bool put_fixed(std::string& out, std::int64_t value, int decimals, int width) {
    char buffer[32];
    std::uint64_t a =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    int p = put_digits(buffer, static_cast<int>(sizeof buffer), a, decimals);
    buffer[--p] = '.';
    p = put_digits(buffer, p, a, -1);  // no digit for an integer part of 0
    if (value < 0) buffer[--p] = '-';
    const int length = static_cast<int>(sizeof buffer) - p;
    if (length > width) return false;
    out.append(static_cast<std::size_t>(width - length), ' ');
    out.append(buffer + p, static_cast<std::size_t>(length));
    return true;
}

}  // namespace

bool CompactRinexDecoder::is_compact_header(std::string_view line) {
    return has_label(line, "CRINEX VERS") ||
           line.substr(0, label_column).find("COMPACT RINEX FORMAT") != std::string_view::npos;
}

CompactRinexDecoder::CompactRinexDecoder() {
    epoch_.reserve(max_line);
    out_.reserve(4096);
    ends_.reserve(64);
}

std::string_view CompactRinexDecoder::output_line(std::size_t i) const {
    const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(out_).substr(begin, ends_[i] - begin);
}

bool CompactRinexDecoder::fail(const std::string& text) {
    if (error_.empty()) error_ = "line " + std::to_string(line_number_) + ": " + text;
    out_.clear();
    ends_.clear();
    return false;
}

void CompactRinexDecoder::end_output_line() {
    // Lines carry no trailing blanks, as RINEX writers leave them.
    std::size_t begin = ends_.empty() ? 0 : ends_.back();
    std::size_t end = out_.size();
    while (end > begin && out_[end - 1] == ' ') --end;
    out_.resize(end);
    ends_.push_back(end);
}

bool CompactRinexDecoder::feed(std::string_view line) {
    if (failed()) return false;
    ++line_number_;
    out_.clear();
    ends_.clear();
    if (line.size() > max_line)
        return fail("longer than " + std::to_string(max_line) + " characters");

    switch (stage_) {
    case Stage::version: {
        if (!is_compact_header(line)) return fail("not a compact RINEX file");
        const int v = major_version(line.substr(0, 20));
        if (v != 1 && v != 3) return fail("compact RINEX format version is neither 1.0 nor 3.0");
        format_ = v;
        stage_ = Stage::program;
        return true;
    }
    case Stage::program:
        if (!has_label(line, "CRINEX PROG / DATE"))
            return fail("second line is not the compact RINEX program line");
        stage_ = Stage::header;
        return true;
    case Stage::header: return header_line(line);
    case Stage::epoch: return epoch_line(line);
    case Stage::clock: return clock_line(line);
    case Stage::data: return data_line(line);
    case Stage::special:
        // Records of an event pass through as written; header records may
        // change the observation types.
        type_line(line);
        out_.append(line);
        ends_.push_back(out_.size());
        if (--special_left_ == 0) stage_ = Stage::epoch;
        return true;
    }
    return true;
}

void CompactRinexDecoder::type_line(std::string_view line) {
    if (format_ == 1 && has_label(line, "# / TYPES OF OBSERV")) {
        const int n = small_number(line.substr(0, 6));
        if (n != 0) {  // continuation lines have no count
            all_types_ = n;
            types_changed_ = true;
        }
    } else if (format_ == 3 && has_label(line, "SYS / # / OBS TYPES")) {
        const unsigned char system = static_cast<unsigned char>(line[0]);
        if (system != ' ' && system < 128) {
            system_types_[system] = small_number(line.substr(3, 3));
            types_changed_ = true;
        }
    }
}

bool CompactRinexDecoder::header_line(std::string_view line) {
    if (has_label(line, "RINEX VERSION / TYPE")) {
        const int v = major_version(line.substr(0, 9));
        if (format_ == 1 && v != 2)
            return fail("compact RINEX 1.0 must hold RINEX version 2, not " + std::to_string(v));
        if (format_ == 3 && v < 3)
            return fail("compact RINEX 3.0 must hold RINEX version 3 or later");
    }
    type_line(line);
    out_.append(line);
    ends_.push_back(out_.size());
    if (has_label(line, "END OF HEADER")) stage_ = Stage::epoch;
    return true;
}

int CompactRinexDecoder::types_of(const Sat& sat) const {
    if (format_ == 1) return all_types_;
    const unsigned char system = static_cast<unsigned char>(sat[0]);
    return system < 128 ? system_types_[system] : 0;
}

void CompactRinexDecoder::reset_satellites() {
    int widest = format_ == 1 ? all_types_ : 0;
    if (format_ == 3) widest = *std::max_element(system_types_.begin(), system_types_.end());
    stride_ = std::clamp(widest, 0, max_types);
    sats_.clear();
    slot_sat_.clear();
    slot_epoch_.clear();
    types_changed_ = false;
}

bool CompactRinexDecoder::epoch_line(std::string_view line) {
    const char start = format_ == 1 ? '&' : '>';
    if (!line.empty() && line[0] == start) {
        epoch_.assign(line);
        if (format_ == 1) epoch_[0] = ' ';
        have_epoch_ = true;
    } else {
        if (!have_epoch_) return fail("epoch line differs from no earlier epoch line");
        // Text differences: a blank keeps the character of the previous
        // epoch line, '&' stands for a blank, anything else replaces it.
        const std::size_t common = std::min(line.size(), epoch_.size());
        for (std::size_t i = 0; i < common; ++i) {
            const char c = line[i];
            if (c == '&')
                epoch_[i] = ' ';
            else if (c != ' ')
                epoch_[i] = c;
        }
        for (std::size_t i = common; i < line.size(); ++i)
            epoch_.push_back(line[i] == '&' ? ' ' : line[i]);
    }
    epoch_start_ = line_number_;

    const std::size_t flag_column = format_ == 1 ? 28 : 31;
    const std::size_t list_column = format_ == 1 ? 32 : 41;
    if (format_ == 3 && epoch_[0] != '>') return fail("epoch line does not begin with '>'");
    const char flag = epoch_.size() > flag_column ? epoch_[flag_column] : ' ';
    const std::string_view count_text =
        std::string_view(epoch_).substr(std::min(epoch_.size(), flag_column + 1), 3);
    const int count = small_number(count_text);
    if (count < 0) return fail("satellite or record count is not a number");

    if (flag >= '2' && flag <= '6') {
        // Events: the epoch line and the records it announces pass through.
        int records = count;
        if (flag == '6' && format_ == 1) records = count * ((all_types_ + 4) / 5);
        if (flag == '6' && format_ == 1 && epoch_.size() >= list_column) {
            // A cycle slip epoch of RINEX 2 lists its satellites like an epoch.
            const std::size_t n = std::min<std::size_t>(count, (epoch_.size() - list_column) / 3);
            out_.append(epoch_, 0, list_column);
            for (std::size_t i = 0; i < n; ++i) {
                if (i > 0 && i % 12 == 0) {
                    end_output_line();
                    out_.append(list_column, ' ');
                }
                out_.append(epoch_, list_column + 3 * i, 3);
            }
            end_output_line();
        } else {
            out_.append(epoch_);
            end_output_line();
        }
        special_left_ = records;
        stage_ = records > 0 ? Stage::special : Stage::epoch;
        return true;
    }
    if (flag != '0' && flag != '1') return fail(std::string("unknown epoch flag '") + flag + "'");
    if (epoch_.size() < list_column + 3 * static_cast<std::size_t>(count))
        return fail("satellite list shorter than its count of " + std::to_string(count));
    return begin_epoch(count);
}

bool CompactRinexDecoder::begin_epoch(int count) {
    if (types_changed_) reset_satellites();
    if (count > max_satellites) return fail("too many satellites");
    const std::size_t list_column = format_ == 1 ? 32 : 41;

    // A satellite of the previous epoch keeps its arcs and flags; a new one
    // starts without arcs and with blank flags.
    const long serial = ++epoch_serial_;
    const std::size_t n = static_cast<std::size_t>(count);
    const std::size_t stride = static_cast<std::size_t>(stride_);
    sats_.resize(n);
    sat_types_.resize(n);
    sat_slot_.resize(n);
    const std::size_t slots = slot_sat_.size();
    for (std::size_t i = 0; i < n; ++i) {
        Sat sat;
        std::memcpy(sat.data(), epoch_.data() + list_column + 3 * i, 3);
        sats_[i] = sat;
        const int types = types_of(sat);
        if (types <= 0)
            return fail("satellite " + std::string(sat.data(), 3) +
                        " belongs to a system without observation types");
        if (types > max_types) return fail("more than " + std::to_string(max_types) + " types");
        sat_types_[i] = types;
        sat_slot_[i] = slots;  // none yet
        for (std::size_t s = 0; s < slots; ++s) {
            if (slot_epoch_[s] == serial - 1 && slot_sat_[s] == sat) {
                slot_epoch_[s] = serial;
                sat_slot_[i] = s;
                break;
            }
        }
    }
    std::size_t free_slot = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (sat_slot_[i] != slots) continue;
        while (free_slot < slot_sat_.size() && slot_epoch_[free_slot] == serial) ++free_slot;
        if (free_slot == slot_sat_.size()) {
            slot_sat_.emplace_back();
            slot_epoch_.push_back(0);
            arcs_.resize(slot_sat_.size() * stride);
            flags_.resize(slot_sat_.size() * 2 * stride);
        }
        const std::size_t s = free_slot;
        slot_sat_[s] = sats_[i];
        slot_epoch_[s] = serial;
        sat_slot_[i] = s;
        for (std::size_t k = 0; k < stride; ++k) arcs_[s * stride + k].filled = -1;
        std::memset(&flags_[s * 2 * stride], ' ', 2 * stride);
    }
    epoch_count_ = count;
    data_index_ = 0;
    stage_ = Stage::clock;
    return true;
}

bool CompactRinexDecoder::apply(Arc& arc, std::string_view field, std::int64_t& value) {
    std::int64_t v;
    if (field.size() >= 2 && field[1] == '&') {
        if (field[0] < '0' || field[0] > '9') return fail("arc order is not a digit");
        if (!parse_integer(field.substr(2), v)) return fail("not a number: " + std::string(field));
        arc.order = static_cast<signed char>(field[0] - '0');
        arc.filled = 0;
        arc.term[0] = v;
    } else {
        if (!parse_integer(field, v)) return fail("not a number: " + std::string(field));
        if (arc.filled < 0) return fail("difference without a started arc");
        if (arc.filled < arc.order) ++arc.filled;
        arc.term[arc.filled] = v;
        for (int k = arc.filled - 1; k >= 0; --k) {
            if (__builtin_add_overflow(arc.term[k], arc.term[k + 1], &arc.term[k]))
                return fail("value overflows");
        }
    }
    value = arc.term[0];
    return true;
}

bool CompactRinexDecoder::put_epoch(bool with_clock, std::int64_t clock) {
    if (format_ == 1) {
        // RINEX 2: twelve satellites on the epoch line, the clock offset in
        // columns 69-80, further satellites on continuation lines.
        out_.append(epoch_, 0, 32);
        if (epoch_.size() < 32) out_.append(32 - epoch_.size(), ' ');
        const std::size_t n = sats_.size();
        for (std::size_t i = 0; i < n && i < 12; ++i) out_.append(sats_[i].data(), 3);
        if (with_clock) {
            out_.append(68 - 3 * std::min<std::size_t>(n, 12) - 32, ' ');
            if (!put_fixed(out_, clock, 9, 12)) return false;
        }
        end_output_line();
        for (std::size_t i = 12; i < n; i += 12) {
            out_.append(32, ' ');
            for (std::size_t k = i; k < n && k < i + 12; ++k) out_.append(sats_[k].data(), 3);
            end_output_line();
        }
    } else {
        // RINEX 3: the epoch line up to column 41, the clock offset after it.
        out_.append(epoch_, 0, 41);
        if (epoch_.size() < 41) out_.append(41 - epoch_.size(), ' ');
        if (with_clock && !put_fixed(out_, clock, 12, 15)) return false;
        end_output_line();
    }
    return true;
}

bool CompactRinexDecoder::clock_line(std::string_view line) {
    std::int64_t clock = 0;
    const bool with_clock = !line.empty();
    if (with_clock) {
        if (!apply(clock_, line, clock)) return false;
    } else {
        clock_.filled = -1;
    }
    if (!put_epoch(with_clock, clock)) return fail("clock offset does not fit its columns");
    stage_ = epoch_count_ > 0 ? Stage::data : Stage::epoch;
    return true;
}

bool CompactRinexDecoder::data_line(std::string_view line) {
    const std::size_t i = static_cast<std::size_t>(data_index_);
    const std::size_t stride = static_cast<std::size_t>(stride_);
    const int types = sat_types_[i];
    Arc* arcs = &arcs_[sat_slot_[i] * stride];
    char* flags = &flags_[sat_slot_[i] * 2 * stride];
    if (values_.size() < stride) {
        values_.resize(stride);
        missing_.resize(stride);
    }

    // Fields are separated by single blanks; an empty field is a missing
    // observation, and a line may end before its last fields.
    std::size_t pos = 0;
    for (int k = 0; k < types; ++k) {
        std::string_view field;
        if (pos <= line.size()) {
            std::size_t end = line.find(' ', pos);
            if (end == std::string_view::npos) end = line.size();
            field = line.substr(pos, end - pos);
            pos = end + 1;
        }
        if (field.empty()) {
            missing_[k] = 1;
            arcs[k].filled = -1;
        } else {
            missing_[k] = 0;
            if (!apply(arcs[k], field, values_[k])) return false;
        }
    }

    // The flag text (loss of lock and signal strength of every type) is
    // differenced like the epoch line; a missing observation has none.
    const std::string_view diff = pos < line.size() ? line.substr(pos) : std::string_view();
    const std::size_t width = 2 * static_cast<std::size_t>(types);
    if (diff.size() > width) return fail("flag text longer than two characters per type");
    for (std::size_t c = 0; c < diff.size(); ++c) {
        const char d = diff[c];
        if (static_cast<unsigned char>(d) < ' ' || d == 0x7f)
            return fail("control character in the flag text");
        if (d == '&')
            flags[c] = ' ';
        else if (d != ' ')
            flags[c] = d;
    }
    for (int k = 0; k < types; ++k) {
        if (missing_[k]) flags[2 * k] = flags[2 * k + 1] = ' ';
    }

    if (format_ == 3) out_.append(sats_[i].data(), 3);
    for (int k = 0; k < types; ++k) {
        if (format_ == 1 && k > 0 && k % 5 == 0) end_output_line();
        if (missing_[k]) {
            out_.append(14, ' ');
        } else if (!put_fixed(out_, values_[k], 3, 14)) {
            return fail("observation value does not fit 14 columns");
        }
        out_.append(flags + 2 * k, 2);
    }
    end_output_line();

    if (++data_index_ == epoch_count_) stage_ = Stage::epoch;
    return true;
}

bool CompactRinexDecoder::finish() {
    if (failed()) return false;
    out_.clear();
    ends_.clear();
    switch (stage_) {
    case Stage::version: return fail("the file is empty");
    case Stage::program:
    case Stage::header: return fail("the file ends inside its header");
    case Stage::clock:
    case Stage::data:
    case Stage::special:
        return fail("the file ends inside the epoch of line " + std::to_string(epoch_start_));
    case Stage::epoch: break;
    }
    return true;
}

}  // namespace input
