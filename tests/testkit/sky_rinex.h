// A RINEX 3.04 observation file of a sky of many satellites of every system,
// for the page tests of occupations with more satellites than real test files
// hold. Satellites are numbered 1, 2, ... within their system; each is in view
// in 70 of every 120 epochs, in a window that moves on from satellite to
// satellite, with S/N digits that change every 20 epochs and a rare loss of
// lock. The same arguments give the same file.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace testkit {

struct SkySystem {
    char letter;
    int satellites;
};

// Writes `epochs` epochs of 30 s from 2024-03-01 00:00:00 for the marker
// `marker`, with code and phase of the two signals the reader takes as L1 and
// L2 for each system.
inline bool write_sky_rinex(const std::string& path, const std::string& marker,
                            const std::vector<SkySystem>& systems, int epochs) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) return false;
    auto header = [&](const std::string& text, const char* label) {
        std::fprintf(out, "%-60.60s%-20s\n", text.c_str(), label);
    };
    header("     3.04           OBSERVATION DATA    M", "RINEX VERSION / TYPE");
    header(marker, "MARKER NAME");
    header("  4449541.1000   723423.5000  4497127.0000", "APPROX POSITION XYZ");
    const char* types =
        "GC1C L1C C2W L2W RC1C L1C C2P L2P EC1C L1C C5Q L5Q CC2I L2I C7I L7I "
        "JC1C L1C C2L L2L IC5A L5A C9A L9A SC1C L1C C5I L5I ";
    for (const SkySystem& s : systems)
        header(
            std::string(1, s.letter) + "    4 " + std::string(std::strchr(types, s.letter) + 1, 15),
            "SYS / # / OBS TYPES");
    header("    30.000", "INTERVAL");
    header("  2024     3     1     0     0    0.0000000     GPS", "TIME OF FIRST OBS");
    header("", "END OF HEADER");

    std::vector<std::string> sky;  // "G01", ...
    char id[16];
    for (const SkySystem& s : systems)
        for (int n = 1; n <= s.satellites; ++n) {
            std::snprintf(id, sizeof id, "%c%02d", s.letter, n);
            sky.push_back(id);
        }
    for (int e = 0; e < epochs; ++e) {
        std::vector<int> in_view;
        for (int i = 0; i < static_cast<int>(sky.size()); ++i)
            if ((e + 7 * i) % 120 < 70) in_view.push_back(i);
        const int seconds = e * 30;
        std::fprintf(out, "> 2024 03 01 %02d %02d %10.7f  0%3zu\n", seconds / 3600,
                     seconds / 60 % 60, static_cast<double>(seconds % 60), in_view.size());
        for (int i : in_view) {
            const char snr = static_cast<char>('4' + (i + e / 20) % 6);
            const char lli = (e + i) % 97 == 0 ? '1' : ' ';
            std::fprintf(out, "%s", sky[static_cast<std::size_t>(i)].c_str());
            for (int k = 0; k < 4; ++k)
                std::fprintf(out, "%14.3f%c%c", 2.0e7 + 1000.0 * i + 3.1 * seconds + k,
                             k % 2 == 1 ? lli : ' ', snr);
            std::fputc('\n', out);
        }
    }
    return std::fclose(out) == 0;
}

}  // namespace testkit
