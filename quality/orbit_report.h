// The texts of the quality check with orbits: the rows of zzSKY.csv (per
// occupation, system and 10-degree band of elevation) and zzPOS.csv (per
// occupation), the share of the expected observations on a system's console
// line, and the console line of the position.
#pragma once

#include <cstdio>
#include <string>

#include "quality/orbit_check.h"
#include "quality/quality_report.h"

extern const char sky_csv_header[];
extern const char pos_csv_header[];

// Nine rows (0-10 to 80-90 degrees) for each system of the check that has
// orbits, in the check's order of systems; none without orbits.
std::string sky_csv_rows(const OccupationLabel& label, const OccupationQuality& q, const OrbitFigures& f);

// The occupation's row: the header's position, the computed one with the
// distance between them (empty where either is missing), the epochs solved
// and the flag ("header position zero", "header more than 100 m off", "no
// computed position" or empty).
std::string pos_csv_row(const OccupationLabel& label, const OrbitFigures& f);

// What a system's console line adds: "" when the campaign holds no
// ephemerides, "  no orbits" when none serves the system during the
// occupation, else the observations expected above the mask and the shares
// present with L1 and L2.
std::string sky_console_text(const OrbitFigures& f, char system);

// The console line of the position ("" when the campaign holds no
// ephemerides), ending in a newline.
std::string position_console_line(const OccupationLabel& label, const OrbitFigures& f);

// zzSKY.csv and zzPOS.csv of one run of the check: opened with their
// headers, a call per occupation, closed at the end.
class OrbitFiles {
public:
    OrbitFiles();
    ~OrbitFiles();
    OrbitFiles(const OrbitFiles&) = delete;
    OrbitFiles& operator=(const OrbitFiles&) = delete;
    void write(const OccupationLabel& label, const OccupationQuality& q, const OrbitFigures& f);
    void close();

private:
    std::FILE* sky_ = nullptr;
    std::FILE* pos_ = nullptr;
};
