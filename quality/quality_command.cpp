#include "quality/quality_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "quality/baselines.h"
#include "quality/orbit_report.h"
#include "quality/quality_report.h"
#include "quality/station_position.h"
#include "db/output_file.h"
#include "support/untrusted_text.h"

namespace {

struct Selected {
    long occupation;
    OccupationLabel label;
    bool checked;  // false: only a partner in the checked occupation's baselines
    OccupationEpochs epochs;
};

// Every occupation in zzOCC key order, numbered per station, with those to
// check marked: all of them, or with a station name that station's first.
std::vector<Selected> select_occupations(Campaign& c, const char* station) {
    long wanted = -1;
    if (station && station[0] != '\0')
        wanted = db_find(&c.sta_db, station) ? db_current_record(&c.sta_db) : 0;
    std::vector<Selected> all;
    std::map<long, int> numbers;
    bool found = false;
    for (long r = db_first(&c.occ_db); r != 0; r = db_next(&c.occ_db)) {
        c.read_checked(CampaignTable::occ, r);
        const long sta = c.occ.sta_ref;
        const int number = ++numbers[sta];
        const bool checked = wanted < 0 || (sta == wanted && !found);
        found = found || checked;
        const std::string file = field_text(c.occ.rinex_file);
        const std::string name =
            c.read_linked(CampaignTable::sta, sta) ? field_text(c.sta.marker_name) : "";
        Selected s{r, {name, number, file}, checked, {}};
        s.epochs.occupation = r;
        s.epochs.station = sta;
        s.epochs.station_name = name;
        s.epochs.number = number;
        if (c.occ.first_epoch > 0 && c.occ.last_epoch >= c.occ.first_epoch &&
            std::isfinite(c.occ.last_epoch)) {
            s.epochs.first = c.occ.first_epoch;  // until the observations tell
            s.epochs.last = c.occ.last_epoch;
        }
        s.epochs.has_position = occupation_position(c, s.epochs.position);
        all.push_back(std::move(s));
    }
    return all;
}

// Writes zzBASELINES.csv and its console line. With a station, only the
// baselines of its checked occupation: the partners whose stored spans
// overlap it are read here.
void write_baselines(Campaign& c, std::vector<Selected>& all, SatelliteNumbers& numbers,
                     bool one_station) {
    const auto first_checked =
        std::find_if(all.begin(), all.end(), [](const Selected& s) { return s.checked; });
    const bool any = first_checked != all.end();
    const long station = any ? first_checked->epochs.station : 0;
    const double first = any ? first_checked->epochs.first : -1;
    const double last = any ? first_checked->epochs.last : -1;
    auto partner = [&](const OccupationEpochs& o) {
        return o.station != station && o.first >= 0 && first >= 0 &&
               o.first <= last + same_epoch_tolerance && first <= o.last + same_epoch_tolerance;
    };
    std::vector<OccupationEpochs> taken;
    std::size_t checked = 0;
    for (Selected& s : all) {
        if (s.checked) {
            checked = taken.size();
        } else if (one_station && partner(s.epochs)) {
            collect_epochs(c, numbers, &s.epochs);
        } else {
            continue;
        }
        taken.push_back(std::move(s.epochs));
    }
    std::FILE* out = output_create("zzBASELINES.csv");
    std::fputs(baselines_csv_header, out);
    std::vector<Baseline> rows = baselines_of(taken);
    if (one_station)
        std::erase_if(rows, [&](const Baseline& b) { return b.a != checked && b.b != checked; });
    for (const Baseline& b : rows) std::fputs(baseline_csv_row(taken, b).c_str(), out);
    output_finish(out);
    // A station that is not in the campaign was reported already.
    if (any || !one_station) std::fputs(baselines_summary(taken, rows).c_str(), stdout);
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

void check_campaign(const char* station, std::vector<CheckedOccupation>* checked) {
    Campaign c;
    c.open_read({CampaignTable::occ, CampaignTable::sta, CampaignTable::satocc, CampaignTable::sat,
                 CampaignTable::cor});
    // A campaign read only with -0 has no observation table: its occupations
    // are reported without observations.
    const bool observations = table_exists(table_obs);
    if (observations) c.open_read({CampaignTable::obs});
    const bool one_station = station && station[0] != '\0';
    std::vector<Selected> selected = select_occupations(c, station);
    if (one_station &&
        std::none_of(selected.begin(), selected.end(), [](const Selected& s) { return s.checked; }))
        std::printf("no occupation of station '%s' in the database\n", console_text(station).c_str());

    std::FILE* qc = output_create("zzQC.csv");
    std::FILE* slips = output_create("zzSLIPS.csv");
    std::fputs(qc_csv_header, qc);
    std::fputs(slips_csv_header, slips);
    SatelliteNumbers numbers;
    OrbitFiles orbit_files;
    const auto ephemerides = orbits::campaign_ephemerides();
    for (Selected& s : selected) {
        if (!s.checked) continue;
        SlipWriter writer;
        writer.out = slips;
        writer.label = &s.label;
        OrbitCheck orbit(c, s.occupation, ephemerides, writer);
        // The baselines' epochs are gathered in the check's own pass.
        EpochCollector epochs(&s.epochs);
        const OccupationQuality q = check_occupation(c, s.occupation, orbit, &orbit, &epochs);
        const OrbitFigures figures = orbit.finish();
        epochs.finish(c, numbers);
        // A header without position: the baselines measure from the one
        // computed from the codes.
        if (!s.epochs.has_position && figures.position.known) {
            for (int i = 0; i < 3; ++i) s.epochs.position[i] = figures.position.position[i];
            s.epochs.has_position = true;
        }
        if (checked) {
            CheckedOccupation found{s.occupation, 0, 0};
            for (const SystemQuality& system : q.systems) {
                found.observations += system.observations;
                found.slips += system.slips[0] + system.slips[1] + system.slips[2];
            }
            checked->push_back(found);
        }
        std::fputs(console_lines(qc_console_lines(s.label, q, &figures)).c_str(), stdout);
        std::fputs(console_lines(position_console_line(s.label, figures)).c_str(), stdout);
        std::fputs(qc_csv_rows(s.label, q).c_str(), qc);
        orbit_files.write(s.label, q, figures);
    }
    write_baselines(c, selected, numbers, one_station);
    c.close({CampaignTable::occ, CampaignTable::sta, CampaignTable::satocc, CampaignTable::sat,
             CampaignTable::cor});
    if (observations) c.close({CampaignTable::obs});
    orbit_files.close();
    output_finish(slips);
    output_finish(qc);
}
