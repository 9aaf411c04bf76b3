#include "quality/quality_command.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "quality/orbit_report.h"
#include "quality/quality_report.h"
#include "support/checked_file.h"

namespace {

struct Selected {
    long occupation;
    OccupationLabel label;
};

// The occupations to check in zzOCC key order, numbered per station.
std::vector<Selected> select_occupations(Campaign& c, const char* station) {
    long wanted = -1;
    if (station && station[0] != '\0')
        wanted = db_find(&c.sta_db, station) ? db_current_record(&c.sta_db) : 0;
    std::vector<Selected> selected;
    std::map<long, int> numbers;
    for (long r = db_first(&c.occ_db); r != 0; r = db_next(&c.occ_db)) {
        c.read_checked(CampaignTable::occ, r);
        const long sta = c.occ.sta_ref;
        const int number = ++numbers[sta];
        if (wanted >= 0 && (sta != wanted || !selected.empty())) continue;
        const std::string file = field_text(c.occ.rinex_file);
        const std::string name =
            c.read_linked(CampaignTable::sta, sta) ? field_text(c.sta.marker_name) : "";
        selected.push_back({r, {name, number, file}});
    }
    return selected;
}

// Writes every slip of the occupation being checked to zzSLIPS.csv.
struct SlipWriter final : SlipSink {
    std::FILE* out;
    const OccupationLabel* label;
    void found(const QualitySlip& slip) override {
        std::fputs(slip_csv_row(*label, slip).c_str(), out);
    }
};

}  // namespace

void check_campaign(const char* station) {
    Campaign c;
    c.open_read({CampaignTable::occ, CampaignTable::sta, CampaignTable::satocc, CampaignTable::sat,
                 CampaignTable::cor});
    // A campaign read only with -0 has no observation table: its occupations
    // are reported without observations.
    const bool observations = table_exists(table_obs);
    if (observations) c.open_read({CampaignTable::obs});
    const std::vector<Selected> selected = select_occupations(c, station);
    if (selected.empty() && station && station[0] != '\0')
        std::printf("no occupation of station '%s' in the database\n", station);

    std::FILE* qc = checked_open("zzQC.csv", "wt");
    std::FILE* slips = checked_open("zzSLIPS.csv", "wt");
    std::fputs(qc_csv_header, qc);
    std::fputs(slips_csv_header, slips);
    OrbitFiles orbit_files;
    const auto ephemerides = orbits::campaign_ephemerides();
    for (const Selected& s : selected) {
        SlipWriter writer;
        writer.out = slips;
        writer.label = &s.label;
        OrbitCheck orbit(c, s.occupation, ephemerides, writer);
        const OccupationQuality q = check_occupation(c, s.occupation, orbit, &orbit);
        const OrbitFigures figures = orbit.finish();
        std::fputs(qc_console_lines(s.label, q, &figures).c_str(), stdout);
        std::fputs(position_console_line(s.label, figures).c_str(), stdout);
        std::fputs(qc_csv_rows(s.label, q).c_str(), qc);
        orbit_files.write(s.label, q, figures);
    }
    c.close({CampaignTable::occ, CampaignTable::sta, CampaignTable::satocc, CampaignTable::sat,
             CampaignTable::cor});
    if (observations) c.close({CampaignTable::obs});
    orbit_files.close();
    checked_close(slips, "zzSLIPS.csv");
    checked_close(qc, "zzQC.csv");
}
