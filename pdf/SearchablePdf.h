#pragma once

#include <QRectF>
#include <QSize>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "cloud/LineJoin.h"
#include "pdf/PdfFile.h"

class QPDF;
class QPDFPageObjectHelper;

// A searchable copy of a scanned PDF: every original page and object is
// kept as it is, and each scanned page gets an invisible text layer, one
// text object per recognised line, so that the page's text can be found,
// selected and copied where it is seen. qpdf reads and writes the file.
namespace kelsor::pdf {

// One recognised line: its text (UTF-8) and its box in pixels of the
// rendered page picture.
struct RecognisedLine {
    std::string text;
    QRectF box;
};

// The recognition service's lines (words in the process code page) as
// lines of a text layer: each box is the one around its corners; lines
// without a box are left out.
std::vector<RecognisedLine> RecognisedLines(const std::vector<PlacedLine>& lines);

// The text layer of one page (from 0), whose rendered picture was
// `pictureSize` pixels: the page as shown, turned by `rotation` degrees
// (PageContent::rotation, the turn the renderer applied).
struct PageTextLayer {
    int page = 0;
    QSize pictureSize;
    std::vector<RecognisedLine> lines;
    int rotation = 0;
};

// The Info dictionary key every searchable file this converter writes
// carries: only such a file is ever replaced.
inline constexpr char kSearchableInfoKey[] = "/KelsorOcrSearchable";

struct SearchableOutcome {
    // Missing, Unreadable, Damaged, Encrypted (any encryption: such a file
    // is never rewritten) or NoPages.
    PdfFailure failure = PdfFailure::None;
    bool writeFailed = false;
    bool Succeeded() const { return failure == PdfFailure::None && !writeFailed; }
};

// Writes `source` with `layers` added to `target`, through a temporary file
// in the target's folder that replaces `target` only when complete; on
// failure nothing is left behind. Layers of pages the file does not have,
// lines without text and boxes that are empty are passed over.
SearchableOutcome WriteSearchablePdf(const QString& source, const QString& target,
                                     const std::vector<PageTextLayer>& layers);

// `value` as a number in a content stream, to 1/10000 of a point.
std::string PdfNumber(double value);

// Opens `path` with qpdf for writing a copy of it: Damaged when qpdf
// cannot read it, Encrypted for any encryption (such a file is never
// rewritten).
PdfFailure OpenForRewriting(QPDF& pdf, const QString& path);

// The invisible text layers of one file being written: every page's lines
// share one glyph-less font, whose ToUnicode map is completed on writing.
class TextLayers {
public:
    explicit TextLayers(QPDF& pdf);
    ~TextLayers();
    TextLayers(const TextLayers&) = delete;
    TextLayers& operator=(const TextLayers&) = delete;

    // Adds `layer` to `page` of the file (`layer.page` is not looked at). A
    // page without a line to show stays as it was.
    void Add(QPDFPageObjectHelper& page, const PageTextLayer& layer);
    // Writes the file to `target` through a temporary file in its folder that
    // replaces `target` only when complete, and only a regular file (see
    // WholeFile). False when nothing was written;
    // qpdf's exception for a damaged object met on the way passes through,
    // leaving nothing either.
    bool Write(const QString& target);

private:
    struct Font;
    QPDF& m_pdf;
    std::unique_ptr<Font> m_font;
};

// Whether `path` is a PDF this converter wrote with WriteSearchablePdf.
bool IsConverterSearchablePdf(const QString& path);

}  // namespace kelsor::pdf
