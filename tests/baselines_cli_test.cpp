// The baselines of -i run by the real program: a generated campaign whose
// overlaps are known by construction, and real files of one day at two
// distant stations.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "quality/quality_report.h"
#include "tests/testkit/testkit.h"
#include "tools/obsgen/obs_generator.h"

using testkit::read_csv;
using testkit::run_lumerak;
using testkit::ScratchDir;
using Row = testkit::CsvRow;

namespace {

// The satellites with an L1 phase at every epoch of a RINEX 2 file whose
// first observation type is L1, read from its epoch and observation lines
// (the program's own reading is what is tested, so this one is not it):
// epoch text "hh mm ss" -> satellites.
std::map<std::string, std::set<std::string>> epoch_satellites(const std::string& path,
                                                              int types = 5) {
    std::map<std::string, std::set<std::string>> epochs;
    const std::vector<std::string> lines = testkit::lines_of(testkit::read_file(path));
    std::size_t i = 0;
    while (i < lines.size() && lines[i].find("END OF HEADER") == std::string::npos) ++i;
    for (++i; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.size() < 32 || l[0] != ' ' || l[3] != ' ' || l[28] != '0') continue;
        const int n = std::stoi(l.substr(29, 3));
        std::string list = l.substr(32);
        for (std::size_t more = 1; more < static_cast<std::size_t>((n + 11) / 12); ++more)
            list += lines[++i].substr(32);
        std::set<std::string>& sats = epochs[l.substr(10, 16)];
        for (int k = 0; k < n; ++k) {
            const std::string& values = lines[i + 1];
            if (values.find_first_not_of(' ') < std::min<std::size_t>(14, values.size()))
                sats.insert(list.substr(static_cast<std::size_t>(3 * k), 3));
            i += static_cast<std::size_t>((types + 4) / 5);
        }
    }
    return epochs;
}

// The figures of a row against the two files' satellites with an L1 phase
// at their common epochs.
void expect_satellites(const Row& row, const std::string& file_a, const std::string& file_b,
                       int types) {
    const auto sa = epoch_satellites(file_a, types), sb = epoch_satellites(file_b, types);
    std::set<std::string> all;
    long sum = 0, epochs = 0, four = 0;
    for (const auto& [epoch, sats] : sa) {
        const auto other = sb.find(epoch);
        if (other == sb.end()) continue;
        ++epochs;
        int n = 0;
        for (const std::string& s : sats)
            if (other->second.count(s)) ++n, all.insert(s);
        sum += n;
        four += n >= 4;
    }
    ASSERT_GT(epochs, 0);
    EXPECT_EQ(row.at("common_epochs"), std::to_string(epochs));
    EXPECT_EQ(row.at("common_satellites"), std::to_string(all.size()));
    EXPECT_EQ(row.at("mean_common_per_epoch"), plain_number(static_cast<double>(sum) / epochs, 2));
    EXPECT_EQ(row.at("share_4_or_more"), plain_number(static_cast<double>(four) / epochs, 3));
}

}  // namespace

// Four stations in three sessions on 1 March 2021, 30 s, the same sky:
//   session 1, 08:00-10:00 UTC: ALFA 1, BRAV 1 (BRAV off 08:50-09:10);
//   session 2, 11:00-12:00:     CHAR 1 alone;
//   session 3, 13:00-15:00:     ALFA 2, CHAR 2, and DELT 1 from 14:50 on
//                               (10 minutes with the others; no position).
// Local time is CET, an hour ahead.
TEST(Baselines, GeneratedCampaignOfKnownOverlaps) {
    ScratchDir dir;
    struct File {
        const char* name;
        const char* marker;
        double start_s, hours;
        double offset[3];  // from ALFA's position
        bool position;
        double gap_at_s, gap_s;
    };
    const File files[] = {
        {"A1.obs", "ALFA", 8 * 3600, 2, {0, 0, 0}, true, -1, 0},
        {"B1.obs", "BRAV", 8 * 3600, 2, {3000, 4000, 0}, true, 8 * 3600 + 50 * 60, 1200},
        {"C1.obs", "CHAR", 11 * 3600, 1, {0, 0, -12000}, true, -1, 0},
        {"A2.obs", "ALFA", 13 * 3600, 2, {0, 0, 0}, true, -1, 0},
        {"C2.obs", "CHAR", 13 * 3600, 2, {0, 0, -12000}, true, -1, 0},
        {"D1.obs", "DELT", 14 * 3600 + 50 * 60, 1, {0, 0, 0}, false, -1, 0},
    };
    for (const File& f : files) {
        obsgen::Options o;
        o.inject = false;
        o.seed = 7;
        o.marker = f.marker;
        o.start_s = f.start_s;
        o.hours = f.hours;
        o.gap_at_s = f.gap_at_s;
        o.gap_s = f.gap_s;
        for (int k = 0; k < 3; ++k) o.position[k] = f.position ? o.position[k] + f.offset[k] : 0;
        ASSERT_TRUE(obsgen::generate(o, dir.file(f.name), dir.file(std::string(f.name) + ".t")));
        ASSERT_EQ(run_lumerak({std::string("-r") + f.name}, dir.path()).status, 0) << f.name;
    }
    const auto r = run_lumerak({"-i"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nbaselines: 4 stations, 6 occupations, 4 baselines, the shortest "
                         "ALFA 2 - DELT 1 (570 s in common)\n"),
              std::string::npos)
        << r.out;

    const char* const columns[] = {"station_a",         "occupation_a",     "station_b",
                                   "occupation_b",      "first_common_epoch", "last_common_epoch",
                                   "common_s",          "common_epochs",    "distance_m"};
    struct Expected {
        const char* values[std::size(columns)];
        const char *file_a, *file_b;
    };
    const Expected expected[] = {
        {{"ALFA", "1", "BRAV", "1", "2021-03-01T08:00:00.000", "2021-03-01T09:59:30.000", "7170",
          "200", "5000"}, "A1.obs", "B1.obs"},
        {{"ALFA", "2", "CHAR", "2", "2021-03-01T13:00:00.000", "2021-03-01T14:59:30.000", "7170",
          "240", "12000"}, "A2.obs", "C2.obs"},
        {{"ALFA", "2", "DELT", "1", "2021-03-01T14:50:00.000", "2021-03-01T14:59:30.000", "570",
          "20", ""}, "A2.obs", "D1.obs"},
        {{"CHAR", "2", "DELT", "1", "2021-03-01T14:50:00.000", "2021-03-01T14:59:30.000", "570",
          "20", ""}, "C2.obs", "D1.obs"},
    };
    const std::vector<Row> rows = read_csv(dir.file("zzBASELINES.csv"));
    ASSERT_EQ(rows.size(), std::size(expected));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        for (std::size_t k = 0; k < std::size(columns); ++k)
            EXPECT_EQ(rows[i].at(columns[k]), expected[i].values[k]) << columns[k];
        expect_satellites(rows[i], dir.file(expected[i].file_a), dir.file(expected[i].file_b), 5);
    }

    // With a station, only the baselines of its first occupation.
    const auto one = run_lumerak({"-i", "-tBRAV"}, dir.path());
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_NE(one.out.find("\nbaselines: 2 stations, 2 occupations, 1 baseline, the shortest "
                           "ALFA 1 - BRAV 1 (7170 s in common)\n"),
              std::string::npos)
        << one.out;
    const std::vector<Row> only = read_csv(dir.file("zzBASELINES.csv"));
    ASSERT_EQ(only.size(), 1u);
    EXPECT_EQ(only[0], rows[0]);
}

// Two stations about 2,300 km apart on 21 December 2021 (NPAZ: GPS and
// GLONASS; ACOR: four systems, its first 12 minutes): most of the GPS and
// GLONASS satellites are common, at least 4 at every epoch.
TEST(Baselines, RealFilesOfOneDay) {
    ScratchDir dir;
    for (const char* f : {"npaz3550.21o", "ACOR00ESP_R_20213550000_01D_30S_MO.rnx"}) {
        testkit::copy_test_data(f, dir.path());
        ASSERT_EQ(run_lumerak({std::string("-r") + f}, dir.path()).status, 0) << f;
    }
    const auto r = run_lumerak({"-i"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<Row> rows = read_csv(dir.file("zzBASELINES.csv"));
    ASSERT_EQ(rows.size(), 1u);
    const Row& b = rows[0];
    EXPECT_EQ(b.at("station_a") + " " + b.at("station_b"), "NPAZ ACOR");
    // ACOR's GPS and GLONASS satellites and their observations per epoch.
    long satellites = 0, observations = 0, epochs = 0;
    for (const Row& q : read_csv(dir.file("zzQC.csv")))
        if (q.at("station") == "ACOR" && (q.at("system") == "G" || q.at("system") == "R")) {
            satellites += std::stol(q.at("satellites"));
            observations += std::stol(q.at("observations"));
            epochs = std::stol(q.at("epochs"));
        }
    ASSERT_GT(epochs, 0);
    EXPECT_EQ(b.at("common_epochs"), std::to_string(epochs));
    const long common = std::stol(b.at("common_satellites"));
    EXPECT_LE(common, satellites);
    EXPECT_GE(common * 10, satellites * 6);
    EXPECT_GE(std::stod(b.at("mean_common_per_epoch")) * 10,
              static_cast<double>(observations) / static_cast<double>(epochs) * 6);
    EXPECT_EQ(b.at("share_4_or_more"), "1");
}
