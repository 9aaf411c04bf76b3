#include "export/observation_table.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_map>
#include <vector>

#include "db/output_file.h"
#include "obsdb/campaign.h"
#include "obsdb/observation_walk.h"
#include "quality/frequencies.h"
#include "quality/quality_report.h"

const char observation_csv_header[] =
    "station,occupation,epoch,satellite,c1,p1,l1,p2,l2,lli_l1,lli_l2,ssi_l1,ssi_l2,azimuth_deg,"
    "elevation_deg\n";

namespace {

// `value` with `decimals` decimals, as "%.*f" writes it. The table has
// millions of values: those below 1e11 (every value a RINEX field holds) are
// written digit by digit from their count of thousandths, unless that count
// lies so near a half that the rounding of the product could decide it;
// those and larger ones go through printf.
void append_fixed(std::string& row, double value, int decimals) {
    static constexpr double scales[] = {1, 10, 100, 1000};
    const double scaled = value * scales[decimals];
    const double fraction = std::fabs(scaled - std::trunc(scaled));
    if (!(std::fabs(value) < 1e11) || std::fabs(fraction - 0.5) < 0.02) {
        char text[400];
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        row += text;
        return;
    }
    unsigned long long magnitude = static_cast<unsigned long long>(std::llround(std::fabs(scaled)));
    char digits[32];
    char* const end = digits + sizeof digits;
    char* first = end;
    for (int i = 0; i < decimals; ++i, magnitude /= 10)
        *--first = static_cast<char>('0' + magnitude % 10);
    if (decimals > 0) *--first = '.';
    do {
        *--first = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (std::signbit(value)) *--first = '-';
    row.append(first, end);
}

void append_value(std::string& row, const obs_value& v) {
    row += ',';
    if (v.value != 0) append_fixed(row, v.value, 3);
}

void append_digit(std::string& row, char flag) {
    row += ',';
    if (flag >= '0' && flag <= '9') row += flag;
}

void append_angle(std::string& row, double degrees) {
    row += ',';
    if (!std::isnan(degrees)) append_fixed(row, degrees, 2);
}

// The identifiers of the satellites of one occupation by satellite
// occupation record; the record of an observation that belongs elsewhere
// gives "".
class SatelliteNames {
public:
    explicit SatelliteNames(Campaign& c, long occupation) : c_(c), occupation_(occupation) {}
    const std::string& of(std::int32_t satocc_ref) {
        const auto found = names_.find(satocc_ref);
        if (found != names_.end()) return found->second;
        std::string name;
        if (satocc_ref > 0 && db_read(&c_.satocc_db, satocc_ref) == satocc_ref &&
            c_.satocc.occ_ref == occupation_ && c_.read_linked(CampaignTable::sat, c_.satocc.sat_ref))
            name = field_text(c_.sat.prn);
        // A RINEX 2 satellite without its system letter is a GPS satellite.
        if (!name.empty()) name[0] = satellite_system(name.c_str());
        return names_[satocc_ref] = name;
    }

private:
    Campaign& c_;
    long occupation_;
    std::unordered_map<std::int32_t, std::string> names_;
};

// Writes the rows of one occupation's observations within the selection.
void write_occupation(Campaign& c, std::FILE* out, long occupation, ObservationRowLabel& label,
                      const ObservationSelection& selection, const SkyDirections& directions) {
    SatelliteNames satellites(c, occupation);
    ObservationWalk walk(c);
    double epoch_shown = NAN;
    std::string row;
    for (bool have = walk.start(occupation); have; have = walk.next()) {
        const obs_record& obs = c.obs;
        const std::string& satellite = satellites.of(obs.satocc_ref);
        if (satellite.empty()) break;  // the next occupation's observations
        if (selection.begin != -1 && obs.epoch < selection.begin) continue;
        if (selection.end != -1 && obs.epoch > selection.end) continue;
        if (obs.epoch != epoch_shown) {
            epoch_shown = obs.epoch;
            label.epoch = iso_epoch(obs.epoch);
        }
        label.satellite = satellite;
        const SkyDirection direction =
            directions ? directions(occupation, satellite, obs.epoch) : SkyDirection{};
        row.clear();
        append_observation_row(row, label, obs, direction);
        std::fwrite(row.data(), 1, row.size(), out);
    }
}

}  // namespace

void append_observation_row(std::string& row, const ObservationRowLabel& label,
                            const obs_record& obs, SkyDirection direction) {
    row += label.station_field;
    row += ',';
    row += std::to_string(label.occupation);
    row += ',';
    row += label.epoch;
    row += ',';
    row += label.satellite;
    for (const int slot : {OBS_C1, OBS_P1, OBS_L1, OBS_P2, OBS_L2}) append_value(row, obs.obs[slot]);
    append_digit(row, obs.obs[OBS_L1].lli);
    append_digit(row, obs.obs[OBS_L2].lli);
    append_digit(row, obs.obs[OBS_L1].snr);
    append_digit(row, obs.obs[OBS_L2].snr);
    append_angle(row, direction.azimuth_deg);
    append_angle(row, direction.elevation_deg);
    row += '\n';
}

void write_observation_table(const char* file_name, const ObservationSelection& selection,
                             const SkyDirections& directions) {
    Campaign c;
    c.open_read({CampaignTable::occ, CampaignTable::sta, CampaignTable::satocc, CampaignTable::sat});
    const bool observations = table_exists(table_obs);  // none after a read with -0
    if (observations) c.open_read({CampaignTable::obs});
    long wanted = -1;  // the station of -t, 0 when there is none of that name
    if (selection.station && selection.station[0] != '\0')
        wanted = db_find(&c.sta_db, selection.station) ? db_current_record(&c.sta_db) : 0;

    // The occupations first (a few per station), then their observations.
    struct Chosen {
        long occupation;
        ObservationRowLabel label;
    };
    std::vector<Chosen> chosen;
    std::map<long, int> numbers;  // occupations so far per station
    for (long r = db_first(&c.occ_db); r != 0; r = db_next(&c.occ_db)) {
        c.read_checked(CampaignTable::occ, r);
        const long station = c.occ.sta_ref;
        const int number = ++numbers[station];
        if (wanted >= 0 && (station != wanted || number > 1)) continue;
        ObservationRowLabel label;
        label.station_field = csv_field(
            c.read_linked(CampaignTable::sta, station) ? field_text(c.sta.marker_name) : "");
        label.occupation = number;
        chosen.push_back({r, label});
    }

    std::FILE* out = output_create(file_name);
    std::fputs(observation_csv_header, out);
    if (observations)
        for (Chosen& o : chosen) write_occupation(c, out, o.occupation, o.label, selection, directions);
    output_finish(out);
    c.close({CampaignTable::occ, CampaignTable::sta, CampaignTable::satocc, CampaignTable::sat});
    if (observations) c.close({CampaignTable::obs});
}
