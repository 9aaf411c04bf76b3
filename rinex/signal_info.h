// What a RINEX 3 observation header says about the signals beyond the five
// slots' values: the GLONASS frequency channel of each slot ("GLONASS SLOT /
// FRQ #") and, per system, the observation code the slot plan put into each
// of the slots C1, P1, L1, P2, L2 (so that later computations know the
// carrier of, say, BeiDou's L2 slot: B2I, B3I, B2a or B2b).
#pragma once

#include <string_view>
#include <vector>

#include "obsdb/nav_tables.h"
#include "rinex/rinex3_format.h"

struct GlonassChannel {
    int slot;     // satellite number
    int channel;  // -7..+6
};

// The slot/channel pairs of one "GLONASS SLOT / FRQ #" line (the count in
// columns 1-3 or blanks on a continuation line, then up to eight pairs of
// "Rnn" and I2 from column 5, seven columns each) appended to `out`. Pairs
// that are not a GLONASS satellite 1..99 with a channel -7..+13 are passed
// over.
void read_glonass_slot_line(std::string_view line, std::vector<GlonassChannel>* out);

// Per system of the plan, the codes in its five slots ("" where a slot has
// none). Occupation references are left 0 for the writer to set.
std::vector<sig_record> slot_codes(const rinex3_type_lists& lists, const rinex3_plan& plan);
