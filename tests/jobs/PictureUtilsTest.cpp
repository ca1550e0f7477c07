#include <FreeImage.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "TestPictures.h"
#include "app/TextConv.h"
#include "jobs/ImagingLibrary.h"
#include "jobs/PictureHeader.h"
#include "jobs/PictureUtils.h"

namespace kelsor {
namespace {

using test::PictureKind;

TEST(PictureFormat, ExtensionIsLowerCasedFromTheLastDot) {
    EXPECT_EQ(PictureExtension(L"/pics/SCAN.JPG"), L".jpg");
    EXPECT_EQ(PictureExtension(L"/pics/a.photo.PNG"), L".png");
    EXPECT_EQ(PictureExtension(L"/pics/README"), L"");
    EXPECT_EQ(PictureExtension(L"/pics.v2/README"), L".v2/readme");
    // Only A to Z change.
    EXPECT_EQ(PictureExtension(L"x.ÄBC"), L".Äbc");
}

TEST(PictureFormat, CodeTable) {
    const std::vector<std::pair<std::wstring, int>> table = {
        {L".bmp", 1},  {L".gif", 2},  {L".jpg", 3},  {L".jpeg", 3}, {L".png", 4},  {L".ico", 5},
        {L".tif", 6},  {L".tiff", 6}, {L".tga", 7},  {L".pcx", 8},  {L".wbmp", 9}, {L".wmf", 10},
        {L".emf", 10}, {L".jp2", 11}, {L".j2k", 11}, {L".jpc", 12}, {L".j2c", 12}, {L".pgx", 13},
        {L".pnm", 14}, {L".pgm", 14}, {L".ppm", 14}, {L".ras", 15}, {L".jbg", 16}, {L".mng", 17},
        {L".jng", 17}, {L".ska", 18}, {L".raw", 19}, {L".webp", 0}, {L".jpgx", 0}, {L"", 0},
    };
    for (const auto& [extension, code] : table) {
        EXPECT_EQ(ImageFormatFromExtension(L"/some/file" + extension), code) << extension.size();
    }
    EXPECT_EQ(ImageFormatFromExtension(L"SCAN.JPG"), ImageFormatJpeg);
    EXPECT_EQ(ImageFormatFromExtension(L"a.photo.PNG"), ImageFormatPng);
    EXPECT_EQ(ImageFormatFromExtension(L"noextension"), ImageFormatUnknown);
}

class PictureCheck : public ::testing::Test {
protected:
    std::wstring File(const std::wstring& name, const std::string& bytes) {
        const std::wstring path = m_dir / name;
        test::WriteBytes(path, bytes);
        return path;
    }
    test::ScratchFolder m_dir;
};

TEST_F(PictureCheck, SignaturesOfTheAcceptedFormats) {
    EXPECT_EQ(CheckPictureFile(File(L"a.jpg", "\xFF\xD8\xFF\xE0rest")), 1);
    EXPECT_EQ(CheckPictureFile(File(L"a.bmp", "BM....")), 1);
    EXPECT_EQ(CheckPictureFile(File(L"a.png", std::string("\x89PNG\r\n\x1A\n", 8))), 1);
    EXPECT_EQ(CheckPictureFile(File(L"a.gif", "GIF89a")), 1);
    EXPECT_EQ(CheckPictureFile(File(L"b.gif", "GIF87a;")), 1);
    EXPECT_EQ(CheckPictureFile(File(L"a.tif", "II*")), 1);
    EXPECT_EQ(CheckPictureFile(File(L"a.tiff", "MM")), 1);
    EXPECT_EQ(CheckPictureFile(File(L"UPPER.PNG", "\xFF\xD8")), 1);
}

TEST_F(PictureCheck, SignatureNeedNotMatchTheExtension) {
    EXPECT_EQ(CheckPictureFile(File(L"jpeg-inside.png", "\xFF\xD8\xFF")), 1);
    ASSERT_TRUE(test::WritePng(m_dir / L"png-inside.jpg", 4, 4));
    EXPECT_EQ(CheckPictureFile(m_dir / L"png-inside.jpg"), 1);
}

TEST_F(PictureCheck, RefusedExtensionsAreNotOpened) {
    EXPECT_EQ(CheckPictureFile(m_dir / L"missing-notes.txt"), -1);
    EXPECT_EQ(CheckPictureFile(File(L"picture.ico", "BM")), -1);
    EXPECT_EQ(CheckPictureFile(File(L"noextension", "\xFF\xD8")), -1);
    EXPECT_EQ(CheckPictureFile(L""), -1);
}

TEST_F(PictureCheck, DamagedOrMissingFiles) {
    EXPECT_EQ(CheckPictureFile(File(L"im.tif", "IM")), -2);
    EXPECT_EQ(CheckPictureFile(File(L"empty.png", "")), -2);
    EXPECT_EQ(CheckPictureFile(File(L"short.png", "\x89PNG\r\n")), -2);
    EXPECT_EQ(CheckPictureFile(File(L"short.gif", "GIF89")), -2);
    EXPECT_EQ(CheckPictureFile(File(L"one.jpg", "\xFF")), -2);
    EXPECT_EQ(CheckPictureFile(File(L"text.jpeg", "hello, world")), -2);
    EXPECT_EQ(CheckPictureFile(m_dir / L"missing.png"), -2);
    m_dir.MakeFolder(L"folder.png");
    EXPECT_EQ(CheckPictureFile(m_dir / L"folder.png"), -2);
    // A FIFO named like a picture is refused at once, never waited on.
    const std::wstring fifo = m_dir / L"pipe.png";
    ASSERT_EQ(::mkfifo(WideToAnsi(fifo).c_str(), 0600), 0);
    EXPECT_EQ(CheckPictureFile(fifo), -2);
    EXPECT_FALSE(ConvertPictureToJpeg(100, fifo, m_dir / L"out.jpg"));
    EXPECT_EQ(GetPictureSizeText(fifo), L"");
}

class PictureConversion : public ::testing::Test {
protected:
    // A PNG of `kind` converted at quality 100, read back.
    test::LoadedPicture ConvertPng(int width, int height, PictureKind kind) {
        EXPECT_TRUE(test::WritePng(m_dir / L"in.png", width, height, kind));
        EXPECT_TRUE(ConvertPictureToJpeg(100, m_dir / L"in.png", m_dir / L"out.jpg"));
        return test::LoadPicture(m_dir / L"out.jpg");
    }
    test::ScratchFolder m_dir;
};

TEST_F(PictureConversion, EmptySourceTouchesNothing) {
    const std::wstring target = m_dir / L"target.jpg";
    test::WriteBytes(target, "earlier run");
    EXPECT_TRUE(ConvertPictureToJpeg(100, L"", target));
    EXPECT_EQ(test::ReadBytes(target), "earlier run");
}

TEST_F(PictureConversion, PalettePngBecomes24BitJpeg) {
    const auto out = ConvertPng(64, 48, PictureKind::Palette8);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.format, FIF_JPEG);
    EXPECT_EQ(out.bpp, 24);
    EXPECT_EQ(out.width, 64);
    EXPECT_EQ(out.height, 48);
}

TEST_F(PictureConversion, GreyPngStaysGrey) {
    const auto out = ConvertPng(40, 30, PictureKind::Grey8);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.bpp, 8);
    EXPECT_TRUE(out.greyscale);
}

TEST_F(PictureConversion, TransparencyLandsOnWhite) {
    const auto out = ConvertPng(32, 8, PictureKind::Rgba32);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.bpp, 24);
    // Quality 100 keeps flat areas within a few levels.
    EXPECT_GT(out.at(2, 4) & 0xFF, 0xF0u);   // transparent half: white
    EXPECT_LT(out.at(29, 4) & 0xFF, 0x10u);  // opaque half: black
}

TEST_F(PictureConversion, EveryAcceptedFormatAndAMisnamedPng) {
    const std::vector<std::pair<std::wstring, int>> sources = {
        {L"a.bmp", FIF_BMP},  {L"a.gif", FIF_GIF},   {L"a.jpg", FIF_JPEG},
        {L"a.tif", FIF_TIFF}, {L"png.jpg", FIF_PNG}, {L"png.gif", FIF_PNG}};
    for (const auto& [name, format] : sources) {
        ASSERT_TRUE(test::WritePicture(m_dir / name, 20, 10, PictureKind::Rgb24, format));
        const std::wstring target = m_dir / (name + L".out.jpg");
        EXPECT_TRUE(ConvertPictureToJpeg(100, m_dir / name, target)) << format;
        const auto out = test::LoadPicture(target);
        EXPECT_TRUE(out.ok && out.width == 20 && out.height == 10) << format;
    }
}

TEST_F(PictureConversion, FailureLeavesTheTargetAsItWas) {
    const std::wstring target = m_dir / L"target.jpg";
    test::WriteBytes(target, "earlier run");
    test::WriteBytes(m_dir / L"damaged.png", "\x89PNG\r\n\x1A\nnot really");
    EXPECT_FALSE(ConvertPictureToJpeg(100, m_dir / L"missing.png", target));
    EXPECT_FALSE(ConvertPictureToJpeg(100, m_dir / L"damaged.png", target));
    EXPECT_FALSE(ConvertPictureToJpeg(100, m_dir / L"notes.txt", target));
    EXPECT_EQ(test::ReadBytes(target), "earlier run");
    // A target that cannot be created is a failure, not a silent success.
    ASSERT_TRUE(test::WritePng(m_dir / L"good.png", 8, 8));
    EXPECT_FALSE(ConvertPictureToJpeg(100, m_dir / L"good.png", m_dir / L"no/such/dir/out.jpg"));
}

// A BMP with a BITMAPV5HEADER, as ImageMagick, GIMP and most tools write
// them: 24-bit, or 32-bit with colour masks; every pixel pure red.
std::string BmpV5(int width, int height, int bits) {
    const bool masks = bits == 32;
    const int rowBytes = (width * bits / 8 + 3) / 4 * 4;
    std::string header(14 + 124, '\0');
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            header[at + i] = char(v >> (8 * i));
        }
    };
    header[0] = 'B';
    header[1] = 'M';
    put32(2, std::uint32_t(header.size() + rowBytes * height));
    put32(10, std::uint32_t(header.size()));
    put32(14, 124);
    put32(18, std::uint32_t(width));
    put32(22, std::uint32_t(height));
    header[26] = 1;
    header[28] = char(bits);
    put32(30, masks ? 3 : 0);
    put32(34, std::uint32_t(rowBytes * height));
    if (masks) {
        put32(54, 0x00FF0000);
        put32(58, 0x0000FF00);
        put32(62, 0x000000FF);
        put32(66, 0xFF000000);
    }
    put32(70, 0x73524742);  // "sRGB"
    std::string row(rowBytes, '\0');
    for (int x = 0; x < width; ++x) {
        row[x * bits / 8 + 2] = char(0xFF);  // B, G, R(, A)
        if (bits == 32) {
            row[x * 4 + 3] = char(0xFF);
        }
    }
    std::string file = header;
    for (int y = 0; y < height; ++y) {
        file += row;
    }
    return file;
}

TEST_F(PictureConversion, BmpWithANewerHeaderIsReadToo) {
    for (const int bits : {24, 32}) {
        const std::wstring name = L"v5-" + std::to_wstring(bits) + L".bmp";
        test::WriteBytes(m_dir / name, BmpV5(12, 5, bits));
        EXPECT_EQ(CheckPictureFile(m_dir / name), 1);
        EXPECT_EQ(GetPictureSizeText(m_dir / name), L"12*5") << bits;
        ASSERT_TRUE(ConvertPictureToJpeg(100, m_dir / name, m_dir / L"out.jpg")) << bits;
        const auto out = test::LoadPicture(m_dir / L"out.jpg");
        ASSERT_TRUE(out.ok);
        EXPECT_GT(out.at(6, 2) >> 16, 0xF0u) << bits;  // red stays red
        EXPECT_LT(out.at(6, 2) & 0xFF, 0x10u) << bits;
    }
}

// A PNG header that claims a 60000 x 60000 picture with a few bytes of data.
std::string HugePng() {
    std::string png("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\xEA\x60\0\0\xEA\x60\x08\x02\0\0\0", 29);
    png += std::string("\0\0\0\0\0\0\0\0IDAT", 12);
    return png;
}

TEST_F(PictureConversion, HugeDimensionHeadersAreRefusedBeforeDecoding) {
    test::WriteBytes(m_dir / L"huge.png", HugePng());
    EXPECT_FALSE(ConvertPictureToJpeg(100, m_dir / L"huge.png", m_dir / L"out.jpg"));
    EXPECT_EQ(GetPictureSizeText(m_dir / L"huge.png"), L"");
    EXPECT_FALSE(test::Exists(m_dir / L"out.jpg"));
}

TEST(PictureHeader, DimensionsOfEveryFormatAndTheLimits) {
    test::ScratchFolder dir;
    const std::vector<std::pair<int, int>> formats = {{FIF_PNG, ImageFormatPng},
                                                      {FIF_JPEG, ImageFormatJpeg},
                                                      {FIF_BMP, ImageFormatBmp},
                                                      {FIF_GIF, ImageFormatGif},
                                                      {FIF_TIFF, ImageFormatTiff}};
    for (const auto& [fif, code] : formats) {
        const std::wstring path = dir / (L"p" + std::to_wstring(fif));
        ASSERT_TRUE(test::WritePicture(path, 321, 123, PictureKind::Rgb24, fif));
        const std::string bytes = test::ReadBytes(path);
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        EXPECT_EQ(SniffPictureFormat(data, bytes.size()), code);
        PictureDimensions d;
        ASSERT_TRUE(ReadPictureDimensions(data, bytes.size(), code, d)) << fif;
        EXPECT_EQ(d.width, 321u) << fif;
        EXPECT_EQ(d.height, 123u) << fif;
        // Cut inside the header: no dimensions, never a read past the end.
        EXPECT_FALSE(ReadPictureDimensions(data, 9, code, d)) << fif;
    }
    EXPECT_TRUE(DimensionsWithinLimits({1920, 1080}));
    EXPECT_FALSE(DimensionsWithinLimits({0, 1080}));
    EXPECT_FALSE(DimensionsWithinLimits({70000, 1}));
    EXPECT_FALSE(DimensionsWithinLimits({60000, 60000}));
}

TEST(ImagingLibrary, OnlyTheFormatsTheProgramReadsAreEnabled) {
    InitImagingLibrary();
    for (const FREE_IMAGE_FORMAT fif : {FIF_BMP, FIF_JPEG, FIF_PNG, FIF_GIF, FIF_TIFF, FIF_ICO}) {
        EXPECT_EQ(FreeImage_IsPluginEnabled(fif), TRUE) << fif;
    }
    for (const FREE_IMAGE_FORMAT fif : {FIF_TARGA, FIF_PSD, FIF_RAW, FIF_EXR, FIF_PCX, FIF_WEBP}) {
        EXPECT_EQ(FreeImage_IsPluginEnabled(fif), FALSE) << fif;
    }
}

TEST(PictureSizeText, WidthStarHeight) {
    test::ScratchFolder dir;
    ASSERT_TRUE(test::WritePng(dir / L"wide.png", 1920, 1080, PictureKind::Grey8));
    EXPECT_EQ(GetPictureSizeText(dir / L"wide.png"), L"1920*1080");
    EXPECT_EQ(GetPictureSizeText(dir / L"missing.png"), L"");
    EXPECT_EQ(GetPictureSizeText(L""), L"");
    test::WriteBytes(dir / L"text.png", "not a picture");
    EXPECT_EQ(GetPictureSizeText(dir / L"text.png"), L"");
}

class RegionSave : public ::testing::Test {
protected:
    // 100 x 80 white bitmap with a red block at x 10..59, y 20..49.
    RegionSave() : m_pixels(100 * 80 * 4, 0xFF) {
        for (int y = 20; y < 50; ++y) {
            for (int x = 10; x < 60; ++x) {
                std::uint8_t* p = &m_pixels[(y * 100 + x) * 4];
                p[0] = 0;  // B
                p[1] = 0;  // G
                p[2] = 255;
            }
        }
        m_bitmap = PixelBuffer{m_pixels.data(), 100, 80, 400};
    }
    std::vector<std::uint8_t> m_pixels;
    PixelBuffer m_bitmap;
    test::ScratchFolder m_dir;
};

TEST_F(RegionSave, CropsTheRectangleFromTheTopLeft) {
    EXPECT_TRUE(SaveBitmapRegionAsJpeg(m_bitmap, 10, 20, 60, 50, m_dir / L"cut.jpg"));
    const auto out = test::LoadPicture(m_dir / L"cut.jpg");
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.width, 50);
    EXPECT_EQ(out.height, 30);
    EXPECT_EQ(out.bpp, 24);
    EXPECT_GT(out.at(25, 15) >> 16, 0xE0u);          // red
    EXPECT_LT((out.at(25, 15) >> 8) & 0xFF, 0x30u);  // little green
}

TEST_F(RegionSave, SwappedCornersAndOverhangAreNormalised) {
    EXPECT_TRUE(SaveBitmapRegionAsJpeg(m_bitmap, 60, 50, 10, 20, m_dir / L"swapped.jpg"));
    const auto swapped = test::LoadPicture(m_dir / L"swapped.jpg");
    EXPECT_TRUE(swapped.ok && swapped.width == 50 && swapped.height == 30);
    EXPECT_TRUE(SaveBitmapRegionAsJpeg(m_bitmap, 90, 70, 500, 500, m_dir / L"over.jpg"));
    const auto over = test::LoadPicture(m_dir / L"over.jpg");
    EXPECT_TRUE(over.ok && over.width == 10 && over.height == 10);
}

TEST_F(RegionSave, NothingToSaveStillReportsTrue) {
    EXPECT_TRUE(SaveBitmapRegionAsJpeg(m_bitmap, 30, 30, 30, 60, m_dir / L"empty.jpg"));
    EXPECT_TRUE(SaveBitmapRegionAsJpeg(m_bitmap, 200, 200, 300, 300, m_dir / L"outside.jpg"));
    EXPECT_TRUE(SaveBitmapRegionAsJpeg(PixelBuffer{}, 0, 0, 10, 10, m_dir / L"null.jpg"));
    EXPECT_FALSE(test::Exists(m_dir / L"empty.jpg"));
    EXPECT_FALSE(test::Exists(m_dir / L"outside.jpg"));
    EXPECT_FALSE(test::Exists(m_dir / L"null.jpg"));
}

}  // namespace
}  // namespace kelsor
