// Keyed appends of this engine against SQLite, both crash-safe: 864,000
// observation records of 72 bytes, each under the text of its record number
// ("%08ld", so the keys ascend), with the data on disk at the end.
//   engine 0: this engine as the reader uses it: the campaign lock, a change
//             begun, the table zzOBS with its index created (or opened),
//             every record appended and keyed, the table closed, the change
//             committed (which syncs the files and removes the journal)
//   engine 1: SQLite with its default rollback journal and synchronous=FULL:
//             one transaction (BEGIN, CREATE TABLE of a WITHOUT ROWID table
//             keyed by the text, one prepared INSERT per record, COMMIT), the
//             connection closed
//   engine 2: the same with journal_mode=WAL
// start 0: an empty folder; start 1: a table that already holds 86,400
// records (made before the clock starts, and put on disk). Every run starts
// again from that state, in the same scratch folder below /tmp; the time is
// wall time from the lock (or the opening of the database) to the closed
// database with its data on disk. Run with repetitions interleaved:
//   sqlite_bench --benchmark_repetitions=7 --benchmark_enable_random_interleaving=true
// At the end the program prints the median of each engine and how many times
// this engine's median each of SQLite's is.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

#include "bench/bench_scratch.h"
#include "db/journal.h"
#include "db/table.h"
#include "obsdb/schema.h"

namespace {

constexpr long record_count = 864000;
constexpr long existing_count = 86400;
constexpr int record_size = sizeof(obs_record);
constexpr int engines = 3;
constexpr const char* engine_names[engines] = {"this engine", "SQLite, rollback journal",
                                               "SQLite, WAL"};
constexpr const char* start_names[2] = {"new table", "table of 86,400 records"};
constexpr const char* sqlite_file = "campaign.sqlite";

// Seconds of every run, by engine and start.
std::map<std::pair<int, int>, std::vector<double>> seconds;

double now_s() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The n-th record appended (from 1), with contents that change from one
// record to the next as observations do, and its key.
void make_record(long n, obs_record& r, char (&key)[24]) {
    r = obs_record{};
    r.satocc_ref = static_cast<std::int32_t>(n % 997 * 8 + 8);
    r.epoch = 1.7e9 + static_cast<double>(n / 10);
    for (int k = 0; k < OBS_SLOTS; ++k) {
        r.obs[k].value = 2.0e7 + static_cast<double>(n) * 0.125 + k;
        r.obs[k].snr = static_cast<char>('0' + (n + k) % 10);
    }
    std::snprintf(key, sizeof key, "%08ld", n * record_size);
}

void empty_folder() {
    for (const auto& entry : std::filesystem::directory_iterator("."))
        std::filesystem::remove(entry.path());
    sync();
}

// ---- This engine

// Appends records first to first + count - 1; false when a record number is
// not the one its key was made for.
bool fill(DbHandle* db, long first, long count) {
    obs_record r;
    char key[24];
    for (long n = first; n < first + count; ++n) {
        make_record(n, r, key);
        const long number = db_append(db, &r);
        if (number != n * record_size) return false;
        db_key_insert(db->current_index, key, number);
    }
    return true;
}

bool ours(long existing) {
    obs_record buffer{};
    DbHandle db{};
    db.buffer = &buffer;
    db_campaign_lock(true);
    db_changes_begin("Nothing was added to the database.");
    if (existing == 0) {
        db_create(&db, record_size, table_obs);
        db_index_create(&db, table_obs, 0, 0);
    } else {
        db_open(&db, record_size, table_obs);
        db_index_open(&db, table_obs, 0);
    }
    const bool filled = fill(&db, existing + 1, record_count);
    db_close(&db);
    db_changes_commit();
    db_campaign_unlock();
    return filled;
}

void ours_existing() {
    obs_record buffer{};
    DbHandle db{};
    db.buffer = &buffer;
    db_create(&db, record_size, table_obs);
    db_index_create(&db, table_obs, 0, 0);
    fill(&db, 1, existing_count);
    db_close(&db);
}

// The table holds every record, the last one under its key, and no journal
// is left.
bool ours_complete(long total) {
    std::error_code ec;
    if (std::filesystem::file_size(std::string(table_obs) + ".DAT", ec) !=
            static_cast<std::uintmax_t>((total + 1) * record_size) ||
        std::filesystem::exists(journal_name))
        return false;
    obs_record buffer{}, expected;
    char key[24];
    make_record(total, expected, key);
    DbHandle db{};
    db.buffer = &buffer;
    db_open(&db, record_size, table_obs);
    db_index_open(&db, table_obs, 0);
    const bool found = db_find(&db, key) == 1;
    db_close(&db);
    return found && std::memcmp(&buffer, &expected, sizeof buffer) == 0;
}

// ---- SQLite

bool exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// One transaction that inserts records first to first + count - 1, creating
// the table first when `create`.
bool sqlite(bool wal, long first, long count, bool create) {
    sqlite3* db = nullptr;
    if (sqlite3_open(sqlite_file, &db) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    bool ok = exec(db, "PRAGMA synchronous=FULL") &&
              (!wal || exec(db, "PRAGMA journal_mode=WAL")) && exec(db, "BEGIN") &&
              (!create || exec(db,
                               "CREATE TABLE obs(key TEXT PRIMARY KEY, record BLOB NOT NULL) "
                               "WITHOUT ROWID"));
    sqlite3_stmt* insert = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "INSERT INTO obs VALUES(?1, ?2)", -1, &insert, nullptr) ==
                   SQLITE_OK;
    obs_record r;
    char key[24];
    for (long n = first; ok && n < first + count; ++n) {
        make_record(n, r, key);
        ok = sqlite3_bind_text(insert, 1, key, 8, SQLITE_STATIC) == SQLITE_OK &&
             sqlite3_bind_blob(insert, 2, &r, record_size, SQLITE_STATIC) == SQLITE_OK &&
             sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
    }
    sqlite3_finalize(insert);
    ok = ok && exec(db, "COMMIT");
    return sqlite3_close(db) == SQLITE_OK && ok;
}

bool sqlite_complete(long total) {
    sqlite3* db = nullptr;
    sqlite3_stmt* count = nullptr;
    bool ok =
        sqlite3_open(sqlite_file, &db) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT count(*) FROM obs", -1, &count, nullptr) == SQLITE_OK &&
        sqlite3_step(count) == SQLITE_ROW && sqlite3_column_int64(count, 0) == total;
    sqlite3_finalize(count);
    sqlite3_close(db);
    return ok;
}

// ---- The benchmark

void BM_KeyedAppend(benchmark::State& state) {
    if (!bench::entered()) bench::enter_scratch("sqlite_bench");
    const int engine = static_cast<int>(state.range(0));
    const int start = static_cast<int>(state.range(1));
    const long existing = start == 1 ? existing_count : 0;
    for (auto _ : state) {
        empty_folder();
        if (existing > 0) {
            if (engine == 0) {
                ours_existing();
            } else if (!sqlite(engine == 2, 1, existing, true)) {
                state.SkipWithError("SQLite could not make the table");
                break;
            }
            sync();
        }
        const double begin = now_s();
        const bool done = engine == 0
                              ? ours(existing)
                              : sqlite(engine == 2, existing + 1, record_count, existing == 0);
        const double took = now_s() - begin;
        state.SetIterationTime(took);
        const long total = existing + record_count;
        if (!done || !(engine == 0 ? ours_complete(total) : sqlite_complete(total))) {
            state.SkipWithError("the table does not hold every record");
            break;
        }
        seconds[{engine, start}].push_back(took);
    }
    state.SetItemsProcessed(state.iterations() * record_count);
}
BENCHMARK(BM_KeyedAppend)
    ->ArgNames({"engine", "start"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime();

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void print_summary() {
    for (int start = 0; start < 2; ++start) {
        const auto ours_runs = seconds.find({0, start});
        if (ours_runs == seconds.end()) continue;
        const double ours_median = median(ours_runs->second);
        std::printf("\n%s, medians of %zu runs:\n", start_names[start], ours_runs->second.size());
        for (int engine = 0; engine < engines; ++engine) {
            const auto runs = seconds.find({engine, start});
            if (runs == seconds.end()) continue;
            const double m = median(runs->second);
            std::printf("  %-26s %9.1f ms", engine_names[engine], m * 1e3);
            if (engine > 0) std::printf("  %5.2f x this engine's", m / ours_median);
            std::printf("\n");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int status = bench::run_benchmarks(argc, argv);
    print_summary();
    return status;
}
