#include "shell/ProgramIcon.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The launcher's SVG, compiled in (programicon.qrc, made by CMake).
inline void InitProgramIconResource() {
    Q_INIT_RESOURCE(programicon);
}

namespace kelsor::shell {

QIcon ProgramIcon() {
    InitProgramIconResource();
    QSvgRenderer renderer(QStringLiteral(":/kelsor/icon.svg"));
    QIcon icon;
    // Drawn at each size rather than scaled: small trays get sharp edges.
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        if (renderer.isValid()) {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter);
        } else {
            image.fill(QColor(0x43, 0x99, 0xFD));  // the icon's own blue
        }
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace kelsor::shell
