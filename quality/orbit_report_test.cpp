// The elevation bands and the texts of the check with orbits, on figures
// made here: zzSKY.csv and zzPOS.csv rows and the console's additions as
// exact text.
#include "quality/orbit_report.h"

#include <gtest/gtest.h>

#include <cmath>

// A band and its edges in sine (the horizon below the lowest, none above
// the highest).
TEST(SkyBands, BandOfElevationAndOfItsSine) {
    struct Row {
        double elevation_deg;
        int band;
        double low_deg, high_deg;  // the band's edges (999: none)
    } rows[] = {{-5, 0, -999, 0}, {0, 0, 0, 10},   {3, 0, 0, 10},    {9.99, 0, 0, 10},  {10.01, 1, 10, 20},
                {45, 4, 40, 50},  {79.99, 7, 70, 80}, {80.01, 8, 80, 999}, {90, 8, 80, 999}};
    for (const Row& r : rows) {
        const double sine = std::sin(r.elevation_deg * M_PI / 180);
        EXPECT_EQ(sky_band(r.elevation_deg), r.band) << r.elevation_deg;
        EXPECT_EQ(sky_band_of_sine(sine), r.band) << r.elevation_deg;
        double low = 0, high = 0;
        sky_band_edges_of_sine(sine, &low, &high);
        const auto edge = [](double deg) {
            return std::fabs(deg) == 999 ? std::copysign(INFINITY, deg) : std::sin(deg * M_PI / 180);
        };
        EXPECT_DOUBLE_EQ(low, edge(r.low_deg)) << r.elevation_deg;
        EXPECT_DOUBLE_EQ(high, edge(r.high_deg)) << r.elevation_deg;
    }
}

TEST(OrbitReport, RowsAndLinesAsText) {
    OrbitFigures f;
    f.orbits = true;
    f.header[0] = 3516213.438, f.header[1] = 781859.8595, f.header[2] = 5246037.966;
    f.position.known = true;
    f.position.position[0] = 3516212.5, f.position.position[1] = 781860.25, f.position.position[2] = 5246039.0;
    f.position.epochs_used = 19;
    for (int k = 0; k < 4; ++k) f.sky.expected('G', 1);
    for (int k = 0; k < 2; ++k) f.sky.expected('G', 0);
    f.sky.observed('G', 1, true, true, 7, 5);
    f.sky.observed('G', 1, true, false, 8, 0);
    f.sky.observed('G', 1, true, true, 0, 6);
    f.sky.observed('G', 0, true, false, 3, 0);
    f.sky.slip('G', 0);
    f.sky.multipath('G', 1, 0, 4, 0.16);  // RMS 0.2 m
    f.sky.multipath('G', 1, 1, 1, 0.09);  // 0.3 m
    OccupationQuality q;
    q.systems.resize(2);
    q.systems[0].system = 'G';
    q.systems[1].system = 'S';  // no orbits: no rows
    const OccupationLabel label{"KMS,3", 2, "kms3.obs"};
    const std::string rows = sky_csv_rows(label, q, f);
    EXPECT_EQ(rows.substr(0, rows.find("\"KMS,3\",2,G,20")),
              "\"KMS,3\",2,G,0,10,2,1,0,1,,,3.0,\n"
              "\"KMS,3\",2,G,10,20,4,3,2,0,0.200,0.300,7.5,5.5\n");
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 9);
    EXPECT_NE(rows.find("\"KMS,3\",2,G,80,90,0,0,0,0,,,,\n"), std::string::npos);
    EXPECT_EQ(pos_csv_row(label, f),
              "\"KMS,3\",2,3516213.438,781859.860,5246037.966,3516212.500,781860.250,5246039.000,1.450,19,\n");
    EXPECT_EQ(sky_console_text(f, 'G'), "  sky 4 above 10 deg  L1  75.0%  L2  50.0%");
    EXPECT_EQ(sky_console_text(f, 'S'), "  no orbits");
    EXPECT_EQ(position_console_line(label, f),
              "KMS,3       2 position from codes 3516212.500 781860.250 5246039.000 (19 epochs), 1.450 m from "
              "the header's\n");

    f.header[0] = f.header[1] = f.header[2] = 0;
    f.position = {};
    EXPECT_EQ(pos_csv_row(label, f), "\"KMS,3\",2,0.000,0.000,0.000,,,,,0,header position zero\n");
    f.header[2] = 6.4e6;
    EXPECT_EQ(pos_csv_row(label, f), "\"KMS,3\",2,0.000,0.000,6400000.000,,,,,0,no computed position\n");
    EXPECT_EQ(position_console_line(label, f), "KMS,3       2 position not computed from the codes\n");
}
