#include "export/geonap.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <numbers>
#include <string>

#include "geodesy/geodesy.h"
#include "obsdb/schema.h"
#include "support/error.h"
#include "support/version.h"
#include "tests/testkit/campaign_fill.h"
#include "tests/testkit/testkit.h"

using testkit::CampaignFill;
using testkit::file_exists;
using testkit::InDir;
using testkit::lines_of;
using testkit::read_file;
using testkit::run_in_child;
using testkit::ScratchDir;

namespace {

const std::string created = std::string("# created: ") + program_name + " " + version_text;
const std::string sta_header =
    "# camp.sta - coordinate station file for campaign:\n" + created +
    "\n#\n"
    "#sta n gps site name    latitude         longitude           ell.height\n"
    "#--- - --------------- ---- -- -------- ---- -- --------    -----------\n";
const std::string ant_header =
    "# camp.ant - geonap project antenna file\n# used by trtori and gnsngl\n" + created + " " +
    credits_text + "\n#ant type s.no. own\n#--- ---- ----- ---\n";
const std::string rcv_header =
    "# camp.rcv - geonap project receiver file\n# used by trtori and gnsngl\n" + created + " " +
    credits_text +
    "\n#rcv type s.no  \"                \" own  ant\n"
    "#--- ---- ----  ------------------ ---  ----\n";
const std::string obs_header = "# camp.obs - geonap project observation file\n" + created + " " +
                               credits_text +
                               "\n#yyy ddd s sta  ant.h. rcv  ant  \" \"\n"
                               "#--- --- - ---- ------ ---- ---- ---\n";

// Adds one occupation read from `file` with the given first epoch and
// antenna height.
long add_occupation(CampaignFill& fill, long sta, long rcv, long ant, const char* file,
                    double first_epoch, double delta_h, double x, double y, double z) {
    occ_record& occ = fill.next_occupation();
    std::snprintf(occ.rinex_file, sizeof occ.rinex_file, "%s", file);
    occ.first_epoch = first_epoch;
    occ.last_epoch = first_epoch + 3600;
    occ.delta_h = delta_h;
    occ.interval = 30;
    return fill.occupation(sta, rcv, ant, x, y, z);
}

testkit::RunResult export_in_child(const std::string& base) {
    return run_in_child([&] {
        report_stream = stderr;
        export_geonap(base.c_str());
    });
}

// Cartesian position of a point on the GRS80 ellipsoid.
void surface_xyz(double lat_deg, double lon_deg, double* x, double* y, double* z) {
    ell_params e;
    ell_setup(grs80_a, grs80_b, &e);
    const double lat = lat_deg * std::numbers::pi / 180, lon = lon_deg * std::numbers::pi / 180;
    const double n = e.a / std::sqrt(1.0 - e.e2 * std::sin(lat) * std::sin(lat));
    *x = n * std::cos(lat) * std::cos(lon);
    *y = n * std::cos(lat) * std::sin(lon);
    *z = n * (1.0 - e.e2) * std::sin(lat);
}

}  // namespace

TEST(GeonapExport, TwoOccupationsOfOneStation) {
    setenv("TZ", "Europe/Berlin", 1);  // the years depend on the local time
    tzset();
    ScratchDir dir;
    InDir in(dir.path());
    {
        CampaignFill fill;
        const long sta = fill.station("TP27");
        const long rcv = fill.receiver("3310A12345", "TRIMBLE 4000SSI");
        const long ant = fill.antenna("123456789", "TRM22020.00+GP");
        add_occupation(fill, sta, rcv, ant, "TP2703150.99o", time_value(1999, 1, 31, 12, 0, 0),
                       1.2345, 4449541.1, 723423.5, 4497127.0);
        add_occupation(fill, sta, rcv, ant, "TP2703160.00o", time_value(2000, 1, 1, 0, 30, 0), 0.5,
                       4449541.1, 723423.5, 4497127.0);
    }
    auto r = export_in_child("camp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Das klappt noch...(a)\nDas klappt noch...(3)\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file("camp.STA"), sta_header + "TP27 1 \"TP27\"" + std::string(9, ' ') +
                                         "   45  7 24.44251    9 14  4.43957       123.4810\n");
    EXPECT_EQ(read_file("camp.ANT"), ant_header + "an01 ???? 12345 QOR\n");
    EXPECT_EQ(read_file("camp.RCV"),
              rcv_header + "rc01 trsi 3310  \"                \" IGS  an01\n");
    // Half past midnight on New Year's Day in Berlin is still 1999 in UTC.
    EXPECT_EQ(read_file("camp.OBS"), obs_header +
                                         "1999 031 5 TP27 1.2345 rc01 an01 \" \"\n"
                                         "2000 031 6 TP27 0.5000 rc01 an01 \" \"\n");

    // The code table was created with its five rows: placeholder plus 5 codes.
    const std::string gn = read_file("zzGN.DAT");
    ASSERT_EQ(gn.size(), 30u);
    EXPECT_EQ(std::string(gn.c_str() + 5), "trss");
    EXPECT_EQ(std::string(gn.c_str() + 10), "trsi");
    EXPECT_EQ(std::string(gn.c_str() + 15), "trse");
    EXPECT_EQ(std::string(gn.c_str() + 20), "trsc");
    EXPECT_EQ(std::string(gn.c_str() + 25), "trss");

    // A second run reuses the table and writes the same files.
    const std::string first_obs = read_file("camp.OBS");
    r = export_in_child("camp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file("zzGN.DAT").size(), 30u);
    EXPECT_EQ(read_file("camp.OBS"), first_obs);
    EXPECT_EQ(read_file("camp.RCV"),
              rcv_header + "rc01 trsi 3310  \"                \" IGS  an01\n");
}

TEST(GeonapExport, CodeLookupAndNumbering) {
    ScratchDir dir;
    InDir in(dir.path());
    {
        CampaignFill fill;
        const long sta = fill.station("  LONG STATION NAME  ");
        const long a1 = fill.antenna("A1", "TR GEOD L1/L2 GP");
        const long a2 = fill.antenna("A2", "");
        const long r1 = fill.receiver("R1", "TRIMBLE 4000SSI");
        const long r2 = fill.receiver("R2", "LEICA SR530");
        const long r3 = fill.receiver("R3", "");
        // Occupations are walked by antenna: r1 and r3 with a1, then r2 with a2.
        add_occupation(fill, sta, r1, a1, "abcd0011.05o", time_value(2005, 1, 1, 12, 0, 0), 1,
                       4449541.1, 723423.5, 4497127.0);
        add_occupation(fill, sta, r2, a2, "abcd0012.05o", time_value(2005, 1, 1, 12, 0, 0), 1,
                       4449541.1, 723423.5, 4497127.0);
        add_occupation(fill, sta, r3, a1, "a.o", time_value(2005, 1, 1, 12, 0, 0), 1, 4449541.1,
                       723423.5, 4497127.0);
    }
    auto r = export_in_child("camp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file("camp.ANT"), ant_header + "an01 trsc    A1 QOR\nan02 trss    A2 QOR\n");
    EXPECT_EQ(read_file("camp.RCV"), rcv_header +
                                         "rc01 trsi   R1  \"                \" IGS  an01\n"
                                         "rc02 trss   R3  \"                \" IGS  an01\n"
                                         "rc03 ????   R2  \"                \" IGS  an02\n");
    // A short file name gives blanks for the missing day and session.
    EXPECT_EQ(read_file("camp.OBS"), obs_header +
                                         "2005 001 1 abcd 1.0000 rc01 an01 \" \"\n"
                                         "2005        a.o 1.0000 rc02 an01 \" \"\n"
                                         "2005 001 2 abcd 1.0000 rc03 an02 \" \"\n");
    // A long name gets no padding and is written as it stands.
    EXPECT_EQ(lines_of(read_file("camp.STA")).back(),
              "abcd 1 \"LONG STATION NAME\"   45  7 24.44251    9 14  4.43957       123.4810");
    EXPECT_EQ(r.out,
              "Das klappt noch...(a)\nDas klappt noch...(3)\n"
              "Das klappt noch...(a)\nDas klappt noch...(3)\n"
              "Das klappt noch...(a)\nDas klappt noch...(3)\n");
}

TEST(GeonapExport, SouthernWesternStationOnMinuteBoundaries) {
    ScratchDir dir;
    InDir in(dir.path());
    double x, y, z;
    surface_xyz(-10.5, -70.25, &x, &y, &z);
    {
        CampaignFill fill;
        add_occupation(fill, fill.station("%s%n"), fill.receiver("R", "X"), fill.antenna("A", "Y"),
                       "sout0011.05o", time_value(2005, 1, 1, 12, 0, 0), 0, x, y, z);
    }
    auto r = export_in_child("camp");
    ASSERT_EQ(r.status, 0) << r.err;
    // The six-character quoted name is padded with 9 blanks to 15.
    EXPECT_EQ(lines_of(read_file("camp.STA")).back().substr(0, 56),
              "sout 1 \"%s%n\"" + std::string(9, ' ') + "  -10 30  0.00000  -70 15  0.00000");
}

TEST(GeonapExport, MoreThanAHundredOfEverything) {
    ScratchDir dir;
    InDir in(dir.path());
    const int count = 130;
    {
        CampaignFill fill;
        for (int i = 1; i <= count; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "S%03d", i);
            const long sta = fill.station(name);
            std::snprintf(name, sizeof name, "R%03d", i);
            const long rcv = fill.receiver(name, "TRIMBLE 4000SST");
            std::snprintf(name, sizeof name, "A%03d", i);
            const long ant = fill.antenna(name, "");
            add_occupation(fill, sta, rcv, ant, "s0010010.05o", time_value(2005, 1, 1, 12, 0, 0), 0,
                           4449541.1, 723423.5, 4497127.0);
        }
    }
    auto r = export_in_child("camp");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto ant = lines_of(read_file("camp.ANT"));
    const auto rcv = lines_of(read_file("camp.RCV"));
    const auto sta = lines_of(read_file("camp.STA"));
    const auto obs = lines_of(read_file("camp.OBS"));
    ASSERT_EQ(ant.size(), 5u + count);
    ASSERT_EQ(rcv.size(), 5u + count);
    ASSERT_EQ(sta.size(), 5u + count);
    ASSERT_EQ(obs.size(), 4u + count);
    EXPECT_EQ(ant[5 + 99], "an100 trss  A100 QOR");
    EXPECT_EQ(ant.back(), "an130 trss  A130 QOR");
    EXPECT_EQ(rcv.back(), "rc130 trss R130  \"                \" IGS  an130");
    EXPECT_EQ(obs.back(), "2005 001 0 s001 0.0000 rc130 an130 \" \"");
}

TEST(GeonapExport, OutputFileThatCannotBeOpened) {
    ScratchDir dir;
    InDir in(dir.path());
    ASSERT_EQ(mkdir("camp.OBS", 0755), 0);
    auto r = export_in_child("camp");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("error occured while opening output file."), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    // Outputs are written all or nothing: the one opened before is gone.
    EXPECT_FALSE(file_exists("camp.STA"));
    EXPECT_FALSE(file_exists("camp.RCV"));
    EXPECT_FALSE(file_exists("camp.ANT"));
    EXPECT_FALSE(file_exists("zzGN.DAT"));
}

TEST(GeonapExport, EmptyDatabaseStopsWithMessageTen) {
    ScratchDir dir;
    InDir in(dir.path());
    auto r = export_in_child("camp");
    EXPECT_EQ(r.status, 10);
    EXPECT_NE(r.err.find("E0010: database zzOCC.DAT cannot be opened"), std::string::npos) << r.err;
    // The files opened before the error stay unwritten: none is left.
    for (const char* name : {"camp.STA", "camp.OBS", "camp.RCV", "camp.ANT"})
        EXPECT_FALSE(file_exists(name)) << name;
}

TEST(GeonapExport, BaseNameNearTheFileNameLimit) {
    ScratchDir dir;
    InDir in(dir.path());
    {
        CampaignFill fill;
        add_occupation(fill, fill.station("TP27"), fill.receiver("R", "X"), fill.antenna("A", "Y"),
                       "TP2703150.99o", time_value(1999, 1, 31, 12, 0, 0), 0, 4449541.1, 723423.5,
                       4497127.0);
    }
    const std::string base(250, 'b');
    auto r = export_in_child(base);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines_of(read_file(base + ".STA"))[0],
              "# " + base + ".sta - coordinate station file for campaign:");
    EXPECT_EQ(lines_of(read_file(base + ".ANT")).size(), 6u);
}
