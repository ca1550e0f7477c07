#pragma once

#include <string>
#include <vector>

// Renders lines of text (UTF-8) black on white with the Noto Sans CJK SC
// face and saves the picture (format from the file extension).
namespace kelsor::test {

bool RenderTextPicture(const std::vector<std::string>& lines, int pixelSize,
                       const std::string& path);
// A plain white picture of the given size.
bool SaveBlankPicture(int width, int height, const std::string& path);

}  // namespace kelsor::test
