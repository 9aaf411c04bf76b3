// The plot command as the program runs it: file names and their order,
// single-station plots, and pages of the real observation files rendered by
// Ghostscript.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/testkit/plot_test_fill.h"
#include "tests/testkit/testkit.h"

namespace {

using testkit::RunResult;
namespace fs = std::filesystem;

const std::string banner =
    "Lumerakon 2.0.2, 11.9.2000 (c) Lumerakon developers [C++20, GNU/CMake]\n";

// The PostScript files in a folder, sorted by name.
std::vector<std::string> ps_files(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".ps") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

plottest::OccSetup occupation(const char* station, double start) {
    plottest::OccSetup setup;
    setup.station = station;
    setup.start = start;
    setup.interval = 30;
    setup.satellites = 2;
    setup.obs = plottest::steady(2, 30, 120, '6');
    return setup;
}

class PlotCommand : public ::testing::Test {
protected:
    // Fills the database of the scratch folder.
    void fill(const std::vector<plottest::OccSetup>& setups) {
        testkit::InDir in(dir_.path());
        plottest::add_occupations(setups);
    }
    RunResult run(const std::vector<std::string>& args) {
        return testkit::run_lumerak(args, dir_.path());
    }
    testkit::ScratchDir dir_;
    const double day = time_value(1999, 10, 3, 5, 0, 30);
};

TEST_F(PlotCommand, OneFilePerOccupationNumberedPerStation) {
    fill(
        {occupation("TP27", day), occupation("TP28", day + 3600), occupation("TP27", day + 86400)});
    RunResult r = run({"-g"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, banner + "\nDone.\n");
    EXPECT_EQ(r.err,
              "create plots for all occupations\n"
              "\nplot into 'TP27-1.ps'\nplot into 'TP28-1.ps'\nplot into 'TP27-2.ps'"
              "done.\n");
    EXPECT_EQ(ps_files(dir_.path()),
              (std::vector<std::string>{"TP27-1.ps", "TP27-2.ps", "TP28-1.ps"}));
    // TP27-2 is the occupation read last: its first epoch is a day later.
    EXPECT_NE(testkit::read_file(dir_.file("TP27-2.ps")).find("(Begin: 04.10.99 05:00:30)"),
              std::string::npos);
}

TEST_F(PlotCommand, StationPrefixPlotsItsFirstOccupationOnly) {
    fill({occupation("TP27", day), occupation("TP27", day + 86400)});
    RunResult r = run({"-g", "-tTP2"});
    EXPECT_EQ(r.status, 0);
    // After the plot's closing text, -t's quality check of the same occupation.
    EXPECT_EQ(r.out.substr(0, banner.size() + 7), banner + "\nDone.\n");
    EXPECT_EQ(r.out.substr(banner.size() + 7, 14), "TP27        1 ") << r.out;
    EXPECT_EQ(r.err,
              "create plots for all occupations\nplot into 'TP271.ps'\ndone.\n"
              "cycles slips\ndone.\n");
    EXPECT_EQ(ps_files(dir_.path()), (std::vector<std::string>{"TP271.ps"}));
    EXPECT_NE(testkit::read_file(dir_.file("TP271.ps")).find("(Begin: 03.10.99 05:00:30)"),
              std::string::npos);
}

TEST_F(PlotCommand, StationWithoutOccupationIsAnError) {
    fill({occupation("TP27", day)});
    {
        testkit::InDir in(dir_.path());
        testkit::CampaignFill more;
        more.station("TP99");
    }
    RunResult r = run({"-g", "-tTP99"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("station not found."), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Done."), std::string::npos);
    EXPECT_TRUE(ps_files(dir_.path()).empty());
}

TEST_F(PlotCommand, UnknownStationDrawsNothing) {
    fill({occupation("TP27", day)});
    RunResult r = run({"-g", "-tXY"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, banner + "\nDone.\nno occupation of station 'XY' in the database\n");
    EXPECT_TRUE(ps_files(dir_.path()).empty());
}

TEST_F(PlotCommand, EmptyDatabaseWritesNoFile) {
    fill({});
    RunResult r = run({"-g"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, banner + "\nDone.\n");
    EXPECT_EQ(r.err, "create plots for all occupations\ndone.\n");
    EXPECT_TRUE(ps_files(dir_.path()).empty());
}

TEST_F(PlotCommand, OccupationOfAStationOutsideTheTableIsSkipped) {
    fill({occupation("TP27", day), occupation("TP28", day)});
    // Point the first occupation's station link far past the station table.
    ASSERT_TRUE(testkit::write_int32_at(dir_.file("zzOCC.DAT"), 216, 1000 * 88));
    RunResult r = run({"-g"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("\noccupation 216 skipped: its station record 88000 is not in zzSTA\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ps_files(dir_.path()), (std::vector<std::string>{"TP28-1.ps"}));
}

bool have_ghostscript() { return std::system("gs --version >/dev/null 2>&1") == 0; }

// Renders a document without output; empty when Ghostscript reports nothing.
std::string ghostscript_errors(const std::string& dir, const std::string& name) {
    std::string log = dir + "/gs.log";
    std::string command = "cd '" + dir +
                          "' && gs -dSAFER -dBATCH -dNOPAUSE -sDEVICE=nullpage -q '" + name +
                          "' >'" + log + "' 2>&1";
    int status = std::system(command.c_str());
    std::string out = testkit::read_file(log);
    if (status != 0 && out.empty()) out = "gs exit status " + std::to_string(status);
    return out;
}

// Bounding box of what a document draws, as Ghostscript's bbox device
// measures it: x0, y0, x1, y1 in points. The device cuts the box off at 0,
// so a drawing that runs off the lower or left edge of the paper shows as 0.
// Empty when Ghostscript gives no box.
std::vector<int> drawn_box(const std::string& dir, const std::string& name) {
    std::string log = dir + "/bbox.log";
    std::string command = "cd '" + dir + "' && gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bbox '" +
                          name + "' >'" + log + "' 2>&1";
    if (std::system(command.c_str()) != 0) return {};
    for (const std::string& line : testkit::lines_of(testkit::read_file(log))) {
        int x0, y0, x1, y1;
        if (std::sscanf(line.c_str(), "%%%%BoundingBox: %d %d %d %d", &x0, &y0, &x1, &y1) == 4)
            return {x0, y0, x1, y1};
    }
    return {};
}

// A portrait page lies wholly on A4 paper (595 x 842 points), clear of the
// left and lower edges, and fills at least 80 % of the paper's width.
void expect_on_a4(const std::vector<int>& box, const std::string& what) {
    ASSERT_EQ(box.size(), 4u) << what;
    EXPECT_GT(box[0], 0) << what;
    EXPECT_GT(box[1], 0) << what;
    EXPECT_LE(box[2], 595) << what;
    EXPECT_LE(box[3], 842) << what;
    EXPECT_GE(box[2] - box[0], 476) << what;
}

TEST(PlotRealFiles, EveryFilePlotsAndRendersInBothOrientationsAndCoordinateForms) {
    const bool gs = have_ghostscript();
    for (const char* name :
         {"07590920.05o", "KOSG0010.95O", "aopr0010.17o", "delf0010.21o", "npaz3550.21o"}) {
        testkit::ScratchDir dir;
        testkit::copy_test_data(name, dir.path());
        RunResult read = testkit::run_lumerak({std::string("-r") + name}, dir.path());
        ASSERT_EQ(read.status, 0) << name << read.err;
        for (const std::vector<std::string>& args :
             std::vector<std::vector<std::string>>{{"-g"}, {"-g", "-p"}, {"-g", "-c"}}) {
            RunResult r = testkit::run_lumerak(args, dir.path());
            ASSERT_EQ(r.status, 0) << name << " " << args.back() << r.err;
            std::vector<std::string> files = ps_files(dir.path());
            ASSERT_EQ(files.size(), 1u) << name;
            std::string doc = testkit::read_file(dir.file(files[0]));
            EXPECT_TRUE(doc.ends_with("showpage\n\nend\n")) << name;
            // Landscape documents turn the page in their set-up.
            EXPECT_EQ(doc.find("567 0 T 90 R\n") != std::string::npos, args.back() != "-p")
                << name << " " << args.back();
            EXPECT_EQ(doc.find("(X: ") != std::string::npos, args.back() == "-c") << name;
            if (gs) {
                EXPECT_EQ(ghostscript_errors(dir.path(), files[0]), "")
                    << name << " " << args.back();
                if (args.back() == "-p") expect_on_a4(drawn_box(dir.path(), files[0]), name);
            }
        }
    }
    if (!gs)
        GTEST_SKIP() << "Ghostscript (gs) is not installed: pages were written but not rendered";
}

// The largest portrait page: 30 satellites (27 rows in the frame, the labels
// of three more below it) and a time label with a date near the right end of
// the axis, where a new day begins just before the last epoch.
TEST_F(PlotCommand, LargestPortraitPageLiesOnA4Paper) {
    if (!have_ghostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
    setenv("TZ", "Europe/Berlin", 1);  // the start below is a Berlin time, as the run's
    tzset();
    plottest::OccSetup setup;
    setup.start = time_value(2021, 12, 30, 23, 0, 0);
    setup.interval = 30;
    setup.satellites = 30;
    setup.obs = plottest::steady(30, 30, 3630, '5');
    fill({setup});
    RunResult r = run({"-g", "-p"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("more than 27 SVs\n"), std::string::npos) << r.out;
    const std::string doc = testkit::read_file(dir_.file("TP27-1.ps"));
    ASSERT_NE(doc.find("(31.12.121 0:00:00)"), std::string::npos);
    ASSERT_NE(doc.find("(G30)"), std::string::npos);
    expect_on_a4(drawn_box(dir_.path(), "TP27-1.ps"), "30 satellites");
}

}  // namespace
