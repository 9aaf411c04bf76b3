// The navigation-file parser: numbers and epochs, real files of every
// version and wrapping, record kinds, skipped records, and bad input named
// by its line.
#include "rinex/nav_format.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "input/input_stream.h"
#include "tests/testkit/testkit.h"

namespace {

// The whole (decompressed) content of a file of tests/data.
std::string data_text(const std::string& name) {
    input::InputStream in;
    EXPECT_TRUE(in.open(testkit::test_data_path(name))) << in.error();
    std::string text;
    char buffer[65536];
    long n = 0;
    while ((n = in.read(buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
    EXPECT_EQ(n, 0) << in.error();
    return text;
}

// Ephemerides per system and kind, as "G LNAV" -> count.
std::map<std::string, int> kinds_of(const NavFile& file) {
    std::map<std::string, int> kinds;
    for (const NavEphemeris& eph : file.ephemerides)
        ++kinds[std::string(1, eph.system) + " " + eph.kind];
    return kinds;
}

std::map<std::string, long> skipped_of(const NavFile& file) {
    std::map<std::string, long> skipped;
    for (const NavSkipped& entry : file.skipped) skipped[entry.type] = entry.count;
    return skipped;
}

const NavEphemeris* find(const NavFile& file, char system, int prn, double toc) {
    for (const NavEphemeris& eph : file.ephemerides)
        if (eph.system == system && eph.prn == prn && eph.toc == toc) return &eph;
    return nullptr;
}

std::string header_line(std::string content, const char* label) {
    content.resize(60, ' ');
    return content + label + "\n";
}

const std::string v2_gps_header = header_line("     2.11           N: GPS NAV DATA", "RINEX VERSION / TYPE") +
                                  header_line("", "END OF HEADER");
const std::string v3_mixed_header =
    header_line("     3.04           NAVIGATION DATA     M (MIXED)", "RINEX VERSION / TYPE") +
    header_line("", "END OF HEADER");
const std::string v4_header =
    header_line("     4.00           N: GNSS NAV DATA    M: MIXED", "RINEX VERSION / TYPE") +
    header_line("", "END OF HEADER");

// A RINEX 3 record: the epoch line and `lines` broadcast-orbit lines whose
// values count 1, 2, 3, ... (the data-sources value of a Galileo record set
// to `sources`).
std::string v3_record(const std::string& satellite, int lines, double sources = 0) {
    std::string text = satellite + " 2021 01 01 00 00 00-1.000000000000E-04 0.000000000000E+00 0.000000000000E+00\n";
    int n = 0;
    for (int l = 0; l < lines; ++l) {
        text += "    ";
        for (int i = 0; i < 4; ++i) {
            char field[24];
            const double value = (l == 4 && i == 1) ? sources : ++n;
            std::snprintf(field, sizeof field, "%19.12E", value);
            text += field;
        }
        text += "\n";
    }
    return text;
}

TEST(NavNumbers, FieldsWithEveryExponentLetterAndBlanks) {
    struct Row {
        const char* field;
        bool ok;
        double value;
    } rows[] = {
        {"  1.0D-09", true, 1.0e-9}, {" -.5e+01", true, -5.0}, {"", true, 0.0}, {"      ", true, 0.0},
        {"+2.5D+00", true, 2.5}, {"0.7451d-08", true, 0.7451e-8}, {"-0.000000000000D+00", true, 0.0},
        {"432000", true, 432000.0}, {"1.0X", false, 0}, {"nan", false, 0}, {"inf", false, 0},
        {"1.2.3", false, 0}, {"0x10", false, 0}, {"1.0 D-09", false, 0}, {"-", false, 0},
    };
    for (const Row& row : rows) {
        double value = -99;
        EXPECT_EQ(nav_number(row.field, &value), row.ok) << row.field;
        if (row.ok) {
            EXPECT_DOUBLE_EQ(value, row.value) << row.field;
        }
    }
}

TEST(NavNumbers, CalendarReadAsUtc) {
    EXPECT_EQ(nav_calendar_seconds(1970, 1, 1, 0, 0, 0), 0.0);
    EXPECT_EQ(nav_calendar_seconds(1980, 1, 6, 0, 0, 0), 315964800.0);  // GPS time origin
    EXPECT_EQ(nav_calendar_seconds(2000, 2, 29, 12, 0, 0), 951825600.0);
    EXPECT_EQ(nav_calendar_seconds(2020, 12, 31, 23, 59, 44.5), 1609459184.5);
}

// The files' records counted by system and type (by grep on the files), and
// header values and single fields compared with the text of the file.
TEST(NavRealFiles, EveryVersionAndWrapping) {
    struct Row {
        const char* file;
        std::map<std::string, int> kinds;
        std::map<std::string, long> skipped;
        int leap_seconds;  // -1: none
    } rows[] = {
        {"dlf10010.21g", {{"R FDMA", 7}}, {}, -1},
        {"ijmu3650.21n.gz", {{"G LNAV", 244}}, {}, -1},
        {"BRDC00GOP_R_20210010000_01D_MN.rnx.gz",
         {{"C D2", 1}, {"E FNAV", 1}, {"R FDMA", 1}},
         {{"S SBAS", 1}},
         18},
        {"MOJN00DNK_R_20201770000_01D_MN.rnx.gz",
         {{"C D1", 318}, {"C D2", 26}, {"E FNAV", 841}, {"E INAV", 821}, {"G LNAV", 240}, {"J LNAV", 20}, {"R FDMA", 464}},
         {{"S SBAS", 2168}},
         18},
        {"KMS300DNK_R_20221591000_01H_MN.rnx.gz",
         {{"C D1", 33}, {"C D2", 3}, {"E FNAV", 53}, {"E INAV", 55}, {"G LNAV", 30}, {"J LNAV", 1}, {"R FDMA", 24}},
         {{"S SBAS", 158}, {"ION", 3}, {"STO", 3}},
         18},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const NavFile file = parse_nav_text(data_text(row.file));
        ASSERT_TRUE(file.ok) << file.error_line << ": " << file.error_text;
        EXPECT_EQ(kinds_of(file), row.kinds);
        EXPECT_EQ(skipped_of(file), row.skipped);
        EXPECT_EQ(file.header.leap_seconds_present ? file.header.leap_seconds : -1, row.leap_seconds);
    }
}

// Single fields against the file's text where the orbits computed from these
// files do not look: blank or missing fields as 0, the transmission time alone
// on its line, a fourth GLONASS line, the header's ionosphere values.
TEST(NavRealFiles, FieldsInTheirPlaces) {
    struct Row {
        const char* file;
        char system;
        int prn;
        double toc;
        int index;
        double value;
    } rows[] = {
        {"dlf10010.21g", 'R', 3, nav_calendar_seconds(2020, 12, 31, 23, 45, 0), 15, 0.0},  // no fourth line
        {"cbw10010.21n.gz", 'G', 1, nav_calendar_seconds(2021, 1, 1, 2, 0, 0), 27, 4.329780000000e+05},
        {"cbw10010.21n.gz", 'G', 1, nav_calendar_seconds(2021, 1, 1, 2, 0, 0), 28, 0.0},
        {"MOJN00DNK_R_20201770000_01D_MN.rnx.gz", 'R', 1, nav_calendar_seconds(2020, 6, 24, 23, 45, 0), 15, 0.0},
        {"MOJN00DNK_R_20201770000_01D_MN.rnx.gz", 'R', 1, nav_calendar_seconds(2020, 6, 24, 23, 45, 0), 16,
         0.999999999999e+09},
        {"KMS300DNK_R_20221591000_01H_MN.rnx.gz", 'R', 3, nav_calendar_seconds(2022, 6, 8, 9, 45, 0), 15, 183.0},
    };
    std::map<std::string, NavFile> files;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.file) + " " + row.system + std::to_string(row.prn) + " [" +
                     std::to_string(row.index) + "]");
        if (!files.count(row.file)) files[row.file] = parse_nav_text(data_text(row.file));
        const NavEphemeris* eph = find(files[row.file], row.system, row.prn, row.toc);
        ASSERT_NE(eph, nullptr);
        EXPECT_EQ(eph->values[row.index], row.value);
    }
    EXPECT_EQ(files["cbw10010.21n.gz"].header.gps.alpha[0], 0.7451e-08);
    EXPECT_EQ(files["MOJN00DNK_R_20201770000_01D_MN.rnx.gz"].header.galileo[0], 2.8250e+01);
    EXPECT_FALSE(files["KMS300DNK_R_20221591000_01H_MN.rnx.gz"].header.gps.present);  // only in "> ION" records
    const NavFile brdc = parse_nav_text(data_text("BRDC00GOP_R_20210010000_01D_MN.rnx.gz"));
    EXPECT_EQ(brdc.header.beidou.beta[3], -4.5880e+05);
}

// The kind of a RINEX 3 record: Galileo's from its data sources, BeiDou's
// from its number (geostationary satellites send D2).
TEST(NavKinds, GalileoDataSourcesAndBeidouNumbers) {
    struct Row {
        const char* satellite;
        double sources;
        const char* kind;
    } rows[] = {
        {"E01", 258, "FNAV"}, {"E02", 513, "INAV"}, {"E03", 517, "INAV"}, {"E04", 0, "INAV"},
        {"E05", 2, "FNAV"},   {"E06", 3, "INAV"},   {"C01", 0, "D2"},     {"C05", 0, "D2"},
        {"C06", 0, "D1"},     {"C58", 0, "D1"},     {"C59", 0, "D2"},     {"C63", 0, "D2"},
        {"G01", 0, "LNAV"},   {"J02", 0, "LNAV"},
    };
    for (const Row& row : rows) {
        const NavFile file = parse_nav_text(v3_mixed_header + v3_record(row.satellite, 7, row.sources));
        ASSERT_TRUE(file.ok) << row.satellite << ": " << file.error_text;
        ASSERT_EQ(file.ephemerides.size(), 1u);
        EXPECT_STREQ(file.ephemerides[0].kind, row.kind) << row.satellite;
        EXPECT_EQ(file.ephemerides[0].values[3], 1.0);
        EXPECT_EQ(file.ephemerides[0].values[30], 27.0);  // 28 values, one replaced by sources
    }
}

// What passes: blank lines, CR LF line ends, unknown RINEX 4 record types of
// any length, GLONASS with three or four orbit lines.
TEST(NavAccepted, OddButSoundFiles) {
    const std::string v4_skipped = "> XYZ G01 ABC\n    one\n    two\n    three\n    four\n    five\n"
                                   "> EPH G05 CNV2\n" + v3_record("G05", 9) +
                                   "> EPH G01 LNAV\n" + v3_record("G01", 7) + "> EOP\n    x\n";
    const NavFile v4 = parse_nav_text(v4_header + v4_skipped);
    ASSERT_TRUE(v4.ok) << v4.error_line << ": " << v4.error_text;
    EXPECT_EQ(v4.ephemerides.size(), 1u);
    EXPECT_EQ(skipped_of(v4), (std::map<std::string, long>{{"XYZ", 1}, {"G CNV2", 1}, {"EOP", 1}}));

    std::string crlf = v3_mixed_header + "\n" + v3_record("R01", 3) + "   \n" + v3_record("R02", 4) +
                       v3_record("G01", 7);
    for (std::size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2))
        crlf.insert(at, 1, '\r');
    const NavFile mixed = parse_nav_text(crlf);
    ASSERT_TRUE(mixed.ok) << mixed.error_line << ": " << mixed.error_text;
    EXPECT_EQ(kinds_of(mixed), (std::map<std::string, int>{{"R FDMA", 2}, {"G LNAV", 1}}));
    EXPECT_EQ(mixed.ephemerides[0].values[14], 12.0);
    EXPECT_EQ(mixed.ephemerides[0].values[15], 0.0);
    EXPECT_EQ(mixed.ephemerides[1].values[18], 16.0);
    EXPECT_EQ(mixed.ephemerides[2].toc, nav_calendar_seconds(2021, 1, 1, 0, 0, 0));
}

// Bad input: the line named and the reason.
TEST(NavRejected, NamesTheLine) {
    const std::string v2_record =
        " 1 21  1  1  2  0  0.0 7.874774746600D-04-5.911715561520D-12 0.000000000000D+00\n";
    const std::string v2_orbit = "    5.200000000000D+01-7.362500000000D+01 4.318037039040D-09 2.893520298160D-02\n";
    std::string v2_full = v2_record;
    for (int i = 0; i < 7; ++i) v2_full += v2_orbit;
    std::string bad_number = v2_full;
    bad_number.replace(bad_number.find("7.3625"), 6, "7.36Q5");
    struct Row {
        const char* name;
        std::string text;
        long line;
        const char* reason;
    } rows[] = {
        {"not RINEX", "hello\n", 1, "the first line is not a RINEX VERSION / TYPE line"},
        {"observation file", header_line("     3.04           OBSERVATION DATA    M", "RINEX VERSION / TYPE"), 1,
         "file type 'O' is not navigation data"},
        {"version 5", header_line("     5.00           N: GNSS NAV DATA    M", "RINEX VERSION / TYPE"), 1,
         "RINEX version 5.00 is not read (only 2.xx, 3.xx, 4.xx)"},
        {"RINEX 2 GEO", header_line("     2.11           H: GEO NAV MSG DATA", "RINEX VERSION / TYPE"), 1,
         "RINEX 2 file type 'H' is no GPS or GLONASS navigation data"},
        {"no end of header", header_line("     2.11           N: GPS NAV DATA", "RINEX VERSION / TYPE") + v2_record,
         2, "no END OF HEADER line"},
        {"bad ionosphere", header_line("     2.11           N: GPS NAV DATA", "RINEX VERSION / TYPE") +
                               header_line("    0.7451D-08 -0.14x0D-07", "ION ALPHA"),
         2, "bad ionosphere parameter in ION ALPHA"},
        {"bad number", v2_gps_header + bad_number, 4, "bad number in a broadcast-orbit line"},
        {"cut off", v2_gps_header + v2_record + v2_orbit + v2_orbit, 5,
         "the file ends inside the ephemeris of line 3"},
        {"short record", v2_gps_header + v2_record + v2_orbit + v2_full, 3,
         "the ephemeris has 1 of its 7 broadcast-orbit lines"},
        {"GLONASS with five lines", v3_mixed_header + v3_record("R01", 5), 8,
         "more than 4 broadcast-orbit lines in the ephemeris of line 3"},
        {"unknown system", v3_mixed_header + v3_record("X01", 7), 3, "satellite system 'X' is not known"},
        {"number 0", v3_mixed_header + v3_record("G00", 7), 3, "satellite number out of range"},
        {"month 13", v2_gps_header + " 1 21 13  1  2  0  0.0 7.874774746600D-04\n", 3, "bad epoch"},
        {"continuation first", v3_mixed_header + "    1.0\n", 3, "a continuation line outside any record"},
        {"v4 other satellite", v4_header + "> EPH G02 LNAV\n" + v3_record("G03", 7), 4,
         "the ephemeris is not of the satellite its > EPH line names"},
        {"v4 outside record", v4_header + v3_record("G03", 7), 3, "a line outside any record"},
        {"v4 empty record", v4_header + "> EPH G02 LNAV\n> EPH G03 LNAV\n", 3, "the > EPH record has no lines"},
        {"v4 cut after its line", v4_header + "> EPH G02 LNAV\n", 3,
         "the file ends inside the ephemeris of line 3"},
    };
    for (const Row& row : rows) {
        const NavFile file = parse_nav_text(row.text);
        EXPECT_FALSE(file.ok) << row.name;
        EXPECT_EQ(file.error_line, row.line) << row.name;
        EXPECT_EQ(file.error_text, row.reason) << row.name;
        EXPECT_TRUE(file.ephemerides.empty() || std::string(row.name) == "short record") << row.name;
    }
}

}  // namespace
