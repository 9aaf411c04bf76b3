// Runs of the real lumerak program: banner, usage text, option errors and the
// order of the command steps.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/version.h"
#include "tests/testkit/testkit.h"

using testkit::run_lumerak;
using testkit::ScratchDir;

namespace {

const std::string banner = std::string(program_name) + " " + version_text + " " + credits_text +
                           " " + build_tool_text + "\n";

const char usage[] =
    "\nUsage:\n"
    "lumerak <Command> [<Options>..]\n"
    "\nCommand:\n"
    "-r<filename>   read rinex observation file <filename> into database\n"
    "-g             create graphics, one output file per occupation with suffix *.ps\n"
    "-a<filename>   create GEONAP 'database' files, filenames begin with <filename> \n"
    "-s<filename>   list contents of whole database into <filename>\n"
    "-x<filename>   write every observation as CSV into <filename>\n"
    "               (with -t one occupation, with -b/-e that span)\n"
    "\nOptions:\n"
    "-p             set paper orientation to portrait, default: landscape\n"
    "-b<start_time> begin at epoch start_time, format: dd.mm.yy,hh:mm:ss\n"
    "-e<end_time>   end at epoch end_time, format: dd.mm.yy,hh:mm:ss\n"
    "-c             show XYZ-coordinates, default: LAT/LON/ALT\n"
    "-d<l0>,<l1>,<l2>,<l3>,<l4>,<l5>,<l5>,<l6>,<l7>,<l8>,<l9>\n"
    "               set linetypes for S/N, <li> in [-1..9]\n"
    "               default: 0-3: linetype 3; 4-6: linetype 6; 7-9: linetype 9\n"
    "               i.e. -d3,3,3,3,6,6,6,9,9,9\n"
    "-0             Don't write observation data to disk.(Enhances speed\n"
    "               of -r command, but -g command does not work afterwards)\n"
    "               default: Write data.\n"
    "\nExample:\n"
    "lumerak -rTP2703150.99o -b03.10.99,05:00:30\n";

bool folder_is_empty(const std::string& dir) { return std::filesystem::is_empty(dir); }

bool starts_with(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

}  // namespace

TEST(Cli, NoArgumentPrintsBannerAndUsage) {
    ScratchDir dir;
    auto r = run_lumerak({}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, banner);
    EXPECT_EQ(r.err, usage);
}

TEST(Cli, OptionsWithoutCommandPrintOnlyTheBanner) {
    ScratchDir dir;
    for (auto args : {std::vector<std::string>{"-p"},
                      {"-D", "-nanything", "-:", "word", "-c0", "-d1,2", "-b01.02.03,04:05:06"},
                      {"--", "-x", "-g"}}) {
        auto r = run_lumerak(args, dir.path());
        EXPECT_EQ(r.status, 0) << args[0];
        EXPECT_EQ(r.out, banner) << args[0];
        EXPECT_EQ(r.err, "") << args[0];
    }
    EXPECT_TRUE(folder_is_empty(dir.path()));
}

// -t turns on the cycle-slip step (the quality check) and draws nothing. The
// check reads the database like the listing: in an empty folder its first
// table is missing.
TEST(Cli, StationOptionRunsOnlyTheCycleSlipStep) {
    ScratchDir dir;
    auto r = run_lumerak({"-t0815"}, dir.path());
    EXPECT_EQ(r.status, 10);
    EXPECT_EQ(r.out, banner);
    EXPECT_TRUE(starts_with(r.err, "cycles slips\n")) << r.err;
    EXPECT_NE(r.err.find("E0010: database zzOCC.DAT cannot be opened"), std::string::npos) << r.err;

    testkit::copy_test_data("KOSG0010.95O", dir.path());
    ASSERT_EQ(run_lumerak({"-rKOSG0010.95O"}, dir.path()).status, 0);
    r = run_lumerak({"-t0815"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, banner + "no occupation of station '0815' in the database\n");
    EXPECT_EQ(r.err, "cycles slips\ndone.\n");
    EXPECT_FALSE(testkit::file_exists(dir.file("08151.ps")));
}

TEST(Cli, MissingValuesEndTheRunBeforeAnyCommand) {
    ScratchDir dir;
    testkit::copy_test_data("KOSG0010.95O", dir.path());
    struct Case {
        std::vector<std::string> args;
        std::string text;
    };
    for (const auto& c : {Case{{"-rKOSG0010.95O", "-s", "list", "-g"}, "parameter expected."},
                          Case{{"-rKOSG0010.95O", "-gb"}, "date/time expected."},
                          Case{{"-t0815", "-e03.10.00"}, "date/time expected."},
                          Case{{"-i", "-a" + std::string(300, 'a')}, "parameter expected."}}) {
        auto r = run_lumerak(c.args, dir.path());
        EXPECT_EQ(r.status, 1) << c.args[1];
        EXPECT_EQ(r.out, banner) << c.args[1];
        EXPECT_EQ(r.err, "\nError in Zeile 0   : " + c.text) << c.args[1];
    }
    // Nothing was read: the folder holds only the observation file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(Cli, UnknownLetterEndsTheRunWithStatusOne) {
    ScratchDir dir;
    auto r = run_lumerak({"-y"}, dir.path());  // -x is the observation table
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, banner + "illegal option flag: y\n");
    EXPECT_EQ(r.err, "");

    // Nothing after the bad letter runs, not even the cycle-slip step.
    r = run_lumerak({"-t0815", "-", "-g"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, banner + "illegal option flag:  \n");
    EXPECT_EQ(r.err, "");
}

// The steps run as read, list, export, plot, cycle slips whatever the order on
// the command line. In an empty folder every database command fails, so the
// first step that runs is the last one that prints anything.
TEST(Cli, CommandsRunInTheFixedOrder) {
    ScratchDir dir;
    auto r = run_lumerak({"-t0815", "-g", "-aBase", "-sList", "-rmissing.o"}, dir.path());
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(starts_with(r.err, "'missing.o' read into database\n")) << r.err;
    for (const char* later : {"done.", "create GEONAP", "create plots", "cycles slips"})
        EXPECT_EQ(r.err.find(later), std::string::npos) << later;

    r = run_lumerak({"-i", "-g", "-aBase"}, dir.path());
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(starts_with(r.err, "create GEONAP-Database 'Base'\n")) << r.err;
    for (const char* later : {"done.", "create plots", "cycles slips"})
        EXPECT_EQ(r.err.find(later), std::string::npos) << later;

    r = run_lumerak({"-aBase", "-sList"}, dir.path());
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err.find("create GEONAP"), std::string::npos) << r.err;

    r = run_lumerak({"-i", "-g"}, dir.path());
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(starts_with(r.err, "create plots for all occupations\n")) << r.err;
    for (const char* later : {"done.", "cycles slips"})
        EXPECT_EQ(r.err.find(later), std::string::npos) << later;
}

// A read in the same run is seen by the listing, the export and the plots
// that follow it, and the steps print their lines in the fixed order.
TEST(Cli, LaterCommandsSeeWhatTheReadStored) {
    ScratchDir dir;
    testkit::copy_test_data("KOSG0010.95O", dir.path());
    auto r = run_lumerak({"-i", "-g", "-aCAMP", "-sList", "-rKOSG0010.95O"}, dir.path());
    EXPECT_EQ(r.status, 0);
    std::size_t at = 0;
    for (const char* step :
         {"'KOSG0010.95O' read into database\n", "done.\n",
          "create GEONAP-Database 'CAMP'\ndone.\n", "create plots for all occupations\n",
          "done.\ncycles slips\ndone.\n"}) {
        at = r.err.find(step, at);
        ASSERT_NE(at, std::string::npos) << step << " in\n" << r.err;
    }
    EXPECT_EQ(at + 25, r.err.size());  // the cycle-slip step ends the run
    EXPECT_NE(testkit::read_file(dir.file("List")).find("KOSG"), std::string::npos);
    EXPECT_NE(testkit::read_file(dir.file("CAMP.STA")).find("KOSG"), std::string::npos);

    // -p reaches the plots: the station's page in portrait has no landscape turn.
    r = run_lumerak({"-gtKOSG", "-p"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(testkit::read_file(dir.file("KOSG-1.ps")).find("0 T 90 R\n"), std::string::npos);
    const std::string portrait = testkit::read_file(dir.file("KOSG1.ps"));
    EXPECT_NE(portrait.find("%%Orientation"), std::string::npos);
    EXPECT_EQ(portrait.find("0 T 90 R\n"), std::string::npos);
}

// Standard output is buffered, standard error is not: joined into one file,
// everything the program wrote still stands in the order it was written, so
// the banner precedes the read's progress line and the counts precede the
// closing "done.", and the listing's "Done." precedes the export's heading.
TEST(Cli, JoinedStreamsKeepTheOrderOfWriting) {
    ScratchDir dir;
    testkit::copy_test_data("KOSG0010.95O", dir.path());
    auto r = testkit::run_lumerak_joined({"-rKOSG0010.95O", "-sL", "-aB"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.out;
    const std::vector<std::string> in_order = {std::string(program_name) + " " + version_text,
                                               "'KOSG0010.95O' read into database",
                                               "Zeilen gelesen.",
                                               "Eintraege in der Obs-Datei erzeugt.",
                                               "done.",
                                               "Done.",
                                               "create GEONAP-Database 'B'",
                                               "Das klappt noch...(a)",
                                               "done."};
    std::size_t at = 0;
    for (const std::string& text : in_order) {
        const std::size_t found = r.out.find(text, at);
        ASSERT_NE(found, std::string::npos) << "'" << text << "' out of order in:\n" << r.out;
        at = found + text.size();
    }
}
