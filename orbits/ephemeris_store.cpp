#include "orbits/ephemeris_store.h"

#include <algorithm>
#include <cstring>

namespace orbits {

namespace {
constexpr char systems[] = "GRECJ";
constexpr int prns_per_system = 100;  // PRN 1 to 99, QZSS as J01 and up
const std::vector<Ephemeris> none;
}  // namespace

int EphemerisStore::slot(char system, int prn) {
    const char* at = system != 0 ? std::strchr(systems, system) : nullptr;
    if (at == nullptr || prn < 0) return -1;
    if (prn >= prns_per_system) return -1;
    return static_cast<int>(at - systems) * prns_per_system + prn;
}

void EphemerisStore::add(const Ephemeris& eph) {
    const int s = slot(eph.system, eph.prn);
    if (s < 0) return;
    if (satellites_.size() <= static_cast<std::size_t>(s)) satellites_.resize(s + 1);
    std::vector<Ephemeris>& list = satellites_[s];
    auto at = list.end();
    while (at != list.begin() && (at - 1)->reference_gps > eph.reference_gps) --at;
    auto same = at;  // the ephemerides of the same reference time: [same, at)
    while (same != list.begin() && (same - 1)->reference_gps == eph.reference_gps) --same;
    // A Galileo F/NAV ephemeris of the same reference time as a healthy I/NAV
    // one is never chosen (the I/NAV one wins the tie) and bounds no span the
    // other does not: it is not kept.
    const auto shadows = [](const Ephemeris& inav, const Ephemeris& fnav) {
        return inav.system == 'E' && inav.healthy && !inav.fnav && fnav.fnav;
    };
    if (std::any_of(same, at, [&](const Ephemeris& e) { return shadows(e, eph); })) return;
    const auto shadowed = std::remove_if(same, at, [&](const Ephemeris& e) { return shadows(eph, e); });
    count_ -= static_cast<std::size_t>(at - shadowed);
    at = list.erase(shadowed, at);
    list.insert(at, eph);
    ++count_;
}

void EphemerisStore::reserve(char system, int prn, std::size_t count) {
    const int s = slot(system, prn);
    if (s < 0) return;
    if (satellites_.size() <= static_cast<std::size_t>(s)) satellites_.resize(s + 1);
    satellites_[s].reserve(count);
}

const std::vector<Ephemeris>& EphemerisStore::of_satellite(char system, int prn) const {
    const int s = slot(system, prn);
    if (s < 0 || static_cast<std::size_t>(s) >= satellites_.size()) return none;
    return satellites_[s];
}

namespace {

// The ephemerides of a list (in the order of reference times) whose
// reference times lie within [from, to].
struct Window {
    const Ephemeris* first;
    std::size_t count;
};
Window window(const std::vector<Ephemeris>& list, double from, double to) {
    const auto a = std::lower_bound(list.begin(), list.end(), from,
                                    [](const Ephemeris& e, double t) { return e.reference_gps < t; });
    const auto b = std::upper_bound(a, list.end(), to,
                                    [](double t, const Ephemeris& e) { return t < e.reference_gps; });
    return {list.data() + (a - list.begin()), static_cast<std::size_t>(b - a)};
}

}  // namespace

const Ephemeris* EphemerisStore::serving(char system, int prn, double gps_seconds) const {
    // Only the ephemerides within their validity of the time can serve it.
    const double validity = validity_of(system);
    const Window w = window(of_satellite(system, prn), gps_seconds - validity, gps_seconds + validity);
    const int i = choose_ephemeris(w.first, w.count, system, prn, gps_seconds);
    return i < 0 ? nullptr : w.first + i;
}

const Ephemeris* EphemerisStore::serving(char system, int prn, double gps_seconds, double* from,
                                         double* to) const {
    const std::vector<Ephemeris>& list = of_satellite(system, prn);
    const double validity = validity_of(system);
    const Ephemeris* chosen = serving(system, prn, gps_seconds);
    if (chosen != nullptr) {
        // Another ephemeris bounds the span only from within two validities.
        const Window w = window(list, chosen->reference_gps - 2 * validity, chosen->reference_gps + 2 * validity);
        serving_span(w.first, w.count, *chosen, from, to);
        // The answer holds at the time itself, also within the millisecond
        // the span leaves open at its ends.
        *from = std::min(*from, gps_seconds);
        *to = std::max(*to, gps_seconds);
        return chosen;
    }
    // None serves: looked for within three validities either side, so the
    // span stays within two.
    const double reach = 3 * validity;
    const Window w = window(list, gps_seconds - reach, gps_seconds + reach);
    unserved_span(w.first, w.count, system, prn, gps_seconds, from, to);
    *from = std::min(std::max(*from, gps_seconds - reach + validity), gps_seconds);
    *to = std::max(std::min(*to, gps_seconds + reach - validity), gps_seconds);
    return nullptr;
}

bool EphemerisStore::has_orbit(char system, int prn, double gps_seconds, double* from, double* to) const {
    if (serving(system, prn, gps_seconds) == nullptr) {
        serving(system, prn, gps_seconds, from, to);
        return false;
    }
    // The validities, all of one length, begin in the order of the reference
    // times: joined forward while each begins before the joined ones end,
    // then backward while each ends after they begin.
    const std::vector<Ephemeris>& list = of_satellite(system, prn);
    const double validity = validity_of(system);
    double lo = gps_seconds, hi = gps_seconds;
    const auto near = std::lower_bound(list.begin(), list.end(), gps_seconds - validity,
                                       [](const Ephemeris& e, double t) { return e.reference_gps < t; });
    for (auto it = near; it != list.end() && it->reference_gps - validity <= hi; ++it)
        if (it->healthy) {
            lo = std::min(lo, it->reference_gps - validity);
            hi = std::max(hi, it->reference_gps + validity);
        }
    for (auto it = near; it != list.begin() && (it - 1)->reference_gps + validity >= lo; --it)
        if ((it - 1)->healthy) lo = std::min(lo, (it - 1)->reference_gps - validity);
    *from = lo;
    *to = hi;
    return true;
}

}  // namespace orbits
