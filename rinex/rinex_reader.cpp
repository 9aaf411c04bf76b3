#include "rinex/rinex_reader.h"

#include <sys/stat.h>

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <string>
#include <string_view>

#include "db/table.h"
#include "obsdb/campaign.h"
#include "input/observation_source.h"
#include "rinex/rinex3_format.h"
#include "support/checked_file.h"
#include "support/error.h"
#include "support/text.h"

namespace {

constexpr int line_size = 255;       // line buffer, terminator included
constexpr int max_types = 64;        // observation types that can be mapped
constexpr int max_epoch_sats = 999;  // the satellite count field has three digits
constexpr int sats_per_line = 12;    // satellites on an epoch line or a continuation
constexpr int sat_list_column = 32;  // where a satellite continuation list starts
constexpr int fields_per_line = 5;
constexpr int field_width = 16;
constexpr int value_width = 14;

enum HeaderCase {
    H_VERSION,
    H_PGM,
    H_COMMENT,
    H_MARKER_NAME,
    H_MARKER_NUMBER,
    H_OBSERVER,
    H_RECEIVER,
    H_ANTENNA_TYPE,
    H_POSITION,
    H_ANTENNA_DELTA,
    H_WAVELENGTH,
    H_TYPES,
    H_INTERVAL,
    H_FIRST_OBS,
    H_LAST_OBS,
    H_SATELLITES,
    H_PRN_OBS,
    H_END_OF_HEADER,
    H_ION_ALPHA,
    H_ION_BETA,
    H_DELTA_UTC,
    H_LEAP_SECONDS,
};

const char* const header_labels[] = {
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
    nullptr,
};

// Their positions are the slots of obs_record::obs.
const char* const obs_type_names[] = {"C1", "P1", "L1", "P2", "L2", nullptr};

// The campaign tables with their record variables.
Campaign tables;

NdxFile* sat_index;
NdxFile* satocc_index;
NdxFile* obs_index;

// The observation file as RINEX lines, whatever its wrapping (plain, gzip,
// Unix compress, compact RINEX). It lives as long as the program, so that an
// error that ends a read leaves nothing behind that cannot be released.
input::ObservationSource source;
std::string source_path;

// Satellite occupations of the current file already linked, by satellite
// identifier, so that an epoch does not search the indexes again for them.
struct SatLink {
    char prn[4];
    long satocc;
};
constexpr int sat_links_size = 1024;  // a power of two
constexpr int sat_links_limit = 768;  // filled beyond this, new ones are not kept
SatLink sat_links[sat_links_size];
int sat_links_used;

// The state of the file being read.
struct Reader {
    const char* file_name;
    const char* base_name;  // the file name without its folder
    bool no_obs_data;
    char line[line_size];
    long line_count;
    bool header_done;  // "END OF HEADER" seen, occupation stored, epoch tables open
    bool in_data;      // an epoch line has been seen
    bool epoch_open;   // observation lines belong to the current epoch
    long occ_number;
    long last_obs_number;  // record number of the last observation stored in this run
    int epochs_seen;       // distinct epoch times seen, counting up to two
    double first_time;
    double second_time;
    double current_time;
    int type_map[max_types];
    int type_count;
    bool types_seen;   // the first "# / TYPES OF OBSERV" line has been read
    int types_listed;  // type words taken so far (the list may continue)

    // The current epoch.
    long epoch_sats[max_epoch_sats];
    int sat_count;          // satellites announced by the epoch line
    int sats_listed;        // satellites read from its list so far
    int sat_pos;            // satellite of the next observation line
    int sat_lines_pending;  // satellite continuation lines still expected
    bool listing_event;     // the pending list belongs to an event, not an epoch
    long records_to_skip;   // special records of an event still to pass over

    // Local time of the last epoch minute converted.
    int minute_fields[5];
    double minute_time;
    bool minute_valid;
};
Reader r;

// Ends the read with `reason`, naming the file. The file is released first,
// and nothing on the heap is held on the way out (an error ends the program,
// and a test harness that catches it must not see a leak).
[[noreturn]] void refuse_file(std::string_view reason) {
    source.close();
    fatal("'%s': %.*s\n", r.base_name, static_cast<int>(reason.size()), reason.data());
}

// A damaged compressed or compact stream, a cut file or a failed read ends
// the read: what the file still holds is unknown, so it must not pass for
// the end of the file.
[[noreturn]] void source_failed() {
    // The source's text begins with the path as given, in quotes, perhaps
    // more than once; the name in front of it suffices.
    std::string_view reason = source.error();
    const std::string_view path = r.file_name;
    while (reason.size() >= path.size() + 2 && reason[0] == '\'' &&
           reason.substr(1, path.size()) == path && reason[path.size() + 1] == '\'') {
        reason.remove_prefix(path.size() + 2);
        if (!reason.empty() && reason[0] == ':') reason.remove_prefix(1);
        while (!reason.empty() && reason[0] == ' ') reason.remove_prefix(1);
    }
    refuse_file(reason);
}

// Reads the next line into r.line without its line end (LF or CR LF). A line
// longer than the buffer keeps its first characters; the rest is dropped.
bool read_line() {
    std::string_view text;
    if (!source.next(text)) {
        if (source.failed()) source_failed();
        return false;
    }
    std::size_t length = text.size() < line_size - 1 ? text.size() : line_size - 1;
    std::memcpy(r.line, text.data(), length);
    if (length > 0 && r.line[length - 1] == '\r') --length;
    r.line[length] = '\0';
    ++r.line_count;
    return true;
}

// Every header label holds two upper-case letters side by side; data lines
// (numbers, satellite identifiers such as G05) do not, so most lines are
// settled without searching for the 22 labels.
int header_case(const char* line) {
    bool upper_before = false;
    for (const char* p = line; *p; ++p) {
        const bool upper = *p >= 'A' && *p <= 'Z';
        if (upper && upper_before) return find_in_list(line, header_labels);
        upper_before = upper;
    }
    return -1;
}

// Copies columns [first, first + count) of `line` (as far as the line
// reaches) into `out`, which holds count + 1 characters.
void copy_columns(char* out, const char* line, std::size_t first, std::size_t count) {
    const std::size_t length = std::strlen(line);
    std::size_t n = 0;
    if (first < length) n = length - first < count ? length - first : count;
    std::memcpy(out, line + first, n);
    out[n] = '\0';
}

void copy_trimmed(char* out, const char* line, std::size_t first, std::size_t count) {
    copy_columns(out, line, first, count);
    trim_blanks(out);
}

// Ends the program when a record could not be written, rather than linking
// keys to a record that is not there.
long append_record(DbHandle* db, const void* record, const char* table) {
    const long number = db_append(db, record);
    if (number <= 0) fatal("Write failure on file %s.DAT\n", table);
    return number;
}

// Finds the record whose key begins with the first 17 characters of `text`,
// or appends the handle's record under that key; returns its record number.
// An empty text (a blank serial number) only matches an empty key: as a
// prefix it would match whatever record sorts first.
long find_or_add(DbHandle* db, const char* text, const char* table) {
    char key[18];
    std::snprintf(key, sizeof key, "%.17s", text);
    char record[sizeof(sta_record)];
    static_assert(sizeof record >= sizeof(rcv_record) && sizeof record >= sizeof(ant_record));
    std::memcpy(record, db->buffer, static_cast<std::size_t>(db->record_size));
    if (db_find(db, key)) {
        if (key[0] != '\0' || db_current_key(db)[0] == '\0') return db_current_record(db);
        std::memcpy(db->buffer, record, static_cast<std::size_t>(db->record_size));
    }
    const long number = append_record(db, db->buffer, table);
    db_key_insert(db->current_index, key, number);
    return number;
}

void close_header_tables() {
    tables.close({CampaignTable::cor, CampaignTable::rec, CampaignTable::ant, CampaignTable::sta});
}

// Rejects a file that reaches its data, or its end, without "END OF HEADER":
// nothing has been added, and the tables are closed so they stay readable.
[[noreturn]] void reject_headerless() {
    close_header_tables();
    db_close(&tables.occ_db);
    source.close();
    fatal("'%.60s': no END OF HEADER line\n", r.base_name);
}

// Stores station, position, receiver, antenna and the occupation.
void link_occupation() {
    tables.occ.sta_ref =
        static_cast<std::int32_t>(find_or_add(&tables.sta_db, tables.sta.marker_name, table_sta));
    tables.occ.cor_ref =
        static_cast<std::int32_t>(append_record(&tables.cor_db, &tables.cor, table_cor));
    tables.occ.rcv_ref =
        static_cast<std::int32_t>(find_or_add(&tables.rcv_db, tables.rcv.rcv_number, table_rec));
    tables.occ.ant_ref =
        static_cast<std::int32_t>(find_or_add(&tables.ant_db, tables.ant.ant_number, table_ant));

    r.occ_number = append_record(&tables.occ_db, &tables.occ, table_occ);
    // Occupations are keyed by the first free number from their antenna's
    // record number on, so the index orders them by antenna, then by reading.
    char key[record_key_size];
    for (long n = tables.occ.ant_ref;; ++n) {
        record_number_key(key, n);
        if (!db_find(&tables.occ_db, key)) break;
    }
    db_key_insert(tables.occ_db.current_index, key, r.occ_number);

    close_header_tables();
    open_epoch_tables(r.no_obs_data);
    r.header_done = true;
}

// Adds the type words of `text` to the type map, up to the announced count.
void map_type_words(char* text) {
    for (char* word = std::strtok(text, " "); word && r.types_listed < r.type_count;
         word = std::strtok(nullptr, " ")) {
        if (r.types_listed < max_types)
            r.type_map[r.types_listed] = find_in_list(word, obs_type_names);
        ++r.types_listed;
    }
}

// The first "# / TYPES OF OBSERV" line gives the count and the first types;
// lines without a count continue its list until the count is reached. Later
// lines with a count change nothing.
void read_types() {
    char words[line_size];
    std::strcpy(words, r.line);
    if (char* label = std::strstr(words, header_labels[H_TYPES])) *label = '\0';
    int count = 0;
    int used = 0;
    const bool has_count = std::sscanf(words, "%d%n", &count, &used) == 1;
    if (!r.types_seen) {
        if (!has_count) return;
        r.types_seen = true;
        r.type_count = count > 0 ? count : 0;
        r.types_listed = 0;
        for (int& slot : r.type_map) slot = -1;
        map_type_words(words + used);
    } else if (!has_count) {
        map_type_words(words);
    }
}

// The default line has no satellite count after its two factors (columns
// 13-18 blank or 0); a line with a count holds factors for single
// satellites, which are not kept.
void read_wavelength_factors() {
    char count_field[7];
    copy_columns(count_field, r.line, 12, 6);
    int satellites = 0;
    if (std::sscanf(count_field, "%d", &satellites) == 1 && satellites != 0) {
        std::printf("Die abweichenden Wavelength-Facts werden nicht beruecksichtigt.\n");
        return;
    }
    int l1 = tables.occ.wlf_l1;
    int l2 = tables.occ.wlf_l2;
    std::sscanf(r.line, "%d %d", &l1, &l2);
    tables.occ.wlf_l1 = l1;
    tables.occ.wlf_l2 = l2;
}

// Reads "%lf %lf %lf" into three consecutive doubles of a record (at any
// byte position); those the line does not give keep their content.
void read_three_reals(const char* line, char* fields) {
    double values[3];
    std::memcpy(values, fields, sizeof values);
    std::sscanf(line, "%lf %lf %lf", &values[0], &values[1], &values[2]);
    std::memcpy(fields, values, sizeof values);
}

// The occupation keeps the file's name without its folder: where the file
// was read from is no part of the occupation, and the export takes station,
// day and session from the name. read_rinex has checked that it fits.
void set_file_name() {
    std::snprintf(tables.occ.rinex_file, sizeof tables.occ.rinex_file, "%s", r.base_name);
    tables.occ.occ_ordinal = tables.occ_db.appended;
}

void read_header_line(int label) {
    const char* line = r.line;
    switch (label) {
    case H_VERSION: {
        char version[line_size] = "";
        char type[line_size] = "";
        std::sscanf(line, "%254s %254s", version, type);
        message("RINEX-file (Version %s, Type %s) found.\n", version, type);
        break;
    }
    case H_MARKER_NAME:
        std::sscanf(line, "%60s", tables.sta.marker_name);
        trim_blanks(tables.sta.marker_name);
        tables.sta.sta_flags = 0;
        break;
    case H_MARKER_NUMBER:
        std::sscanf(line, "%22s", tables.sta.marker_number);
        trim_blanks(tables.sta.marker_number);
        break;
    case H_OBSERVER:
        copy_columns(tables.occ.observer, line, 0, 20);
        copy_columns(tables.occ.agency, line, 20, 40);
        break;
    case H_RECEIVER:
        copy_trimmed(tables.rcv.rcv_number, line, 0, 20);
        copy_trimmed(tables.rcv.rcv_type, line, 20, 20);
        break;
    case H_ANTENNA_TYPE:
        copy_trimmed(tables.ant.ant_number, line, 0, 20);
        copy_trimmed(tables.ant.ant_type, line, 20, 20);
        break;
    case H_POSITION:
        read_three_reals(line, reinterpret_cast<char*>(&tables.cor) + offsetof(cor_record, pos_x));
        tables.cor.cor_flag = ' ';
        break;
    case H_ANTENNA_DELTA:
        read_three_reals(line,
                         reinterpret_cast<char*>(&tables.occ) + offsetof(occ_record, delta_h));
        tables.occ.occ_flag = ' ';
        set_file_name();
        break;
    case H_WAVELENGTH: read_wavelength_factors(); break;
    case H_TYPES: read_types(); break;
    case H_INTERVAL: {
        int interval = tables.occ.interval;
        std::sscanf(line, "%i", &interval);
        tables.occ.interval = interval;
        break;
    }
    case H_END_OF_HEADER:
        // A second one (inside event records) must not store the occupation again.
        if (!r.header_done) link_occupation();
        break;
    default: break;
    }
}

// Local time value of an epoch; the conversion is done once per minute.
double epoch_time(int year, int month, int day, int hour, int minute, double seconds) {
    const int fields[5] = {year, month, day, hour, minute};
    if (!r.minute_valid || std::memcmp(fields, r.minute_fields, sizeof fields) != 0) {
        std::memcpy(r.minute_fields, fields, sizeof fields);
        r.minute_time = time_value(year, month, day, hour, minute, 0);
        r.minute_valid = true;
    }
    if (r.minute_time == -1) return -1;
    return r.minute_time + seconds;
}

// Makes `time` the current epoch; the first two distinct epoch times are
// kept for the interval.
void begin_epoch(double time) {
    r.current_time = time;
    if (r.epochs_seen == 0) {
        r.first_time = time;
        r.epochs_seen = 1;
    } else if (r.epochs_seen == 1 && time != r.first_time) {
        r.second_time = time;
        r.epochs_seen = 2;
    }
    r.in_data = true;
}

// The satellite occupation of satellite `id` (three characters) in this
// occupation, found or added together with the satellite.
long link_satellite(const char* id) {
    unsigned hash = 0;
    for (int i = 0; i < 3; ++i) hash = hash * 131 + static_cast<unsigned char>(id[i]);
    unsigned slot = hash & (sat_links_size - 1);
    while (sat_links[slot].satocc != 0) {
        if (std::memcmp(sat_links[slot].prn, id, 3) == 0) return sat_links[slot].satocc;
        slot = (slot + 1) & (sat_links_size - 1);
    }

    char prn[4];
    std::memcpy(prn, id, 3);
    prn[3] = '\0';
    char key[40];
    long number = 0;
    db_select_index(&tables.sat_db, sat_index);
    if (!db_find(&tables.sat_db, prn)) {
        std::memset(&tables.sat, 0, sizeof tables.sat);
        std::memcpy(tables.sat.prn, prn, sizeof prn);
        const long sat_number = append_record(&tables.sat_db, &tables.sat, table_sat);
        db_key_insert(sat_index, tables.sat.prn, sat_number);
        std::snprintf(key, sizeof key, "%07ld%07ld", r.occ_number, sat_number);
    } else {
        std::snprintf(key, sizeof key, "%07ld%07ld", r.occ_number,
                      db_current_record(&tables.sat_db));
        db_select_index(&tables.satocc_db, satocc_index);
        if (db_find(&tables.satocc_db, key)) number = db_current_record(&tables.satocc_db);
    }
    if (number == 0) {
        tables.satocc.sat_ref = static_cast<std::int32_t>(db_current_record(&tables.sat_db));
        tables.satocc.occ_ref = static_cast<std::int32_t>(r.occ_number);
        number = append_record(&tables.satocc_db, &tables.satocc, table_satocc);
        db_key_insert(satocc_index, key, number);
    }

    if (sat_links_used < sat_links_limit) {
        std::memcpy(sat_links[slot].prn, prn, sizeof prn);
        sat_links[slot].satocc = number;
        ++sat_links_used;
    }
    return number;
}

// Takes up to twelve satellite identifiers (three characters each) from `list`.
void read_sat_list(const char* list) {
    const std::size_t length = std::strlen(list);
    for (int i = 0; i < sats_per_line && r.sats_listed < r.sat_count; ++i) {
        if (3 * static_cast<std::size_t>(i) + 3 > length) break;
        if (!r.listing_event) r.epoch_sats[r.sats_listed] = link_satellite(list + 3 * i);
        ++r.sats_listed;
    }
}

// A satellite continuation line: 32 blanks, then the list.
bool is_sat_continuation(const char* line) {
    if (std::strlen(line) < sat_list_column + 3) return false;
    for (int i = 0; i < sat_list_column; ++i)
        if (line[i] != ' ') return false;
    return true;
}

// Lines of one satellite's observations.
long lines_per_satellite() {
    const long types = r.type_count;
    return types <= fields_per_line ? 1 : (types + fields_per_line - 1) / fields_per_line;
}

// Starts an epoch (flags 0 and 1) or the satellite list of a cycle-slip
// record (flag 6) from the rest of its line after the flag.
void start_epoch(const int date[5], double seconds, int flag, const char* rest) {
    if (!r.header_done) reject_headerless();
    int count = 0;
    int used = 0;
    if (std::sscanf(rest, "%d%n", &count, &used) != 1) used = 0;
    if (count < 0) count = 0;
    if (count > max_epoch_sats) count = max_epoch_sats;
    r.sat_count = count;
    r.sats_listed = 0;
    r.sat_pos = 0;
    r.listing_event = flag == 6;
    r.epoch_open = !r.listing_event;

    if (r.listing_event) {
        // Cycle-slip records in observation format follow the list: pass over them.
        r.records_to_skip = count * lines_per_satellite();
    } else {
        begin_epoch(epoch_time(date[0] < 70 ? 2000 + date[0] : 1900 + date[0], date[1], date[2],
                               date[3], date[4], seconds));
    }
    read_sat_list(rest + used);
    r.sat_lines_pending = (count + sats_per_line - 1) / sats_per_line - 1;
    if (r.sat_lines_pending < 0) r.sat_lines_pending = 0;
}

// Epoch and event lines. Returns false for any other line.
bool epoch_or_event_line(const char* line) {
    // Cheap test of the first conversions (a number of at most two
    // characters followed by a non-digit), which fail for observation lines.
    const char* p = line;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    int width = 0;
    if (*p == '+' || *p == '-') {
        ++p;
        ++width;
    }
    const bool number_first = *p >= '0' && *p <= '9';
    if (number_first) {
        ++p;
        if (width == 0 && *p >= '0' && *p <= '9') ++p;
    }
    if (number_first && *p != '\0' && !(*p >= '0' && *p <= '9')) {
        int date[5];
        double seconds = 0;
        int flag = 0;
        int used = -1;
        const int read =
            std::sscanf(line, "%2d%*[^0-9]%2d%*[^0-9]%2d%*[^0-9]%2d%*[^0-9]%2d%*[^0-9.]%lf%d%n",
                        &date[0], &date[1], &date[2], &date[3], &date[4], &seconds, &flag, &used);
        if (read == 7 && used >= 0 && line[used] != '\0') {
            const char* rest = line + used;
            if (flag == 0 || flag == 1 || flag == 6) {
                start_epoch(date, seconds, flag, rest);
                return true;
            }
            if (flag >= 2 && flag <= 5) {
                long count = 0;
                std::sscanf(rest, "%ld", &count);
                r.records_to_skip = count > 0 ? count : 0;
                r.epoch_open = false;
                return true;
            }
            return false;
        }
    }
    // Events without a time: 28 blanks, the flag 2 to 5, the record count.
    if (std::strlen(line) >= 29 && line[28] >= '2' && line[28] <= '5' &&
        std::strspn(line, " ") >= 28) {
        long count = 0;
        std::sscanf(line + 29, "%ld", &count);
        r.records_to_skip = count > 0 ? count : 0;
        r.epoch_open = false;
        return true;
    }
    return false;
}

// A value field of 14 characters as a decimal number (blanks give 0). Plain
// fixed-point numbers are converted directly, anything else by strtod; both
// give the correctly rounded value.
double field_value(const char* text, std::size_t length) {
    static const double powers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = 0;
    while (i < length && text[i] == ' ') ++i;
    bool negative = false;
    if (i < length && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::uint64_t mantissa = 0;
    int digits = 0;
    int decimals = -1;
    for (; i < length && text[i] != ' '; ++i) {
        if (text[i] == '.' && decimals < 0) {
            decimals = 0;
        } else if (text[i] >= '0' && text[i] <= '9') {
            mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
            ++digits;
            if (decimals >= 0) ++decimals;
        } else {
            break;
        }
    }
    std::size_t rest = i;
    while (rest < length && text[rest] == ' ') ++rest;
    if (digits > 0 && digits <= 15 && rest == length) {
        const double value = static_cast<double>(mantissa) / powers[decimals > 0 ? decimals : 0];
        return negative ? -value : value;
    }
    char copy[value_width + 1];
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return std::strtod(copy, nullptr);
}

// Field `field` of the line: 14 characters of value, loss-of-lock indicator,
// signal strength. Parts cut off by the end of the line count as blank.
void read_field(obs_value* out, const char* line, std::size_t length, int field) {
    const std::size_t start = static_cast<std::size_t>(field) * field_width;
    out->lli = ' ';
    out->snr = ' ';
    out->value = 0;
    if (start >= length) return;
    const std::size_t rest = length - start;
    out->value = field_value(line + start, rest < value_width ? rest : value_width);
    if (rest > value_width) out->lli = line[start + value_width];
    if (rest > value_width + 1) out->snr = line[start + value_width + 1];
}

// Ends the run when an observation could not be stored. Record links are
// 32-bit, so zzOBS ends where the next record would start past INT32_MAX;
// that is reported as a full campaign with the number of observations it
// holds, anything else as a failed write.
[[noreturn]] void observation_not_stored() {
    long end = r.last_obs_number > 0 ? r.last_obs_number + long{sizeof(obs_record)} : 0;
    if (end == 0) {
        // Nothing stored yet in this run: the file holds what earlier runs wrote.
        char path[64];
        std::snprintf(path, sizeof path, "%s.DAT", table_obs);
        struct stat info;
        if (stat(path, &info) == 0) end = static_cast<long>(info.st_size);
    }
    if (end > INT32_MAX)
        fatal("Campaign full: %s.DAT holds %ld observations\n", table_obs,
              end / long{sizeof(obs_record)} - 1);
    fatal("Write failure on file %s.DAT\n", table_obs);
}

// Appends tables.obs, with the current epoch and the satellite occupation
// `satocc`, to zzOBS under its own record number.
void store_observation(long satocc) {
    tables.obs.epoch = r.current_time;
    tables.obs.satocc_ref = static_cast<std::int32_t>(satocc);
    if (r.no_obs_data) return;
    const long number = db_append(&tables.obs_db, &tables.obs);
    if (number <= 0) observation_not_stored();
    r.last_obs_number = number;
    char key[record_key_size];
    record_number_key(key, number);
    db_key_insert(obs_index, key, number);
}

// The observations of the next satellite of the epoch, on this line and as
// many continuation lines as the number of types needs.
void observation_line() {
    if (!r.epoch_open || r.sat_pos >= r.sats_listed) return;
    // Types that the file ends before are stored as absent, not as the
    // previous satellite's values.
    for (int type = 0; type < r.type_count && type < max_types; ++type)
        if (r.type_map[type] >= 0) tables.obs.obs[r.type_map[type]] = {0, ' ', ' ', {0, 0}};
    std::size_t length = std::strlen(r.line);
    int field = 0;
    for (int type = 0; type < r.type_count; ++type) {
        if (field == fields_per_line) {
            if (!read_line()) break;
            length = std::strlen(r.line);
            field = 0;
        }
        const int slot = type < max_types ? r.type_map[type] : -1;
        if (slot >= 0) read_field(&tables.obs.obs[slot], r.line, length, field);
        ++field;
    }
    store_observation(r.epoch_sats[r.sat_pos]);
    ++r.sat_pos;
}

void data_line() {
    if (r.sat_lines_pending > 0) {
        if (is_sat_continuation(r.line)) {
            read_sat_list(r.line + sat_list_column);
            --r.sat_lines_pending;
            return;
        }
        r.sat_lines_pending = 0;  // the list ends early; this line is something else
    }
    if (r.records_to_skip > 0) {
        --r.records_to_skip;
        return;
    }
    if (epoch_or_event_line(r.line)) return;
    if (r.in_data) observation_line();
}

// The interval from the first two distinct epochs of this file, in whole
// seconds; 0 when there are fewer.
std::int32_t derived_interval() {
    if (r.epochs_seen < 2) return 0;
    const double difference = std::trunc(r.second_time) - std::trunc(r.first_time);
    if (!(std::fabs(difference) <= INT32_MAX)) return 0;
    return static_cast<std::int32_t>(difference);
}

void finish() {
    std::printf("\n%8ld Zeilen gelesen.\n", r.line_count);
    if (db_read(&tables.occ_db, r.occ_number) != r.occ_number)
        fatal("Read failure on file %s.DAT\n", table_occ);
    tables.occ.first_epoch = r.first_time;
    tables.occ.last_epoch = r.current_time;
    if (tables.occ.interval == 0) tables.occ.interval = derived_interval();
    db_rewrite(&tables.occ_db);
    tables.close({CampaignTable::occ, CampaignTable::satocc, CampaignTable::sat});
    std::printf("\nEs wurden %ld Eintraege in der Obs-Datei erzeugt.\n",
                r.no_obs_data ? 0L : static_cast<long>(tables.obs_db.appended));
    if (!r.no_obs_data) tables.close({CampaignTable::obs});
    source.close();
}

void reset_state(const char* file_name, bool no_obs_data) {
    std::memset(&tables.sta, 0, sizeof tables.sta);
    std::memset(&tables.cor, 0, sizeof tables.cor);
    std::memset(&tables.rcv, 0, sizeof tables.rcv);
    std::memset(&tables.ant, 0, sizeof tables.ant);
    std::memset(&tables.occ, 0, sizeof tables.occ);
    std::memset(&tables.sat, 0, sizeof tables.sat);
    std::memset(&tables.satocc, 0, sizeof tables.satocc);
    std::memset(&tables.obs, 0, sizeof tables.obs);
    std::memset(sat_links, 0, sizeof sat_links);
    sat_links_used = 0;
    std::memset(&r, 0, sizeof r);
    r.file_name = file_name;
    r.no_obs_data = no_obs_data;
    for (int& slot : r.type_map) slot = -1;
}

// The RINEX 2 line loop, from the first line (already in r.line) to the end.
void read_rinex2() {
    do {
        if (r.line_count % 100 == 0) {
            std::fputc('.', stdout);
            std::fflush(stdout);
        }
        const int label = header_case(r.line);
        if (label >= 0) {
            read_header_line(label);
            if (r.records_to_skip > 0) --r.records_to_skip;
        } else {
            data_line();
        }
    } while (read_line());
    if (!r.header_done) reject_headerless();
}

// What the RINEX 3 reader keeps besides the reader state.
struct Rinex3State {
    rinex3_type_lists types;
    rinex3_plan plan;
    long sat_lines_left = 0;  // satellite lines of the current epoch still to come
    long epoch_line = 0;      // line of the current epoch record
};
Rinex3State r3;

void rinex3_header_line() {
    const rinex3_label label = rinex3_header_label(r.line);
    const rinex3_header_records records{&tables.sta, &tables.cor, &tables.rcv, &tables.ant,
                                        &tables.occ};
    switch (label) {
    case R3_VERSION: read_header_line(H_VERSION); break;
    case R3_OBS_TYPES: rinex3_add_types_line(&r3.types, r.line); break;
    case R3_ANTENNA_DELTA:
        rinex3_store_header_line(label, r.line, records);
        set_file_name();
        break;
    case R3_END_OF_HEADER:
        rinex3_store_header_line(label, r.line, records);
        // The export takes station, day and session from the name, so a file
        // without an antenna line keeps its name too.
        if (tables.occ.rinex_file[0] == '\0') set_file_name();
        rinex3_make_plan(r3.types, &r3.plan);
        link_occupation();
        break;
    case R3_NO_LABEL:
        // Data before "END OF HEADER" cannot be linked to an occupation.
        if (r.line[0] == '>') reject_headerless();
        break;
    default: rinex3_store_header_line(label, r.line, records); break;
    }
}

// One satellite line of the current epoch: the satellite is linked to the
// occupation and its five slots become one observation record. A line that
// does not begin with a satellite identifier stores nothing.
void rinex3_sat_line() {
    char satellite[4];
    if (!rinex3_read_sat_line(r.line, r3.plan, satellite, tables.obs.obs)) return;
    store_observation(link_satellite(satellite));
}

void rinex3_data_line() {
    if (r.records_to_skip > 0) {
        --r.records_to_skip;
        return;
    }
    rinex3_epoch epoch;
    const rinex3_record_kind kind = rinex3_read_epoch_line(r.line, &epoch);
    if (r3.sat_lines_left > 0) {
        // An epoch record where a satellite line should be: the epoch before
        // has fewer lines than it announced. The new record counts.
        if (kind == rinex3_record_kind::not_epoch) {
            --r3.sat_lines_left;
            rinex3_sat_line();
            return;
        }
        r3.sat_lines_left = 0;
    }
    switch (kind) {
    case rinex3_record_kind::epoch:
        begin_epoch(epoch_time(epoch.year, epoch.month, epoch.day, epoch.hour, epoch.minute,
                               epoch.seconds));
        r3.sat_lines_left = epoch.count;
        r3.epoch_line = r.line_count;
        break;
    case rinex3_record_kind::special_records:
    case rinex3_record_kind::cycle_slips:
        // Header lines or cycle-slip satellite lines: neither epochs nor
        // observations.
        r.records_to_skip = epoch.count;
        r3.epoch_line = r.line_count;
        break;
    case rinex3_record_kind::not_epoch: break;
    }
}

// The RINEX 3 and 4 line loop, from the first line (already in r.line) to
// the end. The epoch records carry their satellites on their own lines, one
// observation record each.
void read_rinex3() {
    r3 = Rinex3State{};
    do {
        if (r.line_count % 100 == 0) {
            std::fputc('.', stdout);
            std::fflush(stdout);
        }
        if (!r.header_done)
            rinex3_header_line();
        else
            rinex3_data_line();
    } while (read_line());
    if (!r.header_done) reject_headerless();
    // A file that ends before the lines its last record announced has been
    // cut: what it held is unknown.
    if (r3.sat_lines_left > 0 || r.records_to_skip > 0) {
        char reason[80];
        std::snprintf(reason, sizeof reason, "the file ends inside the epoch record of line %ld",
                      r3.epoch_line);
        refuse_file(reason);
    }
}

// The name without its folder (the whole path when it ends in a slash, so
// that a report still names something; such a path is no file to read).
const char* base_name_of(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash && slash[1] != '\0' ? slash + 1 : path;
}

// Opens the file and reads its first line, which decides the reader: RINEX
// 2 or RINEX 3 and 4 (each also in compact RINEX). Anything else is refused
// here, before any table is opened.
rinex_format open_and_classify() {
    // The reason comes first: reports are cut after 83 characters.
    if (std::strlen(r.base_name) >= sizeof tables.occ.rinex_file)
        fatal("File name longer than %zu characters: '%s'\n", sizeof tables.occ.rinex_file - 1,
              r.base_name);
    // A file that cannot be opened is reported as for every file the
    // program opens.
    std::FILE* probe = checked_open(r.file_name, "rb");
    std::fclose(probe);
    // The path is kept with the source rather than in a temporary, which an
    // error would leave behind.
    source_path = r.file_name;
    if (!source.open(source_path)) source_failed();
    if (!read_line()) refuse_file("the file is empty");

    const rinex_first_line first = rinex_classify_first_line(r.line);
    if (first.format == rinex_format::refused) refuse_file(first.reason);
    // Compact RINEX 1.0 carries RINEX 2, compact 3.0 RINEX 3 or 4.
    const int compact = source.compact_format();
    if ((compact == 1 && first.format != rinex_format::rinex2_obs) ||
        (compact == 3 && first.format != rinex_format::rinex3_obs)) {
        char reason[100];
        std::snprintf(reason, sizeof reason, "compact RINEX %d.0 holding RINEX version %.2f",
                      compact, first.version);
        refuse_file(reason);
    }
    if (first.format != rinex_format::rinex2_obs && first.format != rinex_format::rinex3_obs)
        refuse_file("the first line is not a RINEX VERSION / TYPE line");
    return first.format;
}

}  // namespace

void open_epoch_tables(bool no_obs_data) {
    tables.open_fill({CampaignTable::satocc});
    satocc_index = tables.satocc_db.current_index;
    tables.open_fill({CampaignTable::sat});
    sat_index = tables.sat_db.current_index;
    if (!no_obs_data) {
        tables.open_fill({CampaignTable::obs});
        obs_index = tables.obs_db.current_index;
    }
}

void read_rinex(const char* file_name, bool no_obs_data) {
    reset_state(file_name, no_obs_data);
    r.base_name = base_name_of(file_name);
    const rinex_format format = open_and_classify();

    tables.open_fill({CampaignTable::sta, CampaignTable::cor, CampaignTable::ant,
                      CampaignTable::rec, CampaignTable::occ});
    if (format == rinex_format::rinex3_obs)
        read_rinex3();
    else
        read_rinex2();
    finish();
}

void read_rinex_release() { source.close(); }
