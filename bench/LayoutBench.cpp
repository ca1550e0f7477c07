// Reading order and paragraphs: the time of ordering a page of 3,000 tiny
// boxes and of looking for gutters among them, and on the column pages of
// the evaluation the order-sensitive error rate, the paragraph breaks of
// "编辑优先" and the layout work's share of the default engine's time.
#include "BenchSupport.h"

#include "server/engine/EngineRegistry.h"
#include "server/layout/Gutters.h"
#include "server/layout/ReadingOrder.h"

#ifdef KELSOR_BENCH_HAVE_EVAL_SET
#include "platform/sys/CodePage.h"
#include "server/ppocr/eval/LayoutScore.h"
#endif

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <memory>
#include <random>

namespace {

using kelsor::server::layout::Quad;

std::vector<Quad> TinyBoxes() {
    std::vector<Quad> boxes;
    std::mt19937 random(11);
    for (int i = 0; i < 3000; ++i) {
        const double x = random() % 2400, y = random() % 3400;
        const double w = 2 + random() % 8, h = 2 + random() % 8;
        boxes.push_back({{{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}}});
    }
    return boxes;
}

void BM_ReadingOrder_3000TinyBoxes(benchmark::State& state) {
    const std::vector<Quad> boxes = TinyBoxes();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto order = kelsor::server::layout::ReadingOrder(boxes);
        kelsor::bench::RecordSample(
            "layout_tiny_boxes",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        benchmark::DoNotOptimize(order.data());
    }
}

BENCHMARK(BM_ReadingOrder_3000TinyBoxes)->Unit(benchmark::kMillisecond)->Iterations(20);

// The gutter search on the same boxes, each with two stretches of ink and
// loose ends, so that every box is looked at against the boxes around it.
void BM_GutterPieces_3000TinyBoxes(benchmark::State& state) {
    const std::vector<Quad> boxes = TinyBoxes();
    const std::vector<kelsor::server::layout::InkRuns> ink(boxes.size(), {{0.2, 0.4}, {0.6, 0.8}});
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto pieces = kelsor::server::layout::LinePieces(boxes, ink, 0.0);
        kelsor::bench::RecordSample(
            "layout_gutters_tiny_boxes",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        benchmark::DoNotOptimize(pieces.data());
    }
}

BENCHMARK(BM_GutterPieces_3000TinyBoxes)->Unit(benchmark::kMillisecond)->Iterations(20);

#ifdef KELSOR_BENCH_HAVE_EVAL_SET
// The 16 column pages of kelsor-layout-eval (two and three columns, Chinese
// and English, headings, footers, skewed pages) with the default engine,
// scored once for all the ratios below.
constexpr int kColumnPages = 16;
constexpr double kNotMeasured = std::numeric_limits<double>::quiet_NaN();

const kelsor::server::ppocr::LayoutScore* ColumnScore() {
    static const std::unique_ptr<kelsor::server::ppocr::LayoutScore> score = [] {
        std::unique_ptr<kelsor::server::ppocr::LayoutScore> total;
        std::string reason;
        const std::string name = kelsor::server::DefaultEngineName(reason);
        kelsor::server::EngineFactory factory;
        std::string error;
        std::unique_ptr<kelsor::server::RecognitionEngine> engine;
        if (kelsor::server::FindEngineFactory(name, factory, error)) {
            engine = factory(error);
        }
        std::vector<kelsor::server::ppocr::ColumnPage> pages;
        if (!engine || !kelsor::server::ppocr::BuildColumnPages(kColumnPages, pages, error)) {
            std::printf("column pages: not measured, %s\n", error.c_str());
            return total;
        }
        // The paragraph join works in the process code page; the truth is UTF-8.
        const std::string codePage = kelsor::platform::CodePage();
        kelsor::platform::SetCodePage("UTF-8");
        total = std::make_unique<kelsor::server::ppocr::LayoutScore>();
        for (const auto& page : pages) {
            std::vector<kelsor::server::TextBlock> lines;
            total->Add(kelsor::server::ppocr::ScoreColumnPage(*engine, page, lines));
        }
        kelsor::platform::SetCodePage(codePage);
        std::printf(
            "column pages (%d, engine %s): order-sensitive CER %.2f%% (rows as before: %.2f%%), "
            "paragraph breaks precision %.3f recall %.3f, ordering %.4f%% of engine time\n",
            kColumnPages, name.c_str(), kelsor::server::ppocr::Percent(total->readingOrder),
            kelsor::server::ppocr::Percent(total->rowOrder),
            kelsor::server::ppocr::Precision(total->breaks),
            kelsor::server::ppocr::Recall(total->breaks),
            100.0 * total->layoutSeconds / std::max(total->engineSeconds, 1e-9));
        return total;
    }();
    return score.get();
}

// The pages are scored only when the run selects this benchmark: a filtered
// run prints the column ratios as not measured instead of scoring them anyway.
bool g_columnPagesRan = false;

void BM_LayoutColumnPages(benchmark::State& state) {
    for (auto _ : state) {
        if (ColumnScore() == nullptr) {
            state.SkipWithError("column pages not measured");
            return;
        }
    }
    g_columnPagesRan = true;
}

BENCHMARK(BM_LayoutColumnPages)->Unit(benchmark::kSecond)->Iterations(1);

using Score = kelsor::server::ppocr::LayoutScore;

double FromColumnScore(double (*figure)(const Score&)) {
    const Score* score = g_columnPagesRan ? ColumnScore() : nullptr;
    return score ? figure(*score) : kNotMeasured;
}

[[maybe_unused]] const bool g_columnRatios =
    (kelsor::bench::AddRatio(
         "column_order_cer_percent",
         [] { return FromColumnScore([](const Score& s) { return Percent(s.readingOrder); }); },
         141),
     kelsor::bench::AddRatio(
         "paragraph_break_precision",
         [] { return FromColumnScore([](const Score& s) { return Precision(s.breaks); }); }, 142),
     kelsor::bench::AddRatio(
         "paragraph_break_recall",
         [] { return FromColumnScore([](const Score& s) { return Recall(s.breaks); }); }, 143),
     kelsor::bench::AddRatio(
         "layout_share_of_engine_percent",
         [] {
             return FromColumnScore([](const Score& s) {
                 return 100.0 * s.layoutSeconds / std::max(s.engineSeconds, 1e-9);
             });
         },
         144),
     true);
#endif

[[maybe_unused]] const bool g_ratios =
    (kelsor::bench::AddRatio(
         "layout_3000_tiny_boxes_ms",
         [] { return 1000.0 * kelsor::bench::FastestSample("layout_tiny_boxes"); }, 140),
     kelsor::bench::AddRatio(
         "gutters_3000_tiny_boxes_ms",
         [] { return 1000.0 * kelsor::bench::FastestSample("layout_gutters_tiny_boxes"); }, 140),
     true);

}  // namespace
