#include "rinex/rinex3_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t sat_width = 3;
constexpr std::size_t field_width = 16;
constexpr std::size_t value_width = 14;
constexpr int types_per_line = 13;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A decimal number filling `text` apart from leading and trailing blanks.
// Plain fixed-point text (every RINEX value) is converted by plain_decimal;
// anything else goes through from_chars, which rounds correctly too. False
// for blank or unreadable text and for infinities and NaN.
bool parse_real(std::string_view text, double* out) {
    text = trimmed(text);
    if (text.empty()) return false;
    if (plain_decimal(text, out)) return true;
    // from_chars takes no leading '+'.
    std::string_view rest = text;
    if (rest[0] == '+') rest.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (error != std::errc() || end != rest.data() + rest.size()) return false;
    if (!std::isfinite(value)) return false;  // "nan" and "inf" are no measurements
    *out = value;
    return true;
}

enum class IntField { ok, blank, bad };

// An integer right-aligned in its columns (leading blanks, digits, nothing
// after them). A field the line does not reach counts as blank.
IntField parse_int(std::string_view text, int* out) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size()) return IntField::blank;
    bool negative = false;
    if (text[i] == '-') {
        negative = true;
        ++i;
    }
    if (i == text.size()) return IntField::bad;
    int value = 0;
    for (; i < text.size(); ++i) {
        if (!is_digit(text[i])) return IntField::bad;
        if (value > 99999999) return IntField::bad;
        value = value * 10 + (text[i] - '0');
    }
    *out = negative ? -value : value;
    return IntField::ok;
}

// ---------------------------------------------------------------------------
// First line.

void refuse(rinex_first_line* result, const char* reason) {
    result->format = rinex_format::refused;
    std::snprintf(result->reason, sizeof result->reason, "%s", reason);
}

const char* file_type_text(char type) {
    switch (type) {
    case 'N': return "navigation data";
    case 'G': return "GLONASS navigation data";
    case 'H': return "geostationary navigation data";
    case 'M': return "meteorological data";
    case 'C': return "clock data";
    default: return nullptr;
    }
}

}  // namespace

rinex_first_line rinex_classify_first_line(std::string_view line) {
    line = without_line_end(line);
    rinex_first_line result;
    // The label in its columns 61-80 tells that the version and type columns
    // before it are where they should be.
    const std::string_view label = label_columns(line);
    const bool compact = label == "CRINEX VERS   / TYPE";
    if (!compact && label != "RINEX VERSION / TYPE") {
        refuse(&result, "the first line is not a RINEX VERSION / TYPE line");
        return result;
    }
    if (!parse_real(columns(line, 0, compact ? 20 : 9), &result.version)) {
        result.version = 0;
        refuse(&result, "the RINEX version cannot be read");
        return result;
    }
    const double version = result.version;
    char text[100];
    if (compact) {
        if (version == 1.0) {
            result.format = rinex_format::compact1;
        } else if (version == 3.0) {
            result.format = rinex_format::compact3;
        } else {
            std::snprintf(text, sizeof text,
                          "compact RINEX version %.1f is not read (only 1.0 and 3.0)", version);
            refuse(&result, text);
        }
        return result;
    }
    result.file_type = line.size() > 20 ? line[20] : ' ';
    // Navigation files of GPS or of several systems ('N') and RINEX 2's
    // GLONASS navigation files ('G') go to the navigation reader, whose
    // parser checks the rest of the line.
    const bool navigation = result.file_type == 'N' || result.file_type == 'G';
    if (navigation && version >= 2 && version < 5) {
        result.format = rinex_format::navigation;
        return result;
    }
    if (result.file_type != 'O' && !navigation) {
        if (const char* name = file_type_text(result.file_type)) {
            std::snprintf(text, sizeof text, "a file of %s (type %c), not of observation data",
                          name, result.file_type);
        } else {
            std::snprintf(text, sizeof text, "file type '%c' is not observation data",
                          result.file_type);
        }
        refuse(&result, text);
        return result;
    }
    if (version >= 2 && version < 3) {
        result.format = rinex_format::rinex2_obs;
    } else if (version >= 3 && version < 5) {
        result.format = rinex_format::rinex3_obs;
    } else {
        std::snprintf(text, sizeof text, "RINEX version %.2f is not read (only 2.xx, 3.xx, 4.xx)",
                      version);
        refuse(&result, text);
    }
    return result;
}

// ---------------------------------------------------------------------------
// Header lines.

namespace {

// Reads three F14.4 fields from columns 1-42 into consecutive doubles of a
// packed record; a field that cannot be read keeps its value.
void read_three_fields(std::string_view line, double* a, double* b, double* c) {
    double value = 0;
    if (parse_real(columns(line, 0, 14), &value)) *a = value;
    if (parse_real(columns(line, 14, 14), &value)) *b = value;
    if (parse_real(columns(line, 28, 14), &value)) *c = value;
}

}  // namespace

rinex3_label rinex3_header_label(std::string_view line) {
    switch (header_label_in_columns(line)) {
    case HeaderLabel::version: return R3_VERSION;
    case HeaderLabel::marker_name: return R3_MARKER_NAME;
    case HeaderLabel::marker_number: return R3_MARKER_NUMBER;
    case HeaderLabel::observer: return R3_OBSERVER;
    case HeaderLabel::receiver: return R3_RECEIVER;
    case HeaderLabel::antenna_type: return R3_ANTENNA_TYPE;
    case HeaderLabel::position: return R3_POSITION;
    case HeaderLabel::antenna_delta: return R3_ANTENNA_DELTA;
    case HeaderLabel::interval: return R3_INTERVAL;
    case HeaderLabel::first_obs: return R3_FIRST_OBS;
    case HeaderLabel::types3: return R3_OBS_TYPES;
    case HeaderLabel::end_of_header: return R3_END_OF_HEADER;
    case HeaderLabel::none: return R3_NO_LABEL;
    default: return R3_OTHER_LABEL;
    }
}

void rinex3_store_header_line(rinex3_label label, std::string_view line,
                              const HeaderRecords& records) {
    line = without_line_end(line);
    switch (label) {
    case R3_MARKER_NAME:
        store_text(records.sta->marker_name, sizeof records.sta->marker_name,
                   first_word(columns(line, 0, 60)));
        records.sta->sta_flags = 0;
        break;
    case R3_MARKER_NUMBER:
        store_text(records.sta->marker_number, sizeof records.sta->marker_number,
                   first_word(columns(line, 0, 20)));
        break;
    case R3_OBSERVER:
        store_text(records.occ->observer, sizeof records.occ->observer, columns(line, 0, 20));
        store_text(records.occ->agency, sizeof records.occ->agency, columns(line, 20, 40));
        break;
    case R3_RECEIVER:
        store_text(records.rcv->rcv_number, sizeof records.rcv->rcv_number,
                   trimmed(columns(line, 0, 20)));
        store_text(records.rcv->rcv_type, sizeof records.rcv->rcv_type,
                   trimmed(columns(line, 20, 20)));
        break;
    case R3_ANTENNA_TYPE:
        store_text(records.ant->ant_number, sizeof records.ant->ant_number,
                   trimmed(columns(line, 0, 20)));
        store_text(records.ant->ant_type, sizeof records.ant->ant_type,
                   trimmed(columns(line, 20, 20)));
        break;
    case R3_POSITION: {
        cor_record* cor = records.cor;
        double x = cor->pos_x, y = cor->pos_y, z = cor->pos_z;
        read_three_fields(line, &x, &y, &z);
        cor->pos_x = x;
        cor->pos_y = y;
        cor->pos_z = z;
        cor->cor_flag = ' ';
        break;
    }
    case R3_ANTENNA_DELTA: {
        occ_record* occ = records.occ;
        double h = occ->delta_h, e = occ->delta_e, n = occ->delta_n;
        read_three_fields(line, &h, &e, &n);
        occ->delta_h = h;
        occ->delta_e = e;
        occ->delta_n = n;
        occ->occ_flag = ' ';
        break;
    }
    case R3_INTERVAL: {
        double seconds = 0;
        if (parse_real(columns(line, 0, 10), &seconds) && std::fabs(seconds) < 2147483647.0)
            records.occ->interval = static_cast<std::int32_t>(std::trunc(seconds));
        break;
    }
    case R3_END_OF_HEADER:
        records.occ->wlf_l1 = 1;
        records.occ->wlf_l2 = 1;
        break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// Epoch records.

rinex3_record_kind rinex3_read_epoch_line(std::string_view line, rinex3_epoch* epoch) {
    line = without_line_end(line);
    // Some writers give the count fewer columns; it only has to follow the flag.
    if (line.size() < 34 || line[0] != '>') return rinex3_record_kind::not_epoch;
    rinex3_epoch e;
    if (parse_int(columns(line, 31, 1), &e.flag) != IntField::ok || e.flag < 0 || e.flag > 6)
        return rinex3_record_kind::not_epoch;
    if (parse_int(columns(line, 32, 3), &e.count) != IntField::ok || e.count < 0)
        return rinex3_record_kind::not_epoch;

    // Date and time: all present, or (special records only) all blank.
    int* const fields[5] = {&e.year, &e.month, &e.day, &e.hour, &e.minute};
    const std::size_t starts[5] = {2, 7, 10, 13, 16};
    const std::size_t widths[5] = {4, 2, 2, 2, 2};
    int blanks = 0;
    for (int i = 0; i < 5; ++i) {
        const IntField f = parse_int(columns(line, starts[i], widths[i]), fields[i]);
        if (f == IntField::bad) return rinex3_record_kind::not_epoch;
        if (f == IntField::blank) ++blanks;
    }
    const std::string_view seconds = columns(line, 18, 11);
    if (trimmed(seconds).empty()) {
        ++blanks;
    } else if (!parse_real(seconds, &e.seconds)) {
        return rinex3_record_kind::not_epoch;
    }
    // Separators between the fields are blanks.
    for (std::size_t column : {1, 6, 9, 12, 15, 29, 30})
        if (line[column] != ' ') return rinex3_record_kind::not_epoch;

    const bool special = e.flag >= 2 && e.flag <= 5;
    if (blanks == 6 && special) {
        e.has_time = false;
    } else if (blanks == 0) {
        if (e.month < 1 || e.month > 12 || e.day < 1 || e.day > 31 || e.hour < 0 || e.hour > 23 ||
            e.minute < 0 || e.minute > 59 || !(e.seconds >= 0 && e.seconds < 61))
            return rinex3_record_kind::not_epoch;
        e.has_time = true;
    } else {
        return rinex3_record_kind::not_epoch;
    }
    *epoch = e;
    if (special) return rinex3_record_kind::special_records;
    if (e.flag == 6) return rinex3_record_kind::cycle_slips;
    return rinex3_record_kind::epoch;
}

bool rinex3_read_first_obs(std::string_view line, rinex3_epoch* time, char time_system[4]) {
    line = without_line_end(line);
    rinex3_epoch e;
    int* const fields[5] = {&e.year, &e.month, &e.day, &e.hour, &e.minute};
    for (int i = 0; i < 5; ++i)
        if (parse_int(columns(line, 6 * static_cast<std::size_t>(i), 6), fields[i]) != IntField::ok)
            return false;
    // Seconds and time system as words of columns 31-60: writers that give
    // the seconds one column more than F13.7 shift the time system too.
    std::string_view rest = trimmed(columns(line, 30, 30));
    const std::size_t gap = rest.find(' ');
    const std::string_view seconds = rest.substr(0, gap);
    const std::string_view system =
        gap == std::string_view::npos ? std::string_view{} : first_word(rest.substr(gap));
    if (!parse_real(seconds, &e.seconds) || system.size() > 3) return false;
    if (e.month < 1 || e.month > 12 || e.day < 1 || e.day > 31 || e.hour < 0 || e.hour > 23 ||
        e.minute < 0 || e.minute > 59 || !(e.seconds >= 0 && e.seconds < 61))
        return false;
    e.has_time = true;
    *time = e;
    store_text(time_system, 4, system);
    return true;
}

// ---------------------------------------------------------------------------
// Observation types.

namespace {

rinex3_system_types* find_system(rinex3_type_lists* lists, char system) {
    for (int i = 0; i < lists->system_count; ++i)
        if (lists->systems[i].system == system) return &lists->systems[i];
    return nullptr;
}

// Takes the type words of columns 8-58 (1X,A3 each) up to the announced count.
void add_type_words(rinex3_system_types* list, std::string_view line) {
    for (int i = 0; i < types_per_line && list->listed < list->count; ++i) {
        const std::string_view word =
            trimmed(columns(line, 7 + 4 * static_cast<std::size_t>(i), 3));
        if (word.empty()) break;
        if (list->listed < rinex3_max_types) {
            store_text(list->type[list->listed], sizeof list->type[0], word);
            ++list->listed;
        } else {
            return;  // beyond what is kept: these types get no slot
        }
    }
}

}  // namespace

bool rinex3_add_types_line(rinex3_type_lists* lists, std::string_view line) {
    line = without_line_end(line);
    if (line.empty()) return false;
    if (trimmed(columns(line, 0, 6)).empty()) {
        // Continuation of the list before.
        if (lists->continuing == -1) return false;
        if (lists->continuing >= 0) add_type_words(&lists->systems[lists->continuing], line);
        return true;
    }
    const char system = line[0];
    int count = 0;
    if (!(system >= 'A' && system <= 'Z') ||
        parse_int(columns(line, 1, 5), &count) != IntField::ok || count < 0)
        return false;
    if (find_system(lists, system) != nullptr || lists->system_count == rinex3_max_systems) {
        lists->continuing = -2;
        return true;
    }
    rinex3_system_types& list = lists->systems[lists->system_count];
    list = rinex3_system_types{};
    list.system = system;
    list.count = count;
    lists->continuing = lists->system_count++;
    add_type_words(&list, line);
    return true;
}

// ---------------------------------------------------------------------------
// Slot selection.

namespace {

// Per system the candidates of each slot, in order of preference.
struct SlotPreferences {
    char system;
    const char* slot[OBS_SLOTS];  // C1, P1, L1, P2, L2: blank-separated types
};

const SlotPreferences preferences[] = {
    {'G',
     {"C1C", "C1W C1P C1Y", "L1C L1W L1P L1Y L1X L1L L1S", "C2W C2P C2Y C2L C2X C2S C2C C2D",
      "L2W L2P L2Y L2L L2X L2S L2C L2D"}},
    {'R', {"C1C", "C1P", "L1C L1P", "C2P C2C", "L2P L2C"}},
    {'E', {"C1C C1X C1B C1A", "", "L1C L1X L1B L1A", "C5Q C5X C5I", "L5Q L5X L5I"}},
    {'C',
     {"C2I C2X C2Q C1I C1X C1Q", "", "L2I L2X L2Q L1I L1X L1Q", "C7I C7X C7Q C6I C6X C6Q",
      "L7I L7X L7Q L6I L6X L6Q"}},
    {'J', {"C1C C1X C1L C1S C1Z", "", "L1C L1X L1L L1S", "C2L C2X C2S", "L2L L2X L2S"}},
    {'S', {"C1C", "", "L1C", "C5I C5X C5Q", "L5I L5X L5Q"}},
    {'I', {"C5A C5X C5B C5C", "", "L5A L5X L5B L5C", "C9A C9X C9B C9C", "L9A L9X L9B L9C"}},
};

int type_index(const rinex3_system_types& types, const char* type) {
    for (int i = 0; i < types.listed; ++i)
        if (std::strncmp(types.type[i], type, 3) == 0 && types.type[i][3] == '\0') return i;
    return -1;
}

}  // namespace

rinex3_selection rinex3_select_slots(const rinex3_system_types& types) {
    rinex3_selection s;
    s.type_count = types.count;
    for (int& slot : s.slot_of_type) slot = -1;
    for (int& type : s.type_of_slot) type = -1;
    for (int& type : s.strength_type) type = -1;

    const SlotPreferences* prefs = nullptr;
    for (const SlotPreferences& p : preferences)
        if (p.system == types.system) prefs = &p;
    if (prefs == nullptr) return s;

    for (int slot = 0; slot < OBS_SLOTS; ++slot) {
        for (const char* c = prefs->slot[slot]; *c != '\0'; c += *(c + 3) == ' ' ? 4 : 3) {
            const char candidate[4] = {c[0], c[1], c[2], '\0'};
            const int index = type_index(types, candidate);
            if (index >= 0) {
                s.type_of_slot[slot] = index;
                s.slot_of_type[index] = slot;
                break;
            }
        }
    }
    // The strength of a phase is the S type of the same band and attribute.
    for (int slot : {OBS_L1, OBS_L2}) {
        const int phase = s.type_of_slot[slot];
        if (phase < 0) continue;
        const char strength[4] = {'S', types.type[phase][1], types.type[phase][2], '\0'};
        s.strength_type[slot] = type_index(types, strength);
    }
    return s;
}

void rinex3_make_plan(const rinex3_type_lists& lists, rinex3_plan* plan) {
    for (bool& present : plan->present) present = false;
    for (int i = 0; i < lists.system_count; ++i) {
        const rinex3_system_types& types = lists.systems[i];
        if (types.system < 'A' || types.system > 'Z') continue;
        const int letter = types.system - 'A';
        plan->present[letter] = true;
        plan->selection[letter] = rinex3_select_slots(types);
    }
}

const rinex3_selection* rinex3_plan_for(const rinex3_plan& plan, char system) {
    if (system == ' ') system = 'G';
    if (system < 'A' || system > 'Z') return nullptr;
    const int letter = system - 'A';
    return plan.present[letter] ? &plan.selection[letter] : nullptr;
}

char rinex3_strength_digit(double db_hz) {
    if (!(db_hz > 0)) return ' ';
    if (db_hz < 12) return '1';
    if (db_hz >= 54) return '9';
    return static_cast<char>('2' + static_cast<int>((db_hz - 12) / 6));
}

// ---------------------------------------------------------------------------
// Satellite lines.

namespace {

// Field `index` of a satellite line; parts the line does not reach count as
// blank (value 0, blank flags).
obs_value read_field(std::string_view line, int index) {
    obs_value out{0, ' ', ' ', {0, 0}};
    const std::size_t start = sat_width + field_width * static_cast<std::size_t>(index);
    if (start >= line.size()) return out;
    double value = 0;
    const std::string_view text = columns(line, start, value_width);
    if ((text.size() == value_width && f14_3_value(text.data(), &value)) ||
        parse_real(text, &value))
        out.value = value;
    if (start + value_width < line.size()) out.lli = line[start + value_width];
    if (start + value_width + 1 < line.size()) out.snr = line[start + value_width + 1];
    return out;
}

}  // namespace

bool rinex3_read_sat_line(std::string_view line, const rinex3_plan& plan, char satellite[4],
                          obs_value obs[OBS_SLOTS]) {
    line = without_line_end(line);
    if (line.size() < sat_width) return false;
    const char system = line[0] == ' ' ? 'G' : line[0];
    if (system < 'A' || system > 'Z') return false;
    if (!is_digit(line[2]) || !(is_digit(line[1]) || line[1] == ' ')) return false;
    satellite[0] = system;
    satellite[1] = line[1] == ' ' ? '0' : line[1];
    satellite[2] = line[2];
    satellite[3] = '\0';

    const rinex3_selection* selection = rinex3_plan_for(plan, system);
    for (int slot = 0; slot < OBS_SLOTS; ++slot) {
        const int type = selection ? selection->type_of_slot[slot] : -1;
        obs[slot] = type >= 0 ? read_field(line, type) : obs_value{0, '\0', '\0', {0, 0}};
    }
    if (selection == nullptr) return true;
    for (int slot : {OBS_L1, OBS_L2}) {
        const int strength = selection->strength_type[slot];
        if (selection->type_of_slot[slot] < 0 || strength < 0 || obs[slot].snr != ' ') continue;
        obs[slot].snr = rinex3_strength_digit(read_field(line, strength).value);
    }
    return true;
}
