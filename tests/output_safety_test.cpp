// Every kind of output as the program writes it (the listing, the GEONAP
// files, the pages, the quality check's CSV files), with a write, sync or
// rename of its output failing or ending the process at points spread over
// the command: each output file is afterwards the one from before or the
// whole new one, never a part, and no temporary stays (the next run sweeps
// what an ended process left). The engine is the variant with the fault seam.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "db/campaign_lock.h"
#include "db/fault_seam.h"
#include "db/output_file.h"
#include "export/geonap.h"
#include "export/observation_table.h"
#include "obsdb/listing.h"
#include "plot/line_styles.h"
#include "plot/plot_command.h"
#include "quality/quality_command.h"
#include "support/error.h"
#include "tests/testkit/testkit.h"

using testkit::RunResult;
using testkit::ScratchDir;

namespace {

const bool syncs_skipped = [] {
    fault_skip_syncs(true);
    return true;
}();

// The text without the lines that hold the time of the run.
std::string timeless(const std::string& text) {
    std::string kept;
    for (const std::string& line : testkit::lines_of(text))
        if (line.find("CreationDate") == std::string::npos &&
            line.find("# created:") == std::string::npos)
            kept += line + "\n";
    return kept;
}

RunResult run_command(const std::string& dir, const std::function<void()>& command, long nth,
                      FaultAction action) {
    return testkit::run_in_child([&] {
        report_stream = stderr;
        if (chdir(dir.c_str()) != 0) _exit(125);
        db_campaign_lock(false);
        fault_arm(FaultOp::output, nth, action);
        command();
        std::fprintf(stderr, "\noutput operations %ld\n", fault_count(FaultOp::output));
    });
}

bool temporaries_in(const std::string& dir) {
    for (const std::string& name : testkit::read_folder_names(dir))
        if (name.starts_with(".lumerak-tmp.")) return true;
    return false;
}

struct Kind {
    const char* name;
    std::vector<std::string> outputs;
    std::function<void()> command;
};

}  // namespace

TEST(OutputSafety, EveryOutputIsTheOldOrTheWholeNewOneWhereverItsWritingFails) {
    ScratchDir dir;
    for (const char* file : {"aopr0010.17o", "delf0010.21o"}) {
        testkit::copy_test_data(file, dir.path());
        ASSERT_EQ(testkit::run_lumerak({std::string("-r") + file}, dir.path()).status, 0);
    }
    ASSERT_EQ(testkit::run_lumerak({"-agn"}, dir.path()).status, 0);  // creates zzGN

    const Kind kinds[] = {
        {"listing", {"list.txt"}, [] { list_database("list.txt"); }},
        {"export", {"camp.STA", "camp.OBS", "camp.RCV", "camp.ANT"}, [] { export_geonap("camp"); }},
        {"pages",
         {"aopr-1.ps", "delf-1.ps"},
         [] {
             plot_occupations("zzOBS", true, true, -1, -1, "", default_sn_line_types, false);
         }},
        {"quality", {"zzQC.csv", "zzSLIPS.csv"}, [] { check_campaign(""); }},
        {"observations", {"obs.csv"}, [] { write_observation_table("obs.csv", {"", -1, -1}); }},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const RunResult whole = run_command(dir.path(), kind.command, 0, FaultAction::fail);
        ASSERT_EQ(whole.status, 0) << whole.err;
        long operations = 0;
        ASSERT_EQ(std::sscanf(whole.err.c_str() + whole.err.rfind("output operations"),
                              "output operations %ld", &operations),
                  1);
        // Each output: writes of its 64 KiB buffer, a sync and a rename.
        EXPECT_GE(operations, 3 * static_cast<long>(kind.outputs.size())) << whole.err;
        std::map<std::string, std::string> complete;
        for (const std::string& output : kind.outputs)
            complete[output] = timeless(testkit::read_file(dir.file(output)));

        std::vector<long> trials;
        for (long n = 1; n <= operations; n += operations / 6 + 1) trials.push_back(n);
        trials.push_back(operations - 1);
        trials.push_back(operations);
        for (const FaultAction action : {FaultAction::fail, FaultAction::end_process}) {
            for (const long n : trials) {
                SCOPED_TRACE(testing::Message() << "operation " << n << " action "
                                                << static_cast<int>(action));
                for (const std::string& output : kind.outputs)
                    testkit::write_file(dir.file(output), "previous\n");
                const RunResult r = run_command(dir.path(), kind.command, n, action);
                EXPECT_EQ(r.status, action == FaultAction::fail ? 1 : fault_exit_status) << r.err;
                int replaced = 0;
                for (const std::string& output : kind.outputs) {
                    const std::string now = testkit::read_file(dir.file(output));
                    if (now == "previous\n") continue;
                    ++replaced;
                    EXPECT_EQ(timeless(now), complete[output]) << output;
                }
                EXPECT_LT(replaced, static_cast<int>(kind.outputs.size()));
                if (action == FaultAction::fail) {
                    EXPECT_FALSE(temporaries_in(dir.path()));
                    EXPECT_NE(r.err.find("Write failure on file"), std::string::npos) << r.err;
                } else {
                    // The next run removes what the ended one left.
                    ASSERT_EQ(testkit::run_lumerak({"-sother.txt"}, dir.path()).status, 0);
                    EXPECT_FALSE(temporaries_in(dir.path()));
                }
            }
        }
    }
}
