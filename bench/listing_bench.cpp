// Time of the database listing for one day of 1-second data from 10
// satellites (864,000 observations), filled through the handle API in a
// scratch folder below /tmp.
#include "bench/bench_scratch.h"

#include <cstdio>

#include "obsdb/listing.h"
#include "obsdb/schema.h"
#include "tests/testkit/campaign_fill.h"

namespace {

void fill_day_campaign() {
    bench::enter_scratch("listing_bench");
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
    if (!bench::entered()) fill_day_campaign();
    for (auto _ : state) list_database("listing.txt");
}

}  // namespace

BENCHMARK(BM_ListDay)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

int main(int argc, char** argv) { return bench::run_benchmarks(argc, argv); }
