// Marker names from the file as the program meets them: the pages named
// after them stay plain files in the campaign folder, and the console shows
// their control bytes as escapes while the stored tables keep them as read.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

using testkit::RunResult;
using testkit::ScratchDir;

namespace {

// aopr0010.17o with another MARKER NAME (columns 1 to 60).
void write_observation_file(const std::string& path, const std::string& marker) {
    std::string text = testkit::read_file(testkit::test_data_path("aopr0010.17o"));
    const std::string label = "MARKER NAME";
    const std::size_t line_end = text.find(label) + label.size();
    const std::size_t line_start = text.rfind('\n', line_end - 1) + 1;
    std::string line = marker + std::string(60 - marker.size(), ' ') + label;
    text.replace(line_start, line_end - line_start, line);
    testkit::write_file(path, text);
}

// Control bytes other than line ends in what a run printed.
bool has_control_bytes(const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 32 && c != '\n') || byte == 127) return true;
    }
    return false;
}

}  // namespace

TEST(UntrustedNames, PagesStayInTheFolderAndTheConsoleShowsEscapes) {
    const struct {
        std::string marker;
        std::string file;     // the observation file's name
        const char* page;     // the page written for it
        const char* console;  // how the console shows the name or the file's
    } cases[] = {
        {"../../x", "obs.17o", "_._.._x-1.ps", "../../x"},
        {"/tmp/x", "obs.17o", "_tmp_x-1.ps", "/tmp/x"},
        {"a\\b", "obs.17o", "a_b-1.ps", "a\\b"},
        {"..", "obs.17o", "_.-1.ps", ".."},
        {".hidden", "obs.17o", "_hidden-1.ps", ".hidden"},
        {"A\x1b[31mB", "obs.17o", "A_[31mB-1.ps", "A\\x1b[31mB"},
        // The reader ends a marker name at a tab; a file name keeps it.
        {"tab", "a\tb.17o", "tab-1.ps", "'a\\x09b.17o' read into database"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        ScratchDir outer;
        const std::string dir = outer.file("campaign/folder");
        std::filesystem::create_directories(dir);
        write_observation_file(dir + "/" + c.file, c.marker);
        const RunResult read = testkit::run_lumerak_joined({"-r" + c.file}, dir);
        ASSERT_EQ(read.status, 0) << read.out;
        const RunResult plot = testkit::run_lumerak_joined({"-g"}, dir);
        ASSERT_EQ(plot.status, 0) << plot.out;
        const RunResult check = testkit::run_lumerak_joined({"-i"}, dir);
        ASSERT_EQ(check.status, 0) << check.out;

        // The page is in the folder under its plain name, and nowhere else.
        EXPECT_TRUE(testkit::file_exists(dir + "/" + c.page));
        EXPECT_EQ(testkit::read_folder_names(outer.path()), std::vector<std::string>{"campaign"});
        EXPECT_EQ(testkit::read_folder_names(outer.file("campaign")),
                  std::vector<std::string>{"folder"});
        EXPECT_NE(plot.out.find(std::string("plot into '") + c.page + "'"), std::string::npos)
            << plot.out;

        // The console: escapes, no raw control bytes.
        for (const RunResult* r : {&read, &plot, &check}) EXPECT_FALSE(has_control_bytes(r->out));
        const std::string console = read.out + plot.out + check.out;
        EXPECT_NE(console.find(c.console), std::string::npos) << console;
        // The quality check's file keeps the names as read.
        const std::string qc = testkit::read_file(dir + "/zzQC.csv");
        EXPECT_NE(qc.find(c.marker + ",1," + c.file + ","), std::string::npos) << qc;
    }
}
