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
// With -3 before OUT the same data is written as a RINEX 3.04 file (types
// L1C, L2W, C1C, C2W, C1W for L1, L2, C1, P2, P1; one line per satellite).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

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

}  // namespace

int main(int argc, char** argv) {
    const bool rinex3 = argc > 1 && std::strcmp(argv[1], "-3") == 0;
    if (rinex3) {
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: gen_rinex OUT [hours] [rate_s] [satellites] [types] [marker] [first day]\n");
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
    if (rate <= 0 || satellites < 1 || satellites > 32 || types.empty() || marker.empty() ||
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

    header_line(out, rinex3 ? "     3.04           OBSERVATION DATA    G (GPS)"
                            : "     2.11           OBSERVATION DATA    G (GPS)",
                "RINEX VERSION / TYPE");
    header_line(out, "gen_rinex           LOADTEST            20261201 000000 UTC", "PGM / RUN BY / DATE");
    header_line(out, marker, "MARKER NAME");
    header_line(out, "10001M001", "MARKER NUMBER");
    header_line(out, "OBSERVER            AGENCY", "OBSERVER / AGENCY");
    header_line(out, "5302K41643          TRIMBLE 4000SSI     7.19", "REC # / TYPE / VERS");
    header_line(out, "12345               TRM22020.00+GP", "ANT # / TYPE");
    header_line(out, format("%14.4f%14.4f%14.4f", 4449541.1, 723423.5, 4497127.0), "APPROX POSITION XYZ");
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
    auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(random) < p; };
    std::vector<int> visible;
    for (int prn = 1; visible.size() < static_cast<std::size_t>(satellites); prn += 3)
        visible.push_back((prn - 1) % 32 + 1);
    int snr[33];
    for (int& s : snr) s = 4 + static_cast<int>(random() % 6);

    const long epochs = std::lround(hours * 3600 / rate);
    for (long e = 0; e < epochs; ++e) {
        const double sec = e * rate;
        const long whole = static_cast<long>(sec);
        if (whole % 3600 == 1800 && chance(0.3)) continue;  // a short gap
        if (whole % 900 == 0 && whole && std::fmod(sec, 1.0) == 0) {
            // One satellite sets, another rises.
            int rising = visible.back();
            for (bool free = false; !free;) {
                rising = static_cast<int>(random() % 32) + 1;
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
                         static_cast<int>(in_day / 3600), static_cast<int>(std::fmod(in_day, 3600) / 60),
                         std::fmod(in_day, 60.0), visible.size());
        } else {
        std::fprintf(out, " 26%3d%3ld%3d%3d%11.7f  0%3zu", month, mday, static_cast<int>(in_day / 3600),
                     static_cast<int>(std::fmod(in_day, 3600) / 60), std::fmod(in_day, 60.0), visible.size());
        for (std::size_t i = 0; i < visible.size(); ++i) {
            if (i && i % 12 == 0) std::fputs("\n                                ", out);
            std::fprintf(out, "G%02d", visible[i]);
        }
        std::fputc('\n', out);
        }  // RINEX 2 epoch line
        for (int prn : visible) {
            if (rinex3) std::fprintf(out, "G%02d", prn);
            if (chance(0.02)) snr[prn] = std::min(9, std::max(1, snr[prn] + (chance(0.5) ? 1 : -1)));
            for (std::size_t k = 0; k < types.size(); ++k) {
                const std::string& type = types[k];
                double value = 2.0e7 + 37000.0 * prn + 3.1 * sec;
                if (type[0] == 'L') value *= 5.2;
                if (type[0] == 'S') value = 30.0 + 2 * snr[prn];
                const char lli = type[0] == 'L' && chance(0.001) ? '1' : ' ';
                std::fprintf(out, "%14.3f%c%c", value, lli, static_cast<char>('0' + snr[prn]));
                if ((!rinex3 && k % 5 == 4) || k + 1 == types.size()) std::fputc('\n', out);
            }
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
