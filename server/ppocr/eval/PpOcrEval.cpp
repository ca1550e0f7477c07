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
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "server/engine/TesseractEngine.h"
#include "server/ppocr/PpOcrEngine.h"
#include "server/ppocr/eval/EvalSet.h"
#include "server/ppocr/eval/LoneRequest.h"
#include "server/ppocr/eval/TextPicture.h"
#include "server/ppocr/eval/VerticalPages.h"

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

// Where the engine's processor time went, per picture.
void PrintStages(const PpOcrStageTimes& t) {
    const double n = static_cast<double>(std::max(1LL, t.pictures));
    std::printf(
        "ppocr stages, cpu per picture: detection=%.4f s  post-processing=%.4f s  "
        "recognition=%.4f s  orientation=%.4f s  lines=%.1f  detection-map=%.0f kpx  "
        "recognition-strips=%.0f columns\n",
        t.detection / n, t.postProcessing / n, t.recognition / n, t.orientation / n,
        static_cast<double>(t.lines) / n, static_cast<double>(t.detectionPixels) / n / 1000.0,
        static_cast<double>(t.recognitionColumns) / n);
}

int Usage() {
    std::cerr << "usage: kelsor-ppocr-eval --zh FILE --en FILE [--pictures N per language]\n"
                 "  [--screen N screen pictures per kind, 0 for none]\n"
                 "  [--turned N turned copies per language] [--vertical N column pictures]\n"
                 "  [--vertical-pages N pages set vertically, columns right to left]\n"
                 "  [--tight N single lines per kind, cut tight and with 40 px of margin]\n"
                 "  [--ratio-pictures N Chinese pictures timed alone, all cores and one]\n"
                 "  [--engines ppocr,tesseract] [--dump DIR] [--verbose]\n"
                 "  [--det-max-side N] [--det-min-side N] [--threshold F] [--box-threshold F]\n"
                 "  [--unclip F] [--rec-min-width N] [--rec-batch N] [--rec-batch-spread F]\n"
                 "  [--min-confidence F] [--latin-space F] [--gap-space F] [--small-text N]\n"
                 "  [--small-text-scale F] [--turn-sample N] [--line-turn F]\n"
                 "  [--text-margin 0|1] [--one-line F height ratio, 0 off] [--one-line-sure F]\n"
                 "  [--one-line-across F] [--one-line-along F]\n";
    return 2;
}

struct EvalOptions {
    std::map<std::string, std::vector<std::string>> texts;
    int perLanguage = 40;
    int screenPerKind = 36;
    int turned = 0;
    int ratioPictures = 12;
    int vertical = 0;
    int verticalPages = 0;
    int tight = 16;
    std::string engines = "ppocr,tesseract";
    std::string dump;
    bool verbose = false;
    PpOcrSettings settings;
};

// Reads the command line into `options`; false on an unknown option or one
// without its value.
bool ParseOptions(int argc, char** argv, EvalOptions& options) {
    PpOcrSettings& s = options.settings;
    using Setter = std::function<void(const std::string&)>;
    auto toInt = [](int& field) {
        return Setter([&field](const std::string& v) { field = std::atoi(v.c_str()); });
    };
    auto toFloat = [](float& field) {
        return Setter([&field](const std::string& v) { field = std::stof(v); });
    };
    auto toDouble = [](double& field) {
        return Setter([&field](const std::string& v) { field = std::stod(v); });
    };
    const std::map<std::string, Setter> setters = {
        {"--zh", [&](const std::string& v) { options.texts["zh"] = ReadTextLines(v); }},
        {"--en", [&](const std::string& v) { options.texts["en"] = ReadTextLines(v); }},
        {"--pictures", toInt(options.perLanguage)},
        {"--screen", toInt(options.screenPerKind)},
        {"--turned", toInt(options.turned)},
        {"--ratio-pictures", toInt(options.ratioPictures)},
        {"--vertical", toInt(options.vertical)},
        {"--vertical-pages", toInt(options.verticalPages)},
        {"--tight", toInt(options.tight)},
        {"--text-margin", [&](const std::string& v) { s.textMargin = std::atoi(v.c_str()) != 0; }},
        {"--one-line", toDouble(s.oneLineHeightRatio)},
        {"--one-line-sure", toDouble(s.oneLineSure)},
        {"--one-line-across", toFloat(s.oneLineContextAcross)},
        {"--one-line-along", toFloat(s.oneLineContextAlong)},
        {"--engines", [&](const std::string& v) { options.engines = v; }},
        {"--dump", [&](const std::string& v) { options.dump = v; }},
        {"--det-max-side", toInt(s.detectionMaxSide)},
        {"--det-min-side", toInt(s.detectionMinSide)},
        {"--threshold", toFloat(s.detection.threshold)},
        {"--box-threshold", toFloat(s.detection.boxThreshold)},
        {"--unclip", toFloat(s.detection.unclipRatio)},
        {"--rec-min-width", toInt(s.recognitionMinWidth)},
        {"--latin-space", toFloat(s.latinSpaceProbability)},
        {"--gap-space", toFloat(s.gapSpaceRatio)},
        {"--small-text", toInt(s.smallTextHeight)},
        {"--small-text-scale", toDouble(s.smallTextMaxScale)},
        {"--turn-sample", toInt(s.turnSampleLines)},
        {"--line-turn", toFloat(s.lineTurnProbability)},
        {"--rec-batch", toInt(s.recognitionBatch)},
        {"--rec-batch-spread", toDouble(s.recognitionBatchSpread)},
        {"--min-confidence", toDouble(s.minLineConfidence)},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--verbose") {
            options.verbose = true;
            continue;
        }
        const auto setter = setters.find(arg);
        if (i + 1 >= argc || setter == setters.end()) {
            return false;
        }
        setter->second(argv[++i]);
    }
    return true;
}

// Writes each picture of the set to `dir` as "<language>-<index>.png".
void DumpPictures(const std::vector<EvalSample>& set, const std::string& dir) {
    for (std::size_t i = 0; i < set.size(); ++i) {
        const auto& p = set[i].picture;
        cv::Mat rgb(p.height, p.width, CV_8UC3, const_cast<std::uint8_t*>(p.rgb.data()));
        cv::Mat bgr;
        cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
        cv::imwrite(dir + "/" + set[i].language + "-" + std::to_string(i) + ".png", bgr);
    }
}

// The engine of that name; null with `exitCode` set when it is unknown (2)
// or does not load (1).
std::unique_ptr<RecognitionEngine> LoadEngine(const std::string& name,
                                              const PpOcrSettings& settings, int& exitCode) {
    if (name == "ppocr") {
        std::string error;
        auto engine = PpOcrEngine::Create(PpOcrModelPaths::InFolder(DefaultPpOcrModelFolder()),
                                          settings, error);
        if (!engine) {
            std::cerr << error << "\n";
            exitCode = 1;
        }
        return engine;
    }
    if (name == "tesseract" || name == "tesseract-as-sent") {
        // The server's engine; "-as-sent" without the margin it gives text
        // at the picture's edge.
        std::string error;
        TesseractSettings tesseract;
        tesseract.textMargin = name == "tesseract";
        auto engine = TesseractEngine::CreateWith(tesseract, error);
        if (!engine) {
            std::cerr << error << "\n";
            exitCode = 1;
        }
        return engine;
    }
    exitCode = Usage();
    return nullptr;
}

// One language's sums over its pictures.
struct LanguageTotals {
    ErrorCount errors;
    ErrorCount spacedErrors;
    ErrorCount spaceAwareErrors;
    double seconds = 0.0;
    double cpuSeconds = 0.0;
    int pictures = 0;
    int refused = 0;
};

void AddErrors(ErrorCount& sum, const ErrorCount& count) {
    sum.edits += count.edits;
    sum.characters += count.characters;
}

// The single lines cut tight against the same lines with a margin: error
// rates over all kinds, the difference in points, refusals and the
// processor time per line.
void PrintTightLines(const std::string& name, const std::map<std::string, LanguageTotals>& totals) {
    LanguageTotals tight, margin;
    for (const auto& [language, total] : totals) {
        LanguageTotals* sum = language.starts_with("tight-")    ? &tight
                              : language.starts_with("margin-") ? &margin
                                                                : nullptr;
        if (sum != nullptr) {
            AddErrors(sum->errors, total.errors);
            sum->cpuSeconds += total.cpuSeconds;
            sum->pictures += total.pictures;
            sum->refused += total.refused;
        }
    }
    if (tight.pictures == 0 || margin.pictures == 0) {
        return;
    }
    const auto rate = [](const ErrorCount& e) {
        return 100.0 * static_cast<double>(e.edits) /
               static_cast<double>(std::max(1LL, e.characters));
    };
    std::printf(
        "%-10s single lines: tight CER=%.2f%% (%lld/%lld)  40-px margin CER=%.2f%% (%lld/%lld)  "
        "tight - margin=%+.2f points  refused=%d  cpu/line tight=%.3f s margin=%.3f s\n",
        name.c_str(), rate(tight.errors), tight.errors.edits, tight.errors.characters,
        rate(margin.errors), margin.errors.edits, margin.errors.characters,
        rate(tight.errors) - rate(margin.errors), tight.refused + margin.refused,
        tight.cpuSeconds / tight.pictures, margin.cpuSeconds / margin.pictures);
}

// Recognises every picture of the set with `engine` and prints one line per
// language.
void Evaluate(const std::string& name, RecognitionEngine& engine,
              const std::vector<EvalSample>& set, bool verbose, double loadSeconds) {
    std::map<std::string, LanguageTotals> totals;
    for (std::size_t i = 0; i < set.size(); ++i) {
        const EvalSample& sample = set[i];
        LanguageTotals& total = totals[sample.language];
        std::vector<TextBlock> lines;
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadSeconds();
        const bool ok = engine.Recognize(sample.picture, lines, error);
        total.cpuSeconds += ThreadSeconds() - cpuStart;
        total.seconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++total.pictures;
        const std::string reference = ReferenceText(sample);
        const std::string recognised = RecognisedText(lines);
        if (!ok) {
            ++total.refused;
            std::cerr << name << ": picture " << i << ": " << error << "\n";
        }
        const ErrorCount count = CountErrors(reference, recognised);
        AddErrors(total.errors, count);
        AddErrors(total.spacedErrors, CountErrors(reference, recognised, true));
        AddErrors(total.spaceAwareErrors, CountSpaceAwareErrors(reference, recognised));
        if (verbose && CountSpaceAwareErrors(reference, recognised).edits > 0) {
            std::cout << "--- " << name << " picture " << i << " (" << count.edits << " edits, "
                      << sample.picture.width << "x" << sample.picture.height << ")\nexpected:\n"
                      << reference << "got:\n"
                      << recognised;
        }
    }
    for (const auto& [language, total] : totals) {
        const ErrorCount& count = total.errors;
        const ErrorCount& spaced = total.spacedErrors;
        std::printf(
            "%-10s %-10s pictures=%3d  CER=%6.2f%%  (%lld/%lld)  time/picture=%.3f s"
            "  cpu/picture=%.3f s  load=%.2f s  CER-with-spaces=%.2f%%  CER-space-aware=%.2f%%\n",
            name.c_str(), language.c_str(), total.pictures,
            100.0 * count.edits / std::max(1LL, count.characters), count.edits, count.characters,
            total.seconds / total.pictures, total.cpuSeconds / total.pictures, loadSeconds,
            100.0 * spaced.edits / std::max(1LL, spaced.characters),
            100.0 * total.spaceAwareErrors.edits /
                std::max(1LL, total.spaceAwareErrors.characters));
    }
    PrintTightLines(name, totals);
}

// A lone request on all cores against one, on the first Chinese pictures.
void PrintLoneRequestRatio(const EvalOptions& options, const std::vector<EvalSample>& set) {
    std::vector<EvalSample> pictures;
    for (const EvalSample& sample : set) {
        if (sample.language == "zh" && static_cast<int>(pictures.size()) < options.ratioPictures) {
            pictures.push_back(sample);
        }
    }
    if (pictures.empty()) {
        return;
    }
    const PpOcrSettings settings = options.settings;
    const EngineFactory factory = [settings](std::string& error) {
        return std::unique_ptr<RecognitionEngine>(PpOcrEngine::Create(
            PpOcrModelPaths::InFolder(DefaultPpOcrModelFolder()), settings, error));
    };
    LoneRequestTimes times;
    if (std::string error; !MeasureLoneRequests(factory, pictures, 2, times, error)) {
        std::cerr << "lone requests: " << error << "\n";
        return;
    }
    std::printf(
        "lone request, wall per picture (%zu Chinese pictures, faster of 2 passes): %zu cores "
        "%.3f s, one core %.3f s\nRATIO single_picture_all_cores_vs_one = %.3f\n",
        pictures.size(), times.cores, times.allCores, times.oneCore,
        times.allCores / times.oneCore);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("OMP_THREAD_LIMIT", "1", 0);
    EvalOptions options;
    if (!ParseOptions(argc, argv, options) || options.texts.empty() || options.perLanguage < 0) {
        return Usage();
    }
    std::vector<EvalSample> set;
    if (std::string error; !BuildEvaluationSet(options.texts, options.perLanguage, set, error)) {
        std::cerr << error << "\n";
        return 2;
    }
    {
        std::vector<EvalSample> turned = TurnedSamples(set, options.turned);
        std::move(turned.begin(), turned.end(), std::back_inserter(set));
    }
    if (options.vertical > 0) {
        if (std::string error;
            !BuildVerticalSet(options.texts["zh"], options.vertical, set, error)) {
            std::cerr << error << "\n";
            return 2;
        }
    }
    if (options.verticalPages > 0) {
        // Only text the recogniser has the characters for.
        std::vector<std::string> labels;
        std::string error;
        if (!LoadRecognitionLabels(PpOcrModelPaths::InFolder(DefaultPpOcrModelFolder()).keys,
                                   labels, error) ||
            !BuildVerticalPageSet(options.texts["zh"],
                                  std::set<std::string>(labels.begin(), labels.end()),
                                  options.verticalPages, set, error) ||
            !BuildVerticalPageSet(options.texts["zh"],
                                  std::set<std::string>(labels.begin(), labels.end()),
                                  options.verticalPages, set, error, true)) {
            std::cerr << error << "\n";
            return 2;
        }
    }
    if (options.screenPerKind > 0) {
        std::vector<EvalSample> screen;
        if (std::string error; !BuildScreenSet(options.texts["zh"], options.texts["en"],
                                               options.screenPerKind, screen, error)) {
            std::cerr << error << "\n";
            return 2;
        }
        std::move(screen.begin(), screen.end(), std::back_inserter(set));
    }
    if (options.tight > 0) {
        // The same lines cut tight and with a margin of 40 px.
        for (const int margin : {-1, 40}) {
            if (std::string error; !BuildTightLineSet(options.texts["zh"], options.texts["en"],
                                                      options.tight, margin, set, error)) {
                std::cerr << error << "\n";
                return 2;
            }
        }
    }
    if (!options.dump.empty()) {
        DumpPictures(set, options.dump);
    }
    std::stringstream names(options.engines);
    std::string name;
    while (std::getline(names, name, ',')) {
        const auto loadStart = std::chrono::steady_clock::now();
        int exitCode = 0;
        std::unique_ptr<RecognitionEngine> engine = LoadEngine(name, options.settings, exitCode);
        if (!engine) {
            return exitCode;
        }
        const double loadSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - loadStart).count();
        Evaluate(name, *engine, set, options.verbose, loadSeconds);
        if (const auto* own = dynamic_cast<const PpOcrEngine*>(engine.get())) {
            PrintStages(own->StageTimes());
            engine.reset();
            PrintLoneRequestRatio(options, set);
        }
        std::fflush(stdout);
    }
    return 0;
}
