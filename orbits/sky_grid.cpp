#include "orbits/sky_grid.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>


namespace orbits {

namespace {
constexpr char systems[] = "GRECJ";
constexpr int numbers = 100;
static_assert(SkyGrid::satellite_count == (sizeof systems - 1) * numbers);
}  // namespace

SkyGrid::SkyGrid(const EphemerisStore& store, const StationFrame& station)
    : store_(store),
      station_(station),
      near_ground_(station.known && station.height > -1.0e4 && station.height < 5.0e5),
      slot_(std::strlen(systems) * numbers, -1) {
    // Room for every satellite at once: a growing list would copy them.
    satellites_.reserve(satellite_count);
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
        Satellite s;
        s.system = system;
        s.prn = prn;
        satellites_.push_back(s);
    }
    return index;
}

const Ephemeris* SkyGrid::served(const Satellite& s, Serving& cache, double t) const {
    if (t < cache.from || t > cache.to) cache.ephemeris = store_.serving(s.system, s.prn, t, &cache.from, &cache.to);
    return cache.ephemeris;
}

bool SkyGrid::sine_of(const Ephemeris& eph, double t, double* out) const {
    double r[3];
    seen_position(eph, t, r);
    const double d[3] = {r[0] - station_.position[0], r[1] - station_.position[1], r[2] - station_.position[2]};
    const double range = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (!(range > 0)) return false;
    *out = (d[0] * station_.up[0] + d[1] * station_.up[1] + d[2] * station_.up[2]) / range;
    return true;
}

bool SkyGrid::direct_sine(Satellite& s, double t, double* out) const {
    const Ephemeris* eph = station_.known ? served(s, s.at_times, t) : nullptr;
    return eph != nullptr && sine_of(*eph, t, out);
}

const SkyGrid::Node& SkyGrid::node(Satellite& s, long index) {
    Node& n = s.nodes[static_cast<std::size_t>(index & (ring - 1))];
    if (n.index == index) return n;
    n.index = index;
    n.found = false;
    if (!station_.known) return n;
    // A node no ephemeris serves takes its place in the curve from the
    // nearest healthy one up to a validity beyond its own (a Kepler orbit
    // 2 hours past its validity, a GLONASS one 15 minutes, are still good
    // to metres): whether the satellite has an orbit at a time is decided
    // at the time itself.
    const double t = static_cast<double>(index) * sky_grid_step;
    const Ephemeris* eph = served(s, s.at_nodes, t);
    if (eph == nullptr) {
        const std::vector<Ephemeris>& list = store_.of_satellite(s.system, s.prn);
        double nearest = 2 * validity_of(s.system);
        for (const Ephemeris& e : list)
            if (e.healthy && std::fabs(t - e.reference_gps) <= nearest) {
                nearest = std::fabs(t - e.reference_gps);
                eph = &e;
            }
    }
    n.found = eph != nullptr && sine_of(*eph, t, &n.sine);
    if (n.found && near_ground_ && n.sine < -below_margin) {
        const double reach = (-n.sine - below_margin) / below_sine_rate;
        if (t + reach > s.below_to) {
            s.below_from = t - reach;
            s.below_to = t + reach;
        }
    }
    return n;
}

// Near the ends of a satellite's ephemerides: evaluated directly every
// edge_step seconds and interpolated linearly between (1e-6 in the sine),
// the line kept over its interval as the span's cubic.
bool SkyGrid::edge_sine(Satellite& s, double* out, SineSpan* span) const {
    const long k = static_cast<long>(std::floor(time_ / edge_step));
    if (s.edge_index != k) {
        // Walking forward, the end of the last interval starts this one.
        if (s.edge_index == k - 1) {
            s.edge_found[0] = s.edge_found[1];
            s.edge_sine[0] = s.edge_sine[1];
        } else {
            s.edge_found[0] = direct_sine(s, static_cast<double>(k) * edge_step, &s.edge_sine[0]);
        }
        s.edge_index = k;
        s.edge_found[1] = direct_sine(s, static_cast<double>(k + 1) * edge_step, &s.edge_sine[1]);
    }
    if (s.edge_found[0] && s.edge_found[1]) {
        const double from = static_cast<double>(k) * edge_step;
        const double rise = s.edge_sine[1] - s.edge_sine[0];
        const double u = time_ / edge_step - static_cast<double>(k);
        *out = s.edge_sine[0] + u * rise;
        if (span != nullptr)
            *span = SineSpan{from, from + edge_step, true, from,
                             {s.edge_sine[0], rise * (sky_grid_step / edge_step), 0, 0}};
        return true;
    }
    // One end without an orbit: the time itself decides; without an orbit
    // there, over the times none serves.
    if (direct_sine(s, time_, out)) return true;
    if (span != nullptr && station_.known) *span = SineSpan{s.at_times.from, s.at_times.to};
    return false;
}

void SkyGrid::set_time(double gps_seconds) {
    const long k = static_cast<long>(std::floor(gps_seconds / sky_grid_step));
    first_ = k - 1;
    time_ = gps_seconds;
    // Cubic Lagrange weights of nodes -1, 0, 1, 2 at u, the fraction of the
    // step past node 0 (from the seconds since it, which keep their digits).
    const double u = (gps_seconds - static_cast<double>(k) * sky_grid_step) / sky_grid_step;
    weight_[0] = -u * (u - 1) * (u - 2) / 6;
    weight_[1] = (u + 1) * (u - 1) * (u - 2) / 2;
    weight_[2] = -(u + 1) * u * (u - 2) / 2;
    weight_[3] = (u + 1) * u * (u - 1) / 6;
}

bool SkyGrid::sine_elevation(int satellite, double* out, bool above_only, SineSpan* span) {
    if (span != nullptr) *span = SineSpan{time_, time_};
    if (satellite < 0) return false;
    Satellite& s = satellites_[static_cast<std::size_t>(satellite)];
    if (above_only) {
        // A node may prove the time below the horizon: the last one did, or
        // one of the two next to the time does (the other two not evaluated).
        for (int j = 1; j <= 3; ++j) {
            if (time_ >= s.below_from && time_ <= s.below_to) {
                if (span != nullptr) *span = SineSpan{s.below_from, s.below_to};
                return false;
            }
            if (j < 3) node(s, first_ + j);
        }
    }
    double sum = 0;
    bool low = true;
    int found = 0;
    double n[4] = {0, 0, 0, 0};
    for (int j = 0; j < 4; ++j) {
        const Node& node_j = node(s, first_ + j);
        if (!node_j.found) continue;
        ++found;
        n[j] = node_j.sine;
        sum += weight_[j] * node_j.sine;
        low = low && node_j.sine < -0.17364817766693033;  // sin(-10°)
    }
    const double from = static_cast<double>(first_ + 1) * sky_grid_step;
    const double to = static_cast<double>(first_ + 2) * sky_grid_step;
    // No node around the time has an orbit even from an ephemeris past its
    // validity: neither has the time.
    if (found == 0 || (above_only && low)) {
        if (span != nullptr) *span = SineSpan{from, to};
        // A satellite without any ephemeris never has one.
        if (span != nullptr && store_.of_satellite(s.system, s.prn).empty())
            *span = SineSpan{-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
        return false;
    }
    // A node more than a validity past every ephemeris: near such an end,
    // evaluated at the time itself.
    if (found < 4) return edge_sine(s, out, span);
    if (time_ < s.orbit_from || time_ > s.orbit_to)
        s.has_orbit = store_.has_orbit(s.system, s.prn, time_, &s.orbit_from, &s.orbit_to);
    if (span != nullptr) *span = SineSpan{std::max(from, s.orbit_from), std::min(to, s.orbit_to)};
    if (!s.has_orbit) return false;
    *out = sum > 1 ? 1 : sum < -1 ? -1 : sum;
    if (span != nullptr) {
        // The cubic through nodes -1, 0, 1, 2 as a1 u + a2 u² + a3 u³ + n1.
        const double a1 = -n[0] / 3 - n[1] / 2 + n[2] - n[3] / 6;
        const double a2 = n[0] / 2 - n[1] + n[2] / 2;
        const double a3 = (n[3] - n[0]) / 6 + (n[1] - n[2]) / 2;
        span->cubic = true;
        span->origin = from;
        span->c[0] = n[1], span->c[1] = a1, span->c[2] = a2, span->c[3] = a3;
    }
    return true;
}

namespace {
double cubic_at(const double c[4], double u) { return c[0] + u * (c[1] + u * (c[2] + u * c[3])); }
}  // namespace

double sine_of_span(const SineSpan& span, double t) {
    const double sine = cubic_at(span.c, (t - span.origin) / sky_grid_step);
    return sine > 1 ? 1 : sine < -1 ? -1 : sine;
}

double sine_leaves(const SineSpan& span, double t, double low, double high) {
    if (!span.cubic || !(t < span.to)) return span.to;
    const double* c = span.c;
    const auto out = [&](double u) {
        const double v = cubic_at(c, u);
        return v < low || v >= high;
    };
    // The cubic is monotone between its turning points, so it leaves the
    // band at most once on each piece: found by halving.
    const double u0 = (t - span.origin) / sky_grid_step;
    const double u1 = (span.to - span.origin) / sky_grid_step;
    double cuts[4] = {u0, u1, u1, u1};
    int count = 1;
    // Turning points: roots of c1 + 2 c2 u + 3 c3 u².
    const double qa = 3 * c[3], qb = 2 * c[2], qc = c[1];
    if (qa != 0) {
        const double d = qb * qb - 4 * qa * qc;
        if (d > 0) {
            const double r = std::sqrt(d);
            double roots[2] = {(-qb - r) / (2 * qa), (-qb + r) / (2 * qa)};
            if (roots[0] > roots[1]) std::swap(roots[0], roots[1]);
            for (double root : roots)
                if (root > u0 && root < u1) cuts[count++] = root;
        }
    } else if (qb != 0) {
        const double root = -qc / qb;
        if (root > u0 && root < u1) cuts[count++] = root;
    }
    cuts[count++] = u1;
    for (int k = 0; k + 1 < count; ++k) {
        double a = cuts[k], b = cuts[k + 1];
        if (!out(b)) continue;
        for (int i = 0; i < 50 && b - a > 1e-9; ++i) {
            const double m = (a + b) / 2;
            (out(m) ? b : a) = m;
        }
        return std::max(t, span.origin + a * sky_grid_step - 1e-3);
    }
    return span.to;
}

}  // namespace orbits
