// The quality check with orbits run by the real program on real days with
// their navigation files: the position from the codes against the header's,
// headers of zero and far off flagged, completeness against the sky,
// GLONASS and BeiDou checked like GPS and Galileo; and a campaign without
// navigation files, whose report stays as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "tests/testkit/testkit.h"
#include "tools/obsgen/obs_generator.h"

using testkit::read_csv;
using testkit::run_lumerak;
using testkit::ScratchDir;
using Row = testkit::CsvRow;

namespace {

const char kms3_obs[] = "KMS300DNK_R_20221591000_01H_30S_MO.crx";
const char kms3_nav[] = "KMS300DNK_R_20221591000_01H_MN.rnx.gz";
// KMS3's IGS position as its header gives it.
const double kms3[3] = {3516213.438, 781859.8595, 5246037.966};

// The KMS3 hour with its header position replaced by `approx` (the
// header's 14.4 fields, or "" to keep it), read with its navigation file
// (before it, as a campaign may) and checked.
testkit::RunResult check_kms3(const ScratchDir& dir, const std::string& approx) {
    std::string text = testkit::read_file(testkit::test_data_path(kms3_obs));
    if (!approx.empty()) {
        const std::size_t at = text.find("APPROX POSITION XYZ");
        EXPECT_NE(at, std::string::npos);
        text.replace(at - 60, 42, approx);
    }
    testkit::write_file(dir.file(kms3_obs), text);
    testkit::copy_test_data(kms3_nav, dir.path());
    EXPECT_EQ(run_lumerak({std::string("-r") + kms3_nav}, dir.path()).status, 0);
    EXPECT_EQ(run_lumerak({std::string("-r") + kms3_obs}, dir.path()).status, 0);
    return run_lumerak({"-i"}, dir.path());
}

// KMS3's line of its position on the console; empty when there is none.
std::string position_line(const std::string& out) {
    for (const std::string& line : testkit::lines_of(out))
        if (line.starts_with("KMS3        1 position from codes ")) return line;
    return "";
}

double distance_to_kms3(const Row& pos) {
    double sum = 0;
    const char* names[] = {"computed_x_m", "computed_y_m", "computed_z_m"};
    for (int k = 0; k < 3; ++k) {
        const double d = std::stod(pos.at(names[k])) - kms3[k];
        sum += d * d;
    }
    return std::sqrt(sum);
}

}  // namespace

// KMS3, an IGS station (coordinates good to centimetres), an hour of five
// systems with its own navigation file: the position from the codes within
// a few metres of the header's, every epoch solved; every system with
// orbits gets its bands and a share of the sky on its line, SBAS (no
// ephemerides) says it has none; nothing expected is missing from the bands
// and the station tracks nearly all it can; GLONASS and BeiDou get MP of the
// order of GPS's and Galileo's and no slips on a clean hour.
TEST(OrbitCheck, RealDayWithItsNavigationFile) {
    ScratchDir dir;
    const auto r = check_kms3(dir, "");
    ASSERT_EQ(r.status, 0) << r.err;

    const std::vector<Row> pos = read_csv(dir.file("zzPOS.csv"));
    ASSERT_EQ(pos.size(), 1u);
    EXPECT_EQ(pos[0].at("station"), "KMS3");
    EXPECT_EQ(pos[0].at("header_x_m"), "3516213.438");
    EXPECT_LT(std::stod(pos[0].at("distance_m")), 5.0);
    EXPECT_EQ(pos[0].at("epochs_used"), "19");
    EXPECT_EQ(pos[0].at("flag"), "");

    const std::vector<Row> sky = read_csv(dir.file("zzSKY.csv"));
    EXPECT_EQ(testkit::lines_of(testkit::read_file(dir.file("zzSKY.csv")))[0],
              "station,occupation,system,elevation_from_deg,elevation_to_deg,expected,observed_l1,"
              "observed_l2,slips,mp1_rms_m,mp2_rms_m,mean_ssi_l1,mean_ssi_l2");
    std::map<std::string, long> expected, observed;
    std::string systems;
    for (const Row& row : sky) {
        const std::string s = row.at("system");
        if (systems.find(s) == std::string::npos) systems += s;
        const long e = std::stol(row.at("expected")), o1 = std::stol(row.at("observed_l1"));
        EXPECT_LE(o1, e) << s << " " << row.at("elevation_from_deg");
        EXPECT_LE(std::stol(row.at("observed_l2")), e) << s << " " << row.at("elevation_from_deg");
        if (std::stoi(row.at("elevation_from_deg")) >= 10) {
            expected[s] += e;
            observed[s] += o1;
        }
    }
    EXPECT_EQ(systems, "GRECJ");
    EXPECT_EQ(sky.size(), 45u);
    for (const char* s : {"G", "R", "E", "C"}) {
        ASSERT_GT(expected[s], 0) << s;
        EXPECT_GE(observed[s] * 100, expected[s] * 95) << s;
    }

    const std::vector<std::string> lines = testkit::lines_of(r.out);
    int shares = 0;
    for (const std::string& line : lines) {
        if (line.find(" SBAS ") != std::string::npos) {
            EXPECT_TRUE(line.ends_with("  no orbits")) << line;
        } else if (line.find(" GPS ") != std::string::npos) {
            const std::string share = "  sky " + std::to_string(expected["G"]) + " above 10 deg  L1 ";
            EXPECT_NE(line.find(share), std::string::npos) << line;
            ++shares;
        }
    }
    EXPECT_EQ(shares, 1);

    // GLONASS and BeiDou against GPS and Galileo.
    std::map<std::string, Row> qc;
    for (const Row& row : read_csv(dir.file("zzQC.csv"))) qc[row.at("system")] = row;
    for (const char* s : {"R", "C"}) {
        for (const char* mp : {"mp1_rms_m", "mp2_rms_m"}) {
            const double value = std::stod(qc.at(s).at(mp));
            const double reference = std::max(std::stod(qc.at("G").at(mp)), std::stod(qc.at("E").at(mp)));
            EXPECT_GT(value, 0.02) << s << " " << mp;
            EXPECT_LT(value, 3 * reference) << s << " " << mp;
        }
        EXPECT_EQ(qc.at(s).at("slips_gf"), "0") << s;
        EXPECT_EQ(qc.at(s).at("slips_mw"), "0") << s;
    }

    // -x fills the azimuth and elevation of every observation with an orbit
    // (the sky pages' computation, in full); counted by band they give what
    // the check's grid put into zzSKY.csv, up to an observation on a band's
    // edge. SBAS, without ephemerides, keeps its columns empty.
    ASSERT_EQ(run_lumerak({"-xtable.csv"}, dir.path()).status, 0);
    std::map<std::string, long> by_band;  // "G 10" -> observations with L1
    long rows = 0, empty = 0, past = 0, placed = 0;
    for (const Row& row : read_csv(dir.file("table.csv"))) {
        ++rows;
        const std::string system = row.at("satellite").substr(0, 1);
        if (system == "S") {
            EXPECT_EQ(row.at("azimuth_deg"), "");
            EXPECT_EQ(row.at("elevation_deg"), "");
            ++empty;
            continue;
        }
        if (row.at("elevation_deg") == "") {  // past its ephemerides (R03 after 10:00)
            EXPECT_EQ(row.at("azimuth_deg"), "");
            ++past;
            continue;
        }
        const double elevation = std::stod(row.at("elevation_deg"));
        EXPECT_GT(elevation, 0) << row.at("satellite");
        placed += row.at("l1") != "";
        if (row.at("l1") != "")
            ++by_band[system + " " + std::to_string(std::min(static_cast<int>(elevation / 10), 8) * 10)];
    }
    EXPECT_EQ(rows, 919);
    EXPECT_EQ(empty, 133);
    long compared = 0;
    for (const Row& row : sky) {
        const long counted = by_band[row.at("system") + " " + row.at("elevation_from_deg")];
        EXPECT_NEAR(static_cast<double>(std::stol(row.at("observed_l1"))), static_cast<double>(counted), 2)
            << row.at("system") << " " << row.at("elevation_from_deg");
        compared += counted;
    }
    EXPECT_LT(past, 20);
    EXPECT_GT(placed, 700);
    EXPECT_EQ(compared, placed);
}

// A header far off is flagged with its distance from the computed position.
TEST(OrbitCheck, HeaderPositionFarOff) {
    ScratchDir dir;
    const auto r = check_kms3(dir, "  3516213.4380   781859.8595  5246537.9660");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<Row> pos = read_csv(dir.file("zzPOS.csv"));
    ASSERT_EQ(pos.size(), 1u);
    EXPECT_EQ(pos[0].at("flag"), "header more than 100 m off");
    EXPECT_LT(distance_to_kms3(pos[0]), 5.0);
    EXPECT_NEAR(std::stod(pos[0].at("distance_m")), 500, 5.0);
    EXPECT_TRUE(position_line(r.out).ends_with("  ** header more than 100 m off")) << r.out;
}

// An occupation whose header has no position is flagged and measured and
// drawn from the position its codes give: its sky is checked, its baseline
// to the same hour read once more as station KMSB, with the IGS position in
// its header, is a few metres; its page of signal/noise and its two sky
// pages are drawn.
TEST(OrbitCheck, HeaderWithoutPositionTakesTheComputedOne) {
    ScratchDir dir;
    std::string text = testkit::read_file(testkit::test_data_path(kms3_obs));
    const std::size_t marker = text.find("KMS3  ");
    ASSERT_NE(marker, std::string::npos);
    testkit::write_file(dir.file("kmsb.crx"), std::string(text).replace(marker, 4, "KMSB"));
    ASSERT_EQ(run_lumerak({"-rkmsb.crx"}, dir.path()).status, 0);
    const auto r = check_kms3(dir, "        0.0000        0.0000        0.0000");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<Row> pos = read_csv(dir.file("zzPOS.csv"));
    ASSERT_EQ(pos.size(), 2u);
    const Row& kms3_pos = pos[0].at("station") == "KMS3" ? pos[0] : pos[1];
    EXPECT_EQ(kms3_pos.at("flag"), "header position zero");
    EXPECT_EQ(kms3_pos.at("distance_m"), "");
    EXPECT_LT(distance_to_kms3(kms3_pos), 5.0);
    EXPECT_TRUE(position_line(r.out).ends_with("  ** header position zero")) << r.out;
    long sky_rows = 0;
    for (const Row& row : read_csv(dir.file("zzSKY.csv"))) sky_rows += row.at("station") == "KMS3";
    EXPECT_EQ(sky_rows, 45);

    const std::vector<Row> rows = read_csv(dir.file("zzBASELINES.csv"));
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_NE(rows[0].at("distance_m"), "");
    EXPECT_LT(std::stod(rows[0].at("distance_m")), 5.0);

    const auto g = run_lumerak({"-g"}, dir.path());
    ASSERT_EQ(g.status, 0) << g.err;
    const std::string page = testkit::read_file(dir.file("KMS3-1.ps"));
    EXPECT_NE(page.find("%%Pages: 3\n"), std::string::npos);
    EXPECT_NE(page.find("%%Page: 3 3\n"), std::string::npos);
}

// Without navigation files the console and zzQC.csv are as before, zzSKY.csv
// holds its header only and zzPOS.csv the header's position, uncomputed.
TEST(OrbitCheck, CampaignWithoutNavigationFiles) {
    ScratchDir dir;
    obsgen::Options o;
    o.hours = 2;
    ASSERT_TRUE(obsgen::generate(o, dir.file("F.obs"), dir.file("F.truth")));
    const auto r = run_lumerak({"-rF.obs", "-i"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find(" sky "), std::string::npos);
    EXPECT_EQ(r.out.find("no orbits"), std::string::npos);
    EXPECT_EQ(r.out.find("position"), std::string::npos);
    EXPECT_EQ(testkit::lines_of(testkit::read_file(dir.file("zzSKY.csv"))).size(), 1u);
    EXPECT_EQ(testkit::read_file(dir.file("zzPOS.csv")),
              "station,occupation,header_x_m,header_y_m,header_z_m,computed_x_m,computed_y_m,computed_z_m,"
              "distance_m,epochs_used,flag\n"
              "GENA,1,3899225.300,396731.800,5015078.300,,,,,0,no computed position\n");
}
