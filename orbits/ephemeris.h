// Broadcast ephemerides decoded from the values of a navigation record, and
// the choice of the ephemeris that serves a satellite at a time.
#pragma once

#include <cstddef>

namespace orbits {

enum class OrbitKind { kepler, beidou_geo, glonass };

// One decoded ephemeris. Times are seconds since 1970 of the calendar of the
// system's own time scale (GPS time for G and J, Galileo time = GPS time for
// E, BeiDou time for C, UTC for R), as in the navigation file.
struct Ephemeris {
    char system = 0;  // G R E C J
    int prn = 0;
    OrbitKind orbit = OrbitKind::kepler;
    bool healthy = false;
    bool fnav = false;  // Galileo F/NAV (its clock serves E1 with E5a)
    double toc = 0;     // clock reference epoch (GLONASS: tb)
    double toe = 0;     // orbit reference epoch (GLONASS: tb)
    double reference_gps = 0;  // toe as GPS seconds, for the choice by time
    int leap_seconds = -1;     // GLONASS: GPS - UTC from the file, -1 for the table

    // Clock: bias (s), drift (s/s), drift rate (s/s²). GLONASS: -TauN, +GammaN, 0.
    double af0 = 0, af1 = 0, af2 = 0;

    // Kepler elements and their corrections.
    double toe_of_week = 0;  // seconds into the system's week
    double sqrt_a = 0, e = 0, i0 = 0, omega0 = 0, omega = 0, m0 = 0;
    double delta_n = 0, omega_dot = 0, idot = 0;
    double cuc = 0, cus = 0, crc = 0, crs = 0, cic = 0, cis = 0;
    double group_delay_1 = 0, group_delay_2 = 0;  // TGD / BGD, TGD1 and TGD2 (s)

    // GLONASS state at tb in PZ-90 (m, m/s) and the luni-solar acceleration (m/s²).
    double position[3] = {0, 0, 0};
    double velocity[3] = {0, 0, 0};
    double acceleration[3] = {0, 0, 0};
    int frequency_channel = 0;
};

// How far from its reference time an ephemeris serves (s).
inline constexpr double kepler_validity = 7200.0;
inline constexpr double glonass_validity = 900.0;
inline constexpr double validity_of(char system) { return system == 'R' ? glonass_validity : kepler_validity; }

// Decodes a navigation record of system G, R, E, C or J: `toc` is the record's
// epoch as written (seconds since 1970 of its calendar, in the system's time
// scale), `values` the 31 values of the record (the epoch line's three, then
// the broadcast-orbit lines four by four, in file order, 0 where absent) and
// `kind` the message ("LNAV", "INAV", "FNAV", "D1", "D2", "FDMA"; may be
// empty). `leap_seconds` is the file's LEAP SECONDS or -1. False for another
// system, for a record with a value that is not a finite number, or for a
// record whose orbit cannot be an orbit (a semi-major axis
// of zero, an eccentricity of 1 or more, a GLONASS position of zero).
bool decode_ephemeris(char system, int prn, double toc, const double* values, const char* kind,
                      int leap_seconds, Ephemeris* out);

// True for the BeiDou geostationary satellites (C01-C05, C59-C63).
bool is_beidou_geo(int prn);

// The time of `gps_seconds` in the ephemeris's own time scale.
double system_time_of_gps(const Ephemeris& eph, double gps_seconds);

// The ephemeris that serves satellite (`system`, `prn`) at `gps_seconds`:
// among the healthy ones of that satellite whose reference time is within
// their validity of it, the nearest (at the same distance, a Galileo I/NAV
// one before an F/NAV one, then the one of the earlier clock epoch, then
// the first in `list`). The index in `list`, or -1 when none serves: the
// satellite then has no position at that time.
int choose_ephemeris(const Ephemeris* list, std::size_t count, char system, int prn,
                     double gps_seconds);

// The span of times (from, to) inside which `chosen` (an ephemeris of
// `list` that choose_ephemeris gave) stays the choice: up to halfway to the
// nearest other healthy ephemeris of the satellite, and within its validity.
// A caller may keep using it inside the span without choosing again.
void serving_span(const Ephemeris* list, std::size_t count, const Ephemeris& chosen, double* from, double* to);

// Where choose_ephemeris gave -1 for `gps_seconds`: the span of times
// (from, to) around it over which no ephemeris of `list` serves the
// satellite either (from the latest validity that ends before it to the
// earliest that begins after it; an open end is infinite).
void unserved_span(const Ephemeris* list, std::size_t count, char system, int prn, double gps_seconds, double* from,
                   double* to);

// The delay (s) to subtract from the broadcast clock for a code on carrier
// `frequency_hz` used alone (the clock refers to a combination of codes or,
// for BeiDou, to B3I). 0 where the record gives none.
double code_group_delay(const Ephemeris& eph, double frequency_hz);

}  // namespace orbits
