// The gutter search over a crowded region: boxes stacked over one row, each
// with words whose blanks fall anywhere, so that every box is looked at
// against all the others. Four times the boxes should cost about four times
// the time, not sixteen.
#include "BenchSupport.h"

#include "server/layout/Gutters.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <string>

namespace {

using kelsor::server::layout::InkRuns;
using kelsor::server::layout::Quad;

void BM_GutterPieces_StackedBoxes(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<Quad> boxes;
    std::vector<InkRuns> ink;
    std::mt19937 random(5);
    for (int i = 0; i < count; ++i) {
        const double x = 100 + random() % 200, y = 100 + random() % 20, w = 1200 + random() % 300;
        boxes.push_back({{{x, y}, {x + w, y}, {x + w, y + 30}, {x, y + 30}}});
        InkRuns runs;
        for (double at = 0.01 * (random() % 5); at < 0.95;) {
            const double length = 0.05 + 0.01 * (random() % 30);
            runs.push_back({at, std::min(at + length, 1.0)});
            at += length + 0.01 * (random() % 10);
        }
        ink.push_back(runs);
    }
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto pieces = kelsor::server::layout::LinePieces(boxes, ink, 0.0);
        kelsor::bench::RecordSample(
            "gutters_stacked_" + std::to_string(count),
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        benchmark::DoNotOptimize(pieces.data());
    }
}

BENCHMARK(BM_GutterPieces_StackedBoxes)
    ->Arg(1000)
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Time for 4,000 stacked boxes against 1,000: near 4 when the search grows
// with the boxes, 16 when it grows with their square.
[[maybe_unused]] const bool g_ratio =
    (kelsor::bench::AddRatio(
         "gutters_stacked_4000_vs_1000",
         [] {
             const double small = kelsor::bench::FastestSample("gutters_stacked_1000");
             const double large = kelsor::bench::FastestSample("gutters_stacked_4000");
             return small > 0 ? large / small : std::nan("");
         },
         140),
     true);

}  // namespace
