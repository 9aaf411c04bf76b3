// The database listing: exact lines from a database filled through the API.
// The failures are run end to end in export_cli_test.
#include "obsdb/listing.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <string>

#include "obsdb/schema.h"
#include "support/error.h"
#include "tests/testkit/campaign_fill.h"
#include "tests/testkit/testkit.h"

using testkit::CampaignFill;
using testkit::InDir;
using testkit::read_file;
using testkit::run_in_child;
using testkit::ScratchDir;

namespace {

testkit::RunResult list_in_child(const char* file) {
    return run_in_child([file] {
        report_stream = stderr;
        list_database(file);
    });
}

// One occupation with two satellites and three observations.
void fill_small_campaign() {
    setenv("TZ", "Europe/Berlin", 1);  // the time values below are Berlin times
    tzset();
    CampaignFill fill;
    const long sta = fill.station("TP27", "12345M001");
    const long rcv = fill.receiver("3310A12345", "TRIMBLE 4000SSI");
    const long ant = fill.antenna("123456789", "TRM22020.00+GP");
    occ_record& occ = fill.next_occupation();
    occ.delta_h = 1.5;
    occ.delta_e = 0.25;
    occ.delta_n = -0.125;
    occ.interval = 30;
    occ.wlf_l1 = 1;
    occ.wlf_l2 = 1;
    std::snprintf(occ.observer, sizeof occ.observer, "%-20s", "OBS");
    std::snprintf(occ.agency, sizeof occ.agency, "%s", "AGENCY");
    std::snprintf(occ.rinex_file, sizeof occ.rinex_file, "%s", "TP2703150.99o");
    const double t0 = time_value(1999, 1, 31, 12, 0, 0);
    occ.first_epoch = t0;
    occ.last_epoch = t0 + 3600;
    const long occ_number = fill.occupation(sta, rcv, ant, 4449541.1, 723423.5, 4497127.0);
    const long g05 = fill.satellite("G05");
    const long g01 = fill.satellite("G01");
    const long so05 = fill.satellite_occupation(g05, occ_number);
    const long so01 = fill.satellite_occupation(g01, occ_number);
    fill.observation(so05, t0);
    fill.observation(so01, t0);
    fill.observation(so05, t0 + 30.5);
}

}  // namespace

TEST(Listing, SectionsAndLineFormats) {
    ScratchDir dir;
    InDir in(dir.path());
    fill_small_campaign();
    auto r = list_in_child("list.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Done.\n");
    // The observer keeps its trailing blanks; the agency is right-aligned in 10.
    const std::string observer = "OBS" + std::string(17, ' ');
    EXPECT_EQ(read_file("list.txt"),
              "Occupation:\n"
              "  1  216   88   28   42   42 1.500 0.250 -0.125 30  1  1 " +
                  observer +
                  "     AGENCY TP2703150.99o 917780400.00 917784000.00\n"
                  "Station:\n"
                  " 1   88    0 TP27 12345M001\n"
                  "Receiver:\n"
                  " 1   42 3310A12345 TRIMBLE 4000SSI\n"
                  "Antenna:\n"
                  " 1   42 123456789 TRM22020.00+GP\n"
                  "SatOccu:\n"
                  " 1    8   97  216\n"
                  " 2   16  194  216\n"
                  "Sats:\n"
                  " 1  194 G01 \n"
                  " 2   97 G05 \n"
                  "Observations:\n"
                  "     1     72      8 917780400.000000\n"
                  "     2    144     16 917780400.000000\n"
                  "     3    216      8 917780430.500000\n");
}

TEST(Listing, TextFieldsWithoutTerminatorStayInTheirField) {
    ScratchDir dir;
    InDir in(dir.path());
    {
        CampaignFill fill;
        sta_record sta;
        std::memset(&sta, 0, sizeof sta);
        std::memset(sta.marker_name, 'M', sizeof sta.marker_name);
        std::memset(sta.marker_number, 'N', sizeof sta.marker_number);
        const long sta_number = fill.station(sta);
        const long rcv = fill.receiver("R", "T");
        const long ant = fill.antenna("A", "T");
        occ_record& occ = fill.next_occupation();
        std::memset(occ.observer, 'o', sizeof occ.observer);
        std::memset(occ.agency, 'a', sizeof occ.agency);
        std::memset(occ.rinex_file, 'r', sizeof occ.rinex_file);
        fill.occupation(sta_number, rcv, ant, 1, 2, 3);
        fill.satellite_occupation(fill.satellite("G01"), 216);
    }
    auto r = list_in_child("list.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = testkit::lines_of(read_file("list.txt"));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[1], "  1  216   88   28   42   42 0.000 0.000 0.000  0  0  0 " +
                            std::string(21, 'o') + " " + std::string(41, 'a') + " " +
                            std::string(81, 'r') + "       0.00       0.00");
    EXPECT_EQ(lines[3], " 1   88    0 " + std::string(61, 'M') + " " + std::string(23, 'N'));
}

TEST(Listing, ObservationLinesAsPrintfWritesThem) {
    ScratchDir dir;
    InDir in(dir.path());
    const double epochs[] = {
        0.0,  -0.0,      1.0, -1.0,     917780400.0, 917780430.5,     0.1,   1e-7, 1e15, 1e15 - 1,
        1e20, -1e15 - 2, NAN, INFINITY, -INFINITY,   9999999.9999995, -1e300};
    const long satoccs[] = {8, -5, 0, 1234567, INT32_MIN};
    std::string expected = "Observations:\n";
    {
        CampaignFill fill;
        long count = 0;
        for (double epoch : epochs) {
            const long satocc = satoccs[count % std::size(satoccs)];
            const long number = fill.observation(satocc, epoch);
            char line[512];  // the largest doubles have some 300 digits
            std::snprintf(line, sizeof line, "%6ld %6ld %6ld %8lf\n", ++count, number, satocc,
                          epoch);
            expected += line;
        }
    }
    auto r = list_in_child("list.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string listing = read_file("list.txt");
    EXPECT_EQ(listing.substr(listing.find("Observations:\n")), expected);
}
