// GLONASS positions: the broadcast state vector at tb carried to the wanted
// time by 4th-order Runge-Kutta integration of the motion in PZ-90 (the
// central force, the J2 term, the Earth's rotation and the broadcast
// luni-solar acceleration, taken as constant over the interval).
#include <cmath>

#include "orbits/satellite_state.h"

namespace orbits {

namespace {

constexpr double mu = 3.9860044e14;        // m³/s²
constexpr double ae = 6378136.0;           // m
constexpr double j2 = 1.0826257e-3;
constexpr double omega = 7.292115e-5;      // rad/s

struct Motion {
    double r[3];
    double v[3];
};

Motion derivative(const Motion& m, const double* lunisolar) {
    const double x = m.r[0], y = m.r[1], z = m.r[2];
    const double r2 = x * x + y * y + z * z;
    const double r = std::sqrt(r2);
    const double mu_r3 = mu / (r2 * r);
    const double j2_term = 1.5 * j2 * mu * ae * ae / (r2 * r2 * r);
    const double z2_r2 = 5.0 * z * z / r2;
    Motion d;
    d.r[0] = m.v[0];
    d.r[1] = m.v[1];
    d.r[2] = m.v[2];
    d.v[0] = -mu_r3 * x - j2_term * x * (1.0 - z2_r2) + omega * omega * x + 2.0 * omega * m.v[1] + lunisolar[0];
    d.v[1] = -mu_r3 * y - j2_term * y * (1.0 - z2_r2) + omega * omega * y - 2.0 * omega * m.v[0] + lunisolar[1];
    d.v[2] = -mu_r3 * z - j2_term * z * (3.0 - z2_r2) + lunisolar[2];
    return d;
}

Motion advance(const Motion& m, const Motion& d, double h) {
    Motion out;
    for (int a = 0; a < 3; ++a) {
        out.r[a] = m.r[a] + h * d.r[a];
        out.v[a] = m.v[a] + h * d.v[a];
    }
    return out;
}

Motion runge_kutta_step(const Motion& m, double h, const double* lunisolar) {
    const Motion k1 = derivative(m, lunisolar);
    const Motion k2 = derivative(advance(m, k1, h / 2), lunisolar);
    const Motion k3 = derivative(advance(m, k2, h / 2), lunisolar);
    const Motion k4 = derivative(advance(m, k3, h), lunisolar);
    Motion out;
    for (int a = 0; a < 3; ++a) {
        out.r[a] = m.r[a] + h / 6 * (k1.r[a] + 2 * k2.r[a] + 2 * k3.r[a] + k4.r[a]);
        out.v[a] = m.v[a] + h / 6 * (k1.v[a] + 2 * k2.v[a] + 2 * k3.v[a] + k4.v[a]);
    }
    return out;
}

}  // namespace

void glonass_integrate(const Ephemeris& eph, double t_utc, double max_step, double position[3],
                       double velocity[3]) {
    Motion m;
    for (int a = 0; a < 3; ++a) {
        m.r[a] = eph.position[a];
        m.v[a] = eph.velocity[a];
    }
    const double span = t_utc - eph.toe;
    // Equal steps of at most max_step, forwards or backwards.
    const int steps = static_cast<int>(std::ceil(std::fabs(span) / max_step));
    const double h = steps > 0 ? span / steps : 0;
    for (int i = 0; i < steps; ++i) m = runge_kutta_step(m, h, eph.acceleration);
    for (int a = 0; a < 3; ++a) {
        position[a] = m.r[a];
        velocity[a] = m.v[a];
    }
}

namespace {
double glonass_clock(const Ephemeris& eph, double t_utc) { return eph.af0 + eph.af1 * (t_utc - eph.toc); }
}  // namespace

SatelliteState glonass_state(const Ephemeris& eph, double t_utc) {
    SatelliteState s{};
    double velocity[3];
    glonass_integrate(eph, t_utc, glonass_step, s.position, velocity);
    s.clock = glonass_clock(eph, t_utc);
    return s;
}

SatelliteState satellite_state(const Ephemeris& eph, double gps_seconds) {
    const double t = system_time_of_gps(eph, gps_seconds);
    return eph.orbit == OrbitKind::glonass ? glonass_state(eph, t) : kepler_state(eph, t);
}

double satellite_clock(const Ephemeris& eph, double gps_seconds) {
    if (eph.orbit != OrbitKind::glonass) return satellite_state(eph, gps_seconds).clock;
    return glonass_clock(eph, system_time_of_gps(eph, gps_seconds));
}

}  // namespace orbits
