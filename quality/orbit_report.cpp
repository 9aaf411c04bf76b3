#include "quality/orbit_report.h"

#include <cmath>
#include <cstdio>

#include "support/checked_file.h"

const char sky_csv_header[] =
    "station,occupation,system,elevation_from_deg,elevation_to_deg,expected,observed_l1,observed_l2,slips,"
    "mp1_rms_m,mp2_rms_m,mean_ssi_l1,mean_ssi_l2\n";
const char pos_csv_header[] =
    "station,occupation,header_x_m,header_y_m,header_z_m,computed_x_m,computed_y_m,computed_z_m,distance_m,"
    "epochs_used,flag\n";

namespace {

std::string format(const char* f, auto... values) {
    char text[200];
    std::snprintf(text, sizeof text, f, values...);
    return text;
}

std::string fixed_or_empty(double v, int decimals) { return std::isnan(v) ? "" : format("%.*f", decimals, v); }

bool header_zero(const OrbitFigures& f) { return f.header[0] == 0 && f.header[1] == 0 && f.header[2] == 0; }

}  // namespace

std::string sky_csv_rows(const OccupationLabel& label, const OccupationQuality& q, const OrbitFigures& f) {
    std::string rows;
    for (const SystemQuality& s : q.systems) {
        const SystemSky* sky = f.sky.of(s.system);
        if (sky == nullptr || !sky->has_orbits()) continue;
        for (int b = 0; b < sky_band_count; ++b) {
            const SkyBand& band = sky->bands[b];
            rows += csv_field(label.station) + ',' + std::to_string(label.number) + ',' + s.system + ',' +
                    format("%d,%d,%ld,%ld,%ld,%ld,", b * 10, b * 10 + 10, band.expected, band.observed_l1,
                           band.observed_l2, band.slips) +
                    fixed_or_empty(band_multipath_rms(band, 0), 3) + ',' +
                    fixed_or_empty(band_multipath_rms(band, 1), 3) + ',' + fixed_or_empty(band_mean_ssi(band, 0), 1) +
                    ',' + fixed_or_empty(band_mean_ssi(band, 1), 1) + '\n';
        }
    }
    return rows;
}

std::string pos_csv_row(const OccupationLabel& label, const OrbitFigures& f) {
    std::string row = csv_field(label.station) + ',' + std::to_string(label.number) + ',' +
                      format("%.3f,%.3f,%.3f,", f.header[0], f.header[1], f.header[2]);
    if (f.position.known)
        row += format("%.3f,%.3f,%.3f,", f.position.position[0], f.position.position[1], f.position.position[2]);
    else
        row += ",,,";
    if (f.position.known && !header_zero(f))
        row += format("%.3f", orbits::position_distance(f.header, f.position.position));
    row += format(",%d,", f.position.epochs_used);
    return row + orbits::position_flag_text(orbits::position_flag(f.header, f.position)) + '\n';
}

std::string sky_console_text(const OrbitFigures& f, char system) {
    if (!f.orbits) return "";
    const SystemSky* sky = f.sky.of(system);
    if (sky == nullptr || !sky->has_orbits()) return "  no orbits";
    const long expected = sky->expected_above_mask();
    std::string text = format("  sky %ld above %.0f deg", expected, sky_mask_deg);
    for (int which = 0; which < 2; ++which) {
        const long observed = sky->observed_above_mask(which);
        text += expected > 0 ? format("  L%d %5.1f%%", which + 1, 100.0 * static_cast<double>(observed) /
                                                                     static_cast<double>(expected))
                             : format("  L%d      -", which + 1);
    }
    return text;
}

std::string position_console_line(const OccupationLabel& label, const OrbitFigures& f) {
    if (!f.orbits) return "";
    std::string line = format("%-9s %3d position", label.station.c_str(), label.number);
    if (f.position.known) {
        line += format(" from codes %.3f %.3f %.3f (%d epochs)", f.position.position[0], f.position.position[1],
                       f.position.position[2], f.position.epochs_used);
        if (!header_zero(f))
            line += format(", %.3f m from the header's", orbits::position_distance(f.header, f.position.position));
    } else {
        line += " not computed from the codes";
    }
    const orbits::PositionFlag flag = orbits::position_flag(f.header, f.position);
    if (flag == orbits::PositionFlag::header_zero || flag == orbits::PositionFlag::far)
        line += format("  ** %s", orbits::position_flag_text(flag));
    return line + '\n';
}

OrbitFiles::OrbitFiles() {
    sky_ = checked_open("zzSKY.csv", "wt");
    pos_ = checked_open("zzPOS.csv", "wt");
    std::fputs(sky_csv_header, sky_);
    std::fputs(pos_csv_header, pos_);
}

OrbitFiles::~OrbitFiles() { close(); }

void OrbitFiles::write(const OccupationLabel& label, const OccupationQuality& q, const OrbitFigures& f) {
    std::fputs(sky_csv_rows(label, q, f).c_str(), sky_);
    std::fputs(pos_csv_row(label, f).c_str(), pos_);
}

void OrbitFiles::close() {
    if (pos_) checked_close(pos_, "zzPOS.csv");
    if (sky_) checked_close(sky_, "zzSKY.csv");
    pos_ = sky_ = nullptr;
}
