// Time of the plot command, filled through the handle API in a scratch folder
// below /tmp.
//
// BM_PlotDay: one day of 1-second data from 10 satellites (864,000
// observations). The S/N digit of every satellite changes every ten minutes
// and a loss of lock is flagged once an hour, so the page has lines to draw.
//
// BM_PlotSky/27 and BM_PlotSky/113: one day of 30-second epochs from 27
// satellites (GPS 10, GLONASS 8, Galileo 9: one page) and from 113 (GPS 32,
// GLONASS 24, Galileo 30, BeiDou 27: three pages). Each satellite is in view
// for 14 of the 24 hours, in a window that moves on from satellite to
// satellite, with an S/N digit that changes every half hour and a loss of
// lock every three hours.
//
// BM_PlotFormat/0 to /3: the same kind of day of 100 satellites (GPS 32,
// GLONASS 24, Galileo 30, BeiDou 14: two pages) written as PostScript, PDF,
// SVG and PNG; the counter file_kB is the size of what one run writes.
//
// Counters: the wall time per observation drawn, and
// by how much the resident memory of the process rose during the plot at its
// peak (the high-water mark reset before each run), which must not grow with
// the observations.
#include "bench/bench_scratch.h"
#include "bench/plot_run.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "plot/plot_command.h"
#include "tests/testkit/plot_test_fill.h"

namespace {

void fill_day_campaign() {
    plottest::OccSetup setup;
    setup.station = "BNCH";
    setup.start = time_value(2026, 1, 1, 0, 0, 0);
    setup.interval = 1;
    setup.satellites = 10;
    setup.obs.reserve(864000);
    for (int epoch = 0; epoch < 86400; ++epoch)
        for (int s = 0; s < 10; ++s) {
            char snr = static_cast<char>('5' + (epoch / 600 + s) % 4);
            char lli = epoch % 3600 == s ? '1' : ' ';
            setup.obs.push_back({s, static_cast<double>(epoch), snr, snr, lli, ' '});
        }
    plottest::add_occupations({setup});
}

// The sky of a day of `count` satellites; returns its observations.
long fill_sky_campaign(int count) {
    struct System {
        char letter;
        int satellites;
    };
    const std::vector<System> systems =
        count == 27    ? std::vector<System>{{'G', 10}, {'R', 8}, {'E', 9}}
        : count == 100 ? std::vector<System>{{'G', 32}, {'R', 24}, {'E', 30}, {'C', 14}}
                       : std::vector<System>{{'G', 32}, {'R', 24}, {'E', 30}, {'C', 27}};
    plottest::OccSetup setup;
    setup.station = "SKY1";
    setup.start = time_value(2026, 1, 1, 0, 0, 0);
    setup.interval = 30;
    for (const System& s : systems)
        for (int n = 1; n <= s.satellites; ++n) {
            char name[16];
            std::snprintf(name, sizeof name, "%c%02d", s.letter, n);
            setup.names.push_back(name);
        }
    setup.satellites = static_cast<int>(setup.names.size());
    constexpr int epochs = 2880, in_view = 1680;  // 24 and 14 hours of 30 s
    for (int e = 0; e < epochs; ++e)
        for (int s = 0; s < setup.satellites; ++s) {
            if ((e + s * epochs / setup.satellites) % epochs >= in_view) continue;
            const char snr = static_cast<char>('4' + (e / 60 + s) % 6);
            const char lli = (e + s) % 360 == 0 ? '1' : ' ';
            setup.obs.push_back({s, e * 30.0, snr, snr, lli, ' '});
        }
    plottest::add_occupations({setup});
    return static_cast<long>(setup.obs.size());
}

// The folder of each campaign below the scratch folder, filled on first use.
struct Campaigns {
    std::map<int, std::string> folder;
    std::map<int, long> observations;
};
Campaigns campaigns;

const std::string& campaign_folder(int count) {
    if (!bench::entered()) bench::enter_scratch("plot_bench");
    auto known = campaigns.folder.find(count);
    if (known != campaigns.folder.end()) return known->second;
    const std::string folder = bench::scratch + "/campaign" + std::to_string(count);
    if (mkdir(folder.c_str(), 0700) != 0 || chdir(folder.c_str()) != 0) std::abort();
    campaigns.observations[count] = count == 0 ? 864000 : fill_sky_campaign(count);
    if (count == 0) fill_day_campaign();
    return campaigns.folder[count] = folder;
}


void run_plot(benchmark::State& state, int count) {
    if (chdir(campaign_folder(count).c_str()) != 0) std::abort();
    long grown = 0;
    for (auto _ : state) grown = std::max(grown, bench::plot_quietly());
    state.counters["obs"] = static_cast<double>(campaigns.observations[count]);
    state.counters["per_obs"] = benchmark::Counter(
        static_cast<double>(campaigns.observations[count]),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["grown_kB"] = static_cast<double>(grown);
}

// Bytes of the files of the current folder whose names end in `extension`.
long long output_bytes(const char* extension) {
    long long bytes = 0;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        if (entry.path().extension() == extension)
            bytes += static_cast<long long>(entry.file_size());
    return bytes;
}

void BM_PlotFormat(benchmark::State& state) {
    const DrawFormat formats[] = {DrawFormat::ps, DrawFormat::pdf, DrawFormat::svg,
                                  DrawFormat::png};
    const DrawFormat format = formats[state.range(0)];
    if (!draw_format_available(format)) {
        state.SkipWithError("built without cairo");
        return;
    }
    if (chdir(campaign_folder(100).c_str()) != 0) std::abort();
    long grown = 0;
    for (auto _ : state) grown = std::max(grown, bench::plot_quietly(format));
    state.SetLabel(draw_format_extension(format));
    state.counters["obs"] = static_cast<double>(campaigns.observations[100]);
    state.counters["grown_kB"] = static_cast<double>(grown);
    state.counters["file_kB"] =
        static_cast<double>(output_bytes(draw_format_extension(format))) / 1024.0;
}

void BM_PlotDay(benchmark::State& state) { run_plot(state, 0); }
void BM_PlotSky(benchmark::State& state) { run_plot(state, static_cast<int>(state.range(0))); }

}  // namespace

BENCHMARK(BM_PlotDay)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseRealTime();
BENCHMARK(BM_PlotSky)
    ->Arg(27)
    ->Arg(113)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

BENCHMARK(BM_PlotFormat)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

int main(int argc, char** argv) { return bench::run_benchmarks(argc, argv); }
