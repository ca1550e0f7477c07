#include "server/engine/EngineRegistry.h"

#include "server/engine/TesseractEngine.h"

namespace kelsor::server {
namespace {

struct EngineEntry {
    const char* name;
    EngineFactory factory;  // empty: named but not built yet
};

const std::vector<EngineEntry>& Engines() {
    static const std::vector<EngineEntry> engines = {
        {"tesseract", &TesseractEngine::Create},
        {"ppocr", {}},
    };
    return engines;
}

}  // namespace

bool FindEngineFactory(const std::string& name, EngineFactory& factory, std::string& error) {
    for (const EngineEntry& entry : Engines()) {
        if (name == entry.name) {
            if (!entry.factory) {
                error = "engine " + name + " is not available in this build";
                return false;
            }
            factory = entry.factory;
            return true;
        }
    }
    error = "unknown engine " + name;
    return false;
}

std::vector<std::string> AvailableEngines() {
    std::vector<std::string> names;
    for (const EngineEntry& entry : Engines()) {
        if (entry.factory) {
            names.emplace_back(entry.name);
        }
    }
    return names;
}

}  // namespace kelsor::server
