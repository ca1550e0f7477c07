#include "HistoryTestSupport.h"

#include <QImage>
#include <QPainter>

namespace kelsor::history {

bool WriteLinesPicture(const std::string& path, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = height / 10; y + height / 20 < height; y += height / 5) {
        painter.fillRect(width / 10, y, width * 7 / 10, height / 20, Qt::black);
    }
    painter.end();
    return image.save(QString::fromStdString(path));
}

}  // namespace kelsor::history
