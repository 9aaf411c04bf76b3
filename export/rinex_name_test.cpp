#include "export/rinex_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// "station|day|session" as the export writes them.
std::string split(const char* name) {
    const rinex_name_parts p = rinex_name_split(name);
    return std::string(p.station) + "|" + p.day + "|" + p.session;
}

}  // namespace

TEST(RinexName, ShortNamesAsCharacterPositions) {
    EXPECT_EQ(split("TP2703150.99o"), "TP27|031|5");
    EXPECT_EQ(split("aopr0010.17o"), "aopr|001|0");
    EXPECT_EQ(split("KOSG0010.95O"), "KOSG|001|0");
    // Compression and compact suffixes leave the positions alone.
    EXPECT_EQ(split("irkm0440.16o.Z"), "irkm|044|0");
    EXPECT_EQ(split("bogi1210.09d.Z"), "bogi|121|0");
    EXPECT_EQ(split("brmu0440.16d.gz"), "brmu|044|0");
    EXPECT_EQ(split("npaz3550.21d.bz2"), "npaz|355|0");
    EXPECT_EQ(split("delf001a.21o.xz"), "delf|001|a");
    // Short and odd names: what the positions hold, blanks past the end.
    EXPECT_EQ(split("OB712480.23O.gz"), "OB71|248|0");
    EXPECT_EQ(split("sample.rnx"), "samp|le.|r");
    EXPECT_EQ(split("abcdef"), "abcd|ef | ");
    EXPECT_EQ(split("ab"), "ab|   | ");
    EXPECT_EQ(split(""), "|   | ");
}

TEST(RinexName, LongNamesGiveDayAndSessionFromTheirFields) {
    EXPECT_EQ(split("ACOR00ESP_R_20213550000_01D_30S_MO.rnx"), "ACOR|355|0");
    EXPECT_EQ(split("TWTF00TWN_R_20232490000_01D_30S_MO.rnx"), "TWTF|249|0");
    EXPECT_EQ(split("AJAC00FRA_R_20242090000_01D_30S_MO.crx.gz"), "AJAC|209|0");
    EXPECT_EQ(split("ACOR00ESP_R_20213550000_01D_30S_MO.rnx.Z"), "ACOR|355|0");
    EXPECT_EQ(split("acor00esp_r_20213550000_01d_30s_mo.rnx"), "acor|355|0");
    // Hourly and 15-minute files: the letter of the starting hour.
    EXPECT_EQ(split("KMS300DNK_R_20221591000_01H_30S_MO.crx"), "KMS3|159|k");
    EXPECT_EQ(split("GRAS00FRA_R_20223151700_15M_01S_MO.crx.gz"), "GRAS|315|r");
    EXPECT_EQ(split("GRAS00FRA_R_20223150015_15M_01S_MO.rnx"), "GRAS|315|a");
    EXPECT_EQ(split("GRAS00FRA_R_20223152345_15M_01S_MO.rnx.bz2"), "GRAS|315|x");
    EXPECT_EQ(split("GRAS00FRA_R_20223152300_01H_01S_MO.crx.xz"), "GRAS|315|x");
    EXPECT_EQ(split("GRAS00FRA_R_20223150000_01H_01S_MO.rnx"), "GRAS|315|a");
    // A day-long file that does not start at midnight is still session 0.
    EXPECT_EQ(split("GRAS00FRA_S_20223151200_01D_30S_MO.rnx"), "GRAS|315|0");
}

TEST(RinexName, AlmostLongNamesFallBackToPositions) {
    // Hour 24, a letter in the date, a missing separator, an unknown period
    // unit, a name cut before the period: taken as a short name.
    EXPECT_FALSE(rinex_name_is_long("ACOR00ESP_R_20213552400_01D_30S_MO.rnx"));
    EXPECT_EQ(split("ACOR00ESP_R_20213552400_01D_30S_MO.rnx"), "ACOR|00E|S");
    EXPECT_FALSE(rinex_name_is_long("ACOR00ESP_R_2021355000x_01D_30S_MO.rnx"));
    EXPECT_FALSE(rinex_name_is_long("ACOR00ESP_R-20213550000_01D_30S_MO.rnx"));
    EXPECT_FALSE(rinex_name_is_long("ACOR00ESP_R_20213550000_01Q_30S_MO.rnx"));
    EXPECT_FALSE(rinex_name_is_long("ACOR00ESP_R_20213550000_01"));
    EXPECT_FALSE(rinex_name_is_long("data/ACOR00ESP_R_20213550000_01D_30S_MO.rnx"));
    EXPECT_TRUE(rinex_name_is_long("ACOR00ESP_R_20213550000_01D_"));
}
