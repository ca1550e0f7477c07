#include "RenderText.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>

namespace kelsor::test {
namespace {

void EnsureGuiApplication() {
    if (QGuiApplication::instance() != nullptr) {
        return;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "kelsor-test";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives for the whole test run
}

}  // namespace

bool RenderTextPicture(const std::vector<std::string>& lines, int pixelSize,
                       const std::string& path, const std::string& family) {
    EnsureGuiApplication();
    QFont font(QString::fromStdString(family));
    font.setPixelSize(pixelSize);
    const QFontMetrics metrics(font);
    int width = 0;
    for (const std::string& line : lines) {
        width = std::max(width, metrics.horizontalAdvance(QString::fromUtf8(line.c_str())));
    }
    const int lineHeight = metrics.height() * 3 / 2;
    const int margin = pixelSize * 2;
    QImage image(width + 2 * margin, static_cast<int>(lines.size()) * lineHeight + 2 * margin,
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    int y = margin + metrics.ascent();
    for (const std::string& line : lines) {
        painter.drawText(margin, y, QString::fromUtf8(line.c_str()));
        y += lineHeight;
    }
    painter.end();
    return image.save(QString::fromStdString(path));
}

QRect InkBox(const QImage& picture, QRect area) {
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    area = area.isEmpty() ? grey.rect() : area & grey.rect();
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = area.left(); x <= area.right(); ++x) {
            if (row[x] < 128)
                ink |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

QImage TightLinePicture(const QString& text, int pixelSize, int margin, const QString& family) {
    EnsureGuiApplication();
    QFont font(family);
    font.setPixelSize(pixelSize);
    const QFontMetrics metrics(font);
    QImage page(metrics.horizontalAdvance(text) + 4 * pixelSize, 4 * pixelSize,
                QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(2 * pixelSize, pixelSize + metrics.ascent(), text);
    painter.end();
    return page.copy(InkBox(page).adjusted(-margin, -margin, margin, margin));
}

QImage LineCutToHeight(const QString& text, int pixelSize, int height) {
    const QImage line = TightLinePicture(text, pixelSize, height);
    const QRect ink = InkBox(line);
    const int top = ink.center().y() - height / 2;
    return line.copy(ink.left(), top, ink.width(), height);
}

bool SaveBlankPicture(int width, int height, const std::string& path) {
    EnsureGuiApplication();
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image.save(QString::fromStdString(path));
}

QImage LargeTextPicture(const std::vector<QString>& lines) {
    EnsureGuiApplication();
    QImage image(900, 110 + 90 * static_cast<int>(lines.size()), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(52);
    painter.setFont(font);
    painter.setPen(Qt::black);
    int y = 110;
    for (const QString& line : lines) {
        painter.drawText(40, y, line);
        y += 90;
    }
    return image;
}

QImage VerticalTextPicture(const QString& title, const std::vector<QString>& columns,
                           int pixelSize) {
    EnsureGuiApplication();
    qsizetype rows = 0;
    for (const QString& column : columns) {
        rows = std::max(rows, column.size());
    }
    const int cell = pixelSize * 6 / 5, step = pixelSize * 8 / 5, margin = 2 * pixelSize;
    const int top = margin + 3 * pixelSize;
    const int width = std::max(2 * margin + step * static_cast<int>(columns.size()),
                               2 * margin + pixelSize * static_cast<int>(title.size()));
    QImage image(width, top + cell * static_cast<int>(rows) + margin, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("Noto Serif CJK SC"));
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, margin, width, 2 * pixelSize), Qt::AlignCenter, title);
    const QString horizontal = QStringLiteral("，。、：；！？");
    const QString vertical = QStringLiteral("︐︒︑︓︔︕︖");
    const int right = (width + step * static_cast<int>(columns.size())) / 2;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const int x = right - step * static_cast<int>(c + 1) + (step - cell) / 2;
        for (qsizetype r = 0; r < columns[c].size(); ++r) {
            QChar ch = columns[c][r];
            if (const qsizetype at = horizontal.indexOf(ch); at >= 0) {
                ch = vertical[at];
            }
            painter.drawText(QRect(x, top + cell * static_cast<int>(r), cell, cell),
                             Qt::AlignCenter, QString(ch));
        }
    }
    return image;
}

}  // namespace kelsor::test
