// An output written all or nothing: where it goes for each kind of name, what
// an abandon, an error or a signal leaves, and which temporaries the sweep
// removes. Failing writes, syncs and renames of every kind of output are in
// tests/output_safety_test.cpp.
#include "db/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

using testkit::file_exists;
using testkit::InDir;
using testkit::read_file;
using testkit::read_folder_names;
using testkit::ScratchDir;
using testkit::write_file;

namespace {

using Names = std::vector<std::string>;

bool write_and_commit(const char* name, const std::string& text) {
    std::FILE* file = output_open(name);
    if (!file) return false;
    std::fputs(text.c_str(), file);
    return output_commit(file);
}

}  // namespace

TEST(OutputFile, EachKindOfNameGetsTheWholeText) {
    ScratchDir dir;
    InDir in(dir.path());
    mkdir("sub", 0755);
    write_file("old.txt", "old\n");
    chmod("old.txt", 0600);
    write_file("sub/real.txt", "old\n");
    symlink("sub/real.txt", "link.txt");
    const struct {
        const char* name;
        const char* read_back;  // where the text is found afterwards
    } cases[] = {
        {"new.txt", "new.txt"},
        {"old.txt", "old.txt"},
        {"sub/other.txt", "sub/other.txt"},
        // Through the link: the file it points to is replaced, the link stays.
        {"link.txt", "sub/real.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(write_and_commit(c.name, std::string("text of ") + c.name));
        EXPECT_EQ(read_file(c.read_back), std::string("text of ") + c.name);
    }
    EXPECT_EQ(read_folder_names("."), (Names{"link.txt", "new.txt", "old.txt", "sub"}));
    struct stat status {};
    ASSERT_EQ(stat("old.txt", &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);  // a replaced file keeps its permissions
    EXPECT_EQ(read_folder_names("sub"), (Names{"other.txt", "real.txt"}));
    char target[64] = {};
    ASSERT_GT(readlink("link.txt", target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "sub/real.txt");

    // A device is written in place; a folder that is not there is an error.
    EXPECT_TRUE(write_and_commit("/dev/null", "x"));
    errno = 0;
    EXPECT_EQ(output_open("none/x.txt"), nullptr);
    EXPECT_EQ(errno, ENOENT);
}

TEST(OutputFile, ARunEndedBySignalOrErrorLeavesNoTemporary) {
    ScratchDir dir;
    InDir in(dir.path());
    for (const int number : {SIGINT, SIGTERM, SIGHUP, 0}) {
        SCOPED_TRACE(number);
        write_file("out.txt", "old\n");
        const testkit::RunResult r = testkit::run_in_child([&] {
            std::FILE* file = output_open("out.txt");
            std::fputs("half", file);
            std::fflush(file);
            if (number != 0) std::raise(number);
            std::exit(3);  // as an error report ends the run
        });
        EXPECT_EQ(r.status, number != 0 ? 128 + number : 3);
        EXPECT_EQ(read_file("out.txt"), "old\n");
        EXPECT_EQ(read_folder_names("."), Names{"out.txt"});
    }
    // The first output opened while another handler held the signal (a
    // database change), the next one after it was given back.
    const testkit::RunResult r = testkit::run_in_child([] {
        std::signal(SIGTERM, [](int) {});
        write_and_commit("first.txt", "first\n");
        std::signal(SIGTERM, SIG_DFL);
        std::FILE* file = output_open("out.txt");
        std::fputs("half", file);
        std::fflush(file);
        std::raise(SIGTERM);
    });
    EXPECT_EQ(r.status, 128 + SIGTERM);
    EXPECT_EQ(read_folder_names("."), (Names{"first.txt", "out.txt"}));
}

TEST(OutputFile, TheSweepRemovesTemporariesOfEndedRunsOnly) {
    ScratchDir dir;
    InDir in(dir.path());
    // A run killed outright leaves its temporary.
    const testkit::RunResult killed = testkit::run_in_child([] {
        std::FILE* file = output_open("out.txt");
        std::fputs("half", file);
        std::fflush(file);
        _exit(9);
    });
    ASSERT_EQ(killed.status, 9);
    const Names left = read_folder_names(".");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].rfind(".lumerak-tmp.", 0), 0u);
    // A live run's temporary (this process, its parent) and names like it stay.
    const std::string live = ".lumerak-tmp." + std::to_string(getppid()) + ".1";
    for (const std::string& name : {live, std::string(".lumerak-tmp.x.1"), std::string("keep.txt")})
        write_file(name, "");
    std::FILE* own = output_open("own.txt");
    output_sweep();
    Names expected = {live, ".lumerak-tmp.x.1", output_written_file(own), "keep.txt"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(read_folder_names("."), expected);
    output_abandon(own);
}
