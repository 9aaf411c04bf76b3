// The ephemerides of a campaign grouped by satellite, so that the one that
// serves a satellite at a time is found among that satellite's alone.
#pragma once

#include <vector>

#include "orbits/ephemeris.h"

namespace orbits {

class EphemerisStore {
public:
    // Each satellite's list is kept in the order of the reference times
    // (the order added among equal ones), so that the ephemerides near a
    // time are found by halving. A Galileo F/NAV ephemeris is not kept
    // beside a healthy I/NAV one of the same reference time, which always
    // serves in its place.
    void add(const Ephemeris& eph);
    // Room for `count` ephemerides of a satellite, so that a list added to
    // record by record grows once.
    void reserve(char system, int prn, std::size_t count);
    // The serving ephemeris (see choose_ephemeris), or null: no position.
    const Ephemeris* serving(char system, int prn, double gps_seconds) const;
    // The same, with the span of times (from, to) around `gps_seconds` over
    // which the answer stays the same: the serving_span of the one chosen,
    // or where none serves, a part of its unserved_span.
    const Ephemeris* serving(char system, int prn, double gps_seconds, double* from, double* to) const;
    // Whether any ephemeris serves the satellite at `gps_seconds`, with the
    // span (from, to) around it over which that stays so: where one serves,
    // the validities of its healthy ephemerides joined up to the first gap
    // either side; where none does, the span that serving gives.
    bool has_orbit(char system, int prn, double gps_seconds, double* from, double* to) const;
    // All ephemerides of one satellite, in the order of their reference times.
    const std::vector<Ephemeris>& of_satellite(char system, int prn) const;
    bool empty() const { return count_ == 0; }
    std::size_t size() const { return count_; }

private:
    static int slot(char system, int prn);
    std::vector<std::vector<Ephemeris>> satellites_;
    std::size_t count_ = 0;
};

}  // namespace orbits
