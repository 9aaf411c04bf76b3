#include "orbits/sky_grid.h"

#include <cmath>
#include <cstring>

#include "orbits/satellite_state.h"
#include "orbits/time_scales.h"

namespace orbits {

namespace {
constexpr char systems[] = "GRECJ";
constexpr int numbers = 100;
constexpr double mean_travel = 0.075;  // s
constexpr double glonass_node_step = 300.0;  // s: RK4 steps for a direction (metres at most)
}  // namespace

SkyGrid::SkyGrid(const EphemerisStore& store, const StationFrame& station)
    : store_(store), station_(station), slot_(std::strlen(systems) * numbers, -1) {
    for (const char* s = systems; *s; ++s)
        for (int prn = 1; prn < numbers; ++prn)
            if (!store.of_satellite(*s, prn).empty()) in_store_.push_back(satellite(*s, prn));
}

int SkyGrid::satellite(char system, int prn) {
    const char* at = system != 0 ? std::strchr(systems, system) : nullptr;
    if (at == nullptr || prn < 1 || prn >= numbers) return -1;
    int& index = slot_[static_cast<std::size_t>((at - systems) * numbers + prn)];
    if (index < 0) {
        index = static_cast<int>(satellites_.size());
        satellites_.push_back(Satellite{system, prn, {}, -1, {false, false}, {0, 0}});
    }
    return index;
}

bool SkyGrid::direct_sine(const Satellite& s, double t, double* out) const {
    const Ephemeris* eph = station_.known ? store_.serving(s.system, s.prn, t) : nullptr;
    if (eph == nullptr) return false;
    double p[3];
    if (eph->orbit == OrbitKind::glonass) {
        double v[3];
        glonass_integrate(*eph, system_time_of_gps(*eph, t - mean_travel), glonass_node_step, p, v);
    } else {
        const SatelliteState state = satellite_state(*eph, t - mean_travel);
        std::memcpy(p, state.position, sizeof p);
    }
    double r[3];
    rotate_for_travel_time(p, mean_travel, r);
    const double d[3] = {r[0] - station_.position[0], r[1] - station_.position[1], r[2] - station_.position[2]};
    const double range = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (!(range > 0)) return false;
    *out = (d[0] * station_.up[0] + d[1] * station_.up[1] + d[2] * station_.up[2]) / range;
    return true;
}

const SkyGrid::Node& SkyGrid::node(Satellite& s, long index) {
    Node& n = s.nodes[static_cast<std::size_t>(index & (ring - 1))];
    if (n.index == index) return n;
    n.index = index;
    n.found = direct_sine(s, static_cast<double>(index) * sky_grid_step, &n.sine);
    return n;
}

// Near the ends of a satellite's ephemerides: evaluated directly every
// edge_step seconds and interpolated linearly between (1e-6 in the sine).
bool SkyGrid::edge_sine(Satellite& s, double* out) const {
    const long k = static_cast<long>(std::floor(time_ / edge_step));
    if (s.edge_index != k) {
        s.edge_index = k;
        s.edge_found[0] = direct_sine(s, static_cast<double>(k) * edge_step, &s.edge_sine[0]);
        s.edge_found[1] = direct_sine(s, static_cast<double>(k + 1) * edge_step, &s.edge_sine[1]);
    }
    if (s.edge_found[0] && s.edge_found[1]) {
        const double u = time_ / edge_step - static_cast<double>(k);
        *out = s.edge_sine[0] + u * (s.edge_sine[1] - s.edge_sine[0]);
        return true;
    }
    // One end without an orbit: the time itself decides.
    return direct_sine(s, time_, out);
}

void SkyGrid::set_time(double gps_seconds) {
    const double x = gps_seconds / sky_grid_step;
    const long k = static_cast<long>(std::floor(x));
    first_ = k - 1;
    time_ = gps_seconds;
    // Cubic Lagrange weights of nodes -1, 0, 1, 2 at u = x - k.
    const double u = x - static_cast<double>(k);
    weight_[0] = -u * (u - 1) * (u - 2) / 6;
    weight_[1] = (u + 1) * (u - 1) * (u - 2) / 2;
    weight_[2] = -(u + 1) * u * (u - 2) / 2;
    weight_[3] = (u + 1) * u * (u - 1) / 6;
}

bool SkyGrid::sine_elevation(int satellite, double* out, bool above_only) {
    if (satellite < 0) return false;
    Satellite& s = satellites_[static_cast<std::size_t>(satellite)];
    double sum = 0;
    bool low = true;
    int found = 0;
    for (int j = 0; j < 4; ++j) {
        const Node& n = node(s, first_ + j);
        if (!n.found) continue;
        ++found;
        sum += weight_[j] * n.sine;
        low = low && n.sine < -0.17364817766693033;  // sin(-10°)
    }
    // No node around the time has an orbit: neither has the time (an
    // ephemeris serving it would serve the nearer of the two nodes beside
    // it). Some have: the ends of the satellite's ephemerides, evaluated at
    // the time itself.
    if (found == 0 || (above_only && low)) return false;
    if (found < 4) return edge_sine(s, out);
    *out = sum > 1 ? 1 : sum < -1 ? -1 : sum;
    return true;
}

}  // namespace orbits
