#include "orbits/occupation_sky.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <numbers>

#include "obsdb/nav_tables.h"
#include "orbits/ephemeris.h"
#include "orbits/time_scales.h"

namespace orbits {

namespace {

constexpr char track_systems[] = "GRECJ";
constexpr int track_prns = 100;

int track_slot(char system, int prn) {
    const char* at = system != 0 ? std::strchr(track_systems, system) : nullptr;
    if (at == nullptr || prn < 1 || prn >= track_prns) return -1;
    return static_cast<int>(at - track_systems) * track_prns + prn;
}

// The leap seconds of the navigation file whose ephemerides span `toc`
// (a day either side, for a record just outside a file's first and last),
// or -1: the program's table.
int leap_seconds_for(const std::vector<nav_record>& headers, double toc) {
    for (const nav_record& nav : headers) {
        if ((nav.present & NAV_LEAP_SECONDS) == 0 || nav.leap_seconds < 0) continue;
        if (toc >= nav.first_toc - 86400.0 && toc <= nav.last_toc + 86400.0) return nav.leap_seconds;
    }
    return -1;
}

}  // namespace

bool parse_satellite(const char* text, char* system, int* prn) {
    if (text == nullptr || text[0] == 0) return false;
    char s = text[0];
    const char* digits = text + 1;
    if (s == ' ') s = 'G';
    else if (std::isdigit(static_cast<unsigned char>(s))) s = 'G', digits = text;
    if (std::strchr(track_systems, s) == nullptr && std::strchr("SI", s) == nullptr) return false;
    int n = 0, count = 0;
    while (*digits == ' ') ++digits;
    for (; std::isdigit(static_cast<unsigned char>(*digits)) && count < 3; ++digits, ++count)
        n = n * 10 + (*digits - '0');
    if (count == 0 || (*digits != 0 && *digits != ' ')) return false;
    *system = s;
    *prn = n;
    return true;
}

OccupationSky::OccupationSky(std::shared_ptr<const EphemerisStore> store, const double position[3])
    : store_(std::move(store)), station_(station_frame(position[0], position[1], position[2])) {}

SkyDirection OccupationSky::direction(const char* satellite, double time_value) {
    char system = 0;
    int prn = 0;
    if (!parse_satellite(satellite, &system, &prn)) return SkyDirection{};
    return direction_gps(system, prn, gps_seconds_of_time_value(time_value));
}

SkyDirection OccupationSky::direction_gps(char system, int prn, double gps_seconds) {
    if (!has_orbits()) return SkyDirection{};
    const int slot = track_slot(system, prn);
    if (slot < 0) return SkyDirection{};
    if (tracks_.size() <= static_cast<std::size_t>(slot)) tracks_.resize(slot + 1);
    if (!tracks_[slot]) tracks_[slot] = std::make_unique<SatelliteTrack>(*store_, system, prn);
    const Sighting s = sight_from(*tracks_[slot], station_, gps_seconds);
    if (!s.found) return SkyDirection{};
    SkyDirection d;
    d.found = true;
    d.azimuth_deg = s.look.azimuth * 180.0 / std::numbers::pi;
    if (d.azimuth_deg >= 360.0) d.azimuth_deg -= 360.0;
    d.elevation_deg = s.look.elevation * 180.0 / std::numbers::pi;
    return d;
}

std::shared_ptr<const EphemerisStore> campaign_ephemerides() {
    auto store = std::make_shared<EphemerisStore>();
    const std::vector<nav_record> headers = read_nav_headers();
    // Each satellite's list is made as long as it will be at once; the
    // records are decoded as they are read, none kept.
    each_ephemeris(
        [&](const char* satellite, long count) {
            char system = 0;
            int prn = 0;
            if (parse_satellite(satellite, &system, &prn)) store->reserve(system, prn, static_cast<std::size_t>(count));
        },
        [&](const eph_record& r) {
            char sat[sizeof r.sat + 1] = {};
            std::memcpy(sat, r.sat, sizeof r.sat);
            char kind[sizeof r.kind + 1] = {};
            std::memcpy(kind, r.kind, sizeof r.kind);
            char system = 0;
            int prn = 0;
            if (!parse_satellite(sat, &system, &prn)) return;
            // The record is packed: its values are copied to where doubles
            // may be read.
            double values[sizeof r.values / sizeof(double)];
            std::memcpy(values, r.values, sizeof values);
            Ephemeris eph;
            if (decode_ephemeris(system, prn, r.toc, values, kind, leap_seconds_for(headers, r.toc), &eph))
                store->add(eph);
        });
    return store;
}

KlobucharParameters campaign_klobuchar(double gps_seconds) {
    KlobucharParameters k;
    bool spans = false;
    for (const nav_record& nav : read_nav_headers()) {
        if ((nav.present & NAV_ION_GPS) == 0) continue;
        const bool here = gps_seconds >= nav.first_toc - 86400.0 && gps_seconds <= nav.last_toc + 86400.0;
        if (k.known && (spans || !here)) continue;
        k.known = true;
        spans = here;
        std::copy(nav.gps_alpha, nav.gps_alpha + 4, k.alpha);
        std::copy(nav.gps_beta, nav.gps_beta + 4, k.beta);
    }
    return k;
}

void header_position(Campaign& campaign, double out[3]) {
    campaign.read_linked(CampaignTable::cor, campaign.occ.cor_ref);
    out[0] = campaign.cor.pos_x;
    out[1] = campaign.cor.pos_y;
    out[2] = campaign.cor.pos_z;
}

OccupationSky occupation_sky(Campaign& campaign, std::shared_ptr<const EphemerisStore> store,
                             const double* computed) {
    double position[3];
    header_position(campaign, position);
    const bool zero = position[0] == 0 && position[1] == 0 && position[2] == 0;
    if (zero && computed != nullptr)
        for (int k = 0; k < 3; ++k) position[k] = computed[k];
    return OccupationSky(std::move(store), position);
}

}  // namespace orbits
