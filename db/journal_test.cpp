// The journal: a change that fails, is interrupted or is killed at any write,
// sync or truncation leaves the tables byte for byte as they were before it,
// or, once committed, as the change made them. Damaged journals restore
// nothing. The campaign lock lets one writer in at a time.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include "db/fault_seam.h"
#include "db/journal.h"
#include "db/table.h"
#include "support/error.h"
#include "tests/testkit/testkit.h"

using testkit::InDir;
using testkit::RunResult;
using testkit::ScratchDir;

namespace {

// Nothing here needs the disk to keep what it writes; the syncs still count
// and fail when armed.
const bool syncs_skipped = [] {
    fault_skip_syncs(true);
    return true;
}();

using Files = std::map<std::string, std::string>;

// Rows of 124 bytes: the record files outgrow their stream buffers during
// a change, so that they reach the disk before it ends.
struct Row {
    char key[20];
    std::int32_t value;
    char note[100];
};

// Every file of the current folder but the lock file, by name.
Files snapshot() {
    Files files;
    DIR* dir = opendir(".");
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && name != lock_name)
            files[name] = testkit::read_file(name);
    }
    closedir(dir);
    return files;
}

void put_back(const Files& files) {
    for (const auto& [name, bytes] : snapshot())
        if (!files.contains(name)) unlink(name.c_str());
    for (const auto& [name, bytes] : files) testkit::write_file(name, bytes);
}

void add_rows(DbHandle& db, Row& row, const char* prefix, int first, int count) {
    for (int i = first; i < first + count; ++i) {
        std::snprintf(row.key, sizeof row.key, "%s%06d", prefix, i);
        row.value = i;
        const long number = db_append(&db, &row);
        if (number <= 0) fatal("Write failure on file %s\n", db_file_name(&db));
        db_key_insert(db.current_index, row.key, number);
    }
}

// Rows of zzA before the change: 400 keep its files small enough to be
// journaled whole; 3000 make them too long for that.
int campaign_rows = 400;

// zzA with `campaign_rows` keys over several index pages.
void make_campaign() {
    Row row{};
    DbHandle a{};
    a.buffer = &row;
    db_create(&a, sizeof row, "zzA");
    db_index_create(&a, "zzA", 0, 0);
    add_rows(a, row, "K", 0, campaign_rows);
    EXPECT_STREQ(db_file_name(&a), "zzA.DAT");
    db_close(&a);
    EXPECT_STREQ(db_file_name(&a), "");
}

// A change of every kind: appends and keys in the middle and at the end of
// zzA (splits of old pages, evictions), a rewrite of an old record, and a
// new table zzN. `midway` runs after the first half.
void change(const std::function<void()>& midway = [] {}) {
    db_changes_begin("Nothing added.");
    Row row{};
    DbHandle a{};
    a.buffer = &row;
    DbHandle n{};
    n.buffer = &row;
    db_open(&a, sizeof row, "zzA");
    db_index_open(&a, "zzA", 0);
    add_rows(a, row, "K", campaign_rows, 600);
    midway();
    add_rows(a, row, "J", 0, 300);
    ASSERT_EQ(db_find(&a, "K000007"), 1);
    row.value = -7;
    db_rewrite(&a);
    db_create(&n, sizeof row, "zzN");
    db_index_create(&n, "zzN", 0, 0);
    add_rows(n, row, "N", 0, 50);
    db_close(&n);
    db_close(&a);
    db_changes_commit();
}

RunResult in_child(const std::function<void()>& body) {
    return testkit::run_in_child([&] {
        report_stream = stderr;
        error_line = 0;
        body();
    });
}

RunResult recover() {
    return in_child([] { db_campaign_lock(true); });
}

constexpr FaultOp all_ops[] = {FaultOp::record_write, FaultOp::write, FaultOp::sync,
                               FaultOp::truncate};

struct Scene {
    Files before;
    Files after;
    long count[4] = {};
};

// The campaign before and after the change, and how many operations of each
// kind the change takes.
Scene set_scene() {
    Scene scene;
    make_campaign();
    scene.before = snapshot();
    const RunResult r = in_child([] {
        fault_arm(FaultOp::write, 0, FaultAction::fail);
        change();
        for (FaultOp op : all_ops) std::printf("%ld ", fault_count(op));
    });
    EXPECT_EQ(r.status, 0) << r.err;
    std::sscanf(r.out.c_str(), "%ld %ld %ld %ld", &scene.count[0], &scene.count[1], &scene.count[2],
                &scene.count[3]);
    scene.after = snapshot();
    EXPECT_NE(scene.before, scene.after);
    EXPECT_FALSE(testkit::file_exists(journal_name));
    put_back(scene.before);
    return scene;
}

// The operations to try: every one, but only about 90 record writes spread
// over the change (there is one per record).
std::vector<long> trials(long count, FaultOp op) {
    std::vector<long> n;
    const long step = op == FaultOp::record_write ? count / 90 + 1 : 1;
    for (long i = 1; i <= count; i += step) n.push_back(i);
    if (count > 0) n.push_back(count);
    return n;
}

}  // namespace

TEST(Journal, ProcessEndedAtAnyOperationIsUndoneByTheNextRun) {
    ScratchDir dir;
    InDir in(dir.path());
    const Scene scene = set_scene();
    ASSERT_GT(scene.count[0], 900);
    ASSERT_GT(scene.count[1], 10);
    ASSERT_GT(scene.count[2], 4);
    int undone = 0;
    int changed_when_killed = 0;
    for (int k = 0; k < 3; ++k) {
        for (long n : trials(scene.count[k], all_ops[k])) {
            SCOPED_TRACE(testing::Message() << "kind " << k << " operation " << n);
            const RunResult run = in_child([&] {
                fault_arm(all_ops[k], n, FaultAction::end_process);
                change();
            });
            ASSERT_EQ(run.status, fault_exit_status) << run.err;
            const bool journal_left = testkit::file_exists(journal_name);
            // A journal ended before its header was written had changed nothing.
            const bool journal_started =
                journal_left && testkit::read_file(journal_name).size() >= 32;
            Files killed = snapshot();
            killed.erase(journal_name);
            if (killed != scene.before && killed != scene.after) ++changed_when_killed;
            const RunResult next = recover();
            ASSERT_EQ(next.status, 0) << next.err;
            EXPECT_EQ(next.err,
                      journal_started
                          ? "Restored the database as it was before an interrupted run.\n"
                      : journal_left
                          ? "Removed the journal of an interrupted run that had changed nothing.\n"
                          : "");
            const Files now = snapshot();
            // Only the syncs that follow the removal of the journal come
            // after the commit.
            if (now != scene.before) {
                ASSERT_EQ(now, scene.after);
                EXPECT_EQ(k, 2);
            } else {
                ++undone;
            }
            put_back(scene.before);
        }
    }
    EXPECT_GT(undone, 100);
    // Most runs had changed the tables when they ended.
    EXPECT_GT(changed_when_killed, undone / 2);
}

TEST(Journal, FailingOperationRollsTheChangeBackAtOnce) {
    ScratchDir dir;
    InDir in(dir.path());
    const Scene scene = set_scene();
    for (int k = 0; k < 3; ++k) {
        for (long n : trials(scene.count[k], all_ops[k])) {
            SCOPED_TRACE(testing::Message() << "kind " << k << " operation " << n);
            const RunResult run = in_child([&] {
                fault_arm(all_ops[k], n, FaultAction::fail);
                change();
            });
            EXPECT_FALSE(testkit::file_exists(journal_name));
            const Files now = snapshot();
            if (run.status == 0) {
                // The last sync, after the commit, only warns.
                EXPECT_EQ(now, scene.after);
                EXPECT_NE(run.err.find("Warning: the removal of lumerak.journal"),
                          std::string::npos);
            } else {
                EXPECT_EQ(now, scene.before);
                EXPECT_NE(run.err.find("\nNothing added.\n"), std::string::npos) << run.err;
            }
            put_back(scene.before);
        }
    }
}

// zzA too long to be saved whole: its old records and pages are saved one
// by one as the change overwrites them, each before its write, and those of
// the index as it closes under one sync. A fault at any write or sync still
// leaves the tables as they were before the change or as it made them.
TEST(Journal, LongFilesSavedPieceByPieceRollBackAtAnyWriteOrSync) {
    ScratchDir dir;
    InDir in(dir.path());
    campaign_rows = 3000;
    const Scene scene = set_scene();
    campaign_rows = 400;
    ASSERT_GT(static_cast<long>(scene.before.at("zzA.DAT").size()), journal_whole_file_bytes);
    ASSERT_GT(static_cast<long>(scene.before.at("zzA.ID0").size()), journal_whole_file_bytes);
    for (int k : {1, 2}) {
        for (long n : trials(scene.count[k], all_ops[k])) {
            for (FaultAction action : {FaultAction::end_process, FaultAction::fail}) {
                SCOPED_TRACE(testing::Message() << "kind " << k << " operation " << n << " action "
                                                << static_cast<int>(action));
                const RunResult run = in_child([&] {
                    campaign_rows = 3000;
                    fault_arm(all_ops[k], n, action);
                    change();
                });
                ASSERT_EQ(recover().status, 0);
                const Files now = snapshot();
                if (run.status == 0 || now != scene.before) {
                    // Only the syncs after the removal of the journal come
                    // after the commit.
                    ASSERT_EQ(now, scene.after);
                    EXPECT_EQ(k, 2);
                }
                put_back(scene.before);
            }
        }
    }
}

// The old files of a small campaign go to the journal whole under its first
// sync: the change syncs each file it wrote once, the folder three times
// (the new journal, the new table, the removal of the journal), and the
// journal once for the old files and once per file it creates, each time
// twice: its entries, then their count in its header.
TEST(Journal, SmallOldFilesTakeOneSyncOfTheJournal) {
    ScratchDir dir;
    InDir in(dir.path());
    const Scene scene = set_scene();
    const long files_written = 4;  // zzA.DAT, zzA.ID0, zzN.DAT, zzN.ID0
    const long folder_syncs = 3;
    const long journal_syncs = 2 * (1 + 2);
    EXPECT_EQ(scene.count[2], files_written + folder_syncs + journal_syncs);
}

TEST(Journal, ErrorAndSignalRollBackWithTheirStatus) {
    ScratchDir dir;
    InDir in(dir.path());
    make_campaign();
    const Files before = snapshot();
    // A duplicate key ends the run with message 7.
    RunResult r = in_child([] {
        change([] {
            DbHandle a{};
            Row row{};
            a.buffer = &row;
            db_open(&a, sizeof row, "zzA");
            db_key_insert(db_index_open(&a, "zzA", 0), "K000003", 24);
        });
    });
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.err,
              "E0007: key K000003 occured twice in zzA.ID0 in Zeile    0 \n.  \n\nNothing "
              "added.\n");
    EXPECT_EQ(snapshot(), before);
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        r = in_child([&] { change([&] { std::raise(number); }); });
        EXPECT_EQ(r.status, 128 + number);
        EXPECT_EQ(r.err,
                  "\nInterrupted by signal " + std::to_string(number) + ". Nothing added.\n");
        EXPECT_EQ(snapshot(), before);
    }
    // A table created anew over an existing one is saved whole first.
    r = in_child([] {
        db_changes_begin("Nothing added.");
        Row row{};
        DbHandle a{};
        a.buffer = &row;
        db_create(&a, sizeof row, "zzA");
        db_index_create(&a, "zzA", 0, 0);
        add_rows(a, row, "Z", 0, 500);
        db_close(&a);
        fatal("stop");
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\nError in Zeile 0   : stop\nNothing added.\n");
    EXPECT_EQ(snapshot(), before);
    // Outside a change the signals keep their usual effect.
    r = in_child([] { std::raise(SIGTERM); });
    EXPECT_EQ(r.status, 128 + SIGTERM);
}

namespace {

// The folder as a change leaves it when the process ends five record writes
// before the change would be done; empty when the process did not end there.
Files killed_during_change(const Scene& scene) {
    const int status =
        in_child([&] {
            fault_arm(FaultOp::record_write, scene.count[0] - 5, FaultAction::end_process);
            change();
        }).status;
    return status == fault_exit_status ? snapshot() : Files{};
}

}  // namespace

TEST(Journal, RestoreThatFailsKeepsTheJournalForTheNextRun) {
    ScratchDir dir;
    InDir in(dir.path());
    const Scene scene = set_scene();
    const Files killed = killed_during_change(scene);
    ASSERT_FALSE(killed.empty());
    for (FaultOp op : {FaultOp::write, FaultOp::truncate, FaultOp::sync}) {
        put_back(killed);
        const RunResult r = in_child([&] {
            fault_arm(op, 1, FaultAction::fail);
            db_campaign_lock(true);
        });
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("Cannot restore the database from lumerak.journal (zzA."),
                  std::string::npos)
            << r.err;
        EXPECT_TRUE(testkit::file_exists(journal_name));
    }
    EXPECT_EQ(recover().status, 0);
    EXPECT_EQ(snapshot(), scene.before);
    EXPECT_NE(killed, scene.before);
}

namespace {

const std::string damaged_advice =
    "The journal lumerak.journal of an interrupted run is damaged in a part that was\n"
    "complete on disk: the database cannot be restored from it and may hold part\n"
    "of that run. Restore the folder from a backup made before that run, or start\n"
    "the campaign again: remove lumerak.journal and the zz* files, then read the\n"
    "observation files again.\n";

// The journal with the count of entries its header gives as on disk set to
// `synced`, as it was after an earlier sync (0: as earlier versions wrote it).
std::string with_synced(std::string journal, std::uint32_t synced) {
    std::memcpy(journal.data() + 16, &synced, 4);
    const std::uint32_t crc = journal_crc32(journal.data(), 28);
    std::memcpy(journal.data() + 28, &crc, 4);
    return journal;
}

std::uint32_t synced_of(const std::string& journal) {
    std::uint32_t synced;
    std::memcpy(&synced, journal.data() + 16, 4);
    return synced;
}

// Where entry `k` of the journal begins.
std::size_t entry_at(const std::string& journal, int k) {
    std::size_t at = 32;
    for (int i = 0; i < k; ++i) {
        std::uint32_t sizes[2];
        std::memcpy(sizes, journal.data() + at + 8, sizeof sizes);
        at += 32 + sizes[0] + sizes[1];
    }
    return at;
}

// A folder as a change leaves it when the process ends five record writes
// before its end, in a scratch folder that is the current one.
struct KilledChange {
    ScratchDir dir;
    InDir in{dir.path()};
    Scene scene = set_scene();
    Files killed = killed_during_change(scene);
    std::string journal = killed.contains(journal_name) ? killed.at(journal_name) : "";
};

}  // namespace

TEST(Journal, DamagedJournalRestoresNothing) {
    const KilledChange k;
    const Files& killed = k.killed;
    const std::string& journal = k.journal;
    ASSERT_GT(journal.size(), 32u + 3 * 32);

    // The first entry notes the length of zzA.DAT; one with a name outside
    // the folder, and a correct checksum, must not be followed.
    auto entry = [](const std::string& name, std::uint32_t kind, const std::string& data,
                    std::uint32_t sequence) {
        std::uint32_t head[8] = {0x59524e45,
                                 kind,
                                 static_cast<std::uint32_t>(name.size()),
                                 static_cast<std::uint32_t>(data.size()),
                                 0,
                                 0,
                                 sequence,
                                 0};
        std::string bytes(reinterpret_cast<const char*>(head), 32);
        bytes += name + data;
        std::uint32_t crc = journal_crc32(bytes.data(), 28);
        crc = journal_crc32(bytes.data() + 32, name.size() + data.size(), crc);
        std::memcpy(bytes.data() + 28, &crc, 4);
        return bytes;
    };
    auto with_name = [&](const std::string& name) {
        return journal.substr(0, 32) + entry(name, 1, "", 0);
    };
    struct Case {
        const char* what;
        std::string bytes;
        const char* damage;
    };
    auto flipped = [&](std::size_t at) {
        std::string bytes = journal;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
        return bytes;
    };
    const Case cases[] = {
        {"magic", flipped(2), "header"},
        {"header checksum", flipped(29), "header"},
        {"entry kind", flipped(32 + 4), "entry 0"},
        {"entry checksum", flipped(32 + 28), "entry 0"},
        {"page image", flipped(journal.size() - 100), nullptr},
        {"name with folder", with_name("../zzA.DAT"), "entry 0"},
        {"absolute name", with_name("/tmp/zzA.DAT"), "entry 0"},
        {"the lock file", with_name(lock_name), "entry 0"},
        {"image of a file not noted", journal.substr(0, 32) + entry("zzA.DAT", 2, "abcd", 0),
         "entry 0"},
        {"file noted twice", with_name("zzA.DAT") + entry("zzA.DAT", 1, "", 1), "entry 1"},
        {"image past the old length", with_name("zzA.DAT") + entry("zzA.DAT", 2, "abcd", 1),
         "entry 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        put_back(killed);
        testkit::write_file(journal_name, c.bytes);
        const RunResult r = recover();
        EXPECT_EQ(r.status, 1);
        if (c.damage)
            EXPECT_EQ(r.err, damaged_advice +
                                 "\nError in Zeile 0   : Damaged journal lumerak.journal (" +
                                 c.damage + ")\n");
        else
            EXPECT_NE(r.err.find("Damaged journal lumerak.journal (entry "), std::string::npos);
        Files now = snapshot();
        now[journal_name] = journal;
        EXPECT_EQ(now, killed);
    }
    // A synced entry cut short by the end of the file is damage too.
    put_back(killed);
    testkit::write_file(journal_name, journal.substr(0, journal.size() - 3));
    const RunResult cut = recover();
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.err.find(damaged_advice + "\nError in Zeile 0   : Damaged journal "),
              std::string::npos)
        << cut.err;
}

// Where a journal ends: its entries are used up to the end of the file, or
// up to the first entry that is not sound beyond those its header counts as
// synced; a header that never reached the disk means nothing was changed.
TEST(Journal, JournalEndsAtItsFirstUnfinishedEntry) {
    const KilledChange k;
    const Scene& scene = k.scene;
    const Files& killed = k.killed;
    const std::string& journal = k.journal;
    ASSERT_GT(journal.size(), 32u);
    const std::uint32_t synced = synced_of(journal);
    ASSERT_EQ(synced, 6u);  // zzA's two lengths and two images, zzN's two files
    const std::string restored = "Restored the database as it was before an interrupted run";
    const std::string nothing =
        "Removed the journal of an interrupted run that had changed nothing.\n";
    // A power loss while an entry after the last sync was being written:
    // a part of it, or zeros where it did not reach the disk.
    const std::string unfinished =
        restored + " (its journal ends in the unfinished entry " + std::to_string(synced) + ").\n";
    struct Case {
        const char* what;
        const Files& folder;
        std::string journal;
        std::string err;
        const Files& result;
    };
    const Case cases[] = {
        {"part of an entry after the synced ones", killed, journal + journal.substr(32, 40),
         unfinished, scene.before},
        {"zeros after the synced entries", killed, journal + std::string(5000, '\0'), unfinished,
         scene.before},
        {"an earlier version's journal, which counts no entry as synced", killed,
         with_synced(journal, 0), restored + ".\n", scene.before},
        {"a header that never reached the disk", scene.before,
         std::string(32, '\0') + journal.substr(32), nothing, scene.before},
        {"a journal shorter than its header", scene.before, journal.substr(0, 20), nothing,
         scene.before},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        put_back(c.folder);
        testkit::write_file(journal_name, c.journal);
        const RunResult r = recover();
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(snapshot(), c.result);
    }
    // Entries from an unsound one on are left out: a synced count of 3 and
    // a damaged fourth entry restore the first three (the lengths of zzA's
    // files and the old bytes of zzA.DAT) and nothing after them (the old
    // pages of zzA.ID0; the removal of zzN).
    put_back(killed);
    std::string three = with_synced(journal, 3);
    three[entry_at(journal, 3) + 40] ^= 0x10;
    testkit::write_file(journal_name, three);
    const RunResult r = recover();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, restored + " (its journal ends in the unfinished entry 3).\n");
    Files now = snapshot();
    EXPECT_FALSE(now.contains(journal_name));
    EXPECT_EQ(now.at("zzA.DAT"), scene.before.at("zzA.DAT"));
    EXPECT_EQ(now.at("zzA.ID0").size(), scene.before.at("zzA.ID0").size());
    EXPECT_NE(now.at("zzA.ID0"), scene.before.at("zzA.ID0"));
    EXPECT_TRUE(now.contains("zzN.DAT"));
}

TEST(CampaignLock, OneWriterAtATimeReadersTogether) {
    ScratchDir dir;
    InDir in(dir.path());
    auto holder = [](bool writing) {
        const pid_t pid = fork();
        if (pid == 0) {
            db_campaign_lock(writing);
            testkit::write_file("held", "");
            sleep(3);
            _exit(0);
        }
        while (!testkit::file_exists("held")) usleep(10000);
        unlink("held");
        return pid;
    };
    pid_t pid = holder(true);
    RunResult r = in_child([] {
        campaign_set_lock_wait(1);
        db_campaign_lock(false);
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Waiting for another lumerak run in this folder to finish ...\n\nError in "
              "Zeile 0   : The folder is still in use by another lumerak run after 1 s\n");
    // Without a limit the writer is waited for.
    r = in_child([] { db_campaign_lock(true); });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Waiting for another lumerak run in this folder to finish ...\n");
    waitpid(pid, nullptr, 0);

    pid = holder(false);
    r = in_child([] {
        campaign_set_lock_wait(1);
        db_campaign_lock(false);
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    r = in_child([] {
        campaign_set_lock_wait(1);
        db_campaign_lock(true);
    });
    EXPECT_EQ(r.status, 1);
    waitpid(pid, nullptr, 0);
}
