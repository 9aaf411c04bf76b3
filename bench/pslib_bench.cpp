// Throughput of the PostScript library under the plot's pattern: a day of
// one-second epochs gives several hundred thousand pen moves per page, plus
// labels with and without escapes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "pslib/pslib.h"

namespace {

const int white[3] = {255, 255, 255};

void open_document() {
    // The document itself is thrown away; only the formatting is measured.
    if (ps_begin_document("/dev/null", 0, 0, 0.0, 0.0, 1.0, 1.0, 1, 300, 0, 20.0, white, nullptr) !=
        0)
        std::abort();
}

void BM_PenToDraw(benchmark::State& state) {
    open_document();
    ps_pen_to(0.0, 0.0, 3);
    long i = 0;
    for (auto _ : state) {
        ++i;
        ps_pen_to(2.0 + (i % 86400) * 0.0002, 3.0 + std::sin(i * 0.01) * 0.5, 2);
    }
    ps_end_document(1);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PenToDraw);

void BM_PenToMoveAndDraw(benchmark::State& state) {
    open_document();
    long i = 0;
    for (auto _ : state) {
        ++i;
        const double x = 2.0 + (i % 86400) * 0.0002;
        ps_pen_to(x, 3.0 + (i % 7) * 0.1, 3);
        ps_pen_to(x + 0.0002, 3.0 + (i % 7) * 0.1, 2);
    }
    ps_end_document(1);
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_PenToMoveAndDraw);

void BM_PenByDraw(benchmark::State& state) {
    open_document();
    ps_pen_to(0.0, 0.0, 3);
    long i = 0;
    for (auto _ : state) {
        ++i;
        ps_pen_by(0.01, (i % 2) ? 0.02 : -0.02, 2);
    }
    ps_end_document(1);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PenByDraw);

void BM_PutText(benchmark::State& state) {
    open_document();
    const bool escaped = state.range(0) != 0;
    const std::string label = escaped ? "C/N@-0@- L1 @~s@~ 12:00" : "12:00 UTC (L1)";
    std::string text;
    for (auto _ : state) {
        text = label;
        ps_put_text(5.0, 2.0, 10, text.data(), 0.0, 10, 0);
    }
    ps_end_document(1);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PutText)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
