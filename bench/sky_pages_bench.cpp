// What the sky pages add to the plot of a day.
//
// BM_SkyPages/0 and BM_SkyPages/1: one day of 30-second epochs of the 100
// satellites that the broadcast orbits of 2020-06-25 (tests/data, the mixed
// navigation file MOJN00DNK_R_20201770000_01D_MN.rnx.gz) first show above the
// horizon of a station in Germany, each observed whenever it stands above
// it, with an S/N digit that changes every half hour and a loss of lock every
// three hours. /0 is the campaign without the navigation file: the
// signal/noise pages only. /1 is the same campaign with it read: the same
// pages and the sky plot and the page of signal against elevation. The
// sky pages cost /1 - /0. Counters as in plot_bench: the wall time per
// observation and how far the resident memory rose during the plot.
#include "bench/bench_scratch.h"
#include "bench/plot_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "orbits/occupation_sky.h"
#include "plot/plot_command.h"
#include "tests/testkit/plot_test_fill.h"

namespace {

const char* const nav_file = "MOJN00DNK_R_20201770000_01D_MN.rnx.gz";

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

// The day's observations, from the orbits of the navigation file read into
// the campaign of the current folder.
plottest::OccSetup sky_day() {
    plottest::OccSetup setup;
    setup.station = "SKYD";
    setup.start = time_value(2020, 6, 25, 0, 0, 0);
    setup.interval = 30;
    const double position[3] = {setup.x, setup.y, setup.z};
    orbits::OccupationSky sky(orbits::campaign_ephemerides(), position);
    std::vector<std::string> ids;
    for (const auto& [system, count] :
         {std::pair{'G', 32}, std::pair{'R', 27}, std::pair{'E', 36}, std::pair{'C', 46},
          std::pair{'J', 7}})
        for (int n = 1; n <= count; ++n) ids.push_back(plottest::satellite_id(system, n));
    for (const std::string& id : ids) {
        if (setup.names.size() == 100) break;
        for (double at = 0; at < 86400; at += 600)
            if (const orbits::SkyDirection d = sky.direction(id.c_str(), setup.start + at);
                d.found && d.elevation_deg > 0) {
                setup.names.push_back(id);
                break;
            }
    }
    setup.satellites = static_cast<int>(setup.names.size());
    for (int e = 0; e < 2880; ++e)
        for (int s = 0; s < setup.satellites; ++s) {
            const orbits::SkyDirection d =
                sky.direction(setup.names[static_cast<std::size_t>(s)].c_str(), setup.start + e * 30.0);
            if (!d.found || d.elevation_deg < 0) continue;
            const char snr = static_cast<char>('4' + (e / 60 + s) % 6);
            const char lli = (e + s) % 360 == 0 ? '1' : ' ';
            setup.obs.push_back({s, e * 30.0, snr, snr, lli, ' '});
        }
    return setup;
}

std::string folder[2];
long observations = 0;

// Both campaigns: the navigation file is read into both to generate the
// day; the campaign of /0 then loses it (its zzEPH and zzNAV files).
void make_campaigns() {
    bench::enter_scratch("sky_pages_bench");
    for (int with = 0; with <= 1; ++with) {
        folder[with] = bench::scratch + "/campaign" + std::to_string(with);
        if (mkdir(folder[with].c_str(), 0700) != 0 || chdir(folder[with].c_str()) != 0) std::abort();
        if (!run(std::string("cp '") + LUMERAK_TEST_DATA + "/" + nav_file + "' . && '" +
                 LUMERAK_PROGRAM + "' -r" + nav_file + " >/dev/null 2>&1"))
            std::abort();
        const plottest::OccSetup setup = sky_day();
        observations = static_cast<long>(setup.obs.size());
        plottest::add_occupations({setup});
        if (!with && !run("rm -f zzEPH.* zzNAV.*")) std::abort();
    }
}


void BM_SkyPages(benchmark::State& state) {
    if (folder[0].empty()) make_campaigns();
    if (chdir(folder[state.range(0)].c_str()) != 0) std::abort();
    long grown = 0;
    for (auto _ : state) grown = std::max(grown, bench::plot_quietly());
    state.counters["obs"] = static_cast<double>(observations);
    state.counters["per_obs"] = benchmark::Counter(
        static_cast<double>(observations),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["grown_kB"] = static_cast<double>(grown);
}

}  // namespace

BENCHMARK(BM_SkyPages)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

int main(int argc, char** argv) { return bench::run_benchmarks(argc, argv); }
