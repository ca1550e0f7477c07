#include "TestPictures.h"

#include <FreeImage.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/TextConv.h"

namespace kelsor::test {
namespace {

std::string Narrow(const std::wstring& path) {
    return WideToAnsi(path);
}

FIBITMAP* MakeBitmap(int width, int height, PictureKind kind) {
    switch (kind) {
        case PictureKind::Rgb24: {
            FIBITMAP* dib = FreeImage_Allocate(width, height, 24);
            for (int y = 0; y < height; ++y) {
                BYTE* line = FreeImage_GetScanLine(dib, y);
                for (int x = 0; x < width; ++x) {
                    line[x * 3 + FI_RGBA_RED] = BYTE(x * 255 / std::max(1, width - 1));
                    line[x * 3 + FI_RGBA_GREEN] = BYTE(y * 255 / std::max(1, height - 1));
                    line[x * 3 + FI_RGBA_BLUE] = 128;
                }
            }
            return dib;
        }
        case PictureKind::Palette8: {
            FIBITMAP* dib = FreeImage_Allocate(width, height, 8);
            RGBQUAD* palette = FreeImage_GetPalette(dib);
            for (int i = 0; i < 256; ++i) {
                palette[i].rgbRed = BYTE(i);
                palette[i].rgbGreen = BYTE(255 - i);
                palette[i].rgbBlue = BYTE((i * 7) & 255);
            }
            for (int y = 0; y < height; ++y) {
                BYTE* line = FreeImage_GetScanLine(dib, y);
                for (int x = 0; x < width; ++x) {
                    line[x] = BYTE((x + y) & 255);
                }
            }
            return dib;
        }
        case PictureKind::Grey8: {
            FIBITMAP* dib = FreeImage_Allocate(width, height, 8);
            RGBQUAD* palette = FreeImage_GetPalette(dib);
            for (int i = 0; i < 256; ++i) {
                palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = BYTE(i);
            }
            for (int y = 0; y < height; ++y) {
                BYTE* line = FreeImage_GetScanLine(dib, y);
                for (int x = 0; x < width; ++x) {
                    line[x] = BYTE((x * 3 + y) & 255);
                }
            }
            return dib;
        }
        case PictureKind::Rgba32: {
            FIBITMAP* dib = FreeImage_Allocate(width, height, 32);
            for (int y = 0; y < height; ++y) {
                BYTE* line = FreeImage_GetScanLine(dib, y);
                for (int x = 0; x < width; ++x) {
                    line[x * 4 + FI_RGBA_RED] = 0;
                    line[x * 4 + FI_RGBA_GREEN] = 0;
                    line[x * 4 + FI_RGBA_BLUE] = 0;
                    line[x * 4 + FI_RGBA_ALPHA] = x < width / 2 ? 0 : 255;
                }
            }
            return dib;
        }
    }
    return nullptr;
}

}  // namespace

bool WritePicture(const std::wstring& path, int width, int height, PictureKind kind,
                  int freeImageFormat) {
    FIBITMAP* dib = MakeBitmap(width, height, kind);
    if (dib == nullptr) {
        return false;
    }
    const auto fif = static_cast<FREE_IMAGE_FORMAT>(freeImageFormat);
    FIBITMAP* toSave = dib;
    if ((fif == FIF_JPEG || fif == FIF_GIF) && kind == PictureKind::Rgba32) {
        toSave = FreeImage_ConvertTo24Bits(dib);
    }
    if (fif == FIF_GIF && FreeImage_GetBPP(toSave) != 8) {
        FIBITMAP* quantized = FreeImage_ColorQuantize(toSave, FIQ_WUQUANT);
        if (toSave != dib) {
            FreeImage_Unload(toSave);
        }
        toSave = quantized;
    }
    const BOOL ok = FreeImage_Save(fif, toSave, Narrow(path).c_str(), 0);
    if (toSave != dib) {
        FreeImage_Unload(toSave);
    }
    FreeImage_Unload(dib);
    return ok == TRUE;
}

bool WritePng(const std::wstring& path, int width, int height, PictureKind kind) {
    return WritePicture(path, width, height, kind, FIF_PNG);
}

LoadedPicture LoadPicture(const std::wstring& path) {
    LoadedPicture result;
    const std::string narrow = Narrow(path);
    const FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(narrow.c_str(), 0);
    if (fif == FIF_UNKNOWN) {
        return result;
    }
    FIBITMAP* dib = FreeImage_Load(fif, narrow.c_str(), 0);
    if (dib == nullptr) {
        return result;
    }
    result.ok = true;
    result.format = fif;
    result.width = int(FreeImage_GetWidth(dib));
    result.height = int(FreeImage_GetHeight(dib));
    result.bpp = int(FreeImage_GetBPP(dib));
    result.greyscale = FreeImage_GetColorType(dib) == FIC_MINISBLACK;
    result.pixels.resize(std::size_t(result.width) * result.height);
    for (int y = 0; y < result.height; ++y) {
        for (int x = 0; x < result.width; ++x) {
            RGBQUAD c{};
            if (result.bpp <= 8) {
                BYTE index = 0;
                FreeImage_GetPixelIndex(dib, x, result.height - 1 - y, &index);
                c = FreeImage_GetPalette(dib)[index];
            } else {
                FreeImage_GetPixelColor(dib, x, result.height - 1 - y, &c);
            }
            result.pixels[std::size_t(y) * result.width + x] =
                std::uint32_t(c.rgbRed) << 16 | std::uint32_t(c.rgbGreen) << 8 | c.rgbBlue;
        }
    }
    FreeImage_Unload(dib);
    return result;
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(Narrow(path), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(Narrow(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

bool Exists(const std::wstring& path) {
    return std::filesystem::exists(std::filesystem::path(Narrow(path)));
}

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelsor-jobs-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    m_path = AnsiToWide(pattern) + L"/";
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(Narrow(m_path)), ignored);
}

std::wstring ScratchFolder::MakeFolder(const std::wstring& name) const {
    std::filesystem::create_directories(std::filesystem::path(Narrow(m_path + name)));
    return m_path + name + L"/";
}

}  // namespace kelsor::test
