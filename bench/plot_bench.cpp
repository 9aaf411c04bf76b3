// Time of the plot command for one day of 1-second data from 10 satellites
// (864,000 observations), filled through the handle API in a scratch folder
// below /tmp. The S/N digit of every satellite changes every ten minutes and
// a loss of lock is flagged once an hour, so the page has lines to draw.
#include "bench/bench_scratch.h"

#include <cstdio>

#include "plot/plot_command.h"
#include "tests/testkit/plot_test_fill.h"

namespace {

void fill_day_campaign() {
    bench::enter_scratch("plot_bench");
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

void BM_PlotDay(benchmark::State& state) {
    if (!bench::entered()) fill_day_campaign();
    for (auto _ : state) plot_occupations("zzOBS", true, true, -1, -1, "");
}

}  // namespace

BENCHMARK(BM_PlotDay)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

int main(int argc, char** argv) { return bench::run_benchmarks(argc, argv); }
