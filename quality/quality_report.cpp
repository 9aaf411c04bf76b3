#include "quality/quality_report.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "quality/orbit_report.h"

const char qc_csv_header[] =
    "station,occupation,file,system,first_epoch,last_epoch,interval_s,epochs,epochs_expected,"
    "gaps,longest_gap_s,satellites,observations,l2_share,slips_lli,slips_gf,slips_mw,clock_jumps,"
    "obs_per_slip,mp1_rms_m,mp2_rms_m,lli_flags\n";
const char slips_csv_header[] =
    "station,occupation,satellite,epoch,test,gf_jump_m,mw_jump_cycles\n";

namespace {

std::string format(const char* f, auto... values) {
    char text[160];
    std::snprintf(text, sizeof text, f, values...);
    return text;
}

// A number with at most `decimals` decimals and no trailing zeros.
std::string plain_number(double v, int decimals) {
    std::string s = format("%.*f", decimals, v);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

// Calendar fields of a time value rounded to milliseconds. A time no
// calendar holds (from a damaged record) gives 1 January 1900, 00:00:00.000,
// as the pages show it.
struct Calendar {
    std::tm fields;
    int milliseconds;
};

Calendar calendar_of(double t) {
    if (!(std::fabs(t) < 1e15)) {
        Calendar none{};
        none.fields.tm_mday = 1;
        return none;
    }
    const long long ms = std::llround(t * 1000);
    const long long whole = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    Calendar c{};
    const std::time_t seconds = static_cast<std::time_t>(whole);
    localtime_r(&seconds, &c.fields);
    c.milliseconds = static_cast<int>(ms - whole * 1000);
    return c;
}

long expected_epochs(const OccupationQuality& q) {
    if (!(q.interval > 0) || q.first_epoch < 0 || q.last_epoch < q.first_epoch) return -1;
    const double intervals = (q.last_epoch - q.first_epoch) / q.interval;
    if (!(intervals < 1e15)) return -1;  // no count a file could hold
    return std::lround(intervals) + 1;
}

const char* single_frequency_note(const SystemQuality& s) {
    if (!s.frequencies_known) return "no dual-frequency tests: carrier frequencies not stored";
    if (!s.gf_checked) return "no dual-frequency tests: no L1 and L2 phase together";
    if (!s.mw_checked) return "no MW test: no code on both carriers";
    return nullptr;
}

std::string count_or(bool known, long value, const char* none) {
    return known ? std::to_string(value) : none;
}

}  // namespace

std::string csv_field(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char ch : text) {
        if (ch == '"') quoted += '"';
        quoted += ch;
    }
    return quoted + '"';
}

std::string iso_epoch(double t) {
    const Calendar c = calendar_of(t);
    return format("%04d-%02d-%02dT%02d:%02d:%02d.%03d", c.fields.tm_year + 1900,
                  c.fields.tm_mon + 1, c.fields.tm_mday, c.fields.tm_hour, c.fields.tm_min,
                  c.fields.tm_sec, c.milliseconds);
}

std::string qc_console_lines(const OccupationLabel& label, const OccupationQuality& q,
                             const OrbitFigures* orbits) {
    std::string head = format("%-9s %3d ", label.station.c_str(), label.number);
    if (q.first_epoch >= 0) {
        const Calendar c = calendar_of(q.first_epoch);
        const long span = std::lround(std::max(q.last_epoch - q.first_epoch, 0.0));
        head += format("%04d-%02d-%02d %02d:%02d:%02d +%02ld:%02ld:%02ld", c.fields.tm_year + 1900,
                       c.fields.tm_mon + 1, c.fields.tm_mday, c.fields.tm_hour, c.fields.tm_min,
                       c.fields.tm_sec, span / 3600, span / 60 % 60, span % 60);
    } else {
        head += format("%-29s", "no epochs");
    }
    head += format(" %5ss", q.interval > 0 ? plain_number(q.interval, 3).c_str() : "-");
    if (q.systems.empty()) return head + "  no observations stored\n";

    const long expected = expected_epochs(q);
    head += format("  %6ld/%-6s gaps %3s longest %5ss", q.epochs,
                   expected >= 0 ? std::to_string(expected).c_str() : "-",
                   count_or(q.interval > 0, q.gaps, "-").c_str(),
                   q.interval > 0 ? plain_number(q.longest_gap, 3).c_str() : "-");
    std::string lines;
    for (const SystemQuality& s : q.systems) {
        std::string line = head;
        line +=
            format("  %-7s %3ld sv %8ld obs", system_name(s.system), s.satellites, s.observations);
        line += s.with_l1 > 0 ? format("  L2 %5.1f%%", 100.0 * s.with_l1_l2 / s.with_l1)
                              : std::string("  L2      -");
        const bool gf = s.frequencies_known && s.gf_checked;
        const bool mw = s.frequencies_known && s.mw_checked;
        line += format("  slips lli %4ld of %4ld flags gf %4s mw %4s clock %2ld", s.slips[0],
                       s.lli_flags, count_or(gf, s.slips[1], "-").c_str(),
                       count_or(mw, s.slips[2], "-").c_str(), q.clock_jumps);
        const double per_slip = observations_per_slip(s);
        line += format("  %9s obs/slip", per_slip > 0 ? format("%.1f", per_slip).c_str() : "-");
        for (int which = 0; which < 2; ++which) {
            const double rms = multipath_rms(s, which);
            line += format("  MP%d %7s", which + 1,
                           std::isnan(rms) ? "-" : format("%.3f m", rms).c_str());
        }
        if (const char* note = single_frequency_note(s)) line += format("  (%s)", note);
        if (orbits) line += sky_console_text(*orbits, s.system);
        lines += line + '\n';
    }
    for (const UnusableStretch& u : q.unusable) {
        const Calendar first = calendar_of(u.first), last = calendar_of(u.last);
        lines += format("%-9s %3d %s phase unusable %02d:%02d:%02d to %02d:%02d:%02d: broken at %ld "
                        "epochs, no multipath\n",
                        label.station.c_str(), label.number, field_text(u.prn).c_str(),
                        first.fields.tm_hour, first.fields.tm_min, first.fields.tm_sec,
                        last.fields.tm_hour, last.fields.tm_min, last.fields.tm_sec, u.breaks);
    }
    return lines;
}

std::string qc_csv_rows(const OccupationLabel& label, const OccupationQuality& q) {
    const std::string start = csv_field(label.station) + ',' + std::to_string(label.number) + ',' +
                              csv_field(label.file) + ',';
    const std::string first = q.first_epoch >= 0 ? iso_epoch(q.first_epoch) : "";
    const std::string last = q.last_epoch >= 0 ? iso_epoch(q.last_epoch) : "";
    const std::string interval = q.interval > 0 ? plain_number(q.interval, 3) : "";
    const long expected = expected_epochs(q);
    const std::string expected_text = expected >= 0 ? std::to_string(expected) : "";
    if (q.systems.empty())
        return start + ',' + first + ',' + last + ',' + interval + ",," + expected_text +
               ",,,,,,,,,,,,,\n";

    const bool spaced = q.interval > 0;
    std::string rows;
    for (const SystemQuality& s : q.systems) {
        const bool gf = s.frequencies_known && s.gf_checked;
        const bool mw = s.frequencies_known && s.mw_checked;
        const double per_slip = observations_per_slip(s);
        std::string row = start + s.system + ',' + first + ',' + last + ',' + interval + ',' +
                          std::to_string(q.epochs) + ',' + expected_text + ',' +
                          count_or(spaced, q.gaps, "") + ',' +
                          (spaced ? plain_number(q.longest_gap, 3) : "") + ',' +
                          std::to_string(s.satellites) + ',' + std::to_string(s.observations) + ',';
        row +=
            s.with_l1 > 0
                ? format("%.3f", static_cast<double>(s.with_l1_l2) / static_cast<double>(s.with_l1))
                : "";
        row += ',' + std::to_string(s.slips[0]) + ',' + count_or(gf, s.slips[1], "") + ',' +
               count_or(mw, s.slips[2], "") + ',' + std::to_string(q.clock_jumps) + ',';
        row += per_slip > 0 ? format("%.1f", per_slip) : "";
        for (int which = 0; which < 2; ++which) {
            const double rms = multipath_rms(s, which);
            row += ',';
            if (!std::isnan(rms)) row += format("%.3f", rms);
        }
        rows += row + ',' + std::to_string(s.lli_flags) + '\n';
    }
    return rows;
}

std::string slip_csv_row(const OccupationLabel& label, const QualitySlip& slip) {
    static const char* const tests[] = {"lli", "gf", "mw", "clock"};
    std::string row = csv_field(label.station) + ',' + std::to_string(label.number) + ',' +
                      csv_field(field_text(slip.prn)) + ',' +
                      iso_epoch(slip.t) + ',' + tests[static_cast<int>(slip.test)] + ',';
    if (!std::isnan(slip.gf_jump)) row += format("%.3f", slip.gf_jump);
    row += ',';
    if (!std::isnan(slip.mw_jump)) row += format("%.2f", slip.mw_jump);
    return row + '\n';
}
