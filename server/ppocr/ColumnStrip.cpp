#include "server/ppocr/ColumnStrip.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "server/layout/VerticalColumns.h"
#include "server/ppocr/LineReader.h"
#include "server/ppocr/ModelRuntime.h"

namespace kelsor::server::ppocr {
namespace {

// 1 where the crop holds ink: the smaller side of its Otsu threshold, so
// dark text on light and light on dark both count. Empty without contrast.
cv::Mat InkOf(const cv::Mat& crop) {
    cv::Mat grey, ink;
    cv::cvtColor(crop, grey, cv::COLOR_RGB2GRAY);
    double darkest = 0.0, lightest = 0.0;
    cv::minMaxLoc(grey, &darkest, &lightest);
    if (lightest - darkest < 48.0) {
        return {};
    }
    cv::threshold(grey, ink, 0, 1, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
    if (2 * cv::countNonZero(ink) > ink.rows * ink.cols) {
        ink = 1 - ink;
    }
    return ink;
}

// Runs of inked columns of `ink`, gaps of at most `bridge` columns closed.
std::vector<std::pair<int, int>> InkRuns(const cv::Mat& ink, int bridge) {
    cv::Mat perColumn;
    cv::reduce(ink, perColumn, 0, cv::REDUCE_SUM, CV_32S);
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < ink.cols; ++x) {
        if (perColumn.at<int>(0, x) == 0) {
            continue;
        }
        if (runs.empty() || x - runs.back().second > bridge) {
            runs.emplace_back(x, x + 1);
        }
        runs.back().second = x + 1;
    }
    return runs;
}

// The run of inked columns nearest the middle (the widest of those that
// cover it): the column of text, not the edges of its neighbours. {0, 0}
// without ink.
std::pair<int, int> MiddleRun(const std::vector<std::pair<int, int>>& runs, int width) {
    if (runs.empty()) {
        return {0, 0};
    }
    const double middle = width / 2.0;
    auto distance = [&](const std::pair<int, int>& r) {
        return std::max({r.first - middle, middle - r.second, 0.0});
    };
    return *std::min_element(runs.begin(), runs.end(), [&](const auto& a, const auto& b) {
        const double da = distance(a), db = distance(b);
        return da != db ? da < db : a.second - a.first > b.second - b.first;
    });
}

struct Piece {
    int top = 0;
    int bottom = 0;  // one past the last inked row
};

// Small marks are punctuation: at most this share of the column's width
// each way.
constexpr double kMark = 0.45;

// The box made longer by `by` pixels at both ends, within the picture.
TextBox Lengthened(const TextBox& box, float by, cv::Size picture) {
    const auto& c = box.corners;
    const cv::Point2f down = c[3] - c[0];
    const float length = std::max(1.0f, static_cast<float>(cv::norm(down)));
    const cv::Point2f step = down * (by / length);
    TextBox longer = box;
    longer.corners = {c[0] - step, c[1] - step, c[2] + step, c[3] + step};
    for (cv::Point2f& p : longer.corners) {
        p.x = std::clamp(p.x, 0.0f, static_cast<float>(picture.width - 1));
        p.y = std::clamp(p.y, 0.0f, static_cast<float>(picture.height - 1));
    }
    return longer;
}

}  // namespace

std::vector<TextBox> ColumnInk(const cv::Mat& picture, const TextBox& box) {
    const cv::Mat crop = UprightCrop(picture, box, 1.0);
    const cv::Mat ink = InkOf(crop);
    if (ink.empty()) {
        return {box};
    }
    const auto runs = InkRuns(ink, std::max(1, crop.cols / 12));
    // Two columns the detector took for one lie whole inside its box, as
    // wide as each other; the edge of a neighbour is cut by the box's side.
    int widest = 0;
    for (const auto& [from, to] : runs) {
        widest = std::max(widest, to - from);
    }
    std::vector<std::pair<int, int>> columns;
    for (const auto& run : runs) {
        if (run.first > 0 && run.second < crop.cols && run.second - run.first >= 0.6 * widest) {
            columns.push_back(run);
        }
    }
    if (columns.size() < 2) {
        columns = {MiddleRun(runs, crop.cols)};
    }
    std::vector<TextBox> narrowed;
    for (const auto& [from, to] : columns) {
        if (to <= from) {
            return {box};
        }
        // A little white on each side, as a line's box has.
        const double pad = 0.15 * (to - from);
        const double a = std::max(0.0, from - pad) / crop.cols;
        const double b = std::min<double>(crop.cols, to + pad) / crop.cols;
        TextBox column = box;
        const auto& c = box.corners;
        column.corners = {c[0] + (c[1] - c[0]) * static_cast<float>(a),
                          c[0] + (c[1] - c[0]) * static_cast<float>(b),
                          c[3] + (c[2] - c[3]) * static_cast<float>(b),
                          c[3] + (c[2] - c[3]) * static_cast<float>(a)};
        narrowed.push_back(column);
    }
    // Right to left, as columns are read.
    std::reverse(narrowed.begin(), narrowed.end());
    return narrowed;
}

cv::Mat StackedColumn(const cv::Mat& picture, const TextBox& box, int height, int maxWidth) {
    const cv::Size2f size = BoxSize(box);
    // Small columns are enlarged by the crop itself.
    const double scale = std::max(1.0, 1.5 * height / std::max(1.0f, size.width));
    const cv::Mat crop = UprightCrop(picture, box, scale);
    const cv::Mat ink = InkOf(crop);
    if (ink.empty()) {
        return {};
    }
    const auto [x0, x1] = MiddleRun(InkRuns(ink, std::max(1, crop.cols / 12)), crop.cols);
    const int em = x1 - x0;
    if (em <= 0) {
        return {};
    }
    const cv::Mat column = ink.colRange(x0, x1);
    cv::Mat perRow;
    cv::reduce(column, perRow, 1, cv::REDUCE_SUM, CV_32S);
    std::vector<Piece> pieces;
    for (int y = 0; y < column.rows; ++y) {
        if (perRow.at<int>(y, 0) == 0) {
            continue;
        }
        if (pieces.empty() || pieces.back().bottom < y) {
            pieces.push_back({y, y + 1});
        }
        pieces.back().bottom = y + 1;
    }
    // Marks cut by the box's ends belong to the column's neighbours above
    // and below.
    std::erase_if(pieces, [&](const Piece& p) {
        return (p.top == 0 || p.bottom == column.rows) && p.bottom - p.top < kMark * em;
    });
    // A mark set close to a character may touch it by a blurred row: a
    // piece higher than a character is first cut at a row of hardly any ink
    // that leaves each part at least a sixth of a character.
    const int thin = std::max(1, em / 20), least = std::max(1, em / 6);
    std::vector<Piece> parted;
    std::vector<Piece> todo(pieces.rbegin(), pieces.rend());
    while (!todo.empty()) {
        const Piece p = todo.back();
        todo.pop_back();
        int cut = -1;
        if (p.bottom - p.top > 1.1 * em) {
            for (int y = p.top + least; y < p.bottom - least; ++y) {
                if (perRow.at<int>(y, 0) <= thin &&
                    (cut < 0 || perRow.at<int>(y, 0) < perRow.at<int>(cut, 0))) {
                    cut = y;
                }
            }
        }
        if (cut < 0) {
            parted.push_back(p);
            continue;
        }
        todo.push_back({cut + 1, p.bottom});
        todo.push_back({p.top, cut});
    }
    pieces = std::move(parted);
    // Characters set close touch: a piece as high as two or more is cut
    // where the fewest rows of ink are, near where the characters meet.
    std::vector<Piece> split;
    for (const Piece& p : pieces) {
        const int h = p.bottom - p.top;
        const int count = h > 1.3 * em ? static_cast<int>(std::lround(h / (1.05 * em))) : 1;
        int top = p.top;
        for (int j = 1; j < count; ++j) {
            const int expected = p.top + j * h / count;
            const int reach = std::max(1, h / count / 4);
            int cut = expected;
            for (int y = std::max(top + 1, expected - reach);
                 y <= std::min(p.bottom - 1, expected + reach); ++y) {
                const int here = perRow.at<int>(y, 0), best = perRow.at<int>(cut, 0);
                if (here < best ||
                    (here == best && std::abs(y - expected) < std::abs(cut - expected))) {
                    cut = y;
                }
            }
            split.push_back({top, cut});
            top = cut;
        }
        split.push_back({top, p.bottom});
    }
    pieces = std::move(split);
    // The ink box of rows [top, bottom) of the column.
    const auto inkBox = [&](int top, int bottom) {
        return cv::boundingRect(column.rowRange(top, bottom)) + cv::Point(0, top);
    };
    const auto small = [&](const Piece& p) {
        const cv::Rect r = inkBox(p.top, p.bottom);
        return r.width < kMark * em && r.height < kMark * em;
    };
    // Punctuation sits in a corner of its cell (，。 at the foot on the left,
    // ︐︒ at the head on the right); the dots of characters are near the
    // middle.
    const auto aside = [&](const Piece& p) {
        const cv::Rect r = inkBox(p.top, p.bottom);
        const double middle = r.x + r.width / 2.0;
        return small(p) && (middle < 0.35 * em || middle > 0.65 * em);
    };
    // Pieces gather into characters while they stay within the column's
    // width; punctuation stands apart from a character (the dots of a
    // colon stay together), and so does a small mark well apart from its
    // neighbour (a comma under "一").
    std::vector<Piece> cells;
    for (const Piece& p : pieces) {
        if (!cells.empty()) {
            Piece& last = cells.back();
            const bool fits = p.bottom - last.top <= 1.1 * em;
            const bool apart = (aside(p) && !small(last)) || (aside(last) && !small(p)) ||
                               (p.top - last.bottom >= 0.3 * em && (small(p) || small(last)));
            if (fits && !apart) {
                last.bottom = p.bottom;
                continue;
            }
        }
        cells.push_back(p);
    }
    // Each character in a square cell, side by side.
    const int side = static_cast<int>(std::lround(1.15 * em));
    const int pad = (side - em) / 2;
    cv::Mat strip(side, side * static_cast<int>(cells.size()) + 2 * pad, crop.type(),
                  cv::Scalar::all(0));
    // The ground: the colour most of the column's unlinked pixels have.
    const cv::Scalar ground = cv::mean(crop.colRange(x0, x1), column == 0);
    strip.setTo(ground);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const cv::Rect r = inkBox(cells[i].top, cells[i].bottom);
        cv::Mat glyph = crop(cv::Rect(x0 + r.x, r.y, r.width, r.height)).clone();
        const cv::Rect slot(pad + side * static_cast<int>(i), 0, side, side);
        cv::Point at;
        const double fill = cv::countNonZero(column(r)) / std::max(1.0, r.area() * 1.0);
        if (r.width < kMark * em && r.height < kMark * em) {
            // A point of punctuation sits at the foot of its cell, at its start.
            at = {pad, side - pad - r.height};
        } else {
            if (r.height <= 0.5 * em && r.width >= 1.6 * r.height && fill < 0.4) {
                // A bracket set for a column lies on its side.
                cv::rotate(glyph, glyph, cv::ROTATE_90_COUNTERCLOCKWISE);
            }
            at = {(side - glyph.cols) / 2, (side - glyph.rows) / 2};
        }
        at.x = std::clamp(at.x, 0, std::max(0, side - glyph.cols));
        at.y = std::clamp(at.y, 0, std::max(0, side - glyph.rows));
        const cv::Rect place(slot.x + at.x, slot.y + at.y, std::min(glyph.cols, side),
                             std::min(glyph.rows, side));
        glyph(cv::Rect(0, 0, place.width, place.height)).copyTo(strip(place));
    }
    const int width = std::clamp(
        static_cast<int>(std::ceil(height * static_cast<double>(strip.cols) / strip.rows)), 1,
        maxWidth);
    cv::resize(strip, strip, cv::Size(width, height), 0, 0, cv::INTER_AREA);
    return strip;
}

std::vector<TextBox> JoinColumns(const cv::Mat& picture, const std::vector<TextBox>& boxes) {
    std::vector<layout::Quad> quads;
    for (const TextBox& box : boxes) {
        layout::Quad& quad = quads.emplace_back();
        for (std::size_t i = 0; i < 4; ++i) {
            quad[i] = {box.corners[i].x, box.corners[i].y};
        }
    }
    if (!layout::InColumns(layout::StraightBounds(quads, 0.0))) {
        return boxes;
    }
    std::vector<TextBox> joined;
    for (const std::vector<std::size_t>& group : layout::ColumnPieces(quads)) {
        TextBox box = boxes[group.front()];
        if (group.size() > 1) {
            std::vector<cv::Point2f> corners;
            for (std::size_t id : group) {
                corners.insert(corners.end(), boxes[id].corners.begin(), boxes[id].corners.end());
                box.score = std::max(box.score, boxes[id].score);
            }
            const cv::Rect2f r = cv::boundingRect(corners);
            box.corners = {cv::Point2f(r.x, r.y), cv::Point2f(r.x + r.width, r.y),
                           cv::Point2f(r.x + r.width, r.y + r.height),
                           cv::Point2f(r.x, r.y + r.height)};
        }
        if (IsTall(BoxSize(box))) {
            // The detector's box stops short of a mark set in the column's
            // last cell (。 or ︒ under the last character).
            for (const TextBox& column : ColumnInk(picture, box)) {
                joined.push_back(Lengthened(column, BoxSize(column).width, picture.size()));
            }
        } else {
            joined.push_back(box);
        }
    }
    return joined;
}

}  // namespace kelsor::server::ppocr
