// Every stored observation as a CSV table (-x): one row per satellite and
// epoch, for loading into other tools. The rows are written as the
// observations are read, so memory stays flat however large the campaign.
#pragma once

#include <cmath>
#include <functional>
#include <string>

#include "obsdb/schema.h"

extern const char observation_csv_header[];

// Where a satellite stood, seen from the occupation, in degrees; NaN where
// it is not known (the columns stay empty).
struct SkyDirection {
    double azimuth_deg = NAN;
    double elevation_deg = NAN;
};
// The direction of `satellite` (its identifier, "G05") at `epoch` (a time
// value) seen from the occupation with record number `occupation`.
using SkyDirections =
    std::function<SkyDirection(long occupation, const std::string& satellite, double epoch)>;

// Where a row belongs: the station's name as a CSV field, the occupation's
// number among the station's occupations (from 1, as in zzQC.csv), the epoch
// as zzQC.csv writes it, and the satellite.
struct ObservationRowLabel {
    std::string station_field;
    int occupation;
    std::string epoch;
    std::string satellite;
};

// Appends the row of one observation, ending in a newline: the values with
// three decimals (empty where none was observed), the loss-of-lock and
// signal-strength digits of L1 and L2 (empty where blank).
void append_observation_row(std::string& row, const ObservationRowLabel& label,
                            const obs_record& obs, SkyDirection direction);

// What -x writes: every occupation, or with `station` only the first one of
// that station (as -t selects it); observations from `begin` to `end` (time
// values, -1 for the occupation's first or last epoch).
struct ObservationSelection {
    const char* station;
    double begin;
    double end;
};

// Writes the table into `file_name` (all or nothing); `directions`, where
// given, fills the azimuth and elevation columns.
void write_observation_table(const char* file_name, const ObservationSelection& selection,
                             const SkyDirections& directions = {});
