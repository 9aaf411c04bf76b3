// Writes a synthetic RINEX 2.11 GPS observation file for load tests:
//   gen_rinex OUT [hours] [rate_s] [satellites] [types, e.g. L1,L2,C1,P2,P1]
//             [marker] [first day]
// The marker name (default BNCH) names the station; the first day (0 to 29,
// default 0) counts days after 2026-11-30, the first epoch, so that the files
// of a campaign hold several stations and days.
// Epoch lines carry up to 12 satellites and continue on further lines. Signal
// strength digits drift slowly, loss-of-lock flags are rare, the visible set
// changes every 15 minutes and a few short gaps are left out. The output is
// the same for the same arguments.
// More than 32 satellites (up to 100, plain RINEX 2.11 only) make a mixed
// file: G01-G32, R01-R24, E01-E36 and S20-S27 in turn, of which 38 in 100 are
// in view at a time, as a receiver of four systems sees them (100 give about
// 110,000 observations a day at 30 seconds).
// With -3 before OUT the same data is written as a RINEX 3.04 file (types
// L1C, L2W, C1C, C2W, C1W for L1, L2, C1, P2, P1; one line per satellite).
// With -c before OUT the same RINEX 2.11 data is written as compact RINEX 1.0:
// the epoch line (all satellites on one line, no clock offset) is written
// whole at the first epoch and after a shorter one, else as its text
// difference to the previous one; each observation starts an arc of third
// order ("3&value" in units of 0.001) when its satellite was not in the
// previous epoch and continues it with differences; the flag text is
// differenced like the epoch line.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

// The identifier of satellite `n` (from 1) of the pool.
std::string satellite_name(int n) {
    char name[16];
    if (n <= 32)
        std::snprintf(name, sizeof name, "G%02d", n);
    else if (n <= 56)
        std::snprintf(name, sizeof name, "R%02d", n - 32);
    else if (n <= 92)
        std::snprintf(name, sizeof name, "E%02d", n - 56);
    else
        std::snprintf(name, sizeof name, "S%02d", n - 73);
    return name;
}

void header_line(std::FILE* out, const std::string& text, const char* label) {
    std::fprintf(out, "%-60.60s%-20s\n", text.c_str(), label);
}

std::string format(const char* fmt, auto... args) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, fmt, args...);
    return buffer;
}

// The RINEX 3 type of a RINEX 2 type of this generator.
std::string rinex3_type(const std::string& type) {
    if (type == "C1") return "C1C";
    if (type == "P1") return "C1W";
    if (type == "L1") return "L1C";
    if (type == "S1") return "S1C";
    if (type == "P2") return "C2W";
    return type + "W";  // L2, S2
}

// The text difference of `now` against `before` as compact RINEX writes it:
// a blank for an unchanged character, '&' for a character that became a
// blank, the new character otherwise; trailing blanks are left out.
std::string text_difference(const std::string& before, const std::string& now) {
    std::string d(now.size(), ' ');
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (i < before.size() && before[i] == now[i]) continue;
        d[i] = now[i] == ' ' ? '&' : now[i];
    }
    while (!d.empty() && d.back() == ' ') d.pop_back();
    return d;
}

// Compact RINEX 1.0 state: the previous epoch line and, per satellite, its
// difference arcs and flag text.
struct CompactWriter {
    static constexpr int order = 3;
    struct Arc {
        std::int64_t term[order + 1];
        int filled = -1;
    };
    struct Satellite {
        std::vector<Arc> arcs;
        std::string flags;
        long epoch = -1;  // the last epoch it was observed in
    };
    std::string epoch_line;
    std::map<int, Satellite> satellites;
    long epoch = 0;

    void write_epoch(std::FILE* out, const std::string& line) {
        ++epoch;
        if (epoch_line.empty() || line.size() < epoch_line.size()) {
            std::fprintf(out, "&%s\n", line.c_str() + 1);
        } else {
            std::fprintf(out, "%s\n", text_difference(epoch_line, line).c_str());
        }
        epoch_line = line;
        std::fputc('\n', out);  // no clock offset
    }

    // `values` are the observations as written in the plain file ("%.3f").
    void write_data(std::FILE* out, int prn, const std::vector<std::string>& values,
                    const std::string& flags) {
        Satellite& sat = satellites[prn];
        if (sat.epoch != epoch - 1) {  // new, or back after an absence
            sat.arcs.assign(values.size(), Arc{});
            sat.flags.assign(flags.size(), ' ');
        }
        sat.epoch = epoch;
        std::string line;
        for (std::size_t k = 0; k < values.size(); ++k) {
            std::string digits = values[k];
            digits.erase(digits.find('.'), 1);
            const std::int64_t v = std::strtoll(digits.c_str(), nullptr, 10);
            Arc& arc = sat.arcs[k];
            if (k > 0) line += ' ';
            if (arc.filled < 0) {
                arc.filled = 0;
                arc.term[0] = v;
                line += std::to_string(order) + "&" + std::to_string(v);
                continue;
            }
            const int f = std::min(arc.filled + 1, order);
            std::int64_t e[order + 1];
            e[0] = v;
            for (int i = 1; i <= f; ++i) e[i] = e[i - 1] - arc.term[i - 1];
            for (int i = 0; i <= f; ++i) arc.term[i] = e[i];
            arc.filled = f;
            line += std::to_string(e[f]);
        }
        const std::string d = text_difference(sat.flags, flags);
        sat.flags = flags;
        if (!d.empty()) line += ' ' + d;
        std::fprintf(out, "%s\n", line.c_str());
    }
};

}  // namespace

int main(int argc, char** argv) {
    const bool rinex3 = argc > 1 && std::strcmp(argv[1], "-3") == 0;
    const bool compact = argc > 1 && std::strcmp(argv[1], "-c") == 0;
    if (rinex3 || compact) {
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: gen_rinex [-3|-c] OUT [hours] [rate_s] [satellites] [types] [marker] "
                     "[first day]\n");
        return 2;
    }
    const double hours = argc > 2 ? std::atof(argv[2]) : 24.0;
    const double rate = argc > 3 ? std::atof(argv[3]) : 1.0;
    const int satellites = argc > 4 ? std::atoi(argv[4]) : 10;
    std::vector<std::string> types;
    {
        std::string list = argc > 5 ? argv[5] : "L1,L2,C1,P2,P1";
        std::size_t start = 0;
        while (start <= list.size()) {
            std::size_t comma = list.find(',', start);
            if (comma == std::string::npos) comma = list.size();
            types.push_back(list.substr(start, comma - start));
            start = comma + 1;
        }
    }
    const std::string marker = argc > 6 ? argv[6] : "BNCH";
    const int first_day = argc > 7 ? std::atoi(argv[7]) : 0;
    const bool mixed = satellites > 32;
    if (rate <= 0 || satellites < 1 || satellites > 100 || (mixed && (rinex3 || compact)) ||
        types.empty() || marker.empty() ||
        first_day < 0 || first_day > 29) {
        std::fprintf(stderr, "gen_rinex: bad arguments\n");
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    static char buffer[1 << 16];
    std::setvbuf(out, buffer, _IOFBF, sizeof buffer);

    if (compact) {
        header_line(out, "1.0                 COMPACT RINEX FORMAT", "CRINEX VERS   / TYPE");
        header_line(out, "gen_rinex                               01-Dec-26 00:00",
                    "CRINEX PROG / DATE");
    }
    header_line(out,
                rinex3  ? "     3.04           OBSERVATION DATA    G (GPS)"
                : mixed ? "     2.11           OBSERVATION DATA    M (MIXED)"
                        : "     2.11           OBSERVATION DATA    G (GPS)",
                "RINEX VERSION / TYPE");
    header_line(out, "gen_rinex           LOADTEST            20261201 000000 UTC",
                "PGM / RUN BY / DATE");
    header_line(out, marker, "MARKER NAME");
    header_line(out, "10001M001", "MARKER NUMBER");
    header_line(out, "OBSERVER            AGENCY", "OBSERVER / AGENCY");
    header_line(out, "5302K41643          TRIMBLE 4000SSI     7.19", "REC # / TYPE / VERS");
    header_line(out, "12345               TRM22020.00+GP", "ANT # / TYPE");
    header_line(out, format("%14.4f%14.4f%14.4f", 4449541.1, 723423.5, 4497127.0),
                "APPROX POSITION XYZ");
    header_line(out, format("%14.4f%14.4f%14.4f", 1.2345, 0.0, 0.0), "ANTENNA: DELTA H/E/N");
    if (rinex3) {
        std::string list = format("G%5zu", types.size());
        for (const std::string& type : types) {
            list += ' ';
            list += rinex3_type(type);
        }
        header_line(out, list, "SYS / # / OBS TYPES");
    } else {
        header_line(out, "     1     1", "WAVELENGTH FACT L1/2");
    }
    std::string line = format("%6zu", types.size());
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (i && i % 9 == 0) {
            header_line(out, line, "# / TYPES OF OBSERV");
            line = "      ";
        }
        line += format("%6s", types[i].c_str());
    }
    if (!rinex3) header_line(out, line, "# / TYPES OF OBSERV");
    header_line(out, format("%10.3f", rate), "INTERVAL");
    header_line(out,
                format("  2026    %2d    %2d     0     0    0.0000000     GPS", first_day ? 12 : 11,
                       first_day ? first_day : 30),
                "TIME OF FIRST OBS");
    header_line(out, "", "END OF HEADER");

    std::mt19937 random(7);
    auto chance = [&](double p) {
        return std::uniform_real_distribution<double>(0, 1)(random) < p;
    };
    const int pool = mixed ? satellites : 32;
    const std::size_t in_view = mixed ? static_cast<std::size_t>(satellites * 38 / 100)
                                      : static_cast<std::size_t>(satellites);
    std::vector<int> visible;
    for (int prn = 1; visible.size() < in_view; prn += 3) visible.push_back((prn - 1) % pool + 1);
    int snr[101];
    for (int& s : snr) s = 4 + static_cast<int>(random() % 6);

    CompactWriter cw;
    std::vector<std::string> values(types.size());
    std::string flags(2 * types.size(), ' ');
    const long epochs = std::lround(hours * 3600 / rate);
    for (long e = 0; e < epochs; ++e) {
        const double sec = e * rate;
        const long whole = static_cast<long>(sec);
        if (whole % 3600 == 1800 && chance(0.3)) continue;  // a short gap
        if (whole % 900 == 0 && whole && std::fmod(sec, 1.0) == 0) {
            // One satellite sets, another rises.
            int rising = visible.back();
            for (bool free = false; !free;) {
                rising = static_cast<int>(random() % static_cast<unsigned>(pool)) + 1;
                free = true;
                for (int v : visible) free = free && v != rising;
            }
            visible.erase(visible.begin() + static_cast<long>(random() % visible.size()));
            visible.push_back(rising);
        }
        const long day = 30 + first_day + whole / 86400;
        const double in_day = std::fmod(sec, 86400.0);
        const int month = day <= 30 ? 11 : 12;
        const long mday = day <= 30 ? day : day - 30;
        if (rinex3) {
            std::fprintf(out, "> 2026 %02d %02ld %02d %02d%11.7f  0%3zu\n", month, mday,
                         static_cast<int>(in_day / 3600),
                         static_cast<int>(std::fmod(in_day, 3600) / 60), std::fmod(in_day, 60.0),
                         visible.size());
        } else if (compact) {
            std::string line = format(" 26%3d%3ld%3d%3d%11.7f  0%3zu", month, mday,
                                      static_cast<int>(in_day / 3600),
                                      static_cast<int>(std::fmod(in_day, 3600) / 60),
                                      std::fmod(in_day, 60.0), visible.size());
            for (int prn : visible) line += format("G%02d", prn);
            cw.write_epoch(out, line);
        } else {
            std::fprintf(out, " 26%3d%3ld%3d%3d%11.7f  0%3zu", month, mday,
                         static_cast<int>(in_day / 3600),
                         static_cast<int>(std::fmod(in_day, 3600) / 60), std::fmod(in_day, 60.0),
                         visible.size());
            for (std::size_t i = 0; i < visible.size(); ++i) {
                if (i && i % 12 == 0) std::fputs("\n                                ", out);
                std::fputs(satellite_name(visible[i]).c_str(), out);
            }
            std::fputc('\n', out);
        }  // RINEX 2 epoch line
        for (int prn : visible) {
            if (rinex3) std::fprintf(out, "G%02d", prn);
            if (chance(0.02))
                snr[prn] = std::min(9, std::max(1, snr[prn] + (chance(0.5) ? 1 : -1)));
            for (std::size_t k = 0; k < types.size(); ++k) {
                const std::string& type = types[k];
                double value = 2.0e7 + 37000.0 * prn + 3.1 * sec;
                if (type[0] == 'L') value *= 5.2;
                if (type[0] == 'S') value = 30.0 + 2 * snr[prn];
                const char lli = type[0] == 'L' && chance(0.001) ? '1' : ' ';
                if (compact) {
                    values[k] = format("%.3f", value);
                    flags[2 * k] = lli;
                    flags[2 * k + 1] = static_cast<char>('0' + snr[prn]);
                    continue;
                }
                std::fprintf(out, "%14.3f%c%c", value, lli, static_cast<char>('0' + snr[prn]));
                if ((!rinex3 && k % 5 == 4) || k + 1 == types.size()) std::fputc('\n', out);
            }
            if (compact) cw.write_data(out, prn, values, flags);
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
