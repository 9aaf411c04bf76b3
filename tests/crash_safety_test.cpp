// A read into an existing campaign that fails at, or is ended at, any write,
// sync or truncation of the engine's files: the next command finds the
// campaign byte for byte as it was before the read, and lists it the same.
// The read runs in a child process the way the program runs it; the engine
// is the variant with the fault seam.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "db/table.h"
#include "rinex/rinex_reader.h"
#include "support/error.h"
#include "tests/testkit/testkit.h"

using testkit::RunResult;
using testkit::ScratchDir;

namespace {

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
RunResult read_with_fault(const std::string& dir, FaultOp op, long nth, FaultAction action) {
    return testkit::run_in_child([&] {
        report_stream = stderr;
        if (chdir(dir.c_str()) != 0) _exit(125);
        fault_arm(op, nth, action);
        db_campaign_lock(true);
        db_changes_begin("Nothing of 'delf0010.21o' was added to the database.");
        read_rinex("delf0010.21o", false);
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
