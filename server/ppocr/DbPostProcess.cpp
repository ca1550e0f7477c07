#include "server/ppocr/DbPostProcess.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "server/layout/ReadingOrder.h"

namespace kelsor::server::ppocr {

namespace {

// Mean probability inside the polygon, over its bounding box only (the full
// map is far larger than a line).
float MeanInside(const cv::Mat& probability, const std::array<cv::Point2f, 4>& corners) {
    float minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
    for (const auto& p : corners) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    const int x0 = std::clamp(static_cast<int>(std::floor(minX)), 0, probability.cols - 1);
    const int x1 = std::clamp(static_cast<int>(std::ceil(maxX)), 0, probability.cols - 1);
    const int y0 = std::clamp(static_cast<int>(std::floor(minY)), 0, probability.rows - 1);
    const int y1 = std::clamp(static_cast<int>(std::ceil(maxY)), 0, probability.rows - 1);
    cv::Mat mask = cv::Mat::zeros(y1 - y0 + 1, x1 - x0 + 1, CV_8UC1);
    std::vector<cv::Point> polygon;
    for (const auto& p : corners) {
        polygon.emplace_back(cvRound(p.x - x0), cvRound(p.y - y0));
    }
    cv::fillPoly(mask, std::vector<std::vector<cv::Point>>{polygon}, cv::Scalar(1));
    const cv::Mat region = probability(cv::Rect(x0, y0, x1 - x0 + 1, y1 - y0 + 1));
    return static_cast<float>(cv::mean(region, mask)[0]);
}

// Corners of the part of `box` between fractions `from` and `to` of its length.
std::array<cv::Point2f, 4> PartOf(const TextBox& box, double from, double to) {
    const auto& c = box.corners;
    const auto along = [](cv::Point2f a, cv::Point2f b, double t) {
        return a + (b - a) * static_cast<float>(t);
    };
    return {along(c[0], c[1], from), along(c[0], c[1], to), along(c[3], c[2], to),
            along(c[3], c[2], from)};
}

float ShortSide(const cv::RotatedRect& rect) {
    return std::min(rect.size.width, rect.size.height);
}

}  // namespace

std::array<cv::Point2f, 4> OrderedCorners(const cv::RotatedRect& rect) {
    std::array<cv::Point2f, 4> points;
    rect.points(points.data());
    std::sort(points.begin(), points.end(),
              [](const cv::Point2f& a, const cv::Point2f& b) { return a.x < b.x; });
    // The two left-most points are the left edge, the upper of them top-left.
    cv::Point2f topLeft = points[0], bottomLeft = points[1];
    if (topLeft.y > bottomLeft.y) {
        std::swap(topLeft, bottomLeft);
    }
    cv::Point2f topRight = points[2], bottomRight = points[3];
    if (topRight.y > bottomRight.y) {
        std::swap(topRight, bottomRight);
    }
    return {topLeft, topRight, bottomRight, bottomLeft};
}

cv::RotatedRect Unclip(const cv::RotatedRect& rect, float ratio) {
    const float area = rect.size.area();
    const float perimeter = 2.0f * (rect.size.width + rect.size.height);
    if (perimeter <= 0.0f) {
        return rect;
    }
    const float distance = area * ratio / perimeter;
    return cv::RotatedRect(
        rect.center,
        cv::Size2f(rect.size.width + 2.0f * distance, rect.size.height + 2.0f * distance),
        rect.angle);
}

std::vector<TextBox> FindTextBoxes(const cv::Mat& probability, const DbSettings& settings,
                                   float scaleX, float scaleY, cv::Size pictureSize) {
    std::vector<TextBox> boxes;
    if (probability.empty() || probability.type() != CV_32FC1) {
        return boxes;
    }
    cv::Mat bitmap = probability > settings.threshold;
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(bitmap, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
    if (static_cast<int>(contours.size()) > settings.maxCandidates) {
        std::partial_sort(
            contours.begin(), contours.begin() + settings.maxCandidates, contours.end(),
            [](const auto& a, const auto& b) { return cv::contourArea(a) > cv::contourArea(b); });
        contours.resize(settings.maxCandidates);
    }
    const float maxX = static_cast<float>(std::max(pictureSize.width - 1, 0));
    const float maxY = static_cast<float>(std::max(pictureSize.height - 1, 0));
    for (const auto& contour : contours) {
        if (contour.size() < 3) {
            continue;
        }
        const cv::RotatedRect shrunk = cv::minAreaRect(contour);
        if (ShortSide(shrunk) < settings.minSide) {
            continue;
        }
        const float score = MeanInside(probability, OrderedCorners(shrunk));
        if (score < settings.boxThreshold) {
            continue;
        }
        const cv::RotatedRect grown = Unclip(shrunk, settings.unclipRatio);
        if (ShortSide(grown) < settings.minSide + 2.0f) {
            continue;
        }
        TextBox box;
        box.score = score;
        box.corners = OrderedCorners(grown);
        for (auto& p : box.corners) {
            p.x = std::clamp(std::round(p.x * scaleX), 0.0f, maxX);
            p.y = std::clamp(std::round(p.y * scaleY), 0.0f, maxY);
        }
        boxes.push_back(box);
    }
    return boxes;
}

layout::InkRuns InkAlong(const cv::Mat& rgb, const TextBox& box) {
    const auto& c = box.corners;
    const double length = cv::norm(c[1] - c[0]), height = cv::norm(c[3] - c[0]);
    if (rgb.empty() || rgb.type() != CV_8UC3 || !(length >= height) || !(height >= 4.0)) {
        return {};
    }
    // Tall lines are read at a few dozen pixels: enough to see a gap of an em.
    const double scale = std::min(1.0, 32.0 / height);
    const int w = std::max(1, static_cast<int>(std::lround(length * scale)));
    const int h = std::max(1, static_cast<int>(std::lround(height * scale)));
    // An affine map, not a perspective one: the corners are rounded, and a
    // perspective map of a box a pixel taller at one end than the other
    // moves its middle by several pixels, so that places along the strip
    // would no longer be proportional to places along the box.
    const std::array<cv::Point2f, 3> from{c[0], c[1], c[3]};
    const std::array<cv::Point2f, 3> strip{cv::Point2f(0, 0), cv::Point2f(w, 0), cv::Point2f(0, h)};
    cv::Mat straight, gray, dark;
    cv::warpAffine(rgb, straight, cv::getAffineTransform(from.data(), strip.data()), cv::Size(w, h),
                   cv::INTER_AREA, cv::BORDER_REPLICATE);
    cv::cvtColor(straight, gray, cv::COLOR_RGB2GRAY);
    double darkest = 0.0, lightest = 0.0;
    cv::minMaxLoc(gray, &darkest, &lightest);
    if (lightest - darkest < 48.0) {
        return {};
    }
    cv::threshold(gray, dark, 0, 1, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
    // Ink is the smaller share, dark on light or light on dark.
    if (2 * cv::countNonZero(dark) > w * h) {
        dark = 1 - dark;
    }
    cv::Mat columns;
    cv::reduce(dark, columns, 0, cv::REDUCE_SUM, CV_32S);
    const int inked = std::max(1, h / 16), bridged = std::max(1, h / 3);
    layout::InkRuns runs;
    int end = -1;
    for (int x = 0; x < w; ++x) {
        if (columns.at<int>(0, x) < inked) {
            continue;
        }
        if (end < 0 || x - end > bridged) {
            runs.emplace_back(static_cast<double>(x) / w, 0.0);
        }
        end = x + 1;
        runs.back().second = static_cast<double>(end) / w;
    }
    return runs;
}

std::vector<TextBox> SplitAtGutters(const cv::Mat& rgb, const std::vector<TextBox>& boxes) {
    std::vector<layout::Quad> quads;
    std::vector<layout::InkRuns> ink;
    for (const TextBox& box : boxes) {
        layout::Quad& quad = quads.emplace_back();
        for (std::size_t i = 0; i < 4; ++i) {
            quad[i] = {box.corners[i].x, box.corners[i].y};
        }
        ink.push_back(InkAlong(rgb, box));
    }
    const auto pieces = layout::LinePieces(quads, ink, layout::SkewOfLines(quads));
    std::vector<TextBox> split;
    split.reserve(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (pieces[i] == std::vector<layout::Span>{{0.0, 1.0}}) {
            split.push_back(boxes[i]);
            continue;
        }
        for (auto [from, to] : pieces[i]) {
            split.push_back({PartOf(boxes[i], from, to), boxes[i].score});
        }
    }
    return split;
}

void SortReadingOrder(std::vector<TextBlock>& lines) {
    layout::SortLines(lines);
}

}  // namespace kelsor::server::ppocr
