// Runs of the real program that end in an error: a read stopped half way by
// the file size limit, a folder that cannot be written, bad command lines,
// missing tables, unreadable and empty files. Each ends with its own message
// and exit status and never with a signal, and a stopped read leaves the
// database as it was before it.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "obsdb/schema.h"
#include "tests/testkit/testkit.h"

using testkit::copy_test_data;
using testkit::read_file;
using testkit::run_in_child;
using testkit::run_lumerak;
using testkit::RunResult;
using testkit::ScratchDir;

namespace {

// Runs lumerak with every file it writes limited to `bytes`; writes beyond
// the limit fail with EFBIG instead of killing the process.
RunResult run_lumerak_limited(const std::vector<std::string>& args, const std::string& dir,
                              rlim_t bytes) {
    ScratchDir capture;
    const std::string err_path = capture.file("err");
    const RunResult outer = run_in_child([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, bytes};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(125);
        const RunResult inner = run_lumerak(args, dir);
        // The captured standard error is far below the limit.
        testkit::write_file(err_path, inner.err);
        std::printf("%d", inner.status);
    });
    RunResult result;
    result.status = outer.status == 0 ? std::stoi(outer.out) : 200 + outer.status;
    result.err = read_file(err_path);
    return result;
}

long file_size(const std::string& path) {
    return static_cast<long>(std::filesystem::file_size(path));
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The program ended through one of its own reports, not through a signal.
void expect_clean_end(const RunResult& r, int status) {
    EXPECT_LT(r.status, 128) << r.err;
    EXPECT_EQ(r.status, status) << r.err;
}

}  // namespace

TEST(Fault, ReadStoppedBySizeLimitLeavesTheDatabaseAsItWas) {
    ScratchDir dir;
    copy_test_data("delf0010.21o", dir.path());
    copy_test_data("aopr0010.17o", dir.path());
    ASSERT_EQ(run_lumerak({"-raopr0010.17o"}, dir.path()).status, 0);
    std::vector<std::string> tables;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path().filename().string().starts_with("zz")) tables.push_back(entry.path());
    std::vector<std::string> before;
    for (const std::string& table : tables) before.push_back(read_file(table));

    // zzOBS.DAT of this file outgrows 64 KiB half way through its epochs.
    const RunResult stopped = run_lumerak_limited({"-rdelf0010.21o"}, dir.path(), 65536);
    expect_clean_end(stopped, 1);
    EXPECT_TRUE(contains(stopped.err,
                         "Write failure on file zzOBS.DAT\n\nNothing of "
                         "'delf0010.21o' was added to the database.\n"))
        << stopped.err;
    for (std::size_t i = 0; i < tables.size(); ++i)
        EXPECT_EQ(read_file(tables[i]), before[i]) << tables[i];
    EXPECT_FALSE(testkit::file_exists(dir.file("lumerak.journal")));

    // Listing, export and plot see the campaign as it was before the read.
    const RunResult used = run_lumerak({"-slist.txt", "-aGN", "-g"}, dir.path());
    expect_clean_end(used, 0);
    EXPECT_FALSE(contains(used.err, "Error")) << used.err;
    EXPECT_FALSE(contains(used.err, "E00")) << used.err;
    EXPECT_FALSE(contains(read_file(dir.file("list.txt")), "delf0010.21o"));
    EXPECT_GT(file_size(dir.file("GN.OBS")), 0);
    EXPECT_GT(file_size(dir.file("aopr-1.ps")), 0);

    // A later read still adds its occupation and observations.
    const long occupations = file_size(dir.file("zzOCC.DAT"));
    const long observations = file_size(dir.file("zzOBS.DAT"));
    const RunResult added = run_lumerak({"-rdelf0010.21o", "-slist2.txt", "-g"}, dir.path());
    expect_clean_end(added, 0);
    EXPECT_EQ(file_size(dir.file("zzOCC.DAT")), occupations + long{sizeof(occ_record)});
    EXPECT_GT(file_size(dir.file("zzOBS.DAT")), observations);
    const std::string listing = read_file(dir.file("list2.txt"));
    EXPECT_TRUE(contains(listing, "delf0010.21o"));
    EXPECT_TRUE(contains(listing, "aopr0010.17o"));
    EXPECT_GT(file_size(dir.file("DELFT-16-1.ps")), 0);
}

TEST(Fault, FailedFlushOfARecordFileIsReported) {
    ScratchDir dir;
    copy_test_data("delf0010.21o", dir.path());
    copy_test_data("aopr0010.17o", dir.path());
    // Without observation data the satellite records are the largest table;
    // they wait in the stream's buffer until the table is closed, when the
    // flush meets the limit.
    const RunResult stopped = run_lumerak_limited({"-rdelf0010.21o", "-0"}, dir.path(), 2048);
    expect_clean_end(stopped, 1);
    EXPECT_TRUE(contains(stopped.err,
                         "File too large\n\nError in Zeile 0   : Write failure on file zzSAT.DAT\n"
                         "\nNothing of 'delf0010.21o' was added to the database.\n"))
        << stopped.err;
    EXPECT_FALSE(testkit::file_exists(dir.file("zzSAT.DAT")));

    const RunResult next = run_lumerak({"-raopr0010.17o", "-slist.txt", "-aGN", "-g"}, dir.path());
    expect_clean_end(next, 0);
    EXPECT_FALSE(contains(next.err, "Error")) << next.err;
    const std::string listing = read_file(dir.file("list.txt"));
    EXPECT_FALSE(contains(listing, "delf0010.21o"));
    EXPECT_TRUE(contains(listing, "aopr0010.17o"));
}

TEST(Fault, OutputCutOffBySizeLimitIsReportedNotPassedAsDone) {
    ScratchDir dir;
    copy_test_data("aopr0010.17o", dir.path());
    ASSERT_EQ(run_lumerak({"-raopr0010.17o", "-aFIRST"}, dir.path()).status, 0);

    const RunResult list = run_lumerak_limited({"-slist.txt"}, dir.path(), 1024);
    expect_clean_end(list, 1);
    EXPECT_TRUE(contains(list.err,
                         "File too large\n\nError in Zeile 0   : Write failure on file list.txt\n"))
        << list.err;

    const RunResult geonap = run_lumerak_limited({"-aGN"}, dir.path(), 100);
    expect_clean_end(geonap, 1);
    EXPECT_TRUE(contains(geonap.err, "Write failure on file GN.STA\n")) << geonap.err;
    EXPECT_FALSE(contains(geonap.err, "done.")) << geonap.err;

    const RunResult plot = run_lumerak_limited({"-g"}, dir.path(), 4096);
    expect_clean_end(plot, 1);
    EXPECT_TRUE(contains(plot.err, "Write failure on file aopr-1.ps\n")) << plot.err;
    EXPECT_FALSE(contains(plot.err, "done.")) << plot.err;

    // Without the limit the same commands succeed.
    const RunResult again = run_lumerak({"-slist.txt", "-aGN", "-g"}, dir.path());
    expect_clean_end(again, 0);
}

TEST(Fault, ReadOnlyFolderIsReportedNotCrashed) {
    if (geteuid() == 0) GTEST_SKIP() << "running as root: permission bits do not stop writes";
    ScratchDir dir;
    copy_test_data("aopr0010.17o", dir.path());
    chmod(dir.path().c_str(), 0555);
    const RunResult r = run_lumerak({"-raopr0010.17o"}, dir.path());
    chmod(dir.path().c_str(), 0755);
    expect_clean_end(r, 6);
    EXPECT_TRUE(contains(r.err, "E0006: database zzSTA.DAT creation failed")) << r.err;
}

TEST(Fault, BadInputsGiveTheirMessageAndStatus) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err_part;  // the report on standard error
    };
    const std::string missing_occ =
        "No such file or directory\nE0010: database zzOCC.DAT cannot be opened in Zeile    0 \n.  "
        "\n";
    // A file that ends before its header does is rejected naming the file.
    const std::vector<Case> cases = {
        {{"-r"}, 1, "\nError in Zeile 0   : parameter expected."},
        {{"-b"}, 1, "\nError in Zeile 0   : date/time expected."},
        {{"-s"}, 1, "\nError in Zeile 0   : parameter expected."},
        {{"-slist.txt"}, 10, missing_occ},
        {{"-aGN"}, 10, missing_occ},
        {{"-g"}, 10, missing_occ},
        {{"-rmissing.o"}, 1, "E0001: 'missing.o' No such file or directory in Zeile    0 \n.  \n"},
        {{"-rempty.o"}, 1, "\nError in Zeile 0   : 'empty.o': "},
        // A folder opens like a file but cannot be read.
        {{"-rsub"}, 1, "\nError in Zeile 0   : "},
        {{"-rheader.o"}, 1, "\nError in Zeile 0   : 'header.o': "},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        testkit::write_file(dir.file("empty.o"), "");
        testkit::write_file(dir.file("header.o"),
                            "     2.10           OBSERVATION DATA    G (GPS)             "
                            "RINEX VERSION / TYPE\n");
        std::filesystem::create_directory(dir.file("sub"));
        const RunResult r = run_lumerak(c.args, dir.path());
        SCOPED_TRACE(c.args[0]);
        expect_clean_end(r, c.status);
        EXPECT_TRUE(contains(r.err, c.err_part)) << r.err;
    }

    ScratchDir dir;
    const RunResult unknown = run_lumerak({"-y"}, dir.path());
    expect_clean_end(unknown, 1);
    EXPECT_TRUE(contains(unknown.out, "illegal option flag: y\n")) << unknown.out;
}

TEST(Fault, MissingLaterTableIsReported) {
    ScratchDir dir;
    copy_test_data("aopr0010.17o", dir.path());
    // A read without observation data creates no zzOBS; listing needs it.
    expect_clean_end(run_lumerak({"-raopr0010.17o", "-0"}, dir.path()), 0);
    const RunResult r = run_lumerak({"-slist.txt"}, dir.path());
    expect_clean_end(r, 10);
    EXPECT_TRUE(contains(r.err, "E0010: database zzOBS.DAT cannot be opened")) << r.err;
    EXPECT_EQ(read_file(dir.file("list.txt")), "");
}
