// Synthetic dual-frequency observation files with known faults, for the
// quality check's tests and benchmark.
//
// Satellites rise and set over a station (GPS, and Galileo in RINEX 3 files,
// on request GLONASS and BeiDou too);
// each observation is range + receiver clock + troposphere + ionosphere
// (opposite sign on phase, scaled by (f1/f2)^2 on the second carrier) +
// code multipath that grows at low elevation + white noise of a few
// decimetres on code and a few millimetres on phase + integer ambiguities.
// Injected: cycle slips of known sizes at known epochs, slips flagged with
// the loss-of-lock indicator, a 1 ms receiver clock jump in the code of every
// satellite, a gap of the whole receiver, satellites losing and regaining
// track (flagged at reacquisition), short dropouts that do not break an arc,
// and single-epoch outliers in code and phase. On request, what real
// receivers do: a receiver clock steered by 1 ms every 25 minutes (code and
// phase together, or code alone), a satellite whose last epoch before a long
// gap holds code only, a phase that runs away for an hour without a flag,
// runs of flagged epochs at low elevation without a slip, and flagged slips
// of (1,1) cycles. What was injected, and the multipath RMS the check should
// find, go into a truth file beside the data.
#pragma once

#include <string>

namespace obsgen {

struct Options {
    int rinex_version = 2;  // 2: GPS only (types L1 L2 C1 P1 P2); 3: GPS and Galileo
    double interval_s = 30;
    double hours = 24;
    unsigned seed = 1;
    std::string marker = "GENA";
    bool inject = true;          // slips, clock jump, gaps, dropouts and outliers
    double multipath = 1.0;      // scale of the code multipath
    bool second_carrier = true;  // false: no L2/P2 (L5/C5 for Galileo) is written
    // 0: one clock jump in the code; 1: the clock steered every 25 minutes in
    // code and phase; 2: in code alone.
    int steering = 0;
    bool receiver_shapes = false;  // the code-only epoch, runaway phase and flag runs
    // RINEX 3: GLONASS (its satellites on channel 0, as the header's slot
    // lines say) and BeiDou (B1I and B3I) too.
    bool four_systems = false;
};

// Writes the observation file and its truth file; false when a file cannot be
// written. The same options give the same files.
bool generate(const Options& options, const std::string& obs_path, const std::string& truth_path);

// Reads "--name=value" arguments into options (rinex, interval, hours, seed,
// marker, inject, multipath, l2, steering, shapes, systems=2|4); false on an
// unknown or malformed one.
bool parse_option(const std::string& argument, Options* options);

}  // namespace obsgen
