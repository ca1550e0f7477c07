#include "pdf/PdfToText.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "history/HistoryStore.h"
#include "jobs/BatchFileItem.h"

namespace kelsor::pdf {
namespace {

const QString kUnreadablePage = QStringLiteral("［此页无法读取］");

// One page's text, or the line that says why there is none; a scanned page's
// recognised lines go into `layers` for the searchable copy.
QString PageBody(int index, const PageContent& input, const PageRecognizer& recognize,
                 PdfOutcome& outcome, std::vector<PageTextLayer>& layers) {
    if (!input.text.isEmpty()) {
        ++outcome.textPages;
        return input.text;
    }
    if (input.picture.isNull()) {
        ++outcome.unrecognisedPages;
        return kUnreadablePage;
    }
    const PageRecognition result = recognize(input.picture);
    switch (result.status) {
        case PageRecognition::Status::NotSignedIn:
            ++outcome.notSignedInPages;
            return QStringLiteral("［此页为扫描页：请先在KelsorOCR中登录，再转换一次］");
        case PageRecognition::Status::Failed:
            ++outcome.unrecognisedPages;
            return QStringLiteral("［此页未能识别：识别服务没有应答］");
        case PageRecognition::Status::Recognised:
            break;
    }
    QString text = QString::fromStdString(result.text);
    text.remove(QLatin1Char('\r'));
    text = text.trimmed();
    if (text.isEmpty()) {
        ++outcome.unrecognisedPages;
        return QStringLiteral("［此页未识别出文字］");
    }
    ++outcome.recognisedPages;
    layers.push_back({index, input.picture.size(), result.lines, input.rotation});
    outcome.scannedPages.push_back({index + 1, text, PageThumbnail(input.picture)});
    return text;
}

// `path`, or when a file the converter did not write (`ours` says which it
// did) has come there since the run began, or it is the PDF being converted,
// the next name that is free.
QString UntakenPath(const QString& path, const QString& pdfPath, bool (*ours)(const QString&)) {
    const QFileInfo info(path);
    const bool isSource =
        info.exists() && info.canonicalFilePath() == QFileInfo(pdfPath).canonicalFilePath();
    if (!info.exists() || (!isSource && ours(path)))
        return path;
    return QString::fromStdWString(NumberedResultPath(
        FolderOfPath(path.toStdWString()), info.completeBaseName().toStdWString(),
        [](const std::wstring& candidate) {
            return QFileInfo::exists(QString::fromStdWString(candidate));
        },
        L"." + info.suffix().toStdWString()));
}

bool WriteWhole(const QString& path, const QString& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace

std::vector<std::uint8_t> PageThumbnail(const QImage& page) {
    QBuffer jpeg;
    const QImage small = page.scaled(history::kThumbnailSide, history::kThumbnailSide,
                                     Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!jpeg.open(QIODevice::WriteOnly) || !small.save(&jpeg, "JPEG", 80))
        return {};
    return {jpeg.data().begin(), jpeg.data().end()};
}

QString PageMarker(int number) {
    return QStringLiteral("===== 第 %1 页 =====").arg(number);
}

bool IsConverterText(const QString& path) {
    // Only a plain file (opening a pipe would wait for a writer).
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray marker = (PageMarker(1) + QLatin1Char('\n')).toUtf8();
    return file.read(marker.size()) == marker;
}

std::wstring OutcomeText(const PdfOutcome& outcome) {
    if (outcome.failure != PdfFailure::None)
        return FailureText(outcome.failure);
    if (outcome.cancelled)
        return L"已取消";
    if (outcome.writeFailed)
        return L"无法写入结果文件";
    if (outcome.searchable.failure != PdfFailure::None)
        return FailureText(outcome.searchable.failure);
    if (outcome.searchable.writeFailed)
        return L"无法写入可搜索PDF";
    if (outcome.notSignedInPages > 0)
        return L"转换完成，" + std::to_wstring(outcome.notSignedInPages) + L"页扫描页需登录后识别";
    if (outcome.unrecognisedPages > 0)
        return L"转换完成，" + std::to_wstring(outcome.unrecognisedPages) + L"页未识别出文字";
    return L"转换完成";
}

PdfOutcome ConvertPdf(const QString& pdfPath, const PdfTargets& targets,
                      const PageRecognizer& recognize, const PageProgress& progress,
                      const std::atomic<bool>& cancel, const PageReading& reading) {
    PdfOutcome outcome;
    PageProcess pages(reading, pdfPath, cancel);
    outcome.failure = pages.Open(outcome.pageCount);
    if (cancel.load()) {
        outcome = {};
        outcome.cancelled = true;
        return outcome;
    }
    if (outcome.failure != PdfFailure::None)
        return outcome;
    if (progress)
        progress(0, outcome.pageCount);
    QString text;
    std::vector<PageTextLayer> layers;
    // The page process reads the next page while this one is recognised.
    pages.ForEachPage([&](int index, const PageContent& input) {
        if (index > 0)
            text += QLatin1Char('\n');
        text += PageMarker(index + 1) + QLatin1Char('\n');
        try {
            text += PageBody(index, input, recognize, outcome, layers);
        } catch (const std::exception&) {
            // Out of memory while the page went to recognition: this page
            // is lost, the others are not.
            ++outcome.unrecognisedPages;
            text += kUnreadablePage;
        }
        text += QLatin1Char('\n');
        if (progress)
            progress(index + 1, outcome.pageCount);
    });
    // A stop at any page, the last one's recognition included, leaves every
    // file as it was.
    if (cancel.load()) {
        outcome.cancelled = true;
        return outcome;
    }
    if (!targets.text.isEmpty()) {
        outcome.outputPath = UntakenPath(targets.text, pdfPath, &IsConverterText);
        outcome.writeFailed = !WriteWhole(outcome.outputPath, text);
    }
    if (!targets.searchable.isEmpty()) {
        outcome.searchablePath =
            UntakenPath(targets.searchable, pdfPath, &IsConverterSearchablePdf);
        outcome.searchable = WriteSearchablePdf(pdfPath, outcome.searchablePath, layers);
    }
    return outcome;
}

}  // namespace kelsor::pdf
