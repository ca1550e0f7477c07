#pragma once

#include <QImage>
#include <QRect>
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
// The smallest rectangle of `picture` (within `area`, the whole picture when
// empty) holding every pixel darker than mid-grey: the ink of text drawn
// dark on light.
QRect InkBox(const QImage& picture, QRect area = {});
// One line of `text` in `family` at `pixelSize`, black on white, cut to its
// ink with `margin` pixels of white around it: a line as a user selects it
// tightly on the screen.
QImage TightLinePicture(const QString& text, int pixelSize, int margin,
                        const QString& family = QStringLiteral("Noto Sans CJK SC"));
// The same line cut tight at its sides and `height` rows high, centred on its
// ink: white rows where the ink is lower, cut ink where it is higher.
QImage LineCutToHeight(const QString& text, int pixelSize, int height);
// Vertical text in Noto Serif CJK SC at `pixelSize`, black on white:
// `columns` set top to bottom, the first column rightmost, their punctuation
// in the vertical forms (，→︐ 。→︒), under `title` set across.
QImage VerticalTextPicture(const QString& title, const std::vector<QString>& columns,
                           int pixelSize);
// A plain white picture of the given size.
bool SaveBlankPicture(int width, int height, const std::string& path);

}  // namespace kelsor::test
