// Every form of the picture-form table through the program's one decoder:
// the check, the batch list's header reading, the size text and the JPEG
// that is sent for recognition, whose pixels must show the text as drawn.
#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "PictureForms.h"
#include "TestPictures.h"
#include "app/TextConv.h"
#include "jobs/BatchPictureInfo.h"
#include "jobs/Picture.h"
#include "jobs/PictureUtils.h"

namespace kelsor {
namespace {

bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > tolerance) {
            return false;
        }
    }
    return true;
}

// The share of pixels within `tolerance` of `colour`.
double Share(const test::LoadedPicture& picture, std::uint32_t colour, int tolerance) {
    std::size_t near = 0;
    for (std::uint32_t pixel : picture.pixels) {
        near += Near(pixel, colour, tolerance) ? 1 : 0;
    }
    return double(near) / double(picture.pixels.size());
}

TEST(PictureForms, EveryFormIsReadAsDrawn) {
    test::ScratchFolder dir;
    std::string error;
    ASSERT_TRUE(test::WritePictureForms(WideToAnsi(dir.path()), error)) << error;
    for (const test::PictureForm& form : test::PictureForms()) {
        SCOPED_TRACE(form.name);
        const std::wstring path = dir / AnsiToWide(form.name);
        EXPECT_EQ(CheckPictureFile(path), PictureAccepted);
        const BatchPictureInfo info = ReadBatchPictureInfo(path);
        EXPECT_EQ(info.check, PictureAccepted);
        EXPECT_EQ(info.dimensionsText, L"360*110");
        EXPECT_EQ(GetPictureSizeText(path), L"360*110");
        test::LoadedPicture sent;
        if (ConvertPictureToJpeg(100, path, dir / L"sent.jpg")) {
            sent = test::LoadPicture(dir / L"sent.jpg");
        }
        if (!sent.ok) {
            ADD_FAILURE() << "not converted";
            continue;  // on to the other forms
        }
        // The paper fills most of the picture, transparent paper as white;
        // the ink is a few percent of it, in its own colour.
        EXPECT_TRUE(Near(sent.at(2, 2), form.look.background, 24)) << std::hex << sent.at(2, 2);
        EXPECT_GT(Share(sent, form.look.background, 24), 0.7);
        const double ink = Share(sent, form.look.ink, 48);
        EXPECT_GT(ink, 0.02);
        EXPECT_LT(ink, 0.3);
    }
}

// Hand-made run-length BMPs: runs, literal runs with their padding, an end
// of line, a move and the end of the picture, in both depths. Each row of
// the expected picture is written top row first; '.' is what nothing
// painted (palette entry 0).
TEST(PictureForms, RunLengthBmpsAreExpanded) {
    struct Case {
        int bits;
        std::string runs;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {8,
         std::string("\x03\x01\x00\x03\x02\x03\x02\x00\x00\x00"  // 111 232 (padded), end of line
                     "\x00\x02\x01\x01\x02\x03\x00\x01",         // move 1 right 1 up, 33, end
                     18),
         {".33...", "......", "111232"}},
        {4,
         std::string("\x05\x12\x00\x00\x00\x03\x31\x20\x00\x00", 10),  // 12121, then 312 (padded)
         {"......", "312...", "12121."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        const std::uint32_t width = 6, height = 3, colours = 4;
        std::string bmp = "BM" + std::string(12, '\0');
        std::string header(40, '\0');
        const auto put = [](std::string& s, std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i) {
                s[at + i] = char(v >> (8 * i));
            }
        };
        put(header, 0, 40);
        put(header, 4, width);
        put(header, 8, height);
        header[12] = 1;
        header[14] = char(c.bits);
        put(header, 16, c.bits == 8 ? 1 : 2);
        put(header, 32, colours);
        bmp += header;
        for (std::uint32_t i = 0; i < colours; ++i) {
            bmp += std::string{char(i * 60), char(i * 60), char(i * 60), 0};  // grey ramp
        }
        put(bmp, 10, std::uint32_t(bmp.size()));
        bmp += c.runs;
        put(bmp, 2, std::uint32_t(bmp.size()));

        Picture picture;
        ASSERT_TRUE(picture.LoadFromMemory(reinterpret_cast<const std::uint8_t*>(bmp.data()),
                                           bmp.size(), ImageFormatBmp));
        FIBITMAP* dib = picture.TakeBitmap();
        for (std::uint32_t y = 0; y < height; ++y) {
            std::string row;
            for (std::uint32_t x = 0; x < width; ++x) {
                BYTE index = 0;
                FreeImage_GetPixelIndex(dib, x, height - 1 - y, &index);
                row += index == 0 ? '.' : char('0' + index);
            }
            EXPECT_EQ(row, c.rows[y]) << "row " << y;
        }
        FreeImage_Unload(dib);
    }
}

}  // namespace
}  // namespace kelsor
