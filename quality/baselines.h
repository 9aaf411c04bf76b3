// The baselines of a campaign: every pair of occupations of different
// stations whose spans overlap, with what the two observed in common.
#pragma once

#include <string>
#include <vector>

#include "quality/epoch_sets.h"

// Two epochs closer than this (s) are the same epoch: receivers tag their
// epochs on the full second or a fraction of it, a clock kept within a
// millisecond moves the tag by less.
inline constexpr double same_epoch_tolerance = 0.05;

struct Baseline {
    std::size_t a = 0, b = 0;      // indexes of the two occupations, a < b
    double first = -1, last = -1;  // first and last common epoch; -1 without one
    long epochs = 0;               // common epochs
    int satellites = 0;            // different satellites common at some epoch
    long satellite_epochs = 0;     // common satellites summed over the common epochs
    long epochs_4 = 0;             // common epochs with at least 4 common satellites
    bool has_distance = false;
    double distance = 0;  // m, between the two positions
};

// What two occupations observed in common.
Baseline common_of(const OccupationEpochs& a, const OccupationEpochs& b);

// The baselines among `occupations` (in the order of the report): a row for
// each pair of different stations whose spans overlap, ordered by the first
// occupation's index, then the second's.
std::vector<Baseline> baselines_of(const std::vector<OccupationEpochs>& occupations);

extern const char baselines_csv_header[];

// The zzBASELINES.csv row of a baseline, ending in a newline.
std::string baseline_csv_row(const std::vector<OccupationEpochs>& occupations, const Baseline& b);

// The console line that sums the baselines up: stations, occupations,
// baselines and the one with the least common time, ending in a newline.
std::string baselines_summary(const std::vector<OccupationEpochs>& occupations,
                              const std::vector<Baseline>& baselines);
