// Where a satellite stands in a station's sky: the line of sight with the
// Earth's rotation during the signal's travel, elevation and azimuth.
#pragma once

#include "orbits/ephemeris_store.h"
#include "orbits/satellite_state.h"

namespace orbits {

inline constexpr double earth_rotation_rate = 7.2921151467e-5;  // rad/s (WGS 84)

// A station's position with its local frame, prepared once.
struct StationFrame {
    bool known = false;  // false for a position of zero or not a position
    double position[3] = {0, 0, 0};  // ECEF (m)
    double latitude = 0, longitude = 0, height = 0;  // GRS80 (rad, m)
    double east[3] = {0, 0, 0}, north[3] = {0, 0, 0}, up[3] = {0, 0, 0};
};
StationFrame station_frame(double x, double y, double z);

// A satellite's ECEF position at transmission expressed in the frame of the
// reception `travel_time` seconds later: the Earth has turned under it.
void rotate_for_travel_time(const double at_transmission[3], double travel_time, double out[3]);

// A satellite's position as seen at a reception time (GPS seconds), for a
// direction: sent a mean travel time (75 ms) before and turned with the
// Earth for it, a GLONASS orbit integrated in steps of 300 s. Good to some
// tens of metres, a millionth of a radian seen from the ground; the clock is
// not needed.
inline constexpr double mean_travel_time = 0.075;  // s
void seen_position(const Ephemeris& eph, double gps_reception, double out[3]);

struct LookAngles {
    double azimuth;    // radians from north through east, 0 to 2 pi
    double elevation;  // radians above the horizon
    double range;      // m
};
// Elevation and azimuth of a point (ECEF, in the frame of the reception) seen
// from the station.
LookAngles look_angles(const StationFrame& station, const double point[3]);

// A satellite seen at a reception time (GPS seconds): its position at the
// time of transmission, rotated into the frame of the reception, and the
// look angles; `found` is false when no ephemeris serves it at that time.
struct Sighting {
    bool found;
    double position[3];  // at transmission, frame of reception (m)
    double clock;        // satellite clock offset at transmission (s)
    LookAngles look;
};
Sighting sight_satellite(const EphemerisStore& store, char system, int prn, const StationFrame& station,
                         double gps_reception);

// The same from any source of states: `state_at(gps_seconds, SatelliteState*)`
// returns false where there is no position (a SatelliteTrack, for example).
template <class StateSource>
Sighting sight_from(StateSource&& state_at, const StationFrame& station, double gps_reception) {
    Sighting s{};
    SatelliteState state{};
    double travel = 0.075;  // about 22,000 km, refined below
    for (int pass = 0; pass < 3; ++pass) {
        if (!state_at(gps_reception - travel, &state)) return s;
        rotate_for_travel_time(state.position, travel, s.position);
        s.look = look_angles(station, s.position);
        travel = s.look.range / 299792458.0;
    }
    s.found = true;
    s.clock = state.clock;
    return s;
}

}  // namespace orbits
