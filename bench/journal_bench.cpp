// Cost of the journal: a day of 1-second data from 10 satellites (864,000
// observations, made by gen_rinex) read into an existing campaign of one
// hour, as a plain read (journal 0), as the program reads it, journaled and
// synced (journal 1), and as a plain read followed by sync() (journal 2), which
// shows what putting the read's files on disk costs by itself. Each
// repetition starts from the same campaign, with nothing left to write.
// Wall time counts, since syncs wait for the disk; the counter "fsyncs" is
// the number of fsync calls of one read, "wait_ms" the time after the read
// proper: the commit, with the syncs of the changed files (journal 1), or
// the sync() (journal 2). Run with repetitions interleaved:
//   journal_bench --benchmark_repetitions=7 --benchmark_enable_random_interleaving=true
#include <dirent.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "bench/bench_scratch.h"
#include "db/table.h"
#include "rinex/rinex_reader.h"

extern "C" int __real_fsync(int fd);

namespace {

long fsync_calls = 0;
double wait_ms = 0;

double now_ms() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}
std::map<std::string, std::string> campaign;  // the campaign before each read

std::string slurp(const std::string& name) {
    std::string bytes;
    std::FILE* file = std::fopen(name.c_str(), "rb");
    char buffer[1 << 16];
    std::size_t got;
    while (file && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    if (file) std::fclose(file);
    return bytes;
}

// The reader prints its progress on standard output; the measurements keep it.
void quietly(void (*body)()) {
    std::fflush(stdout);
    const int saved = dup(1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    body();
    std::fflush(stdout);
    dup2(saved, 1);
    close(null);
    close(saved);
}

void set_up() {
    bench::enter_scratch("journal_bench");
    const std::string gen =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/gen_rinex";
    if (std::system((gen + " base.o 1 1 10 > /dev/null").c_str()) != 0 ||
        std::system((gen + " day.o 24 1 10 > /dev/null").c_str()) != 0)
        std::abort();
    quietly([] { read_rinex("base.o", false); });
    for (const auto& entry : std::filesystem::directory_iterator("."))
        if (entry.path().filename().string().starts_with("zz"))
            campaign[entry.path().filename()] = slurp(entry.path());
}

void put_back_campaign() {
    for (const auto& entry : std::filesystem::directory_iterator("."))
        if (entry.path().filename().string().starts_with("zz")) unlink(entry.path().c_str());
    for (const auto& [name, bytes] : campaign) {
        std::FILE* file = std::fopen(name.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    sync();
}

void BM_ReadDayIntoCampaign(benchmark::State& state) {
    if (!bench::entered()) set_up();
    const bool journal = state.range(0) == 1;
    for (auto _ : state) {
        state.PauseTiming();
        put_back_campaign();
        fsync_calls = 0;
        wait_ms = 0;
        state.ResumeTiming();
        if (journal) {
            quietly([] {
                db_campaign_lock(true);
                db_changes_begin("Nothing of 'day.o' was added to the database.");
                read_rinex("day.o", false);
                const double read_end = now_ms();
                db_changes_commit();
                wait_ms = now_ms() - read_end;
                db_campaign_unlock();
            });
        } else {
            quietly([] { read_rinex("day.o", false); });
            // For comparison: the plain read with its files then put on disk.
            if (state.range(0) == 2) {
                const double read_end = now_ms();
                sync();
                wait_ms = now_ms() - read_end;
            }
        }
    }
    state.counters["fsyncs"] = static_cast<double>(fsync_calls);
    state.counters["wait_ms"] = wait_ms;
}

}  // namespace

extern "C" int __wrap_fsync(int fd) {
    ++fsync_calls;
    return __real_fsync(fd);
}

BENCHMARK(BM_ReadDayIntoCampaign)
    ->ArgName("journal")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

int main(int argc, char** argv) { return bench::run_benchmarks(argc, argv); }
