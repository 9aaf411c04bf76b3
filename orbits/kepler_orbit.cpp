// Satellite positions from Kepler elements with their harmonic corrections,
// as the interface documents of GPS, Galileo, BeiDou and QZSS define them.
#include <cmath>
#include <numbers>

#include "orbits/satellite_state.h"

namespace orbits {

namespace {

struct SystemConstants {
    double mu;             // gravitational constant times the Earth's mass (m³/s²)
    double earth_rotation; // rad/s
};

SystemConstants constants_of(char system) {
    switch (system) {
        case 'E': return {3.986004418e14, 7.2921151467e-5};
        case 'C': return {3.986004418e14, 7.2921150e-5};  // CGCS2000
        default: return {3.986005e14, 7.2921151467e-5};   // WGS 84 (GPS, QZSS)
    }
}

// The relativistic clock term is F e sqrt(A) sin(E) with F = -2 sqrt(mu) / c².
double relativity_factor(double mu) { return -2.0 * std::sqrt(mu) / (299792458.0 * 299792458.0); }

// Solves Kepler's equation M = E - e sin E by Newton steps.
double eccentric_anomaly(double mean_anomaly, double e) {
    double ecc = mean_anomaly;
    for (int step = 0; step < 20; ++step) {
        const double delta = (ecc - e * std::sin(ecc) - mean_anomaly) / (1.0 - e * std::cos(ecc));
        ecc -= delta;
        if (std::fabs(delta) < 1e-14) break;
    }
    return ecc;
}

}  // namespace

SatelliteState kepler_state(const Ephemeris& eph, double t) {
    const SystemConstants k = constants_of(eph.system);
    const double a = eph.sqrt_a * eph.sqrt_a;
    const double tk = t - eph.toe;
    const double n = std::sqrt(k.mu / (a * a * a)) + eph.delta_n;
    const double ecc = eccentric_anomaly(eph.m0 + n * tk, eph.e);
    const double sin_e = std::sin(ecc);
    const double cos_e = std::cos(ecc);
    const double nu = std::atan2(std::sqrt(1.0 - eph.e * eph.e) * sin_e, cos_e - eph.e);
    const double phi = nu + eph.omega;
    const double sin2 = std::sin(2.0 * phi);
    const double cos2 = std::cos(2.0 * phi);
    const double u = phi + eph.cus * sin2 + eph.cuc * cos2;
    const double r = a * (1.0 - eph.e * cos_e) + eph.crs * sin2 + eph.crc * cos2;
    const double i = eph.i0 + eph.idot * tk + eph.cis * sin2 + eph.cic * cos2;
    const double x_plane = r * std::cos(u);
    const double y_plane = r * std::sin(u);

    SatelliteState s{};
    if (eph.orbit == OrbitKind::beidou_geo) {
        // The geostationary elements refer to a frame turned by -5° about
        // its x axis and not rotating with the Earth since toe.
        const double node = eph.omega0 + eph.omega_dot * tk - k.earth_rotation * eph.toe_of_week;
        const double xg = x_plane * std::cos(node) - y_plane * std::cos(i) * std::sin(node);
        const double yg = x_plane * std::sin(node) + y_plane * std::cos(i) * std::cos(node);
        const double zg = y_plane * std::sin(i);
        const double tilt = -5.0 * std::numbers::pi / 180.0;
        const double y1 = std::cos(tilt) * yg + std::sin(tilt) * zg;
        const double z1 = -std::sin(tilt) * yg + std::cos(tilt) * zg;
        const double turn = k.earth_rotation * tk;
        s.position[0] = std::cos(turn) * xg + std::sin(turn) * y1;
        s.position[1] = -std::sin(turn) * xg + std::cos(turn) * y1;
        s.position[2] = z1;
    } else {
        const double node =
            eph.omega0 + (eph.omega_dot - k.earth_rotation) * tk - k.earth_rotation * eph.toe_of_week;
        s.position[0] = x_plane * std::cos(node) - y_plane * std::cos(i) * std::sin(node);
        s.position[1] = x_plane * std::sin(node) + y_plane * std::cos(i) * std::cos(node);
        s.position[2] = y_plane * std::sin(i);
    }
    const double tc = t - eph.toc;
    s.clock = eph.af0 + eph.af1 * tc + eph.af2 * tc * tc + relativity_factor(k.mu) * eph.e * eph.sqrt_a * sin_e;
    return s;
}

}  // namespace orbits
