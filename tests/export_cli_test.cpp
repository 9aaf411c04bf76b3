// The listing (-s) and the GEONAP export (-a) of databases read from the real
// observation files of tests/data by the lumerak program.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "obsdb/schema.h"
#include "tests/testkit/testkit.h"

using testkit::copy_test_data;
using testkit::lines_of;
using testkit::read_file;
using testkit::run_lumerak;
using testkit::ScratchDir;

namespace {

// Reads the given test files into a database in `dir`, one run each.
void read_files(const ScratchDir& dir, const std::vector<std::string>& files, bool no_obs = false) {
    for (const std::string& name : files) {
        copy_test_data(name, dir.path());
        std::vector<std::string> args{"-r" + name};
        if (no_obs) args.push_back("-0");
        auto r = run_lumerak(args, dir.path());
        ASSERT_EQ(r.status, 0) << name << "\n" << r.err;
    }
}

// Number of satellites announced by the epoch lines of a RINEX 2 file
// (" yy mm dd hh mm ss.sssssss  f nnn").
long satellites_in_epochs(const std::string& name) {
    long total = 0;
    for (const std::string& line : lines_of(read_file(testkit::test_data_path(name)))) {
        const bool epoch = line.size() >= 32 && line[0] == ' ' && line[3] == ' ' &&
                           line[6] == ' ' && line[9] == ' ' && line[12] == ' ' && line[18] == '.' &&
                           line[27] == ' ' && std::isdigit(line[28]) && std::isdigit(line[31]);
        if (epoch) total += std::stol(line.substr(29, 3));
    }
    return total;
}

// Records a table holds, from the size of its record file (which starts with
// one placeholder record).
long records_of(const ScratchDir& dir, const char* table, long size) {
    return static_cast<long>(std::filesystem::file_size(dir.file(std::string(table) + ".DAT"))) /
               size -
           1;
}

std::string format(const char* fmt, double a, double b) {
    char text[64];
    std::snprintf(text, sizeof text, fmt, a, b);
    return text;
}

}  // namespace

TEST(ListingOfRealFiles, SectionsLineCountsAndLines) {
    ScratchDir dir;
    read_files(dir, {"07590920.05o", "KOSG0010.95O"});
    auto r = run_lumerak({"-slist.txt"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.ends_with("\nDone.\n")) << r.out;

    const auto lines = lines_of(read_file(dir.file("list.txt")));
    const std::pair<const char*, long> sections[] = {
        {"Occupation:", records_of(dir, "zzOCC", 216)}, {"Station:", records_of(dir, "zzSTA", 88)},
        {"Receiver:", records_of(dir, "zzREC", 42)},    {"Antenna:", records_of(dir, "zzANT", 42)},
        {"SatOccu:", records_of(dir, "zzSATOCC", 8)},   {"Sats:", records_of(dir, "zzSAT", 97)},
        {"Observations:", records_of(dir, "zzOBS", 72)}};
    std::size_t at = 0;
    for (const auto& [title, count] : sections) {
        ASSERT_LT(at, lines.size());
        EXPECT_EQ(lines[at], title);
        at += 1 + count;
    }
    EXPECT_EQ(at, lines.size());
    EXPECT_EQ(records_of(dir, "zzOCC", 216), 2);
    EXPECT_EQ(records_of(dir, "zzOBS", 72),
              satellites_in_epochs("07590920.05o") + satellites_in_epochs("KOSG0010.95O"));

    // The Japanese file was read first, so its antenna and occupation come first.
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    const double first = time_value(2005, 4, 2, 0, 0, 0.0);
    EXPECT_EQ(lines[1],
              "  1  216   88   28   42   42 0.000 0.000 0.000 30  1  1 GSI, JAPAN      "
              "     GEOGRAPHICAL SURVEY INSTITUTE, JAPAN     07590920.05o " +
                  format("%10.2lf %10.2lf", first, time_value(2005, 4, 2, 0, 59, 30.005)));
    EXPECT_EQ(lines[2].substr(0, 49), "  2  432  176   56   84   84 0.105 0.000 0.000 30");
    EXPECT_EQ(lines[2].substr(56, 21), "DANNY VAN LOON       ");
    EXPECT_EQ(lines[3], "Station:");
    EXPECT_EQ(lines[4], " 1   88    0 0759 ");
    EXPECT_EQ(lines[5], " 2  176    0 KOSG 13504M003");
    EXPECT_EQ(lines[7], " 1   42 00000 TRIMBLE 5700");
    EXPECT_EQ(lines[8], " 2   84 R117 ROGUE SNR-8");
    EXPECT_EQ(lines[10], " 1   42  TRM29659.00");
    EXPECT_EQ(lines[11], " 2   84 119 AOAD/M_B        DUTD");

    // Satellites in identifier order; observations in reading order, the
    // first one of the Japanese file's first epoch (G03).
    std::size_t sats = 0;
    while (lines[sats] != "Sats:") ++sats;
    for (std::size_t i = sats + 2; i < lines.size() && lines[i] != "Observations:"; ++i)
        EXPECT_LT(lines[i - 1].substr(8), lines[i].substr(8)) << lines[i];
    std::size_t obs = sats;
    while (lines[obs] != "Observations:") ++obs;
    EXPECT_EQ(lines[obs + 1], "     1     72      8 " + format("%8lf", first, 0));
}

TEST(ListingOfRealFiles, WithoutObservationTableTheOutputStaysEmpty) {
    ScratchDir dir;
    read_files(dir, {"KOSG0010.95O"}, true);
    testkit::write_file(dir.file("list.txt"), "old\n");
    auto r = run_lumerak({"-slist.txt"}, dir.path());
    EXPECT_EQ(r.status, 10);
    EXPECT_NE(r.err.find("E0010: database zzOBS.DAT cannot be opened"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Done."), std::string::npos);
    // A listing that fails leaves the one from before.
    EXPECT_EQ(read_file(dir.file("list.txt")), "old\n");

    // The export needs no observations.
    r = run_lumerak({"-acamp"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines_of(read_file(dir.file("camp.OBS"))).back(),
              "1995 001 0 KOSG 0.1050 rc01 an01 \" \"");
}

TEST(ExportOfRealFiles, ProjectFilesOfTwoStations) {
    ScratchDir dir;
    read_files(dir, {"07590920.05o", "KOSG0010.95O"});
    auto r = run_lumerak({"-acamp", "-slist.txt"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(
        r.out.ends_with("Done.\n"
                        "Das klappt noch...(a)\nDas klappt noch...(3)\n"
                        "Das klappt noch...(a)\nDas klappt noch...(3)\n"))
        << r.out;
    EXPECT_TRUE(r.err.ends_with("create GEONAP-Database 'camp'\ndone.\n")) << r.err;

    const auto obs = lines_of(read_file(dir.file("camp.OBS")));
    ASSERT_EQ(obs.size(), 6u);
    EXPECT_EQ(obs[4], "2005 092 0 0759 0.0000 rc01 an01 \" \"");
    EXPECT_EQ(obs[5], "1995 001 0 KOSG 0.1050 rc02 an02 \" \"");

    // The Japanese station (X < 0) lies east of 139°, not folded west.
    const auto sta = lines_of(read_file(dir.file("camp.STA")));
    ASSERT_EQ(sta.size(), 7u);
    // Identifier, 1, quoted name padded to 15, then latitude, longitude and
    // height in their widths.
    EXPECT_EQ(sta[5].substr(0, 22), "0759 1 \"0759\"         ");
    EXPECT_EQ(sta[5].size(), 71u);
    EXPECT_EQ(sta[5].substr(22, 9), "   35  9 ");
    EXPECT_EQ(sta[5].substr(39, 9), "  139 36 ");
    EXPECT_EQ(sta[6].substr(0, 22), "KOSG 1 \"KOSG\"         ");
    EXPECT_EQ(sta[6].size(), 71u);
    EXPECT_EQ(sta[6].substr(22, 9), "   52 10 ");
    EXPECT_EQ(sta[6].substr(39, 9), "    5 48 ");
}

TEST(ExportOfRealFiles, OutputThatCannotBeOpened) {
    ScratchDir dir;
    read_files(dir, {"KOSG0010.95O"});
    auto r = run_lumerak({"-ano/such/folder/camp"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("error occured while opening output file."), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("done."), std::string::npos) << r.err;
    EXPECT_FALSE(testkit::file_exists(dir.file("zzGN.DAT")));

    // The listing runs first; when it fails the export does not start.
    r = run_lumerak({"-acamp", "-sno/such/folder/list.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("E0001: 'no/such/folder/list.txt' No such file or directory"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(testkit::file_exists(dir.file("camp.STA")));
}

// A file that writes 0 0 0 (or a position that is not a number) for its
// approximate position: the station line gets zero coordinates and the user
// a notice naming the station; the page says the position is unknown. No
// output carries "nan".
TEST(ExportOfRealFiles, StationWithoutPositionGetsZerosANoticeAndAnUnknownPosition) {
    for (const char* position : {"        0.0000        0.0000        0.0000",
                                 "           nan        0.0000        0.0000"}) {
        ScratchDir dir;
        std::string text = read_file(testkit::test_data_path("KOSG0010.95O"));
        const std::string original = "  3899242.6490   396728.6934  5015081.6508";
        const std::size_t at = text.find(original);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, original.size(), position);
        testkit::write_file(dir.file("KOSG0010.95O"), text);
        ASSERT_EQ(run_lumerak({"-rKOSG0010.95O"}, dir.path()).status, 0);

        auto r = run_lumerak({"-acamp", "-g"}, dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("create GEONAP-Database 'camp'\n"
                             "Station KOSG has no approximate position: zero coordinates "
                             "written to camp.STA\ndone.\n"),
                  std::string::npos)
            << r.err;
        const auto sta = lines_of(read_file(dir.file("camp.STA")));
        ASSERT_EQ(sta.size(), 6u);
        EXPECT_EQ(sta[5],
                  "KOSG 1 \"KOSG\"             0  0  0.00000    0  0  0.00000         0.0000");

        for (const char* orientation : {"-g", "-gc"}) {
            ASSERT_EQ(run_lumerak({orientation}, dir.path()).status, 0);
            const std::string page = read_file(dir.file("KOSG-1.ps"));
            EXPECT_NE(page.find("(Position unknown) Z"), std::string::npos) << orientation;
            EXPECT_EQ(page.find("nan"), std::string::npos) << orientation;
            EXPECT_EQ(page.find("ALT"), std::string::npos) << orientation;
            EXPECT_EQ(page.find("(X: "), std::string::npos) << orientation;
        }
    }
}

// The observation table: one row per stored observation, in the columns of
// its header, the values of the file, and -t, -b and -e choosing rows.
// The epoch of a row to the second (its third field).
std::string epoch_of(const std::string& row) {
    const std::size_t first = row.find(',', row.find(',') + 1) + 1;
    return row.substr(first, 19);
}

TEST(ObservationTableOfRealFiles, EveryObservationOnceAndTheSelections) {
    ScratchDir dir;
    read_files(dir, {"KOSG0010.95O", "07590920.05o"});
    auto r = run_lumerak({"-xobs.csv"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = lines_of(read_file(dir.file("obs.csv")));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(static_cast<long>(rows.size()) - 1, records_of(dir, "zzOBS", sizeof(obs_record)));
    // The first observation of KOSG0010.95O, types L1 L2 P1 P2 C1:
    //   21700656.31447  16909599.97044          .00041  24479973.67844  24479975.23247
    EXPECT_EQ(rows[1],
              "KOSG,1,1995-01-01T00:00:00.000,G06,24479975.232,,21700656.314,24479973.678,"
              "16909599.970,4,4,7,4,,");

    const struct {
        std::vector<std::string> options;
        const char* first_epoch;  // of the rows chosen: none earlier,
        const char* last_epoch;   // none later
        const char* station;      // every row's
    } selections[] = {
        {{"-tKOSG"}, "1995-01-01T00:00:00", "1995-01-01T23:59:30", "KOSG,1,"},
        {{"-tKOSG", "-b01.01.95,11:00:00", "-e01.01.95,12:00:00"}, "1995-01-01T11:00:00",
         "1995-01-01T12:00:00", "KOSG,1,"},
    };
    for (const auto& s : selections) {
        std::vector<std::string> args = s.options;
        args.push_back("-xpart.csv");
        r = run_lumerak(args, dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        const auto part = lines_of(read_file(dir.file("part.csv")));
        ASSERT_GT(part.size(), 1u);
        EXPECT_LT(part.size(), rows.size());
        for (std::size_t i = 1; i < part.size(); ++i) {
            EXPECT_EQ(part[i].rfind(s.station, 0), 0u) << part[i];
            const std::string epoch = epoch_of(part[i]);
            EXPECT_GE(epoch, s.first_epoch) << part[i];
            EXPECT_LE(epoch, s.last_epoch) << part[i];
        }
        // Every row of the whole table within the selection is there.
        long within = 0;
        for (std::size_t i = 1; i < rows.size(); ++i) {
            const std::string epoch = epoch_of(rows[i]);
            within += rows[i].rfind(s.station, 0) == 0 && epoch >= s.first_epoch &&
                      epoch <= s.last_epoch;
        }
        EXPECT_EQ(static_cast<long>(part.size()) - 1, within);
    }
}
