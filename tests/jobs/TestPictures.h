#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Small pictures written by the tests themselves, and a scratch folder.
namespace kelsor::test {

enum class PictureKind {
    Rgb24,     // colour gradient
    Palette8,  // 256-colour palette
    Grey8,     // 8-bit greyscale
    Rgba32,    // colour with a transparent left half
};

// Writes a PNG, JPEG, BMP, GIF or TIFF (by `freeImageFormat`, a FREE_IMAGE_FORMAT)
// of the given size and kind to the code-page name of `path`.
bool WritePicture(const std::wstring& path, int width, int height, PictureKind kind,
                  int freeImageFormat);
bool WritePng(const std::wstring& path, int width, int height,
              PictureKind kind = PictureKind::Rgb24);

struct LoadedPicture {
    bool ok = false;
    int width = 0;
    int height = 0;
    int bpp = 0;
    bool greyscale = false;  // colour type "min is black"
    int format = -1;         // FREE_IMAGE_FORMAT found from the content
    // Pixel at (x, y), y from the top, as 0xRRGGBB.
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};
LoadedPicture LoadPicture(const std::wstring& path);

std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
bool Exists(const std::wstring& path);

// A fresh folder under the system temp folder, removed with the object. Its
// path ends with "/".
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::wstring& path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + name; }
    // Creates a subfolder and returns its path with a trailing "/".
    std::wstring MakeFolder(const std::wstring& name) const;

private:
    std::wstring m_path;
};

}  // namespace kelsor::test
