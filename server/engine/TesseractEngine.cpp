#include "server/engine/TesseractEngine.h"

#include "server/engine/CjkSpacing.h"
#include "server/layout/Gutters.h"
#include "server/layout/TextMargin.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>

namespace kelsor::server {
namespace {

// Lines lower than this (in pixels) are recognised far better when enlarged.
constexpr int kSmallLineHeight = 24;
constexpr int kTargetLineHeight = 40;
constexpr double kMaxScale = 4.0;
constexpr double kMaxScaledPixels = 40e6;

struct PixDeleter {
    void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

PixPtr ToPix(const DecodedPicture& picture) {
    PixPtr pix(pixCreate(picture.width, picture.height, 32));
    if (!pix) {
        return nullptr;
    }
    l_uint32* row = pixGetData(pix.get());
    const l_int32 wordsPerLine = pixGetWpl(pix.get());
    const std::uint8_t* in = picture.rgb.data();
    for (int y = 0; y < picture.height; ++y, row += wordsPerLine) {
        for (int x = 0; x < picture.width; ++x, in += 3) {
            composeRGBPixel(in[0], in[1], in[2], &row[x]);
        }
    }
    return pix;
}

std::string TrimLine(const char* text) {
    std::string line = text != nullptr ? text : "";
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ' || line.back() == '\r')) {
        line.pop_back();
    }
    std::size_t start = 0;
    while (start < line.size() && line[start] == ' ') {
        ++start;
    }
    return line.substr(start);
}

int MedianLineHeight(const std::vector<TextBlock>& lines) {
    std::vector<int> heights;
    for (const TextBlock& block : lines) {
        heights.push_back(block.location[2][1] - block.location[0][1]);
    }
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

// The line at `it` with its baseline, unless it reads as nothing.
bool AddLine(const tesseract::ResultIterator& it, double scale, std::vector<TextBlock>& lines,
             std::vector<layout::Segment>& baselines) {
    std::unique_ptr<char[]> text(it.GetUTF8Text(tesseract::RIL_TEXTLINE));
    const std::string words = RemoveSpacesBetweenCjk(TrimLine(text.get()));
    int left = 0, top = 0, right = 0, bottom = 0;
    if (words.empty() || !it.BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom)) {
        return false;
    }
    auto unscale = [scale](int v) { return static_cast<int>(std::lround(v / scale)); };
    left = unscale(left);
    top = unscale(top);
    right = unscale(right);
    bottom = unscale(bottom);
    TextBlock block;
    block.words = words;
    block.location = {{{left, top}, {right, top}, {right, bottom}, {left, bottom}}};
    block.confidence = std::clamp(it.Confidence(tesseract::RIL_TEXTLINE) / 100.0, 0.0, 1.0);
    lines.push_back(std::move(block));
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (it.Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2)) {
        baselines.push_back({{x1 / scale, y1 / scale}, {x2 / scale, y2 / scale}});
    }
    return true;
}

}  // namespace

void SplitAtGutters(std::vector<TextBlock>& lines, const std::vector<std::vector<LineWord>>& words,
                    double skew) {
    // The words are where a line holds ink.
    std::vector<layout::InkRuns> ink(lines.size());
    for (std::size_t i = 0; i < lines.size() && i < words.size(); ++i) {
        const double left = lines[i].location[0][0];
        const double width = std::max(lines[i].location[1][0] - left, 1.0);
        for (const LineWord& word : words[i]) {
            ink[i].emplace_back((word.left - left) / width, (word.right - left) / width);
        }
    }
    const auto pieces = layout::LinePieces(layout::QuadsOf(lines), ink, skew);
    std::vector<TextBlock> split;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (pieces[i] == std::vector<layout::Span>{{0.0, 1.0}}) {
            split.push_back(std::move(lines[i]));
            continue;
        }
        const int left = lines[i].location[0][0];
        const double width = std::max(lines[i].location[1][0] - left, 1);
        for (auto [from, to] : pieces[i]) {
            std::string text;
            for (const LineWord& word : words[i]) {
                const double middle = ((word.left + word.right) / 2 - left) / width;
                if (middle >= from && middle <= to) {
                    text += (text.empty() ? "" : " ") + word.text;
                }
            }
            text = RemoveSpacesBetweenCjk(text);
            if (text.empty()) {
                continue;
            }
            TextBlock piece = lines[i];
            piece.words = std::move(text);
            const int x0 = left + static_cast<int>(std::lround(from * width));
            const int x1 = left + static_cast<int>(std::lround(to * width));
            piece.location[0][0] = piece.location[3][0] = x0;
            piece.location[1][0] = piece.location[2][0] = x1;
            split.push_back(std::move(piece));
        }
    }
    lines = std::move(split);
}

TesseractEngine::TesseractEngine(const TesseractSettings& settings)
    : m_settings(settings), m_api(std::make_unique<tesseract::TessBaseAPI>()) {}

TesseractEngine::~TesseractEngine() {
    if (m_api) {
        m_api->End();
    }
}

std::unique_ptr<RecognitionEngine> TesseractEngine::CreateWith(const TesseractSettings& settings,
                                                               std::string& error) {
    std::unique_ptr<TesseractEngine> engine(new TesseractEngine(settings));
    if (engine->m_api->Init(nullptr, kLanguages, tesseract::OEM_LSTM_ONLY) != 0) {
        error = std::string("cannot load the Tesseract models ") + kLanguages;
        return nullptr;
    }
    engine->m_api->SetVariable("debug_file", "/dev/null");
    engine->m_api->SetPageSegMode(tesseract::PSM_AUTO);
    return engine;
}

bool TesseractEngine::Recognize(const DecodedPicture& picture, std::vector<TextBlock>& lines,
                                std::string& error) {
    if (!m_settings.textMargin) {
        return RecognizePadded(picture, lines, error);
    }
    // Text that touches an edge is read with a margin of the picture's own
    // edge colour; the boxes come back to the picture as it was sent. The
    // sides that need one get twice the detector's: Tesseract still lost
    // Chinese characters at the edge with one text height.
    const layout::InkExtent ink = layout::FindInk(picture);
    const auto paddingFor = [&](int margin) {
        return layout::PaddingFor(ink, picture.width, picture.height, margin);
    };
    layout::Padding padding = paddingFor(layout::MarginForText(ink.textHeight));
    if (padding.Any()) {
        const layout::Padding wide = paddingFor(2 * layout::MarginForText(ink.textHeight));
        padding = {padding.left > 0 ? wide.left : 0, padding.top > 0 ? wide.top : 0,
                   padding.right > 0 ? wide.right : 0, padding.bottom > 0 ? wide.bottom : 0};
    }
    if (!padding.Any()) {
        return RecognizePadded(picture, lines, error);
    }
    if (!RecognizePadded(layout::Padded(picture, padding, ink.background), lines, error)) {
        return false;
    }
    for (TextBlock& line : lines) {
        for (auto& corner : line.location) {
            corner[0] = std::clamp(corner[0] - padding.left, 0, picture.width - 1);
            corner[1] = std::clamp(corner[1] - padding.top, 0, picture.height - 1);
        }
    }
    return true;
}

bool TesseractEngine::RecognizePadded(const DecodedPicture& picture, std::vector<TextBlock>& lines,
                                      std::string& error) {
    lines.clear();
    std::vector<layout::Segment> baselines;
    std::vector<std::vector<LineWord>> words;
    if (!RecognizeScaled(picture, 1.0, lines, baselines, words, error)) {
        return false;
    }
    double scale = 1.0;
    if (!lines.empty()) {
        const int median = MedianLineHeight(lines);
        if (median < kSmallLineHeight) {
            scale = std::min(kMaxScale, double(kTargetLineHeight) / std::max(median, 1));
        }
    } else if (picture.width <= 2000 && picture.height <= 2000) {
        scale = 2.0;  // text too small to be found at all
    }
    const double pixels = double(picture.width) * picture.height;
    scale = std::min(scale, std::sqrt(kMaxScaledPixels / pixels));
    std::vector<TextBlock> scaled;
    std::vector<layout::Segment> scaledBaselines;
    std::vector<std::vector<LineWord>> scaledWords;
    // A failed second pass keeps the lines of the first.
    if (scale >= 1.25 &&
        RecognizeScaled(picture, scale, scaled, scaledBaselines, scaledWords, error) &&
        (!scaled.empty() || lines.empty())) {
        lines = std::move(scaled);
        baselines = std::move(scaledBaselines);
        words = std::move(scaledWords);
    }
    const double skew = layout::MedianSkew(baselines);
    SplitAtGutters(lines, words, skew);
    // Tesseract's own order follows its blocks, which need not be the order
    // a reader takes.
    layout::SortLines(lines, skew);
    return true;
}

bool TesseractEngine::RecognizeScaled(const DecodedPicture& picture, double scale,
                                      std::vector<TextBlock>& lines,
                                      std::vector<layout::Segment>& baselines,
                                      std::vector<std::vector<LineWord>>& words,
                                      std::string& error) {
    PixPtr pix = ToPix(picture);
    if (pix && scale != 1.0) {
        pix.reset(
            pixScale(pix.get(), static_cast<l_float32>(scale), static_cast<l_float32>(scale)));
    }
    if (!pix) {
        error = "cannot prepare the picture for recognition";
        return false;
    }
    m_api->SetImage(pix.get());
    if (m_api->Recognize(nullptr) != 0) {
        m_api->Clear();
        error = "Tesseract recognition failed";
        return false;
    }
    std::unique_ptr<tesseract::ResultIterator> it(m_api->GetIterator());
    // Word by word; a line's own text, box and baseline come with its first
    // word, and a line left out takes its words with it.
    bool kept = false;
    if (it) {
        do {
            if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
                kept = AddLine(*it, scale, lines, baselines);
                if (kept) {
                    words.emplace_back();
                }
            }
            int left = 0, top = 0, right = 0, bottom = 0;
            std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
            if (kept && text &&
                it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom)) {
                words.back().push_back({text.get(), left / scale, right / scale});
            }
        } while (it->Next(tesseract::RIL_WORD));
    }
    m_api->Clear();
    return true;
}

}  // namespace kelsor::server
