#include "server/ppocr/OneLine.h"

#include <algorithm>
#include <cmath>

namespace kelsor::server::ppocr {
namespace {

// Ink that covers more of its box than this is a filled shape (a button,
// a bar), not text.
constexpr double kMaxTextDensity = 0.7;

TextBox RectBox(double left, double top, double right, double bottom) {
    const auto x0 = static_cast<float>(left), y0 = static_cast<float>(top);
    const auto x1 = static_cast<float>(right), y1 = static_cast<float>(bottom);
    return {{cv::Point2f(x0, y0), cv::Point2f(x1, y0), cv::Point2f(x1, y1), cv::Point2f(x0, y1)},
            1.0f};
}

double Length(const TextBlock& line) {
    const auto& l = line.location;
    return std::max(std::hypot(l[1][0] - l[0][0], l[1][1] - l[0][1]),
                    std::hypot(l[2][0] - l[3][0], l[2][1] - l[3][1]));
}

}  // namespace

std::optional<TextBox> WholeLineBox(const layout::InkExtent& ink, const layout::Padding& padding,
                                    int height, const PpOcrSettings& settings) {
    if (settings.oneLineHeightRatio <= 0.0 || !ink.plain || ink.Empty() || ink.bands != 1 ||
        ink.density > kMaxTextDensity || ink.thinMiddle) {
        return std::nullopt;
    }
    const double across = ink.bottom - ink.top;
    const double along = ink.right - ink.left;
    // A column of text or a page turned by a quarter is taller than long.
    if (across < 4.0 || along < across || height > settings.oneLineHeightRatio * across) {
        return std::nullopt;
    }
    const double aroundAcross = settings.oneLineContextAcross * across;
    const double aroundAlong = settings.oneLineContextAlong * across;
    const double stripWidth =
        settings.recognitionHeight * (along + 2.0 * aroundAlong) / (across + 2.0 * aroundAcross);
    if (stripWidth > settings.recognitionMaxWidth) {
        return std::nullopt;
    }
    return RectBox(padding.left + ink.left - aroundAlong, padding.top + ink.top - aroundAcross,
                   padding.left + ink.right + aroundAlong, padding.top + ink.bottom + aroundAcross);
}

std::optional<TextBox> RowOfPieces(const std::vector<TextBlock>& lines, int height,
                                   const PpOcrSettings& settings) {
    if (settings.oneLineHeightRatio <= 0.0 || lines.size() < 2) {
        return std::nullopt;
    }
    double left = 1e9, right = -1e9, top = 1e9, bottom = -1e9;
    double lowestTop = -1e9, highestBottom = 1e9;
    for (const TextBlock& line : lines) {
        double lineTop = 1e9, lineBottom = -1e9;
        for (const auto& corner : line.location) {
            left = std::min(left, static_cast<double>(corner[0]));
            right = std::max(right, static_cast<double>(corner[0]));
            lineTop = std::min(lineTop, static_cast<double>(corner[1]));
            lineBottom = std::max(lineBottom, static_cast<double>(corner[1]));
        }
        top = std::min(top, lineTop);
        bottom = std::max(bottom, lineBottom);
        lowestTop = std::max(lowestTop, lineTop);
        highestBottom = std::min(highestBottom, lineBottom);
    }
    // One row: every piece overlaps every other across most of the row.
    const double across = bottom - top;
    if (across < 4.0 || highestBottom - lowestTop < 0.5 * across || right - left < across ||
        height > settings.oneLineHeightRatio * across) {
        return std::nullopt;
    }
    return RectBox(left, top, right, bottom);
}

double ReadingScore(const std::vector<TextBlock>& lines, double width) {
    double length = 0.0, weighted = 0.0;
    for (const TextBlock& line : lines) {
        const double l = Length(line);
        length += l;
        weighted += line.confidence * l;
    }
    if (length <= 0.0 || width <= 0.0) {
        return 0.0;
    }
    return weighted / length * std::min(1.0, length / width);
}

void MapIntoPicture(std::vector<TextBlock>& lines, const layout::Padding& padding, cv::Size size) {
    for (TextBlock& line : lines) {
        for (auto& corner : line.location) {
            corner[0] = std::clamp(corner[0] - padding.left, 0, size.width - 1);
            corner[1] = std::clamp(corner[1] - padding.top, 0, size.height - 1);
        }
    }
}

}  // namespace kelsor::server::ppocr
