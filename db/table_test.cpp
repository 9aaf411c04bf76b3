#include "db/table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "db/index_internal.h"
#include "support/error.h"
#include "tests/testkit/testkit.h"

using testkit::InDir;
using testkit::read_file;
using testkit::run_in_child;
using testkit::ScratchDir;

namespace {

struct Rec {
    char key[20];
    std::int32_t value;
};

void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

// An index file holding only the given root page content (entries and
// trailer at page offset 8 onwards).
std::string index_image(const std::string& root_entries, std::uint32_t used) {
    std::string bytes(1536, '\0');
    put32(bytes, 0, 512);
    put32(bytes, 4, 1536);
    bytes[13] = 2;
    put32(bytes, 20, 1024);
    put32(bytes, 512, 512);
    put32(bytes, 516, used);
    bytes.replace(520, root_entries.size(), root_entries);
    return bytes;
}

// A table handle in a scratch folder made current.
class Table : public ::testing::Test {
protected:
    Table() { db.buffer = &rec; }
    ScratchDir dir;
    InDir in{dir.path()};
    Rec rec{};
    DbHandle db{};
};

}  // namespace

TEST_F(Table, WorkedExampleByteForByte) {
    db_create(&db, sizeof rec, "zzT");
    NdxFile* index = db_index_create(&db, "zzT", 0, 0);
    db_key_insert(index, "ABC", 216);
    db_close(&db);

    std::string entry(12, '\0');
    put32(entry, 4, 216);
    entry.replace(8, 3, "ABC");
    EXPECT_EQ(read_file("zzT.ID0"), index_image(entry, 12));
    EXPECT_EQ(read_file("zzT.DAT"), std::string(sizeof rec, '\0'));
}

TEST_F(Table, NewEmptyIndexAndRecordFile) {
    db_create(&db, sizeof rec, "zzE");
    db_index_create(&db, "zzE", 0, 0);
    std::strcpy(rec.key, "first");
    EXPECT_EQ(db_append(&db, &rec), static_cast<long>(sizeof rec));
    EXPECT_EQ(db.appended, 1);
    db_close(&db);
    EXPECT_EQ(read_file("zzE.ID0"), index_image("", 0));
    EXPECT_EQ(read_file("zzE.DAT").size(), 2 * sizeof rec);
}

TEST_F(Table, TableRoundTripThroughKeysFindWalkAndRewrite) {
    db_create(&db, sizeof rec, "zzSTA");
    NdxFile* by_name = db_index_create(&db, "zzSTA", 0, 0);
    NdxFile* by_value = db_index_create(&db, "zzSTA", 0, 1);
    EXPECT_EQ(db.current_index, by_value);
    const char* names[] = {"KOSG", "DELF", "AOPR", "NPAZ", "DELA"};
    for (int i = 0; i < 5; ++i) {
        Rec r{};
        std::strcpy(r.key, names[i]);
        r.value = 100 + i % 2;
        const long number = db_append(&db, &r);
        ASSERT_EQ(number, static_cast<long>(sizeof r) * (i + 1));
        db_key_insert(by_name, r.key, number);
        db_key_insert(by_value, std::to_string(r.value).c_str(), number);
    }
    EXPECT_EQ(db.appended, 5);
    db_close(&db);
    EXPECT_TRUE(testkit::file_exists("zzSTA.ID0"));
    EXPECT_TRUE(testkit::file_exists("zzSTA.ID1"));

    db_open(&db, sizeof rec, "zzSTA");
    EXPECT_EQ(db.appended, 0);
    EXPECT_EQ(db.current_index, nullptr);
    // Without a current index nothing is found or walked.
    EXPECT_EQ(db_find(&db, ""), 0);
    EXPECT_EQ(db_first(&db), 0);
    EXPECT_EQ(db_next(&db), 0);
    by_name = db_index_open(&db, "zzSTA", 0);
    by_value = db_index_open(&db, "zzSTA", 0);
    db_select_index(&db, by_name);

    // A prefix of several keys yields the smallest; an empty text the first.
    ASSERT_EQ(db_find(&db, "DEL"), 1);
    EXPECT_STREQ(rec.key, "DELA");
    ASSERT_EQ(db_find(&db, ""), 1);
    EXPECT_STREQ(rec.key, "AOPR");
    std::strcpy(rec.key, "AOPR*");
    db_rewrite(&db);
    // A failed find leaves the buffer and the current entry alone.
    EXPECT_EQ(db_find(&db, "ZZZ"), 0);
    EXPECT_STREQ(rec.key, "AOPR*");

    std::string walk;
    for (long n = db_first(&db); n != 0; n = db_next(&db)) {
        ASSERT_EQ(db_read(&db, n), n);
        walk += std::string(rec.key) + " ";
    }
    EXPECT_EQ(walk, "AOPR* DELA DELF KOSG NPAZ ");

    db_select_index(&db, by_value);
    std::string values;
    for (long n = db_first(&db); n != 0; n = db_next(&db)) {
        db_read(&db, n);
        values += std::string(rec.key) + " ";
    }
    // Equal keys in mode 1 keep their order of insertion.
    EXPECT_EQ(values, "KOSG AOPR* DELA DELF NPAZ ");
    db_close(&db);

    // Creating the table again empties it and starts the names at ID0.
    db_create(&db, sizeof rec, "zzSTA");
    db_index_create(&db, "zzSTA", 0, 0);
    EXPECT_EQ(db_first(&db), 0);
    db_close(&db);
    EXPECT_EQ(read_file("zzSTA.ID0"), index_image("", 0));
}

TEST_F(Table, KeyWithRecordZeroChangesNothing) {
    db_create(&db, sizeof rec, "zzZ");
    NdxFile* index = db_index_create(&db, "zzZ", 0, 0);
    db_key_insert(index, "B", 24);
    db_key_insert(index, "A", 0);
    EXPECT_EQ(index->cur_record, 24);
    EXPECT_STREQ(index->cur_key, "B");
    EXPECT_EQ(db_find(&db, "A"), 0);
    // Before any positioning the rewrite goes to the placeholder record...
    db_close(&db);
    db_open(&db, sizeof rec, "zzZ");
    db_index_open(&db, "zzZ", 0);
    std::strcpy(rec.key, "over");
    db_rewrite(&db);
    db_close(&db);
    EXPECT_EQ(read_file("zzZ.DAT").substr(0, 4), "over");
}

TEST_F(Table, FailuresAreNumberedReports) {
    struct Case {
        std::function<void()> body;
        int status;
        std::string err;
    };
    const std::string enoent = "No such file or directory\n";
    const std::string long_name(40, 'L');  // its file name does not fit 44 characters
    const std::vector<Case> cases = {
        {[&] { db_open(&db, 8, "zzNONE"); }, 10,
         enoent + "E0010: database zzNONE.DAT cannot be opened.  \n"},
        {[&] {
             db_create(&db, 8, "zzONE");
             db_index_open(&db, "zzONE", 0);
         },
         11, enoent + "E0011: index zzONE.ID0 cannot be opened.  \n"},
        {[&] { db_create(&db, 8, "no/such/dir/zzX"); }, 6,
         enoent + "E0006: database no/such/dir/zzX.DAT creation failed.  \n"},
        {[&] {
             db_create(&db, 8, "zzTWO");
             db_index_create(&db, "no/zzX", 0, 0);
         },
         5, enoent + "E0005: index no/zzX.ID0 creation failed.  \n"},
        {[&] { db_create(&db, 8, long_name.c_str()); }, 6,
         "File name too long\nE0006: database " + long_name + ".DAT creation failed.  \n"},
        {[&] {
             db_create(&db, sizeof rec, "zzDUP");
             NdxFile* index = db_index_create(&db, "zzDUP", 0, 0);
             db_key_insert(index, "K1", db_append(&db, &rec));
             db_key_insert(index, "K1", db_append(&db, &rec));
         },
         7, "E0007: key K1 occured twice in zzDUP.ID0.  \n"},
    };
    for (const Case& c : cases) {
        const auto r = run_in_child([&] {
            report_stream = stderr;
            error_line = -1;
            c.body();
        });
        EXPECT_EQ(r.status, c.status) << c.err;
        EXPECT_EQ(r.err, c.err);
    }
}
