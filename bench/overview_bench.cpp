// Time of the campaign overview page (zzCAMPAIGN.ps) of the campaign in the
// current folder, without the occupation pages -g writes with it; run by
// bench/baselines_bench.sh in its campaign of 100 station-days.
//
// BM_Overview: the page as -g alone writes it (one shade);
// BM_OverviewChecked: shaded by the check's figures of every occupation.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "db/table.h"
#include "obsdb/campaign.h"
#include "plot/overview_command.h"

namespace {

// Every occupation with made-up check figures, so that all shades occur.
std::vector<CheckedOccupation> checked_figures() {
    std::vector<CheckedOccupation> checked;
    Campaign c;
    c.open_read({CampaignTable::occ});
    long k = 0;
    for (long r = db_first(&c.occ_db); r != 0; r = db_next(&c.occ_db), ++k)
        checked.push_back({r, 30000, k % 4 * 40});
    c.close({CampaignTable::occ});
    return checked;
}

void BM_Overview(benchmark::State& state) {
    if (!table_exists(table_occ)) {
        state.SkipWithError("no campaign in the current folder");
        return;
    }
    const std::vector<CheckedOccupation> checked = checked_figures();
    std::FILE* quiet = std::freopen("/dev/null", "w", stderr);  // the progress lines
    for (auto _ : state) write_campaign_overview(true, state.range(0) ? &checked : nullptr);
    (void)quiet;
}
BENCHMARK(BM_Overview)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
