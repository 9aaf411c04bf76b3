#include "export/geonap.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "geodesy/geodesy.h"
#include "export/rinex_name.h"
#include "obsdb/campaign.h"
#include "db/output_file.h"
#include "support/error.h"
#include "support/text.h"
#include "support/version.h"

namespace {

// The export's own table of GEONAP receiver codes.
gn_record gn;
DbHandle gn_db{.buffer = &gn};

ell_params geonap_ellipsoid;

// Record numbers already written, in order of first appearance; an entry's
// GEONAP number is its position plus 1.
std::vector<std::int32_t> seen_antennas;
std::vector<std::int32_t> seen_receivers;
std::vector<std::int32_t> seen_stations;

struct StartingRow {
    const char* type_name;
    const char* code;
};

constexpr StartingRow starting_rows[] = {
    {"TRIMBLE 4000SST", "trss"},  {"TRIMBLE 4000SSI", "trsi"},   {"TRIMBLE 4000SSE", "trse"},
    {"TR GEOD L1/L2 GP", "trsc"}, {"4000ST L1/L2 GEOD", "trss"},
};

std::FILE* open_output(const std::string& base, const char* extension) {
    std::FILE* file = output_open((base + extension).c_str());
    if (!file) fatal("error occured while opening output file.\n");
    return file;
}

void open_code_table() {
    if (table_exists(table_gn)) {
        table_open_read(&gn_db, table_gn, sizeof(gn_record), true);
        return;
    }
    db_create(&gn_db, sizeof(gn_record), table_gn);
    NdxFile* index = db_index_create(&gn_db, table_gn, 0, 0);
    for (const StartingRow& row : starting_rows) {
        std::memset(&gn, 0, sizeof gn);
        std::strncpy(gn.gn_code, row.code, sizeof gn.gn_code - 1);
        db_key_insert(index, row.type_name, db_append(&gn_db, &gn));
    }
}

// Position of `ref` in `seen` plus 1; appends it first when it is new, and
// tells through `added` whether it did.
long seen_number(std::vector<std::int32_t>& seen, std::int32_t ref, bool* added) {
    for (std::size_t i = 0; i < seen.size(); ++i)
        if (seen[i] == ref) {
            *added = false;
            return static_cast<long>(i + 1);
        }
    seen.push_back(ref);
    *added = true;
    return static_cast<long>(seen.size());
}

// The four-letter GEONAP code of a receiver or antenna type, "????" when
// zzGN has no row for it. The lookup is a prefix search.
void geonap_code(const char (&type_name)[21], char (&code)[5]) {
    char name[sizeof type_name + 1];
    std::memcpy(name, type_name, sizeof type_name);
    name[sizeof type_name] = '\0';
    trim_blanks(name);
    if (db_find(&gn_db, name)) {
        std::memcpy(code, gn.gn_code, sizeof code);
        code[sizeof code - 1] = '\0';
    } else {
        std::strcpy(code, "????");
    }
}

void write_headers(const char* base, std::FILE* sta_file, std::FILE* obs_file, std::FILE* rcv_file,
                   std::FILE* ant_file) {
    std::fprintf(sta_file,
                 "# %s.sta - coordinate station file for campaign:\n# created: %s %s\n#\n", base,
                 program_name, version_text);
    std::fputs(
        "#sta n gps site name    latitude         longitude           ell.height\n"
        "#--- - --------------- ---- -- -------- ---- -- --------    -----------\n",
        sta_file);
    std::fprintf(ant_file,
                 "# %s.ant - geonap project antenna file\n# used by trtori and gnsngl\n"
                 "# created: %s %s %s\n",
                 base, program_name, version_text, credits_text);
    std::fputs("#ant type s.no. own\n#--- ---- ----- ---\n", ant_file);
    std::fprintf(rcv_file,
                 "# %s.rcv - geonap project receiver file\n# used by trtori and gnsngl\n"
                 "# created: %s %s %s\n",
                 base, program_name, version_text, credits_text);
    std::fputs(
        "#rcv type s.no  \"                \" own  ant\n"
        "#--- ---- ----  ------------------ ---  ----\n",
        rcv_file);
    std::fprintf(obs_file, "# %s.obs - geonap project observation file\n# created: %s %s %s\n",
                 base, program_name, version_text, credits_text);
    std::fputs("#yyy ddd s sta  ant.h. rcv  ant  \" \"\n#--- --- - ---- ------ ---- ---- ---\n",
               obs_file);
}

// One packed angle as degrees, minutes and seconds; the sign goes with the
// degrees.
void write_angle(std::FILE* file, double packed) {
    const dms_parts parts = dms_split(packed, 5);
    std::fprintf(file, "  %3.0lf %2.0lf %8.5lf", parts.negative ? -parts.degrees : parts.degrees,
                 parts.minutes, parts.seconds);
}

// Station, day of year and session from the occupation's file name, short
// or long; a name that fills its field without a terminator is taken whole.
rinex_name_parts file_name_parts(const Campaign& tables) {
    char name[sizeof tables.occ.rinex_file + 1];
    std::memcpy(name, tables.occ.rinex_file, sizeof tables.occ.rinex_file);
    name[sizeof tables.occ.rinex_file] = '\0';
    return rinex_name_split(name);
}

void write_station(const Campaign& tables, std::FILE* file, const char* base) {
    std::fprintf(file, "%4.4s 1 ", file_name_parts(tables).station);

    char name[sizeof tables.sta.marker_name + 1];
    std::memcpy(name, tables.sta.marker_name, sizeof tables.sta.marker_name);
    name[sizeof tables.sta.marker_name] = '\0';
    trim_blanks(name);
    std::fputc('"', file);
    std::fputs(name, file);
    std::fputc('"', file);
    for (std::size_t width = std::strlen(name) + 2; width < 15; ++width) std::fputc(' ', file);

    // A station without a position gets zero coordinates, which the user
    // fills in; the line never carries "nan".
    const geodetic_position p =
        station_position(tables.cor.pos_x, tables.cor.pos_y, tables.cor.pos_z, geonap_ellipsoid);
    if (!p.known)
        message("Station %s has no approximate position: zero coordinates written to %s.STA\n",
                name, base);
    write_angle(file, rad_to_dms(p.latitude));
    write_angle(file, rad_to_dms(p.longitude));
    std::fprintf(file, "    %11.4lf\n", p.height);
}

void write_observation(const Campaign& tables, std::FILE* file, long receiver, long antenna) {
    // A time the local-time conversion cannot take (none, or a damaged
    // record) gives year 0.
    int year = 0;
    if (tables.occ.first_epoch > -1e15 && tables.occ.first_epoch < 1e15) {
        const std::time_t seconds = static_cast<std::time_t>(tables.occ.first_epoch);
        if (const std::tm* fields = std::localtime(&seconds)) year = fields->tm_year + 1900;
    }
    const rinex_name_parts name = file_name_parts(tables);
    std::fprintf(file, "%d %3.3s %c %4.4s %6.4lf rc%02ld an%02ld \" \"\n", year, name.day,
                 name.session, name.station, tables.occ.delta_h, receiver, antenna);
}

}  // namespace

void export_geonap(const char* base_name) {
    const std::string base = base_name;
    std::FILE* sta_file = open_output(base, ".STA");
    std::FILE* obs_file = open_output(base, ".OBS");
    std::FILE* rcv_file = open_output(base, ".RCV");
    std::FILE* ant_file = open_output(base, ".ANT");

    Campaign tables;
    tables.open_read({CampaignTable::occ, CampaignTable::cor, CampaignTable::rec,
                      CampaignTable::ant, CampaignTable::sta});
    open_code_table();

    ell_setup(grs80_a, grs80_b, &geonap_ellipsoid);
    write_headers(base_name, sta_file, obs_file, rcv_file, ant_file);

    seen_antennas.clear();
    seen_receivers.clear();
    seen_stations.clear();
    char code[5];
    for (long number = db_first(&tables.occ_db); number != 0; number = db_next(&tables.occ_db)) {
        tables.read_checked(CampaignTable::occ, number);
        tables.read_checked(CampaignTable::cor, tables.occ.cor_ref);
        tables.read_checked(CampaignTable::sta, tables.occ.sta_ref);
        tables.read_checked(CampaignTable::rec, tables.occ.rcv_ref);
        tables.read_checked(CampaignTable::ant, tables.occ.ant_ref);

        bool added;
        const long antenna = seen_number(seen_antennas, tables.occ.ant_ref, &added);
        if (added) {
            geonap_code(tables.ant.ant_type, code);
            std::fprintf(ant_file, "an%02ld %4s %5.5s QOR\n", antenna, code, tables.ant.ant_number);
        }
        const long receiver = seen_number(seen_receivers, tables.occ.rcv_ref, &added);
        if (added) {
            std::printf("Das klappt noch...(a)\n");
            geonap_code(tables.rcv.rcv_type, code);
            std::fprintf(rcv_file, "rc%02ld %4s %4.4s  \"                \" IGS  an%02ld\n",
                         receiver, code, tables.rcv.rcv_number, antenna);
            std::printf("Das klappt noch...(3)\n");
        }
        seen_number(seen_stations, tables.occ.sta_ref, &added);
        if (added) write_station(tables, sta_file, base_name);
        write_observation(tables, obs_file, receiver, antenna);
    }

    output_finish(sta_file);
    output_finish(obs_file);
    output_finish(rcv_file);
    output_finish(ant_file);
    tables.close({CampaignTable::occ, CampaignTable::cor, CampaignTable::rec, CampaignTable::ant,
                  CampaignTable::sta});
    db_close(&gn_db);
}
