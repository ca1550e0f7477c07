#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "server/ppocr/PpOcrEngine.h"

namespace kelsor::server::ppocr {

// One engine with the installed models for a whole suite: loading the models
// is the slow part, and every test may share the same engine.
class PpOcrEngineSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        Engine() = PpOcrEngine::Create(PpOcrModelPaths::InFolder(DefaultPpOcrModelFolder()), error);
        ASSERT_NE(Engine(), nullptr) << error;
    }
    static void TearDownTestSuite() { Engine().reset(); }
    static std::unique_ptr<PpOcrEngine>& Engine() {
        static std::unique_ptr<PpOcrEngine> engine;
        return engine;
    }
};

}  // namespace kelsor::server::ppocr
