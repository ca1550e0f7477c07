#include "pdf/PdfFile.h"

#include <poppler/qt6/poppler-qt6.h>

#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace kelsor::pdf {
namespace {

// Poppler reports each broken object of a damaged file on standard error;
// the file list says what matters, once. While a file's pages are counted,
// its complaints are kept instead, on the counting thread.
thread_local QStringList* t_complaints = nullptr;

void QuietPoppler() {
    static const bool quiet = [] {
        Poppler::setDebugErrorFunction(
            [](const QString& message, const QVariant&) {
                if (t_complaints != nullptr)
                    t_complaints->append(message);
            },
            QVariant());
        return true;
    }();
    (void)quiet;
}

// Keeps Poppler's complaints for as long as it lives.
class Complaints {
public:
    Complaints() { t_complaints = &m_messages; }
    ~Complaints() { t_complaints = nullptr; }
    Complaints(const Complaints&) = delete;
    Complaints& operator=(const Complaints&) = delete;
    const QStringList& Messages() const { return m_messages; }

private:
    QStringList m_messages;
};

// Why a document where Poppler counts no page has none: its page tree says
// so (Poppler's only complaint is that count), or the tree is broken (a page
// count larger than the file's objects, a count that is not a number).
PdfFailure NoPagesFailure(const QStringList& complaints) {
    const bool saysNone =
        complaints.size() == 1 && complaints.front().endsWith(QLatin1String("page count 0"));
    return saysNone ? PdfFailure::NoPages : PdfFailure::Damaged;
}

// Fonts draw some characters with a glyph they share with another, and
// writers map that glyph to the rarer one: a radical for the ideograph of the
// same shape (U+2F49 "⽉" for "月"), a Latin ligature for its letters ("ﬁ"
// for "fi"). Readers would see the text but could not search or copy it as
// written, so these are folded; nothing else is normalised, so full-width
// punctuation stays as it is.
QString FoldSharedGlyphs(const QString& text) {
    QString folded;
    folded.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        const bool radical = code >= 0x2E80 && code <= 0x2FDF;
        const bool ligature = code >= 0xFB00 && code <= 0xFB06;
        if (!radical && !ligature) {
            folded += c;
            continue;
        }
        const QString plain = QString(c).normalized(QString::NormalizationForm_KC);
        folded += radical && plain.size() != 1 ? QString(c) : plain;
    }
    return folded;
}

}  // namespace

std::wstring FailureText(PdfFailure failure) {
    // In the order of the enumeration.
    static const std::wstring kReasons[] = {
        L"",
        L"文件不存在",
        L"文件无法读取",
        L"文件已损坏",
        L"文件已加密",
        L"文件没有页面",
        L"页数过多（超过" + std::to_wstring(kMaxPages) + L"页）",
    };
    return kReasons[static_cast<int>(failure)];
}

double RenderDpiFor(double widthPoints, double heightPoints) {
    if (!(widthPoints > 0) || !(heightPoints > 0))
        return kRenderDpi;
    const double inchesWide = widthPoints / 72.0;
    const double inchesHigh = heightPoints / 72.0;
    double dpi = kRenderDpi;
    dpi = std::min(dpi, kMaxRenderSide / std::max(inchesWide, inchesHigh));
    dpi = std::min(dpi, std::sqrt(kMaxRenderPixels / (inchesWide * inchesHigh)));
    return dpi;
}

PdfFile::PdfFile() = default;
PdfFile::~PdfFile() = default;

PdfFailure PdfFile::Open(const QString& path) {
    QuietPoppler();
    m_document.reset();
    const QFileInfo info(path);
    if (!info.exists())
        return PdfFailure::Missing;
    if (!info.isFile() || !info.isReadable())
        return PdfFailure::Unreadable;
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (!document)
        return PdfFailure::Damaged;
    if (document->isLocked())
        return PdfFailure::Encrypted;
    int pages = 0;
    QStringList complaints;
    {
        const Complaints counting;
        pages = document->numPages();
        complaints = counting.Messages();
    }
    if (pages <= 0)
        return NoPagesFailure(complaints);
    if (pages > kMaxPages)
        return PdfFailure::TooManyPages;
    // Qt's painter draws a scanned page's picture four times faster than
    // Poppler's own rasteriser at 300 dpi, and recognition does not see the
    // difference.
    document->setRenderBackend(Poppler::Document::QPainterBackend);
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    m_document = std::move(document);
    return PdfFailure::None;
}

int PdfFile::PageCount() const {
    return m_document ? m_document->numPages() : 0;
}

std::unique_ptr<Poppler::Page> PdfFile::Page(int index) const {
    return m_document ? m_document->page(index) : nullptr;
}

QString PdfFile::PageText(int index) const {
    const std::unique_ptr<Poppler::Page> page = Page(index);
    if (!page)
        return {};
    QStringList lines = page->text(QRectF()).split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = line.trimmed();
    return FoldSharedGlyphs(lines.join(QLatin1Char('\n')).trimmed());
}

QImage PdfFile::RenderPage(int index) const {
    const std::unique_ptr<Poppler::Page> page = Page(index);
    if (!page)
        return {};
    const QSizeF size = page->pageSizeF();
    const double dpi = RenderDpiFor(size.width(), size.height());
    return page->renderToImage(dpi, dpi);
}

int PdfFile::PageRotation(int index) const {
    const std::unique_ptr<Poppler::Page> page = Page(index);
    if (!page)
        return 0;
    // Poppler draws any /Rotate it does not take for a quarter turn upright.
    switch (page->orientation()) {
        case Poppler::Page::Landscape:
            return 90;
        case Poppler::Page::UpsideDown:
            return 180;
        case Poppler::Page::Seascape:
            return 270;
        case Poppler::Page::Portrait:
            break;
    }
    return 0;
}

PageContent PdfFile::ReadPage(int index) const {
    PageContent content;
    content.text = PageText(index);
    if (content.text.isEmpty()) {
        content.picture = RenderPage(index);
        content.rotation = PageRotation(index);
    }
    return content;
}

}  // namespace kelsor::pdf
