// The ephemerides of a campaign grouped by satellite, so that the one that
// serves a satellite at a time is found among that satellite's alone.
#pragma once

#include <vector>

#include "orbits/ephemeris.h"

namespace orbits {

class EphemerisStore {
public:
    void add(const Ephemeris& eph);
    // Room for `count` ephemerides of a satellite, so that a list added to
    // record by record grows once.
    void reserve(char system, int prn, std::size_t count);
    // The serving ephemeris (see choose_ephemeris), or null: no position.
    const Ephemeris* serving(char system, int prn, double gps_seconds) const;
    // All ephemerides of one satellite, in the order added.
    const std::vector<Ephemeris>& of_satellite(char system, int prn) const;
    bool empty() const { return count_ == 0; }
    std::size_t size() const { return count_; }

private:
    static int slot(char system, int prn);
    std::vector<std::vector<Ephemeris>> satellites_;
    std::size_t count_ = 0;
};

}  // namespace orbits
