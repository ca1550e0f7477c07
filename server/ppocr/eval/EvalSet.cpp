#include "server/ppocr/eval/EvalSet.h"

#include <fstream>

#include "server/ppocr/eval/TextPicture.h"

namespace kelsor::server::ppocr {

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
