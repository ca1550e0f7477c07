#include "jobs/PictureFormat.h"

#include <array>

namespace kelsor {
namespace {

struct ExtensionCode {
    const wchar_t* extension;
    int code;
};

constexpr ExtensionCode kFormatTable[] = {
    {L".bmp", ImageFormatBmp},   {L".gif", ImageFormatGif},   {L".jpg", ImageFormatJpeg},
    {L".jpeg", ImageFormatJpeg}, {L".png", ImageFormatPng},   {L".ico", ImageFormatIco},
    {L".tif", ImageFormatTiff},  {L".tiff", ImageFormatTiff}, {L".tga", ImageFormatTga},
    {L".pcx", ImageFormatPcx},   {L".wbmp", ImageFormatWbmp}, {L".wmf", ImageFormatWmf},
    {L".emf", ImageFormatWmf},   {L".jp2", ImageFormatJp2},   {L".j2k", ImageFormatJp2},
    {L".jpc", ImageFormatJpc},   {L".j2c", ImageFormatJpc},   {L".pgx", ImageFormatPgx},
    {L".pnm", ImageFormatPnm},   {L".pgm", ImageFormatPnm},   {L".ppm", ImageFormatPnm},
    {L".ras", ImageFormatRas},   {L".jbg", ImageFormatJbg},   {L".mng", ImageFormatMng},
    {L".jng", ImageFormatMng},   {L".ska", ImageFormatSka},   {L".raw", ImageFormatRaw},
};

constexpr std::array<const wchar_t*, 7> kAcceptedExtensions{L".bmp", L".png", L".jpg", L".jpeg",
                                                            L".gif", L".tif", L".tiff"};

}  // namespace

std::wstring PictureExtension(const std::wstring& path) {
    const auto dot = path.rfind(L'.');
    if (dot == std::wstring::npos) {
        return {};
    }
    std::wstring extension = path.substr(dot);
    // Only A-Z change, as with the C library's tolower in the C locale.
    for (wchar_t& c : extension) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return extension;
}

int ImageFormatFromExtension(const std::wstring& path) {
    const std::wstring extension = PictureExtension(path);
    for (const auto& entry : kFormatTable) {
        if (extension == entry.extension) {
            return entry.code;
        }
    }
    return ImageFormatUnknown;
}

bool IsAcceptedPictureExtension(const std::wstring& extension) {
    for (const wchar_t* accepted : kAcceptedExtensions) {
        if (extension == accepted) {
            return true;
        }
    }
    return false;
}

}  // namespace kelsor
