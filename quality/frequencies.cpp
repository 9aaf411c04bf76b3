#include "quality/frequencies.h"

#include <iterator>

namespace {

struct SystemEntry {
    char letter;
    const char* name;
    bool fixed;  // both slot frequencies fixed for the whole system
    SlotFrequencies frequencies;
};

// In the order the report and the pages list the systems.
constexpr SystemEntry systems[] = {
    {'G', "GPS", true, {1575.42e6, 1227.60e6}},     {'R', "GLONASS", false, {0, 0}},
    {'E', "Galileo", true, {1575.42e6, 1176.45e6}}, {'C', "BeiDou", false, {0, 0}},
    {'J', "QZSS", true, {1575.42e6, 1227.60e6}},    {'I', "NavIC", true, {1176.45e6, 2492.028e6}},
    {'S', "SBAS", true, {1575.42e6, 1176.45e6}},
};

// Carriers by system and RINEX 3 band digit (Hz); GLONASS's FDMA bands 1
// and 2 are worked out from the channel instead.
struct BandEntry {
    char system;
    char band;
    double hz;
};
constexpr BandEntry bands[] = {
    {'G', '1', 1575.42e6},   {'G', '2', 1227.60e6},  {'G', '5', 1176.45e6},  {'R', '3', 1202.025e6},
    {'R', '4', 1600.995e6},  {'R', '6', 1248.06e6},  {'E', '1', 1575.42e6},  {'E', '5', 1176.45e6},
    {'E', '7', 1207.14e6},   {'E', '8', 1191.795e6}, {'E', '6', 1278.75e6},  {'C', '2', 1561.098e6},
    {'C', '5', 1176.45e6},   {'C', '7', 1207.14e6},  {'C', '8', 1191.795e6}, {'C', '6', 1268.52e6},
    {'J', '1', 1575.42e6},   {'J', '2', 1227.60e6},  {'J', '5', 1176.45e6},  {'J', '6', 1278.75e6},
    {'S', '1', 1575.42e6},   {'S', '5', 1176.45e6},  {'I', '5', 1176.45e6},  {'I', '9', 2492.028e6},
};

const SystemEntry* entry_of(char system) {
    for (const SystemEntry& e : systems)
        if (e.letter == system) return &e;
    return nullptr;
}

}  // namespace

char satellite_system(const char* prn) { return prn[0] == ' ' ? 'G' : prn[0]; }

bool slot_frequencies(char system, SlotFrequencies* out) {
    const SystemEntry* e = entry_of(system);
    if (!e || !e->fixed) return false;
    *out = e->frequencies;
    return true;
}

double code_carrier(char system, const char* code, const int* glonass_channel) {
    if (code == nullptr || code[0] == 0 || code[1] == 0) return 0;
    const char band = code[1], attribute = code[2];
    if (system == 'R' && (band == '1' || band == '2')) {
        if (glonass_channel == nullptr || *glonass_channel < -7 || *glonass_channel > 13) return 0;
        const int k = *glonass_channel;
        return band == '1' ? 1602.0e6 + k * 0.5625e6 : 1246.0e6 + k * 0.4375e6;
    }
    if (system == 'C' && band == '1') {
        if (attribute == 'I' || attribute == 'Q') return 1561.098e6;  // RINEX 3.02's B1I
        if (attribute == 'D' || attribute == 'P' || attribute == 'A' || attribute == 'N') return 1575.42e6;
        return 0;
    }
    for (const BandEntry& b : bands)
        if (b.system == system && b.band == band) return b.hz;
    return 0;
}

bool satellite_slot_frequencies(char system, const char* l1_code, const char* l2_code,
                                const int* glonass_channel, SlotFrequencies* out) {
    if (slot_frequencies(system, out)) return true;
    SlotFrequencies f{};
    if (system == 'R') {
        // RINEX 2 files, and RINEX 3 slots of the FDMA bands.
        f.l1_hz = code_carrier('R', l1_code && l1_code[0] ? l1_code : "L1C", glonass_channel);
        f.l2_hz = code_carrier('R', l2_code && l2_code[0] ? l2_code : "L2P", glonass_channel);
    } else if (system == 'C') {
        f.l1_hz = code_carrier('C', l1_code, nullptr);
        f.l2_hz = code_carrier('C', l2_code, nullptr);
    }
    if (f.l1_hz <= 0 || f.l2_hz <= 0 || f.l1_hz == f.l2_hz) return false;
    *out = f;
    return true;
}

const char* system_name(char system) {
    const SystemEntry* e = entry_of(system);
    return e ? e->name : "?";
}

int system_rank(char system) {
    if (system != '\0')
        for (std::size_t i = 0; i < std::size(systems); ++i)
            if (systems[i].letter == system) return static_cast<int>(i);
    return static_cast<int>(std::size(systems)) + static_cast<unsigned char>(system);
}
