// The real program under a kill -9 at several moments of a long read, under
// SIGINT, and with two reads started together in one folder: the campaign
// is always either as it was before a read or holds that read completely.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

using testkit::RunResult;
using testkit::ScratchDir;

namespace {

// A RINEX 2 file of `epochs` one-second epochs of eight satellites.
std::string synthetic_rinex(const char* marker, int epochs) {
    auto label = [](const std::string& text, const char* name) {
        char line[96];
        std::snprintf(line, sizeof line, "%-60.60s%-20s\n", text.c_str(), name);
        return std::string(line);
    };
    std::string text =
        label("     2.11           OBSERVATION DATA    G (GPS)", "RINEX VERSION / TYPE");
    text += label(marker, "MARKER NAME");
    text += label("1234                TRIMBLE 4000SSI     7.19", "REC # / TYPE / VERS");
    text += label("5678                TRM22020.00+GP", "ANT # / TYPE");
    text += label("  4027893.7000   307045.6000  4919475.1000", "APPROX POSITION XYZ");
    text += label("        0.0000        0.0000        0.0000", "ANTENNA: DELTA H/E/N");
    text += label("     1     1", "WAVELENGTH FACT L1/2");
    text += label("     3    L1    C1    S1", "# / TYPES OF OBSERV");
    text += label("     1.0000", "INTERVAL");
    text += label("", "END OF HEADER");
    char line[128];
    for (int e = 0; e < epochs; ++e) {
        std::snprintf(line, sizeof line, " 05  1  1 %2d %2d%11.7f  0  8G01G02G03G04G05G06G07G08\n",
                      e / 3600, e / 60 % 60, static_cast<double>(e % 60));
        text += line;
        for (int s = 1; s <= 8; ++s) {
            std::snprintf(line, sizeof line, "%14.3f %d%14.3f %d%14.3f %d\n",
                          100000000.0 + 1000.0 * s + e, 1 + (e + s) % 9, 20000000.0 + 100.0 * s + e,
                          1 + (e + s) % 9, 30.0 + (e + s) % 20, 1 + (e + s) % 9);
            text += line;
        }
    }
    return text;
}

struct Child {
    pid_t pid;
    std::string err_path;
};

// Starts lumerak in `dir` without waiting for it; standard error goes to a file.
Child start_lumerak(const std::vector<std::string>& args, const std::string& dir,
                    const std::string& err_name) {
    Child child{-1, dir + "/" + err_name};
    std::fflush(nullptr);
    child.pid = fork();
    if (child.pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(125);
        const int out = open("/dev/null", O_WRONLY);
        const int err = open(child.err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        setenv("TZ", "Europe/Berlin", 1);
        std::vector<char*> argv{const_cast<char*>(LUMERAK_PROGRAM)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(LUMERAK_PROGRAM, argv.data());
        _exit(126);
    }
    return child;
}

int wait_for(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void pause_ms(int ms) {
    const timespec t{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

// Waits until the file has grown past `bytes` (or 20 s have passed).
void wait_for_size(const std::string& path, long bytes) {
    for (int i = 0; i < 20000; ++i) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(path, ec);
        if (!ec && static_cast<long>(size) > bytes) return;
        pause_ms(1);
    }
}

// The campaign's tables, by name.
std::vector<std::pair<std::string, std::string>> tables(const std::string& dir) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename();
        if (name.starts_with("zz")) files.emplace_back(name, testkit::read_file(entry.path()));
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string listing(const std::string& dir) {
    const RunResult r = testkit::run_lumerak({"-slist.txt"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    return testkit::read_file(dir + "/list.txt");
}

struct Campaign {
    ScratchDir dir;
    std::string before_listing;
    std::vector<std::pair<std::string, std::string>> before;

    Campaign() {
        testkit::copy_test_data("aopr0010.17o", dir.path());
        testkit::write_file(dir.file("long.o"), synthetic_rinex("LONG", 8 * 3600));
        EXPECT_EQ(testkit::run_lumerak({"-raopr0010.17o"}, dir.path()).status, 0);
        before_listing = listing(dir.path());
        before = tables(dir.path());
    }
    void put_back() {
        for (const auto& [name, bytes] : tables(dir.path())) unlink(dir.file(name).c_str());
        for (const auto& [name, bytes] : before) testkit::write_file(dir.file(name), bytes);
    }
};

}  // namespace

TEST(Durability, KilledReadIsUndoneByTheNextCommand) {
    Campaign c;
    int killed = 0;
    // Killed at its start, then when zzOBS.DAT has grown by 0.1 to 12 MB.
    const long start = static_cast<long>(std::filesystem::file_size(c.dir.file("zzOBS.DAT")));
    for (long grown : {-1L, 100000L, 1000000L, 4000000L, 8000000L, 12000000L}) {
        SCOPED_TRACE(grown);
        const Child child = start_lumerak({"-rlong.o"}, c.dir.path(), "err.txt");
        if (grown < 0)
            pause_ms(5);
        else
            wait_for_size(c.dir.file("zzOBS.DAT"), start + grown);
        kill(child.pid, SIGKILL);
        const int status = wait_for(child.pid);
        const RunResult next = testkit::run_lumerak({"-slist.txt"}, c.dir.path());
        ASSERT_EQ(next.status, 0) << next.err;
        if (status == 128 + SIGKILL) {
            ++killed;
            EXPECT_EQ(testkit::read_file(c.dir.file("list.txt")), c.before_listing);
            EXPECT_EQ(tables(c.dir.path()), c.before);
        } else {
            // The read was over before the kill.
            EXPECT_EQ(status, 0);
            EXPECT_NE(testkit::read_file(c.dir.file("list.txt")).find("long.o"), std::string::npos);
        }
        EXPECT_FALSE(testkit::file_exists(c.dir.file("lumerak.journal")));
        c.put_back();
    }
    EXPECT_GE(killed, 4);
}

TEST(Durability, InterruptedReadRollsBackAndSaysSo) {
    Campaign c;
    const long start = static_cast<long>(std::filesystem::file_size(c.dir.file("zzOBS.DAT")));
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(number);
        const Child child = start_lumerak({"-rlong.o"}, c.dir.path(), "err.txt");
        wait_for_size(c.dir.file("zzOBS.DAT"), start + 2000000L);
        kill(child.pid, number);
        const int status = wait_for(child.pid);
        ASSERT_EQ(status, 128 + number);
        const std::string err = testkit::read_file(child.err_path);
        EXPECT_NE(err.find("\nInterrupted by signal " + std::to_string(number) +
                           ". Nothing of 'long.o' was added to the database.\n"),
                  std::string::npos)
            << err;
        EXPECT_EQ(tables(c.dir.path()), c.before);
        EXPECT_EQ(listing(c.dir.path()), c.before_listing);
    }
}

TEST(Durability, TwoReadsStartedTogetherTakeTurns) {
    Campaign c;
    testkit::write_file(c.dir.file("other.o"), synthetic_rinex("OTHER", 3600));
    const long start = static_cast<long>(std::filesystem::file_size(c.dir.file("zzOBS.DAT")));
    const Child first = start_lumerak({"-rlong.o"}, c.dir.path(), "first.txt");
    wait_for_size(c.dir.file("zzOBS.DAT"), start + 100000L);
    const Child second = start_lumerak({"-rother.o"}, c.dir.path(), "second.txt");
    EXPECT_EQ(wait_for(first.pid), 0) << testkit::read_file(first.err_path);
    EXPECT_EQ(wait_for(second.pid), 0) << testkit::read_file(second.err_path);
    EXPECT_NE(testkit::read_file(second.err_path)
                  .find("Waiting for another lumerak run in this folder to finish ...\n"),
              std::string::npos);
    const std::string listed = listing(c.dir.path());
    EXPECT_NE(listed.find("long.o"), std::string::npos);
    EXPECT_NE(listed.find("other.o"), std::string::npos);
    EXPECT_NE(listed.find("aopr0010.17o"), std::string::npos);
    // Each read alone gives the same tables as the two together.
    const auto together = tables(c.dir.path());
    c.put_back();
    ASSERT_EQ(testkit::run_lumerak({"-rlong.o"}, c.dir.path()).status, 0);
    ASSERT_EQ(testkit::run_lumerak({"-rother.o"}, c.dir.path()).status, 0);
    EXPECT_EQ(tables(c.dir.path()), together);
}
