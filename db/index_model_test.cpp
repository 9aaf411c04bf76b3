// Random keys, and ascending keys as the observation table gets them,
// against an ordered in-memory model, in each duplicate mode, with the index
// closed and reopened between batches.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "db/index_internal.h"
#include "tests/testkit/testkit.h"

namespace {

using Model = std::multimap<std::string, long>;

std::string random_key(std::mt19937& rng) {
    // A small alphabet gives many shared prefixes and equal keys; the high
    // byte checks that keys order as unsigned bytes.
    static const char alphabet[] = {'A', 'B', 'C', 'a', '0', '\xE4'};
    std::uniform_int_distribution<int> length(0, 17);
    std::uniform_int_distribution<int> letter(0, sizeof alphabet - 1);
    std::string key(static_cast<std::size_t>(length(rng)), ' ');
    for (char& c : key) c = alphabet[letter(rng)];
    return key;
}

void expect_walk_matches(NdxFile* index, const Model& model) {
    auto it = model.begin();
    long n = ndx_first(index);
    for (; n != 0; n = ndx_next(index), ++it) {
        ASSERT_NE(it, model.end()) << "walk longer than the model";
        ASSERT_EQ(index->cur_key, it->first);
        ASSERT_EQ(n, it->second) << "key '" << it->first << "'";
    }
    EXPECT_EQ(it, model.end()) << "walk ended early";
}

void expect_finds_match(NdxFile* index, const Model& model, const std::vector<std::string>& keys,
                        std::mt19937& rng) {
    std::uniform_int_distribution<std::size_t> pick(0, keys.size() - 1);
    for (int i = 0; i < 300; ++i) {
        std::string text;
        if (i % 3 == 0) {
            text = random_key(rng).substr(0, 4);
        } else {
            const std::string& key = keys[pick(rng)];
            text = key.substr(0, key.size() - (key.size() > 0 ? i % 3 : 0));
        }
        auto first = model.lower_bound(text);
        const bool present =
            first != model.end() && first->first.compare(0, text.size(), text) == 0;
        const long found = ndx_find(index, text.c_str());
        if (!present) {
            ASSERT_EQ(found, 0) << "text '" << text << "'";
            continue;
        }
        ASSERT_EQ(found, first->second) << "text '" << text << "'";
        ASSERT_EQ(index->cur_key, first->first);
        // The walk goes on from the entry found.
        for (int step = 0; step < 3; ++step) {
            ++first;
            const long next = ndx_next(index);
            if (first == model.end()) {
                ASSERT_EQ(next, 0);
                break;
            }
            ASSERT_EQ(next, first->second);
        }
    }
}

// Ascending keys of eight digits; every fifth repeats the one before, so
// that a key equal to the last one of a page comes up in every mode.
std::string ascending_key(long n) {
    char key[24];
    std::snprintf(key, sizeof key, "%08ld", n % 5 == 0 ? n - 1 : n);
    return key;
}

void run_model(int dup_mode, unsigned seed, bool ascending = false) {
    testkit::ScratchDir dir;
    const std::string path = dir.file("zzM.ID0");
    std::mt19937 rng(seed);
    Model model;
    std::vector<std::string> keys;
    NdxFile* index = ndx_create(path.c_str(), dup_mode);
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(ndx_first(index), 0);
    EXPECT_EQ(ndx_find(index, ""), 0);
    long record = 0;
    for (int batch = 0; batch < 8; ++batch) {
        for (int i = 0; i < 4000; ++i) {
            const std::string key =
                ascending ? ascending_key(batch * 4000L + i + 1) : random_key(rng);
            keys.push_back(key);
            record += 72;
            const long result = ndx_insert(index, key.c_str(), record);
            auto equal = model.find(key);
            if (dup_mode == 0 && equal != model.end()) {
                ASSERT_EQ(result, 0) << "duplicate '" << key << "' accepted";
                ASSERT_EQ(index->cur_record, equal->second);
                continue;
            }
            ASSERT_EQ(result, record);
            ASSERT_EQ(index->cur_key, key);
            if (dup_mode == 2)
                model.emplace_hint(model.lower_bound(key), key, record);
            else
                model.emplace(key, record);
        }
        expect_walk_matches(index, model);
        expect_finds_match(index, model, keys, rng);
        ndx_close(index);
        index = ndx_open(path.c_str());
        ASSERT_NE(index, nullptr);
        ASSERT_EQ(index->header.dup_mode, dup_mode);
    }
    expect_walk_matches(index, model);
    ndx_close(index);
    EXPECT_FALSE(cache_ready);
}

}  // namespace

TEST(IndexModel, UniqueKeys) { run_model(0, 11); }
TEST(IndexModel, DuplicatesAfterEqualKeys) { run_model(1, 12); }
TEST(IndexModel, DuplicatesBeforeEqualKeys) { run_model(2, 13); }
TEST(IndexModel, AscendingKeysInEveryMode) {
    for (int mode : {0, 1, 2}) run_model(mode, 14, true);
}

TEST(IndexModel, SameKeyAndRecordStoredOnceInDuplicateModes) {
    testkit::ScratchDir dir;
    for (int mode : {1, 2}) {
        const std::string path = dir.file("zzD" + std::to_string(mode));
        NdxFile* index = ndx_create(path.c_str(), mode);
        EXPECT_EQ(ndx_insert(index, "K", 72), 72);
        EXPECT_EQ(ndx_insert(index, "K", 72), 72);
        EXPECT_EQ(ndx_insert(index, "K", 144), 144);
        EXPECT_EQ(ndx_insert(index, "J", 216), 216);
        std::vector<long> walk;
        for (long n = ndx_first(index); n != 0; n = ndx_next(index)) walk.push_back(n);
        EXPECT_EQ(walk,
                  (mode == 1 ? std::vector<long>{216, 72, 144} : std::vector<long>{216, 144, 72}));
        ndx_close(index);
    }
}

// Keys above all others go straight to the rightmost leaf. Against a twin
// that descends from the root for every key, each result, the path left
// behind and the file are the same, also around keys out of order and around
// searches and walks, after which the next key descends again.
TEST(IndexModel, KeyAtRightmostLeafLikeDescentFromRoot) {
    testkit::ScratchDir dir;
    for (int mode : {0, 1, 2}) {
        const std::string name[2] = {dir.file("zzF"), dir.file("zzS")};
        NdxFile* fast = ndx_create(name[0].c_str(), mode);
        NdxFile* slow = ndx_create(name[1].c_str(), mode);
        auto same = [&](auto op) { ASSERT_EQ(op(fast), op(slow)); };
        for (long n = 1; n <= 30000; ++n) {
            const std::string key = ascending_key(n % 101 != 0 ? n : n - 500);
            if (n % 499 == 0)
                same([&](NdxFile* x) { return ndx_find(x, key.substr(0, 6).c_str()); });
            if (n % 998 == 0) same(ndx_next);
            if (n % 2003 == 0) same(ndx_first);
            slow->right_leaf = 0;
            same([&](NdxFile* x) { return ndx_insert(x, key.c_str(), 72 * n); });
            same([](NdxFile* x) { return x->cur_record; });
            ASSERT_EQ(fast->depth, slow->depth) << key;
            ASSERT_EQ(std::memcmp(fast->path, slow->path, sizeof(NdxPathPair) * fast->depth), 0);
            if (HasFatalFailure()) return;
        }
        ndx_close(fast);
        ndx_close(slow);
        EXPECT_EQ(testkit::read_file(name[0]), testkit::read_file(name[1])) << "mode " << mode;
    }
}
