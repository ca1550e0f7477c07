#include "server/layout/ChinesePunctuation.h"

#include <algorithm>
#include <map>
#include <vector>

namespace kelsor::server::layout {
namespace {

const std::map<std::string, std::string>& Horizontal() {
    static const std::map<std::string, std::string> forms = {
        {"︐", "，"}, {"︑", "、"}, {"︒", "。"}, {"︓", "："}, {"︔", "；"}, {"︕", "！"},
        {"︖", "？"}, {"︗", "〖"}, {"︘", "〗"}, {"︙", "…"},  {"︰", "‥"},  {"︱", "—"},
        {"︲", "–"},  {"︳", "_"},  {"︴", "_"},  {"︵", "（"}, {"︶", "）"}, {"︷", "｛"},
        {"︸", "｝"}, {"︹", "〔"}, {"︺", "〕"}, {"︻", "【"}, {"︼", "】"}, {"︽", "《"},
        {"︾", "》"}, {"︿", "〈"}, {"﹀", "〉"}, {"﹁", "「"}, {"﹂", "」"}, {"﹃", "『"},
        {"﹄", "』"}, {"﹇", "［"}, {"﹈", "］"},
    };
    return forms;
}

const std::map<char, std::string>& FullWidth() {
    static const std::map<char, std::string> marks = {
        {',', "，"}, {'.', "。"}, {':', "："}, {';', "；"},
        {'!', "！"}, {'?', "？"}, {'(', "（"}, {')', "）"},
    };
    return marks;
}

char32_t CodePoint(const std::string& c) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(c[i]) & 0x3Fu; };
    switch (c.size()) {
        case 2:
            return ((static_cast<unsigned char>(c[0]) & 0x1Fu) << 6) | b(1);
        case 3:
            return ((static_cast<unsigned char>(c[0]) & 0x0Fu) << 12) | (b(1) << 6) | b(2);
        case 4:
            return ((static_cast<unsigned char>(c[0]) & 0x07u) << 18) | (b(1) << 12) | (b(2) << 6) |
                   b(3);
        default:
            return c.empty() ? 0 : static_cast<unsigned char>(c[0]);
    }
}

// Ideographs and kana: the text around is Chinese (or Japanese).
bool IsIdeograph(const std::string& c) {
    const char32_t cp = CodePoint(c);
    return (cp >= 0x3040 && cp <= 0x30FF) || (cp >= 0x3400 && cp <= 0x9FFF) ||
           (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0x20000 && cp <= 0x3FFFF);
}

// Full-width and CJK punctuation (、。「」 …, ，：！ …).
bool IsWidePunctuation(const std::string& c) {
    const char32_t cp = CodePoint(c);
    return (cp >= 0x3000 && cp <= 0x303F) || (cp >= 0xFF01 && cp <= 0xFF0F) ||
           (cp >= 0xFF1A && cp <= 0xFF20) || cp == 0x2026 || cp == 0x2014;
}

bool IsHalfMark(const std::string& c) {
    return c.size() == 1 && FullWidth().contains(c[0]);
}

}  // namespace

std::vector<std::string> Utf8Characters(const std::string& text) {
    std::vector<std::string> characters;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 1;
        while (i + length < text.size() &&
               (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80) {
            ++length;
        }
        characters.push_back(text.substr(i, length));
        i += length;
    }
    return characters;
}

std::string HorizontalForm(const std::string& character) {
    const auto found = Horizontal().find(character);
    return found == Horizontal().end() ? character : found->second;
}

std::string ChinesePunctuation(const std::string& text) {
    std::vector<std::string> characters = Utf8Characters(text);
    for (std::string& c : characters) {
        c = HorizontalForm(c);
    }
    // A run of half-width marks is Chinese punctuation when Chinese comes
    // before it and Chinese, wide punctuation or the end after it. An
    // opening bracket looks the other way: Chinese after it, and Chinese or
    // wide punctuation before it.
    for (std::size_t i = 0; i < characters.size(); ++i) {
        if (!IsHalfMark(characters[i])) {
            continue;
        }
        std::size_t end = i;
        while (end < characters.size() && IsHalfMark(characters[end])) {
            ++end;
        }
        const bool chineseBefore =
            i > 0 && (IsIdeograph(characters[i - 1]) || IsWidePunctuation(characters[i - 1]));
        const bool chineseAfter = end < characters.size() && (IsIdeograph(characters[end]) ||
                                                              IsWidePunctuation(characters[end]));
        // Dots in a row are an ellipsis, not full stops.
        const bool dots =
            std::count(characters.begin() + static_cast<std::ptrdiff_t>(i),
                       characters.begin() + static_cast<std::ptrdiff_t>(end), std::string(".")) > 1;
        const bool opening = characters[i] == "(";
        const bool chinese = opening ? chineseAfter && (i == 0 || chineseBefore)
                                     : chineseBefore && (chineseAfter || end == characters.size());
        if (chinese && !dots) {
            for (std::size_t k = i; k < end; ++k) {
                characters[k] = FullWidth().at(characters[k][0]);
            }
        }
        i = end - 1;
    }
    std::string out;
    for (const std::string& c : characters) {
        out += c;
    }
    return out;
}

std::string LaidDownColumnMarks(const std::string& text) {
    static const std::map<std::string, std::string> marks = {
        {"’", "，"}, {"‘", "，"}, {"'", "，"}, {"`", "，"}, {"°", "。"}, {"º", "。"}, {"˚", "。"},
    };
    std::vector<std::string> characters = Utf8Characters(text);
    for (std::size_t i = 1; i < characters.size(); ++i) {
        const auto mark = marks.find(characters[i]);
        if (mark != marks.end() && IsIdeograph(characters[i - 1])) {
            characters[i] = mark->second;
        }
    }
    std::string out;
    for (const std::string& c : characters) {
        out += c;
    }
    return out;
}

}  // namespace kelsor::server::layout
