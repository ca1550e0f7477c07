// Processor time per picture of the default recognition engine against
// Tesseract on the same rendered pictures of Chinese text, in turns, in one
// process; and where the default engine's time goes (decoding the picture
// file, detection, post-processing, recognition).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

#include "BenchSupport.h"
#include "ServiceFixture.h"
#include "server/PictureDecoder.h"
#include "server/engine/EngineRegistry.h"
#ifdef KELSOR_BENCH_HAVE_PPOCR
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "server/ppocr/PpOcrEngine.h"
#include "server/ppocr/eval/EvalSet.h"
#endif

namespace {

constexpr double kNotMeasured = std::numeric_limits<double>::quiet_NaN();

#ifdef KELSOR_BENCH_HAVE_PPOCR
using kelsor::server::RecognitionEngine;
namespace ppocr = kelsor::server::ppocr;

// The first pictures of the evaluation set's Chinese half (1, 3, 6 and 10
// lines in turn), as in the error-rate ratio.
constexpr int kPictures = 12;
constexpr int kPasses = 2;
constexpr const char* kFortunesFolder = "/usr/share/games/fortunes";

struct EngineCpu {
    double ppocr = 0.0;      // seconds per picture, the faster pass
    double tesseract = 0.0;  // the same
    double decode = 0.0;     // decoding the pictures' PNG files, per picture
    ppocr::PpOcrStageTimes stages;
    std::string error;
};

EngineCpu& Measured() {
    static EngineCpu measured;
    return measured;
}

std::unique_ptr<RecognitionEngine> Create(const std::string& name, std::string& error) {
    kelsor::server::EngineFactory factory;
    return kelsor::server::FindEngineFactory(name, factory, error) ? factory(error) : nullptr;
}

// Processor seconds per picture of one pass of `engine` over `set`.
double Pass(RecognitionEngine& engine, const std::vector<ppocr::EvalSample>& set) {
    const double before = kelsor::bench::OwnCpuSeconds();
    for (const auto& sample : set) {
        std::vector<kelsor::server::TextBlock> lines;
        std::string ignored;
        engine.Recognize(sample.picture, lines, ignored);
        benchmark::DoNotOptimize(lines.data());
    }
    return (kelsor::bench::OwnCpuSeconds() - before) / static_cast<double>(set.size());
}

// What the service does before the engine: the picture file decoded.
double DecodeSeconds(const std::vector<ppocr::EvalSample>& set) {
    double total = 0.0;
    for (const auto& sample : set) {
        const auto& p = sample.picture;
        cv::Mat rgb(p.height, p.width, CV_8UC3, const_cast<std::uint8_t*>(p.rgb.data()));
        cv::Mat bgr;
        cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
        std::vector<unsigned char> png;
        cv::imencode(".png", bgr, png);
        const std::string bytes(png.begin(), png.end());
        kelsor::server::DecodedPicture decoded;
        std::string error;
        const double before = kelsor::bench::OwnCpuSeconds();
        kelsor::server::DecodePicture(bytes, decoded, error);
        total += kelsor::bench::OwnCpuSeconds() - before;
    }
    return total / static_cast<double>(set.size());
}

// False, with the benchmark skipped, when the default engine is not ppocr.
bool DefaultIsPpOcr(benchmark::State& state, std::string& error) {
    std::string reason;
    if (kelsor::server::DefaultEngineName(reason) != "ppocr") {
        error = "the default engine is not ppocr (" + reason + ")";
        state.SkipWithError(error.c_str());
        return false;
    }
    return true;
}

void BM_EngineCpuPerPicture(benchmark::State& state) {
    EngineCpu& measured = Measured();
    if (!DefaultIsPpOcr(state, measured.error)) {
        return;
    }
    std::vector<ppocr::EvalSample> set;
    const auto text = ppocr::FortuneChineseText(kFortunesFolder);
    if (text.empty() ||
        !ppocr::BuildEvaluationSet({{"zh", text}}, kPictures, set, measured.error)) {
        if (measured.error.empty())
            measured.error = std::string("no text in ") + kFortunesFolder + " (fortunes-zh)";
        state.SkipWithError(measured.error.c_str());
        return;
    }
    auto own = Create("ppocr", measured.error);
    auto tesseract = own ? Create("tesseract", measured.error) : nullptr;
    if (!own || !tesseract) {
        state.SkipWithError(measured.error.c_str());
        return;
    }
    for (auto _ : state) {
        std::vector<kelsor::server::TextBlock> warm;
        std::string reason;
        own->Recognize(set.front().picture, warm, reason);  // first-run allocations
        tesseract->Recognize(set.front().picture, warm, reason);
        const ppocr::PpOcrStageTimes before = dynamic_cast<ppocr::PpOcrEngine&>(*own).StageTimes();
        measured.ppocr = measured.tesseract = std::numeric_limits<double>::max();
        for (int pass = 0; pass < kPasses; ++pass) {
            measured.ppocr = std::min(measured.ppocr, Pass(*own, set));
            measured.tesseract = std::min(measured.tesseract, Pass(*tesseract, set));
        }
        const ppocr::PpOcrStageTimes& after = dynamic_cast<ppocr::PpOcrEngine&>(*own).StageTimes();
        measured.stages = {after.detection - before.detection,
                           after.postProcessing - before.postProcessing,
                           after.recognition - before.recognition,
                           after.orientation - before.orientation,
                           after.lines - before.lines,
                           after.pictures - before.pictures,
                           after.detectionPixels - before.detectionPixels,
                           after.recognitionColumns - before.recognitionColumns};
        measured.decode = DecodeSeconds(set);
    }
}

BENCHMARK(BM_EngineCpuPerPicture)->Unit(benchmark::kSecond)->Iterations(1);

// What optional steps of the engine cost, as processor time with the step
// against without it on the same pictures: re-detecting small text on
// screen pictures (13-18 px lines in window-sized pictures), the
// orientation check on upright Chinese pictures, and reading a picture of
// one line whole against detecting its line (single lines cut tight).
struct StepCost {
    double ratio = kNotMeasured;
    std::string stages;  // where the time went with and without the step
};
struct StepCosts {
    StepCost smallText;
    StepCost smallTextTwoPlaces;
    StepCost orientation;
    StepCost oneLine;
    std::string error;
};

StepCosts& MeasuredSteps() {
    static StepCosts measured;
    return measured;
}

// Processor time per picture of the default settings over that of
// `without`, the faster of the passes of each, taken in turns, and the
// stages of both.
StepCost CpuWithVsWithout(const ppocr::PpOcrSettings& without,
                          const std::vector<ppocr::EvalSample>& set, std::string& error) {
    const auto paths = ppocr::PpOcrModelPaths::InFolder(ppocr::DefaultPpOcrModelFolder());
    auto with = ppocr::PpOcrEngine::Create(paths, ppocr::PpOcrSettings{}, error);
    auto plain = with ? ppocr::PpOcrEngine::Create(paths, without, error) : nullptr;
    if (!plain) {
        return {};
    }
    double withSeconds = std::numeric_limits<double>::max(), withoutSeconds = withSeconds;
    std::vector<kelsor::server::TextBlock> warm;
    with->Recognize(set.front().picture, warm, error);  // first-run allocations
    plain->Recognize(set.front().picture, warm, error);
    for (int pass = 0; pass < kPasses; ++pass) {
        withSeconds = std::min(withSeconds, Pass(*with, set));
        withoutSeconds = std::min(withoutSeconds, Pass(*plain, set));
    }
    StepCost cost{withSeconds / withoutSeconds, {}};
    for (const auto* engine : {with.get(), plain.get()}) {
        const ppocr::PpOcrStageTimes& t = engine->StageTimes();
        const double n = static_cast<double>(std::max(1LL, t.pictures));
        char line[200];
        std::snprintf(line, sizeof line,
                      "  %s: cpu per picture %.3f s, detection %.3f s (map %.0f kpx), "
                      "recognition %.3f s (%.0f columns), orientation %.3f s\n",
                      engine == with.get() ? "with" : "without",
                      engine == with.get() ? withSeconds : withoutSeconds, t.detection / n,
                      static_cast<double>(t.detectionPixels) / n / 1000.0, t.recognition / n,
                      static_cast<double>(t.recognitionColumns) / n, t.orientation / n);
        cost.stages += line;
    }
    return cost;
}

// The screen pictures with their text copied to the bottom right corner as
// well: captures with text in more than one place.
std::vector<ppocr::EvalSample> TextInTwoPlaces(const std::vector<ppocr::EvalSample>& screen) {
    std::vector<ppocr::EvalSample> copies;
    for (const auto& sample : screen) {
        const auto& p = sample.picture;
        const cv::Mat rgb(p.height, p.width, CV_8UC3, const_cast<std::uint8_t*>(p.rgb.data()));
        cv::Mat differs;
        cv::inRange(rgb, rgb.at<cv::Vec3b>(0, 0), rgb.at<cv::Vec3b>(0, 0), differs);
        cv::bitwise_not(differs, differs);
        const cv::Rect text = cv::boundingRect(differs);
        const cv::Rect corner(p.width - text.width - 16, p.height - text.height - 16, text.width,
                              text.height);
        if (text.empty() || corner.x < 0 || corner.y < 0 || (corner & text).area() > 0) {
            continue;
        }
        ppocr::EvalSample copy = sample;
        cv::Mat to(p.height, p.width, CV_8UC3, copy.picture.rgb.data());
        rgb(text).copyTo(to(corner));
        copies.push_back(std::move(copy));
    }
    return copies;
}

void BM_EngineStepCosts(benchmark::State& state) {
    StepCosts& measured = MeasuredSteps();
    if (!DefaultIsPpOcr(state, measured.error)) {
        return;
    }
    const auto chinese = ppocr::FortuneChineseText(kFortunesFolder);
    const auto english = ppocr::FortuneEnglishText(kFortunesFolder);
    std::vector<ppocr::EvalSample> screen, upright, tight;
    if (chinese.empty() || english.empty() ||
        !ppocr::BuildScreenSet(chinese, english, kPictures / 2, screen, measured.error) ||
        !ppocr::BuildTightLineSet(chinese, english, kPictures, -1, tight, measured.error) ||
        !ppocr::BuildEvaluationSet({{"zh", chinese}}, kPictures, upright, measured.error)) {
        if (measured.error.empty())
            measured.error =
                std::string("no text in ") + kFortunesFolder + " (fortunes-zh, fortunes-min)";
        state.SkipWithError(measured.error.c_str());
        return;
    }
    for (auto _ : state) {
        ppocr::PpOcrSettings noSmallText;
        noSmallText.smallTextHeight = 0;
        measured.smallText = CpuWithVsWithout(noSmallText, screen, measured.error);
        measured.smallTextTwoPlaces =
            CpuWithVsWithout(noSmallText, TextInTwoPlaces(screen), measured.error);
        ppocr::PpOcrSettings noOrientation;
        noOrientation.turnSampleLines = 0;
        noOrientation.lineTurnProbability = 0.0f;
        measured.orientation = CpuWithVsWithout(noOrientation, upright, measured.error);
        ppocr::PpOcrSettings detected;
        detected.oneLineHeightRatio = 0.0;
        measured.oneLine = CpuWithVsWithout(detected, tight, measured.error);
    }
}

BENCHMARK(BM_EngineStepCosts)->Unit(benchmark::kSecond)->Iterations(1);

// The ratio of one step with where the time went, or why it was not
// measured.
double PrintStepCost(const char* name, StepCost StepCosts::*step) {
    const StepCosts& m = MeasuredSteps();
    const StepCost& cost = m.*step;
    if (!std::isfinite(cost.ratio)) {
        std::printf("%s: not measured%s%s\n", name, m.error.empty() ? "" : ", ", m.error.c_str());
    } else {
        std::printf("%s:\n%s", name, cost.stages.c_str());
    }
    return cost.ratio;
}

double PpOcrCpuVsTesseract() {
    const EngineCpu& m = Measured();
    if (m.stages.pictures == 0 || m.tesseract <= 0) {
        std::printf("ppocr_cpu_vs_tesseract: not measured%s%s\n", m.error.empty() ? "" : ", ",
                    m.error.c_str());
        return kNotMeasured;
    }
    const double pictures = static_cast<double>(m.stages.pictures);
    std::printf(
        "cpu per picture (%d Chinese pictures, faster of %d passes): ppocr %.3f s, "
        "tesseract %.3f s\n",
        kPictures, kPasses, m.ppocr, m.tesseract);
    std::printf(
        "ppocr per picture: decode %.4f s, detection %.4f s, post-processing %.4f s, "
        "recognition %.4f s, orientation %.4f s (%.1f lines)\n",
        m.decode, m.stages.detection / pictures, m.stages.postProcessing / pictures,
        m.stages.recognition / pictures, m.stages.orientation / pictures,
        static_cast<double>(m.stages.lines) / pictures);
    return m.ppocr / m.tesseract;
}
double SmallTextCpuVsWithout() {
    return PrintStepCost("screen_small_text_cpu_vs_without", &StepCosts::smallText);
}
double SmallTextTwoPlacesCpuVsWithout() {
    return PrintStepCost("screen_two_places_small_text_cpu_vs_without",
                         &StepCosts::smallTextTwoPlaces);
}
double OrientationCpuVsWithout() {
    return PrintStepCost("upright_orientation_cpu_vs_without", &StepCosts::orientation);
}
double OneLineCpuVsDetected() {
    return PrintStepCost("one_line_cpu_vs_detected", &StepCosts::oneLine);
}
#else
double OneLineCpuVsDetected() {
    return kNotMeasured;
}
double SmallTextCpuVsWithout() {
    return kNotMeasured;
}
double SmallTextTwoPlacesCpuVsWithout() {
    return kNotMeasured;
}
double OrientationCpuVsWithout() {
    return kNotMeasured;
}
double PpOcrCpuVsTesseract() {
    std::printf(
        "ppocr_cpu_vs_tesseract: not measured, the PP-OCR engine is not built "
        "(run scripts/install-npm-deps.sh)\n");
    return kNotMeasured;
}
#endif

[[maybe_unused]] const bool g_ratio =
    (kelsor::bench::AddRatio("ppocr_cpu_vs_tesseract", PpOcrCpuVsTesseract, 104), true);

// Screen pictures with small text (in one place or two), goal at most 1.15;
// upright pictures with the orientation check, goal at most 1.10.
[[maybe_unused]] const bool g_stepRatios =
    (kelsor::bench::AddRatio("screen_small_text_cpu_vs_without", SmallTextCpuVsWithout, 105),
     kelsor::bench::AddRatio("screen_two_places_small_text_cpu_vs_without",
                             SmallTextTwoPlacesCpuVsWithout, 105),
     kelsor::bench::AddRatio("upright_orientation_cpu_vs_without", OrientationCpuVsWithout, 106),
     true);

// Single lines cut tight, read whole against detected (the margin given
// either way), goal at most 1.0.
[[maybe_unused]] const bool g_oneLineRatio =
    (kelsor::bench::AddRatio("one_line_cpu_vs_detected", OneLineCpuVsDetected, 107), true);

}  // namespace
