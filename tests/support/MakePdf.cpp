#include "MakePdf.h"

#include <QFont>
#include <QPainter>
#include <QPdfWriter>

#include "TempFolder.h"

namespace kelsor::test {
namespace {

// Latin lines in DejaVu Sans, the others in Noto Sans CJK SC: Qt's writer
// maps the CJK font's digits to no text, so they would read back empty.
QFont FontFor(const QString& line) {
    bool latin = true;
    for (const QChar c : line)
        latin = latin && c.unicode() < 0x80;
    QFont font(latin ? QStringLiteral("DejaVu Sans") : QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(60);
    return font;
}

}  // namespace

bool WritePdf(const std::string& path, const std::vector<PdfPageContent>& pages) {
    QPdfWriter writer(QString::fromStdString(path));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(300);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    const QRect area = painter.viewport();
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (i > 0 && !writer.newPage())
            return false;
        const PdfPageContent& content = pages[i];
        if (!content.scan.isNull()) {
            const QSize fitted = content.scan.size().scaled(area.size(), Qt::KeepAspectRatio);
            painter.drawImage(QRect(QPoint(0, 0), fitted), content.scan);
            continue;
        }
        int y = 200;
        for (const QString& line : content.lines) {
            painter.setFont(FontFor(line));
            painter.drawText(150, y, line);
            y += 120;
        }
    }
    return painter.end();
}

bool EncryptPdf(const std::string& source, const std::string& target) {
    return Shell("qpdf --encrypt secret owner 256 -- '" + source + "' '" + target + "'") == 0;
}

}  // namespace kelsor::test
