#include "server/ppocr/eval/LayoutScore.h"

#include <algorithm>
#include <ctime>

#include <opencv2/core.hpp>

#include "cloud/LineJoin.h"
#include "server/layout/ReadingOrder.h"
#include "server/ppocr/DbPostProcess.h"

namespace kelsor::server::ppocr {
namespace {

// Processor time of this thread: it does not grow while other programs share
// the cores.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

std::string Joined(const std::vector<TextBlock>& lines, const std::vector<std::size_t>& order) {
    std::string text;
    for (std::size_t i : order) {
        text += lines[i].words + "\n";
    }
    return text;
}

void AddCount(ErrorCount& sum, const ErrorCount& count) {
    sum.edits += count.edits;
    sum.characters += count.characters;
}

}  // namespace

void LayoutScore::Add(const LayoutScore& other) {
    AddCount(rowOrder, other.rowOrder);
    AddCount(readingOrder, other.readingOrder);
    breaks.truth += other.breaks.truth;
    breaks.found += other.breaks.found;
    breaks.right += other.breaks.right;
    engineSeconds += other.engineSeconds;
    layoutSeconds += other.layoutSeconds;
    pages += other.pages;
}

LayoutScore ScoreOrder(RecognitionEngine& engine, const DecodedPicture& picture,
                       const std::string& reference, std::vector<TextBlock>& lines) {
    LayoutScore score;
    score.pages = 1;
    std::string error;
    const double start = ThreadSeconds();
    // A picture the engine fails on counts with whatever it read.
    engine.Recognize(picture, lines, error);
    score.engineSeconds = ThreadSeconds() - start;
    const std::vector<layout::Quad> quads = layout::QuadsOf(lines);
    // Ordering takes microseconds: repeated, so the clock can see it.
    constexpr int kRepeats = 20;
    const double layoutStart = ThreadSeconds();
    for (int i = 0; i < kRepeats; ++i) {
        layout::ReadingOrder(quads);
    }
    // PP-OCR also looks for gutters in the picture before it recognises the
    // lines; that is layout work too.
    if (engine.Name() == "ppocr" && !picture.rgb.empty()) {
        const cv::Mat rgb(picture.height, picture.width, CV_8UC3,
                          const_cast<std::uint8_t*>(picture.rgb.data()));
        std::vector<ppocr::TextBox> boxes;
        for (const layout::Quad& quad : quads) {
            ppocr::TextBox& box = boxes.emplace_back();
            for (std::size_t i = 0; i < 4; ++i) {
                box.corners[i] = {static_cast<float>(quad[i].x), static_cast<float>(quad[i].y)};
            }
        }
        for (int i = 0; i < kRepeats; ++i) {
            SplitAtGutters(rgb, boxes);
        }
    }
    score.layoutSeconds = (ThreadSeconds() - layoutStart) / kRepeats;
    std::vector<std::size_t> asGiven(lines.size());
    for (std::size_t i = 0; i < asGiven.size(); ++i) {
        asGiven[i] = i;
    }
    score.readingOrder = CountErrors(reference, Joined(lines, asGiven));
    score.rowOrder = CountErrors(reference, Joined(lines, layout::RowOrder(quads)));
    return score;
}

LayoutScore ScoreColumnPage(RecognitionEngine& engine, const ColumnPage& page,
                            std::vector<TextBlock>& lines) {
    LayoutScore score = ScoreOrder(engine, page.picture, ColumnReference(page), lines);
    score.breaks = CountParagraphBreaks(page, EditedText(lines));
    return score;
}

std::string EditedText(const std::vector<TextBlock>& lines) {
    std::vector<PlacedLine> placed;
    for (const TextBlock& line : lines) {
        PlacedLine& p = placed.emplace_back();
        p.words = line.words;
        p.placed = true;
        for (std::size_t i = 0; i < 4; ++i) {
            p.location[i] = {static_cast<double>(line.location[i][0]),
                             static_cast<double>(line.location[i][1])};
        }
    }
    return JoinEditParagraphs(placed);
}

double Percent(const ErrorCount& count) {
    return 100.0 * static_cast<double>(count.edits) /
           static_cast<double>(std::max(1LL, count.characters));
}

double Precision(const BreakCount& count) {
    return static_cast<double>(count.right) / static_cast<double>(std::max(1LL, count.found));
}

double Recall(const BreakCount& count) {
    return static_cast<double>(count.right) / static_cast<double>(std::max(1LL, count.truth));
}

}  // namespace kelsor::server::ppocr
