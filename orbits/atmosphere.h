// Signal delays of the atmosphere for code positioning: the broadcast
// (Klobuchar) ionosphere and the Saastamoinen troposphere of a standard
// atmosphere.
#pragma once

namespace orbits {

// The ionosphere parameters of a navigation file's header (ION ALPHA and
// ION BETA, or the GPSA and GPSB lines of IONOSPHERIC CORR).
struct KlobucharParameters {
    bool known = false;
    double alpha[4] = {0, 0, 0, 0};
    double beta[4] = {0, 0, 0, 0};
};

// The ionospheric delay (m) on GPS L1 of a signal arriving at azimuth and
// elevation (rad) at a station at latitude and longitude (rad), at
// `gps_seconds`. 0 without parameters. For another carrier multiply by
// (f_L1 / f)².
double klobuchar_delay(const KlobucharParameters& k, double latitude, double longitude, double azimuth,
                       double elevation, double gps_seconds);

// The tropospheric delay (m) at an elevation (rad) for a station at an
// ellipsoidal height (m) and latitude (rad): Saastamoinen's model with the
// pressure, temperature and humidity of a standard atmosphere at that
// height (relative humidity 70 %). 0 outside -500 m to 10 km or for a
// satellite below the horizon.
double troposphere_delay(double latitude, double height, double elevation);

}  // namespace orbits
