// The default recognition engine of kelsor-server: end-to-end
// RecognizePictureText through a service started without --engine against the
// engine's own time on the same decoded picture, and the engine's character
// error rate against Tesseract's on rendered real Chinese text.
#include "BenchSupport.h"
#include "ServiceFixture.h"
#include "server/PictureDecoder.h"
#include "server/engine/EngineRegistry.h"
#ifdef KELSOR_BENCH_HAVE_EVAL_SET
#include "server/ppocr/eval/EvalSet.h"
#include "server/ppocr/eval/TextPicture.h"
#endif

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

namespace {

using kelsor::server::RecognitionEngine;

// The engine kelsor-server uses when started without --engine, and why when
// it falls back to Tesseract.
struct DefaultEngine {
    std::string name;
    std::string reason;
};

const DefaultEngine& Default() {
    static const DefaultEngine engine = [] {
        DefaultEngine found;
        found.name = kelsor::server::DefaultEngineName(found.reason);
        return found;
    }();
    return engine;
}

const std::string& DefaultEngineName() {
    return Default().name;
}

std::unique_ptr<RecognitionEngine> CreateEngine(const std::string& name, std::string& error) {
    kelsor::server::EngineFactory factory;
    if (!kelsor::server::FindEngineFactory(name, factory, error)) {
        return nullptr;
    }
    return factory(error);
}

void BM_EndToEnd_DefaultEngine(benchmark::State& state) {
    // No --engine: the service picks its default, as a user's local run does.
    kelsor::bench::RunEndToEnd(state, "default", {}, "e2e_default");
}

void BM_DefaultEngine(benchmark::State& state) {
    std::string error;
    static std::unique_ptr<RecognitionEngine> engine = CreateEngine(DefaultEngineName(), error);
    if (!engine) {
        state.SkipWithError(("cannot create the default engine: " + error).c_str());
        return;
    }
    // Decoding is the service's work, not the engine's: done once here.
    std::ifstream file(kelsor::bench::BenchPicture(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    kelsor::server::DecodedPicture picture;
    if (kelsor::server::DecodePicture(bytes, picture, error) !=
        kelsor::server::PictureError::None) {
        state.SkipWithError(("cannot decode the bench picture: " + error).c_str());
        return;
    }
    const double ownBefore = kelsor::bench::OwnCpuSeconds();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::vector<kelsor::server::TextBlock> lines;
        const bool ok = engine->Recognize(picture, lines, error);
        kelsor::bench::RecordSample(
            "engine",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!ok || lines.empty()) {
            state.SkipWithError(("the default engine read nothing: " + error).c_str());
            return;
        }
        benchmark::DoNotOptimize(lines.data());
    }
    kelsor::bench::RecordSample("engine_cpu", (kelsor::bench::OwnCpuSeconds() - ownBefore) /
                                                  static_cast<double>(state.iterations()));
}

BENCHMARK(BM_DefaultEngine)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(2);
BENCHMARK(BM_EndToEnd_DefaultEngine)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(2);

constexpr double kNotMeasured = std::numeric_limits<double>::quiet_NaN();

#ifdef KELSOR_BENCH_HAVE_EVAL_SET
// The error-rate set is the first 12 Chinese pictures of the evaluation set
// (scripts/ppocr-eval.sh --pictures 12): line counts cycle 1, 3, 6, 10, so
// they hold 60 lines of Tang poems and modern prose from Debian's fortunes-zh;
// small enough for a bench run of minutes.
constexpr int kErrorRatePictures = 12;
constexpr const char* kFortunesFolder = "/usr/share/games/fortunes";

// Character error rate (white space ignored) of the named engine on `set`, or
// a negative value with `error`.
double ErrorRate(const std::string& name, const std::vector<kelsor::server::ppocr::EvalSample>& set,
                 std::string& error) {
    const std::unique_ptr<RecognitionEngine> engine = CreateEngine(name, error);
    if (!engine) {
        return -1.0;
    }
    kelsor::server::ppocr::ErrorCount total;
    for (const auto& sample : set) {
        std::vector<kelsor::server::TextBlock> lines;
        std::string recognitionError;
        // A picture the engine fails on counts with whatever it read.
        engine->Recognize(sample.picture, lines, recognitionError);
        const auto count =
            kelsor::server::ppocr::CountErrors(kelsor::server::ppocr::ReferenceText(sample),
                                               kelsor::server::ppocr::RecognisedText(lines));
        total.edits += count.edits;
        total.characters += count.characters;
    }
    const double rate = static_cast<double>(total.edits) / std::max(1LL, total.characters);
    std::printf("%s: CER %.2f%% (%lld/%lld) on %zu Chinese pictures\n", name.c_str(), 100.0 * rate,
                total.edits, total.characters, set.size());
    return rate;
}

double DefaultVsTesseractErrorRate() {
    if (DefaultEngineName() == "tesseract") {
        std::printf(
            "cer_default_vs_tesseract: not measured, the default engine is tesseract (%s)\n",
            Default().reason.c_str());
        return kNotMeasured;
    }
    const std::vector<std::string> text =
        kelsor::server::ppocr::FortuneChineseText(kFortunesFolder);
    if (text.empty()) {
        std::printf("cer_default_vs_tesseract: not measured, no text in %s (package fortunes-zh)\n",
                    kFortunesFolder);
        return kNotMeasured;
    }
    std::vector<kelsor::server::ppocr::EvalSample> set;
    std::string error;
    if (!kelsor::server::ppocr::BuildEvaluationSet({{"zh", text}}, kErrorRatePictures, set,
                                                   error)) {
        std::printf("cer_default_vs_tesseract: not measured, %s\n", error.c_str());
        return kNotMeasured;
    }
    const double own = ErrorRate(DefaultEngineName(), set, error);
    const double tesseract = own < 0 ? -1.0 : ErrorRate("tesseract", set, error);
    if (own < 0 || tesseract < 0) {
        std::printf("cer_default_vs_tesseract: not measured, %s\n", error.c_str());
        return kNotMeasured;
    }
    return tesseract > 0 ? own / tesseract : 0.0;
}
#else
double DefaultVsTesseractErrorRate() {
    std::printf(
        "cer_default_vs_tesseract: not measured, the PP-OCR engine is not built "
        "(run scripts/install-npm-deps.sh)\n");
    return kNotMeasured;
}
#endif

[[maybe_unused]] const bool g_ratios =
    (kelsor::bench::AddRatio(
         "e2e_vs_engine",
         [] {
             std::printf("e2e_vs_engine: default engine %s%s%s\n", Default().name.c_str(),
                         Default().reason.empty() ? "" : ", ", Default().reason.c_str());
             return kelsor::bench::EndToEndRatio("e2e_default", "engine");
         },
         102),
     kelsor::bench::AddRatio("cer_default_vs_tesseract", DefaultVsTesseractErrorRate, 103), true);

}  // namespace
