// The navigation reader: parses a navigation file whole (its ephemerides
// fit in memory: a day of every system is some 5,000 records), so that bad
// input is refused before any table is opened, then stores its ephemerides
// and its header in zzEPH and zzNAV.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "obsdb/nav_tables.h"
#include "rinex/nav_format.h"
#include "rinex/read_state.h"

namespace {

eph_record to_record(const NavEphemeris& eph) {
    eph_record record{};
    const int prn = eph.prn >= 1 && eph.prn <= 99 ? eph.prn : 0;  // the parser keeps 1..99
    record.sat[0] = eph.system;
    record.sat[1] = static_cast<char>('0' + prn / 10);
    record.sat[2] = static_cast<char>('0' + prn % 10);
    std::memcpy(record.kind, eph.kind, sizeof record.kind);
    record.kind[sizeof record.kind - 1] = '\0';
    record.toc = eph.toc;
    std::memcpy(record.values, eph.values, sizeof record.values);
    return record;
}

nav_record header_record(const NavHeader& header, const char* base_name,
                         const std::vector<NavEphemeris>& ephemerides) {
    nav_record nav{};
    std::snprintf(nav.nav_file, sizeof nav.nav_file, "%s", base_name);
    nav.system = header.system;
    nav.version = header.version;
    auto copy4 = [](double* to, const double* from) { std::memcpy(to, from, 4 * sizeof(double)); };
    if (header.gps.present) {
        nav.present |= NAV_ION_GPS;
        copy4(nav.gps_alpha, header.gps.alpha);
        copy4(nav.gps_beta, header.gps.beta);
    }
    if (header.qzss.present) {
        nav.present |= NAV_ION_QZSS;
        copy4(nav.qzss_alpha, header.qzss.alpha);
        copy4(nav.qzss_beta, header.qzss.beta);
    }
    if (header.beidou.present) {
        nav.present |= NAV_ION_BEIDOU;
        copy4(nav.beidou_alpha, header.beidou.alpha);
        copy4(nav.beidou_beta, header.beidou.beta);
    }
    if (header.galileo_present) {
        nav.present |= NAV_ION_GALILEO;
        copy4(nav.galileo, header.galileo);
    }
    if (header.leap_seconds_present) {
        nav.present |= NAV_LEAP_SECONDS;
        nav.leap_seconds = header.leap_seconds;
    }
    nav.ephemerides = static_cast<std::int32_t>(ephemerides.size());
    for (const NavEphemeris& eph : ephemerides) {
        if (nav.first_toc == 0 || eph.toc < nav.first_toc) nav.first_toc = eph.toc;
        if (eph.toc > nav.last_toc) nav.last_toc = eph.toc;
    }
    return nav;
}

}  // namespace

void read_navigation(ReadState& st) {
    announce_version(st);
    NavParser parser;
    std::vector<NavEphemeris> ephemerides;
    bool ok = true;
    do {
        show_progress(st);
        ok = parser.add_line(st.line);
        for (const NavEphemeris& eph : parser.ready()) ephemerides.push_back(eph);
        parser.ready().clear();
    } while (ok && read_line(st));
    if (ok) ok = parser.finish();
    for (const NavEphemeris& eph : parser.ready()) ephemerides.push_back(eph);
    if (!ok) {
        const std::string reason =
            "line " + std::to_string(parser.error_line()) + ": " + parser.error_text();
        refuse_file(st, reason);
    }

    long stored = 0;
    NavStore store;
    store.open();
    for (const NavEphemeris& eph : ephemerides) {
        if (store.add_ephemeris(to_record(eph))) ++stored;
    }
    store.add_header(header_record(parser.header(), st.base_name, ephemerides));
    store.close();

    std::printf("\n%8ld Zeilen gelesen.\n", st.line_count);
    std::printf("\n%ld ephemerides stored, %ld already in the database.\n", stored,
                static_cast<long>(ephemerides.size()) - stored);
    if (!parser.skipped().empty()) {
        std::string text = "Records passed over:";
        const char* separator = " ";
        for (const NavSkipped& entry : parser.skipped()) {
            text += separator + std::to_string(entry.count) + " " + entry.type;
            separator = ", ";
        }
        std::printf("%s.\n", text.c_str());
    }
}
