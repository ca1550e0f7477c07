#include "OrientedJpeg.h"

#include <QBuffer>
#include <QFile>
#include <QPoint>

namespace kelsor::test {
namespace {

// Where the stored pixel (x, y) of a picture stored `width` x `height` is
// seen once orientation `o` has been applied.
QPoint Shown(int o, int x, int y, int width, int height) {
    switch (o) {
        case 2:
            return {width - 1 - x, y};
        case 3:
            return {width - 1 - x, height - 1 - y};
        case 4:
            return {x, height - 1 - y};
        case 5:
            return {y, x};
        case 6:
            return {height - 1 - y, x};
        case 7:
            return {height - 1 - y, width - 1 - x};
        case 8:
            return {y, width - 1 - x};
        default:
            return {x, y};
    }
}

QByteArray ExifBlock(int orientation) {
    const bool big = orientation % 2 == 0;
    QByteArray tiff;
    const auto put = [&](unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = 8 * (big ? bytes - 1 - i : i);
            tiff.append(static_cast<char>((value >> shift) & 0xFF));
        }
    };
    tiff.append(big ? "MM" : "II");
    put(42, 2);
    put(8, 4);  // the first directory follows the header
    put(2, 2);  // two entries: the model before the orientation
    put(0x0110, 2), put(2, 2), put(4, 4), tiff.append("Kel", 4);
    put(0x0112, 2), put(3, 2), put(1, 4), put(unsigned(orientation), 2), put(0, 2);
    put(0, 4);  // no further directory
    QByteArray segment("\xFF\xE1", 2);
    const int length = 2 + 6 + int(tiff.size());
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    segment.append("Exif\0\0", 6).append(tiff);
    return segment;
}

}  // namespace

QByteArray OrientedJpeg(const QImage& upright, int orientation) {
    const bool across = orientation >= 5 && orientation <= 8;
    const int width = across ? upright.height() : upright.width();
    const int height = across ? upright.width() : upright.height();
    QImage stored(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            stored.setPixel(x, y, upright.pixel(Shown(orientation, x, y, width, height)));
        }
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!stored.save(&buffer, "JPG", 95)) {
        return {};
    }
    if (orientation != 0) {
        jpeg.insert(2, ExifBlock(orientation));
    }
    return jpeg;
}

bool WriteOrientedJpeg(const QImage& upright, int orientation, const std::string& path) {
    const QByteArray jpeg = OrientedJpeg(upright, orientation);
    QFile file(QString::fromStdString(path));
    return !jpeg.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size();
}

}  // namespace kelsor::test
