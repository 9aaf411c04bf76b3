// The compact record of an occupation that the baselines are formed from:
// its epochs and, per epoch, the set of satellites that had an L1 phase,
// gathered in one pass over its observations.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "obsdb/campaign.h"
#include "quality/occupation_check.h"

// Numbers the satellites of a campaign (zzSAT record numbers) from 0 in the
// order they are first met, so that the sets of all occupations use the same
// bit for the same satellite.
class SatelliteNumbers {
public:
    int number_of(long sat_ref);
    int count() const { return static_cast<int>(by_ref_.size()); }

private:
    std::unordered_map<long, int> by_ref_;
};

struct OccupationEpochs {
    long occupation = 0;  // record number in zzOCC
    long station = 0;     // record number in zzSTA
    std::string station_name;
    int number = 0;  // among the station's occupations, from 1
    // The span of the occupation: its first and last stored epoch, or the
    // span stored with the occupation when it has no observations.
    double first = -1, last = -1;
    std::vector<double> epochs;  // ascending, each once
    int words = 0;               // 64-bit words per epoch in `sets`
    // Epoch i's satellites with an L1 phase: bit n of words
    // [i * words, (i + 1) * words) stands for campaign satellite n.
    std::vector<std::uint64_t> sets;
    bool has_position = false;  // position: ECEF XYZ in metres
    double position[3] = {0, 0, 0};

    bool has(std::size_t epoch, int satellite) const;
};

// Gathers an occupation's record from its observations, one at a time in
// reading order: the tap the quality check feeds, or its own walk.
class EpochCollector final : public ObservationTap {
public:
    explicit EpochCollector(OccupationEpochs* into) : into_(into) {}
    void observed(const obs_record& observation) override;
    // Ends the record: the satellites become campaign satellites (zzSATOCC
    // must be open; its record variable is left changed) and epochs that came
    // out of order are sorted and merged.
    void finish(Campaign& c, SatelliteNumbers& numbers);

private:
    int local_of(std::int32_t satocc_ref);
    void widen(int words);

    OccupationEpochs* into_;
    std::vector<std::int32_t> satoccs_;  // local satellite index -> zzSATOCC record
    std::unordered_map<std::int32_t, int> local_;
    int last_local_ = -1;
};

// Reads the observations of one occupation (zzSATOCC and zzOBS open) into
// its record, for an occupation the quality check does not walk.
void collect_epochs(Campaign& c, SatelliteNumbers& numbers, OccupationEpochs* into);
