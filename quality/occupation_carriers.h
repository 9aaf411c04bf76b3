// The carriers of each satellite of one occupation: the fixed ones of its
// system, or for GLONASS those of its frequency channel (the occupation's
// header, else the campaign's ephemerides) and for BeiDou those of the
// signals the read stored for its slots. Worked out once per satellite and
// kept at a fixed address, as the arc checks hold them.
#pragma once

#include <deque>
#include <map>
#include <string>

#include "quality/combinations.h"

class OccupationCarriers {
public:
    explicit OccupationCarriers(long occupation) : occupation_(occupation) {}
    // The carriers of a stored satellite ("R07", " 5"), or null where they
    // cannot be told.
    const Carriers* of(const char* prn);

private:
    struct Codes {
        bool read = false;
        char slots[5][4] = {};
    };
    const Codes& codes_of(char system);

    long occupation_;
    std::map<char, Codes> codes_;
    std::map<std::string, const Carriers*> satellites_;
    std::deque<Carriers> carriers_;
};
