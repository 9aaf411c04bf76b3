#include "orbits/nav_records.h"

#include <cstring>

namespace orbits {

bool decode_nav_ephemeris(const NavEphemeris& record, int leap_seconds, Ephemeris* out) {
    char kind[sizeof record.kind + 1];
    std::memcpy(kind, record.kind, sizeof record.kind);
    kind[sizeof record.kind] = 0;
    return decode_ephemeris(record.system, record.prn, record.toc, record.values, kind, leap_seconds, out);
}

KlobucharParameters klobuchar_of(const NavHeader& header) {
    KlobucharParameters k;
    if (!header.gps.present) return k;
    k.known = true;
    for (int i = 0; i < 4; ++i) {
        k.alpha[i] = header.gps.alpha[i];
        k.beta[i] = header.gps.beta[i];
    }
    return k;
}

int leap_seconds_of(const NavHeader& header) {
    return header.leap_seconds_present ? header.leap_seconds : -1;
}

EphemerisStore store_of_records(const NavEphemeris* records, std::size_t count, int leap_seconds,
                                std::size_t* kept) {
    EphemerisStore store;
    std::size_t decoded = 0;
    for (std::size_t i = 0; i < count; ++i) {
        Ephemeris eph;
        if (!decode_nav_ephemeris(records[i], leap_seconds, &eph)) continue;
        store.add(eph);
        ++decoded;
    }
    if (kept != nullptr) *kept = decoded;
    return store;
}

}  // namespace orbits
