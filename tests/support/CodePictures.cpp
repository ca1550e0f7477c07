#include "CodePictures.h"

#include <QPainter>
#include <QTransform>
#include <cstdlib>

#include "RenderText.h"
#include "TempFolder.h"

namespace kelsor::test {
namespace {

QImage Generated(const std::string& command, const TempFolder& dir) {
    if (Shell(command + " >/dev/null 2>&1") != 0) {
        return {};
    }
    return QImage(QString::fromStdString(dir.file("code.png")));
}

}  // namespace

QImage ZintCode(const std::string& symbology, const std::string& data, int scale) {
    TempFolder dir;
    WriteFile(dir.file("data"), data);
    return Generated("zint --binary --barcode=" + symbology + " --scale=" + std::to_string(scale) +
                         " --input='" + dir.file("data") + "' --output='" + dir.file("code.png") +
                         "'",
                     dir);
}

QImage QrCode(const std::string& data, int scale) {
    TempFolder dir;
    WriteFile(dir.file("data"), data);
    return Generated("qrencode -8 -s " + std::to_string(scale) + " -r '" + dir.file("data") +
                         "' -o '" + dir.file("code.png") + "'",
                     dir);
}

QImage Turned(const QImage& picture, int degrees, bool mirrored) {
    QImage turned = picture.transformed(QTransform().rotate(degrees));
    return mirrored ? turned.mirrored(true, false) : turned;
}

QImage PageWithCode(int width, int height, const QImage& code, int x, int y,
                    const std::vector<QString>& lines, int textX, int textY) {
    const QImage text = LargeTextPicture(lines);
    QImage page(width, height, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.drawImage(textX, textY, text);
    painter.drawImage(x, y, code);
    return page;
}

ServiceOutOfReach::ServiceOutOfReach() {
    if (const char* domain = std::getenv("KELSOR_CLOUD_DOMAIN")) {
        m_had = true;
        m_domain = domain;
    }
    ::setenv("KELSOR_CLOUD_DOMAIN", ".localhost:9", 1);  // the discard port
}

ServiceOutOfReach::~ServiceOutOfReach() {
    if (m_had) {
        ::setenv("KELSOR_CLOUD_DOMAIN", m_domain.c_str(), 1);
    } else {
        ::unsetenv("KELSOR_CLOUD_DOMAIN");
    }
}

}  // namespace kelsor::test
