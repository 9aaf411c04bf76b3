#include "orbits/test_files.h"

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
    NavFile file;
    std::size_t i = 0;
    double version = 0;
    char type = ' ';
    for (; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (label_is(l, "RINEX VERSION")) {
            version = number(l, 0, 9);
            type = l[20];
        } else if (label_is(l, "ION ALPHA") || label_is(l, "ION BETA")) {
            double* to = label_is(l, "ION ALPHA") ? file.klobuchar.alpha : file.klobuchar.beta;
            for (int k = 0; k < 4; ++k) to[k] = number(l, 2 + 12 * k, 12);
            file.klobuchar.known = true;
        } else if (label_is(l, "IONOSPHERIC CORR") && (l.compare(0, 4, "GPSA") == 0 || l.compare(0, 4, "GPSB") == 0)) {
            double* to = l[3] == 'A' ? file.klobuchar.alpha : file.klobuchar.beta;
            for (int k = 0; k < 4; ++k) to[k] = number(l, 5 + 12 * k, 12);
            file.klobuchar.known = true;
        } else if (label_is(l, "LEAP SECONDS")) {
            file.leap_seconds = integer(l, 0, 6);
        } else if (label_is(l, "END OF HEADER")) {
            ++i;
            break;
        }
    }
    const bool v2 = version < 3;
    while (i < lines.size()) {
        const std::string& first = lines[i];
        if (first.find_first_not_of(' ') == std::string::npos) {
            ++i;
            continue;
        }
        if (first[0] == '>') {
            // Version 4: "> EPH G02 LNAV" heads a record of the kind named;
            // "> ION G29 LNAV" holds the Klobuchar parameters; other records
            // (and the rest of these) are skipped up to the next '>'.
            if (first.compare(0, 5, "> ION") == 0 && first.find("LNAV") != std::string::npos && i + 3 < lines.size()) {
                const std::string& a = lines[i + 1];
                const std::string& b = lines[i + 2];
                const std::string& c = lines[i + 3];
                file.klobuchar.alpha[0] = number(a, 23, 19), file.klobuchar.alpha[1] = number(a, 42, 19);
                file.klobuchar.alpha[2] = number(a, 61, 19), file.klobuchar.alpha[3] = number(b, 4, 19);
                file.klobuchar.beta[0] = number(b, 23, 19), file.klobuchar.beta[1] = number(b, 42, 19);
                file.klobuchar.beta[2] = number(b, 61, 19), file.klobuchar.beta[3] = number(c, 4, 19);
                file.klobuchar.known = true;
            }
            const bool eph = first.compare(0, 5, "> EPH") == 0;
            ++i;
            if (!eph)
                while (i < lines.size() && (lines[i].empty() || lines[i][0] != '>')) ++i;
            continue;
        }
        NavRecord r{};
        std::size_t value_column;
        int continuation;
        if (v2) {
            r.system = type == 'G' ? 'R' : 'G';
            r.prn = integer(first, 0, 2);
            int year = integer(first, 3, 2);
            year += year < 80 ? 2000 : 1900;
            r.toc = orbits::calendar_seconds(year, integer(first, 6, 2), integer(first, 9, 2), integer(first, 12, 2),
                                             integer(first, 15, 2), number(first, 17, 5));
            value_column = 22;
            continuation = r.system == 'R' ? 3 : 7;
        } else {
            r.system = first[0];
            r.prn = integer(first, 1, 2);
            r.toc = orbits::calendar_seconds(integer(first, 4, 4), integer(first, 9, 2), integer(first, 12, 2),
                                             integer(first, 15, 2), integer(first, 18, 2), integer(first, 21, 2));
            value_column = 23;
            // Continuation lines start with blanks; the next record with its system.
            continuation = 0;
            while (i + 1 + continuation < lines.size() && lines[i + 1 + continuation].size() > 4 &&
                   lines[i + 1 + continuation][0] == ' ')
                ++continuation;
        }
        for (int k = 0; k < 3; ++k) r.values[k] = number(first, value_column + 19 * k, 19);
        const std::size_t indent = v2 ? 3 : 4;
        for (int line = 0; line < continuation && line < 7; ++line) {
            const std::string& l = i + 1 + line < lines.size() ? lines[i + 1 + line] : std::string();
            for (int k = 0; k < 4; ++k) r.values[3 + 4 * line + k] = number(l, indent + 19 * k, 19);
        }
        i += 1 + continuation;
        file.records.push_back(r);
    }
    return file;
}

orbits::EphemerisStore store_of(const NavFile& file, int* decoded) {
    orbits::EphemerisStore store;
    int kept = 0;
    for (const NavRecord& r : file.records) {
        orbits::Ephemeris eph;
        if (!orbits::decode_ephemeris(r.system, r.prn, r.toc, r.values, "", file.leap_seconds, &eph)) continue;
        store.add(eph);
        ++kept;
    }
    if (decoded != nullptr) *decoded = kept;
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

ObservationFile read_rinex2_codes(const std::string& path, const std::map<int, int>& glonass_channels) {
    const std::vector<std::string> lines = read_lines(path);
    ObservationFile file;
    std::vector<std::string> types;
    std::size_t i = 0;
    for (; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (label_is(l, "APPROX POSITION XYZ")) {
            for (int k = 0; k < 3; ++k) file.header_position[k] = number(l, 14 * k, 14);
        } else if (label_is(l, "# / TYPES OF OBSERV")) {
            for (int k = 0; k < 9; ++k) {
                const std::string t = field(l, 10 + 6 * k, 2);
                if (t.size() == 2 && t[0] != ' ') types.push_back(t);
            }
        } else if (label_is(l, "END OF HEADER")) {
            ++i;
            break;
        }
    }
    auto index_of = [&](const char* t) {
        for (std::size_t k = 0; k < types.size(); ++k)
            if (types[k] == t) return static_cast<int>(k);
        return -1;
    };
    const int c1 = index_of("C1"), p1 = index_of("P1"), p2 = index_of("P2");
    const int lines_per_satellite = (static_cast<int>(types.size()) + 4) / 5;
    while (i < lines.size()) {
        const std::string& head = lines[i];
        const int flag = integer(head, 28, 1);
        const int count = integer(head, 29, 3);
        int year = integer(head, 1, 2);
        year += year < 80 ? 2000 : 1900;
        ObservationEpoch epoch;
        epoch.gps_seconds = orbits::calendar_seconds(year, integer(head, 4, 2), integer(head, 7, 2),
                                                     integer(head, 10, 2), integer(head, 13, 2), number(head, 15, 11));
        std::vector<std::string> satellites;
        std::size_t at = i;
        for (int k = 0; k < count; ++k) {
            if (k > 0 && k % 12 == 0) ++at;
            std::string id = field(lines[at], 32 + 3 * (k % 12), 3);
            if (id[0] == ' ') id[0] = 'G';
            satellites.push_back(id);
        }
        i = at + 1;
        if (flag > 1) {  // an event: `count` lines of header records follow
            i += count;
            continue;
        }
        for (const std::string& id : satellites) {
            std::vector<double> values(types.size(), 0.0);
            for (std::size_t k = 0; k < types.size(); ++k) {
                const std::string& l = lines[i + k / 5];
                values[k] = number(l, 16 * (k % 5), 14);
            }
            i += lines_per_satellite;
            orbits::CodeObservation o{};
            o.system = id[0];
            o.prn = std::atoi(id.c_str() + 1);
            const double first = p1 >= 0 && values[p1] != 0 ? values[p1] : c1 >= 0 ? values[c1] : 0;
            o.code[0] = first;
            o.code[1] = p2 >= 0 ? values[p2] : 0;
            if (o.system == 'G') {
                o.frequency[0] = orbits::l1_frequency;
                o.frequency[1] = orbits::l2_frequency;
            } else if (o.system == 'R') {
                const auto channel = glonass_channels.find(o.prn);
                if (channel == glonass_channels.end()) continue;
                o.frequency[0] = orbits::glonass_g1_frequency(channel->second);
                o.frequency[1] = orbits::glonass_g2_frequency(channel->second);
            } else {
                continue;
            }
            epoch.codes.push_back(o);
        }
        file.epochs.push_back(epoch);
    }
    return file;
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
    auto column = [&](char system, std::initializer_list<const char*> wanted) {
        const std::vector<std::string>& list = types[system];
        for (const char* w : wanted)
            for (std::size_t k = 0; k < list.size(); ++k)
                if (list[k] == w) return static_cast<int>(k);
        return -1;
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
            if (systems.find(o.system) == std::string::npos) continue;
            int c1 = -1, c2 = -1;
            switch (o.system) {
                case 'G':
                    c1 = column('G', {"C1W", "C1C"}), c2 = column('G', {"C2W", "C2L", "C2X"});
                    o.frequency[0] = orbits::l1_frequency, o.frequency[1] = orbits::l2_frequency;
                    break;
                case 'E':
                    c1 = column('E', {"C1C", "C1X"}), c2 = column('E', {"C5Q", "C5X"});
                    o.frequency[0] = orbits::l1_frequency, o.frequency[1] = 1176.45e6;
                    break;
                case 'C':
                    c1 = column('C', {"C2I"}), c2 = column('C', {"C7I"});
                    o.frequency[0] = orbits::b1i_frequency, o.frequency[1] = orbits::b2i_frequency;
                    break;
                case 'J':
                    c1 = column('J', {"C1C"}), c2 = column('J', {"C2L"});
                    o.frequency[0] = orbits::l1_frequency, o.frequency[1] = orbits::l2_frequency;
                    break;
                case 'R': {
                    const auto channel = glonass_channels.find(o.prn);
                    if (channel == glonass_channels.end()) continue;
                    c1 = column('R', {"C1P", "C1C"}), c2 = column('R', {"C2P", "C2C"});
                    o.frequency[0] = orbits::glonass_g1_frequency(channel->second);
                    o.frequency[1] = orbits::glonass_g2_frequency(channel->second);
                    break;
                }
                default:
                    continue;
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
