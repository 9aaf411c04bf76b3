// The campaign tables of navigation data and of the signals an observation
// file holds: their record layouts (byte images, pinned below), names and
// keys, the store a navigation read writes through, and the small read
// functions the computations above use. A campaign without them reads as
// one without navigation data; the observation tables are not touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/table.h"

#pragma pack(push, 1)

struct eph_record {  // zzEPH: one broadcast ephemeris
    char sat[4];     // "G05": system letter and two digits, terminated
    char kind[5];    // "LNAV", "INAV", "FNAV", "D1", "D2", "FDMA", terminated
    char padding[3];
    double toc;         // epoch of the record as written, calendar read as UTC, seconds since 1970
    double values[31];  // the epoch line's three values, then the broadcast-orbit lines' values
};

// Flags of nav_record::present.
enum nav_present : unsigned char {
    NAV_ION_GPS = 1,
    NAV_ION_QZSS = 2,
    NAV_ION_BEIDOU = 4,
    NAV_ION_GALILEO = 8,
    NAV_LEAP_SECONDS = 16,
};

struct nav_record {  // zzNAV: the header of one navigation file read
    char nav_file[81];  // file name without its folder
    char system;        // 'G', 'R', 'E', 'C', 'J' or 'M' (mixed)
    unsigned char present;  // nav_present flags
    char padding;
    double version;
    std::int32_t leap_seconds;
    std::int32_t ephemerides;  // ephemerides the file holds (stored or already there)
    double first_toc;          // earliest and latest epoch of those ephemerides
    double last_toc;
    double gps_alpha[4];
    double gps_beta[4];
    double qzss_alpha[4];
    double qzss_beta[4];
    double beidou_alpha[4];
    double beidou_beta[4];
    double galileo[4];  // ai0, ai1, ai2 and the fourth field
};

struct sig_record {  // zzSIG: the signal in each observation slot of one system of one occupation
    std::int32_t occ_ref;
    char system;
    char codes[5][4];  // per slot C1, P1, L1, P2, L2: the RINEX 3 code ("C2I"), "" for none
    char padding[3];
};

struct frq_record {  // zzFRQ: a GLONASS frequency channel from an observation file's header
    std::int32_t occ_ref;
    std::int32_t slot;     // satellite number
    std::int32_t channel;  // -7..+6
};

#pragma pack(pop)

static_assert(sizeof(eph_record) == 268 && offsetof(eph_record, kind) == 4 &&
              offsetof(eph_record, toc) == 12 && offsetof(eph_record, values) == 20);
static_assert(sizeof(nav_record) == 340 && offsetof(nav_record, system) == 81 &&
              offsetof(nav_record, present) == 82 && offsetof(nav_record, version) == 84 &&
              offsetof(nav_record, leap_seconds) == 92 && offsetof(nav_record, ephemerides) == 96 &&
              offsetof(nav_record, first_toc) == 100 && offsetof(nav_record, last_toc) == 108 &&
              offsetof(nav_record, gps_alpha) == 116 && offsetof(nav_record, gps_beta) == 148 &&
              offsetof(nav_record, qzss_alpha) == 180 && offsetof(nav_record, beidou_alpha) == 244 &&
              offsetof(nav_record, galileo) == 308);
static_assert(sizeof(sig_record) == 28 && offsetof(sig_record, system) == 4 &&
              offsetof(sig_record, codes) == 5);
static_assert(sizeof(frq_record) == 12 && offsetof(frq_record, slot) == 4 &&
              offsetof(frq_record, channel) == 8);

inline constexpr const char table_eph[] = "zzEPH";
inline constexpr const char table_nav[] = "zzNAV";
inline constexpr const char table_sig[] = "zzSIG";
inline constexpr const char table_frq[] = "zzFRQ";

// Key of an ephemeris (17 characters): satellite, whole seconds of its
// epoch as "%010ld", the kind's letter (L, I, F, 1, 2, or F for GLONASS's
// FDMA), the issue of data (IODE, IODnav, AODE; 0 for GLONASS) modulo 1000
// as "%03ld". The index orders a satellite's ephemerides by time; the same
// ephemeris from another file (or the same file again) has the same key and
// is stored once.
inline constexpr int eph_key_size = 18;
void eph_key(char* key, const eph_record& eph);

// Key of a navigation file's header (17 characters): whole seconds of its
// first ephemeris as "%010ld", its system letter, its number of ephemerides
// as "%06ld". The same file read again is stored once.
void nav_key(char* key, const nav_record& nav);

// Keys of the signal table (occupation "%07ld" and system letter) and of the
// frequency table (occupation "%07ld" and slot "%02d").
void sig_key(char* key, long occupation, char system);
void frq_key(char* key, long occupation, int slot);

// Writes a navigation file's records into zzEPH and zzNAV, creating them
// when the campaign has none; used inside the read's journaled change.
class NavStore {
  public:
    NavStore();
    ~NavStore();
    NavStore(const NavStore&) = delete;
    NavStore& operator=(const NavStore&) = delete;

    void open();
    // True when stored, false when an ephemeris of the same key is there.
    bool add_ephemeris(const eph_record& eph);
    // True when stored, false when the header of the same key is there.
    bool add_header(const nav_record& nav);
    void close();

  private:
    eph_record eph_{};
    nav_record nav_{};
    DbHandle eph_db_{.buffer = &eph_};
    DbHandle nav_db_{.buffer = &nav_};
    bool open_ = false;
};

// Every ephemeris of the campaign, from the record file alone: first
// `satellites(satellite, count)` for each satellite ("G05") with the number
// of its records, in the order of the names; then `each(record)` for every
// record, in the order of the record file. Nothing without zzEPH.
void each_ephemeris(const std::function<void(const char* satellite, long count)>& satellites,
                    const std::function<void(const eph_record&)>& each);
// Every navigation file header of the campaign in key order; empty without zzNAV.
std::vector<nav_record> read_nav_headers();
