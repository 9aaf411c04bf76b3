// The plot command as the program runs it: file names and their order,
// single-station plots, and pages of the real observation files rendered by
// Ghostscript.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/version.h"
#include "tests/testkit/ghostscript.h"
#include "tests/testkit/plot_test_fill.h"
#include "tests/testkit/sheet_text.h"
#include "tests/testkit/sky_rinex.h"
#include "tests/testkit/testkit.h"
#include "tools/obsgen/obs_generator.h"

namespace {

using testkit::RunResult;
using testkit::drawn_boxes;
using testkit::ghostscript_errors;
using testkit::have_ghostscript;
using testkit::pdf_pages;
using testkit::sheet_texts;
using testkit::SheetPage;
using testkit::SheetText;
namespace fs = std::filesystem;

const std::string banner = std::string(program_name) + " " + version_text + " " + credits_text +
                           " " + build_tool_text + "\n";

// The PostScript files of occupations in a folder (the campaign's overview
// zzCAMPAIGN.ps aside), sorted by name.
std::vector<std::string> ps_files(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".ps" && entry.path().filename() != "zzCAMPAIGN.ps")
            names.push_back(entry.path().filename().string());
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
              "done.\ncreate campaign overview 'zzCAMPAIGN.ps'\ndone.\n");
    EXPECT_EQ(ps_files(dir_.path()),
              (std::vector<std::string>{"TP27-1.ps", "TP27-2.ps", "TP28-1.ps"}));
    EXPECT_TRUE(testkit::file_exists(dir_.file("zzCAMPAIGN.ps")));
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
    EXPECT_FALSE(testkit::file_exists(dir_.file("zzCAMPAIGN.ps")));
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

// Every page of a document (`pages` of them) lies wholly on A4 paper (595 x
// 842 points), clear of the left and lower edges, and fills at least 80 % of
// the paper's width.
void expect_on_a4(const std::string& dir, const std::string& name, std::size_t pages,
                  const std::string& what) {
    const std::vector<std::vector<int>> boxes = drawn_boxes(dir, name);
    ASSERT_EQ(boxes.size(), pages) << what;
    for (const std::vector<int>& box : boxes) {
        EXPECT_GT(box[0], 0) << what;
        EXPECT_GT(box[1], 0) << what;
        EXPECT_LE(box[2], 595) << what;
        EXPECT_LE(box[3], 842) << what;
        EXPECT_GE(box[2] - box[0], 476) << what;
    }
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
                if (args.back() == "-p") expect_on_a4(dir.path(), files[0], 1, name);
            }
        }
    }
    if (!gs)
        GTEST_SKIP() << "Ghostscript (gs) is not installed: pages were written but not rendered";
}

// A portrait page of 30 satellites, sharing the frame of 27 rows, with a time
// label with a date near the right end of the axis, where a new day begins
// just before the last epoch.
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
    EXPECT_EQ(r.out.find("SVs"), std::string::npos) << r.out;
    const std::string doc = testkit::read_file(dir_.file("TP27-1.ps"));
    ASSERT_NE(doc.find("(31.12.121 0:00:00)"), std::string::npos);
    ASSERT_NE(doc.find("(G30)"), std::string::npos);
    expect_on_a4(dir_.path(), "TP27-1.ps", 1, "30 satellites");
}

constexpr int sheet_width = 595, sheet_height = 842;  // A4 in points

// A row label: Helvetica at 8 pt of the drawing (scaled by `scale` on the
// sheet) naming a satellite, "G05" or "G 5".
bool is_row_label(const SheetText& t, double scale) {
    return t.font == "Helvetica" && std::fabs(t.size - 8.03 * scale) < 0.1 && t.text.size() == 3 &&
           t.text[0] >= 'A' && t.text[0] <= 'Z' &&
           std::isdigit(static_cast<unsigned char>(t.text[2]));
}

// Place of a text upright on the drawing: `along` is where it runs on the
// sheet, `level` its baseline across, growing downwards on the drawing. A
// landscape drawing is turned on the sheet, so its texts run along y there.
struct Upright {
    double along_from, along_to, level;
};
bool upright(const SheetText& t, bool landscape, Upright* u) {
    if (landscape && t.x0 == t.x1 && t.y0 >= t.y1) {
        *u = {static_cast<double>(t.y1), static_cast<double>(t.y0), static_cast<double>(t.x0)};
        return true;
    }
    if (!landscape && t.y0 == t.y1 && t.x0 <= t.x1) {
        *u = {static_cast<double>(t.x0), static_cast<double>(t.x1), static_cast<double>(t.y0)};
        return true;
    }
    return false;
}

// Height of the capitals of a text: the size times its font's factor.
double cap_height(const SheetText& t) {
    const double factor = t.font == "Courier" ? 0.612 : t.font == "Times-Roman" ? 0.678 : 0.732;
    return factor * t.size;
}

// Checks every page of a document as a surveyor reads it and returns the row
// labels of each page from the top down:
// - every text lies on the sheet, at least its capital height from the edge;
// - no two texts that stand upright on the drawing overlap (each takes its
//   length and its capital height above the baseline; the coordinates are
//   whole points, so texts may share one point);
// - row labels stand at least 8 pt of the drawing apart, and all of them
//   above the information block (the texts in Courier).
// A landscape drawing is turned on the sheet; a portrait one is scaled by
// 0.68.
std::vector<std::vector<std::string>> check_pages(const std::vector<SheetPage>& pages,
                                                  bool landscape, const std::string& what) {
    const double scale = landscape ? 1.0 : 0.68;
    std::vector<std::vector<std::string>> labels;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        SCOPED_TRACE(what + " page " + std::to_string(p + 1));
        struct Placed {
            const SheetText* text;
            Upright u;
        };
        std::vector<Placed> placed, rows;
        double info_top = 1e9;
        for (const SheetText& t : pages[p]) {
            const double cap = cap_height(t);
            EXPECT_TRUE(std::min(t.x0, t.x1) >= cap && std::max(t.x0, t.x1) <= sheet_width - cap &&
                        std::min(t.y0, t.y1) >= cap && std::max(t.y0, t.y1) <= sheet_height - cap)
                << "off the sheet: " << t.text << " at " << t.x0 << " " << t.y0 << " " << t.x1
                << " " << t.y1;
            Upright u;
            if (!upright(t, landscape, &u)) continue;
            placed.push_back({&t, u});
            if (is_row_label(t, scale)) rows.push_back({&t, u});
            if (t.font == "Courier") info_top = std::min(info_top, u.level - cap);
        }
        for (std::size_t i = 0; i < placed.size(); ++i)
            for (std::size_t j = i + 1; j < placed.size(); ++j) {
                const Upright& a = placed[i].u;
                const Upright& b = placed[j].u;
                const double cap_a = cap_height(*placed[i].text) - 1;
                const double cap_b = cap_height(*placed[j].text) - 1;
                const bool apart = a.along_to <= b.along_from + 1 ||
                                   b.along_to <= a.along_from + 1 || a.level <= b.level - cap_b ||
                                   b.level <= a.level - cap_a;
                EXPECT_TRUE(apart)
                    << "'" << placed[i].text->text << "' on '" << placed[j].text->text << "'";
            }
        std::sort(rows.begin(), rows.end(),
                  [](const Placed& a, const Placed& b) { return a.u.level < b.u.level; });
        labels.emplace_back();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            labels.back().push_back(rows[i].text->text);
            if (i > 0) {
                EXPECT_GE(rows[i].u.level - rows[i - 1].u.level, 8.0 * scale) << rows[i].text->text;
            }
            EXPECT_LT(rows[i].u.level, info_top)
                << rows[i].text->text << " on the information block";
        }
    }
    return labels;
}

TEST(PlotPages, RealFilesOfMoreThan27SatellitesGiveEverySatelliteItsRowOnOnePage) {
    if (!have_ghostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
    for (const auto& [file, satellites] :
         {std::pair{"ccj22100.21o.gz", 31u},
          std::pair{"ACOR00ESP_R_20213550000_01D_30S_MO.crx", 38u}}) {
        SCOPED_TRACE(file);
        testkit::ScratchDir dir;
        testkit::copy_test_data(file, dir.path());
        ASSERT_EQ(testkit::run_lumerak({std::string("-r") + file}, dir.path()).status, 0);
        const RunResult plot = testkit::run_lumerak({"-g"}, dir.path());
        ASSERT_EQ(plot.status, 0) << plot.err;
        EXPECT_EQ(plot.out.find("SVs"), std::string::npos) << plot.out;
        const std::vector<std::string> files = ps_files(dir.path());
        ASSERT_EQ(files.size(), 1u);
        const auto pages = sheet_texts(dir.path(), files[0]);
        ASSERT_EQ(pages.size(), 1u);
        // Each satellite has its label, once.
        std::vector<std::string> labels = check_pages(pages, true, file)[0];
        EXPECT_EQ(labels.size(), satellites);
        std::sort(labels.begin(), labels.end());
        EXPECT_EQ(std::adjacent_find(labels.begin(), labels.end()), labels.end());
        expect_on_a4(dir.path(), files[0], 1, file);
        EXPECT_EQ(pdf_pages(dir.path(), files[0]), 1);
    }
}

// A sky of 107 satellites of every system: GPS fills the first page, GLONASS
// and Galileo the second, the rest the third; no system is split, since each
// fits whole on the page after.
TEST(PlotPages, SatellitesOfADayOfEverySystemFillPagesBrokenBetweenSystems) {
    if (!have_ghostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
    const std::vector<testkit::SkySystem> sky = {{'G', 32}, {'R', 24}, {'E', 26}, {'C', 18},
                                                 {'J', 3},  {'I', 2},  {'S', 2}};
    std::vector<std::vector<std::string>> expected(3);
    for (const testkit::SkySystem& s : sky)
        for (int n = 1; n <= s.satellites; ++n) {
            char id[16];
            std::snprintf(id, sizeof id, "%c%02d", s.letter, n);
            expected[s.letter == 'G'                      ? 0
                     : s.letter == 'R' || s.letter == 'E' ? 1
                                                          : 2]
                .push_back(id);
        }
    for (bool landscape : {true, false}) {
        SCOPED_TRACE(landscape ? "landscape" : "portrait");
        testkit::ScratchDir dir;
        ASSERT_TRUE(testkit::write_sky_rinex(dir.file("SKY10610.24o"), "SKY1", sky, 120));
        ASSERT_EQ(testkit::run_lumerak({"-rSKY10610.24o"}, dir.path()).status, 0);
        RunResult r = testkit::run_lumerak(
            landscape ? std::vector<std::string>{"-g"} : std::vector<std::string>{"-g", "-p"},
            dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        // One file for the occupation, of three pages.
        ASSERT_EQ(ps_files(dir.path()), std::vector<std::string>{"SKY1-1.ps"});
        const std::string doc = testkit::read_file(dir.file("SKY1-1.ps"));
        EXPECT_TRUE(doc.starts_with("%!PS-Adobe-3.0\n"));
        EXPECT_NE(doc.find("\n%%Pages: 3\n"), std::string::npos);
        const auto pages = sheet_texts(dir.path(), "SKY1-1.ps");
        ASSERT_EQ(pages.size(), 3u);
        EXPECT_EQ(check_pages(pages, landscape, "sky"), expected);
        expect_on_a4(dir.path(), "SKY1-1.ps", 3, "sky");
        EXPECT_EQ(pdf_pages(dir.path(), "SKY1-1.ps"), 3);
    }
}

// Every text of a document's pages, as Ghostscript extracts them.
std::vector<std::string> all_texts(const std::vector<SheetPage>& pages) {
    std::vector<std::string> texts;
    for (const SheetPage& page : pages)
        for (const SheetText& t : page) texts.push_back(t.text);
    return texts;
}

long count_of(const std::vector<std::string>& texts, const std::string& text) {
    return std::count(texts.begin(), texts.end(), text);
}

// The overview page of a generated campaign of four stations in three
// sessions (-g), shaded by the check (-g -i), in portrait (-g -p), and,
// with 25 stations more, on two pages: every station and every occupation
// named, every page on the sheet. With -t it is not written.
TEST(CampaignOverviewPage, NamesEveryStationAndOccupationOnTheSheet) {
    if (!have_ghostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
    testkit::ScratchDir dir;
    struct File {
        const char* marker;
        double start_h, hours;
    };
    std::vector<File> files = {{"ALFA", 8, 2},  {"BRAV", 8, 2},  {"CHAR", 11, 1},
                               {"ALFA", 13, 2}, {"CHAR", 13, 2}, {"DELT", 14.5, 1}};
    auto read = [&](const File& f, int k) {
        obsgen::Options o;
        o.inject = false;
        o.marker = f.marker;
        o.start_s = f.start_h * 3600;
        o.hours = f.hours;
        const std::string name = "F" + std::to_string(k) + ".obs";
        ASSERT_TRUE(obsgen::generate(o, dir.file(name), dir.file(name + ".t")));
        ASSERT_EQ(testkit::run_lumerak({"-r" + name}, dir.path()).status, 0);
    };
    for (std::size_t k = 0; k < files.size(); ++k) read(files[k], static_cast<int>(k));

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"-g"}, {"-g", "-i"}, {"-g", "-p"}}) {
        SCOPED_TRACE(args.back());
        const RunResult r = testkit::run_lumerak(args, dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<std::string> texts = all_texts(sheet_texts(dir.path(), "zzCAMPAIGN.ps"));
        for (const char* station : {"ALFA", "BRAV", "CHAR", "DELT"})
            EXPECT_EQ(count_of(texts, station), 1) << station;
        EXPECT_EQ(count_of(texts, "1"), 4);  // the first occupation of each station
        EXPECT_EQ(count_of(texts, "2"), 2);  // ALFA's and CHAR's second
        EXPECT_EQ(count_of(texts, "under 300") > 0, args.back() == "-i");
        expect_on_a4(dir.path(), "zzCAMPAIGN.ps", 1, args.back());
    }
    fs::remove(dir.file("zzCAMPAIGN.ps"));
    ASSERT_EQ(testkit::run_lumerak({"-g", "-tALFA"}, dir.path()).status, 0);
    EXPECT_FALSE(testkit::file_exists(dir.file("zzCAMPAIGN.ps")));

    for (int s = 0; s < 25; ++s) {
        const std::string marker = "X" + std::to_string(10 + s);
        read({marker.c_str(), 16, 0.1}, 100 + s);
    }
    for (const char* orientation : {"-g", "-p"}) {
        const RunResult r = testkit::run_lumerak({"-g", orientation}, dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<SheetPage> pages = sheet_texts(dir.path(), "zzCAMPAIGN.ps");
        ASSERT_EQ(pages.size(), 2u) << orientation;
        const std::vector<std::string> texts = all_texts(pages);
        for (int s = 0; s < 25; ++s)
            EXPECT_EQ(count_of(texts, "X" + std::to_string(10 + s)), 1) << s;
        EXPECT_EQ(count_of(texts, "page 2 of 2"), 1);
        expect_on_a4(dir.path(), "zzCAMPAIGN.ps", 2, orientation);
    }
}

}  // namespace
