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

// The system's name for the report ("GPS", "GLONASS", ...; "?" when unknown).
const char* system_name(char system);

// The rank of a system in the order G, R, E, C, J, I, S, then any other
// letter in the order of the letters.
int system_rank(char system);
