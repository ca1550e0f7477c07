#include "server/ppocr/eval/TextPicture.h"

#include <algorithm>
#include <filesystem>

#include <opencv2/freetype.hpp>
#include <opencv2/imgproc.hpp>

namespace kelsor::server::ppocr {

namespace {

std::vector<FontFace> Existing(std::vector<FontFace> faces) {
    std::erase_if(faces, [](const FontFace& f) {
        std::error_code ec;
        return !std::filesystem::exists(f.file, ec);
    });
    return faces;
}

// How white space counts in an error rate.
enum class Spaces {
    Ignored,    // removed
    Kept,       // runs of white space, line breaks included, are one space
    SpaceAware  // runs are one space, dropped next to CJK; line breaks stay
};

// CJK ideographs, kana, hangul, CJK and full-width punctuation: no word
// spaces are written next to them.
bool IsCjk(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

// Spaces next to a CJK character or a line break, and at either end, are
// not word spaces.
std::u32string DropSpacesAroundCjk(const std::u32string& text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == U' ') {
            const char32_t before = out.empty() ? U'\n' : out.back();
            const char32_t after = i + 1 < text.size() ? text[i + 1] : U'\n';
            if (before == U'\n' || after == U'\n' || IsCjk(before) || IsCjk(after)) {
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// Unicode space separators: text copied from documents indents with
// no-break and ideographic spaces, which a reader sees as white space.
bool IsWhiteSpace(char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\n' || c == U'\r' || c == 0x00A0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F || c == 0x3000;
}

std::u32string Normalised(const std::string& utf8, Spaces spaces) {
    const bool keepSpaces = spaces != Spaces::Ignored;
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        char32_t cp = lead;
        int extra = 0;
        if (lead >= 0xF0) {
            cp = lead & 0x07;
            extra = 3;
        } else if (lead >= 0xE0) {
            cp = lead & 0x0F;
            extra = 2;
        } else if (lead >= 0xC0) {
            cp = lead & 0x1F;
            extra = 1;
        }
        ++i;
        for (int k = 0; k < extra && i < utf8.size(); ++k, ++i) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        }
        if (cp == U'\n' && spaces == Spaces::SpaceAware) {
            if (!out.empty() && out.back() == U' ') {
                out.back() = U'\n';
            } else {
                out.push_back(U'\n');
            }
            continue;
        }
        if (IsWhiteSpace(cp)) {
            if (keepSpaces && !out.empty() && out.back() != U' ' && out.back() != U'\n') {
                out.push_back(U' ');
            }
            continue;
        }
        if (cp >= 0xFF01 && cp <= 0xFF5E) {
            cp -= 0xFEE0;  // full-width forms of ASCII
        } else if (cp == 0x30FB) {
            cp = 0x00B7;  // the two middle dots of Chinese typesetting
        }
        out.push_back(cp);
    }
    if (!out.empty() && out.back() == U' ') {
        out.pop_back();
    }
    return spaces == Spaces::SpaceAware ? DropSpacesAroundCjk(out) : out;
}

// Edit distance between the normalised texts, and the reference's length.
ErrorCount EditErrors(const std::string& reference, const std::string& recognised, Spaces spaces) {
    const std::u32string a = Normalised(reference, spaces);
    const std::u32string b = Normalised(recognised, spaces);
    std::vector<long long> previous(b.size() + 1), current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        previous[j] = static_cast<long long>(j);
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = static_cast<long long>(i);
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const long long substitution = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
        }
        std::swap(previous, current);
    }
    return {previous[b.size()], static_cast<long long>(a.size())};
}

}  // namespace

std::u32string NormalisedText(const std::string& utf8, bool keepSpaces) {
    return Normalised(utf8, keepSpaces ? Spaces::Kept : Spaces::Ignored);
}

std::vector<FontFace> ChineseFaces() {
    const std::string noto = "/usr/share/fonts/opentype/noto/";
    // Index 2 of the Noto CJK collections is the simplified-Chinese face.
    return Existing({{noto + "NotoSansCJK-Regular.ttc", 2},
                     {noto + "NotoSerifCJK-Regular.ttc", 2},
                     {noto + "NotoSansCJK-Bold.ttc", 2},
                     {noto + "NotoSerifCJK-Bold.ttc", 2}});
}

std::vector<FontFace> LatinFaces() {
    const std::string dejavu = "/usr/share/fonts/truetype/dejavu/";
    return Existing({{dejavu + "DejaVuSans.ttf", 0},
                     {dejavu + "DejaVuSerif.ttf", 0},
                     {"/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc", 2},
                     {dejavu + "DejaVuSansMono.ttf", 0}});
}

bool RenderTextPicture(const std::vector<std::string>& lines, const FontFace& face, int pixelHeight,
                       DecodedPicture& picture, std::string& error, const TextColours& colours) {
    const auto scalar = [](const std::array<std::uint8_t, 3>& rgb) {
        return cv::Scalar(rgb[0], rgb[1], rgb[2]);  // the canvas is RGB
    };
    try {
        cv::Ptr<cv::freetype::FreeType2> font = cv::freetype::createFreeType2();
        font->loadFontData(face.file, face.index);
        const int margin = pixelHeight;
        const int lineStep = pixelHeight * 3 / 2;
        int width = 0;
        for (const auto& line : lines) {
            int baseline = 0;
            width = std::max(width, font->getTextSize(line, pixelHeight, -1, &baseline).width);
        }
        const int w = width + 2 * margin;
        const int h = static_cast<int>(lines.size()) * lineStep + 2 * margin;
        cv::Mat canvas(h, w, CV_8UC3, scalar(colours.background));
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const cv::Point origin(margin, margin + static_cast<int>(i) * lineStep);
            font->putText(canvas, lines[i], origin, pixelHeight, scalar(colours.text), -1,
                          cv::LINE_AA, false);
        }
        picture.width = w;
        picture.height = h;
        picture.rgb.assign(canvas.data, canvas.data + static_cast<std::size_t>(w) * h * 3);
    } catch (const cv::Exception& e) {
        error = std::string("cannot render with ") + face.file + ": " + e.what();
        return false;
    }
    return true;
}

bool RenderColumnPicture(const std::vector<std::string>& characters, const FontFace& face,
                         int pixelHeight, DecodedPicture& picture, std::string& error) {
    std::vector<cv::Mat> cells;
    int width = 0;
    for (const std::string& character : characters) {
        DecodedPicture one;
        if (!RenderTextPicture({character}, face, pixelHeight, one, error)) {
            return false;
        }
        // The single line sits between margins of one glyph height; keep a
        // tenth of a glyph above and below it.
        const int keep = pixelHeight + pixelHeight / 5;
        const int top = std::max(0, (one.height - keep) / 2);
        const cv::Mat cell(one.height, one.width, CV_8UC3, one.rgb.data());
        cells.push_back(
            cell(cv::Rect(0, top, one.width, std::min(keep, one.height - top))).clone());
        width = std::max(width, one.width);
    }
    for (cv::Mat& cell : cells) {
        cv::copyMakeBorder(cell, cell, 0, 0, 0, width - cell.cols, cv::BORDER_CONSTANT,
                           cv::Scalar(255, 255, 255));
    }
    cv::Mat column;
    cv::vconcat(cells, column);
    cv::copyMakeBorder(column, column, pixelHeight, pixelHeight, 0, 0, cv::BORDER_CONSTANT,
                       cv::Scalar(255, 255, 255));
    picture.width = column.cols;
    picture.height = column.rows;
    picture.rgb.assign(column.data, column.data + column.total() * 3);
    return true;
}

ErrorCount CountErrors(const std::string& reference, const std::string& recognised,
                       bool keepSpaces) {
    return EditErrors(reference, recognised, keepSpaces ? Spaces::Kept : Spaces::Ignored);
}

ErrorCount CountSpaceAwareErrors(const std::string& reference, const std::string& recognised) {
    return EditErrors(reference, recognised, Spaces::SpaceAware);
}

}  // namespace kelsor::server::ppocr
