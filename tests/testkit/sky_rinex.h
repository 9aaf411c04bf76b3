// A RINEX 3.04 observation file of a sky of many satellites of every system,
// for the page tests of occupations with more satellites than real test files
// hold. Satellites are numbered 1, 2, ... within their system; each is in view
// for a window of the epochs that moves on from satellite to satellite, with
// S/N digits that change every 20 epochs and a rare loss of lock. The same
// arguments give the same file.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace testkit {

struct SkySystem {
    char letter;
    int satellites;
};

// The observation types of each system: code and phase of the two signals
// the reader takes as L1 and L2.
inline const char* sky_types(char system) {
    switch (system) {
    case 'R': return "C1C L1C C2P L2P";
    case 'E': return "C1C L1C C5Q L5Q";
    case 'C': return "C2I L2I C7I L7I";
    case 'J': return "C1C L1C C2L L2L";
    case 'I': return "C5A L5A C9A L9A";
    case 'S': return "C1C L1C C5I L5I";
    default: return "C1C L1C C2W L2W";
    }
}

// Writes `epochs` epochs of 30 s from 2024-03-01 00:00:00 for the marker
// `marker`. A satellite is in view in 70 of every 120 epochs.
inline bool write_sky_rinex(const std::string& path, const std::string& marker,
                            const std::vector<SkySystem>& systems, int epochs) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) return false;
    auto header = [&](const std::string& text, const char* label) {
        std::fprintf(out, "%-60.60s%-20s\n", text.c_str(), label);
    };
    header("     3.04           OBSERVATION DATA    M", "RINEX VERSION / TYPE");
    header("sky_rinex           TEST                20240301 000000 UTC", "PGM / RUN BY / DATE");
    header(marker, "MARKER NAME");
    header("5302K41643          TRIMBLE NETR9       5.45", "REC # / TYPE / VERS");
    header("12345               TRM59800.00     NONE", "ANT # / TYPE");
    header("  4449541.1000   723423.5000  4497127.0000", "APPROX POSITION XYZ");
    header("        1.2345        0.0000        0.0000", "ANTENNA: DELTA H/E/N");
    for (const SkySystem& s : systems)
        header(std::string(1, s.letter) + "    4 " + sky_types(s.letter), "SYS / # / OBS TYPES");
    header("    30.000", "INTERVAL");
    header("  2024     3     1     0     0    0.0000000     GPS", "TIME OF FIRST OBS");
    header("", "END OF HEADER");

    struct Satellite {
        char letter;
        int number;
        int index;  // over all systems
    };
    std::vector<Satellite> sky;
    for (const SkySystem& s : systems)
        for (int n = 1; n <= s.satellites; ++n)
            sky.push_back({s.letter, n, static_cast<int>(sky.size())});
    for (int e = 0; e < epochs; ++e) {
        std::vector<const Satellite*> in_view;
        for (const Satellite& s : sky)
            if ((e + 7 * s.index) % 120 < 70) in_view.push_back(&s);
        const int seconds = e * 30;
        std::fprintf(out, "> 2024 03 01 %02d %02d %10.7f  0%3zu\n", seconds / 3600,
                     seconds / 60 % 60, static_cast<double>(seconds % 60), in_view.size());
        for (const Satellite* s : in_view) {
            const char snr = static_cast<char>('4' + (s->index + e / 20) % 6);
            const char lli = (e + s->index) % 97 == 0 ? '1' : ' ';
            std::fprintf(out, "%c%02d", s->letter, s->number);
            for (int k = 0; k < 4; ++k)
                std::fprintf(out, "%14.3f%c%c", 2.0e7 + 1000.0 * s->index + 3.1 * seconds + k,
                             k % 2 == 1 ? lli : ' ', snr);
            std::fputc('\n', out);
        }
    }
    return std::fclose(out) == 0;
}

}  // namespace testkit
