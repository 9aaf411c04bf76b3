// The module's view of the records the navigation reader gives: ephemerides
// decoded for the orbit computations, and what the header says that they
// need (the Klobuchar parameters, the leap seconds).
#pragma once

#include <cstddef>

#include "orbits/atmosphere.h"
#include "orbits/ephemeris_store.h"
#include "rinex/nav_format.h"

namespace orbits {

// Decodes one record (see decode_ephemeris). `leap_seconds` is the file's
// LEAP SECONDS, -1 where it gives none.
bool decode_nav_ephemeris(const NavEphemeris& record, int leap_seconds, Ephemeris* out);

// The GPS Klobuchar parameters of a header (ION ALPHA/BETA or GPSA/GPSB).
KlobucharParameters klobuchar_of(const NavHeader& header);

// The header's LEAP SECONDS, or -1.
int leap_seconds_of(const NavHeader& header);

// The records decoded into a store; records that cannot be orbits are left
// out. `kept` (may be null) counts those decoded.
EphemerisStore store_of_records(const NavEphemeris* records, std::size_t count, int leap_seconds,
                                std::size_t* kept = nullptr);

}  // namespace orbits
