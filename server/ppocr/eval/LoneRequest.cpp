#include "server/ppocr/eval/LoneRequest.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

namespace kelsor::server::ppocr {
namespace {

// Wall seconds per picture of one pass; negative when a picture fails.
double Pass(EnginePool& pool, const std::vector<EvalSample>& set, std::string& error) {
    const auto start = std::chrono::steady_clock::now();
    for (const EvalSample& sample : set) {
        std::vector<TextBlock> lines;
        EnginePool::Lease engine = pool.Acquire();
        if (!engine->Recognize(sample.picture, lines, error)) {
            return -1.0;
        }
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
           static_cast<double>(std::max<std::size_t>(1, set.size()));
}

}  // namespace

bool MeasureLoneRequests(const EngineFactory& factory, const std::vector<EvalSample>& set,
                         int passes, LoneRequestTimes& times, std::string& error) {
    times.cores = std::max(1u, std::thread::hardware_concurrency());
    EnginePool all, one;
    if (!all.Start(factory, times.cores, error) || !one.Start(factory, 1, error)) {
        return false;
    }
    times.allCores = times.oneCore = std::numeric_limits<double>::max();
    for (int pass = 0; pass < std::max(1, passes); ++pass) {
        const double allCores = Pass(all, set, error);
        const double oneCore = Pass(one, set, error);
        if (allCores < 0.0 || oneCore < 0.0) {
            return false;
        }
        times.allCores = std::min(times.allCores, allCores);
        times.oneCore = std::min(times.oneCore, oneCore);
    }
    return true;
}

}  // namespace kelsor::server::ppocr
