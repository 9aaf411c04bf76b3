// Index pages on disk: split shapes, the page cache and damaged files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "db/fault_seam.h"
#include "db/index_internal.h"
#include "db/table.h"
#include "support/error.h"
#include "tests/testkit/testkit.h"

using testkit::read_file;
using testkit::run_in_child;
using testkit::ScratchDir;

namespace {

std::uint32_t word_at(const std::string& bytes, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

std::string key_at(const std::string& bytes, std::size_t at) { return bytes.c_str() + at; }

std::string number_key(int i) {
    char key[16];
    std::snprintf(key, sizeof key, "%08d", i);
    return key;
}

// A number key behind a one-letter prefix, composed in one piece.
std::string prefixed_key(char prefix, int i, int digits = 8) {
    char key[16];
    std::snprintf(key, sizeof key, "%c%0*d", prefix, digits, i);
    return key;
}

struct Entry {
    std::uint32_t child;
    std::int32_t record;
    std::string key;
};

// Writes a page image built from entries and a trailer into an index image.
void put_page(std::string& file, std::uint32_t position, const std::vector<Entry>& entries,
              std::uint32_t trailer) {
    if (file.size() < position + 1024) file.resize(position + 1024, '\0');
    put32(file, position, position);
    std::size_t at = position + 8;
    for (const Entry& e : entries) {
        put32(file, at, e.child);
        put32(file, at + 4, static_cast<std::uint32_t>(e.record));
        file.replace(at + 8, e.key.size() + 1, e.key.c_str(), e.key.size() + 1);
        at += 9 + e.key.size();
    }
    put32(file, position + 4, static_cast<std::uint32_t>(at - position - 8));
    put32(file, at, trailer);
}

std::string header_image(std::uint32_t root, std::uint32_t file_end) {
    std::string file(512, '\0');
    put32(file, 0, root);
    put32(file, 4, file_end);
    file[13] = 2;
    put32(file, 20, 1024);
    return file;
}

std::vector<std::string> walk_keys(NdxFile* index) {
    std::vector<std::string> keys;
    for (long n = ndx_first(index); n != 0; n = ndx_next(index)) keys.push_back(index->cur_key);
    return keys;
}

testkit::RunResult in_child(const std::function<void()>& body) {
    return run_in_child([&] {
        report_stream = stderr;
        error_line = 0;
        body();
    });
}

}  // namespace

TEST(IndexSplit, RootSplitShape) {
    ScratchDir dir;
    const std::string path = dir.file("zzR.ID0");
    NdxFile* index = ndx_create(path.c_str(), 0);
    // Keys of 8 characters take 17 bytes: 59 fill the root to 1003 bytes and
    // the 60th does not fit 1012.
    for (int i = 0; i < 60; ++i) ndx_insert(index, number_key(i).c_str(), 72L * (i + 1));
    ndx_close(index);

    const std::string file = read_file(path);
    ASSERT_EQ(file.size(), 512u + 3 * 1024);
    EXPECT_EQ(word_at(file, 0), 2560u);  // the new root
    EXPECT_EQ(word_at(file, 4), 3584u);
    // The middle entry is the last one starting before byte 8 + 1003 / 2.
    const int middle = (1003 / 2 - 1) / 17;
    const std::size_t root = 2560;
    EXPECT_EQ(word_at(file, root), 2560u);
    EXPECT_EQ(word_at(file, root + 4), 17u);
    EXPECT_EQ(word_at(file, root + 8), 1536u);  // left page
    EXPECT_EQ(word_at(file, root + 12), 72u * (middle + 1));
    EXPECT_EQ(key_at(file, root + 16), number_key(middle));
    EXPECT_EQ(word_at(file, root + 25), 512u);  // old root keeps the upper half
    const std::size_t left = 1536;
    EXPECT_EQ(word_at(file, left + 4), 17u * middle);
    EXPECT_EQ(key_at(file, left + 16), number_key(0));
    EXPECT_EQ(word_at(file, left + 8 + 17 * middle), 0u);
    EXPECT_EQ(word_at(file, 512 + 4), 17u * (59 - middle));
    EXPECT_EQ(key_at(file, 512 + 16), number_key(middle + 1));
    EXPECT_EQ(key_at(file, 512 + 8 + 17 * (58 - middle) + 8), number_key(59));
}

// A root holding `long_keys` entries of 26 bytes and `short_keys` of 17 bytes,
// each with a one-key leaf on its left, and a full rightmost leaf of 59
// entries of 17 bytes. Inserting a greater key splits that leaf.
std::string tree_with_full_leaf(int long_keys, int short_keys, std::vector<std::string>* keys) {
    const int count = long_keys + short_keys;
    std::vector<Entry> root;
    std::string file = header_image(512, 0);
    std::uint32_t next = 1536;
    for (int i = 0; i < count; ++i) {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "R%03d", i);
        const std::string key = std::string(prefix) + std::string(i < long_keys ? 13 : 4, 'x');
        put_page(file, next, {{0, 8 * (2 * i + 1), prefix}}, 0);
        root.push_back({next, 8 * (2 * i + 2), key});
        keys->push_back(prefix);
        keys->push_back(key);
        next += 1024;
    }
    std::vector<Entry> leaf;
    for (int i = 0; i < 59; ++i) {
        leaf.push_back({0, 8 * (1000 + i), prefixed_key('S', i, 7)});
        keys->push_back(leaf.back().key);
    }
    put_page(file, next, leaf, 0);
    put_page(file, 512, root, next);
    put32(file, 4, next + 1024);
    return file;
}

TEST(IndexSplit, ParentSplitFirstWhenPromotedKeyWouldReachLimit) {
    ScratchDir dir;
    // 33 * 26 + 8 * 17 = 994: the promoted 17 bytes bring the root to 1011,
    // which it can take. 35 * 26 + 5 * 17 = 995: they would bring it to 1012.
    for (const auto& [long_keys, short_keys, pages_added] :
         std::vector<std::tuple<int, int, int>>{{33, 8, 1}, {35, 5, 3}}) {
        const std::string path = dir.file("zzP" + std::to_string(long_keys));
        std::vector<std::string> keys;
        testkit::write_file(path, tree_with_full_leaf(long_keys, short_keys, &keys));
        const std::uint32_t file_end = word_at(read_file(path), 4);
        NdxFile* index = ndx_open(path.c_str());
        ASSERT_NE(index, nullptr);
        ASSERT_EQ(walk_keys(index), keys);
        EXPECT_EQ(ndx_insert(index, "T0000000", 4), 4);
        keys.push_back("T0000000");
        EXPECT_EQ(walk_keys(index), keys);
        ndx_close(index);

        const std::string file = read_file(path);
        EXPECT_EQ(word_at(file, 4), file_end + 1024u * pages_added);
        EXPECT_LT(word_at(file, 512 + 4), 1012u);
        EXPECT_EQ(word_at(file, 0) != 512u, pages_added == 3);
        index = ndx_open(path.c_str());
        EXPECT_EQ(walk_keys(index), keys);
        ndx_close(index);
    }
}

TEST(IndexSplit, KeyLengthLimit) {
    ScratchDir dir;
    const std::string path = dir.file("zzK.ID0");
    NdxFile* index = ndx_create(path.c_str(), 0);
    const std::string longest(17, 'k');
    EXPECT_EQ(ndx_insert(index, longest.c_str(), 72), 72);
    EXPECT_EQ(ndx_find(index, longest.c_str()), 72);
    ndx_close(index);

    auto r = in_child([&] {
        NdxFile* again = ndx_open(path.c_str());
        ndx_insert(again, std::string(18, 'k').c_str(), 144);
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\nError in Zeile 0   : Key \"kkkkkkkkkkkkkkkkkk\" too long");
}

TEST(IndexPath, StackLimits) {
    ScratchDir dir;
    const std::string path = dir.file("zzS.ID0");
    auto r = in_child([&] {
        NdxFile* index = ndx_create(path.c_str(), 0);
        ndx_insert(index, "A", 8);
        ndx_first(index);
        ndx_next(index);  // 0: the walk is over
        ndx_next(index);
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\nError in Zeile 0   : Index stack underflow");

    r = in_child([&] {
        NdxFile* index = ndx_create(path.c_str(), 0);
        unsigned char* root = get_page(index, index->header.root);
        for (int i = 0; i < 20; ++i) path_push(index, root, ndx_entries_at);
        std::fputs("twenty", stderr);
        path_push(index, root, ndx_entries_at);
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "twenty\nError in Zeile 0   : Index stack overflow");
}

// Fills an index with ascending keys until it has at least `pages` pages.
std::vector<std::uint32_t> index_with_pages(const std::string& path, int pages) {
    NdxFile* index = ndx_create(path.c_str(), 0);
    for (int i = 0; index->header.file_end < 512u + 1024u * pages; ++i)
        ndx_insert(index, number_key(i).c_str(), 8L * (i + 1));
    std::vector<std::uint32_t> positions;
    for (std::uint32_t p = 512; p < index->header.file_end; p += 1024) positions.push_back(p);
    ndx_close(index);
    return positions;
}

TEST(PageCache, LeastRecentlyUsedPageIsEvictedAndWrittenEvenUnchanged) {
    ScratchDir dir;
    const std::string path = dir.file("zzC.ID0");
    const std::vector<std::uint32_t> pages = index_with_pages(path, 10);
    const std::string before = read_file(path);
    auto written = [&](std::uint32_t p) { return read_file(path)[p + 1023] == before[p + 1023]; };

    NdxFile* index = ndx_open(path.c_str());
    for (int i = 0; i < 8; ++i) get_page(index, pages[i]);
    // Scribble on the unused tail of the cached pages behind the cache's
    // back; a page written back from the cache gets its old tail again.
    const int fd = open(path.c_str(), O_WRONLY);
    for (int i = 0; i < 8; ++i) ASSERT_EQ(pwrite(fd, "\x7f", 1, pages[i] + 1023), 1);
    close(fd);
    for (int i = 0; i < 8; ++i) ASSERT_FALSE(written(pages[i]));
    get_page(index, pages[0]);  // now the most recently used
    get_page(index, pages[8]);  // evicts pages[1], the least recently used
    EXPECT_TRUE(written(pages[1]));
    EXPECT_FALSE(written(pages[0]));
    get_page(index, pages[9]);  // evicts pages[2]
    EXPECT_TRUE(written(pages[2]));
    EXPECT_FALSE(written(pages[3]));
    // Closing writes only the modified pages.
    ndx_close(index);
    EXPECT_FALSE(written(pages[0]));
}

// An index growing at its end writes the pages it evicts for new pages
// together, not one by one.
TEST(PageCache, PagesEvictedForNewPagesAreWrittenTogether) {
    ScratchDir dir;
    fault_arm(FaultOp::write, 0, FaultAction::fail);
    EXPECT_EQ(index_with_pages(dir.file("zzG.ID0"), 300).size(), 300u);
    // A write per page would be 300; the close writes the cached ones singly.
    EXPECT_LT(fault_count(FaultOp::write), 30);
}

TEST(PageCache, SharedByIndexesButNeverTheirPages) {
    ScratchDir dir;
    const std::string a_path = dir.file("zzA.ID0");
    const std::string b_path = dir.file("zzB.ID0");
    NdxFile* a = ndx_create(a_path.c_str(), 0);
    NdxFile* b = ndx_create(b_path.c_str(), 0);
    std::vector<std::string> a_keys, b_keys;
    for (int i = 0; i < 3000; ++i) {
        a_keys.push_back(prefixed_key('a', i));
        b_keys.push_back(prefixed_key('b', i));
        ndx_insert(a, a_keys.back().c_str(), 8L * (i + 1));
        ndx_insert(b, b_keys.back().c_str(), 8L * (i + 1));
    }
    EXPECT_EQ(walk_keys(a), a_keys);
    EXPECT_EQ(walk_keys(b), b_keys);
    ndx_close(a);
    EXPECT_TRUE(cache_ready);
    EXPECT_EQ(walk_keys(b), b_keys);
    ndx_close(b);
    EXPECT_FALSE(cache_ready);
    EXPECT_EQ(page_cache, nullptr);

    a = ndx_open(a_path.c_str());
    EXPECT_TRUE(cache_ready);
    EXPECT_EQ(walk_keys(a), a_keys);
    ndx_close(a);
}

// Each damaged file ends the run with a message naming the file.
TEST(DamagedIndex, EndsRunWithMessageNamingFile) {
    ScratchDir dir;
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"used above 1012", [](std::string& f) { put32(f, 512 + 4, 1013); }, "(page 512)"},
        {"entry past used", [](std::string& f) { put32(f, 512 + 4, 11); }, "(page 512)"},
        {"no terminator",
         [](std::string& f) {
             put32(f, 512 + 4, 40);
             f.replace(512 + 16, 20, std::string(20, 'z'));
         },
         "(page 512)"},
        {"child outside file", [](std::string& f) { put32(f, 512 + 8, 512 + 1024 * 7); },
         "(page 512)"},
        {"child off boundary", [](std::string& f) { put32(f, 512 + 8, 700); }, "(page 512)"},
        {"trailer outside file", [](std::string& f) { put32(f, 512 + 20, 1536); }, "(page 512)"},
        {"page position", [](std::string& f) { put32(f, 512, 0); }, "(page 512)"},
        {"root zero", [](std::string& f) { put32(f, 0, 0); }, "(header)"},
        {"root off boundary", [](std::string& f) { put32(f, 0, 600); }, "(header)"},
        {"root past end", [](std::string& f) { put32(f, 0, 1536); }, "(header)"},
        {"end past file", [](std::string& f) { put32(f, 4, 2560); }, "(header)"},
        {"end off boundary", [](std::string& f) { put32(f, 4, 1000); }, "(header)"},
        {"shorter than header", [](std::string& f) { f.resize(20); }, "(header)"},
    };
    std::string sound = header_image(512, 1536);
    put_page(sound, 512, {{0, 216, "ABC"}}, 0);
    for (const Case& c : cases) {
        const std::string path = dir.file("zzX.ID0");
        std::string file = sound;
        c.damage(file);
        testkit::write_file(path, file);
        auto r = in_child([&] {
            NdxFile* index = ndx_open(path.c_str());
            if (index) ndx_find(index, "A");
        });
        EXPECT_EQ(r.status, 1) << c.what;
        std::string expected = "\nError in Zeile 0   : Damaged index file ";
        expected.append(path).append(" ").append(c.expected).append("\n");
        EXPECT_EQ(r.err, expected) << c.what;
    }
    // The sound file itself is read without complaint.
    testkit::write_file(dir.file("zzX.ID0"), sound);
    NdxFile* index = ndx_open(dir.file("zzX.ID0").c_str());
    EXPECT_EQ(ndx_find(index, "A"), 216);
    ndx_close(index);
}
