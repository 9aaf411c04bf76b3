#include "orbits/sky.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "geodesy/geodesy.h"

namespace orbits {

StationFrame station_frame(double x, double y, double z) {
    StationFrame f;
    ell_params grs80{};
    ell_setup(grs80_a, grs80_b, &grs80);
    const geodetic_position g = station_position(x, y, z, grs80);
    if (!g.known) return f;
    f.known = true;
    f.position[0] = x;
    f.position[1] = y;
    f.position[2] = z;
    f.latitude = g.latitude;
    f.longitude = g.longitude;
    f.height = g.height;
    const double sl = std::sin(g.latitude), cl = std::cos(g.latitude);
    const double so = std::sin(g.longitude), co = std::cos(g.longitude);
    f.east[0] = -so, f.east[1] = co, f.east[2] = 0;
    f.north[0] = -sl * co, f.north[1] = -sl * so, f.north[2] = cl;
    f.up[0] = cl * co, f.up[1] = cl * so, f.up[2] = sl;
    return f;
}

void rotate_for_travel_time(const double at_transmission[3], double travel_time, double out[3]) {
    const double angle = earth_rotation_rate * travel_time;
    const double c = std::cos(angle), s = std::sin(angle);
    const double x = at_transmission[0], y = at_transmission[1];
    out[0] = c * x + s * y;
    out[1] = -s * x + c * y;
    out[2] = at_transmission[2];
}

void seen_position(const Ephemeris& eph, double gps_reception, double out[3]) {
    constexpr double glonass_direction_step = 300.0;  // s
    const double sent = gps_reception - mean_travel_time;
    double p[3];
    if (eph.orbit == OrbitKind::glonass) {
        double v[3];
        glonass_integrate(eph, system_time_of_gps(eph, sent), glonass_direction_step, p, v);
    } else {
        const SatelliteState state = satellite_state(eph, sent);
        std::copy(state.position, state.position + 3, p);
    }
    rotate_for_travel_time(p, mean_travel_time, out);
}

LookAngles look_angles(const StationFrame& station, const double point[3]) {
    const double d[3] = {point[0] - station.position[0], point[1] - station.position[1],
                         point[2] - station.position[2]};
    const double e = d[0] * station.east[0] + d[1] * station.east[1] + d[2] * station.east[2];
    const double n = d[0] * station.north[0] + d[1] * station.north[1] + d[2] * station.north[2];
    const double u = d[0] * station.up[0] + d[1] * station.up[1] + d[2] * station.up[2];
    LookAngles look;
    look.range = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    look.elevation = std::atan2(u, std::sqrt(e * e + n * n));
    look.azimuth = std::atan2(e, n);
    if (look.azimuth < 0) look.azimuth += 2 * std::numbers::pi;
    return look;
}

Sighting sight_satellite(const EphemerisStore& store, char system, int prn, const StationFrame& station,
                         double gps_reception) {
    const Ephemeris* eph = store.serving(system, prn, gps_reception);
    if (eph == nullptr) return Sighting{};
    return sight_from(
        [eph](double t, SatelliteState* out) {
            *out = satellite_state(*eph, t);
            return true;
        },
        station, gps_reception);
}

}  // namespace orbits
