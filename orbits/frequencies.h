// Carrier frequencies (Hz) that the orbit computations need: the scaling of
// the ionosphere and of the group delays from one carrier to another.
#pragma once

namespace orbits {

inline constexpr double speed_of_light = 299792458.0;
inline constexpr double l1_frequency = 1575.42e6;   // GPS L1, Galileo E1, QZSS L1
inline constexpr double l2_frequency = 1227.60e6;   // GPS L2, QZSS L2
inline constexpr double b1i_frequency = 1561.098e6; // BeiDou B1I
inline constexpr double b2i_frequency = 1207.14e6;  // BeiDou B2I

// GLONASS FDMA carriers of frequency channel k (-7 to 6).
inline constexpr double glonass_g1_frequency(int k) { return 1602.0e6 + k * 0.5625e6; }
inline constexpr double glonass_g2_frequency(int k) { return 1246.0e6 + k * 0.4375e6; }

}  // namespace orbits
