#include "support/error.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/testkit/testkit.h"

using testkit::run_in_child;

namespace {

void reports_to_stderr(std::int32_t line) {
    report_stream = stderr;
    error_line = line;
}

}  // namespace

TEST(NumberedReport, LinePartRightAlignedThenFullStopLine) {
    auto r = run_in_child([] {
        reports_to_stderr(0);
        error_exit(10, "zzOCC.DAT");
    });
    EXPECT_EQ(r.status, 10);
    EXPECT_EQ(r.err, "E0010: database zzOCC.DAT cannot be opened in Zeile    0 \n.  \n");
    EXPECT_EQ(r.out, "");
}

TEST(NumberedReport, NegativeLineDropsLinePart) {
    auto r = run_in_child([] {
        reports_to_stderr(-1);
        error_exit(7, "ABC", "zzSTA.ID0");
    });
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.err, "E0007: key ABC occured twice in zzSTA.ID0.  \n");
}

TEST(NumberedReport, MessageZeroSkipsLinePartAndExitsZero) {
    auto r = run_in_child([] {
        reports_to_stderr(5);
        error_exit(0);
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "E0000: ok.  \n");
}

TEST(NumberedReport, WideLineNumber) {
    auto r = run_in_child([] {
        reports_to_stderr(123456);
        error_exit(1, "x.o", "No such file or directory");
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "E0001: 'x.o' No such file or directory in Zeile 123456 \n.  \n");
}

TEST(NumberedReport, OtherReportStreamGetsConsoleCopy) {
    auto r = run_in_child([] {
        report_stream = stdout;
        error_line = 3;
        error_exit(2);
    });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "E0002: max. 64KB pro Zeiger in Zeile    3 \n.  \n");
    EXPECT_EQ(r.err, "\nE0002: max. 64KB pro Zeiger in Zeile    3 .  ");
}

TEST(FreeTextReport, LinePartLeftAligned) {
    auto r = run_in_child([] {
        reports_to_stderr(0);
        fatal("Index stack overflow");
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\nError in Zeile 0   : Index stack overflow");
}

TEST(FreeTextReport, NegativeLineWritesColonOnly) {
    auto r = run_in_child([] {
        reports_to_stderr(-4);
        fatal("parameter expected.");
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\nError: parameter expected.");
}

TEST(FreeTextReport, TextCutTo83Characters) {
    auto r = run_in_child([] {
        reports_to_stderr(-1);
        fatal("%s", std::string(200, 'x').c_str());
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\nError: " + std::string(83, 'x'));
}

TEST(FreeTextReport, ExitHookRunsOnceBeforeTheEnd) {
    static int calls;
    auto r = run_in_child([] {
        reports_to_stderr(-1);
        calls = 0;
        error_set_exit_hook([] {
            ++calls;
            std::fprintf(stderr, "[hook %d]", calls);
            // An error inside the hook ends the program at once.
            fatal("inner");
        });
        fatal("outer");
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\nError: outer[hook 1]\nError: inner");
}

TEST(Progress, QuietSilencesMessagesButNotReports) {
    auto r = run_in_child([] {
        reports_to_stderr(-1);
        message("one %d\n", 1);
        quiet = 1;
        message("two\n");
        error_exit(3);
    });
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "one 1\nE0003: no memory.  \n");
}

TEST(Progress, QuietDropsTheConsoleCopiesOfReports) {
    auto r = run_in_child([] {
        report_stream = stdout;
        error_line = 2;
        quiet = 1;
        error_exit(11, "zzSAT.ID0");
    });
    EXPECT_EQ(r.status, 11);
    EXPECT_EQ(r.out, "E0011: index zzSAT.ID0 cannot be opened in Zeile    2 \n.  \n");
    EXPECT_EQ(r.err, "");
}
