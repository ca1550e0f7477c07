#include "jobs/CodeLines.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "app/TextConv.h"
#include "cloud/RecognizePictureText.h"

namespace kelsor {
namespace {

struct Box {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
    double Width() const { return right - left; }
    double Height() const { return bottom - top; }
    double CentreX() const { return (left + right) / 2; }
    double CentreY() const { return (top + bottom) / 2; }
    bool Holds(double x, double y) const {
        return x >= left && x <= right && y >= top && y <= bottom;
    }
    Box Grown(double dx, double dy) const { return {left - dx, top - dy, right + dx, bottom + dy}; }
};

Box BoxOf(const std::array<std::array<double, 2>, 4>& corners) {
    Box b{corners[0][0], corners[0][1], corners[0][0], corners[0][1]};
    for (const auto& [x, y] : corners) {
        b.left = std::min(b.left, x);
        b.top = std::min(b.top, y);
        b.right = std::max(b.right, x);
        b.bottom = std::max(b.bottom, y);
    }
    return b;
}

// Where a code's own ink can be: a 2-D code's modules reach a module or so
// beyond the corners read; a barcode's bars a little beyond the rows read,
// and its printed characters lie along it (EAN's first digit before the
// bars, the rest under them), within about a tenth of its length.
Box InkBoxOf(const FoundCode& code) {
    const Box b = BoxOf(code.location);
    const double side = std::max(b.Width(), b.Height());
    const double grow = (code.kind == CodeKind::Linear ? 0.12 : 0.05) * side + 2;
    return b.Grown(grow, grow);
}

double Overlap(double a0, double a1, double b0, double b1) {
    return std::min(a1, b1) - std::max(a0, b0);
}

// Whether a reader meets `line` before `code`.
bool ReadBefore(const Box& line, const Box& code) {
    const double slack = 0.25 * std::min(line.Height(), code.Height());
    const bool leftOf = line.right <= code.left + slack && line.top < code.bottom;
    const bool level = Overlap(line.top, line.bottom, code.top, code.bottom) >
                       0.5 * std::min(line.Height(), code.Height());
    const bool above = line.bottom <= code.top + slack &&
                       Overlap(line.left, line.right, code.left, code.right) > 0;
    return leftOf || (level && line.CentreX() < code.CentreX()) || above;
}

std::wstring WithoutBlanks(const std::string& ansi) {
    std::wstring text = AnsiToWide(ansi);
    std::erase_if(text, [](wchar_t c) { return c == L' ' || c == L'\t' || c == 0x3000; });
    return text;
}

// A recognised line that is the code's own ink read as text: found inside
// a 2-D code, or a barcode's printed characters (all or part of its
// payload) on or just under or over its bars.
bool ReadFromCode(const PlacedLine& line, const FoundCode& code) {
    if (!line.placed) {
        return false;
    }
    const Box l = BoxOf(line.location);
    const Box c = BoxOf(code.location);
    if (code.kind == CodeKind::Matrix) {
        return c.Holds(l.CentreX(), l.CentreY());
    }
    const Box printed = c.Grown(0.05 * c.Width(), std::max(c.Height(), 0.25 * c.Width()));
    if (!printed.Holds(l.CentreX(), l.CentreY())) {
        return false;
    }
    const std::wstring words = WithoutBlanks(line.words);
    return words.empty() || c.Holds(l.CentreX(), l.CentreY()) ||
           AnsiToWide(Utf8ToAnsi(code.payload)).find(words) != std::wstring::npos;
}

// The place given to a code's line: a band across the middle of the code, as
// high as a line of its text would be for the code's width. A searchable
// page lays the text over it; squeezed into the code's square, its letters
// would overlap and a reader of the page would take repeated ones for one.
std::array<std::array<double, 2>, 4> TextBandOver(const FoundCode& code, const std::string& words) {
    const Box box = BoxOf(code.location);
    double columns = 0;  // a CJK character takes two
    for (const wchar_t c : AnsiToWide(words)) {
        columns += c >= 0x1100 ? 2 : 1;
    }
    const double height =
        std::clamp(1.8 * box.Width() / std::max(columns, 1.0), 1.0, std::max(box.Height(), 1.0));
    const double top = box.CentreY() - height / 2;
    const double bottom = top + height;
    return {{{box.left, top}, {box.right, top}, {box.right, bottom}, {box.left, bottom}}};
}

}  // namespace

constexpr const char* kMatrixMarker = "[二维码] ";
constexpr const char* kLinearMarker = "[条形码] ";

std::string CodeLineWords(const FoundCode& code) {
    std::string text = code.kind == CodeKind::Matrix ? kMatrixMarker : kLinearMarker;
    const std::string& payload = code.payload;
    for (std::size_t i = 0; i < payload.size(); ++i) {
        const char c = payload[i];
        if (c == '\r' || c == '\n') {
            text += "\r\n";
            if (c == '\r' && i + 1 < payload.size() && payload[i + 1] == '\n') {
                ++i;
            }
        } else if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) {
            text += '?';
        } else {
            text += c;
        }
    }
    return Utf8ToAnsi(text);
}

PictureLines PlaceCodes(const std::vector<PlacedLine>& lines, const std::vector<FoundCode>& codes) {
    PictureLines placed;
    std::vector<bool> drop(lines.size(), false);
    bool anyPlaced = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        anyPlaced = anyPlaced || lines[i].placed;
        for (const FoundCode& code : codes) {
            drop[i] = drop[i] || ReadFromCode(lines[i], code);
        }
    }
    // Each code's place: the number of lines read before it.
    struct Slot {
        std::size_t after;
        Box box;
        const FoundCode* code;
    };
    std::vector<Slot> slots;
    for (const FoundCode& code : codes) {
        const Box box = BoxOf(code.location);
        std::size_t after = anyPlaced ? 0 : lines.size();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].placed && !drop[i] && ReadBefore(BoxOf(lines[i].location), box)) {
                after = i + 1;
            }
        }
        slots.push_back({after, box, &code});
    }
    // Codes at one place read as lines do: down the rows, left to right
    // within one.
    std::stable_sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) {
        if (a.after != b.after) {
            return a.after < b.after;
        }
        return a.box.top < b.box.top;
    });
    for (std::size_t i = 1; i < slots.size(); ++i) {
        for (std::size_t j = i; j > 0 && slots[j].after == slots[j - 1].after &&
                                ReadBefore(slots[j].box, slots[j - 1].box) &&
                                !ReadBefore(slots[j - 1].box, slots[j].box);
             --j) {
            std::swap(slots[j], slots[j - 1]);
        }
    }
    std::size_t next = 0;
    auto addCodesUpTo = [&](std::size_t count) {
        for (; next < slots.size() && slots[next].after <= count; ++next) {
            std::string words = CodeLineWords(*slots[next].code);
            const auto band = TextBandOver(*slots[next].code, words);
            placed.lines.push_back({std::move(words), true, band});
            placed.isCode.push_back(true);
        }
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        addCodesUpTo(i);
        if (!drop[i]) {
            placed.lines.push_back(lines[i]);
            placed.isCode.push_back(false);
        }
    }
    addCodesUpTo(lines.size());
    return placed;
}

PictureLines MarkCodeLines(std::vector<PlacedLine> lines) {
    const std::string markers[] = {Utf8ToAnsi(kMatrixMarker), Utf8ToAnsi(kLinearMarker)};
    PictureLines marked;
    for (const PlacedLine& line : lines) {
        marked.isCode.push_back(line.words.rfind(markers[0], 0) == 0 ||
                                line.words.rfind(markers[1], 0) == 0);
    }
    marked.lines = std::move(lines);
    return marked;
}

std::string JoinPictureLines(int formatType, const PictureLines& lines) {
    if (formatType == FormatPriority) {
        return JoinRecognisedLines(formatType, lines.lines);
    }
    std::string text;
    std::vector<PlacedLine> run;
    auto add = [&text](const std::string& piece) {
        if (!piece.empty()) {
            text += text.empty() ? piece : "\r\n" + piece;
        }
    };
    for (std::size_t i = 0; i < lines.lines.size(); ++i) {
        if (!lines.isCode[i]) {
            run.push_back(lines.lines[i]);
            continue;
        }
        add(JoinRecognisedLines(formatType, run));
        run.clear();
        add(lines.lines[i].words);
    }
    add(JoinRecognisedLines(formatType, run));
    return text;
}

CodeScan ScanPictureCodes(const std::uint8_t* data, std::size_t size) {
    CodeScan scan;
    GreyImage grey;
    if (!DecodeGreyPicture(data, size, grey)) {
        return scan;
    }
    const int scale = ShrinkToSide(grey, kCodeScanMaxSide);
    scan.codes = ReadCodes(grey);
    scan.onlyCodes = OnlyCodesIn(grey, scan.codes);
    for (FoundCode& code : scan.codes) {
        for (auto& [x, y] : code.location) {
            x *= scale;
            y *= scale;
        }
    }
    return scan;
}

bool OnlyCodesIn(const GreyImage& picture, const std::vector<FoundCode>& codes) {
    if (codes.empty() || picture.width <= 0 || picture.height <= 0) {
        return false;
    }
    std::vector<Box> boxes;
    for (const FoundCode& code : codes) {
        boxes.push_back(InkBoxOf(code));
    }
    // Row by row, the columns outside every box.
    std::vector<bool> outside(std::size_t(picture.width));
    std::array<std::size_t, 256> counts{};
    std::size_t seen = 0;
    for (int y = 0; y < picture.height; ++y) {
        std::fill(outside.begin(), outside.end(), true);
        for (const Box& b : boxes) {
            if (y + 0.5 < b.top || y + 0.5 > b.bottom) {
                continue;
            }
            const int from = std::max(0, int(std::floor(b.left)));
            const int to = std::min(picture.width, int(std::ceil(b.right)) + 1);
            for (int x = from; x < to; ++x) {
                outside[std::size_t(x)] = false;
            }
        }
        for (int x = 0; x < picture.width; ++x) {
            if (outside[std::size_t(x)]) {
                ++counts[picture.At(x, y)];
                ++seen;
            }
        }
    }
    if (seen == 0) {
        return true;
    }
    const int ground = int(std::max_element(counts.begin(), counts.end()) - counts.begin());
    // A few stray dark pixels (a compression artefact at a code's edge) are
    // no text; a single small character has several dozen.
    constexpr int kInkDistance = 96;
    constexpr std::size_t kMostStrayPixels = 16;
    std::size_t ink = 0;
    for (int value = 0; value < 256; ++value) {
        if (std::abs(value - ground) > kInkDistance) {
            ink += counts[std::size_t(value)];
        }
    }
    return ink <= kMostStrayPixels;
}

}  // namespace kelsor
