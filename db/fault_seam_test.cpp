// The fault seam of the file layer: what its power-loss log leaves of a
// file's writes and of the folder, and its check that a change writes
// nothing before the journal entries that protect it are on disk.
#include "db/fault_seam.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "db/file_io.h"
#include "tests/testkit/testkit.h"

using testkit::InDir;
using testkit::ScratchDir;

TEST(PowerLossLog, KeepsWhatWasSyncedAndAChoiceOfTheRest) {
    ScratchDir dir;
    InDir in(dir.path());
    testkit::write_file("a", "0123456789");
    const std::string x(8192, 'x');
    power_loss_record();
    const int a = io_open("a", O_RDWR, 0);
    io_pwrite(a, "AB", 2, 0);
    io_fsync(a);
    io_pwrite(a, x.data(), x.size(), 4000);  // in 4 KiB pieces from 4000, 4096 and 8192
    const int n = io_open("n", O_RDWR | O_CREAT, 0644);
    io_write(n, "new", 3);
    io_fsync(n);
    io_sync_folder();
    io_unlink("a");
    power_loss_stop();
    close(a);
    close(n);
    ASSERT_EQ(power_loss_operations(), 8);

    const std::string synced = "AB23456789";
    const std::string all = synced + std::string(4000 - 10, '\0') + x;
    const struct {
        long before;  // the power loss comes before this operation
        PowerLossKeep keep;
        const char* a;
        const char* n;  // nullptr: not there
    } cases[] = {
        {0, PowerLossKeep::all, "0123456789", nullptr},
        {1, PowerLossKeep::none, "0123456789", nullptr},
        {1, PowerLossKeep::all, "AB23456789", nullptr},
        {2, PowerLossKeep::none, "AB23456789", nullptr},
        {3, PowerLossKeep::all, "all", nullptr},
        {6, PowerLossKeep::all, "all", nullptr},  // the new name is not on disk yet
        {7, PowerLossKeep::none, "AB23456789", "new"},
        {8, PowerLossKeep::none, "AB23456789", "new"},  // nor is the removal
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "operation " << c.before);
        const PowerLossFiles lost = power_loss_files(c.before, c.keep, 0);
        EXPECT_EQ(lost.there.at("a"), std::string(c.a) == "all" ? all : c.a);
        EXPECT_EQ(lost.there.contains("n"), c.n != nullptr);
        EXPECT_EQ(lost.gone.contains("n"), c.n == nullptr);
        if (c.n) {
            EXPECT_EQ(lost.there.at("n"), c.n);
        }
    }
    // Torn: each piece whole or missing, and over a few tosses both.
    int kept = 0;
    int lost_pieces = 0;
    for (unsigned seed = 0; seed < 8; ++seed) {
        std::string torn = power_loss_files(3, PowerLossKeep::torn, seed).there.at("a");
        torn.resize(all.size());  // a last piece missing leaves the file shorter
        for (const auto& [from, to] : {std::pair{4000, 4096}, {4096, 8192}, {8192, 12192}}) {
            const std::string piece = torn.substr(from, to - from);
            const bool whole = piece == all.substr(from, to - from);
            const bool missing = piece.find('x') == std::string::npos;
            EXPECT_TRUE(whole || missing) << from;
            kept += whole;
            lost_pieces += missing;
        }
    }
    EXPECT_GT(kept, 0);
    EXPECT_GT(lost_pieces, 0);
}

TEST(WriteOrder, ChangeWritesOnlyWhatTheJournalOnDiskProtects) {
    ScratchDir dir;
    InDir in(dir.path());
    testkit::write_file("old", std::string(100, 'o'));
    // A change whose journal "j" notes `protect` and is synced (`synced`),
    // its name too (`named`), before `write` changes the campaign.
    auto change = [](const std::function<void()>& protect, bool synced, bool named,
                     const std::function<void()>& write) {
        return testkit::run_in_child([&] {
            io_change_begun("j");
            const int j = io_open("j", O_RDWR | O_CREAT | O_TRUNC, 0644);
            protect();
            io_write(j, "entries", 7);
            if (synced) io_fsync(j);
            if (named) io_sync_folder();
            write();
            io_change_ended();
        });
    };
    auto create_new = [] { io_open("new", O_RDWR | O_CREAT, 0644); };
    auto write_old_at = [](long position) {
        return [position] { io_pwrite(io_open("old", O_RDWR, 0), "w", 1, position); };
    };
    auto old_length = [] { io_journal_protects_length("old", 100); };
    auto old_bytes = [] {
        io_journal_protects_length("old", 100);
        io_journal_protects_bytes("old", 0, 50);
    };
    const struct {
        const char* what;
        std::function<void()> protect;
        bool synced;
        bool named;
        std::function<void()> write;
        bool in_order;
    } cases[] = {
        {"creation, noted", [] { io_journal_protects_created("new"); }, true, true, create_new,
         true},
        {"creation, not noted", [] {}, true, true, create_new, false},
        {"creation, not synced", [] { io_journal_protects_created("new"); }, false, true,
         create_new, false},
        {"creation, journal not named", [] { io_journal_protects_created("new"); }, true, false,
         create_new, false},
        {"append", old_length, true, true, write_old_at(100), true},
        {"old byte, length only", old_length, true, true, write_old_at(10), false},
        {"old byte, saved", old_bytes, true, true, write_old_at(10), true},
        {"old byte, not saved", old_bytes, true, true, write_old_at(60), false},
        {"cut", old_bytes, true, true, [] { io_ftruncate(io_open("old", O_RDWR, 0), 20); }, false},
        {"emptied", old_bytes, true, true, [] { io_open("old", O_RDWR | O_TRUNC, 0); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const testkit::RunResult r = change(c.protect, c.synced, c.named, c.write);
        EXPECT_EQ(r.status, c.in_order ? 0 : write_order_status) << r.err;
        if (!c.in_order) {
            EXPECT_NE(r.err.find("before the journal protects it on disk"), std::string::npos);
        }
        unlink("j");
        unlink("new");
    }
}
