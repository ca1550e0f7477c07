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
#include <vector>

namespace {

using kelsor::server::layout::InkRuns;
using kelsor::server::layout::Quad;

// Times the gutter search over `boxes` as the sample `sample`.
void TimePieces(benchmark::State& state, const std::vector<Quad>& boxes,
                const std::vector<InkRuns>& ink, const std::string& sample) {
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto pieces = kelsor::server::layout::LinePieces(boxes, ink, 0.0);
        kelsor::bench::RecordSample(
            sample,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        benchmark::DoNotOptimize(pieces.data());
    }
}

// The ratio "<prefix>_4000_vs_1000" of the fastest samples of 4,000 and
// 1,000 boxes.
bool AddGrowthRatio(const std::string& prefix, int order) {
    kelsor::bench::AddRatio(
        prefix + "_4000_vs_1000",
        [prefix] {
            const double small = kelsor::bench::FastestSample(prefix + "_1000");
            const double large = kelsor::bench::FastestSample(prefix + "_4000");
            return small > 0 ? large / small : std::nan("");
        },
        order);
    return true;
}

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
    TimePieces(state, boxes, ink, "gutters_stacked_" + std::to_string(count));
}

BENCHMARK(BM_GutterPieces_StackedBoxes)
    ->Arg(1000)
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Time for 4,000 stacked boxes against 1,000: near 4 when the search grows
// with the boxes, 16 when it grows with their square.
[[maybe_unused]] const bool g_ratio = AddGrowthRatio("gutters_stacked", 140);

// Two-column lines, each one box across the gutter, stacked over one row,
// their words spaced a little differently so that no two are alike: every
// line is cut at the gutter, so the lines beside it are counted for each.
void BM_GutterPieces_StackedColumns(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<Quad> boxes;
    std::vector<InkRuns> ink;
    std::mt19937 random(9);
    for (int i = 0; i < count; ++i) {
        const double y = 100 + random() % 9, left = 100.0 - random() % 3;
        const double w = 900.0 + random() % 3 - left;
        InkRuns runs;
        for (double at = 100; at < 480; at += 55 + random() % 10) {
            runs.push_back({(at - left) / w, (std::min(at + 45, 495.0) - left) / w});
        }
        for (double at = 545; at < 880; at += 55 + random() % 10) {
            runs.push_back({(at - left) / w, (std::min(at + 45, 900.0) - left) / w});
        }
        boxes.push_back({{{left, y}, {left + w, y}, {left + w, y + 30}, {left, y + 30}}});
        ink.push_back(runs);
    }
    TimePieces(state, boxes, ink, "gutters_stacked_columns_" + std::to_string(count));
}

BENCHMARK(BM_GutterPieces_StackedColumns)
    ->Arg(1000)
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

[[maybe_unused]] const bool g_columnsRatio = AddGrowthRatio("gutters_stacked_columns", 142);

// Many short boxes side by side in two rows (a table's cells, words found one
// by one): every box lies in every other's region, but only its neighbours
// come near its blanks.
void BM_GutterPieces_OneRow(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<Quad> boxes;
    std::vector<InkRuns> ink;
    std::mt19937 random(7);
    for (int i = 0; i < count; ++i) {
        const double x = 100 + 80.0 * (i / 2) + random() % 20;
        const double y = 100 + 40.0 * (i % 2) + random() % 6, w = 60 + random() % 20;
        boxes.push_back({{{x, y}, {x + w, y}, {x + w, y + 30}, {x, y + 30}}});
        InkRuns runs;
        for (double at = 0.02 + 0.02 * (random() % 5); at < 0.9;) {
            const double length = 0.1 + 0.02 * (random() % 20);
            runs.push_back({at, std::min(at + length, 0.95)});
            at += length + 0.02 * (random() % 10);
        }
        ink.push_back(runs);
    }
    TimePieces(state, boxes, ink, "gutters_one_row_" + std::to_string(count));
}

BENCHMARK(BM_GutterPieces_OneRow)
    ->Arg(1000)
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The same for boxes side by side: near 4 when only a box's neighbours are
// looked at, 16 when every box is looked at against all the others.
[[maybe_unused]] const bool g_oneRowRatio = AddGrowthRatio("gutters_one_row", 141);

}  // namespace
