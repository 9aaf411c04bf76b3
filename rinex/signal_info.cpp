#include "rinex/signal_info.h"

#include <cstring>

void read_glonass_slot_line(std::string_view line, std::vector<GlonassChannel>* out) {
    for (std::size_t at = 4; at + 6 <= line.size(); at += 7) {
        const std::string_view pair = line.substr(at, 6);
        if (pair[0] != 'R' || pair[1] < '0' || pair[1] > '9' || pair[2] < '0' || pair[2] > '9')
            continue;
        const int slot = (pair[1] - '0') * 10 + (pair[2] - '0');
        // The channel: I2 in the pair's columns 5-6, a sign or blank before one digit.
        const char sign = pair[4];
        const char digit = pair[5];
        if (digit < '0' || digit > '9' || (sign != ' ' && sign != '-' && (sign < '0' || sign > '9')))
            continue;
        int channel = digit - '0';
        if (sign == '-') channel = -channel;
        if (sign >= '0' && sign <= '9') channel += 10 * (sign - '0');
        if (slot < 1 || channel < -7 || channel > 13) continue;
        out->push_back({slot, channel});
    }
}

std::vector<sig_record> slot_codes(const rinex3_type_lists& lists, const rinex3_plan& plan) {
    std::vector<sig_record> out;
    for (int i = 0; i < lists.system_count; ++i) {
        const rinex3_system_types& types = lists.systems[i];
        const rinex3_selection* selection = rinex3_plan_for(plan, types.system);
        if (selection == nullptr) continue;
        sig_record sig{};
        sig.system = types.system;
        bool any = false;
        for (int slot = 0; slot < OBS_SLOTS; ++slot) {
            const int type = selection->type_of_slot[slot];
            if (type < 0 || type >= types.listed) continue;
            std::memcpy(sig.codes[slot], types.type[type], 3);
            sig.codes[slot][3] = '\0';
            any = true;
        }
        if (any) out.push_back(sig);
    }
    return out;
}
