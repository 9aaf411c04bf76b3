#include "orbits/point_position.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "orbits/frequencies.h"
#include "orbits/sky.h"

namespace orbits {

namespace {

constexpr int max_unknowns = 8;  // x, y, z and a clock for each of G R E C J

// One satellite's contribution: corrected code (m) and its satellite.
struct Measurement {
    char system;
    double code;           // m: one code, or the ionosphere-free combination
    double frequency_l1;   // the carrier for the ionosphere model (single code)
    bool ionosphere_free;
    const Ephemeris* eph;
    double group_delay;    // s, subtracted from the satellite clock
    double satellite[3];   // at transmission, in the frame of the reception (m)
    double clock;          // satellite clock at transmission, group delay removed (s)
};

bool usable_code(double c) { return std::isfinite(c) && c > 1.0e7 && c < 6.0e7; }

// The code and its satellite-clock group delay for one observation.
bool make_measurement(const CodeObservation& o, const Ephemeris* eph, Measurement* m) {
    m->system = o.system;
    m->eph = eph;
    const bool c1 = usable_code(o.code[0]) && o.frequency[0] > 0;
    const bool c2 = usable_code(o.code[1]) && o.frequency[1] > 0;
    if (c1 && c2 && o.frequency[0] != o.frequency[1]) {
        const double f1 = o.frequency[0] * o.frequency[0];
        const double f2 = o.frequency[1] * o.frequency[1];
        m->code = (f1 * o.code[0] - f2 * o.code[1]) / (f1 - f2);
        m->group_delay = (f1 * code_group_delay(*eph, o.frequency[0]) - f2 * code_group_delay(*eph, o.frequency[1])) /
                         (f1 - f2);
        m->ionosphere_free = true;
        m->frequency_l1 = 0;
        return true;
    }
    const int k = c1 ? 0 : c2 ? 1 : -1;
    if (k < 0) return false;
    m->code = o.code[k];
    m->group_delay = code_group_delay(*eph, o.frequency[k]);
    m->ionosphere_free = false;
    m->frequency_l1 = o.frequency[k];
    return true;
}

// Solves the normal equations n x = b (symmetric, `size` unknowns) by
// Gaussian elimination with pivoting. False when singular.
bool solve_normal(double n[max_unknowns][max_unknowns], double b[max_unknowns], int size) {
    for (int col = 0; col < size; ++col) {
        int pivot = col;
        for (int r = col + 1; r < size; ++r)
            if (std::fabs(n[r][col]) > std::fabs(n[pivot][col])) pivot = r;
        if (std::fabs(n[pivot][col]) < 1e-12) return false;
        if (pivot != col) {
            for (int c = 0; c < size; ++c) std::swap(n[col][c], n[pivot][c]);
            std::swap(b[col], b[pivot]);
        }
        for (int r = col + 1; r < size; ++r) {
            const double f = n[r][col] / n[col][col];
            for (int c = col; c < size; ++c) n[r][c] -= f * n[col][c];
            b[r] -= f * b[col];
        }
    }
    for (int r = size - 1; r >= 0; --r) {
        double s = b[r];
        for (int c = r + 1; c < size; ++c) s -= n[r][c] * b[c];
        b[r] = s / n[r][r];
    }
    return true;
}

struct Residual {
    double value;   // observed minus computed (m), receiver clock included
    double row[3];  // derivative by the position
    int clock;      // its system's receiver clock
    bool used;
};

constexpr char clock_system_letters[] = "GRECJ";
constexpr int clock_systems = 5;

int system_index(char system) {
    for (int i = 0; i < clock_systems; ++i)
        if (clock_system_letters[i] == system) return i;
    return -1;
}

// The satellite's place and clock for a code: the transmission time follows
// from the code itself (by the satellite's clock, then by the system's
// time), so it does not change while the position is iterated.
void place_satellite(double reception, Measurement* m) {
    double t_tx = reception - m->code / speed_of_light;
    t_tx -= satellite_clock(*m->eph, t_tx) - m->group_delay;
    const SatelliteState s = satellite_state(*m->eph, t_tx);
    rotate_for_travel_time(s.position, reception - t_tx, m->satellite);
    m->clock = s.clock - m->group_delay;
}

// The code minus its model (range, satellite clock, ionosphere and
// troposphere) at position `x`. False for a satellite below the mask (once
// the position is near the ground; far from it, every satellite counts).
bool model_residual(const Measurement& m, double reception, const double x[3], const StationFrame& here,
                    bool near_ground, const PositionSettings& settings, Residual* r) {
    const double* p = m.satellite;
    const double d[3] = {p[0] - x[0], p[1] - x[1], p[2] - x[2]};
    const double range = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    double model = range - speed_of_light * m.clock;
    if (near_ground) {
        const LookAngles look = look_angles(here, p);
        if (look.elevation < settings.elevation_mask) return false;
        if (!m.ionosphere_free) {
            const double ratio = l1_frequency / m.frequency_l1;
            model += klobuchar_delay(settings.klobuchar, here.latitude, here.longitude, look.azimuth,
                                     look.elevation, reception) *
                     ratio * ratio;
        }
        model += troposphere_delay(here.latitude, here.height, look.elevation);
    }
    r->value = m.code - model;
    for (int a = 0; a < 3; ++a) r->row[a] = -d[a] / range;
    return true;
}

}  // namespace

EpochSolution solve_epoch(const EpochInput& epoch, const EphemerisStore& store,
                          const PositionSettings& settings, const double* start) {
    std::vector<Measurement> ms;
    ms.reserve(epoch.count);
    for (std::size_t i = 0; i < epoch.count; ++i) {
        const CodeObservation& o = epoch.observations[i];
        if (system_index(o.system) < 0) continue;
        const Ephemeris* eph = store.serving(o.system, o.prn, epoch.gps_seconds);
        Measurement m{};
        if (eph == nullptr || !make_measurement(o, eph, &m)) continue;
        place_satellite(epoch.gps_seconds, &m);
        ms.push_back(m);
    }

    double x[3] = {0, 0, 0};
    if (start != nullptr && std::isfinite(start[0]) && std::isfinite(start[1]) && std::isfinite(start[2]))
        std::memcpy(x, start, sizeof x);
    double clock_of[clock_systems] = {};  // receiver clock per system (m)
    std::vector<bool> dropped(ms.size(), false);
    std::vector<Residual> rs(ms.size());

    for (int iteration = 0; iteration < 20; ++iteration) {
        const StationFrame here = station_frame(x[0], x[1], x[2]);
        const bool near_ground = here.known && here.height > -1000.0 && here.height < 1.0e5;
        int column_of[clock_systems];
        std::fill(std::begin(column_of), std::end(column_of), -1);
        int systems = 0;
        int used = 0;
        for (std::size_t i = 0; i < ms.size(); ++i) {
            rs[i].used = false;
            if (dropped[i]) continue;
            if (!model_residual(ms[i], epoch.gps_seconds, x, here, near_ground, settings, &rs[i])) continue;
            const int sys = system_index(ms[i].system);
            if (column_of[sys] < 0) column_of[sys] = systems++;
            rs[i].clock = sys;
            rs[i].used = true;
            ++used;
        }
        const int unknowns = 3 + systems;
        if (used < unknowns) return EpochSolution{};

        double n[max_unknowns][max_unknowns] = {};
        double b[max_unknowns] = {};
        for (const Residual& r : rs) {
            if (!r.used) continue;
            double row[max_unknowns] = {};
            row[0] = r.row[0], row[1] = r.row[1], row[2] = r.row[2];
            row[3 + column_of[r.clock]] = 1.0;
            const double v = r.value - clock_of[r.clock];
            for (int i = 0; i < unknowns; ++i) {
                b[i] += row[i] * v;
                for (int j = 0; j < unknowns; ++j) n[i][j] += row[i] * row[j];
            }
        }
        if (!solve_normal(n, b, unknowns)) return EpochSolution{};
        for (int a = 0; a < 3; ++a) x[a] += b[a];
        for (int sys = 0; sys < clock_systems; ++sys)
            if (column_of[sys] >= 0) clock_of[sys] += b[3 + column_of[sys]];
        const double step = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
        if (step > 1.0e-3) continue;
        // Settled far from the ground: no place an occupation stands at.
        if (!near_ground) return EpochSolution{};

        // Converged: the largest residual beyond the limit removes its
        // satellite, while there are more satellites than unknowns.
        double sum = 0;
        int worst = -1;
        double worst_value = 0;
        for (std::size_t i = 0; i < rs.size(); ++i) {
            if (!rs[i].used) continue;
            double v = rs[i].value - clock_of[rs[i].clock];
            for (int a = 0; a < 3; ++a) v -= rs[i].row[a] * b[a];
            sum += v * v;
            if (std::fabs(v) > worst_value) worst_value = std::fabs(v), worst = static_cast<int>(i);
        }
        if (worst_value > settings.max_residual) {
            if (used == unknowns) return EpochSolution{};
            dropped[worst] = true;
            continue;
        }
        EpochSolution solution;
        solution.solved = true;
        std::memcpy(solution.position, x, sizeof x);
        solution.satellites = used;
        solution.systems = systems;
        solution.rms = used > unknowns ? std::sqrt(sum / (used - unknowns)) : 0;
        return solution;
    }
    return EpochSolution{};
}

OccupationPosition median_position(const std::vector<EpochSolution>& epochs) {
    OccupationPosition out;
    std::vector<double> values[3];
    for (const EpochSolution& e : epochs)
        if (e.solved)
            for (int a = 0; a < 3; ++a) values[a].push_back(e.position[a]);
    const std::size_t n = values[0].size();
    if (n == 0) return out;
    for (int a = 0; a < 3; ++a) {
        std::sort(values[a].begin(), values[a].end());
        out.position[a] = n % 2 == 1 ? values[a][n / 2] : (values[a][n / 2 - 1] + values[a][n / 2]) / 2;
    }
    out.known = true;
    out.epochs_used = static_cast<int>(n);
    return out;
}

double position_distance(const double a[3], const double b[3]) {
    const double d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

PositionFlag position_flag(const double header[3], const OccupationPosition& computed) {
    const bool header_zero = !std::isfinite(header[0]) || !std::isfinite(header[1]) ||
                             !std::isfinite(header[2]) ||
                             (header[0] == 0 && header[1] == 0 && header[2] == 0);
    if (header_zero) return PositionFlag::header_zero;
    if (!computed.known) return PositionFlag::not_computed;
    return position_distance(header, computed.position) > position_flag_distance ? PositionFlag::far
                                                                                 : PositionFlag::none;
}

const char* position_flag_text(PositionFlag flag) {
    switch (flag) {
        case PositionFlag::none: return "";
        case PositionFlag::header_zero: return "header position zero";
        case PositionFlag::far: return "header more than 100 m off";
        case PositionFlag::not_computed: return "no computed position";
    }
    return "";
}

}  // namespace orbits
