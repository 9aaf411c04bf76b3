// The engine's close-all, which the fuzzing harnesses use to start every
// input afresh after an error report.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>

#include "db/index_internal.h"
#include "db/record_file.h"
#include "db/table.h"
#include "support/memory.h"
#include "tests/testkit/testkit.h"

using testkit::InDir;
using testkit::ScratchDir;

namespace {

struct Row {
    char key[20];
    int value;
};

int open_descriptors() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') ++count;
    closedir(dir);
    return count;
}

long file_size(const char* name) { return static_cast<long>(std::filesystem::file_size(name)); }

// Two tables with keys that so far live only in the page cache and records
// that so far live only in the streams' buffers.
void fill_two_tables(DbHandle& a, DbHandle& b, Row& row) {
    db_create(&a, sizeof(Row), "zzA");
    NdxFile* a_index = db_index_create(&a, "zzA", 0, 0);
    db_create(&b, sizeof(Row), "zzB");
    NdxFile* b_index = db_index_create(&b, "zzB", 0, 0);
    for (int i = 0; i < 3; ++i) {
        std::snprintf(row.key, sizeof row.key, "KEY%d", i);
        row.value = i;
        db_key_insert(a_index, row.key, db_append(&a, &row));
        db_key_insert(b_index, row.key, db_append(&b, &row));
    }
}

}  // namespace

TEST(EngineCloseAll, DiscardsCachedPagesFlushesRecordsAndFreesEverything) {
    ScratchDir dir;
    InDir in(dir.path());
    const int descriptors = open_descriptors();
    Row row{};
    DbHandle a{nullptr, nullptr, 0, 0, 0, &row};
    DbHandle b{nullptr, nullptr, 0, 0, 0, &row};
    fill_two_tables(a, b, row);

    db_close_all();
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(open_indexes, 0);
    EXPECT_EQ(page_cache, nullptr);
    EXPECT_FALSE(cache_ready);
    EXPECT_EQ(open_chain, nullptr);
    EXPECT_EQ(rec_slots, nullptr);
    EXPECT_EQ(rec_capacity, 0);
    // Records are flushed as the end of the process flushes them; the index
    // keeps only what its creation wrote, its root page stayed in the cache.
    EXPECT_EQ(file_size("zzA.DAT"), 4 * long{sizeof(Row)});
    EXPECT_EQ(file_size("zzB.DAT"), 4 * long{sizeof(Row)});
    EXPECT_EQ(file_size("zzA.ID0"), ndx_first_page);
    // Nothing is left open twice: closing everything again changes nothing.
    db_close_all();
    EXPECT_EQ(open_descriptors(), descriptors);
    // The handles' links are the clients' to free, as the end of the process
    // does; later tests fork children that must not inherit them.
    for (DbHandle* db : {&a, &b}) {
        for (IndexLink* link = db->index_chain; link;) {
            IndexLink* next = link->next;
            mem_free(link);
            link = next;
        }
    }
}

TEST(EngineCloseAll, ReleasesTheSlotTableAFailedOpenLeftBehind) {
    ScratchDir dir;
    InDir in(dir.path());
    // The open that fails is the first: the slot table exists, no file is open.
    ASSERT_EQ(rec_open("zzNONE.DAT", 16, 0), -1);
    ASSERT_NE(rec_slots, nullptr);
    db_close_all();
    EXPECT_EQ(rec_slots, nullptr);
    EXPECT_EQ(rec_capacity, 0);
    // And the next table starts from a fresh slot table.
    Row row{};
    DbHandle a{nullptr, nullptr, 0, 0, 0, &row};
    db_create(&a, sizeof(Row), "zzA");
    EXPECT_EQ(a.record_file, 0);
    db_close(&a);
    EXPECT_EQ(rec_slots, nullptr);
}
