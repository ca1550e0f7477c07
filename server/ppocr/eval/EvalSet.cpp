#include "server/ppocr/eval/EvalSet.h"

#include <algorithm>
#include <fstream>

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

std::string ReferenceText(const EvalSample& sample) {
    std::string text;
    for (const auto& line : sample.lines) {
        text += line + "\n";
    }
    return text;
}

std::string RecognisedText(const std::vector<TextBlock>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line.words + "\n";
    }
    return text;
}

}  // namespace kelsor::server::ppocr
