#pragma once

#include <QImage>
#include <QString>
#include <memory>
#include <string>

namespace Poppler {
class Document;
class Page;
}  // namespace Poppler

// A PDF file opened for conversion: its pages' text layers and the pictures
// of pages that have none. Poppler reads the file; nothing here parses PDF.
namespace kelsor::pdf {

// Why a file cannot be converted at all.
enum class PdfFailure {
    None,
    Missing,       // "文件不存在"
    Unreadable,    // "文件无法读取"
    Damaged,       // "文件已损坏"
    Encrypted,     // "文件已加密": it needs a password to open
    NoPages,       // "文件没有页面"
    TooManyPages,  // "页数过多": more than kMaxPages
};

// The reason the file list shows for a failure (empty for None).
std::wstring FailureText(PdfFailure failure);

// More pages than any document a person converts; a file that claims more
// is refused before any work starts.
inline constexpr int kMaxPages = 10000;

// Scanned pages are rendered at 300 dpi, but never beyond these bounds (a
// poster-sized page would otherwise need gigabytes, and the recognition
// service takes at most 8192 pixels a side).
inline constexpr double kRenderDpi = 300.0;
inline constexpr int kMaxRenderSide = 4000;
inline constexpr double kMaxRenderPixels = 16.0e6;

// What a page gives for conversion: its text layer, else its picture; both
// empty when it cannot be read.
struct PageContent {
    QString text;
    QImage picture;
    // The quarter turn the picture shows the page at, in degrees clockwise:
    // 0, 90, 180 or 270. A /Rotate that is not a multiple of 90 is drawn
    // upright, as readers do.
    int rotation = 0;
};

// The resolution a page of `widthPoints` x `heightPoints` (1/72 inch) is
// rendered at: kRenderDpi, lowered until the picture fits the bounds.
double RenderDpiFor(double widthPoints, double heightPoints);

class PdfFile {
public:
    PdfFile();
    ~PdfFile();
    PdfFile(const PdfFile&) = delete;
    PdfFile& operator=(const PdfFile&) = delete;

    // Opens `path`; on failure the file stays closed and the reason is returned.
    PdfFailure Open(const QString& path);

    int PageCount() const;
    // The text layer of page `index` (from 0), lines separated by "\n" and
    // trimmed; empty for a page without one (a scan, a photo) or a page that
    // cannot be read.
    QString PageText(int index) const;
    // The page as a picture for recognition; null when it cannot be rendered.
    QImage RenderPage(int index) const;
    // The turn page `index` is drawn with (see PageContent::rotation).
    int PageRotation(int index) const;
    // The text layer of page `index`, else its picture and its turn.
    PageContent ReadPage(int index) const;

private:
    std::unique_ptr<Poppler::Page> Page(int index) const;

    std::unique_ptr<Poppler::Document> m_document;
};

}  // namespace kelsor::pdf
