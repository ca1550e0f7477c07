#include "server/layout/TextMargin.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace kelsor::server::layout {
namespace {

struct Run {
    int from = 0;
    int to = 0;  // exclusive
    int Height() const { return to - from; }
};

// The median of each channel over the outermost rows and columns.
std::array<std::uint8_t, 3> EdgeColour(const DecodedPicture& p) {
    std::array<std::vector<std::uint8_t>, 3> values;
    const auto take = [&](int x, int y) {
        const std::uint8_t* px = &p.rgb[(static_cast<std::size_t>(y) * p.width + x) * 3];
        for (int c = 0; c < 3; ++c) {
            values[c].push_back(px[c]);
        }
    };
    for (int x = 0; x < p.width; ++x) {
        take(x, 0);
        take(x, p.height - 1);
    }
    for (int y = 1; y + 1 < p.height; ++y) {
        take(0, y);
        take(p.width - 1, y);
    }
    std::array<std::uint8_t, 3> colour{};
    for (int c = 0; c < 3; ++c) {
        auto middle = values[c].begin() + static_cast<std::ptrdiff_t>(values[c].size() / 2);
        std::nth_element(values[c].begin(), middle, values[c].end());
        colour[c] = *middle;
    }
    return colour;
}

// Runs of rows with ink; a short run close to a taller neighbour (the dot of
// an i, an accent, an underline) joins it.
std::vector<Run> Bands(const std::vector<int>& inkPerRow) {
    std::vector<Run> runs;
    for (int y = 0; y < static_cast<int>(inkPerRow.size()); ++y) {
        if (inkPerRow[y] == 0) {
            continue;
        }
        if (!runs.empty() && runs.back().to == y) {
            ++runs.back().to;
        } else {
            runs.push_back({y, y + 1});
        }
    }
    for (std::size_t i = 0; i + 1 < runs.size();) {
        const Run& a = runs[i];
        const Run& b = runs[i + 1];
        const int taller = std::max(a.Height(), b.Height());
        const int shorter = std::min(a.Height(), b.Height());
        const int gap = b.from - a.to;
        if (10 * gap <= 3 * taller && 20 * shorter <= 7 * taller) {
            runs[i].to = b.to;
            runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        } else {
            ++i;
        }
    }
    return runs;
}

int MedianHeight(const std::vector<Run>& runs) {
    std::vector<int> heights;
    for (const Run& run : runs) {
        heights.push_back(run.Height());
    }
    if (heights.empty()) {
        return 0;
    }
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

}  // namespace

InkExtent FindInk(const DecodedPicture& picture) {
    InkExtent ink;
    const int w = picture.width;
    const int h = picture.height;
    if (w <= 0 || h <= 0 || picture.rgb.size() != static_cast<std::size_t>(w) * h * 3) {
        return ink;
    }
    ink.background = EdgeColour(picture);
    const auto isInk = [&](const std::uint8_t* px) {
        return std::abs(px[0] - ink.background[0]) > kInkContrast ||
               std::abs(px[1] - ink.background[1]) > kInkContrast ||
               std::abs(px[2] - ink.background[2]) > kInkContrast;
    };
    std::vector<int> inkPerRow(static_cast<std::size_t>(h), 0);
    std::vector<std::uint8_t> inkColumn(static_cast<std::size_t>(w), 0);
    long long edgeInk = 0;
    long long total = 0;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = &picture.rgb[static_cast<std::size_t>(y) * w * 3];
        int count = 0;
        for (int x = 0; x < w; ++x) {
            if (isInk(row + 3 * x)) {
                ++count;
                inkColumn[static_cast<std::size_t>(x)] = 1;
                if (y == 0 || y == h - 1 || x == 0 || x == w - 1) {
                    ++edgeInk;
                }
            }
        }
        inkPerRow[static_cast<std::size_t>(y)] = count;
        total += count;
    }
    // Text touching an edge marks part of it; a photograph or a gradient
    // leaves no one colour around the picture.
    const long long edge = h == 1 || w == 1 ? static_cast<long long>(w) * h : 2LL * (w + h) - 4;
    ink.plain = 2 * edgeInk < edge;
    if (!ink.plain || total == 0) {
        return ink;
    }
    const auto firstColumn = std::find(inkColumn.begin(), inkColumn.end(), 1);
    const auto lastColumn = std::find(inkColumn.rbegin(), inkColumn.rend(), 1);
    ink.left = static_cast<int>(firstColumn - inkColumn.begin());
    ink.right = w - static_cast<int>(lastColumn - inkColumn.rbegin());
    const std::vector<Run> bands = Bands(inkPerRow);
    ink.top = bands.front().from;
    ink.bottom = bands.back().to;
    ink.bands = static_cast<int>(bands.size());
    // Lines running down the picture (a page turned by a quarter) make one
    // band of rows as high as the lines are long: their height is the width
    // of the bands of columns then.
    const int rowsHigh = MedianHeight(bands);
    const int columnsWide =
        MedianHeight(Bands(std::vector<int>(inkColumn.begin(), inkColumn.end())));
    ink.textHeight = rowsHigh > 2 * columnsWide ? columnsWide : rowsHigh;
    ink.density = static_cast<double>(total) /
                  (static_cast<double>(ink.right - ink.left) * (ink.bottom - ink.top));
    if (bands.size() == 1) {
        const Run& band = bands.front();
        const int fullest =
            *std::max_element(inkPerRow.begin() + band.from, inkPerRow.begin() + band.to);
        int thinnest = fullest;
        for (int y = band.from + band.Height() * 3 / 10; y < band.to - band.Height() * 3 / 10;
             ++y) {
            thinnest = std::min(thinnest, inkPerRow[static_cast<std::size_t>(y)]);
        }
        ink.thinMiddle = 100 * thinnest < 15 * fullest;
    }
    return ink;
}

Padding PaddingFor(const InkExtent& ink, int width, int height, int margin) {
    Padding padding;
    if (!ink.plain || ink.Empty() || margin <= 0) {
        return padding;
    }
    // A side whose ink keeps half the margin already is read as it is: the
    // margin is for text at the edge, and a picture cut with room around its
    // text reads as it did.
    const auto add = [margin](int distance) {
        return 2 * distance >= margin ? 0 : margin - distance;
    };
    padding.left = add(ink.left);
    padding.top = add(ink.top);
    padding.right = add(width - ink.right);
    padding.bottom = add(height - ink.bottom);
    return padding;
}

DecodedPicture Padded(const DecodedPicture& picture, const Padding& padding,
                      const std::array<std::uint8_t, 3>& colour) {
    DecodedPicture out;
    out.width = picture.width + padding.left + padding.right;
    out.height = picture.height + padding.top + padding.bottom;
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    for (std::size_t i = 0; i < out.rgb.size(); i += 3) {
        out.rgb[i] = colour[0];
        out.rgb[i + 1] = colour[1];
        out.rgb[i + 2] = colour[2];
    }
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 3;
    for (int y = 0; y < picture.height; ++y) {
        std::copy_n(
            picture.rgb.begin() + static_cast<std::ptrdiff_t>(y * rowBytes), rowBytes,
            out.rgb.begin() +
                static_cast<std::ptrdiff_t>(
                    (static_cast<std::size_t>(y + padding.top) * out.width + padding.left) * 3));
    }
    return out;
}

int MarginForText(int textHeight) {
    return std::clamp(textHeight, 8, 96);
}

}  // namespace kelsor::server::layout
