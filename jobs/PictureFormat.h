#pragma once

#include <string>

// The program's own picture format codes and the extension lookup. The codes
// are stable identifiers of the program; the imaging library has its own,
// which only PictureDecode.cpp maps to.
namespace kelsor {

enum ImageFormat : int {
    ImageFormatUnknown = 0,
    ImageFormatBmp = 1,
    ImageFormatGif = 2,
    ImageFormatJpeg = 3,
    ImageFormatPng = 4,
    ImageFormatIco = 5,
    ImageFormatTiff = 6,
    ImageFormatTga = 7,
    ImageFormatPcx = 8,
    ImageFormatWbmp = 9,
    ImageFormatWmf = 10,
    ImageFormatJp2 = 11,
    ImageFormatJpc = 12,
    ImageFormatPgx = 13,
    ImageFormatPnm = 14,
    ImageFormatRas = 15,
    ImageFormatJbg = 16,
    ImageFormatMng = 17,
    ImageFormatSka = 18,
    ImageFormatRaw = 19,
};

// The text from the last "." of `path` to its end, dot included, with A-Z
// lowered; empty when the path has no ".".
std::wstring PictureExtension(const std::wstring& path);

// The format code for the extension of `path`; ImageFormatUnknown for any
// extension outside the table (and for a path without ".").
int ImageFormatFromExtension(const std::wstring& path);

// True for the extensions that pickers, scans and the picture check accept:
// .bmp .png .jpg .jpeg .gif .tif .tiff.
bool IsAcceptedPictureExtension(const std::wstring& extension);

}  // namespace kelsor
