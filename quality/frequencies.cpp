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
