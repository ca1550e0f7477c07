#pragma once

#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "pdf/PdfFile.h"
#include "pdf/SearchablePdf.h"

class QPDFObjectHandle;

// One searchable PDF made of several sources in order: the pages of PDF
// files, kept as they are, and pictures, each one page of its own. Any page
// may get an invisible text layer, as WriteSearchablePdf gives one.
namespace kelsor::pdf {

// A picture's page shows it at the resolution its file names; a file that
// names none, or one no scanner or camera gives, is taken at this one.
inline constexpr double kPictureDefaultDpi = 96.0;
inline constexpr double kPictureMinDpi = 10.0;
inline constexpr double kPictureMaxDpi = 10000.0;
// The largest page side PDF readers show (200 inches), in points.
inline constexpr double kMaxPagePoints = 14400.0;

// The resolution, across and down, the page of a `pixels` picture whose
// file names `declaredDpi` (0 for none) is made at: the declared one when
// both are within the bounds above (a fax's 204 x 98 dpi), else
// kPictureDefaultDpi; raised alike where the page would be larger than
// kMaxPagePoints, so that the page keeps the picture's proportions.
QSizeF PicturePageDpi(QSizeF declaredDpi, QSize pixels);

// A JPEG picture a page carries: the file at `file` as it is, read when
// the book is written, or else the JPEG `data`.
struct PageJpeg {
    QString file;
    std::string data;
    QSize pixels;
    bool grey = false;  // one channel
};

// The JPEG file at `path` as a page may carry it unchanged: a baseline or
// progressive 8-bit JPEG, grey or YCbCr colour, stored upright (no Exif
// turn) and `pixels` in size. Nothing for any other file.
std::optional<PageJpeg> JpegAsItIs(const QString& path, QSize pixels);

class SearchableBook {
public:
    // Pictures wait for the book to be written in a file nobody else sees,
    // made in `spoolFolder` (else the temporary folder), not in memory.
    explicit SearchableBook(const QString& spoolFolder = {});
    ~SearchableBook();
    SearchableBook(const SearchableBook&) = delete;
    SearchableBook& operator=(const SearchableBook&) = delete;

    // Appends every page of the PDF at `path` as it is, `firstPage` set to
    // the book's index of its first page. On failure (as WriteSearchablePdf
    // says them, encrypted files refused) nothing is appended; a file whose
    // page count is not `pageCount` (the count its reader found, whose
    // layers are to come) is Damaged.
    PdfFailure AddPdf(const QString& path, int pageCount, int& firstPage);
    // Appends one page showing `jpeg` at `dpi`; returns the page's index.
    int AddPicture(const PageJpeg& jpeg, QSizeF dpi);
    // Appends one page showing `picture` at `dpi`, its pixels kept without
    // loss (grey or colour, transparent parts on white); returns the page's
    // index.
    int AddPicture(const QImage& picture, QSizeF dpi);
    // Gives page `layer.page` of the book its invisible text; the layer's
    // picture is the page as rendered (a picture's page: the picture).
    // False when the page has no such index or its objects are too damaged
    // to take the text (the page stays as it was).
    bool AddLayer(const PageTextLayer& layer);
    int PageCount() const;

    // Writes the book to `target` through a temporary file in its folder
    // that replaces `target` only when complete. False when nothing was
    // written (no page, the folder cannot be written, a source file went bad
    // or changed).
    bool Write(const QString& target);

private:
    int AddPicturePage(QPDFObjectHandle image, QSize pixels, QSizeF dpi);
    // Gives `image` the `data` of its filter, kept in the spool when it can.
    void SetPictureData(QPDFObjectHandle image, const QByteArray& data, const char* filter);

    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

}  // namespace kelsor::pdf
