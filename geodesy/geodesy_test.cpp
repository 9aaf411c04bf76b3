#include "geodesy/geodesy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

namespace {

constexpr double deg = std::numbers::pi / 180.0;

ell_params grs80() {
    ell_params e{};
    EXPECT_EQ(ell_setup(grs80_a, grs80_b, &e), 1);
    return e;
}

// Geodetic to Cartesian, the exact inverse used to check the closed formula.
void to_xyz(double lat, double lon, double h, const ell_params& e, double* x, double* y,
            double* z) {
    const double n = e.a / std::sqrt(1.0 - e.e2 * std::sin(lat) * std::sin(lat));
    *x = (n + h) * std::cos(lat) * std::cos(lon);
    *y = (n + h) * std::cos(lat) * std::sin(lon);
    *z = (n * (1.0 - e.e2) + h) * std::sin(lat);
}

}  // namespace

TEST(EllSetup, Grs80Constants) {
    const ell_params e = grs80();
    EXPECT_EQ(e.a, 6378137.0);
    EXPECT_EQ(e.b, 6356752.31414);
    EXPECT_NEAR(e.e2, 0.0066943800230, 1e-13);
    EXPECT_NEAR(e.ep2, 0.0067394967755, 1e-13);
    EXPECT_NEAR(e.c, 6399593.6258, 1e-4);
}

TEST(XyzToGeodetic, ItalianStation) {
    double lat = 0, lon = 0, h = 0;
    ASSERT_EQ(xyz_to_geodetic(4449541.1, 723423.5, 4497127.0, grs80(), &lat, &lon, &h), 1);
    EXPECT_NEAR(lat / deg, 45.1234563, 5e-8);
    EXPECT_NEAR(lon / deg, 9.2345665, 5e-8);
    EXPECT_NEAR(h, 123.481, 5e-4);
    EXPECT_NEAR(rad_to_dms(lat), 45.0724443, 5e-8);
    EXPECT_NEAR(rad_to_dms(lon), 9.1404440, 5e-8);
}

TEST(XyzToGeodetic, EveryQuadrantRoundTrips) {
    const ell_params e = grs80();
    // West of Greenwich, the far east (X < 0), the date line and the south.
    const double points[][3] = {{52.5, 13.4, 80.0},     {35.7, 139.6, 40.0}, {-33.9, -70.6, 500.0},
                                {19.8, -155.5, 4200.0}, {-45.0, 179.9, 0.0}, {10.0, 180.0, 10.0},
                                {89.9, -120.0, 2800.0}, {0.0, -90.0, -30.0}};
    for (const auto& p : points) {
        double x, y, z;
        to_xyz(p[0] * deg, p[1] * deg, p[2], e, &x, &y, &z);
        double lat = 0, lon = 0, h = 0;
        ASSERT_EQ(xyz_to_geodetic(x, y, z, e, &lat, &lon, &h), 1);
        EXPECT_NEAR(lat / deg, p[0], 1e-9) << p[0] << " " << p[1];
        EXPECT_NEAR(lon / deg, p[1], 1e-9) << p[0] << " " << p[1];
        EXPECT_NEAR(h, p[2], 1e-3) << p[0] << " " << p[1];
    }
}

TEST(XyzToGeodetic, JapaneseStationLiesInTheEast) {
    // Position of the test file 07590920.05o: X < 0, Y > 0.
    double lat = 0, lon = 0, h = 0;
    ASSERT_EQ(xyz_to_geodetic(-3976219.5082, 3382372.5671, 3652512.9849, grs80(), &lat, &lon, &h),
              1);
    EXPECT_NEAR(lon / deg, 180.0 - std::atan(3382372.5671 / 3976219.5082) / deg, 1e-12);
    EXPECT_GT(lon / deg, 139.0);
    EXPECT_LT(lon / deg, 140.0);
    EXPECT_GT(lat / deg, 35.0);
    EXPECT_LT(lat / deg, 36.0);

    ASSERT_EQ(xyz_to_geodetic(-6378137.0, 0.0, 0.0, grs80(), &lat, &lon, &h), 1);
    EXPECT_DOUBLE_EQ(lon, std::numbers::pi);
    EXPECT_NEAR(h, 0.0, 1e-6);
}

TEST(XyzToGeodetic, PolarAxis) {
    const ell_params e = grs80();
    double lat = 0, lon = 1, h = 0;
    ASSERT_EQ(xyz_to_geodetic(0.0, 0.0, grs80_b + 100.0, e, &lat, &lon, &h), 1);
    EXPECT_DOUBLE_EQ(lat, std::numbers::pi / 2);
    EXPECT_EQ(lon, 0.0);
    EXPECT_NEAR(h, 100.0, 1e-6);
    ASSERT_EQ(xyz_to_geodetic(0.0, 0.0, -grs80_b + 5.0, e, &lat, &lon, &h), 1);
    EXPECT_DOUBLE_EQ(lat, -std::numbers::pi / 2);
    EXPECT_NEAR(h, -5.0, 1e-6);
}

TEST(XyzToGeodetic, NotANumberLeavesOutputsUntouched) {
    double lat = 7, lon = 8, h = 9;
    EXPECT_EQ(xyz_to_geodetic(std::nan(""), 1.0, 2.0, grs80(), &lat, &lon, &h), 0);
    EXPECT_EQ(xyz_to_geodetic(1.0, std::nan(""), 2.0, grs80(), &lat, &lon, &h), 0);
    EXPECT_EQ(lat, 7);
    EXPECT_EQ(lon, 8);
    EXPECT_EQ(h, 9);
}

TEST(RadToDms, PacksDegreesMinutesSeconds) {
    EXPECT_NEAR(rad_to_dms((52.0 + 15.0 / 60 + 30.0 / 3600) * deg), 52.153, 1e-12);
    EXPECT_NEAR(rad_to_dms(10.5 * deg), 10.3, 1e-12);
    EXPECT_NEAR(rad_to_dms(-10.5 * deg), -10.3, 1e-12);
    EXPECT_NEAR(rad_to_dms((1.0 + 2.0 / 60 + 3.25 / 3600) * deg), 1.020325, 1e-12);
    EXPECT_EQ(rad_to_dms(-0.25 * deg), -rad_to_dms(0.25 * deg));
    EXPECT_EQ(axis_distance(3.0, -4.0), 5.0);
}

// The parts of a packed angle as "sign degrees minutes seconds" text.
static std::string split_text(double packed, int decimals) {
    const dms_parts p = dms_split(packed, decimals);
    char text[80];
    std::snprintf(text, sizeof text, "%c%.0f %.0f %.*f", p.negative ? '-' : '+', p.degrees,
                  p.minutes, decimals, p.seconds);
    return text;
}

TEST(DmsSplit, MinuteBoundariesAndCarries) {
    // 33.15 lies just below its decimal value as a double.
    EXPECT_EQ(split_text(33.15, 5), "+33 15 0.00000");
    EXPECT_EQ(split_text(rad_to_dms((33.0 + 15.0 / 60) * deg), 5), "+33 15 0.00000");
    // 10°59'59.9999999" rounds up to the next degree at five decimals.
    EXPECT_EQ(split_text(10.5959999999999, 5), "+11 0 0.00000");
    EXPECT_EQ(split_text(-10.3, 5), "-10 30 0.00000");
    EXPECT_EQ(split_text(rad_to_dms(-0.5 * deg), 5), "-0 30 0.00000");
    EXPECT_EQ(split_text(179.5959123456, 6), "+179 59 59.123456");
    EXPECT_EQ(split_text(52.1530, 0), "+52 15 30");

    const dms_parts p = dms_split(std::nan(""), 5);
    EXPECT_TRUE(std::isnan(p.degrees) && std::isnan(p.minutes) && std::isnan(p.seconds));
}

TEST(DmsSplit, ItalianStationParts) {
    double lat = 0, lon = 0, h = 0;
    ASSERT_EQ(xyz_to_geodetic(4449541.1, 723423.5, 4497127.0, grs80(), &lat, &lon, &h), 1);
    EXPECT_EQ(split_text(rad_to_dms(lat), 5), "+45 7 24.44251");
    EXPECT_EQ(split_text(rad_to_dms(lon), 5), "+9 14 4.43957");
}
