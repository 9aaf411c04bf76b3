#include "quality/occupation_carriers.h"

#include <cstdlib>
#include <cstring>

#include "obsdb/schema.h"
#include "obsdb/signal_tables.h"

const OccupationCarriers::Codes& OccupationCarriers::codes_of(char system) {
    Codes& c = codes_[system];
    if (!c.read) {
        c.read = true;
        occupation_signal_codes(occupation_, system, c.slots);
    }
    return c;
}

const Carriers* OccupationCarriers::of(const char* prn) {
    const std::string key(prn, strnlen(prn, 3));
    const auto found = satellites_.find(key);
    if (found != satellites_.end()) return found->second;
    const char system = satellite_system(prn);
    SlotFrequencies f{};
    bool known = slot_frequencies(system, &f);
    if (!known && (system == 'R' || system == 'C')) {
        const Codes& codes = codes_of(system);
        int channel = 0;
        const bool has_channel =
            system == 'R' && glonass_channel(occupation_, std::atoi(key.c_str() + 1), &channel);
        known = satellite_slot_frequencies(system, codes.slots[OBS_L1], codes.slots[OBS_L2],
                                           has_channel ? &channel : nullptr, &f);
    }
    const Carriers* result = nullptr;
    if (known) {
        carriers_.push_back(carriers_of(f));
        result = &carriers_.back();
    }
    satellites_[key] = result;
    return result;
}
