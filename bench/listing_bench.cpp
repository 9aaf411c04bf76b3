// Time of the database listing for one day of 1-second data from 10
// satellites (864,000 observations), filled through the handle API in a
// scratch folder below /tmp.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "obsdb/listing.h"
#include "obsdb/schema.h"
#include "tests/campaign_fill.h"

namespace {

std::string scratch;

void fill_day_campaign() {
    char name[] = "/tmp/listing_bench_XXXXXX";
    if (!mkdtemp(name) || chdir(name) != 0) std::abort();
    scratch = name;
    testkit::CampaignFill fill;
    occ_record& occ = fill.next_occupation();
    std::snprintf(occ.rinex_file, sizeof occ.rinex_file, "BNCH0010.26o");
    const double t0 = time_value(2026, 1, 1, 0, 0, 0);
    occ.first_epoch = t0;
    occ.last_epoch = t0 + 86399;
    const long occ_number = fill.occupation(fill.station("BNCH"), fill.receiver("R1", "T"),
                                            fill.antenna("A1", "T"), 1, 2, 3);
    long satocc[10];
    for (int s = 0; s < 10; ++s) {
        char prn[4];
        std::snprintf(prn, sizeof prn, "G%02d", s + 1);
        satocc[s] = fill.satellite_occupation(fill.satellite(prn), occ_number);
    }
    for (int epoch = 0; epoch < 86400; ++epoch)
        for (long so : satocc) fill.observation(so, t0 + epoch);
}

void BM_ListDay(benchmark::State& state) {
    if (scratch.empty()) fill_day_campaign();
    for (auto _ : state) list_database("listing.txt");
}

}  // namespace

BENCHMARK(BM_ListDay)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!scratch.empty()) {
        const std::string remove = "rm -rf '" + scratch + "'";
        if (std::system(remove.c_str()) != 0) return 1;
    }
    return 0;
}
