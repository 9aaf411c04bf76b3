#include "orbits/test_files.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "input/input_stream.h"
#include "input/observation_source.h"
#include "orbits/frequencies.h"
#include "orbits/time_scales.h"

namespace orbits_test {

namespace {

std::vector<std::string> read_lines(const std::string& path) {
    input::InputStream in;
    if (!in.open(path)) throw std::runtime_error("cannot open " + path + ": " + in.error());
    input::LineReader reader(in);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line)) lines.emplace_back(line);
    if (reader.failed()) throw std::runtime_error(path + ": " + reader.error());
    return lines;
}

std::string field(const std::string& line, std::size_t from, std::size_t width) {
    if (from >= line.size()) return "";
    return line.substr(from, width);
}

// A number of a navigation file (Fortran D exponents allowed); blank is 0.
double number(const std::string& line, std::size_t from, std::size_t width) {
    std::string text = field(line, from, width);
    for (char& c : text)
        if (c == 'D' || c == 'd') c = 'E';
    return std::strtod(text.c_str(), nullptr);
}

int integer(const std::string& line, std::size_t from, std::size_t width) {
    return std::atoi(field(line, from, width).c_str());
}

bool label_is(const std::string& line, const char* label) {
    return line.size() > 60 && line.compare(60, std::strlen(label), label) == 0;
}

}  // namespace

NavFile read_nav_file(const std::string& path) {
    const std::vector<std::string> lines = read_lines(path);
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    NavFile file;
    file.parsed = parse_nav_text(text);
    if (!file.parsed.ok)
        throw std::runtime_error(path + ":" + std::to_string(file.parsed.error_line) + ": " + file.parsed.error_text);
    const NavHeader& header = file.parsed.header;
    if (header.gps.present) {
        file.klobuchar.known = true;
        std::copy(header.gps.alpha, header.gps.alpha + 4, file.klobuchar.alpha);
        std::copy(header.gps.beta, header.gps.beta + 4, file.klobuchar.beta);
    }
    file.leap_seconds = header.leap_seconds_present ? header.leap_seconds : -1;
    for (std::size_t i = 0; i + 3 < lines.size() && !file.klobuchar.known; ++i) {
        const std::string& first = lines[i];
        if (first.compare(0, 7, "> ION G") != 0 || first.find("LNAV") == std::string::npos) continue;
        const std::string& a = lines[i + 1];
        const std::string& b = lines[i + 2];
        const std::string& c = lines[i + 3];
        orbits::KlobucharParameters& k = file.klobuchar;
        k.alpha[0] = number(a, 23, 19), k.alpha[1] = number(a, 42, 19), k.alpha[2] = number(a, 61, 19);
        k.alpha[3] = number(b, 4, 19), k.beta[0] = number(b, 23, 19), k.beta[1] = number(b, 42, 19);
        k.beta[2] = number(b, 61, 19), k.beta[3] = number(c, 4, 19);
        k.known = true;
    }
    return file;
}

orbits::EphemerisStore store_of(const NavFile& file) {
    orbits::EphemerisStore store;
    for (const NavEphemeris& r : file.parsed.ephemerides) {
        char kind[sizeof r.kind + 1] = {};
        std::memcpy(kind, r.kind, sizeof r.kind);
        orbits::Ephemeris eph;
        if (orbits::decode_ephemeris(r.system, r.prn, r.toc, r.values, kind, file.leap_seconds, &eph)) store.add(eph);
    }
    return store;
}

PreciseOrbit read_sp3(const std::string& path) {
    PreciseOrbit orbit;
    double epoch = 0;
    for (const std::string& l : read_lines(path)) {
        if (l.compare(0, 2, "* ") == 0) {
            epoch = orbits::calendar_seconds(integer(l, 3, 4), integer(l, 8, 2), integer(l, 11, 2), integer(l, 14, 2),
                                             integer(l, 17, 2), number(l, 20, 11));
        } else if (l.size() > 46 && l[0] == 'P') {
            const double x = number(l, 4, 14), y = number(l, 18, 14), z = number(l, 32, 14);
            if (x == 0 || std::fabs(x) > 999999 - 1) continue;  // no position
            orbit.positions[l.substr(1, 3)][epoch] = {x * 1000, y * 1000, z * 1000};
        }
    }
    return orbit;
}

ObservationFile read_rinex3_codes(const std::string& path, const std::map<int, int>& glonass_channels,
                                  const std::string& systems) {
    input::ObservationSource source;
    if (!source.open(path)) throw std::runtime_error(source.error());
    std::vector<std::string> lines;
    std::string_view view;
    while (source.next(view)) lines.emplace_back(view);
    if (source.failed()) throw std::runtime_error(source.error());

    ObservationFile file;
    std::map<char, std::vector<std::string>> types;
    std::size_t i = 0;
    char continued = 0;
    for (; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (label_is(l, "APPROX POSITION XYZ")) {
            for (int k = 0; k < 3; ++k) file.header_position[k] = number(l, 14 * k, 14);
        } else if (label_is(l, "SYS / # / OBS TYPES")) {
            const char system = l[0] != ' ' ? l[0] : continued;
            continued = system;
            for (int k = 0; k < 13; ++k) {
                const std::string t = field(l, 7 + 4 * k, 3);
                if (t.size() == 3 && t[0] != ' ') types[system].push_back(t);
            }
        } else if (label_is(l, "END OF HEADER")) {
            ++i;
            break;
        }
    }
    // The first type of each list that the system has: its column.
    auto column = [&](char system, const std::vector<const char*>& wanted) {
        const std::vector<std::string>& list = types[system];
        for (const char* w : wanted)
            for (std::size_t k = 0; k < list.size(); ++k)
                if (list[k] == w) return static_cast<int>(k);
        return -1;
    };
    // The codes of each system with their frequencies (GLONASS: by channel).
    struct Codes {
        std::vector<const char*> first, second;
        double frequency[2];
    };
    const std::map<char, Codes> codes = {
        {'G', {{"C1W", "C1C"}, {"C2W", "C2L", "C2X"}, {orbits::l1_frequency, orbits::l2_frequency}}},
        {'E', {{"C1C", "C1X"}, {"C5Q", "C5X"}, {orbits::l1_frequency, 1176.45e6}}},
        {'C', {{"C2I"}, {"C7I"}, {orbits::b1i_frequency, orbits::b2i_frequency}}},
        {'J', {{"C1C"}, {"C2L"}, {orbits::l1_frequency, orbits::l2_frequency}}},
        {'R', {{"C1P", "C1C"}, {"C2P", "C2C"}, {0, 0}}},
    };
    while (i < lines.size()) {
        const std::string& head = lines[i];
        if (head.empty() || head[0] != '>') {
            ++i;
            continue;
        }
        const int flag = integer(head, 31, 1);
        const int count = integer(head, 32, 3);
        ++i;
        if (flag > 1) {
            i += count;
            continue;
        }
        ObservationEpoch epoch;
        epoch.gps_seconds = orbits::calendar_seconds(integer(head, 2, 4), integer(head, 7, 2), integer(head, 10, 2),
                                                     integer(head, 13, 2), integer(head, 16, 2), number(head, 18, 11));
        for (int k = 0; k < count && i < lines.size(); ++k, ++i) {
            const std::string& l = lines[i];
            orbits::CodeObservation o{};
            o.system = l[0];
            o.prn = integer(l, 1, 2);
            const auto system = codes.find(o.system);
            if (systems.find(o.system) == std::string::npos || system == codes.end()) continue;
            const int c1 = column(o.system, system->second.first), c2 = column(o.system, system->second.second);
            o.frequency[0] = system->second.frequency[0], o.frequency[1] = system->second.frequency[1];
            if (o.system == 'R') {
                const auto channel = glonass_channels.find(o.prn);
                if (channel == glonass_channels.end()) continue;
                o.frequency[0] = orbits::glonass_g1_frequency(channel->second);
                o.frequency[1] = orbits::glonass_g2_frequency(channel->second);
            }
            o.code[0] = c1 >= 0 ? number(l, 3 + 16 * c1, 14) : 0;
            o.code[1] = c2 >= 0 ? number(l, 3 + 16 * c2, 14) : 0;
            epoch.codes.push_back(o);
        }
        file.epochs.push_back(epoch);
    }
    return file;
}

}  // namespace orbits_test
