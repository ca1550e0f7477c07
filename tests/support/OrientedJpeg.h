#pragma once

#include <QByteArray>
#include <QImage>
#include <string>

// JPEGs as a camera writes a photo taken sideways: the pixels stored turned
// or mirrored and an Exif block whose orientation tag (1 to 8) says how to
// turn them back.
namespace kelsor::test {

// `upright` stored so that orientation `orientation` shows it upright again,
// with the Exif block right after the start marker (little-endian for odd
// orientations, big-endian for even ones). Orientation 0 writes no Exif block.
QByteArray OrientedJpeg(const QImage& upright, int orientation);
bool WriteOrientedJpeg(const QImage& upright, int orientation, const std::string& path);

}  // namespace kelsor::test
