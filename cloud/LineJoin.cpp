#include "cloud/LineJoin.h"

#include "app/TextConv.h"

#include <algorithm>

namespace kelsor {
namespace {

bool IsLatinLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
           (c >= 0x00C0 && c <= 0x024F && c != 0x00D7 && c != 0x00F7) ||
           (c >= 0x1E00 && c <= 0x1EFF);
}

bool IsLatinLetterOrDigit(wchar_t c) {
    return IsLatinLetter(c) || (c >= L'0' && c <= L'9');
}

// Lower-case Latin letters of ASCII and Latin-1; enough for the word that
// continues after a hyphen in the languages the service reads.
bool IsLowerLatin(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= 0x00DF && c <= 0x00FF && c != 0x00F7);
}

// The hyphen as the service returns it: ASCII, a single byte in every code
// page the program runs under, so it can be cut from the narrow text.
constexpr wchar_t kHyphen = L'-';

enum class Seam { Touch, Space, DropHyphen };

Seam SeamBetween(const std::wstring& before, const std::wstring& after) {
    if (before.empty() || after.empty()) {
        return Seam::Touch;
    }
    const wchar_t last = before.back();
    const wchar_t first = after.front();
    if (last == kHyphen && before.size() >= 2 && IsLatinLetter(before[before.size() - 2]) &&
        IsLowerLatin(first)) {
        return Seam::DropHyphen;
    }
    return IsLatinLetterOrDigit(last) && IsLatinLetterOrDigit(first) ? Seam::Space : Seam::Touch;
}

}  // namespace

std::string JoinEditLines(const std::vector<std::string>& lines) {
    std::string text;
    // Each line is decoded once: a code page such as GBK cannot be read
    // backwards from the end of the joined text.
    std::wstring previous;
    for (const std::string& line : lines) {
        if (line.empty()) {
            continue;
        }
        std::wstring wide = AnsiToWide(line);
        switch (SeamBetween(previous, wide)) {
            case Seam::Space:
                text += ' ';
                break;
            case Seam::DropHyphen:
                text.pop_back();
                break;
            case Seam::Touch:
                break;
        }
        text += line;
        previous = std::move(wide);
    }
    return text;
}

namespace {

// A line's place, upright: skew is small against the neighbours each rule
// compares a line with.
struct Bounds {
    double left = 0.0;
    double right = 0.0;
    double top = 0.0;
    double bottom = 0.0;
    double Height() const { return bottom - top; }
};

Bounds BoundsOf(const PlacedLine& line) {
    Bounds b{line.location[0][0], line.location[0][0], line.location[0][1], line.location[0][1]};
    for (const auto& corner : line.location) {
        b.left = std::min(b.left, corner[0]);
        b.right = std::max(b.right, corner[0]);
        b.top = std::min(b.top, corner[1]);
        b.bottom = std::max(b.bottom, corner[1]);
    }
    return b;
}

double Median(std::vector<double> values, double fallback) {
    if (values.empty()) {
        return fallback;
    }
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// The next part continues the same printed line: level with it, to its right.
bool SameRow(const Bounds& a, const Bounds& b) {
    const double overlap = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return overlap > 0.5 * std::min(a.Height(), b.Height()) && b.left >= a.right - a.Height();
}

// A new column (or a new block beside the last) starts where the reading
// goes back up or the lines no longer share any width.
bool NewColumn(const Bounds& a, const Bounds& b) {
    return b.top < a.top || b.left > a.right || b.right < a.left;
}

// A printed line: one or more placed parts on one row.
struct Row {
    Bounds box;
    std::wstring text;  // the first part's text, for the width of its first word
    std::size_t first = 0;
    std::size_t column = 0;
    bool down = false;  // a column of vertical text, its box turned
};

// A line of vertical text: a box clearly taller than wide around more than
// one character.
bool RunsDown(const Bounds& b, const std::wstring& text) {
    return text.size() > 1 && b.Height() >= 1.5 * (b.right - b.left);
}

// A column's box turned a quarter anticlockwise, so that its top-to-bottom
// runs left to right and the columns, read right to left, follow each other
// downwards as lines do: the same rules find its paragraphs.
Bounds Turned(const Bounds& b) {
    return {b.top, b.bottom, -b.right, -b.left};
}

// The width the first word of `row` takes, with the space before it.
double FirstWordWidth(const Row& row) {
    const std::wstring& t = row.text;
    if (t.empty()) {
        return 0.0;
    }
    // Characters are hardly wider than the line is high, however widely a
    // short text is spread.
    const double charWidth = std::min(
        (row.box.right - row.box.left) / static_cast<double>(t.size()), 1.2 * row.box.Height());
    std::size_t length = 1;
    if (IsLatinLetterOrDigit(t[0])) {
        while (length < t.size() && t[length] != L' ') {
            ++length;
        }
    }
    return charWidth * static_cast<double>(length + 1);
}

// The edge a column's lines hold near row `at`: the rows around it in its
// column, `at` itself left out, and a heading or short line among them too.
double ColumnEdge(const std::vector<Row>& rows, std::size_t at, bool right) {
    std::vector<double> edges;
    const std::size_t from = at >= 4 ? at - 4 : 0;
    for (std::size_t i = from; i < rows.size() && i <= at + 4; ++i) {
        if (i != at && rows[i].column == rows[at].column) {
            edges.push_back(right ? -rows[i].box.right : rows[i].box.left);
        }
    }
    if (edges.empty()) {
        return right ? rows[at].box.right : rows[at].box.left;
    }
    std::sort(edges.begin(), edges.end());
    const double edge = edges[edges.size() / 3];
    return right ? -edge : edge;
}

}  // namespace

std::vector<bool> ParagraphStarts(const std::vector<PlacedLine>& lines) {
    std::vector<bool> starts(lines.size(), false);
    // Text set in columns: most placed lines run down the page.
    std::ptrdiff_t down = 0;
    for (const PlacedLine& line : lines) {
        if (line.placed && !line.words.empty()) {
            down += RunsDown(BoundsOf(line), AnsiToWide(line.words)) ? 1 : -1;
        }
    }
    std::vector<Row> rows;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].placed || lines[i].words.empty()) {
            continue;
        }
        Bounds b = BoundsOf(lines[i]);
        std::wstring text = AnsiToWide(lines[i].words);
        const bool column = down > 0 && RunsDown(b, text);
        if (column) {
            b = Turned(b);
        }
        // A title across a page of columns is a paragraph of its own.
        const bool turn = !rows.empty() && rows.back().down != column;
        if (!rows.empty() && !turn && SameRow(rows.back().box, b)) {
            Bounds& r = rows.back().box;
            r = {std::min(r.left, b.left), std::max(r.right, b.right), std::min(r.top, b.top),
                 std::max(r.bottom, b.bottom)};
            continue;
        }
        Row row{b, std::move(text), i, 0, column};
        if (!rows.empty()) {
            row.column = rows.back().column + (turn || NewColumn(rows.back().box, b) ? 1 : 0);
        }
        rows.push_back(std::move(row));
    }
    std::vector<double> heights, pitches;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        heights.push_back(rows[i].box.Height());
        if (i > 0 && rows[i].column == rows[i - 1].column) {
            pitches.push_back(rows[i].box.top - rows[i - 1].box.top);
        }
    }
    const double height = std::max(Median(heights, 1.0), 1.0);
    const double pitch = std::max(Median(pitches, 1.5 * height), height);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const Row& before = rows[i - 1];
        const Row& row = rows[i];
        const bool sameColumn = before.column == row.column;
        const bool gap = sameColumn && row.box.top - before.box.top > 1.4 * pitch;
        const bool indented = row.box.left - ColumnEdge(rows, i, false) > 0.8 * height;
        const double shortBy = ColumnEdge(rows, i - 1, true) - before.box.right;
        const bool lastLine = shortBy > std::max(FirstWordWidth(row), 1.5 * height);
        starts[row.first] = gap || indented || lastLine || before.down != row.down;
    }
    return starts;
}

std::string JoinEditParagraphs(const std::vector<PlacedLine>& lines) {
    const std::vector<bool> starts = ParagraphStarts(lines);
    std::string text;
    std::vector<std::string> paragraph;
    // A paragraph of empty words leaves no empty line behind.
    auto close = [&] {
        const std::string joined = JoinEditLines(paragraph);
        if (!joined.empty()) {
            text += text.empty() ? joined : "\r\n" + joined;
        }
        paragraph.clear();
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (starts[i]) {
            close();
        }
        paragraph.push_back(lines[i].words);
    }
    close();
    return text;
}

}  // namespace kelsor
