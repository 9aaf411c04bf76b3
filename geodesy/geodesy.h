// Ellipsoidal geodesy: Cartesian positions to latitude, longitude and height,
// and angles to the packed degrees-minutes-seconds form D.MMSSsss that the
// station file and the plot page print (52°15'30" is 52.1530).
#pragma once

// The GRS80 ellipsoid, used by every caller.
inline constexpr double grs80_a = 6378137.0;      // semi-major axis (m)
inline constexpr double grs80_b = 6356752.31414;  // semi-minor axis (m)

// The constants of one ellipsoid, filled by ell_setup.
struct ell_params {
    double a;    // semi-major axis (m)
    double b;    // semi-minor axis (m)
    double e2;   // first eccentricity squared, 1 - b²/a²
    double ep2;  // second eccentricity squared, a²/b² - 1
    double c;    // polar radius of curvature, a²/b (m)
};

// Stores a and b and derives e2, ep2 and c. Returns 1.
int ell_setup(double a, double b, ell_params* ell);

// Converts X, Y, Z (m) to latitude and longitude (radians) and ellipsoidal
// height (m) with Bowring's closed formula (no iteration). The longitude lies
// in (-pi, pi]. On the polar axis (X = Y = 0, Z != 0) the latitude is ±pi/2,
// the longitude 0 and the height |Z| - b. Returns 1, or 0 when X or Y is not
// a number (the outputs are then left untouched).
int xyz_to_geodetic(double x, double y, double z, ell_params ell, double* latitude,
                    double* longitude, double* height);

// The packed form D.MMSSsss of an angle in radians. A negative angle gives the
// negative of the packed absolute angle (-10°30' gives -10.3).
double rad_to_dms(double angle);

// Geodetic coordinates of a station, or none: RINEX files write a position
// of 0 0 0 when they have none, and a position that is not finite or that
// the conversion cannot take has none either.
struct geodetic_position {
    bool known;
    double latitude;   // radians
    double longitude;  // radians
    double height;     // m
};
geodetic_position station_position(double x, double y, double z, const ell_params& ell);

// sqrt(x² + y²).
double axis_distance(double x, double y);

// A packed angle split into printable parts: the parts are those of the
// absolute value, `negative` tells the sign.
struct dms_parts {
    bool negative;
    double degrees;  // whole degrees
    double minutes;  // whole minutes, 0 to 59
    double seconds;  // seconds rounded to the requested decimals, below 60
};

// Splits a packed angle for printing with `decimals` (0 to 6) decimals of
// seconds. The seconds are rounded to that precision first and carried into
// the minutes and degrees, so a value on a minute boundary never prints one
// minute low or with 60 seconds (33.15 gives 33, 15, 0). A value that is not
// a number gives not-a-number parts.
dms_parts dms_split(double packed, int decimals);
