// The satellite systems: their letters, their names, the carrier frequencies
// of the L1 and L2 observation slots (the one table the dual-frequency tests
// take them from), and the order in which the report and the pages list
// them.
#pragma once

struct SlotFrequencies {
    double l1_hz;
    double l2_hz;
};

// The system letter of a stored satellite identifier; a blank stands for GPS
// as in RINEX 2.
char satellite_system(const char* prn);

// The frequencies of the L1 and L2 slots of `system`, or false where the
// database cannot tell them: GLONASS transmits on a channel of its own per
// satellite, and the BeiDou slots hold B1I or B1C, B2I or B3I depending on
// the file. GPS and QZSS: L1, L2; Galileo: E1, E5a; SBAS: L1, L5; NavIC: L5, S.
bool slot_frequencies(char system, SlotFrequencies* out);

// The carrier (Hz) of a RINEX 3 observation code ("C2I", "L7Q": type,
// band, attribute) of `system`, or 0 where the code alone does not tell it.
// GLONASS's FDMA bands 1 and 2 take the satellite's frequency channel
// (`glonass_channel` null: unknown). BeiDou's band 1 holds B1I in RINEX 3.02
// files (C1I, C1Q) and B1C or B1A from 3.03 on (C1D, C1P, C1A, C1N); its
// C1X means either, and is not told.
double code_carrier(char system, const char* code, const int* glonass_channel);

// The frequencies of the L1 and L2 slots of one satellite of an occupation:
// the system's fixed ones; for GLONASS those of its frequency channel
// (bands 1 and 2, or the bands of `l1_code` and `l2_code` where the read
// stored them); for BeiDou those of the codes the read stored for the two
// slots (`l1_code`, `l2_code`: "" or null where it stored none). False
// where they cannot be told.
bool satellite_slot_frequencies(char system, const char* l1_code, const char* l2_code,
                                const int* glonass_channel, SlotFrequencies* out);

// The system's name for the report ("GPS", "GLONASS", ...; "?" when unknown).
const char* system_name(char system);

// The rank of a system in the order G, R, E, C, J, I, S, then any other
// letter in the order of the letters.
int system_rank(char system);
