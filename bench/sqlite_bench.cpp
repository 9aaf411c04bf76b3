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
// At the end the program prints the medians of each engine, in wall time and
// in processor time (user and system, and each of them), and how many times
// this engine's median each of them is.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>
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

// Wall time and processor time (user and system) of one run, in seconds.
struct Times {
    double wall;
    double cpu;
    double user;
    double system;
};
std::map<std::pair<int, int>, std::vector<Times>> runs;

Times now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& v) {
        return static_cast<double>(v.tv_sec) + static_cast<double>(v.tv_usec) / 1e6;
    };
    return {static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9,
            seconds(usage.ru_utime) + seconds(usage.ru_stime), seconds(usage.ru_utime),
            seconds(usage.ru_stime)};
}

// The records and their keys, made before any clock starts so that both
// engines are timed for storing them only. Record n (from 1) changes from
// one record to the next as observations do; its key is the text of its
// record number in this engine.
struct Keyed {
    obs_record record;
    char key[9];
};
std::vector<Keyed> keyed;

const Keyed& input(long n) {
    if (keyed.empty()) {
        keyed.resize(existing_count + record_count + 1);
        for (long i = 1; i < static_cast<long>(keyed.size()); ++i) {
            obs_record& r = keyed[i].record;
            r.satocc_ref = static_cast<std::int32_t>(i % 997 * 8 + 8);
            r.epoch = 1.7e9 + static_cast<double>(i / 10);
            for (int k = 0; k < OBS_SLOTS; ++k) {
                r.obs[k].value = 2.0e7 + static_cast<double>(i) * 0.125 + k;
                r.obs[k].snr = static_cast<char>('0' + (i + k) % 10);
            }
            char text[24];
            std::snprintf(text, sizeof text, "%08ld", i * record_size);
            std::memcpy(keyed[i].key, text, sizeof keyed[i].key);
        }
    }
    return keyed[static_cast<std::size_t>(n)];
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
    for (long n = first; n < first + count; ++n) {
        const Keyed& k = input(n);
        const long number = db_append(db, &k.record);
        if (number != n * record_size) return false;
        db_key_insert(db->current_index, k.key, number);
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
    obs_record buffer{};
    const Keyed& last = input(total);
    DbHandle db{};
    db.buffer = &buffer;
    db_open(&db, record_size, table_obs);
    db_index_open(&db, table_obs, 0);
    const bool found = db_find(&db, last.key) == 1;
    db_close(&db);
    return found && std::memcmp(&buffer, &last.record, sizeof buffer) == 0;
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
    for (long n = first; ok && n < first + count; ++n) {
        const Keyed& k = input(n);
        ok = sqlite3_bind_text(insert, 1, k.key, 8, SQLITE_STATIC) == SQLITE_OK &&
             sqlite3_bind_blob(insert, 2, &k.record, record_size, SQLITE_STATIC) == SQLITE_OK &&
             sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
    }
    sqlite3_finalize(insert);
    ok = ok && exec(db, "COMMIT");
    return sqlite3_close(db) == SQLITE_OK && ok;
}

// The table holds every record, the last one under its key.
bool sqlite_complete(long total) {
    const Keyed& last = input(total);
    sqlite3* db = nullptr;
    sqlite3_stmt* check = nullptr;
    bool ok =
        sqlite3_open(sqlite_file, &db) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT (SELECT count(*) FROM obs), record FROM obs WHERE key = ?1",
                           -1, &check, nullptr) == SQLITE_OK &&
        sqlite3_bind_text(check, 1, last.key, 8, SQLITE_STATIC) == SQLITE_OK &&
        sqlite3_step(check) == SQLITE_ROW && sqlite3_column_int64(check, 0) == total &&
        sqlite3_column_bytes(check, 1) == record_size &&
        std::memcmp(sqlite3_column_blob(check, 1), &last.record, record_size) == 0;
    sqlite3_finalize(check);
    sqlite3_close(db);
    return ok;
}

// ---- The benchmark

void BM_KeyedAppend(benchmark::State& state) {
    if (!bench::entered()) bench::enter_scratch("sqlite_bench");
    const int engine = static_cast<int>(state.range(0));
    const int start = static_cast<int>(state.range(1));
    const long existing = start == 1 ? existing_count : 0;
    input(1);
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
        const Times begin = now();
        const bool done = engine == 0
                              ? ours(existing)
                              : sqlite(engine == 2, existing + 1, record_count, existing == 0);
        const Times end = now();
        const Times took{end.wall - begin.wall, end.cpu - begin.cpu, end.user - begin.user,
                         end.system - begin.system};
        state.SetIterationTime(took.wall);
        state.counters["cpu_ms"] = took.cpu * 1e3;
        const long total = existing + record_count;
        if (!done || !(engine == 0 ? ours_complete(total) : sqlite_complete(total))) {
            state.SkipWithError("the table does not hold every record");
            break;
        }
        runs[{engine, start}].push_back(took);
    }
    state.SetItemsProcessed(state.iterations() * record_count);
}
BENCHMARK(BM_KeyedAppend)
    ->ArgNames({"engine", "start"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime();

double median(const std::vector<Times>& times, double Times::*member) {
    std::vector<double> values;
    for (const Times& t : times) values.push_back(t.*member);
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void print_summary() {
    for (int start = 0; start < 2; ++start) {
        const auto ours_runs = runs.find({0, start});
        if (ours_runs == runs.end()) continue;
        const double ours_wall = median(ours_runs->second, &Times::wall);
        const double ours_cpu = median(ours_runs->second, &Times::cpu);
        std::printf("\n%s, medians of %zu runs:\n%34s %9s %7s %14s %7s %8s %10s\n",
                    start_names[start], ours_runs->second.size(), "", "wall ms", "ratio",
                    "processor ms", "ratio", "user ms", "system ms");
        for (int engine = 0; engine < engines; ++engine) {
            const auto found = runs.find({engine, start});
            if (found == runs.end()) continue;
            const double wall = median(found->second, &Times::wall);
            const double cpu = median(found->second, &Times::cpu);
            std::printf("  %-32s %9.1f %7.2f %14.1f %7.2f %8.1f %10.1f\n", engine_names[engine],
                        wall * 1e3, wall / ours_wall, cpu * 1e3, cpu / ours_cpu,
                        median(found->second, &Times::user) * 1e3,
                        median(found->second, &Times::system) * 1e3);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int status = bench::run_benchmarks(argc, argv);
    print_summary();
    return status;
}
