#pragma once

#include <QImage>
#include <QString>
#include <string>
#include <vector>

// Renders lines of text (UTF-8) black on white with the font `family` (Noto
// Sans CJK SC unless given) and saves the picture (format from the file
// extension).
namespace kelsor::test {

bool RenderTextPicture(const std::vector<std::string>& lines, int pixelSize,
                       const std::string& path, const std::string& family = "Noto Sans CJK SC");
// Lines in large DejaVu Sans, one every 90 px on a 900 px wide page: text
// that every engine reads exactly, for the tests that drive a whole page.
QImage LargeTextPicture(const std::vector<QString>& lines);
// A plain white picture of the given size.
bool SaveBlankPicture(int width, int height, const std::string& path);

}  // namespace kelsor::test
