// The cycle-slip step: the quality check of the campaign in the current
// folder.
#pragma once

#include <vector>

// What the check found of an occupation, for the campaign's overview page:
// its observations and slips summed over its systems.
struct CheckedOccupation {
    long occupation;  // record number in zzOCC
    long observations;
    long slips;  // found by the loss-of-lock, GF and MW tests
};

// Checks every occupation in zzOCC key order or, with a station name (a
// prefix of the marker name, as for the plot), only that station's first
// occupation. Prints one line per occupation and system on standard output
// and rewrites zzQC.csv (one row per occupation and system) and zzSLIPS.csv
// (one row per slip and clock jump). A missing table ends the run as for the
// listing, except the observation table, which a campaign read only with -0
// lacks: its occupations are reported without observations. Also writes
// zzBASELINES.csv (baselines.h) and its console line. With `checked`, the
// figures of every occupation checked are added to it.
void check_campaign(const char* station, std::vector<CheckedOccupation>* checked = nullptr);
