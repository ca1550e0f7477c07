#include "pdf/PdfToText.h"

#include <QSaveFile>
#include <future>

namespace kelsor::pdf {
namespace {

// What the file gives for one page: its text layer, else its picture.
struct PageInput {
    QString layer;
    QImage picture;
};

PageInput ReadPage(const PdfFile& file, int index) {
    PageInput input;
    input.layer = file.PageText(index);
    if (input.layer.isEmpty())
        input.picture = file.RenderPage(index);
    return input;
}

// One page's text, or the line that says why there is none.
QString PageBody(const PageInput& input, const PageRecognizer& recognize, PdfOutcome& outcome) {
    if (!input.layer.isEmpty()) {
        ++outcome.textPages;
        return input.layer;
    }
    if (input.picture.isNull()) {
        ++outcome.unrecognisedPages;
        return QStringLiteral("［此页无法读取］");
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
    return text;
}

// The marker line that starts page `number` (from 1).
QString PageMarker(int number) {
    return QStringLiteral("===== 第 %1 页 =====").arg(number);
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

std::wstring OutcomeText(const PdfOutcome& outcome) {
    if (outcome.failure != PdfFailure::None)
        return FailureText(outcome.failure);
    if (outcome.cancelled)
        return L"已取消";
    if (outcome.writeFailed)
        return L"无法写入结果文件";
    if (outcome.notSignedInPages > 0)
        return L"转换完成，" + std::to_wstring(outcome.notSignedInPages) + L"页扫描页需登录后识别";
    if (outcome.unrecognisedPages > 0)
        return L"转换完成，" + std::to_wstring(outcome.unrecognisedPages) + L"页未识别出文字";
    return L"转换完成";
}

PdfOutcome ConvertPdf(const QString& pdfPath, const QString& outputPath,
                      const PageRecognizer& recognize, const PageProgress& progress,
                      const std::atomic<bool>& cancel) {
    PdfOutcome outcome;
    PdfFile file;
    outcome.failure = file.Open(pdfPath);
    if (outcome.failure != PdfFailure::None)
        return outcome;
    outcome.pageCount = file.PageCount();
    if (progress)
        progress(0, outcome.pageCount);
    // The next page is read and rendered while this one is recognised; only
    // one thread at a time uses the document.
    const auto readAhead = [&file](int index) {
        return std::async(std::launch::async, ReadPage, std::cref(file), index);
    };
    std::future<PageInput> next = readAhead(0);
    QString text;
    for (int index = 0; index < outcome.pageCount; ++index) {
        const PageInput input = next.get();
        if (cancel.load()) {
            outcome.cancelled = true;
            return outcome;
        }
        if (index + 1 < outcome.pageCount)
            next = readAhead(index + 1);
        if (index > 0)
            text += QLatin1Char('\n');
        text += PageMarker(index + 1) + QLatin1Char('\n');
        text += PageBody(input, recognize, outcome) + QLatin1Char('\n');
        if (progress)
            progress(index + 1, outcome.pageCount);
    }
    outcome.writeFailed = !WriteWhole(outputPath, text);
    return outcome;
}

}  // namespace kelsor::pdf
