// The campaign tables: names, record sizes and the byte images of their
// records. Records are stored exactly as these structures lie in memory
// (packed, little-endian), so every size and offset is fixed below.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "db/table.h"

static_assert(sizeof(double) == 8 && sizeof(std::int32_t) == 4);
static_assert(std::endian::native == std::endian::little,
              "the database files are little-endian byte images");

#pragma pack(push, 1)

struct sta_record {  // zzSTA: one station (marker)
    std::int32_t sta_flags;
    char marker_name[61];
    char marker_number[23];
};

struct cor_record {  // zzCOR: approximate position of one occupation
    double pos_x;
    double pos_y;
    double pos_z;
    char cor_flag;
    char padding[3];
};

struct rcv_record {  // zzREC: one receiver
    char rcv_number[21];
    char rcv_type[21];
};

struct ant_record {  // zzANT: one antenna
    char ant_number[21];
    char ant_type[21];
};

struct occ_record {  // zzOCC: one occupation (one observation file)
    std::int32_t sta_ref;
    std::int32_t cor_ref;
    std::int32_t rcv_ref;
    std::int32_t ant_ref;
    std::int32_t occ_ordinal;
    double delta_h;
    double delta_e;
    double delta_n;
    std::int32_t interval;
    std::int32_t wlf_l1;
    std::int32_t wlf_l2;
    char occ_flag;
    char observer[21];
    char agency[41];
    char rinex_file[81];
    double first_epoch;
    double last_epoch;
};

struct sat_record {  // zzSAT: one satellite
    char prn[16];
    char sat_text[81];
};

struct satocc_record {  // zzSATOCC: one satellite in one occupation
    std::int32_t sat_ref;
    std::int32_t occ_ref;
};

struct obs_value {  // one observable of one satellite at one epoch
    double value;
    char lli;
    char snr;
    char padding[2];
};

// Slots of obs_record::obs, in the fixed order C1, P1, L1, P2, L2.
enum obs_slot { OBS_C1 = 0, OBS_P1 = 1, OBS_L1 = 2, OBS_P2 = 3, OBS_L2 = 4, OBS_SLOTS = 5 };

struct obs_record {  // zzOBS: the observations of one satellite at one epoch
    std::int32_t satocc_ref;
    double epoch;
    obs_value obs[OBS_SLOTS];
};

struct gn_record {  // zzGN: GEONAP receiver code of one receiver type
    char gn_code[5];
};

#pragma pack(pop)

static_assert(sizeof(sta_record) == 88);
static_assert(offsetof(sta_record, marker_name) == 4 && offsetof(sta_record, marker_number) == 65);
static_assert(sizeof(cor_record) == 28);
static_assert(offsetof(cor_record, pos_y) == 8 && offsetof(cor_record, pos_z) == 16 &&
              offsetof(cor_record, cor_flag) == 24);
static_assert(sizeof(rcv_record) == 42 && offsetof(rcv_record, rcv_type) == 21);
static_assert(sizeof(ant_record) == 42 && offsetof(ant_record, ant_type) == 21);
static_assert(sizeof(occ_record) == 216);
static_assert(offsetof(occ_record, cor_ref) == 4 && offsetof(occ_record, rcv_ref) == 8 &&
              offsetof(occ_record, ant_ref) == 12 && offsetof(occ_record, occ_ordinal) == 16 &&
              offsetof(occ_record, delta_h) == 20 && offsetof(occ_record, delta_e) == 28 &&
              offsetof(occ_record, delta_n) == 36 && offsetof(occ_record, interval) == 44 &&
              offsetof(occ_record, wlf_l1) == 48 && offsetof(occ_record, wlf_l2) == 52 &&
              offsetof(occ_record, occ_flag) == 56 && offsetof(occ_record, observer) == 57 &&
              offsetof(occ_record, agency) == 78 && offsetof(occ_record, rinex_file) == 119 &&
              offsetof(occ_record, first_epoch) == 200 && offsetof(occ_record, last_epoch) == 208);
static_assert(sizeof(sat_record) == 97 && offsetof(sat_record, sat_text) == 16);
static_assert(sizeof(satocc_record) == 8 && offsetof(satocc_record, occ_ref) == 4);
static_assert(sizeof(obs_value) == 12 && offsetof(obs_value, lli) == 8 &&
              offsetof(obs_value, snr) == 9);
static_assert(sizeof(obs_record) == 72 && offsetof(obs_record, epoch) == 4 &&
              offsetof(obs_record, obs) == 12);
static_assert(sizeof(gn_record) == 5);

// Table names.
inline constexpr const char table_sta[] = "zzSTA";
inline constexpr const char table_cor[] = "zzCOR";
inline constexpr const char table_rec[] = "zzREC";
inline constexpr const char table_ant[] = "zzANT";
inline constexpr const char table_occ[] = "zzOCC";
inline constexpr const char table_sat[] = "zzSAT";
inline constexpr const char table_satocc[] = "zzSATOCC";
inline constexpr const char table_obs[] = "zzOBS";
inline constexpr const char table_gn[] = "zzGN";

// Key of a record number in zzOBS (the observation's own number) and of an
// occupation key number in zzOCC. Numbers up to 99,999,999 are written as
// "%08ld"; larger ones as ':' and "%010ld", which sorts after every 8-digit
// key and numerically among themselves, so the index keeps the numeric order
// for any record number a 32-bit link can hold. `key` holds
// record_key_size characters.
inline constexpr long record_key_short_limit = 99999999;
inline constexpr int record_key_size = 12;
void record_number_key(char* key, long number);

// Key of a satellite occupation in zzSATOCC: the occupation's record number,
// then the satellite's, each as "%07ld", so that the index groups the
// satellites of an occupation. `key` holds satocc_key_size characters, room
// for any two record numbers a 32-bit link can hold.
inline constexpr int satocc_key_size = 24;
void satocc_key(char* key, long occupation, long satellite);
// The beginning that the keys of all satellite occupations of one occupation
// share; a prefix search with it finds the first of them.
void satocc_key_prefix(char* key, long occupation);

// The text of a fixed-width text field of a record: up to its terminator,
// or the whole field where a damaged record has none.
template <std::size_t N>
std::string field_text(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// Time value of a calendar date and time read as local time (the platform
// decides on daylight saving): whole minutes go through mktime, the seconds
// with their fraction are added afterwards. Dates before 1970 or that cannot
// be represented give -1. Months count from 1; a month of 0 means December.
double time_value(int year, int month, int day, int hour, int minute, double seconds);

// True when the record file of table `name` exists.
bool table_exists(const char* name);

// Opens a table to read it: the record file, then index 0 as the current
// index (`indexed` false for zzCOR, which has none).
void table_open_read(DbHandle* db, const char* name, int record_size, bool indexed);

// Opens a table to fill it: as table_open_read when its record file exists,
// otherwise creates the record file and (if `indexed`) a unique index.
void table_open_fill(DbHandle* db, const char* name, int record_size, bool indexed);
