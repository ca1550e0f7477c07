#pragma once

#include <QImage>
#include <QString>
#include <string>
#include <vector>

// PDF files the tests make themselves with Qt's PDF writer: pages with a
// text layer, and scanned pages that are a picture and nothing else.
namespace kelsor::test {

struct PdfPageContent {
    std::vector<QString> lines;  // a text page: these lines, as text
    QImage scan;                 // a scanned page: this picture, filling the page
};

// A4 pages in order; false when the file cannot be written.
bool WritePdf(const std::string& path, const std::vector<PdfPageContent>& pages);

// A page written object by object, for files Qt's writer would never make:
// `content` is the page's content stream (Flate-compressed when written); a
// `imageSide` above 0 adds the 8-bit grey image /Im0 of that many pixels a
// side whose compressed data holds a single row, so that a file of a few
// hundred bytes declares gigabytes of picture. The font /F1 is Helvetica.
struct RawPdfPage {
    std::string content;
    int imageSide = 0;
    std::string mediaBox = "0 0 595 842";
    long long rotate = 0;  // the page's /Rotate
};
// A4 pages in order; `declaredCount`, when above 0, is the page count the
// page tree claims instead of the real one.
bool WriteRawPdf(const std::string& path, const std::vector<RawPdfPage>& pages,
                 int declaredCount = 0);
// A content stream that shows `line` in /F1.
std::string TextContent(const std::string& line);
// A content stream of `strokes` lines across the page: seconds of drawing
// from a few kilobytes.
std::string HeavyContent(int strokes);

// A file of `objects` in order, numbered from 1, object 1 the catalog: for
// page trees no writer makes.
bool WritePdfObjects(const std::string& path, const std::vector<std::string>& objects);
// A stream object, its data Flate-compressed.
std::string StreamObject(const std::string& dictionary, const std::string& data);
// An 8-bit grey image of `side` pixels a side, all mid grey.
std::string GreyImageObject(int side);
// Two scanned pages, objects 4 and 5 under the root, whose dictionaries end
// with `fourth` and `fifth`; object 6, a scanned page under object 5, is
// there for a /Kids to name: page trees that readers list differently.
bool WriteTwoPageTree(const std::string& path, const std::string& fourth, const std::string& fifth);
// `slowPages` pages that each take hours to draw (forms that draw the form
// below ten times, eight deep), then a page that shows `lastLine` (none when
// empty).
bool WriteSlowPdf(const std::string& path, int slowPages, const std::string& lastLine);

// `source` encrypted with the user password `userPassword` (qpdf, AES-256);
// with an empty one, anybody may open it, but it stays encrypted.
bool EncryptPdf(const std::string& source, const std::string& target,
                const std::string& userPassword = "secret");

}  // namespace kelsor::test
