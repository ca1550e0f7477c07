#include "cli/OcrPdfDocuments.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <cmath>
#include <csignal>
#include <functional>
#include <optional>

#include "app/TextConv.h"
#include "cloud/RecognizePictureText.h"
#include "jobs/CodeLines.h"
#include "jobs/PictureUtils.h"
#include "jobs/ServicePicture.h"
#include "pdf/PdfFile.h"
#include "pdf/PdfToText.h"
#include "pdf/WholeFile.h"

namespace kelsor::cli {
namespace {

using Lines = std::optional<std::vector<PlacedLine>>;

QString ToQString(const std::wstring& path) {
    return QString::fromStdWString(path);
}

std::string FailureReason(pdf::PdfFailure failure) {
    const char* english = "";
    switch (failure) {
        case pdf::PdfFailure::None:
            return {};
        case pdf::PdfFailure::Missing:
            return "no such file or folder";
        case pdf::PdfFailure::Unreadable:
            english = "cannot be read";
            break;
        case pdf::PdfFailure::Damaged:
            english = "damaged (not a readable PDF)";
            break;
        case pdf::PdfFailure::Encrypted:
            english = "encrypted (a password protects it)";
            break;
        case pdf::PdfFailure::NoPages:
            english = "no pages";
            break;
        case pdf::PdfFailure::TooManyPages:
            english = "too many pages";
            break;
    }
    return QString::fromStdWString(pdf::FailureText(failure)).toStdString() + ": " + english;
}

// A rendered page through the recognition road; nothing when the service
// could not be reached or refused it.
Lines RecognisePage(const QImage& page, CodeReading codes) {
    const tools::OcrWorkPicture work;
    if (work.Path().empty() || !page.save(ToQString(work.Path()), "JPEG", 92))
        return std::nullopt;
    return ReadServicePictureLines(work.Path(), codes);
}

// What one page of a PDF gave.
struct Page {
    int index = 0;
    QString text;       // its text layer
    QSize pictureSize;  // else the size of its picture, its turn ...
    int rotation = 0;
    Lines lines;                          // ... and the lines recognised in it
    std::vector<std::uint8_t> thumbnail;  // of a page recognised, for the history
    std::string failure;
};

// Reads the pages of `path` in order, each handed to `take` (the next one
// is read while `take` works), once `opened` (when given) has taken the
// page count; why the file cannot be read, or why `opened` refused it.
pdf::PdfFailure ForEachPage(const pdf::PageReading& reading, const std::atomic<bool>& cancel,
                            const QString& path, CodeReading codes,
                            const std::function<pdf::PdfFailure(int count)>& opened,
                            const std::function<void(Page&)>& take) {
    pdf::PageProcess pages(reading, path, cancel);
    int count = 0;
    pdf::PdfFailure failure = pages.Open(count);
    if (failure == pdf::PdfFailure::None && opened)
        failure = opened(count);
    if (failure != pdf::PdfFailure::None)
        return failure;
    pages.ForEachPage([&](int index, pdf::PageContent& content) {
        Page page;
        page.index = index;
        page.text = std::move(content.text);
        if (page.text.isEmpty() && content.picture.isNull()) {
            page.failure = "page " + std::to_string(index + 1) + " cannot be read";
        } else if (page.text.isEmpty()) {
            page.pictureSize = content.picture.size();
            page.rotation = content.rotation;
            page.lines = RecognisePage(content.picture, codes);
            if (page.lines && !page.lines->empty())
                page.thumbnail = pdf::PageThumbnail(content.picture);
            if (!page.lines)
                page.failure = "page " + std::to_string(index + 1) +
                               ": recognition failed (the OCR service refused the page or "
                               "could not be reached)";
        }
        take(page);
    });
    return pdf::PdfFailure::None;
}

// The failures of a file's pages, one after the other.
void AddFailure(std::string& failures, const std::string& failure) {
    if (!failure.empty())
        failures += (failures.empty() ? "" : "; ") + failure;
}

bool SameFile(const std::string& a, const std::wstring& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(WideToAnsi(b).c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Holds off the signals that end a run while the output file is written, so
// that an interrupted run never leaves a temporary file behind; they are
// taken as soon as the file is complete or gone.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&held, signal);
        ::sigprocmask(SIG_BLOCK, &held, &m_before);
    }
    ~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &m_before, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t m_before{};
};

// The resolution across and down the file of `picture` named, 0 when it
// named none (the picture then has the one a new QImage has).
QSizeF DeclaredDpi(const QImage& picture) {
    const QImage unnamed(1, 1, QImage::Format_Mono);
    if (picture.isNull() || (picture.dotsPerMeterX() == unnamed.dotsPerMeterX() &&
                             picture.dotsPerMeterY() == unnamed.dotsPerMeterY()))
        return {};
    const auto dpi = [](int dotsPerMeter) {
        return std::round(dotsPerMeter * 0.0254 * 100.0) / 100.0;
    };
    return {dpi(picture.dotsPerMeterX()), dpi(picture.dotsPerMeterY())};
}

const char kNotRegular[] =
    "is not a regular file (a device, FIFO or socket), which is never replaced; nothing was "
    "written";

}  // namespace

OcrPdfDocuments::OcrPdfDocuments(pdf::PageReading reading) : m_reading(std::move(reading)) {}
OcrPdfDocuments::~OcrPdfDocuments() = default;

bool OcrPdfDocuments::Takes(const std::wstring& path) const {
    return ToQString(path).endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
}

tools::OcrText OcrPdfDocuments::Read(const std::wstring& path, int formatType) {
    tools::OcrText result;
    const pdf::PdfFailure failure =
        ForEachPage(m_reading, m_cancel, ToQString(path), m_codes, {}, [&](Page& page) {
            // Page by page as in the converter's text file, a blank line
            // between pages.
            QString body = pdf::PageMarker(page.index + 1);
            if (!page.text.isEmpty())
                body += QLatin1Char('\n') + page.text;
            if (page.index > 0)
                result.text += "\r\n\r\n";
            result.text +=
                Utf8ToAnsi(body.replace(QLatin1Char('\n'), QLatin1String("\r\n")).toStdString());
            if (page.lines && !page.lines->empty()) {
                const std::string lines = JoinPictureLines(formatType, MarkCodeLines(*page.lines));
                result.text += "\r\n" + lines;
                result.scannedPages.push_back({page.index + 1, lines, std::move(page.thumbnail)});
            }
            AddFailure(result.failure, page.failure);
        });
    if (failure != pdf::PdfFailure::None)
        return {{}, FailureReason(failure), {}};
    return result;
}

std::string OcrPdfDocuments::StartPdf(const std::string& target,
                                      const std::vector<std::wstring>& inputs) {
    const QString path = QString::fromLocal8Bit(target);
    if (QFileInfo(path).isDir())
        return "is a folder";
    if (!pdf::TakesWholeFile(path))
        return kNotRegular;
    for (const std::wstring& input : inputs) {
        if (SameFile(target, input))
            return "is " + WideToAnsi(input) + ", a FILE to read; nothing was written";
    }
    m_target = path;
    // Pictures wait beside the file to come, not in memory.
    m_book = std::make_unique<pdf::SearchableBook>(QFileInfo(path).absolutePath());
    return {};
}

std::string OcrPdfDocuments::AddToPdf(const std::wstring& path) {
    return Takes(path) ? AddPdf(ToQString(path)) : AddPicture(path);
}

std::string OcrPdfDocuments::AddPdf(const QString& path) {
    std::string failures;
    int first = 0;
    const auto addPages = [&](int count) { return m_book->AddPdf(path, count, first); };
    const pdf::PdfFailure failure =
        ForEachPage(m_reading, m_cancel, path, m_codes, addPages, [&](Page& page) {
            AddFailure(failures, page.failure);
            if (page.lines && !m_book->AddLayer({first + page.index, page.pictureSize,
                                                 pdf::RecognisedLines(*page.lines), page.rotation}))
                AddFailure(failures, "page " + std::to_string(page.index + 1) +
                                         ": damaged (its text layer cannot be added)");
        });
    return failure != pdf::PdfFailure::None ? FailureReason(failure) : failures;
}

std::string OcrPdfDocuments::AddPicture(const std::wstring& path) {
    const tools::OcrWorkPicture work;
    if (work.Path().empty())
        return "no work file can be made";
    if (!ConvertPictureToJpeg(100, path, work.Path()))
        return "damaged (the picture cannot be decoded)";
    // The picture as recognised: upright, its size that of the work file.
    QImageReader header(ToQString(work.Path()));
    const QSize size = header.size();
    QFile file(ToQString(work.Path()));
    if (!file.open(QIODevice::ReadOnly) || !size.isValid())
        return "damaged (the picture cannot be decoded)";
    const Lines lines = ReadServicePictureLines(work.Path(), m_codes);
    // The file as Qt reads it, as stored (a JPEG is turned upright above).
    QImageReader reader(ToQString(path));
    reader.setAutoTransform(false);
    const bool jpegFile = reader.format() == "jpeg";
    const QImage own = reader.read();
    const QSizeF dpi = pdf::PicturePageDpi(DeclaredDpi(own), size);
    // The page carries a photo's own JPEG file where it can, other pictures'
    // own pixels, else the work file.
    int page = 0;
    if (const std::optional<pdf::PageJpeg> photo = pdf::JpegAsItIs(ToQString(path), size)) {
        page = m_book->AddPicture(*photo, dpi);
    } else if (!jpegFile && own.size() == size) {
        page = m_book->AddPicture(own, dpi);
    } else {
        page = m_book->AddPicture(pdf::PageJpeg{{},
                                                file.readAll().toStdString(),
                                                size,
                                                header.imageFormat() == QImage::Format_Grayscale8},
                                  dpi);
    }
    if (!lines)
        return "recognition failed (the OCR service refused the picture or could not be "
               "reached); its page has no text layer";
    if (!m_book->AddLayer({page, size, pdf::RecognisedLines(*lines)}))
        return "its text layer cannot be added";
    return {};
}

std::string OcrPdfDocuments::FinishPdf() {
    if (m_book->PageCount() == 0)
        return "no FILE gave a page; nothing was written";
    const SignalsHeld held;
    const bool written = m_book->Write(m_target);
    // Something else may have taken the name while the pages were read.
    if (!written && !pdf::TakesWholeFile(m_target))
        return kNotRegular;
    if (!written)
        return "cannot be written (no such folder, no permission, the disk is full, or a FILE "
               "read changed meanwhile); nothing was written";
    return {};
}

}  // namespace kelsor::cli
