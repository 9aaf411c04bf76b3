#include "orbits/ephemeris_store.h"

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
    satellites_[s].push_back(eph);
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

const Ephemeris* EphemerisStore::serving(char system, int prn, double gps_seconds) const {
    const std::vector<Ephemeris>& list = of_satellite(system, prn);
    const int i = choose_ephemeris(list.data(), list.size(), system, prn, gps_seconds);
    return i < 0 ? nullptr : &list[i];
}

}  // namespace orbits
