// The read command on the real observation files of tests/data, run through
// the lumerak program; the stored observations are checked against a small
// fixed-column parse of the same files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "obsdb/schema.h"
#include "tests/testkit/tables_for_tests.h"
#include "tests/testkit/testkit.h"

namespace {

using tables::Observation;

std::string columns(const std::string& line, std::size_t first, std::size_t count) {
    return first < line.size() ? line.substr(first, count) : "";
}

// The observations of a RINEX 2 file read by the format's fixed columns.
std::vector<Observation> parse(const std::string& path) {
    const std::vector<std::string> lines = testkit::lines_of(testkit::read_file(path));
    std::vector<int> slots;
    std::size_t i = 0;
    for (; lines.at(i).find("END OF HEADER") == std::string::npos; ++i) {
        if (lines[i].find("# / TYPES OF OBSERV") == std::string::npos) continue;
        for (std::size_t c = 6; c + 6 <= 60; c += 6) {
            const std::string type = columns(lines[i], c + 4, 2);
            if (type == "  ") break;
            const char* names[] = {"C1", "P1", "L1", "P2", "L2"};
            slots.push_back(static_cast<int>(std::find(names, names + 5, type) - names));
        }
    }
    const std::size_t lines_per_sat = std::max<std::size_t>(1, (slots.size() + 4) / 5);
    std::vector<Observation> out;
    while (++i < lines.size()) {
        const std::string& line = lines[i];
        const int flag = line.at(28) - '0';
        const int count = std::atoi(columns(line, 29, 3).c_str());
        if (flag >= 2 && flag <= 5) {
            i += static_cast<std::size_t>(count);
            continue;
        }
        std::vector<std::string> sats;
        for (int s = 0; s < count; ++s) {
            if (s > 0 && s % 12 == 0) ++i;
            sats.push_back(lines.at(i).substr(32 + 3 * (s % 12), 3));
        }
        const int year = std::atoi(columns(line, 1, 2).c_str());
        const double epoch = time_value(
            year < 70 ? 2000 + year : 1900 + year, std::atoi(columns(line, 4, 2).c_str()),
            std::atoi(columns(line, 7, 2).c_str()), std::atoi(columns(line, 10, 2).c_str()),
            std::atoi(columns(line, 13, 2).c_str()), std::atof(columns(line, 15, 11).c_str()));
        for (const std::string& prn : sats) {
            Observation o{prn, epoch, {}};
            for (std::size_t k = 0; k < slots.size(); ++k) {
                const std::string field =
                    columns(lines.at(i + 1 + k / 5), 16 * (k % 5), 16) + "                ";
                if (slots[k] < OBS_SLOTS)
                    o.obs[slots[k]] = {std::strtod(field.substr(0, 14).c_str(), nullptr),
                                       field[14],
                                       field[15],
                                       {}};
            }
            i += lines_per_sat;
            if (flag <= 1) out.push_back(o);
        }
    }
    return out;
}

testkit::RunResult read_into(const std::string& dir, const std::string& name) {
    testkit::copy_test_data(name, dir);
    return testkit::run_lumerak({"-r" + name}, dir);
}

class ReadDataFile : public testing::TestWithParam<const char*> {};

TEST_P(ReadDataFile, StoresEveryObservationAsTheFileHoldsIt) {
    testkit::ScratchDir dir;
    const auto run = read_into(dir.path(), GetParam());
    ASSERT_EQ(run.status, 0) << run.err;
    const auto expected = parse(testkit::test_data_path(GetParam()));
    const std::string text = testkit::read_file(testkit::test_data_path(GetParam()));
    char counts[120];
    std::snprintf(counts, sizeof counts,
                  "\n%8ld Zeilen gelesen.\n\nEs wurden %zu Eintraege in der Obs-Datei erzeugt.\n",
                  static_cast<long>(std::count(text.begin(), text.end(), '\n')), expected.size());
    EXPECT_NE(run.out.find(counts), std::string::npos) << run.out;

    ASSERT_TRUE(tables::same_observations(tables::stored_observations(dir.path()), expected));
    std::set<std::string> prns;
    for (const Observation& o : expected) prns.insert(o.prn);
    EXPECT_EQ(tables::records<sat_record>(dir.path(), table_sat).size(), prns.size());
    EXPECT_EQ(tables::records<satocc_record>(dir.path(), table_satocc).size(), prns.size());
    EXPECT_EQ(tables::records<occ_record>(dir.path(), table_occ).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Data, ReadDataFile,
                         testing::Values("07590920.05o", "KOSG0010.95O", "aopr0010.17o",
                                         "delf0010.21o", "npaz3550.21o"));

TEST(ReadDataFiles, ValuesReadFromTheFilesByEye) {
    testkit::ScratchDir dir;
    ASSERT_EQ(read_into(dir.path(), "delf0010.21o").status, 0);
    // First epoch, satellite 13 (R18, the first one of the continuation line).
    auto obs = tables::stored_observations(dir.path());
    EXPECT_EQ(tables::local_text(obs.at(12).epoch), "2021-01-01 00:00:00");
    EXPECT_EQ(obs[12].prn, "R18");
    EXPECT_EQ(+obs[12].obs[OBS_L1].value, 106844822.639);
    EXPECT_EQ(obs[12].obs[OBS_L1].snr, '8');
    EXPECT_EQ(+obs[12].obs[OBS_P1].value, 20015628.486);
    EXPECT_EQ(obs[12].obs[OBS_P1].snr, ' ');

    testkit::ScratchDir kosg;
    ASSERT_EQ(read_into(kosg.path(), "KOSG0010.95O").status, 0);
    obs = tables::stored_observations(kosg.path());
    EXPECT_EQ(obs.at(0).prn, " 06");
    EXPECT_EQ(+obs[0].obs[OBS_L1].value, 21700656.314);
    EXPECT_EQ(obs[0].obs[OBS_L1].lli, '4');
    EXPECT_EQ(obs[0].obs[OBS_L1].snr, '7');
    EXPECT_EQ(+obs[0].obs[OBS_P1].value, 0.0);  // ".000" then 4 and 1
    EXPECT_EQ(obs[0].obs[OBS_P1].snr, '1');
    const occ_record occ = tables::records<occ_record>(kosg.path(), table_occ).at(0);
    EXPECT_EQ(occ.interval, 30);
    EXPECT_EQ(+occ.delta_h, 0.105);
    EXPECT_EQ(occ.wlf_l1, 1);  // "1 1 0": the default factors
    EXPECT_EQ(tables::local_text(+occ.last_epoch), "1995-01-01 20:44:30");
}

}  // namespace
