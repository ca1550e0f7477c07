#pragma once

#include "server/engine/EnginePool.h"

#include <string>
#include <vector>

namespace kelsor::server {

// The engines `--engine` can name. Returns false with `error` set for an
// unknown name or one not available in this build.
bool FindEngineFactory(const std::string& name, EngineFactory& factory, std::string& error);
std::vector<std::string> AvailableEngines();
// The engine used when none is named: PP-OCR when it is built in and its
// models are installed, Tesseract otherwise (`reason` then says why).
std::string DefaultEngineName(std::string& reason);

}  // namespace kelsor::server
