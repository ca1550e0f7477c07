#pragma once

#include <QImage>
#include <QString>
#include <string>
#include <vector>

// QR codes and barcodes drawn for the tests by Debian's own generators:
// qrencode for QR codes, zint for every symbology it knows.
namespace kelsor::test {

// A code of `data` (its bytes as they are, no character set added) drawn
// by zint in the symbology it names `symbology` ("QRCODE", "EANX",
// "CODE128" ...), black on white, each module `scale` pixels. Null when zint
// refuses the data.
QImage ZintCode(const std::string& symbology, const std::string& data, int scale = 3);
// A QR code of `data` (bytes as they are, 8-bit mode) drawn by qrencode.
QImage QrCode(const std::string& data, int scale = 4);
// `picture` turned clockwise by `degrees` (a multiple of 90), then mirrored
// left to right when `mirrored`.
QImage Turned(const QImage& picture, int degrees, bool mirrored = false);
// A white page `width` x `height` with `code` drawn at (x, y) and
// LargeTextPicture(lines) (900 px wide, a line every 90 px) at (textX, textY)
// under it: text every engine reads, beside a code.
QImage PageWithCode(int width, int height, const QImage& code, int x, int y,
                    const std::vector<QString>& lines, int textX, int textY);

// While it lives, the cloud client of this process is pointed at a loopback
// port nothing listens on: a picture read then was read without the service.
class ServiceOutOfReach {
public:
    ServiceOutOfReach();
    ~ServiceOutOfReach();
    ServiceOutOfReach(const ServiceOutOfReach&) = delete;
    ServiceOutOfReach& operator=(const ServiceOutOfReach&) = delete;

private:
    bool m_had = false;
    std::string m_domain;
};

}  // namespace kelsor::test
