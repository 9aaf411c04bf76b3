// Readers the orbit tests use to feed the module from files: broadcast
// navigation records as the values of their lines, a precise orbit (SP3),
// and the codes of a RINEX 3 or 4 observation file. They serve the tests only.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "orbits/atmosphere.h"
#include "orbits/ephemeris_store.h"
#include "orbits/point_position.h"
#include "rinex/nav_format.h"

namespace orbits_test {

// A navigation file as the navigation reader gives it, with the Klobuchar
// parameters of its header or, for RINEX 4, of its first GPS "> ION" record
// (which the reader passes over).
struct NavFile {
    ::NavFile parsed;
    orbits::KlobucharParameters klobuchar;
    int leap_seconds = -1;
};

// Reads a navigation file (plain or gzip) with the navigation reader.
NavFile read_nav_file(const std::string& path);

// The file's ephemerides decoded into a store.
orbits::EphemerisStore store_of(const NavFile& file);

// Precise positions (m, ECEF) by satellite ("G01") and GPS time (GPS seconds).
struct PreciseOrbit {
    std::map<std::string, std::map<double, std::vector<double>>> positions;
};
PreciseOrbit read_sp3(const std::string& path);

// The code observations of an observation file, epoch by epoch, with the
// header's position.
struct ObservationEpoch {
    double gps_seconds;
    std::vector<orbits::CodeObservation> codes;
};
struct ObservationFile {
    double header_position[3] = {0, 0, 0};
    std::vector<ObservationEpoch> epochs;
};

// Reads a RINEX 3 or 4 file (plain, compressed or compact) for its codes, two
// codes per satellite where the file has them: GPS C1C/C1W with C2W/C2L,
// Galileo C1C with C5Q (E5a), BeiDou C2I with C7I (B1I, B2I), QZSS C1C with
// C2L, GLONASS C1C/C1P with C2C/C2P. Only the systems in `systems` are kept.
ObservationFile read_rinex3_codes(const std::string& path, const std::map<int, int>& glonass_channels,
                                  const std::string& systems);

}  // namespace orbits_test
