#include "server/ppocr/PpOcrEngine.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include <opencv2/imgproc.hpp>

#include "server/layout/ChinesePunctuation.h"
#include "server/ppocr/ColumnStrip.h"
#include "server/ppocr/LineDetector.h"
#include "server/ppocr/LineReader.h"
#include "server/ppocr/ModelRuntime.h"
#include "server/ppocr/OneLine.h"
#include "server/ppocr/Orientation.h"

namespace kelsor::server::ppocr {

namespace {

// Pictures beyond this many pixels are refused rather than risking the memory
// of the whole server on one request.
constexpr long long kMaxPixels = 100LL * 1000 * 1000;
// A column's reading as its characters side by side is kept unless the
// reading laid down is surer by more than this.
constexpr float kColumnPreference = 0.03f;

}  // namespace

std::unique_ptr<PpOcrEngine> PpOcrEngine::Create(const PpOcrModelPaths& paths,
                                                 const PpOcrSettings& settings,
                                                 std::string& error) {
    auto runtime = std::make_unique<ModelRuntime>();
    if (!runtime->Load(paths, error)) {
        return nullptr;
    }
    return std::unique_ptr<PpOcrEngine>(new PpOcrEngine(std::move(runtime), settings));
}

PpOcrEngine::PpOcrEngine(std::unique_ptr<ModelRuntime> runtime, const PpOcrSettings& settings)
    : m_runtime(std::move(runtime)),
      m_settings(settings),
      m_detector(std::make_unique<LineDetector>(*m_runtime, m_settings, m_times)),
      m_reader(std::make_unique<LineReader>(*m_runtime, m_settings, m_times)),
      m_orientation(std::make_unique<Orientation>(*m_runtime, m_settings, m_times, *m_reader)) {}

PpOcrEngine::~PpOcrEngine() = default;

void PpOcrEngine::BorrowCoresFrom(CoreLender* lender) {
    m_reader->BorrowCoresFrom(lender);
}

bool PpOcrEngine::Recognize(const DecodedPicture& picture, std::vector<TextBlock>& lines,
                            std::string& error) {
    lines.clear();
    if (picture.width <= 0 || picture.height <= 0) {
        error = "the picture is empty";
        return false;
    }
    if (static_cast<long long>(picture.width) * picture.height > kMaxPixels) {
        error = "the picture is too large";
        return false;
    }
    if (picture.rgb.size() != static_cast<std::size_t>(picture.width) * picture.height * 3) {
        error = "the picture data does not match its size";
        return false;
    }
    try {
        // The decoded pixels are read in place; the channel order is swapped
        // while the tensors are written.
        const cv::Mat rgb(picture.height, picture.width, CV_8UC3,
                          const_cast<std::uint8_t*>(picture.rgb.data()));
        return RecognizeRgb(picture, rgb, lines, error);
    } catch (const Ort::Exception& e) {
        error = std::string("recognition failed: ") + e.what();
    } catch (const cv::Exception& e) {
        error = std::string("recognition failed: ") + e.what();
    } catch (const std::bad_alloc&) {
        error = "recognition failed: out of memory";
    } catch (const std::exception& e) {
        error = std::string("recognition failed: ") + e.what();
    }
    return false;
}

bool PpOcrEngine::RecognizeRgb(const DecodedPicture& picture, const cv::Mat& rgb,
                               std::vector<TextBlock>& lines, std::string& error) {
    // Text that touches an edge is given the margin the detector needs, in
    // the picture's own edge colour; every box comes back to the picture as
    // it was sent.
    const double start = ThreadCpuSeconds();
    const bool lookAtInk = m_settings.textMargin || m_settings.oneLineHeightRatio > 0.0;
    const layout::InkExtent ink = lookAtInk ? layout::FindInk(picture) : layout::InkExtent{};
    const layout::Padding padding = m_settings.textMargin
                                        ? layout::PaddingFor(ink, picture.width, picture.height,
                                                             layout::MarginForText(ink.textHeight))
                                        : layout::Padding{};
    cv::Mat padded = rgb;
    if (padding.Any()) {
        cv::copyMakeBorder(rgb, padded, padding.top, padding.bottom, padding.left, padding.right,
                           cv::BORDER_CONSTANT,
                           cv::Scalar(ink.background[0], ink.background[1], ink.background[2]));
    }
    m_times.detection += ThreadCpuSeconds() - start;
    // A picture that is one line is read whole; when that reading is not
    // sure, the detected lines are read as well and the better one is kept.
    std::optional<TextBlock> whole;
    const std::optional<TextBox> wholeBox = WholeLineBox(ink, padding, picture.height, m_settings);
    if (wholeBox) {
        whole = ReadWholeLine(padded, *wholeBox);
    }
    if (whole && whole->confidence >= m_settings.oneLineSure) {
        lines = {*whole};
    } else {
        if (!ReadDetectedLines(padded, lines, error)) {
            return false;
        }
        if (!whole && !ink.plain) {
            // Without a plain ground the ink does not tell a line; the
            // detector's pieces of one row do.
            if (const std::optional<TextBox> row = RowOfPieces(lines, padded.rows, m_settings)) {
                whole = ReadWholeLine(padded, *row);
            }
        }
        if (whole && whole->confidence >= m_settings.minLineConfidence &&
            whole->confidence >=
                ReadingScore(lines, std::hypot(whole->location[1][0] - whole->location[0][0],
                                               whole->location[1][1] - whole->location[0][1]))) {
            lines = {*whole};
        }
    }
    MapIntoPicture(lines, padding, rgb.size());
    ++m_times.pictures;
    return true;
}

std::optional<TextBlock> PpOcrEngine::ReadWholeLine(const cv::Mat& rgb, const TextBox& box) {
    const double start = ThreadCpuSeconds();
    const std::vector<TextBox> boxes = {box};
    std::vector<cv::Mat> strips = m_reader->Strips(rgb, boxes);
    m_orientation->TurnUpsideDownLines(boxes, {}, strips);
    std::vector<DecodedLine> decoded;
    m_reader->Read(strips, decoded);
    m_times.recognition += ThreadCpuSeconds() - start;
    ++m_times.lines;
    if (decoded.front().text.empty()) {
        return std::nullopt;
    }
    TextBlock block;
    block.words = layout::ChinesePunctuation(decoded.front().text);
    block.confidence = decoded.front().confidence;
    for (int corner = 0; corner < 4; ++corner) {
        block.location[corner] = {static_cast<int>(std::lround(box.corners[corner].x)),
                                  static_cast<int>(std::lround(box.corners[corner].y))};
    }
    return block;
}

bool PpOcrEngine::ReadDetectedLines(const cv::Mat& rgb, std::vector<TextBlock>& lines,
                                    std::string& error) {
    lines.clear();
    std::vector<TextBox> boxes;
    if (!m_detector->DetectLines(rgb, boxes, error)) {
        return false;
    }
    const double oriented = ThreadCpuSeconds();
    std::vector<JudgedLine> judged;
    const int turns = boxes.empty() ? 0 : m_orientation->PageTurns(rgb, boxes, judged);
    m_times.orientation += ThreadCpuSeconds() - oriented;
    // A turned page is read upright, so that its lines come in reading order.
    cv::Mat upright = rgb;
    if (turns != 0) {
        cv::rotate(rgb, upright,
                   turns == 1   ? cv::ROTATE_90_CLOCKWISE
                   : turns == 2 ? cv::ROTATE_180
                                : cv::ROTATE_90_COUNTERCLOCKWISE);
        if (!m_detector->DetectLines(upright, boxes, error)) {
            return false;
        }
        judged.clear();  // judged on the page as sent
    }
    const double boxed = ThreadCpuSeconds();
    boxes = JoinColumns(upright, SplitAtGutters(upright, boxes));
    std::vector<cv::Mat> strips = m_reader->Strips(upright, boxes);
    m_orientation->TurnUpsideDownLines(boxes, judged, strips);
    // A column is read turned on its side and as its characters side by
    // side; the surer reading wins (a line of a turned page reads well only
    // turned, vertical Chinese only side by side).
    // A box much narrower than the page's text is high is a speck or a
    // rule, not a column of characters.
    std::vector<float> across;
    for (const TextBox& box : boxes) {
        const cv::Size2f size = BoxSize(box);
        across.push_back(std::min(size.width, size.height));
    }
    std::nth_element(across.begin(), across.begin() + across.size() / 2, across.end());
    const float textHeight = across.empty() ? 0.0f : across[across.size() / 2];
    std::vector<std::size_t> columns;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const cv::Size2f size = BoxSize(boxes[i]);
        if (IsTall(size) && size.width >= 0.5f * textHeight) {
            cv::Mat stacked = StackedColumn(upright, boxes[i], m_settings.recognitionHeight,
                                            m_settings.recognitionMaxWidth);
            if (!stacked.empty()) {
                columns.push_back(i);
                strips.push_back(std::move(stacked));
            }
        }
    }
    std::vector<DecodedLine> decoded;
    m_reader->Read(strips, decoded);
    for (std::size_t k = 0; k < columns.size(); ++k) {
        DecodedLine& stacked = decoded[boxes.size() + k];
        DecodedLine& laidDown = decoded[columns[k]];
        // Laid down, a column's marks lie on their side (︐ reads as ’);
        // a column of upright characters reads as surely either way, so
        // the reading in order of its own marks wins unless clearly worse.
        if (stacked.confidence + kColumnPreference > laidDown.confidence) {
            laidDown = std::move(stacked);
        } else {
            laidDown.text = layout::LaidDownColumnMarks(laidDown.text);
        }
    }
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (decoded[i].text.empty() || decoded[i].confidence < m_settings.minLineConfidence) {
            continue;
        }
        TextBlock block;
        block.words = layout::ChinesePunctuation(decoded[i].text);
        block.confidence = decoded[i].confidence;
        // Corners on the upright page, in the text's own order (top-left of
        // the text first).
        for (int corner = 0; corner < 4; ++corner) {
            block.location[corner] = {static_cast<int>(std::lround(boxes[i].corners[corner].x)),
                                      static_cast<int>(std::lround(boxes[i].corners[corner].y))};
        }
        lines.push_back(std::move(block));
    }
    // Lines are ordered as read on the upright page, after recognition, so
    // that marks which read as nothing never bridge a column gap; only then
    // do their corners go back to the picture as it was sent.
    SortReadingOrder(lines);
    if (turns != 0) {
        for (TextBlock& block : lines) {
            for (auto& corner : block.location) {
                const cv::Point2f p = TurnedBack(
                    cv::Point2f(static_cast<float>(corner[0]), static_cast<float>(corner[1])),
                    turns, rgb.size());
                corner = {static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y))};
            }
        }
    }
    m_times.recognition += ThreadCpuSeconds() - boxed;
    m_times.lines += static_cast<long long>(boxes.size());
    return true;
}

std::unique_ptr<RecognitionEngine> CreateDefaultPpOcrEngine(std::string& error) {
    return PpOcrEngine::Create(PpOcrModelPaths::InFolder(DefaultPpOcrModelFolder()), error);
}

bool PpOcrInstalled(std::string& reason) {
    // The runtime is linked into the program, so only the models can be absent.
    std::string missing;
    if (!PpOcrModelPaths::InFolder(DefaultPpOcrModelFolder()).Complete(missing)) {
        reason = "PP-OCR model file missing: " + missing;
        return false;
    }
    return true;
}

}  // namespace kelsor::server::ppocr
