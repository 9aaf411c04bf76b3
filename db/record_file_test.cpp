#include "db/record_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "db/fault_seam.h"
#include "tests/testkit/testkit.h"

using testkit::ScratchDir;

namespace {

struct Rec {
    std::int32_t id;
    char text[68];
};
static_assert(sizeof(Rec) == 72);

Rec make(int id) {
    Rec r{};
    r.id = id;
    std::snprintf(r.text, sizeof r.text, "record %d", id);
    return r;
}

}  // namespace

TEST(RecordFile, CreateWritesPlaceholderAndNumbersRecordsByOffset) {
    ScratchDir dir;
    const std::string path = dir.file("T.DAT");
    int slot = rec_open(path.c_str(), 72, 1);
    ASSERT_GE(slot, 0);
    rec_close(slot);
    EXPECT_EQ(testkit::read_file(path), std::string(72, '\0'));

    slot = rec_open(path.c_str(), 72, 0);
    ASSERT_GE(slot, 0);
    Rec a = make(1), b = make(2);
    EXPECT_EQ(rec_append(&a, slot), 72);
    EXPECT_EQ(rec_append(&b, slot), 144);
    Rec got{};
    EXPECT_EQ(rec_read(72, &got, slot), 72);
    EXPECT_STREQ(got.text, "record 1");
    // A write after a read, then an append after a write, on the same stream.
    Rec c = make(3);
    EXPECT_EQ(rec_write(72, &c, slot), 1);
    Rec d = make(4);
    EXPECT_EQ(rec_append(&d, slot), 216);
    EXPECT_EQ(rec_read(144, &got, slot), 144);
    EXPECT_EQ(got.id, 2);
    EXPECT_EQ(rec_read(72, &got, slot), 72);
    EXPECT_EQ(got.id, 3);
    // Just past the last record.
    EXPECT_EQ(rec_read(288, &got, slot), -1);
    EXPECT_EQ(rec_append(&a, slot), 288);
    EXPECT_EQ(rec_read(288, &got, slot), 288);
    EXPECT_EQ(got.id, 1);
    EXPECT_EQ(rec_read(-72, &got, slot), -1);
    rec_close(slot);

    const std::string bytes = testkit::read_file(path);
    ASSERT_EQ(bytes.size(), 360u);
    Rec on_disk{};
    std::memcpy(&on_disk, bytes.data() + 72, 72);
    EXPECT_EQ(on_disk.id, 3);
    std::memcpy(&on_disk, bytes.data() + 216, 72);
    EXPECT_EQ(on_disk.id, 4);
}

TEST(RecordFile, SequentialReadsAfterAppendsSeeEveryRecord) {
    ScratchDir dir;
    const std::string path = dir.file("S.DAT");
    int slot = rec_open(path.c_str(), 72, 1);
    for (int i = 1; i <= 2000; ++i) {
        Rec r = make(i);
        ASSERT_EQ(rec_append(&r, slot), 72L * i);
    }
    Rec got{};
    for (int i = 1; i <= 2000; ++i) {
        ASSERT_EQ(rec_read(72L * i, &got, slot), 72L * i);
        ASSERT_EQ(got.id, i);
    }
    // Alternate rewrites and reads of neighbouring records.
    for (int i = 1; i <= 2000; i += 2) {
        Rec r = make(-i);
        ASSERT_EQ(rec_write(72L * i, &r, slot), 1);
        ASSERT_EQ(rec_read(72L * (i + 1), &got, slot), 72L * (i + 1));
        ASSERT_EQ(got.id, i + 1);
    }
    ASSERT_EQ(rec_read(72L * 1999, &got, slot), 72L * 1999);
    EXPECT_EQ(got.id, -1999);
    rec_close(slot);
}

TEST(RecordFile, TableOfOpenFiles) {
    ScratchDir dir;
    EXPECT_EQ(rec_open(dir.file("missing.DAT").c_str(), 8, 0), -1);
    // So is a new file that cannot take its placeholder record.
    fault_arm(FaultOp::record_write, 1, FaultAction::fail);
    EXPECT_EQ(rec_open(dir.file("F0.DAT").c_str(), 8, 1), -1);
    fault_arm(FaultOp::record_write, 0, FaultAction::fail);
    std::vector<int> slots;
    for (int i = 0; i < 100; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "F%d.DAT", i);
        const int slot = rec_open(dir.file(name).c_str(), 8, 1);
        ASSERT_EQ(slot, i);
        slots.push_back(slot);
    }
    EXPECT_EQ(rec_open(dir.file("F100.DAT").c_str(), 8, 1), -1);
    rec_close(slots[37]);
    EXPECT_EQ(rec_open(dir.file("again.DAT").c_str(), 8, 1), 37);
    for (int slot : slots) rec_close(slot);
    EXPECT_EQ(rec_capacity, 0);
    EXPECT_EQ(rec_slots, nullptr);
    const int slot = rec_open(dir.file("F5.DAT").c_str(), 8, 0);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(rec_capacity, 100);
    rec_close(slot);
}

TEST(RecordFile, AppendBeyondThirtyTwoBitNumbersFails) {
    ScratchDir dir;
    const std::string path = dir.file("BIG.DAT");
    // A sparse file whose next record would start just below, then at, 2^31.
    testkit::write_file(path, std::string(72, '\0'));
    ASSERT_EQ(truncate(path.c_str(), 2147483648L - 72), 0);
    const int slot = rec_open(path.c_str(), 72, 0);
    ASSERT_GE(slot, 0);
    Rec r = make(9);
    EXPECT_EQ(rec_append(&r, slot), 2147483648L - 72);
    EXPECT_EQ(rec_append(&r, slot), -1);
    EXPECT_EQ(rec_append(&r, slot), -1);
    Rec got{};
    EXPECT_EQ(rec_read(2147483648L - 72, &got, slot), 2147483648L - 72);
    EXPECT_EQ(got.id, 9);
    rec_close(slot);
}

TEST(RecordFile, FileShorterThanPlaceholderEndsRun) {
    ScratchDir dir;
    const std::string path = dir.file("zzSHORT.DAT");
    testkit::write_file(path, std::string(40, '\0'));
    auto r = testkit::run_in_child([&] { rec_open(path.c_str(), 72, 0); });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Record file " + path + " too short"), std::string::npos) << r.err;
}
