// Throughput of the record store and its indexes under the reader's pattern:
// fixed-size records appended and keyed, then walked and looked up.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "db/table.h"

namespace {

constexpr int record_count = 864000;
constexpr int record_size = 72;

struct Folder {
    std::string previous;
    std::string path;
    Folder() {
        char pattern[] = "/tmp/lumerak-bench-XXXXXX";
        path = mkdtemp(pattern);
        char here[4096];
        previous = getcwd(here, sizeof here);
        if (chdir(path.c_str()) != 0) std::abort();
    }
    ~Folder() {
        if (chdir(previous.c_str()) != 0) std::abort();
        std::string command = "rm -rf " + path;
        if (std::system(command.c_str()) != 0) std::abort();
    }
};

std::vector<std::string> random_keys() {
    std::mt19937 rng(4711);
    std::uniform_int_distribution<int> letter('A', 'Z');
    std::vector<std::string> keys(record_count, std::string(8, ' '));
    for (auto& key : keys)
        for (char& c : key) c = static_cast<char>(letter(rng));
    return keys;
}

// Appends every record and keys it with the given key, or with the text of
// its own record number as the observation table is filled.
void fill(DbHandle* db, NdxFile* index, char* record, const std::vector<std::string>* keys) {
    char key[24];
    for (int i = 0; i < record_count; ++i) {
        const long number = db_append(db, record);
        std::snprintf(key, sizeof key, "%08ld", number);
        db_key_insert(index, keys ? (*keys)[static_cast<std::size_t>(i)].c_str() : key, number);
    }
}

// Argument 0: keys of the own record number; 1: random keys of 8 letters
// (in an index that admits duplicates).
void BM_KeyedAppend(benchmark::State& state) {
    Folder folder;
    const std::vector<std::string> keys =
        state.range(0) ? random_keys() : std::vector<std::string>{};
    const std::vector<std::string>* chosen = state.range(0) ? &keys : nullptr;
    char record[record_size] = {};
    DbHandle db{};
    db.buffer = record;
    for (auto _ : state) {
        db_create(&db, record_size, "zzOBS");
        NdxFile* index = db_index_create(&db, "zzOBS", 0, chosen ? 1 : 0);
        fill(&db, index, record, chosen);
        db_close(&db);
    }
    state.SetItemsProcessed(state.iterations() * record_count);
}
BENCHMARK(BM_KeyedAppend)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A table filled once per benchmark, opened again for reading.
struct FilledTable {
    Folder folder;
    char record[record_size] = {};
    DbHandle db{};
    explicit FilledTable(const std::vector<std::string>* keys) {
        db.buffer = record;
        db_create(&db, record_size, "zzT");
        fill(&db, db_index_create(&db, "zzT", 0, 1), record, keys);
        db_close(&db);
        db_open(&db, record_size, "zzT");
        db_index_open(&db, "zzT", 0);
    }
    ~FilledTable() { db_close(&db); }
};

void BM_WalkAndRead(benchmark::State& state) {
    const std::vector<std::string> keys = random_keys();
    FilledTable table(state.range(0) ? &keys : nullptr);
    for (auto _ : state) {
        long visited = 0;
        for (long n = db_first(&table.db); n != 0; n = db_next(&table.db)) {
            db_read(&table.db, n);
            ++visited;
        }
        if (visited != record_count) state.SkipWithError("walk missed records");
    }
    state.SetItemsProcessed(state.iterations() * record_count);
}
BENCHMARK(BM_WalkAndRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PrefixFind(benchmark::State& state) {
    std::vector<std::string> keys = random_keys();
    FilledTable table(&keys);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(17));
    for (auto _ : state) {
        long found = 0;
        for (const auto& key : keys) found += db_find(&table.db, key.substr(0, 6).c_str());
        if (found != record_count) state.SkipWithError("a key was not found");
    }
    state.SetItemsProcessed(state.iterations() * record_count);
}
BENCHMARK(BM_PrefixFind)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
