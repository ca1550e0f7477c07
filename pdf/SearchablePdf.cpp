#include "pdf/SearchablePdf.h"

#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_String.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>

#include "app/TextConv.h"
#include "pdf/PageTree.h"
#include "pdf/WholeFile.h"

namespace kelsor::pdf {
namespace {

// Every glyph of the invisible font is half an em wide, as Latin letters
// are on average: a line stretched over its box then keeps the spaces
// between its words near a normal width, which readers take for word gaps
// rather than columns. The ascent and descent put a line's box between the
// descent and the ascent of its text.
constexpr double kGlyphWidth = 0.5;
constexpr double kDescent = 0.2;

// Character codes of the glyph-less font: two bytes each, given out in the
// order characters are first met; the ToUnicode map turns them back.
class FontCodes {
public:
    // The code of `c`; 0 (shown as nothing) once every code is given out.
    unsigned Code(char32_t c) {
        const auto found = m_codes.find(c);
        if (found != m_codes.end())
            return found->second;
        if (m_codes.size() >= 0xFFFE)
            return 0;
        const unsigned code = static_cast<unsigned>(m_codes.size()) + 1;
        m_codes.emplace(c, code);
        return code;
    }
    std::string ToUnicodeMap() const;

private:
    std::map<char32_t, unsigned> m_codes;
};

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

// UTF-16BE in hex: a surrogate pair beyond the Basic Multilingual Plane.
std::string Utf16Hex(char32_t c) {
    if (c < 0x10000)
        return Hex4(c);
    const unsigned v = c - 0x10000;
    return Hex4(0xD800 + (v >> 10)) + Hex4(0xDC00 + (v & 0x3FF));
}

std::string FontCodes::ToUnicodeMap() const {
    std::string map =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<std::pair<unsigned, char32_t>> byCode;
    for (const auto& [c, code] : m_codes)
        byCode.emplace_back(code, c);
    std::sort(byCode.begin(), byCode.end());
    // At most 100 entries a block.
    for (size_t first = 0; first < byCode.size(); first += 100) {
        const size_t end = std::min(byCode.size(), first + 100);
        map += std::to_string(end - first) + " beginbfchar\n";
        for (size_t i = first; i < end; ++i)
            map += "<" + Hex4(byCode[i].first) + "> <" + Utf16Hex(byCode[i].second) + ">\n";
        map += "endbfchar\n";
    }
    map += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return map;
}

// Where the rendered picture's pixels lie on the page: the picture shows the
// crop box (within the media box) turned as the renderer turned it.
class PageGeometry {
public:
    // False for a box that is empty or not finite. A `rotation` other than a
    // quarter turn counts as upright.
    bool Read(QPDFPageObjectHelper& page, QSize picture, int rotation);
    // The page point of picture point (u, v), both 0..1 from the top left.
    QPointF Map(double u, double v) const;
    // One picture pixel in points, across and down the picture.
    double PointsPerPixelAcross() const { return m_across; }
    double PointsPerPixelDown() const { return m_down; }

private:
    double m_x0 = 0, m_y0 = 0, m_x1 = 0, m_y1 = 0;
    int m_rotate = 0;
    double m_across = 0, m_down = 0;
};

bool ReadBox(QPDFObjectHandle box, double& x0, double& y0, double& x1, double& y1) {
    if (!box.isRectangle())
        return false;
    const QPDFObjectHandle::Rectangle r = box.getArrayAsRectangle();
    x0 = std::min(r.llx, r.urx);
    x1 = std::max(r.llx, r.urx);
    y0 = std::min(r.lly, r.ury);
    y1 = std::max(r.lly, r.ury);
    return std::isfinite(x0) && std::isfinite(x1) && std::isfinite(y0) && std::isfinite(y1) &&
           x1 > x0 && y1 > y0;
}

bool PageGeometry::Read(QPDFPageObjectHelper& page, QSize picture, int rotation) {
    if (picture.width() <= 0 || picture.height() <= 0)
        return false;
    if (!ReadBox(page.getMediaBox(), m_x0, m_y0, m_x1, m_y1))
        return false;
    double cx0, cy0, cx1, cy1;
    if (ReadBox(page.getCropBox(), cx0, cy0, cx1, cy1)) {
        cx0 = std::max(cx0, m_x0), cy0 = std::max(cy0, m_y0);
        cx1 = std::min(cx1, m_x1), cy1 = std::min(cy1, m_y1);
        if (cx1 > cx0 && cy1 > cy0)
            m_x0 = cx0, m_y0 = cy0, m_x1 = cx1, m_y1 = cy1;
    }
    // Not the page's /Rotate: readers draw a value that is no quarter turn
    // upright, and may differ on values they cannot take at all.
    m_rotate = rotation == 90 || rotation == 180 || rotation == 270 ? rotation : 0;
    const double w = m_x1 - m_x0, h = m_y1 - m_y0;
    const bool turned = m_rotate == 90 || m_rotate == 270;
    m_across = (turned ? h : w) / picture.width();
    m_down = (turned ? w : h) / picture.height();
    return true;
}

QPointF PageGeometry::Map(double u, double v) const {
    const double w = m_x1 - m_x0, h = m_y1 - m_y0;
    switch (m_rotate) {
        case 90:
            return {m_x0 + v * w, m_y0 + u * h};
        case 180:
            return {m_x1 - u * w, m_y0 + v * h};
        case 270:
            return {m_x1 - v * w, m_y1 - u * h};
        default:
            return {m_x0 + u * w, m_y1 - v * h};
    }
}

// One line as one invisible text object, stretched over its box.
std::string LineText(const RecognisedLine& line, QSize picture, const PageGeometry& geometry,
                     const std::string& font, FontCodes& codes) {
    const QRectF box = line.box.normalized().intersected(QRectF(QPointF(0, 0), picture));
    if (!(box.width() > 0) || !(box.height() > 0))
        return {};
    std::string glyphs;
    int count = 0;
    for (const char32_t c : QString::fromStdString(line.text).toUcs4()) {
        if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF))
            continue;
        glyphs += Hex4(codes.Code(c));
        ++count;
    }
    if (count == 0)
        return {};
    const double W = picture.width(), H = picture.height();
    // A column of vertical text (a box clearly taller than wide around more
    // than one character) has its text run down the column, the glyphs'
    // tops towards its right, so that selecting it highlights the column.
    const bool down = count > 1 && box.height() >= 1.5 * box.width();
    double height = 0.0, length = 0.0;
    QPointF origin, along, up;
    if (down) {
        height = box.width() * geometry.PointsPerPixelAcross();
        length = box.height() * geometry.PointsPerPixelDown();
        const double baseline = box.left() + kDescent * box.width();
        origin = geometry.Map(baseline / W, box.top() / H);
        along = geometry.Map(baseline / W, box.bottom() / H) - origin;
        up = geometry.Map((baseline + box.width()) / W, box.top() / H) - origin;
    } else {
        height = box.height() * geometry.PointsPerPixelDown();
        length = box.width() * geometry.PointsPerPixelAcross();
        // The baseline runs along the picture's rows, the descent above the box's bottom.
        const double baseline = box.bottom() - kDescent * box.height();
        origin = geometry.Map(box.left() / W, baseline / H);
        along = geometry.Map(box.right() / W, baseline / H) - origin;
        up = geometry.Map(box.left() / W, (baseline - box.height()) / H) - origin;
    }
    const double alongLength = std::hypot(along.x(), along.y());
    const double upLength = std::hypot(up.x(), up.y());
    if (!(alongLength > 0) || !(upLength > 0))
        return {};
    const double scale = 100.0 * length / (count * kGlyphWidth * height);
    return "BT\n3 Tr\n" + font + " " + PdfNumber(height) + " Tf\n" + PdfNumber(scale) + " Tz\n" +
           PdfNumber(along.x() / alongLength) + " " + PdfNumber(along.y() / alongLength) + " " +
           PdfNumber(up.x() / upLength) + " " + PdfNumber(up.y() / upLength) + " " +
           PdfNumber(origin.x()) + " " + PdfNumber(origin.y()) + " Tm\n<" + glyphs + "> Tj\nET\n";
}

// The writer's output straight into the file being saved.
class WholeFileSink : public Pipeline {
public:
    explicit WholeFileSink(WholeFile& file) : Pipeline("searchable", nullptr), m_file(file) {}
    void write(unsigned char const* data, size_t len) override {
        m_file.Write(reinterpret_cast<const char*>(data), len);
    }
    void finish() override {}

private:
    WholeFile& m_file;
};

std::string Deflate(const std::string& data) {
    std::string compressed;
    Pl_String sink("compressed", nullptr, compressed);
    Pl_Flate flate("deflate", &sink, Pl_Flate::a_deflate);
    flate.writeString(data);
    flate.finish();
    return compressed;
}

QPDFObjectHandle NewStream(QPDF& pdf, const std::string& data) {
    QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf);
    stream.replaceStreamData(Deflate(data), QPDFObjectHandle::newName("/FlateDecode"),
                             QPDFObjectHandle::newNull());
    return stream;
}

// The glyph-less Type 0 font, two-byte codes; its ToUnicode map is filled
// in once every page is written.
QPDFObjectHandle NewFont(QPDF& pdf, QPDFObjectHandle toUnicode) {
    QPDFObjectHandle descriptor = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /FontDescriptor /FontName /GlyphLessFont /Flags 5"
        " /FontBBox [0 -200 1000 800] /ItalicAngle 0 /Ascent 800 /Descent -200"
        " /CapHeight 800 /StemV 80 >>"));
    QPDFObjectHandle cidFont = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /GlyphLessFont"
        " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
        " /DW 500 /CIDToGIDMap /Identity >>"));
    cidFont.replaceKey("/FontDescriptor", descriptor);
    QPDFObjectHandle font = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type0 /BaseFont /GlyphLessFont /Encoding /Identity-H >>"));
    font.replaceKey("/DescendantFonts", QPDFObjectHandle::newArray({cidFont}));
    font.replaceKey("/ToUnicode", toUnicode);
    return font;
}

// A font name the page's resources do not use yet.
std::string FreeFontName(QPDFPageObjectHelper& page) {
    QPDFObjectHandle resources = page.getAttribute("/Resources", false);
    QPDFObjectHandle fonts =
        resources.isDictionary() ? resources.getKey("/Font") : QPDFObjectHandle::newNull();
    std::string name = "/KelsorOcrText";
    for (int n = 2; fonts.isDictionary() && fonts.hasKey(name); ++n)
        name = "/KelsorOcrText" + std::to_string(n);
    return name;
}

// Adds `font` as `name` to the page's own font dictionary; shared resources
// are copied first, so other pages stay as they were.
void AddFont(QPDFPageObjectHelper& page, const std::string& name, QPDFObjectHandle font) {
    QPDFObjectHandle resources = page.getAttribute("/Resources", true);
    if (!resources.isDictionary()) {
        resources = QPDFObjectHandle::newDictionary();
        page.getObjectHandle().replaceKey("/Resources", resources);
    }
    QPDFObjectHandle fonts = resources.getKey("/Font");
    fonts = fonts.isDictionary() ? fonts.shallowCopy() : QPDFObjectHandle::newDictionary();
    fonts.replaceKey(name, font);
    resources.replaceKey("/Font", fonts);
}

// Adds the layer to its page: the original streams run inside q/Q so that
// the graphics state they leave behind does not move the text. A page
// without a line to show stays as it was.
void AddLayer(QPDF& pdf, QPDFPageObjectHelper& page, const PageTextLayer& layer,
              QPDFObjectHandle font, FontCodes& codes) {
    PageGeometry geometry;
    if (!geometry.Read(page, layer.pictureSize, layer.rotation))
        return;
    const std::string fontName = FreeFontName(page);
    std::string text;
    for (const RecognisedLine& line : layer.lines)
        text += LineText(line, layer.pictureSize, geometry, fontName, codes);
    if (text.empty())
        return;
    AddFont(page, fontName, font);
    page.addPageContents(NewStream(pdf, "q\n"), true);
    page.addPageContents(NewStream(pdf, "\nQ\n" + text), false);
}

}  // namespace

std::string PdfNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

std::vector<RecognisedLine> RecognisedLines(const std::vector<PlacedLine>& lines) {
    std::vector<RecognisedLine> layer;
    for (const PlacedLine& line : lines) {
        if (!line.placed)
            continue;
        double x0 = line.location[0][0], x1 = x0, y0 = line.location[0][1], y1 = y0;
        for (const auto& [x, y] : line.location) {
            x0 = std::min(x0, x), x1 = std::max(x1, x);
            y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
        layer.push_back({AnsiToUtf8(line.words), QRectF(QPointF(x0, y0), QPointF(x1, y1))});
    }
    return layer;
}

// The font every layer of one file shares, and the codes its lines use.
struct TextLayers::Font {
    QPDFObjectHandle toUnicode;
    QPDFObjectHandle font;
    FontCodes codes;
};

TextLayers::TextLayers(QPDF& pdf) : m_pdf(pdf), m_font(std::make_unique<Font>()) {
    m_font->toUnicode = QPDFObjectHandle::newStream(&pdf);
    m_font->font = NewFont(pdf, m_font->toUnicode);
}

TextLayers::~TextLayers() = default;

void TextLayers::Add(QPDFPageObjectHelper& page, const PageTextLayer& layer) {
    AddLayer(m_pdf, page, layer, m_font->font, m_font->codes);
}

bool TextLayers::Write(const QString& target) {
    m_font->toUnicode.replaceStreamData(Deflate(m_font->codes.ToUnicodeMap()),
                                        QPDFObjectHandle::newName("/FlateDecode"),
                                        QPDFObjectHandle::newNull());
    WholeFile out(target);
    if (!out.Open())
        return false;
    WholeFileSink sink(out);
    QPDFWriter writer(m_pdf);
    // The original streams are copied as they are, never recompressed.
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setCompressStreams(false);
    writer.setOutputPipeline(&sink);
    writer.write();
    // An unfinished file is discarded with `out`.
    return out.Commit();
}

SearchableOutcome WriteSearchablePdf(const QString& source, const QString& target,
                                     const std::vector<PageTextLayer>& layers) {
    SearchableOutcome outcome;
    const QFileInfo info(source);
    if (!info.exists()) {
        outcome.failure = PdfFailure::Missing;
        return outcome;
    }
    if (!info.isFile() || !info.isReadable()) {
        outcome.failure = PdfFailure::Unreadable;
        return outcome;
    }
    // Never over the file being read.
    if (QFileInfo(target).exists() &&
        QFileInfo(target).canonicalFilePath() == info.canonicalFilePath()) {
        outcome.writeFailed = true;
        return outcome;
    }
    try {
        QPDF pdf;
        outcome.failure = OpenForRewriting(pdf, source);
        if (outcome.failure != PdfFailure::None)
            return outcome;
        // The layers were made from Poppler's pictures of its pages, and the
        // copy must have the pages the text file has.
        if (!ReadersAgreeOnPages(pdf)) {
            outcome.failure = PdfFailure::Damaged;
            return outcome;
        }
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        if (pages.empty()) {
            outcome.failure = PdfFailure::NoPages;
            return outcome;
        }
        TextLayers text(pdf);
        for (const PageTextLayer& layer : layers) {
            if (layer.page >= 0 && layer.page < static_cast<int>(pages.size()))
                text.Add(pages[layer.page], layer);
        }

        QPDFObjectHandle trailer = pdf.getTrailer();
        QPDFObjectHandle infoDict = trailer.getKey("/Info");
        infoDict =
            infoDict.isDictionary() ? infoDict.shallowCopy() : QPDFObjectHandle::newDictionary();
        infoDict.replaceKey(kSearchableInfoKey, QPDFObjectHandle::newBool(true));
        trailer.replaceKey("/Info", pdf.makeIndirectObject(infoDict));
        outcome.writeFailed = !text.Write(target);
    } catch (const std::exception&) {
        outcome.failure = PdfFailure::Damaged;
    }
    return outcome;
}

PdfFailure OpenForRewriting(QPDF& pdf, const QString& path) {
    pdf.setSuppressWarnings(true);
    try {
        pdf.processFile(QFile::encodeName(path).constData());
    } catch (const QPDFExc& e) {
        return e.getErrorCode() == qpdf_e_password ? PdfFailure::Encrypted : PdfFailure::Damaged;
    } catch (const std::exception&) {
        return PdfFailure::Damaged;
    }
    return pdf.isEncrypted() ? PdfFailure::Encrypted : PdfFailure::None;
}

bool IsConverterSearchablePdf(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(path).constData());
        QPDFObjectHandle infoDict = pdf.getTrailer().getKey("/Info");
        return infoDict.isDictionary() && infoDict.getKey(kSearchableInfoKey).isBool() &&
               infoDict.getKey(kSearchableInfoKey).getBoolValue();
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace kelsor::pdf
