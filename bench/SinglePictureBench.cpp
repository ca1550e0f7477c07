// One picture alone on the service: the default engine through a pool of one
// engine per core (a lone request borrows the idle engines' cores) against a
// pool of one, wall time per picture, on the same Chinese pictures.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <limits>

#include "BenchSupport.h"
#include "server/engine/EngineRegistry.h"
#include "server/ppocr/eval/LoneRequest.h"

namespace {

namespace ppocr = kelsor::server::ppocr;

// The first pictures of the evaluation set's Chinese half, as in the
// processor-time ratio.
constexpr int kPictures = 12;
constexpr int kPasses = 3;

struct LoneRequest {
    ppocr::LoneRequestTimes times;
    std::string error;
};

LoneRequest& Measured() {
    static LoneRequest measured;
    return measured;
}

void BM_SinglePictureAllCores(benchmark::State& state) {
    LoneRequest& measured = Measured();
    std::string reason;
    kelsor::server::EngineFactory factory;
    if (kelsor::server::DefaultEngineName(reason) != "ppocr" ||
        !kelsor::server::FindEngineFactory("ppocr", factory, measured.error)) {
        measured.error = "the default engine is not ppocr (" + reason + ")";
        state.SkipWithError(measured.error.c_str());
        return;
    }
    std::vector<ppocr::EvalSample> set;
    const auto text = ppocr::FortuneChineseText("/usr/share/games/fortunes");
    if (text.empty() ||
        !ppocr::BuildEvaluationSet({{"zh", text}}, kPictures, set, measured.error)) {
        if (measured.error.empty())
            measured.error = "no text in /usr/share/games/fortunes (fortunes-zh)";
        state.SkipWithError(measured.error.c_str());
        return;
    }
    for (auto _ : state) {
        if (!ppocr::MeasureLoneRequests(factory, set, kPasses, measured.times, measured.error)) {
            state.SkipWithError(measured.error.c_str());
            return;
        }
    }
}

BENCHMARK(BM_SinglePictureAllCores)->Unit(benchmark::kSecond)->Iterations(1);

double AllCoresVsOne() {
    const LoneRequest& m = Measured();
    if (m.times.oneCore <= 0.0 || m.times.allCores <= 0.0) {
        std::printf("single_picture_all_cores_vs_one: not measured%s%s\n",
                    m.error.empty() ? "" : ", ", m.error.c_str());
        return std::numeric_limits<double>::quiet_NaN();
    }
    std::printf(
        "lone request, wall per picture (%d Chinese pictures, faster of %d passes): %zu cores "
        "%.3f s, one core %.3f s\n",
        kPictures, kPasses, m.times.cores, m.times.allCores, m.times.oneCore);
    return m.times.allCores / m.times.oneCore;
}

[[maybe_unused]] const bool g_ratio =
    (kelsor::bench::AddRatio("single_picture_all_cores_vs_one", AllCoresVsOne, 105), true);

}  // namespace
