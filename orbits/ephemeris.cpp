#include "orbits/ephemeris.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "orbits/frequencies.h"
#include "orbits/time_scales.h"

namespace orbits {

namespace {

// The time of week (s) counted from the start of the week of `t`.
double week_start(double t) {
    const double since = t - gps_week_zero;
    return gps_week_zero + std::floor(since / seconds_per_week) * seconds_per_week;
}

// Places a time of week in the week nearest to `near` (the record's epoch),
// so that an ephemeris whose toe lies across a week's end from toc is right.
double absolute_toe(double near, double toe_of_week) {
    double t = week_start(near) + toe_of_week;
    if (t - near > seconds_per_week / 2) t -= seconds_per_week;
    if (near - t > seconds_per_week / 2) t += seconds_per_week;
    return t;
}

double gps_of_system_time(char system, double t, int leap_seconds) {
    if (system == 'C') return gps_of_bdt(t);
    if (system == 'R') return gps_of_utc(t, leap_seconds);
    return t;
}

bool decode_kepler(char system, int prn, const double* v, Ephemeris* eph) {
    eph->orbit = system == 'C' && is_beidou_geo(prn) ? OrbitKind::beidou_geo : OrbitKind::kepler;
    eph->crs = v[4];
    eph->delta_n = v[5];
    eph->m0 = v[6];
    eph->cuc = v[7];
    eph->e = v[8];
    eph->cus = v[9];
    eph->sqrt_a = v[10];
    eph->toe_of_week = v[11];
    eph->cic = v[12];
    eph->omega0 = v[13];
    eph->cis = v[14];
    eph->i0 = v[15];
    eph->crc = v[16];
    eph->omega = v[17];
    eph->omega_dot = v[18];
    eph->idot = v[19];
    eph->healthy = v[24] == 0;
    eph->group_delay_1 = v[25];
    eph->group_delay_2 = system == 'C' || system == 'E' ? v[26] : 0;
    if (system == 'E' && !eph->fnav) {
        // An I/NAV clock serves E1 with E5b: its E1 delay is BGD(E5b/E1).
        eph->group_delay_1 = v[26];
    }
    eph->toe = absolute_toe(eph->toc, eph->toe_of_week);
    return eph->sqrt_a > 0 && std::isfinite(eph->sqrt_a) && eph->e >= 0 && eph->e < 1;
}

bool decode_glonass(const double* v, Ephemeris* eph) {
    eph->orbit = OrbitKind::glonass;
    for (int axis = 0; axis < 3; ++axis) {
        eph->position[axis] = v[3 + 4 * axis] * 1000.0;
        eph->velocity[axis] = v[4 + 4 * axis] * 1000.0;
        eph->acceleration[axis] = v[5 + 4 * axis] * 1000.0;
    }
    eph->healthy = v[6] == 0;
    eph->frequency_channel = static_cast<int>(std::lround(v[10]));
    eph->toe = eph->toc;
    const double r = std::sqrt(eph->position[0] * eph->position[0] + eph->position[1] * eph->position[1] +
                               eph->position[2] * eph->position[2]);
    return r > 1.0e6 && std::isfinite(r);
}

}  // namespace

bool is_beidou_geo(int prn) { return (prn >= 1 && prn <= 5) || (prn >= 59 && prn <= 63); }

bool decode_ephemeris(char system, int prn, double toc, const double* values, const char* kind,
                      int leap_seconds, Ephemeris* out) {
    if (std::strchr("GREC J", system) == nullptr || system == ' ' || system == 0) return false;
    // A value beyond any range (an overflowing field) would carry into every
    // position computed from the record.
    for (int i = 0; i < 31; ++i)
        if (!std::isfinite(values[i])) return false;
    Ephemeris eph;
    eph.system = system;
    eph.prn = prn;
    eph.toc = toc;
    eph.leap_seconds = leap_seconds;
    eph.af0 = values[0];
    eph.af1 = values[1];
    eph.af2 = system == 'R' ? 0 : values[2];
    if (system == 'E') {
        // The kind names the message; without it, the data-source bits do
        // (bit 1: F/NAV E5a).
        eph.fnav = kind != nullptr && kind[0] != 0 ? std::strncmp(kind, "FNAV", 4) == 0
                                                   : (static_cast<long>(values[20]) & 2) != 0;
    }
    const bool ok = system == 'R' ? decode_glonass(values, &eph) : decode_kepler(system, prn, values, &eph);
    if (!ok) return false;
    eph.reference_gps = gps_of_system_time(system, eph.toe, leap_seconds);
    *out = eph;
    return true;
}

double system_time_of_gps(const Ephemeris& eph, double gps_seconds) {
    if (eph.system == 'C') return bdt_of_gps(gps_seconds);
    if (eph.system == 'R') return utc_of_gps(gps_seconds, eph.leap_seconds);
    return gps_seconds;
}

int choose_ephemeris(const Ephemeris* list, std::size_t count, char system, int prn,
                     double gps_seconds) {
    int best = -1;
    double best_distance = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const Ephemeris& eph = list[i];
        if (eph.system != system || eph.prn != prn || !eph.healthy) continue;
        const double distance = std::fabs(gps_seconds - eph.reference_gps);
        const double validity = validity_of(system);
        if (distance > validity) continue;
        const bool tie = best >= 0 && distance == best_distance;
        const bool nearer = best < 0 || distance < best_distance ||
                            (tie && list[best].fnav && !eph.fnav) ||
                            (tie && list[best].fnav == eph.fnav && eph.toc < list[best].toc);
        if (nearer) {
            best = static_cast<int>(i);
            best_distance = distance;
        }
    }
    return best;
}

void serving_span(const Ephemeris* list, std::size_t count, const Ephemeris& chosen, double* from, double* to) {
    const double validity = validity_of(chosen.system);
    double lo = chosen.reference_gps - validity;
    double hi = chosen.reference_gps + validity;
    for (std::size_t i = 0; i < count; ++i) {
        const Ephemeris& eph = list[i];
        if (&eph == &chosen || eph.system != chosen.system || eph.prn != chosen.prn || !eph.healthy) continue;
        const double middle = (eph.reference_gps + chosen.reference_gps) / 2;
        if (eph.reference_gps == chosen.reference_gps) continue;  // the chosen one wins the tie everywhere
        if (eph.reference_gps < chosen.reference_gps) lo = std::max(lo, middle);
        else hi = std::min(hi, middle);
    }
    // Open by a millisecond at each end: at the bounds themselves the choice
    // goes by rounding and by the order of the list.
    *from = lo + 1e-3;
    *to = hi - 1e-3;
}

void unserved_span(const Ephemeris* list, std::size_t count, char system, int prn, double gps_seconds, double* from,
                   double* to) {
    double lo = -std::numeric_limits<double>::infinity();
    double hi = std::numeric_limits<double>::infinity();
    const double validity = validity_of(system);
    for (std::size_t i = 0; i < count; ++i) {
        const Ephemeris& eph = list[i];
        if (eph.system != system || eph.prn != prn || !eph.healthy) continue;
        if (eph.reference_gps < gps_seconds) lo = std::max(lo, eph.reference_gps + validity);
        else hi = std::min(hi, eph.reference_gps - validity);
    }
    // Open by a millisecond at each end, as serving_span.
    *from = lo + 1e-3;
    *to = hi - 1e-3;
}

double code_group_delay(const Ephemeris& eph, double frequency_hz) {
    if (frequency_hz <= 0) return 0;
    switch (eph.system) {
        case 'G':
        case 'J':
        case 'E': {
            const double ratio = l1_frequency / frequency_hz;
            return eph.group_delay_1 * ratio * ratio;
        }
        case 'C':
            if (std::fabs(frequency_hz - b1i_frequency) < 1.0e3) return eph.group_delay_1;
            if (std::fabs(frequency_hz - b2i_frequency) < 1.0e3) return eph.group_delay_2;
            return 0;
        default:
            return 0;
    }
}

}  // namespace orbits
