#include "server/engine/EngineRegistry.h"

#include "server/engine/TesseractEngine.h"
#ifdef KELSOR_HAVE_PPOCR
#include "server/ppocr/PpOcrEngine.h"
#endif

namespace kelsor::server {
namespace {

struct EngineEntry {
    const char* name;
    EngineFactory factory;  // empty: named but not built yet
};

const std::vector<EngineEntry>& Engines() {
    static const std::vector<EngineEntry> engines = {
        {"tesseract", &TesseractEngine::Create},
#ifdef KELSOR_HAVE_PPOCR
        {"ppocr", &ppocr::CreateDefaultPpOcrEngine},
#else
        {"ppocr", {}},
#endif
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

std::string DefaultEngineName(std::string& reason) {
#ifdef KELSOR_HAVE_PPOCR
    if (ppocr::PpOcrInstalled(reason)) {
        return "ppocr";
    }
#else
    reason = "the PP-OCR engine is not built in";
#endif
    return "tesseract";
}

}  // namespace kelsor::server
