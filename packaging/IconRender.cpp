// Renders the program's SVG icon to square PNGs for the hicolor theme:
// kelsor_icon_render <icon.svg> <output folder> <size>...
// writes <output folder>/<size>x<size>/apps/io.kelsor.KelsorOCR.png.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: kelsor_icon_render <icon.svg> <folder> <size>...\n");
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "kelsor_icon_render: cannot read %s\n", argv[1]);
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        const QString folder =
            QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        if (size <= 0 || !QDir().mkpath(folder) ||
            !image.save(folder + QStringLiteral("/io.kelsor.KelsorOCR.png"))) {
            std::fprintf(stderr, "kelsor_icon_render: cannot write size %s\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
