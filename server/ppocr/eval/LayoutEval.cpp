// kelsor-layout-eval: reading order and paragraphs of the recognition engines.
// Renders the column pages (two and three columns, Chinese and English,
// headings, footers, skew) and, given text files, the single-column pictures
// of kelsor-ppocr-eval; recognises them with each engine and prints the
// order-sensitive character error rate (white space ignored) of the lines as
// the engine orders them and as page-wide rows order them (the old order),
// the paragraph-break precision and recall of the "编辑优先" text, and the
// time of ordering as a share of the engine's time.
//
//   kelsor-layout-eval [--pages N] [--gutter EMS] [--engines ppocr,tesseract]
//                      [--zh FILE --en FILE --pictures N] [--dump DIR] [--verbose]
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/sys/CodePage.h"
#include "server/engine/TesseractEngine.h"
#include "server/ppocr/PpOcrEngine.h"
#include "server/ppocr/eval/ColumnPages.h"
#include "server/ppocr/eval/EvalSet.h"
#include "server/ppocr/eval/LayoutScore.h"

using namespace kelsor::server;
using namespace kelsor::server::ppocr;

namespace {

struct Options {
    int pages = 12;
    int pictures = 12;
    double gutterEms = 0.0;  // 0: the set's own gutters
    std::string engines = "ppocr,tesseract";
    std::map<std::string, std::vector<std::string>> texts;
    std::string dump;
    bool verbose = false;
};

int Usage() {
    std::cerr
        << "usage: kelsor-layout-eval [--pages N] [--gutter EMS] [--engines ppocr,tesseract]\n"
           "  [--zh FILE --en FILE --pictures N per language] [--dump DIR] [--verbose]\n";
    return 2;
}

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--verbose") {
            options.verbose = true;
        } else if (i + 1 >= argc) {
            return false;
        } else if (arg == "--pages") {
            options.pages = std::atoi(argv[++i]);
        } else if (arg == "--gutter") {
            options.gutterEms = std::atof(argv[++i]);
        } else if (arg == "--pictures") {
            options.pictures = std::atoi(argv[++i]);
        } else if (arg == "--dump") {
            options.dump = argv[++i];
        } else if (arg == "--engines") {
            options.engines = argv[++i];
        } else if (arg == "--zh" || arg == "--en") {
            options.texts[arg.substr(2)] = ReadTextLines(argv[++i]);
        } else {
            return false;
        }
    }
    return options.pages > 0 && options.pictures > 0 && options.gutterEms >= 0.0;
}

std::unique_ptr<RecognitionEngine> Load(const std::string& name) {
    std::string error;
    std::unique_ptr<RecognitionEngine> engine;
    if (name == "ppocr") {
        engine = CreateDefaultPpOcrEngine(error);
    } else if (name == "tesseract") {
        engine = TesseractEngine::Create(error);
    } else {
        error = "unknown engine " + name;
    }
    if (!engine) {
        std::cerr << error << "\n";
    }
    return engine;
}

void Print(const std::string& engine, const std::string& set, const LayoutScore& s,
           bool paragraphs) {
    std::printf("%-10s %-12s pages=%3d  order-CER before=%6.2f%%  after=%6.2f%%", engine.c_str(),
                set.c_str(), s.pages, Percent(s.rowOrder), Percent(s.readingOrder));
    if (paragraphs) {
        std::printf("  paragraph-breaks P=%.3f R=%.3f (%lld/%lld found, %lld true)",
                    Precision(s.breaks), Recall(s.breaks), s.breaks.right, s.breaks.found,
                    s.breaks.truth);
    }
    std::printf("  layout=%.3f%% of engine time (%.3f ms/page)\n",
                100.0 * s.layoutSeconds / std::max(s.engineSeconds, 1e-9),
                1000.0 * s.layoutSeconds / std::max(s.pages, 1));
}

}  // namespace

int main(int argc, char** argv) {
    setenv("OMP_THREAD_LIMIT", "1", 0);
    kelsor::platform::SetCodePage("UTF-8");
    Options options;
    if (!Parse(argc, argv, options)) {
        return Usage();
    }
    std::vector<ColumnPage> pages;
    std::vector<EvalSample> single;
    std::string error;
    if (!BuildColumnPages(options.pages, pages, error, 0, options.gutterEms) ||
        (!options.texts.empty() &&
         !BuildEvaluationSet(options.texts, options.pictures, single, error))) {
        std::cerr << error << "\n";
        return 2;
    }
    for (std::size_t i = 0; i < pages.size() && !options.dump.empty(); ++i) {
        const DecodedPicture& p = pages[i].picture;
        cv::Mat rgb(p.height, p.width, CV_8UC3, const_cast<std::uint8_t*>(p.rgb.data()));
        cv::Mat bgr;
        cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
        cv::imwrite(options.dump + "/columns-" + std::to_string(i) + ".png", bgr);
    }
    std::stringstream names(options.engines);
    for (std::string name; std::getline(names, name, ',');) {
        std::unique_ptr<RecognitionEngine> engine = Load(name);
        if (!engine) {
            return 1;
        }
        std::map<std::string, LayoutScore> columns, rows;
        LayoutScore allColumns;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            std::vector<TextBlock> lines;
            const LayoutScore score = ScoreColumnPage(*engine, pages[i], lines);
            columns[pages[i].language].Add(score);
            allColumns.Add(score);
            if (options.verbose) {
                std::printf(
                    "  page %zu (%s, %d columns, skew %.0f, heading %d): order-CER %.2f%%,"
                    " breaks %lld/%lld found, %lld true\n",
                    i, pages[i].language.c_str(), pages[i].columns, pages[i].skewDegrees,
                    pages[i].heading ? 1 : 0, Percent(score.readingOrder), score.breaks.right,
                    score.breaks.found, score.breaks.truth);
                for (const TextBlock& line : lines) {
                    std::printf("    %d %d %d %d %d %d %d %d %s\n", line.location[0][0],
                                line.location[0][1], line.location[1][0], line.location[1][1],
                                line.location[2][0], line.location[2][1], line.location[3][0],
                                line.location[3][1], line.words.c_str());
                }
                std::printf("  edited:\n%s\n", EditedText(lines).c_str());
            }
        }
        for (const auto& [language, score] : columns) {
            Print(name, "columns-" + language, score, true);
        }
        Print(name, "columns", allColumns, true);
        for (const EvalSample& sample : single) {
            std::vector<TextBlock> lines;
            rows[sample.language].Add(
                ScoreOrder(*engine, sample.picture, ReferenceText(sample), lines));
        }
        for (const auto& [language, score] : rows) {
            Print(name, "single-" + language, score, false);
        }
        std::fflush(stdout);
    }
    return 0;
}
