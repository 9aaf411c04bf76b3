// The position and clock of a satellite at a time, from one broadcast
// ephemeris.
#pragma once

#include "orbits/ephemeris.h"

namespace orbits {

struct SatelliteState {
    double position[3];  // ECEF at the time (m): WGS 84, Galileo's frame, CGCS2000 or PZ-90
    double clock;        // satellite clock offset (s) with the relativistic term
};

// The state at `gps_seconds` (GPS time; the ephemeris's own scale is derived).
// The ephemeris is used as it is, wherever `gps_seconds` lies: the choice of
// a serving ephemeris is choose_ephemeris's.
SatelliteState satellite_state(const Ephemeris& eph, double gps_seconds);

// The clock alone, as satellite_state gives it (a GLONASS clock without
// integrating the orbit).
double satellite_clock(const Ephemeris& eph, double gps_seconds);

// The parts: Kepler orbits (GPS, Galileo, QZSS, BeiDou including its
// geostationary satellites) at a time `t` of the system's own scale, and
// the GLONASS integration at a UTC time.
SatelliteState kepler_state(const Ephemeris& eph, double t);
SatelliteState glonass_state(const Ephemeris& eph, double t_utc);

// The GLONASS integration itself: position (m) and velocity (m/s) at a UTC
// time, in steps of at most `max_step` seconds. glonass_state steps by
// glonass_step.
inline constexpr double glonass_step = 30.0;
void glonass_integrate(const Ephemeris& eph, double t_utc, double max_step, double position[3],
                       double velocity[3]);

}  // namespace orbits
