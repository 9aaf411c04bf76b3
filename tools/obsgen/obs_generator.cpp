#include "tools/obsgen/obs_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace obsgen {
namespace {

constexpr double c = 299792458.0;
constexpr double pi = 3.14159265358979323846;
constexpr double rad = pi / 180.0;
constexpr double earth_radius = 6371000.0;
constexpr double cutoff_deg = 5.0;               // lowest elevation observed
constexpr double slip_min_deg = 15.0;            // injected slips and outliers lie above this
constexpr long margin = 20;                      // epochs kept free around every injection
constexpr std::time_t first_epoch = 1614556800;  // 2021-03-01 00:00:00

// Deterministic random numbers on every platform: the 64-bit Mersenne
// twister is fully specified, the conversions below are our own.
class Random {
public:
    explicit Random(unsigned seed) : engine_(seed) {}
    double uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
    double uniform(double low, double high) { return low + (high - low) * uniform(); }
    long integer(long low, long high) {  // low to high inclusive
        return low + static_cast<long>(uniform() * static_cast<double>(high - low + 1));
    }
    double normal() {  // Box-Muller
        double u = uniform();
        while (u <= 0) u = uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2 * pi * uniform());
    }

private:
    std::mt19937_64 engine_;
};

// Multipath of one satellite and carrier: a sum of two sines whose amplitude
// follows the elevation.
struct MultipathWave {
    double period[2];
    double phase[2];
    double value(double t, double amplitude) const {
        return amplitude * (0.8 * std::sin(2 * pi * t / period[0] + phase[0]) +
                            0.6 * std::sin(2 * pi * t / period[1] + phase[1]));
    }
};

// Running sums of one arc's multipath values (shifted by the first value).
struct ArcSums {
    long n = 0;
    double shift = 0, sum = 0, squares = 0;
    void add(double v) {
        if (n == 0) shift = v;
        ++n;
        sum += v - shift;
        squares += (v - shift) * (v - shift);
    }
};

struct Rms {
    long n = 0;
    double squares = 0;
    void close(ArcSums* arc) {
        if (arc->n >= 10) {
            n += arc->n;
            squares += arc->squares - arc->sum * arc->sum / static_cast<double>(arc->n);
        }
        *arc = ArcSums{};
    }
    double value() const { return n > 0 ? std::sqrt(squares / static_cast<double>(n)) : 0; }
};

struct Satellite {
    char system;
    int prn;
    double f1, f2;
    double orbit_radius, period, culmination, max_elevation;
    MultipathWave code_mp[2], phase_mp[2];
    double iono_phase;
    long n1 = 0, n2 = 0;  // ambiguities, slips included
    double last_seen = -1;
    double runaway = 0;  // m both phases are off after running away
    std::vector<std::pair<long, long>> absent;  // epochs [from, to) not tracked
    ArcSums mp[2];
};

enum class EventKind { slip, lli_slip, code_outlier, phase_outlier };

struct Event {
    EventKind kind;
    int n1 = 0, n2 = 0;
};

struct Plan {
    std::map<std::pair<int, long>, Event> events;  // by satellite index and epoch
    long gap_from = -1, gap_to = -1;               // receiver gap, epochs [from, to)
    long clock_jump = -1;
    long steering_every = 0;  // epochs between steering jumps; 0 none
    // A satellite whose phase runs away over epochs [from, to); one whose
    // epoch holds code only before a long gap; flagged epochs without a slip.
    int runaway_sat = -1;
    long runaway_from = -1, runaway_to = -1;
    std::pair<int, long> code_only{-1, -1};
    std::map<std::pair<int, long>, bool> flags;
};

std::string epoch_text(double t) {
    const std::time_t whole = first_epoch + static_cast<std::time_t>(std::floor(t));
    std::tm f{};
    gmtime_r(&whole, &f);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%06.3f", f.tm_year + 1900,
                  f.tm_mon + 1, f.tm_mday, f.tm_hour, f.tm_min, f.tm_sec + (t - std::floor(t)));
    return text;
}

std::tm calendar(double t) {
    const std::time_t whole = first_epoch + static_cast<std::time_t>(std::floor(t));
    std::tm f{};
    gmtime_r(&whole, &f);
    return f;
}

class Generator {
public:
    Generator(const Options& o) : o_(o), random_(o.seed) {}

    bool run(const std::string& obs_path, const std::string& truth_path);

private:
    double elevation(const Satellite& s, double t) const {
        const double u = std::cos(2 * pi * (t - s.culmination) / s.period);
        constexpr double u0 = 0.45;
        return s.max_elevation * (u - u0) / (1 - u0);
    }
    bool absent(const Satellite& s, long k) const {
        for (auto [from, to] : s.absent)
            if (k >= from && k < to) return true;
        return false;
    }
    bool tracked(const Satellite& s, long k) const {
        return elevation(s, k * o_.interval_s) >= cutoff_deg && !absent(s, k);
    }
    void make_satellites();
    void plan_injections();
    void plan_receiver_shapes();
    bool quiet_span(int sat, long from, long to, double min_elevation, double max_elevation) const;
    bool free_epoch(int sat, long k, double min_elevation) const;
    bool place(EventKind kind, int n1, int n2, char system);
    void header(std::FILE* out) const;
    void write_epoch(std::FILE* out, long k);
    void close_arc(Satellite& s) {
        mp_rms_[s.system][0].close(&s.mp[0]);
        mp_rms_[s.system][1].close(&s.mp[1]);
    }

    Options o_;
    Random random_;
    long epochs_ = 0;
    std::vector<Satellite> sats_;
    Plan plan_;
    double code_offset_ = 0, phase_offset_ = 0;
    std::map<char, Rms[2]> mp_rms_;
    std::map<char, long> sat_epochs_;
    long epochs_written_ = 0;
    std::vector<std::string> truth_lines_;
};

void Generator::make_satellites() {
    struct SystemInfo {
        char letter;
        double f1, f2, radius, period;
        int prns;
    };
    std::vector<SystemInfo> systems = {{'G', 1575.42e6, 1227.60e6, 26560e3, 43082, 31}};
    if (o_.rinex_version == 3) systems.push_back({'E', 1575.42e6, 1176.45e6, 29600e3, 50682, 24});
    if (o_.rinex_version == 3 && o_.four_systems) {
        systems.push_back({'R', 1602e6, 1246e6, 25510e3, 40544, 24});
        systems.push_back({'C', 1561.098e6, 1268.52e6, 27906e3, 46404, 27});
    }
    for (const SystemInfo& sys : systems) {
        for (int prn = 1; prn <= sys.prns; ++prn) {
            Satellite s{};
            s.system = sys.letter;
            s.prn = prn;
            s.f1 = sys.f1;
            s.f2 = sys.f2;
            s.orbit_radius = sys.radius;
            s.period = sys.period;
            s.culmination = random_.uniform(0, sys.period);
            s.max_elevation = random_.uniform(25, 88);
            for (MultipathWave* w : {&s.code_mp[0], &s.code_mp[1], &s.phase_mp[0], &s.phase_mp[1]})
                *w = {{random_.uniform(300, 900), random_.uniform(900, 2400)},
                      {random_.uniform(0, 2 * pi), random_.uniform(0, 2 * pi)}};
            s.iono_phase = random_.uniform(0, 2 * pi);
            sats_.push_back(s);
        }
    }
}

// An epoch of a tracked satellite, high enough, away from the ends of its
// arc and from every other injection.
bool Generator::free_epoch(int sat, long k, double min_elevation) const {
    const Satellite& s = sats_[static_cast<std::size_t>(sat)];
    if (k < margin || k + margin >= epochs_) return false;
    if (elevation(s, k * o_.interval_s) < min_elevation) return false;
    for (long j = k - margin; j <= k + margin; ++j)
        if (!tracked(s, j) || (j >= plan_.gap_from && j < plan_.gap_to)) return false;
    if (plan_.clock_jump >= 0 && std::labs(k - plan_.clock_jump) <= margin) return false;
    for (const auto& [key, event] : plan_.events)
        if (key.first == sat && std::labs(key.second - k) <= margin) return false;
    return true;
}

bool Generator::place(EventKind kind, int n1, int n2, char system) {
    for (int attempt = 0; attempt < 20000; ++attempt) {
        const int sat = static_cast<int>(random_.integer(0, static_cast<long>(sats_.size()) - 1));
        if (sats_[static_cast<std::size_t>(sat)].system != system) continue;
        const long k = random_.integer(0, epochs_ - 1);
        if (!free_epoch(sat, k, slip_min_deg)) continue;
        plan_.events[{sat, k}] = Event{kind, n1, n2};
        return true;
    }
    return false;
}

void Generator::plan_injections() {
    if (!o_.inject) return;
    // The whole receiver stops for ten minutes (at least 20 intervals).
    const long gap = std::max(20L, std::lround(600 / o_.interval_s));
    plan_.gap_from = epochs_ * 2 / 5;
    plan_.gap_to = plan_.gap_from + gap;
    plan_.clock_jump = epochs_ * 7 / 10;
    // Satellites losing track for five minutes (at least 10 intervals), and
    // for two epochs, which leaves their arcs whole.
    const long lost = std::max(10L, std::lround(300 / o_.interval_s));
    for (int i = 0; i < 4; ++i) {
        for (int attempt = 0; attempt < 20000; ++attempt) {
            const int sat =
                static_cast<int>(random_.integer(0, static_cast<long>(sats_.size()) - 1));
            const long k = random_.integer(0, epochs_ - 1);
            const long length = i < 2 ? lost : 2;
            if (!free_epoch(sat, k, cutoff_deg) || !free_epoch(sat, k + length, cutoff_deg))
                continue;
            sats_[static_cast<std::size_t>(sat)].absent.push_back({k, k + length});
            break;
        }
    }
    const int pairs[][2] = {{1, 0}, {0, 1},  {1, 2},  {2, 1}, {4, 3},
                            {9, 7}, {10, 0}, {0, 10}, {-1, 0}};
    std::vector<char> systems = {'G'};
    if (o_.rinex_version == 3) systems.push_back('E');
    for (char system : systems) {
        for (int round = 0; round < 2; ++round)
            for (const auto& p : pairs) place(EventKind::slip, p[0], p[1], system);
        place(EventKind::lli_slip, 3, -2, system);
        place(EventKind::lli_slip, 0, 0, system);  // flagged, though no cycle was lost
        place(EventKind::code_outlier, 0, 0, system);
        place(EventKind::phase_outlier, 0, 0, system);
    }
    if (o_.receiver_shapes) plan_receiver_shapes();
}

// Epochs [from, to) of a satellite tracked within the elevations, free of
// every other injection and of the receiver gap.
bool Generator::quiet_span(int sat, long from, long to, double min_elevation,
                           double max_elevation) const {
    const Satellite& s = sats_[static_cast<std::size_t>(sat)];
    if (from < margin || to + margin >= epochs_) return false;
    for (long k = from - margin; k < to + margin; ++k) {
        const double e = elevation(s, k * o_.interval_s);
        if (!tracked(s, k) || (k >= plan_.gap_from && k < plan_.gap_to)) return false;
        if (k >= from && k < to && (e < min_elevation || e > max_elevation)) return false;
    }
    for (const auto& [key, event] : plan_.events)
        if (key.first == sat && key.second >= from - margin && key.second < to + margin)
            return false;
    for (const auto& [key, flag] : plan_.flags)
        if (key.first == sat && key.second >= from - margin && key.second < to + margin)
            return false;
    if (sat == plan_.runaway_sat && from < plan_.runaway_to + margin &&
        to + margin > plan_.runaway_from)
        return false;
    return true;
}

void Generator::plan_receiver_shapes() {
    const int count = static_cast<int>(sats_.size());
    auto random_sat = [&] {  // of GPS or Galileo, whose phases the check tests
        int sat;
        do {
            sat = static_cast<int>(random_.integer(0, count - 1));
        } while (sats_[static_cast<std::size_t>(sat)].system != 'G' &&
                 sats_[static_cast<std::size_t>(sat)].system != 'E');
        return sat;
    };
    // A GPS phase running away for an hour.
    const long hour = std::lround(3600 / o_.interval_s);
    for (int attempt = 0; attempt < 20000 && plan_.runaway_sat < 0; ++attempt) {
        const int sat = random_sat();
        const long k = random_.integer(0, epochs_ - 1);
        if (sats_[static_cast<std::size_t>(sat)].system != 'G' ||
            !quiet_span(sat, k, k + hour, slip_min_deg, 90))
            continue;
        plan_.runaway_sat = sat;
        plan_.runaway_from = k;
        plan_.runaway_to = k + hour;
    }
    // An epoch of code only, then two hours without the satellite.
    const long lost = std::lround(7200 / o_.interval_s);
    for (int attempt = 0; attempt < 20000 && plan_.code_only.first < 0; ++attempt) {
        const int sat = random_sat();
        const long k = random_.integer(0, epochs_ - 1);
        if (!quiet_span(sat, k - 1, k + 1, slip_min_deg, 90) ||
            !quiet_span(sat, k + 1, k + 1 + lost, cutoff_deg, 90))
            continue;
        plan_.code_only = {sat, k};
        sats_[static_cast<std::size_t>(sat)].absent.push_back({k + 1, k + 1 + lost});
    }
    // Runs of one to four flagged epochs below 15 degrees, a few minutes apart.
    for (int run = 0; run < 12; ++run) {
        for (int attempt = 0; attempt < 20000; ++attempt) {
            const int sat = random_sat();
            const long k = random_.integer(0, epochs_ - 1);
            const long length = random_.integer(1, 4);
            if (!quiet_span(sat, k, k + length, cutoff_deg + 2, slip_min_deg)) continue;
            for (long j = k; j < k + length; ++j) plan_.flags[{sat, j}] = true;
            break;
        }
    }
    // Flagged slips that only the flag and a few centimetres of GF show.
    for (char system : {'G', 'E'})
        if (system == 'G' || o_.rinex_version == 3) place(EventKind::lli_slip, 1, 1, system);
}

void Generator::header(std::FILE* out) const {
    auto line = [out](const std::string& text, const char* label) {
        std::fprintf(out, "%-60.60s%-20s\n", text.c_str(), label);
    };
    char text[100];
    const bool v3 = o_.rinex_version == 3;
    line(v3 ? "     3.04           OBSERVATION DATA    M (MIXED)"
            : "     2.11           OBSERVATION DATA    G (GPS)",
         "RINEX VERSION / TYPE");
    line("obs_generator       QUALITY TEST        20210301 000000 UTC", "PGM / RUN BY / DATE");
    line(o_.marker, "MARKER NAME");
    line("10001M001", "MARKER NUMBER");
    line("OBSERVER            AGENCY", "OBSERVER / AGENCY");
    line("5302K41643          TRIMBLE NETR9       5.45", "REC # / TYPE / VERS");
    line("12345               TRM59800.00     NONE", "ANT # / TYPE");
    std::snprintf(text, sizeof text, "%14.4f%14.4f%14.4f", 3899225.3, 396731.8, 5015078.3);
    line(text, "APPROX POSITION XYZ");
    std::snprintf(text, sizeof text, "%14.4f%14.4f%14.4f", 0.0, 0.0, 0.0);
    line(text, "ANTENNA: DELTA H/E/N");
    if (v3) {
        line(o_.second_carrier ? "G    5 C1C C1W L1C C2W L2W" : "G    3 C1C C1W L1C",
             "SYS / # / OBS TYPES");
        line(o_.second_carrier ? "E    4 C1C L1C C5Q L5Q" : "E    2 C1C L1C",
             "SYS / # / OBS TYPES");
        if (o_.four_systems) {
            line(o_.second_carrier ? "R    4 C1C L1C C2P L2P" : "R    2 C1C L1C",
                 "SYS / # / OBS TYPES");
            line(o_.second_carrier ? "C    4 C2I L2I C6I L6I" : "C    2 C2I L2I",
                 "SYS / # / OBS TYPES");
        }
    } else {
        line("     1     1", "WAVELENGTH FACT L1/2");
        line(
            o_.second_carrier ? "     5    L1    L2    C1    P1    P2" : "     3    L1    C1    P1",
            "# / TYPES OF OBSERV");
    }
    if (v3 && o_.four_systems) {
        // Every GLONASS satellite on channel 0, the carriers it is made with.
        for (int first = 1; first <= 24; first += 8) {
            std::string pairs = first == 1 ? " 24 " : "    ";
            for (int prn = first; prn < first + 8; ++prn) {
                std::snprintf(text, sizeof text, "R%02d  0 ", prn);
                pairs += text;
            }
            line(pairs.c_str(), "GLONASS SLOT / FRQ #");
        }
    }
    std::snprintf(text, sizeof text, "%10.3f", o_.interval_s);
    line(text, "INTERVAL");
    line("  2021     3     1     0     0    0.0000000     GPS", "TIME OF FIRST OBS");
    line("", "END OF HEADER");
}

// One epoch: the values of every tracked satellite, the arcs of the
// multipath truth, and the epoch's lines.
void Generator::write_epoch(std::FILE* out, long k) {
    const double t = k * o_.interval_s;
    const bool steered = plan_.steering_every > 0 && k > 0 && k % plan_.steering_every == 0;
    if (k == plan_.clock_jump || steered) {
        code_offset_ += c * 1e-3;
        if (o_.steering == 1) phase_offset_ += c * 1e-3;
        truth_lines_.push_back("clock " + epoch_text(t));
    }
    const double vtec = 12 + 8 * std::sin(2 * pi * (t - 6 * 3600) / 86400);  // TEC units
    const double clock = 0.3 * t;                                            // receiver clock, m
    struct Line {
        const Satellite* sat;
        double value[5];  // C1, P1, L1, P2, L2 (Galileo: C1C, -, L1C, C5Q, L5Q)
        char lli;
        int snr;
    };
    std::vector<Line> lines;
    const double limit = std::max(3 * o_.interval_s, 60.0);
    for (std::size_t i = 0; i < sats_.size(); ++i) {
        Satellite& s = sats_[i];
        if (!tracked(s, k)) continue;
        const double e = elevation(s, t);
        Line l{&s, {}, ' ', std::clamp(static_cast<int>(4 + e / 18), 4, 9)};
        const int index = static_cast<int>(i);
        if (plan_.flags.count({index, k})) {
            l.lli = '1';
            truth_lines_.push_back(std::string("flag ") + s.system + (s.prn < 10 ? "0" : "") +
                                   std::to_string(s.prn) + " " + epoch_text(t) + " 0 0");
        }
        // The runaway: both phases off by the same growing distance, no flag.
        const bool running_away =
            index == plan_.runaway_sat && k >= plan_.runaway_from && k < plan_.runaway_to;
        if (index == plan_.runaway_sat && k == plan_.runaway_from) {
            close_arc(s);
            char text[120];
            std::snprintf(text, sizeof text, "runaway %c%02d %s %s", s.system, s.prn,
                          epoch_text(t).c_str(),
                          epoch_text((plan_.runaway_to - 1) * o_.interval_s).c_str());
            truth_lines_.push_back(text);
        }
        if (running_away) s.runaway += random_.uniform(20, 60);
        if (index == plan_.runaway_sat && k == plan_.runaway_to) close_arc(s);
        if (s.last_seen < 0 || (t - s.last_seen) - o_.interval_s > limit) {
            close_arc(s);
            s.n1 = random_.integer(-200, 200);
            s.n2 = random_.integer(-200, 200);
            if (s.last_seen >= 0 || k > 0) l.lli = '1';  // reacquired: flagged, no slip
        }
        s.last_seen = t;
        const auto event = plan_.events.find({static_cast<int>(i), k});
        bool outlier = false;
        double code_outlier = 0, phase_outlier = 0;
        if (event != plan_.events.end()) {
            const Event& ev = event->second;
            const char* what = "slip";
            if (ev.kind == EventKind::slip || ev.kind == EventKind::lli_slip) {
                s.n1 += ev.n1;
                s.n2 += ev.n2;
                close_arc(s);
                if (ev.kind == EventKind::lli_slip) {
                    l.lli = '1';
                    what = "lli";
                }
            } else {
                outlier = true;
                what = "outlier";
                (ev.kind == EventKind::code_outlier ? code_outlier : phase_outlier) =
                    ev.kind == EventKind::code_outlier ? 8.0 : 0.15;
            }
            char text[120];
            std::snprintf(text, sizeof text, "%s %c%02d %s %d %d", what, s.system, s.prn,
                          epoch_text(t).c_str(), ev.n1, ev.n2);
            truth_lines_.push_back(text);
        }
        const double se = std::sin(e * rad), ce = std::cos(e * rad);
        const double range =
            std::sqrt(s.orbit_radius * s.orbit_radius - earth_radius * earth_radius * ce * ce) -
            earth_radius * se;
        const double shell = earth_radius / (earth_radius + 350e3) * ce;
        const double tec = (vtec + 0.4 * std::sin(2 * pi * t / 1500 + s.iono_phase)) /
                           std::sqrt(1 - shell * shell);
        const double alpha = (s.f1 / s.f2) * (s.f1 / s.f2);
        const double iono1 = 40.3e16 * tec / (s.f1 * s.f1);
        const double common = range + clock + 2.4 / std::max(se, 0.05);
        const double mp_amplitude = o_.multipath * (0.05 + 0.6 * std::exp(-(e - 5) / 8));
        const double code_sigma = 0.20 + 0.15 * std::exp(-(e - 5) / 10);
        const double phase_sigma = 0.002;
        const double lambda1 = c / s.f1, lambda2 = c / s.f2;
        const double code_mp1 = s.code_mp[0].value(t, mp_amplitude);
        const double code_mp2 = s.code_mp[1].value(t, mp_amplitude);
        const double code1 = code_mp1 + code_sigma * random_.normal();  // the P1 slot's code
        const double code1_other = code_mp1 + 1.2 * code_sigma * random_.normal();
        const double code2 = code_mp2 + code_sigma * random_.normal();
        const double phase_err1 = s.phase_mp[0].value(t, 0.003) + phase_sigma * random_.normal();
        const double phase_err2 = s.phase_mp[1].value(t, 0.003) + phase_sigma * random_.normal();

        const double p1 = common + iono1 + code1 + code_offset_ + code_outlier;
        const double c1 = common + iono1 + code1_other + code_offset_;
        const double p2 = common + alpha * iono1 + code2 + code_offset_;
        const double phase_common = common + phase_offset_ + s.runaway;
        const double l1 = (phase_common - iono1 + phase_err1 + phase_outlier) / lambda1 + s.n1;
        const double l2 = (phase_common - alpha * iono1 + phase_err2) / lambda2 + s.n2;
        if (s.system != 'G') {  // no P1: the code of the L1 slot is C1C (C2I)
            l.value[0] = p1;
            l.value[1] = 0;
        } else {
            l.value[0] = c1;
            l.value[1] = p1;
        }
        const bool code_only = plan_.code_only == std::pair<int, long>{index, k};
        l.value[2] = code_only ? 0 : l1;
        l.value[3] = o_.second_carrier ? p2 : 0;
        l.value[4] = o_.second_carrier && !code_only ? l2 : 0;
        lines.push_back(l);

        if (!o_.second_carrier) continue;
        ++sat_epochs_[s.system];
        if (outlier || running_away || code_only) continue;
        const double a1 = 2 / (alpha - 1);
        s.mp[0].add(code1 - (1 + a1) * phase_err1 + a1 * phase_err2);
        const double a2 = 2 * alpha / (alpha - 1);
        s.mp[1].add(code2 - a2 * phase_err1 + (a2 - 1) * phase_err2);
    }
    if (lines.empty()) return;
    ++epochs_written_;

    const std::tm f = calendar(t);
    const double seconds = f.tm_sec + (t - std::floor(t));
    const int n = static_cast<int>(lines.size());
    auto field = [out](double v, char lli, int snr) {
        if (v == 0)
            std::fputs("                ", out);
        else
            std::fprintf(out, "%14.3f%c%d", v, lli, snr);
    };
    if (o_.rinex_version == 3) {
        std::fprintf(out, "> %4d %02d %02d %02d %02d%11.7f  0%3d\n", f.tm_year + 1900, f.tm_mon + 1,
                     f.tm_mday, f.tm_hour, f.tm_min, seconds, n);
        for (const Line& l : lines) {
            std::fprintf(out, "%c%02d", l.sat->system, l.sat->prn);
            // GPS: C1C C1W L1C C2W L2W; Galileo: C1C L1C C5Q L5Q.
            const int gps[] = {0, 1, 2, 3, 4}, gal[] = {0, 2, 3, 4};
            const int* order = l.sat->system != 'G' ? gal : gps;
            const int count = (l.sat->system != 'G' ? 4 : 5) - (o_.second_carrier ? 0 : 2);
            for (int j = 0; j < count; ++j) {
                const int slot = order[j];
                field(l.value[slot], slot == 2 || slot == 4 ? l.lli : ' ', l.snr);
            }
            std::fputc('\n', out);
        }
        return;
    }
    std::fprintf(out, " %02d %2d %2d %2d %2d%11.7f  0%3d", f.tm_year % 100, f.tm_mon + 1, f.tm_mday,
                 f.tm_hour, f.tm_min, seconds, n);
    for (int i = 0; i < n; ++i) {
        if (i > 0 && i % 12 == 0) std::fputs("\n                                ", out);
        std::fprintf(out, "G%02d", lines[static_cast<std::size_t>(i)].sat->prn);
    }
    std::fputc('\n', out);
    for (const Line& l : lines) {
        // L1 L2 C1 P1 P2, or L1 C1 P1.
        field(l.value[2], l.lli, l.snr);
        if (o_.second_carrier) field(l.value[4], l.lli, l.snr);
        field(l.value[0], ' ', l.snr);
        field(l.value[1], ' ', l.snr);
        if (o_.second_carrier) field(l.value[3], ' ', l.snr);
        std::fputc('\n', out);
    }
}

bool Generator::run(const std::string& obs_path, const std::string& truth_path) {
    epochs_ = std::lround(o_.hours * 3600 / o_.interval_s);
    make_satellites();
    if (o_.steering != 0) plan_.steering_every = std::lround(1500 / o_.interval_s);
    plan_injections();
    if (o_.steering != 0) plan_.clock_jump = -1;
    std::FILE* out = std::fopen(obs_path.c_str(), "w");
    if (!out) return false;
    static char buffer[1 << 16];
    std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
    header(out);
    for (long k = 0; k < epochs_; ++k)
        if (k < plan_.gap_from || k >= plan_.gap_to) write_epoch(out, k);
    for (Satellite& s : sats_) close_arc(s);
    const bool written = std::fclose(out) == 0;

    std::FILE* truth = std::fopen(truth_path.c_str(), "w");
    if (!truth) return false;
    std::fprintf(truth, "interval %g\n", o_.interval_s);
    std::fprintf(truth, "epochs %ld\n", epochs_written_);
    std::fprintf(truth, "epochs_expected %ld\n", epochs_);
    if (plan_.gap_from >= 0)
        std::fprintf(truth, "gaps 1 %g\n", (plan_.gap_to - plan_.gap_from) * o_.interval_s);
    else
        std::fprintf(truth, "gaps 0 0\n");
    for (const auto& [system, count] : sat_epochs_)
        std::fprintf(truth, "satellite_epochs %c %ld\n", system, count);
    for (const auto& [system, rms] : mp_rms_)
        if (rms[0].n > 0)
            std::fprintf(truth, "mp %c %.4f %.4f\n", system, rms[0].value(), rms[1].value());
    for (const std::string& l : truth_lines_) std::fprintf(truth, "%s\n", l.c_str());
    return std::fclose(truth) == 0 && written;
}

}  // namespace

bool generate(const Options& options, const std::string& obs_path, const std::string& truth_path) {
    Generator g(options);
    return g.run(obs_path, truth_path);
}

bool parse_option(const std::string& argument, Options* o) {
    const std::size_t equals = argument.find('=');
    if (argument.rfind("--", 0) != 0 || equals == std::string::npos) return false;
    const std::string name = argument.substr(2, equals - 2);
    const std::string value = argument.substr(equals + 1);
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    const bool numeric = !value.empty() && *end == '\0';
    if (name == "marker" && !value.empty()) {
        o->marker = value;
        return true;
    }
    if (!numeric) return false;
    if (name == "rinex" && (number == 2 || number == 3))
        o->rinex_version = static_cast<int>(number);
    else if (name == "interval" && number > 0)
        o->interval_s = number;
    else if (name == "hours" && number > 0)
        o->hours = number;
    else if (name == "seed" && number >= 0)
        o->seed = static_cast<unsigned>(number);
    else if (name == "inject")
        o->inject = number != 0;
    else if (name == "multipath" && number >= 0)
        o->multipath = number;
    else if (name == "l2")
        o->second_carrier = number != 0;
    else if (name == "steering" && number >= 0 && number <= 2)
        o->steering = static_cast<int>(number);
    else if (name == "shapes")
        o->receiver_shapes = number != 0;
    else if (name == "systems" && (number == 2 || number == 4))
        o->four_systems = number == 4;
    else
        return false;
    return true;
}

}  // namespace obsgen
