#include "server/ppocr/eval/EvalSet.h"

#include <algorithm>
#include <fstream>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "server/layout/ChinesePunctuation.h"

#include "server/ppocr/eval/TextPicture.h"

namespace kelsor::server::ppocr {
namespace {

// A fortune file's text lines: colour escapes ("ESC[..m") and surrounding
// white space removed, "%" separators and empty lines dropped.
std::vector<std::string> CleanFortuneLines(const std::string& file) {
    std::vector<std::string> lines;
    for (std::string line : ReadTextLines(file)) {
        for (std::size_t at = line.find('\x1b'); at != std::string::npos;
             at = line.find('\x1b', at)) {
            std::size_t end = at + 1;
            if (end < line.size() && line[end] == '[') {
                const std::size_t last = line.find_first_not_of("0123456789;", end + 1);
                if (last != std::string::npos && line[last] == 'm') {
                    end = last + 1;
                }
            }
            line.erase(at, end - at);
        }
        const char* space = " \t\r\n\v\f";
        line.erase(0, line.find_first_not_of(space));
        const std::size_t last = line.find_last_not_of(space);
        line.erase(last == std::string::npos ? 0 : last + 1);
        if (!line.empty() && line != "%") {
            lines.push_back(line);
        }
    }
    return lines;
}

// Box-drawing characters (U+2500..U+257F) mark tables, not text.
bool HasBoxDrawing(const std::string& line) {
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        if (static_cast<unsigned char>(line[i]) == 0xE2 &&
            (static_cast<unsigned char>(line[i + 1]) == 0x94 ||
             static_cast<unsigned char>(line[i + 1]) == 0x95)) {
            return true;
        }
    }
    return false;
}

// At most `count` characters of `text` from `from`.
std::string Piece(const std::string& text, std::size_t from, std::size_t count) {
    const auto characters = layout::Utf8Characters(text);
    std::string piece;
    for (std::size_t i = from; i < std::min(characters.size(), from + count); ++i) {
        piece += characters[i];
    }
    return piece;
}

// The first words of `text`, at most `maxBytes` of them.
std::string Words(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    const std::size_t cut = text.rfind(' ', maxBytes);
    return text.substr(0, cut == std::string::npos || cut == 0 ? maxBytes : cut);
}

// Screen colour schemes: dark text on white, on grey, light text on a dark
// theme, and three coloured ones (title bar, chat bubble, note).
const std::vector<TextColours>& ScreenColours() {
    static const std::vector<TextColours> colours = {
        {{0x20, 0x21, 0x24}, {0xFF, 0xFF, 0xFF}}, {{0x1F, 0x1F, 0x1F}, {0xC8, 0xC8, 0xC8}},
        {{0xD4, 0xD4, 0xD4}, {0x1E, 0x1E, 0x1E}}, {{0xFF, 0xFF, 0xFF}, {0x0A, 0x64, 0xAD}},
        {{0x11, 0x11, 0x11}, {0x95, 0xEC, 0x69}}, {{0x5A, 0x3E, 0x00}, {0xFF, 0xF3, 0xC4}},
    };
    return colours;
}

}  // namespace

std::vector<std::string> ReadTextLines(const std::string& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> FortuneChineseText(const std::string& fortunesFolder) {
    const std::vector<std::string> poems = CleanFortuneLines(fortunesFolder + "/tang300");
    std::vector<std::string> prose;
    for (const std::string& line : CleanFortuneLines(fortunesFolder + "/chinese")) {
        // At least 4 bytes, at most 3000 lines.
        if (!HasBoxDrawing(line) && line.size() >= 4 && prose.size() < 3000) {
            prose.push_back(line);
        }
    }
    std::vector<std::string> text;
    for (std::size_t i = 0; i < std::max(poems.size(), prose.size()); ++i) {
        if (i < poems.size()) {
            text.push_back(poems[i]);
        }
        if (i < prose.size()) {
            text.push_back(prose[i]);
        }
    }
    return text;
}

std::vector<std::string> FortuneEnglishText(const std::string& fortunesFolder) {
    std::vector<std::string> text = CleanFortuneLines(fortunesFolder + "/literature");
    std::erase_if(text, [](const std::string& line) { return line.starts_with("--"); });
    return text;
}

bool BuildEvaluationSet(const std::map<std::string, std::vector<std::string>>& texts,
                        int perLanguage, std::vector<EvalSample>& set, std::string& error) {
    static const int heights[] = {16, 20, 24, 32, 40};
    static const int lineCounts[] = {1, 3, 6, 10};
    set.clear();
    for (const auto& [language, text] : texts) {
        if (text.empty()) {
            continue;
        }
        const auto faces = language == "zh" ? ChineseFaces() : LatinFaces();
        if (faces.empty()) {
            error = "no font installed for " + language;
            return false;
        }
        std::size_t next = 0;
        for (int i = 0; i < perLanguage; ++i) {
            EvalSample sample;
            sample.language = language;
            const int count = lineCounts[i % 4];
            for (int k = 0; k < count; ++k) {
                sample.lines.push_back(text[next++ % text.size()]);
            }
            if (!RenderTextPicture(sample.lines, faces[i % faces.size()], heights[i % 5],
                                   sample.picture, error)) {
                return false;
            }
            set.push_back(std::move(sample));
        }
    }
    return true;
}

namespace {

// Captures of a window or a screen: the text sits in a large plain area.
const cv::Size kWindows[] = {{1280, 720}, {1920, 1080}, {960, 600}, {1440, 900}};

// `text` placed a third of the way down a `window`-sized picture of its
// background (never cut: the picture grows when the text is larger).
DecodedPicture OnScreen(const DecodedPicture& text, cv::Size window, const TextColours& colours) {
    const int width = std::max(window.width, text.width);
    const int height = std::max(window.height, text.height);
    const cv::Mat from(text.height, text.width, CV_8UC3,
                       const_cast<std::uint8_t*>(text.rgb.data()));
    cv::Mat screen(height, width, CV_8UC3,
                   cv::Scalar(colours.background[0], colours.background[1], colours.background[2]));
    from.copyTo(screen(
        cv::Rect((width - text.width) / 8, (height - text.height) / 3, text.width, text.height)));
    DecodedPicture picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.assign(screen.data, screen.data + static_cast<std::size_t>(width) * height * 3);
    return picture;
}

}  // namespace

bool BuildScreenSet(const std::vector<std::string>& chinese,
                    const std::vector<std::string>& english, int perKind,
                    std::vector<EvalSample>& set, std::string& error) {
    static const int lineCounts[] = {1, 2, 4};
    const auto cjkFaces = ChineseFaces();
    const auto latinFaces = LatinFaces();
    if (cjkFaces.empty() || latinFaces.empty()) {
        error = "no font installed for the screen set";
        return false;
    }
    std::size_t nextZh = 0, nextEn = 0;
    const auto zh = [&](std::size_t count) {
        const std::string& line = chinese[nextZh++ % chinese.size()];
        return Piece(line, 0, count);
    };
    const auto en = [&](std::size_t bytes) {
        return Words(english[nextEn++ % english.size()], bytes);
    };
    for (const std::string kind : {"screen-zh", "screen-en", "screen-mix"}) {
        if ((kind != "screen-en" && chinese.empty()) || (kind != "screen-zh" && english.empty())) {
            continue;
        }
        for (int i = 0; i < perKind; ++i) {
            EvalSample sample;
            sample.language = kind;
            for (int k = 0; k < lineCounts[i % 3]; ++k) {
                if (kind == "screen-zh") {
                    sample.lines.push_back(zh(20));
                } else if (kind == "screen-en") {
                    sample.lines.push_back(en(48));
                } else {
                    // Menus and chat lines: an English name or phrase inside
                    // Chinese text.
                    sample.lines.push_back(zh(6) + " " + en(24) + " " + zh(5));
                }
            }
            const auto& faces = kind == "screen-en" ? latinFaces : cjkFaces;
            const auto& colours = ScreenColours()[i % ScreenColours().size()];
            DecodedPicture text;
            if (!RenderTextPicture(sample.lines, faces[i % faces.size()], 13 + (i + i / 6) % 6,
                                   text, error, colours)) {
                return false;
            }
            sample.picture = OnScreen(text, kWindows[(i / 3) % 4], colours);
            set.push_back(std::move(sample));
        }
    }
    return true;
}

DecodedPicture CutAroundInk(const DecodedPicture& picture, int left, int top, int right,
                            int bottom) {
    const cv::Mat rgb(picture.height, picture.width, CV_8UC3,
                      const_cast<std::uint8_t*>(picture.rgb.data()));
    const cv::Vec3b ground = rgb.at<cv::Vec3b>(0, 0);
    cv::Mat same;
    cv::inRange(rgb, ground, ground, same);
    cv::bitwise_not(same, same);
    cv::Rect ink = cv::boundingRect(same);
    if (ink.empty()) {
        ink = cv::Rect(0, 0, picture.width, picture.height);
    }
    cv::Mat cut;
    cv::copyMakeBorder(rgb(ink), cut, top, bottom, left, right, cv::BORDER_CONSTANT,
                       cv::Scalar(ground[0], ground[1], ground[2]));
    DecodedPicture out;
    out.width = cut.cols;
    out.height = cut.rows;
    out.rgb.assign(cut.data, cut.data + cut.total() * 3);
    return out;
}

bool BuildTightLineSet(const std::vector<std::string>& chinese,
                       const std::vector<std::string>& english, int perKind, int margin,
                       std::vector<EvalSample>& set, std::string& error) {
    static const int heights[] = {13, 14, 15, 16, 18, 20, 22, 24, 28, 32, 36};
    const auto cjkFaces = ChineseFaces();
    const auto latinFaces = LatinFaces();
    if (cjkFaces.empty() || latinFaces.empty() || chinese.empty() || english.empty()) {
        error = "no font or text for the tight-line set";
        return false;
    }
    // Other lines than the screen set's: from the middle of the texts.
    std::size_t nextZh = chinese.size() / 2, nextEn = english.size() / 2;
    const auto zh = [&](std::size_t count) {
        return Piece(chinese[nextZh++ % chinese.size()], 0, count);
    };
    const auto en = [&](std::size_t bytes) {
        return Words(english[nextEn++ % english.size()], bytes);
    };
    const std::string prefix = margin < 0 ? "tight-" : "margin-";
    for (const std::string kind : {"zh", "en", "mix"}) {
        for (int i = 0; i < perKind; ++i) {
            EvalSample sample;
            sample.language = prefix + kind;
            sample.lines.push_back(kind == "zh"   ? zh(8 + i % 13)
                                   : kind == "en" ? en(24 + 3 * (i % 9))
                                                  : zh(2 + i % 5) + " " + en(20) + " " + zh(4));
            const auto& faces = kind == "en" ? latinFaces : cjkFaces;
            const auto& colours = ScreenColours()[i % ScreenColours().size()];
            DecodedPicture text;
            if (!RenderTextPicture(sample.lines, faces[i % faces.size()],
                                   heights[(i + i / 11) % std::size(heights)], text, error,
                                   colours)) {
                return false;
            }
            // Tight cuts differ on every side, as a hand-drawn selection does.
            const int m = margin >= 0 ? margin : i % 5;
            sample.picture = margin >= 0
                                 ? CutAroundInk(text, m, m, m, m)
                                 : CutAroundInk(text, m, (i / 5) % 3, (m + 2) % 5, (i / 3) % 2);
            set.push_back(std::move(sample));
        }
    }
    return true;
}

std::vector<EvalSample> TurnedSamples(const std::vector<EvalSample>& set, int count) {
    static const int codes[] = {cv::ROTATE_90_CLOCKWISE, cv::ROTATE_180,
                                cv::ROTATE_90_COUNTERCLOCKWISE};
    std::vector<EvalSample> turned;
    std::map<std::string, int> taken;
    for (const EvalSample& sample : set) {
        int& n = taken[sample.language];
        if (n >= count) {
            continue;
        }
        const auto& p = sample.picture;
        const cv::Mat from(p.height, p.width, CV_8UC3, const_cast<std::uint8_t*>(p.rgb.data()));
        cv::Mat to;
        cv::rotate(from, to, codes[n++ % 3]);
        EvalSample copy;
        copy.language = sample.language + "-turned";
        copy.lines = sample.lines;
        copy.picture.width = to.cols;
        copy.picture.height = to.rows;
        copy.picture.rgb.assign(to.data, to.data + to.total() * 3);
        turned.push_back(std::move(copy));
    }
    return turned;
}

bool BuildVerticalSet(const std::vector<std::string>& chinese, int count,
                      std::vector<EvalSample>& set, std::string& error) {
    const auto faces = ChineseFaces();
    if (faces.empty() || chinese.empty()) {
        error = "no Chinese font or text for the vertical set";
        return false;
    }
    for (int i = 0; i < count; ++i) {
        EvalSample sample;
        sample.language = "zh-vertical";
        const std::string line =
            Piece(chinese[static_cast<std::size_t>(i) % chinese.size()], 0, 12);
        sample.lines.push_back(line);
        if (!RenderColumnPicture(layout::Utf8Characters(line), faces[i % faces.size()],
                                 20 + 4 * (i % 4), sample.picture, error)) {
            return false;
        }
        set.push_back(std::move(sample));
    }
    return true;
}

std::string LinesText(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line + "\n";
    }
    return text;
}

std::string ReferenceText(const EvalSample& sample) {
    return LinesText(sample.lines);
}

std::string RecognisedText(const std::vector<TextBlock>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line.words + "\n";
    }
    return text;
}

}  // namespace kelsor::server::ppocr
