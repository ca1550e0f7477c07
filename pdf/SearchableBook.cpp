#include "pdf/SearchableBook.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QUtil.hh>

// clang-format off
#include <cstdio>  // before jpeglib.h, which uses FILE
#include <jpeglib.h>
// clang-format on

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <functional>
#include <stdexcept>
#include <vector>

#include "jobs/PictureFormat.h"
#include "jobs/PictureHeader.h"
#include "pdf/PageTree.h"

namespace kelsor::pdf {
namespace {

// What a JPEG's header says of its picture.
struct JpegHeader {
    int width = 0;
    int height = 0;
    int components = 0;
    int precision = 0;
    bool arithmetic = false;
    J_COLOR_SPACE space = JCS_UNKNOWN;
};

// libjpeg reports an error by calling error_exit, which must not return.
struct JumpingErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JumpingErrors*>(info->err)->jump, 1);
}

void SayNothing(j_common_ptr) {}

// Only plain C objects live here, which the jump back may skip.
bool ReadJpegHeader(std::FILE* file, JpegHeader& header) {
    jpeg_decompress_struct info{};
    JumpingErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = JumpBack;
    errors.manager.output_message = SayNothing;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    const bool read = jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK;
    if (read) {
        header.width = static_cast<int>(info.image_width);
        header.height = static_cast<int>(info.image_height);
        header.components = info.num_components;
        header.precision = info.data_precision;
        header.arithmetic = info.arith_code != 0;
        header.space = info.jpeg_color_space;
    }
    jpeg_destroy_decompress(&info);
    return read;
}

// An image XObject of 8-bit samples, its data still to come.
QPDFObjectHandle NewImage(QPDF& pdf, QSize pixels, bool grey) {
    QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf);
    QPDFObjectHandle dictionary = image.getDict();
    dictionary.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dictionary.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dictionary.replaceKey("/Width", QPDFObjectHandle::newInteger(pixels.width()));
    dictionary.replaceKey("/Height", QPDFObjectHandle::newInteger(pixels.height()));
    dictionary.replaceKey("/ColorSpace",
                          QPDFObjectHandle::newName(grey ? "/DeviceGray" : "/DeviceRGB"));
    dictionary.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    return image;
}

}  // namespace

std::optional<PageJpeg> JpegAsItIs(const QString& path, QSize pixels) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Exif sits in the first segments, each at most 64 KB.
    const QByteArray start = file.read(1 << 20);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(start.constData());
    const auto size = static_cast<std::size_t>(start.size());
    if (SniffPictureFormat(bytes, size) != ImageFormatJpeg ||
        ReadPictureOrientation(bytes, size, ImageFormatJpeg) != kOrientationUpright)
        return std::nullopt;
    std::FILE* stream = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (stream == nullptr)
        return std::nullopt;
    JpegHeader header;
    const bool read = ReadJpegHeader(stream, header);
    std::fclose(stream);
    const bool grey = header.components == 1 && header.space == JCS_GRAYSCALE;
    // Readers turn three channels from YCbCr unless told otherwise.
    const bool colour = header.components == 3 && header.space == JCS_YCbCr;
    if (!read || header.precision != 8 || header.arithmetic || !(grey || colour) ||
        QSize(header.width, header.height) != pixels)
        return std::nullopt;
    return PageJpeg{path, {}, pixels, grey};
}

QSizeF PicturePageDpi(QSizeF declaredDpi, QSize pixels) {
    const auto within = [](double dpi) { return dpi >= kPictureMinDpi && dpi <= kPictureMaxDpi; };
    QSizeF dpi = within(declaredDpi.width()) && within(declaredDpi.height())
                     ? declaredDpi
                     : QSizeF(kPictureDefaultDpi, kPictureDefaultDpi);
    const double points =
        std::max(pixels.width() * 72.0 / dpi.width(), pixels.height() * 72.0 / dpi.height());
    if (points > kMaxPagePoints)
        dpi *= points / kMaxPagePoints;
    return dpi;
}

// Picture data on its way into the book, appended to a file without a name
// that goes with the book: a book of many large pictures needs the memory
// of one at a time, not of all of them.
class Spool {
public:
    explicit Spool(const QString& folder) : m_folder(folder) {}
    ~Spool() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    // Keeps `data` and gives what writes it into a stream; nothing when it
    // cannot be kept.
    std::function<void(Pipeline*)> Keep(const QByteArray& data) {
        if (m_fd < 0 && !Open())
            return {};
        const off_t start = m_end;
        for (qsizetype done = 0; done < data.size();) {
            const ssize_t written =
                ::pwrite(m_fd, data.constData() + done,
                         static_cast<std::size_t>(data.size() - done), m_end + done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return {};
            done += written;
        }
        m_end += data.size();
        const int fd = m_fd;
        const auto size = static_cast<std::size_t>(data.size());
        return [fd, start, size](Pipeline* pipeline) {
            std::vector<unsigned char> chunk(std::min<std::size_t>(size, 1 << 20));
            for (std::size_t done = 0; done < size;) {
                const ssize_t got = ::pread(fd, chunk.data(), std::min(chunk.size(), size - done),
                                            start + static_cast<off_t>(done));
                if (got < 0 && errno == EINTR)
                    continue;
                if (got <= 0)
                    throw std::runtime_error("the pictures' spool cannot be read");
                pipeline->write(chunk.data(), static_cast<std::size_t>(got));
                done += static_cast<std::size_t>(got);
            }
            pipeline->finish();
        };
    }

private:
    bool Open() {
        for (const QString& folder : {m_folder, QDir::tempPath()}) {
            if (folder.isEmpty())
                continue;
            // Gone with the process, however it ends.
            m_fd =
                ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
            if (m_fd >= 0)
                return true;
        }
        return false;
    }

    QString m_folder;
    int m_fd = -1;
    off_t m_end = 0;
};

struct SearchableBook::Parts {
    explicit Parts(const QString& spoolFolder) : spool(spoolFolder) {
        pdf.emptyPDF();
        text = std::make_unique<TextLayers>(pdf);
    }
    std::vector<QPDFPageObjectHelper> Pages() { return QPDFPageDocumentHelper(pdf).getAllPages(); }

    Spool spool;  // before `pdf`, whose streams read it
    QPDF pdf;
    std::unique_ptr<TextLayers> text;
    // Copied pages take their streams from their files when the book is
    // written.
    std::vector<std::unique_ptr<QPDF>> sources;
};

SearchableBook::SearchableBook(const QString& spoolFolder)
    : m_parts(std::make_unique<Parts>(spoolFolder)) {}
SearchableBook::~SearchableBook() = default;

PdfFailure SearchableBook::AddPdf(const QString& path, int pageCount, int& firstPage) {
    auto source = std::make_unique<QPDF>();
    const PdfFailure failure = OpenForRewriting(*source, path);
    if (failure != PdfFailure::None)
        return failure;
    firstPage = PageCount();
    try {
        // Text layers made from Poppler's pictures go on qpdf's pages.
        if (!ReadersAgreeOnPages(*source))
            return PdfFailure::Damaged;
        const std::vector<QPDFPageObjectHelper> pages =
            QPDFPageDocumentHelper(*source).getAllPages();
        if (pages.empty())
            return PdfFailure::NoPages;
        if (pages.size() > static_cast<std::size_t>(kMaxPages))
            return PdfFailure::TooManyPages;
        // Two readers that count the pages of a broken tree differently
        // would put the text on the wrong pages.
        if (pages.size() != static_cast<std::size_t>(pageCount))
            return PdfFailure::Damaged;
        QPDFPageDocumentHelper book(m_parts->pdf);
        for (const QPDFPageObjectHelper& page : pages)
            book.addPage(page, false);
    } catch (const std::exception&) {
        // A page tree that breaks half way: the pages it gave go again.
        std::vector<QPDFPageObjectHelper> pages = m_parts->Pages();
        QPDFPageDocumentHelper book(m_parts->pdf);
        for (std::size_t i = static_cast<std::size_t>(PageCount());
             i-- > static_cast<std::size_t>(firstPage);)
            book.removePage(pages[i]);
        return PdfFailure::Damaged;
    }
    m_parts->sources.push_back(std::move(source));
    return PdfFailure::None;
}

void SearchableBook::SetPictureData(QPDFObjectHandle image, const QByteArray& data,
                                    const char* filter) {
    if (std::function<void(Pipeline*)> kept = m_parts->spool.Keep(data)) {
        image.replaceStreamData(kept, QPDFObjectHandle::newName(filter),
                                QPDFObjectHandle::newNull());
    } else {
        image.replaceStreamData(data.toStdString(), QPDFObjectHandle::newName(filter),
                                QPDFObjectHandle::newNull());
    }
}

int SearchableBook::AddPicture(const PageJpeg& jpeg, QSizeF dpi) {
    QPDFObjectHandle image = NewImage(m_parts->pdf, jpeg.pixels, jpeg.grey);
    // The picture is not encoded again. A file is read only when the book is
    // written, and must be as it was.
    if (jpeg.file.isEmpty()) {
        SetPictureData(image, QByteArray::fromStdString(jpeg.data), "/DCTDecode");
    } else {
        const std::string name = QFile::encodeName(jpeg.file).toStdString();
        const qint64 bytes = QFileInfo(jpeg.file).size();
        image.replaceStreamData(
            [name, bytes](Pipeline* pipeline) {
                if (QFileInfo(QFile::decodeName(name.c_str())).size() != bytes)
                    throw std::runtime_error(name + " changed");
                QUtil::file_provider(name)(pipeline);
            },
            QPDFObjectHandle::newName("/DCTDecode"), QPDFObjectHandle::newNull());
    }
    return AddPicturePage(image, jpeg.pixels, dpi);
}

int SearchableBook::AddPicture(const QImage& picture, QSizeF dpi) {
    QImage flat(picture.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, picture);
    const bool grey = flat.allGray();
    flat = flat.convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    // Rows without the padding a QImage keeps at their ends.
    const qsizetype row = static_cast<qsizetype>(flat.width()) * (grey ? 1 : 3);
    QByteArray pixels;
    pixels.reserve(row * flat.height());
    for (int y = 0; y < flat.height(); ++y)
        pixels.append(reinterpret_cast<const char*>(flat.constScanLine(y)), row);
    QPDFObjectHandle image = NewImage(m_parts->pdf, flat.size(), grey);
    const QSize size = flat.size();
    flat = {};
    // qCompress puts the length before the zlib stream.
    SetPictureData(image, qCompress(pixels, 6).mid(4), "/FlateDecode");
    return AddPicturePage(image, size, dpi);
}

int SearchableBook::AddPicturePage(QPDFObjectHandle image, QSize pixels, QSizeF dpi) {
    QPDF& pdf = m_parts->pdf;
    const double width = pixels.width() * 72.0 / dpi.width();
    const double height = pixels.height() * 72.0 / dpi.height();
    QPDFObjectHandle content = QPDFObjectHandle::newStream(
        &pdf, "q " + PdfNumber(width) + " 0 0 " + PdfNumber(height) + " 0 0 cm /Im0 Do Q\n");
    QPDFObjectHandle page = QPDFObjectHandle::parse("<< /Type /Page /Resources << >> >>");
    page.replaceKey("/MediaBox",
                    QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, width, height)));
    QPDFObjectHandle pictures = QPDFObjectHandle::newDictionary();
    pictures.replaceKey("/Im0", image);
    page.getKey("/Resources").replaceKey("/XObject", pictures);
    page.replaceKey("/Contents", content);
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
    return PageCount() - 1;
}

bool SearchableBook::AddLayer(const PageTextLayer& layer) {
    std::vector<QPDFPageObjectHelper> pages = m_parts->Pages();
    if (layer.page < 0 || layer.page >= static_cast<int>(pages.size()))
        return false;
    try {
        m_parts->text->Add(pages[static_cast<std::size_t>(layer.page)], layer);
        return true;
    } catch (const std::exception&) {
        // A copied page whose resources are broken: it stays as it was.
        return false;
    }
}

int SearchableBook::PageCount() const {
    return static_cast<int>(m_parts->Pages().size());
}

bool SearchableBook::Write(const QString& target) {
    if (PageCount() == 0)
        return false;
    try {
        return m_parts->text->Write(target);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace kelsor::pdf
