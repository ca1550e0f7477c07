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

}  // namespace kelsor::test
