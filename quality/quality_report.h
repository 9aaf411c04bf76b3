// The texts of the quality report: the console line per occupation and
// system, and the rows of zzQC.csv and zzSLIPS.csv.
#pragma once

#include <string>

#include "quality/occupation_check.h"

// Where a report row belongs: the station's marker name, the occupation's
// number among the station's occupations (from 1, as in the page names) and
// the observation file.
struct OccupationLabel {
    std::string station;
    int number;
    std::string file;
};

extern const char qc_csv_header[];
extern const char slips_csv_header[];

struct OrbitFigures;

// The console lines of one occupation, one per system (one line saying that
// nothing was stored when the occupation has no observations), each ending in
// a newline; with `orbits`, each system's line ends in its sky's share
// (quality/orbit_report.h).
std::string qc_console_lines(const OccupationLabel& label, const OccupationQuality& q,
                             const OrbitFigures* orbits = nullptr);

// The zzQC.csv rows of one occupation, one per system (one row of empty
// values when the occupation has no observations), each ending in a newline.
std::string qc_csv_rows(const OccupationLabel& label, const OccupationQuality& q);

// The zzSLIPS.csv row of one slip or clock jump, ending in a newline.
std::string slip_csv_row(const OccupationLabel& label, const QualitySlip& slip);

// A CSV field, quoted where it holds a comma, a quote or a line end.
std::string csv_field(const std::string& text);

// A time value as "YYYY-MM-DDThh:mm:ss.sss" in the calendar of the
// observation file (local time, as the time values are made).
std::string iso_epoch(double t);
