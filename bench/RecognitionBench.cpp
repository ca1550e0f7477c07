// End-to-end RecognizePictureText through a kelsor-server started here with
// the Tesseract engine, against the Tesseract API's own time on the same
// picture.
#include "BenchSupport.h"
#include "ServiceFixture.h"

#include <benchmark/benchmark.h>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>

#include <chrono>
#include <memory>

namespace {

void BM_EndToEnd_RecognizePictureText(benchmark::State& state) {
    kelsor::bench::RunEndToEnd(state, "tesseract", {"--engine", "tesseract"}, "e2e");
}

void BM_TesseractApi(benchmark::State& state) {
    tesseract::TessBaseAPI api;
    if (api.Init(nullptr, "chi_sim+eng", tesseract::OEM_LSTM_ONLY) != 0) {
        state.SkipWithError("cannot load chi_sim+eng");
        return;
    }
    api.SetVariable("debug_file", "/dev/null");
    api.SetPageSegMode(tesseract::PSM_AUTO);
    const std::string path = kelsor::bench::BenchPicture();
    const double ownBefore = kelsor::bench::OwnCpuSeconds();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Pix* pix = pixRead(path.c_str());
        api.SetImage(pix);
        std::unique_ptr<char[]> text(api.GetUTF8Text());
        kelsor::bench::RecordSample(
            "tesseract",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        benchmark::DoNotOptimize(text.get());
        api.Clear();
        pixDestroy(&pix);
    }
    kelsor::bench::RecordSample("tesseract_cpu", (kelsor::bench::OwnCpuSeconds() - ownBefore) /
                                                     static_cast<double>(state.iterations()));
    api.End();
}

BENCHMARK(BM_TesseractApi)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(2);
BENCHMARK(BM_EndToEnd_RecognizePictureText)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(2);

// CPU time of a recognition through the service (this process plus the
// service process) against the API's own; the fastest wall-clock runs are
// shown too.
[[maybe_unused]] const bool g_ratio =
    (kelsor::bench::AddRatio(
         "e2e_vs_tesseract", [] { return kelsor::bench::EndToEndRatio("e2e", "tesseract"); }, 101),
     true);

}  // namespace
