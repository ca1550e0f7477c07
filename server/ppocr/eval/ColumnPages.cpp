#include "server/ppocr/eval/ColumnPages.h"

#include <algorithm>
#include <cmath>

#include <opencv2/freetype.hpp>
#include <opencv2/imgproc.hpp>

#include "server/ppocr/eval/EvalSet.h"

namespace kelsor::server::ppocr {
namespace {

// Sentences the paragraphs are made of, taken in turn.
const char* const kChinese[] = {
    "清晨的湖面上浮着一层薄雾，远处的山影若隐若现。",
    "老街的两旁开着许多小店，卖茶叶的、修钟表的、做糕点的，各有各的主顾。",
    "图书馆在每周三的下午延长开放时间，方便附近的学生和上班族前来借阅。",
    "这座城市的地铁线路在过去十年里增加了一倍，出行变得更加便利。",
    "研究人员在实验中发现，适量的午睡可以明显提高下午的工作效率。",
    "秋天到了，田野里的稻谷一片金黄，农民们忙着收割和晾晒。",
    "他把旧书整理成几个箱子，准备捐给山区的小学。",
    "社区组织了一次环保活动，居民们一起清理河道两岸的垃圾。",
    "文字识别技术让纸质档案的整理工作省去了大量的人工录入。",
    "每逢节假日，博物馆总会推出新的展览，吸引了不少外地游客。",
    "她每天坚持写日记，记录生活中的点滴感受和读书心得。",
    "雨后的空气格外清新，孩子们在操场上追逐嬉戏。",
    "这家工厂引进了新的生产线，产量比去年提高了三成。",
    "天气预报说明天有小雨，出门记得带伞。",
    "会议结束后，大家就下一阶段的工作计划达成了一致意见。",
    "山脚下的小镇以温泉闻名，冬天总是住满了远道而来的客人。",
};
const char* const kEnglish[] = {
    "The morning train was late again, so most of the passengers waited on the cold platform.",
    "A small bakery on the corner sells fresh bread every day before seven o'clock.",
    "The committee agreed to review the budget at the next meeting in early spring.",
    "Researchers found that short walks after lunch improve concentration for the afternoon.",
    "Old maps of the harbour show a lighthouse that no longer stands.",
    "She kept a notebook of every book she read, with a line or two about each one.",
    "The library extends its opening hours during the examination period.",
    "Heavy rain flooded the lower fields, but the village itself stayed dry.",
    "Scanning paper records saves hours of typing, provided the text comes out in order.",
    "Volunteers planted two hundred trees along the river last weekend.",
    "The museum opened a new gallery devoted to the history of printing.",
    "Nobody remembered who had first suggested the picnic, yet everyone came.",
    "The bridge will be closed for repairs from Monday until the end of the month.",
    "Letters from the period describe long winters and short, busy summers.",
    "A good index makes a reference book far more useful than its length suggests.",
    "The orchestra rehearsed the final movement three times before the concert.",
};
const char* const kChineseHeadings[] = {"城市生活观察", "第三章 研究方法与结果",
                                        "本期专题：阅读的乐趣"};
const char* const kEnglishHeadings[] = {
    "Notes from the Harbour Town", "Chapter 3: Methods and Results", "A Short History of Printing"};
const char* const kChineseFooter = "本文仅供内部交流使用，未经许可不得转载或用于其他用途。";
const char* const kEnglishFooter =
    "Printed for members only; not to be copied without the permission of the editors.";

// Sentences per paragraph, cycling from a different place on each page.
const int kParagraphSentences[] = {1, 3, 2, 5, 1, 4, 2};

// The UTF-8 text split into the pieces a line may break between: characters
// for Chinese, words with their following space for English.
std::vector<std::string> Pieces(const std::string& text, bool words) {
    std::vector<std::string> pieces;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t end = i + 1;
        if (words) {
            end = text.find(' ', i);
            end = end == std::string::npos ? text.size() : end + 1;
        } else {
            while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
                ++end;
            }
        }
        pieces.push_back(text.substr(i, end - i));
        i = end;
    }
    return pieces;
}

std::string TrimEnd(std::string s) {
    while (!s.empty() && s.back() == ' ') {
        s.pop_back();
    }
    return s;
}

struct Typesetter {
    cv::Ptr<cv::freetype::FreeType2> font;
    int height = 24;

    int Width(const std::string& text) const {
        int baseline = 0;
        return font->getTextSize(text, height, -1, &baseline).width;
    }

    // The paragraph broken into lines of at most `width` pixels, the first
    // indented by `indent`.
    std::vector<std::string> Break(const std::string& paragraph, bool words, int width,
                                   int indent) const {
        std::vector<std::string> lines;
        std::string line;
        for (const std::string& piece : Pieces(paragraph, words)) {
            const int room = width - (lines.empty() ? indent : 0);
            if (!line.empty() && Width(TrimEnd(line + piece)) > room) {
                lines.push_back(TrimEnd(line));
                line.clear();
            }
            line += piece;
        }
        if (!TrimEnd(line).empty()) {
            lines.push_back(TrimEnd(line));
        }
        return lines;
    }
};

struct Placed {
    std::string text;
    cv::Point origin;
    int height;
    bool start;
};

bool RenderPage(int index, int linesPerColumn, double gutterEms, ColumnPage& page,
                std::string& error) {
    const bool chinese = index % 2 == 0;
    page.language = chinese ? "zh" : "en";
    page.columns = index % 3 == 2 ? 3 : 2;
    page.heading = (index / 2) % 2 == 0;
    const bool footer = index % 5 == 1 || index % 5 == 4;
    // One page in four is skewed: 1, 2 or 3 degrees, turning either way.
    page.skewDegrees = index % 4 == 3 ? (1 + (index / 4) % 3) * (index % 8 == 3 ? 1.0 : -1.0) : 0.0;
    const bool spaced = index % 3 == 1;  // paragraphs set apart by space as well

    const auto faces = chinese ? ChineseFaces() : LatinFaces();
    if (faces.empty()) {
        error = std::string("no font installed for ") + page.language;
        return false;
    }
    Typesetter type;
    static const int heights[] = {22, 26, 30, 24};
    type.height = heights[index % 4];
    const int h = type.height;
    // Line spacing and the gap between columns differ from page to page.
    static const int lineSteps[] = {16, 14, 18};  // tenths of the glyph height
    static const int gutters[] = {20, 15, 30, 25};
    const int lineStep = h * lineSteps[(index / 2) % 3] / 10;
    const int columnWidth = (page.columns == 2 ? 20 : 13) * h + (chinese ? 0 : 2 * h);
    const int gutter = gutterEms > 0.0 ? static_cast<int>(std::lround(h * gutterEms))
                                       : h * gutters[(index / 3) % 4] / 10;
    const int margin = 3 * h;
    if (linesPerColumn <= 0) {
        linesPerColumn = page.columns == 2 ? 16 : 13;
    }
    const int pageWidth = page.columns * columnWidth + (page.columns - 1) * gutter + 2 * margin;
    try {
        type.font = cv::freetype::createFreeType2();
        const FontFace& face = faces[static_cast<std::size_t>(index / 2) % faces.size()];
        type.font->loadFontData(face.file, face.index);
    } catch (const cv::Exception& e) {
        error = std::string("cannot load a font: ") + e.what();
        return false;
    }

    std::vector<Placed> placed;
    int y = margin;
    if (page.heading) {
        const char* title = (chinese ? kChineseHeadings : kEnglishHeadings)[index / 2 % 3];
        Typesetter big = type;
        big.height = h * 3 / 2;
        const int x = (pageWidth - big.Width(title)) / 2;
        placed.push_back({title, {x, y}, big.height, true});
        y += big.height * 2 + lineStep;
    }
    const int columnTop = y;
    const auto& sentences = chinese ? kChinese : kEnglish;
    const std::size_t sentenceCount = std::size(kChinese);
    std::size_t sentence = static_cast<std::size_t>(index) * 5;
    std::size_t paragraphNumber = static_cast<std::size_t>(index);
    int column = 0, row = 0;
    int lowest = columnTop;
    while (column < page.columns) {
        std::string paragraph;
        const int count = kParagraphSentences[paragraphNumber++ % std::size(kParagraphSentences)];
        for (int k = 0; k < count; ++k) {
            paragraph += sentences[sentence++ % sentenceCount];
            if (!chinese) {
                paragraph += ' ';
            }
        }
        const int indent = 2 * h;
        const auto lines = type.Break(TrimEnd(paragraph), !chinese, columnWidth, indent);
        if (spaced && row > 0) {
            row += 1;  // a blank line's worth, but never at the top of a column
        }
        for (std::size_t k = 0; k < lines.size() && column < page.columns; ++k) {
            if (row >= linesPerColumn) {
                ++column;
                row = 0;
                if (column >= page.columns) {
                    break;
                }
            }
            const int x = margin + column * (columnWidth + gutter) + (k == 0 ? indent : 0);
            const int lineY = columnTop + row * lineStep;
            placed.push_back({lines[k], {x, lineY}, h, k == 0});
            lowest = std::max(lowest, lineY + lineStep);
            ++row;
        }
        if (row >= linesPerColumn) {
            ++column;
            row = 0;
        }
    }
    if (footer) {
        const char* text = chinese ? kChineseFooter : kEnglishFooter;
        const int x = (pageWidth - type.Width(text)) / 2;
        placed.push_back({text, {std::max(x, margin), lowest + lineStep}, h, true});
        lowest += 2 * lineStep;
    }
    const int pageHeight = lowest + margin;
    cv::Mat canvas(pageHeight, pageWidth, CV_8UC3, cv::Scalar(255, 255, 255));
    for (const Placed& p : placed) {
        type.font->putText(canvas, p.text, p.origin, p.height, cv::Scalar(0, 0, 0), -1, cv::LINE_AA,
                           false);
        page.lines.push_back(p.text);
        page.paragraphStarts.push_back(p.start);
    }
    if (page.skewDegrees != 0.0) {
        const cv::Mat turn = cv::getRotationMatrix2D(
            cv::Point2f(pageWidth / 2.0f, pageHeight / 2.0f), -page.skewDegrees, 1.0);
        cv::Mat turned;
        cv::warpAffine(canvas, turned, turn, canvas.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                       cv::Scalar(255, 255, 255));
        canvas = turned;
    }
    page.picture.width = canvas.cols;
    page.picture.height = canvas.rows;
    page.picture.rgb.assign(canvas.data,
                            canvas.data + static_cast<std::size_t>(canvas.cols) * canvas.rows * 3);
    return true;
}

// For each position of `recognised` (and one past its end), the position of
// `truth` it lines up with in a least-edits alignment.
std::vector<std::size_t> Alignment(const std::u32string& truth, const std::u32string& recognised) {
    const std::size_t n = truth.size(), m = recognised.size();
    std::vector<int> cost((n + 1) * (m + 1));
    auto at = [m](std::size_t i, std::size_t j) { return i * (m + 1) + j; };
    for (std::size_t i = 0; i <= n; ++i) {
        for (std::size_t j = 0; j <= m; ++j) {
            if (i == 0 || j == 0) {
                cost[at(i, j)] = static_cast<int>(i + j);
                continue;
            }
            cost[at(i, j)] =
                std::min({cost[at(i - 1, j)] + 1, cost[at(i, j - 1)] + 1,
                          cost[at(i - 1, j - 1)] + (truth[i - 1] == recognised[j - 1] ? 0 : 1)});
        }
    }
    std::vector<std::size_t> map(m + 1, n);
    std::size_t i = n, j = m;
    while (j > 0) {
        map[j] = i;
        if (i > 0 && cost[at(i, j)] ==
                         cost[at(i - 1, j - 1)] + (truth[i - 1] == recognised[j - 1] ? 0 : 1)) {
            --i;
            --j;
        } else if (i > 0 && cost[at(i, j)] == cost[at(i - 1, j)] + 1) {
            --i;
        } else {
            --j;
        }
    }
    map[0] = i;
    return map;
}

}  // namespace

bool BuildColumnPages(int count, std::vector<ColumnPage>& pages, std::string& error,
                      int linesPerColumn, double gutterEms) {
    pages.clear();
    for (int i = 0; i < count; ++i) {
        ColumnPage page;
        if (!RenderPage(i, linesPerColumn, gutterEms, page, error)) {
            return false;
        }
        pages.push_back(std::move(page));
    }
    return true;
}

std::string ColumnReference(const ColumnPage& page) {
    return LinesText(page.lines);
}

BreakCount CountParagraphBreaks(const ColumnPage& page, const std::string& editedText) {
    // Break positions as character counts of the text before them.
    std::u32string truth;
    std::vector<std::size_t> truthBreaks;
    for (std::size_t i = 0; i < page.lines.size(); ++i) {
        if (i > 0 && page.paragraphStarts[i]) {
            truthBreaks.push_back(truth.size());
        }
        truth += NormalisedText(page.lines[i], false);
    }
    std::u32string recognised;
    std::vector<std::size_t> foundBreaks;
    std::size_t from = 0;
    while (from <= editedText.size()) {
        std::size_t end = editedText.find('\n', from);
        end = end == std::string::npos ? editedText.size() : end;
        if (!recognised.empty() && from > 0) {
            foundBreaks.push_back(recognised.size());
        }
        recognised += NormalisedText(editedText.substr(from, end - from), false);
        from = end + 1;
    }
    const std::vector<std::size_t> map = Alignment(truth, recognised);
    BreakCount count;
    count.truth = static_cast<long long>(truthBreaks.size());
    count.found = static_cast<long long>(foundBreaks.size());
    std::vector<bool> used(truthBreaks.size(), false);
    for (std::size_t found : foundBreaks) {
        const std::size_t place = map[found];
        for (std::size_t t = 0; t < truthBreaks.size(); ++t) {
            const std::size_t distance =
                place > truthBreaks[t] ? place - truthBreaks[t] : truthBreaks[t] - place;
            if (!used[t] && distance <= 2) {
                used[t] = true;
                ++count.right;
                break;
            }
        }
    }
    return count;
}

}  // namespace kelsor::server::ppocr
