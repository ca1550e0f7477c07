// kelsor-ppocr-eval: renders an evaluation set from text files (several fonts,
// sizes and line counts), recognises every picture with each engine and prints
// the character error rate (white space ignored) and the time per picture.
//
//   kelsor-ppocr-eval --zh zh.txt --en en.txt [--pictures N] [--engines ppocr,tesseract]
//                     [--dump DIR] [tuning options, see Usage()]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>

#include <tesseract/baseapi.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "server/ppocr/PpOcrEngine.h"
#include "server/ppocr/eval/EvalSet.h"
#include "server/ppocr/eval/TextPicture.h"

using namespace kelsor::server;
using namespace kelsor::server::ppocr;

namespace {

// Processor time of this thread: unlike wall time it does not grow when other
// programs share the cores.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// Tesseract through its own API, as the server's fallback engine runs it.
class TesseractEngine : public RecognitionEngine {
public:
    bool Init() { return m_api.Init(nullptr, "chi_sim+eng") == 0; }
    std::string Name() const override { return "tesseract"; }
    bool Recognize(const DecodedPicture& picture, std::vector<TextBlock>& lines,
                   std::string& error) override {
        m_api.SetImage(picture.rgb.data(), picture.width, picture.height, 3, picture.width * 3);
        std::unique_ptr<char[]> text(m_api.GetUTF8Text());
        lines.clear();
        if (!text) {
            error = "tesseract failed";
            return false;
        }
        lines.push_back(TextBlock{text.get(), {}, 0.0});
        return true;
    }
    ~TesseractEngine() override { m_api.End(); }

private:
    tesseract::TessBaseAPI m_api;
};

// Where the engine's processor time went, per picture.
void PrintStages(const PpOcrStageTimes& t) {
    const double n = static_cast<double>(std::max(1LL, t.pictures));
    std::printf(
        "ppocr stages, cpu per picture: detection=%.4f s  post-processing=%.4f s  "
        "recognition=%.4f s  lines=%.1f\n",
        t.detection / n, t.postProcessing / n, t.recognition / n, static_cast<double>(t.lines) / n);
}

int Usage() {
    std::cerr << "usage: kelsor-ppocr-eval --zh FILE --en FILE [--pictures N per language]\n"
                 "  [--engines ppocr,tesseract] [--dump DIR] [--verbose]\n"
                 "  [--det-max-side N] [--det-min-side N] [--threshold F] [--box-threshold F]\n"
                 "  [--unclip F] [--rec-min-width N] [--rec-batch N] [--rec-batch-spread F]\n"
                 "  [--min-confidence F] [--latin-space F]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("OMP_THREAD_LIMIT", "1", 0);
    std::map<std::string, std::vector<std::string>> texts;
    int perLanguage = 40;
    std::string engines = "ppocr,tesseract";
    std::string dump;
    bool verbose = false;
    PpOcrSettings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--verbose") {
            verbose = true;
            continue;
        }
        if (i + 1 >= argc) {
            return Usage();
        }
        const std::string value = argv[++i];
        if (arg == "--zh" || arg == "--en") {
            texts[arg.substr(2)] = ReadTextLines(value);
        } else if (arg == "--pictures") {
            perLanguage = std::atoi(value.c_str());
        } else if (arg == "--engines") {
            engines = value;
        } else if (arg == "--dump") {
            dump = value;
        } else if (arg == "--det-max-side") {
            settings.detectionMaxSide = std::atoi(value.c_str());
        } else if (arg == "--det-min-side") {
            settings.detectionMinSide = std::atoi(value.c_str());
        } else if (arg == "--threshold") {
            settings.detection.threshold = std::stof(value);
        } else if (arg == "--box-threshold") {
            settings.detection.boxThreshold = std::stof(value);
        } else if (arg == "--unclip") {
            settings.detection.unclipRatio = std::stof(value);
        } else if (arg == "--rec-min-width") {
            settings.recognitionMinWidth = std::atoi(value.c_str());
        } else if (arg == "--latin-space") {
            settings.latinSpaceProbability = std::stof(value);
        } else if (arg == "--rec-batch") {
            settings.recognitionBatch = std::atoi(value.c_str());
        } else if (arg == "--rec-batch-spread") {
            settings.recognitionBatchSpread = std::stod(value);
        } else if (arg == "--min-confidence") {
            settings.minLineConfidence = std::stod(value);
        } else {
            return Usage();
        }
    }
    if (texts.empty() || perLanguage <= 0) {
        return Usage();
    }
    std::vector<EvalSample> set;
    if (std::string error; !BuildEvaluationSet(texts, perLanguage, set, error)) {
        std::cerr << error << "\n";
        return 2;
    }
    if (!dump.empty()) {
        for (std::size_t i = 0; i < set.size(); ++i) {
            const auto& p = set[i].picture;
            cv::Mat rgb(p.height, p.width, CV_8UC3, const_cast<std::uint8_t*>(p.rgb.data()));
            cv::Mat bgr;
            cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
            cv::imwrite(dump + "/" + set[i].language + "-" + std::to_string(i) + ".png", bgr);
        }
    }

    std::stringstream names(engines);
    std::string name;
    while (std::getline(names, name, ',')) {
        std::unique_ptr<RecognitionEngine> engine;
        const auto loadStart = std::chrono::steady_clock::now();
        if (name == "ppocr") {
            std::string error;
            engine = PpOcrEngine::Create(PpOcrModelPaths::InFolder(DefaultPpOcrModelFolder()),
                                         settings, error);
            if (!engine) {
                std::cerr << error << "\n";
                return 1;
            }
        } else if (name == "tesseract") {
            auto tesseract = std::make_unique<TesseractEngine>();
            if (!tesseract->Init()) {
                std::cerr << "cannot initialise tesseract chi_sim+eng\n";
                return 1;
            }
            engine = std::move(tesseract);
        } else {
            return Usage();
        }
        const double loadSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - loadStart).count();
        std::map<std::string, ErrorCount> errors;
        std::map<std::string, double> seconds;
        std::map<std::string, double> cpuSeconds;
        std::map<std::string, ErrorCount> spacedErrors;
        std::map<std::string, int> pictures;
        for (std::size_t i = 0; i < set.size(); ++i) {
            const EvalSample& sample = set[i];
            std::vector<TextBlock> lines;
            std::string error;
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = ThreadSeconds();
            const bool ok = engine->Recognize(sample.picture, lines, error);
            cpuSeconds[sample.language] += ThreadSeconds() - cpuStart;
            seconds[sample.language] +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            ++pictures[sample.language];
            const std::string reference = ReferenceText(sample);
            const std::string recognised = RecognisedText(lines);
            if (!ok) {
                std::cerr << name << ": picture " << i << ": " << error << "\n";
            }
            const ErrorCount count = CountErrors(reference, recognised);
            errors[sample.language].edits += count.edits;
            errors[sample.language].characters += count.characters;
            const ErrorCount spaced = CountErrors(reference, recognised, true);
            spacedErrors[sample.language].edits += spaced.edits;
            spacedErrors[sample.language].characters += spaced.characters;
            if (verbose && count.edits > 0) {
                std::cout << "--- " << name << " picture " << i << " (" << count.edits << " edits, "
                          << sample.picture.width << "x" << sample.picture.height
                          << ")\nexpected:\n"
                          << reference << "got:\n"
                          << recognised;
            }
        }
        for (const auto& [language, count] : errors) {
            const ErrorCount& spaced = spacedErrors[language];
            std::printf(
                "%-10s %-3s pictures=%3d  CER=%6.2f%%  (%lld/%lld)  time/picture=%.3f s"
                "  cpu/picture=%.3f s  load=%.2f s  CER-with-spaces=%.2f%%\n",
                name.c_str(), language.c_str(), pictures[language],
                100.0 * count.edits / std::max(1LL, count.characters), count.edits,
                count.characters, seconds[language] / pictures[language],
                cpuSeconds[language] / pictures[language], loadSeconds,
                100.0 * spaced.edits / std::max(1LL, spaced.characters));
        }
        if (const auto* own = dynamic_cast<const PpOcrEngine*>(engine.get())) {
            PrintStages(own->StageTimes());
        }
        std::fflush(stdout);
    }
    return 0;
}
