#pragma once

#include <string>
#include <vector>

#include "server/engine/EnginePool.h"
#include "server/ppocr/eval/EvalSet.h"

// How long one picture takes when it is the only request: through a pool of
// engines as the server keeps them, whose idle engines lend their cores.
namespace kelsor::server::ppocr {

struct LoneRequestTimes {
    double allCores = 0.0;  // wall seconds per picture, pool of one engine per core
    double oneCore = 0.0;   // the same with a pool of one engine
    std::size_t cores = 0;
};

// Recognises every picture of `set` alone, one after the other, with both
// pools, in turns, `passes` times; keeps the faster pass of each (the one
// least disturbed by other programs). Returns false with `error` when an
// engine does not load or a picture fails.
bool MeasureLoneRequests(const EngineFactory& factory, const std::vector<EvalSample>& set,
                         int passes, LoneRequestTimes& times, std::string& error);

}  // namespace kelsor::server::ppocr
