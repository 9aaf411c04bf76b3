// A read into an existing campaign that fails at, or is ended at, any write,
// sync or truncation of the engine's files: the next command finds the
// campaign byte for byte as it was before the read, and lists it the same.
// The read runs in a child process the way the program runs it; the engine
// is the variant with the fault seam. A power loss at any point of a read or
// of an export that creates zzGN, and of the recovery after it: the next
// command finds the campaign as it was before the command or as the command
// left it.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "db/fault_seam.h"
#include "db/journal.h"
#include "db/table.h"
#include "export/geonap.h"
#include "rinex/rinex_reader.h"
#include "support/error.h"
#include "tests/testkit/testkit.h"

using testkit::RunResult;
using testkit::ScratchDir;

namespace {

// Nothing here needs the disk to keep what it writes (the power-loss log
// stands for the disk); the syncs still count, fail when armed and take
// their place in the log.
const bool syncs_skipped = [] {
    fault_skip_syncs(true);
    return true;
}();

using Files = std::map<std::string, std::string>;

// The campaign's tables (zz*) and the journal, by name.
Files campaign(const std::string& dir) {
    Files files;
    DIR* folder = opendir(dir.c_str());
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.starts_with("zz") || name == "lumerak.journal")
            files[name] = testkit::read_file(dir + "/" + name);
    }
    closedir(folder);
    return files;
}

void put_back(const std::string& dir, const Files& files) {
    for (const auto& [name, bytes] : campaign(dir))
        if (!files.contains(name)) unlink((dir + "/" + name).c_str());
    for (const auto& [name, bytes] : files) testkit::write_file(dir + "/" + name, bytes);
}

// The read as the program runs it, with one fault armed.
RunResult read_with_fault(const std::string& dir, FaultOp op, long nth, FaultAction action,
                          const std::string& file = "delf0010.21o") {
    return testkit::run_in_child([&] {
        report_stream = stderr;
        if (chdir(dir.c_str()) != 0) _exit(125);
        fault_arm(op, nth, action);
        db_campaign_lock(true);
        const std::string note = "Nothing of '" + file + "' was added to the database.";
        db_changes_begin(note.c_str());
        read_rinex(file.c_str(), false);
        db_changes_commit();
        std::fprintf(stderr, "counts %ld %ld %ld\n", fault_count(FaultOp::record_write),
                     fault_count(FaultOp::write), fault_count(FaultOp::sync));
    });
}

std::string listing(const std::string& dir) {
    const RunResult r = testkit::run_lumerak({"-slist.txt"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    return testkit::read_file(dir + "/list.txt");
}

}  // namespace

TEST(CrashSafety, ReadEndedOrFailingAnywhereLeavesTheCampaignAsBefore) {
    ScratchDir dir;
    testkit::copy_test_data("aopr0010.17o", dir.path());
    testkit::copy_test_data("delf0010.21o", dir.path());
    ASSERT_EQ(testkit::run_lumerak({"-raopr0010.17o"}, dir.path()).status, 0);
    const Files before = campaign(dir.path());
    const std::string listed = listing(dir.path());

    // How many operations of each kind the whole read takes.
    const RunResult whole = read_with_fault(dir.path(), FaultOp::write, 0, FaultAction::fail);
    ASSERT_EQ(whole.status, 0) << whole.err;
    long counts[3] = {};
    ASSERT_EQ(std::sscanf(whole.err.c_str() + whole.err.find("counts"), "counts %ld %ld %ld",
                          &counts[0], &counts[1], &counts[2]),
              3);
    ASSERT_NE(listing(dir.path()), listed);
    EXPECT_GT(counts[0], 2000);  // one per observation record
    EXPECT_GT(counts[1], 10);    // index pages and journal entries
    EXPECT_GT(counts[2], 10);    // journal, tables and folder
    put_back(dir.path(), before);

    const FaultOp ops[] = {FaultOp::record_write, FaultOp::write, FaultOp::sync};
    int recovered = 0;
    for (FaultAction action : {FaultAction::end_process, FaultAction::fail}) {
        for (int k = 0; k < 3; ++k) {
            // Every index write and sync; record writes (one per record) at
            // about 25 places spread over the read, and the last ones.
            const long step = k == 0 ? counts[0] / 25 + 1 : 1;
            std::vector<long> trials;
            for (long n = 1; n <= counts[k]; n += step) trials.push_back(n);
            for (long n = counts[k] - 2; n <= counts[k]; ++n) trials.push_back(n);
            for (long n : trials) {
                SCOPED_TRACE(testing::Message() << "action " << static_cast<int>(action) << " kind "
                                                << k << " operation " << n);
                const RunResult run = read_with_fault(dir.path(), ops[k], n, action);
                const bool left_journal = campaign(dir.path()).contains("lumerak.journal");
                if (action == FaultAction::end_process) {
                    ASSERT_EQ(run.status, fault_exit_status) << run.err;
                } else if (run.status != 0) {
                    EXPECT_NE(
                        run.err.find("\nNothing of 'delf0010.21o' was added to the database.\n"),
                        std::string::npos)
                        << run.err;
                    EXPECT_FALSE(left_journal);
                }
                recovered += left_journal;
                // The read completes only when what failed came after the
                // commit (the last sync of the folder).
                const bool completed = run.status == 0 || (k == 2 && n == counts[2]);
                if (completed) {
                    ASSERT_EQ(k, 2);
                    EXPECT_NE(listing(dir.path()), listed);
                } else {
                    ASSERT_EQ(listing(dir.path()), listed);
                    Files now = campaign(dir.path());
                    ASSERT_EQ(now, before);
                }
                put_back(dir.path(), before);
            }
        }
    }
    EXPECT_GT(recovered, 20);
}

// A navigation read into a campaign of observations and navigation data,
// failing or ended at each of its writes and syncs: undone unless the
// failure came after its commit.
TEST(CrashSafety, NavigationReadEndedOrFailingAnywhereLeavesTheCampaignAsBefore) {
    ScratchDir dir;
    testkit::copy_test_data("aopr0010.17o", dir.path());
    testkit::copy_test_data("dlf10010.21g", dir.path());
    const std::string file = "AMEL00NLD_R_20210010000_01D_MN.rnx";
    testkit::copy_test_data(file, dir.path());
    ASSERT_EQ(testkit::run_lumerak({"-raopr0010.17o"}, dir.path()).status, 0);
    ASSERT_EQ(testkit::run_lumerak({"-rdlf10010.21g"}, dir.path()).status, 0);
    const Files before = campaign(dir.path());
    const std::string listed = listing(dir.path());

    const RunResult whole = read_with_fault(dir.path(), FaultOp::write, 0, FaultAction::fail, file);
    ASSERT_EQ(whole.status, 0) << whole.err;
    long counts[3] = {};
    ASSERT_EQ(std::sscanf(whole.err.c_str() + whole.err.find("counts"), "counts %ld %ld %ld",
                          &counts[0], &counts[1], &counts[2]),
              3);
    ASSERT_NE(listing(dir.path()), listed);
    EXPECT_GE(counts[0], 7);  // six ephemerides and the header
    put_back(dir.path(), before);

    const FaultOp ops[] = {FaultOp::record_write, FaultOp::write, FaultOp::sync};
    for (FaultAction action : {FaultAction::end_process, FaultAction::fail}) {
        for (int k = 0; k < 3; ++k) {
            for (long n = 1; n <= counts[k]; ++n) {
                SCOPED_TRACE(testing::Message() << "action " << static_cast<int>(action) << " kind "
                                                << k << " operation " << n);
                const RunResult run = read_with_fault(dir.path(), ops[k], n, action, file);
                if (action == FaultAction::end_process) {
                    ASSERT_EQ(run.status, fault_exit_status) << run.err;
                }
                const bool completed = run.status == 0 || (k == 2 && n == counts[2]);
                if (completed) {
                    EXPECT_NE(listing(dir.path()), listed);
                } else {
                    ASSERT_EQ(listing(dir.path()), listed);
                    ASSERT_EQ(campaign(dir.path()), before);
                }
                put_back(dir.path(), before);
            }
        }
    }
}

namespace {

// Runs `body` in this process with standard output and standard error put aside.
void quietly(const std::function<void()>& body) {
    std::fflush(nullptr);
    const int out = dup(1);
    const int err = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    body();
    std::fflush(nullptr);
    dup2(out, 1);
    dup2(err, 2);
    close(null);
    close(out);
    close(err);
}

// What the folder holds before and after a command that the power-loss log
// recorded.
struct Logged {
    Files before;
    Files after;
    long operations = 0;
};

Logged record(const std::function<void()>& command) {
    Logged logged;
    logged.before = campaign(".");
    power_loss_record();
    quietly(command);
    power_loss_stop();
    logged.operations = power_loss_operations();
    logged.after = campaign(".");
    return logged;
}

// The campaign's files in the current folder as last read or set here; a
// folder is set by writing only what differs.
struct Folder {
    Files known = campaign(".");
    const Files& read() { return known = campaign("."); }
    void set(const Files& files) {
        for (const auto& [name, bytes] : known)
            if (!files.contains(name)) unlink(name.c_str());
        for (const auto& [name, bytes] : files)
            if (!known.contains(name) || known.at(name) != bytes) testkit::write_file(name, bytes);
        known = files;
    }
};

// The start of every command: the lock, and a journal left behind restored.
void recover() {
    db_campaign_lock(true);
    db_campaign_unlock();
}

// Recovers the current folder in a child process kept for one recovery
// after another, as long as each ends well: a process started for every
// one costs too much under the sanitizers.
class Recoverer {
public:
    ~Recoverer() { stop(); }
    // The exit status of the recovery, with its standard error when it ended the child.
    int recover(std::string& err) {
        if (pid_ < 0) start();
        char done = 0;
        if (write(to_child_, "r", 1) == 1 && read(from_child_, &done, 1) == 1) return 0;
        const int status = stop();
        err = testkit::read_file(err_.file("err"));
        return status;
    }

private:
    void start() {
        int down[2];
        int up[2];
        if (pipe(down) != 0 || pipe(up) != 0) std::abort();
        std::fflush(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            close(down[1]);
            close(up[0]);
            const int err = open(err_.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(err, 2);
            report_stream = stderr;
            char ask;
            while (read(down[0], &ask, 1) == 1) {
                ::recover();
                if (write(up[1], "0", 1) != 1) break;
            }
            _exit(0);
        }
        close(down[0]);
        close(up[1]);
        to_child_ = down[1];
        from_child_ = up[0];
    }
    int stop() {
        if (pid_ < 0) return 0;
        close(to_child_);
        close(from_child_);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    ScratchDir err_;
    pid_t pid_ = -1;
    int to_child_ = -1;
    int from_child_ = -1;
};

struct Tally {
    int states = 0;         // folders a power loss left, counted once each
    int journaled = 0;      // of them with a journal to restore from
    int refused = 0;        // the next command ended with an error
    int wrong = 0;          // it ended well, but the campaign is neither before nor after
    int wrong_by_hand = 0;  // a refused journal removed by hand leaves a wrong campaign
    std::string first;      // the first fault seen
    std::set<std::size_t> seen;
    Recoverer recoverer;
};

std::size_t fingerprint(const Files& files) {
    std::string all;
    for (const auto& [name, bytes] : files)
        all += name + '\0' + std::to_string(bytes.size()) + bytes;
    return std::hash<std::string>{}(all);
}

// Lets the next command loose on the folder as the power loss left it.
void next_command(const Logged& logged, Folder& folder, Tally& tally, const std::string& where) {
    Files crashed = folder.known;
    if (!tally.seen.insert(fingerprint(crashed)).second) return;
    ++tally.states;
    auto fault = [&](int& count, const std::string& what) {
        ++count;
        if (tally.first.empty()) tally.first = where + ": " + what;
    };
    const bool journaled = crashed.erase(journal_name) > 0;
    if (!journaled) {
        // Nothing to restore: the folder must be whole as it is.
        if (crashed != logged.before && crashed != logged.after) fault(tally.wrong, "no journal");
        return;
    }
    ++tally.journaled;
    std::string err;
    const int status = tally.recoverer.recover(err);
    const Files& now = folder.read();
    if (status != 0) {
        fault(tally.refused, err);
        if (crashed != logged.before && crashed != logged.after) ++tally.wrong_by_hand;
    } else if (now != logged.before && now != logged.after) {
        fault(tally.wrong, "restored to neither before nor after");
    }
}

constexpr struct {
    PowerLossKeep keep;
    unsigned seed;
} power_losses[] = {{PowerLossKeep::none, 0}, {PowerLossKeep::whole, 1}, {PowerLossKeep::torn, 2},
                    {PowerLossKeep::all, 0},  {PowerLossKeep::whole, 3}, {PowerLossKeep::torn, 4}};

// The folder `start` after a power loss before operation `n` of the log.
Files lose_power(const Files& start, long n, PowerLossKeep keep, unsigned seed) {
    const PowerLossFiles lost = power_loss_files(n, keep, seed);
    Files files = start;
    for (const std::string& name : lost.gone) files.erase(name);
    for (const auto& [name, bytes] : lost.there) files[name] = bytes;
    return files;
}

// A power loss before every operation of the log, with each choice of the
// writes that survive, starting from the folder `start`.
void lose_power_everywhere(const Logged& logged, const Files& start, Folder& folder, Tally& tally,
                           const std::string& what) {
    for (long n = 0; n <= logged.operations; ++n) {
        for (const auto& loss : power_losses) {
            folder.set(lose_power(start, n, loss.keep, loss.seed));
            next_command(logged, folder, tally,
                         what + " operation " + std::to_string(n) + " keep " +
                             std::to_string(static_cast<int>(loss.keep)));
        }
    }
}

// The recovery after a power loss, itself hit by a power loss at each of
// its operations; from the folders the loss at about a third, two thirds
// and the end of the command left, with all or some of the writes after the
// last syncs.
void lose_power_in_recovery(const Logged& logged, Folder& folder, Tally& tally,
                            const std::string& what) {
    std::string err;
    std::vector<std::pair<long, Files>> starts;
    for (long n : {logged.operations / 3, 2 * logged.operations / 3, logged.operations - 1}) {
        for (PowerLossKeep keep : {PowerLossKeep::all, PowerLossKeep::torn})
            starts.emplace_back(n, lose_power(logged.before, n, keep, 5));
    }
    for (const auto& [n, crashed] : starts) {
        if (!crashed.contains(journal_name)) continue;
        folder.set(crashed);
        // Only a journal the recovery accepts is recovered here, in this process.
        const bool accepted = tally.recoverer.recover(err) == 0;
        folder.read();
        folder.set(crashed);
        if (!accepted) continue;
        Logged recovery = record(recover);
        folder.read();
        recovery.before = logged.before;
        recovery.after = logged.after;
        lose_power_everywhere(recovery, crashed, folder, tally,
                              what + " recovery from " + std::to_string(n));
    }
}

void read_into_campaign(const char* file) {
    db_campaign_lock(true);
    db_changes_begin("Nothing was added to the database.");
    read_rinex(file, false);
    db_changes_commit();
    db_campaign_unlock();
}

}  // namespace

TEST(PowerLoss, NextCommandFindsTheCampaignBeforeOrAfterTheCommand) {
    int recovery_states = 0;
    const struct {
        const char* what;
        const char* campaign;  // the file read before, if any
        std::function<void()> command;
    } scenes[] = {
        {"read into a campaign", "aopr0010.17o", [] { read_into_campaign("delf0010.21o"); }},
        // zzOBS.ID0 of delf0010.21o is too long to be saved whole: its old
        // pages go to the journal one by one as the read overwrites them.
        {"read into a longer campaign", "delf0010.21o", [] { read_into_campaign("aopr0010.17o"); }},
        {"first read", nullptr, [] { read_into_campaign("aopr0010.17o"); }},
        {"export creating zzGN", "aopr0010.17o",
         [] {
             db_campaign_lock(true);
             db_changes_begin("The export added nothing to the database.");
             export_geonap("GN");
             db_changes_commit();
             db_campaign_unlock();
         }},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.what);
        ScratchDir dir;
        testkit::copy_test_data("aopr0010.17o", dir.path());
        testkit::copy_test_data("delf0010.21o", dir.path());
        if (scene.campaign) {
            ASSERT_EQ(testkit::run_lumerak({std::string("-r") + scene.campaign}, dir.path()).status,
                      0);
        }
        testkit::InDir in(dir.path());
        const Logged logged = record(scene.command);
        ASSERT_NE(logged.before, logged.after);
        ASSERT_FALSE(logged.after.contains(journal_name));
        Folder folder;
        Tally tally;
        lose_power_everywhere(logged, logged.before, folder, tally, scene.what);
        const int command_states = tally.states;
        lose_power_in_recovery(logged, folder, tally, scene.what);
        std::printf(
            "%s: %ld operations, %d states (%d in recovery), %d with a journal: "
            "%d refused, %d wrong; a refused journal removed by hand: %d wrong\n",
            scene.what, logged.operations, tally.states, tally.states - command_states,
            tally.journaled, tally.refused, tally.wrong, tally.wrong_by_hand);
        EXPECT_EQ(tally.refused, 0) << tally.first;
        EXPECT_EQ(tally.wrong, 0) << tally.first;
        // The loop met power losses that left something to restore.
        EXPECT_GT(tally.journaled, 20);
        recovery_states += tally.states - command_states;
    }
    // And power losses in the recovery that left folders not met before.
    EXPECT_GT(recovery_states, 100);
}
