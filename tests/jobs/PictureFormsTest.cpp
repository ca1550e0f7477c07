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

// Hand-made run-length BMPs, 6 x 3 pixels: runs, literal runs with their
// padding, an end of line, a move, the end of the picture, in both depths.
// Rows are written top first; '.' is what nothing painted (entry 0).
TEST(PictureForms, RunLengthBmpsAreExpanded) {
    struct Case {
        int bits;
        std::string runs;
        std::string rows;
    };
    const Case cases[] = {
        // 111 232 (padded), end of line, move 1 right and 1 up, 33, end.
        {8,
         std::string("\x03\x01\x00\x03\x02\x03\x02\x00\x00\x00\x00\x02\x01\x01\x02\x03\x00\x01",
                     18),
         ".33.../....../111232"},
        // 12121, end of line, 312 (padded); the data ends without an end.
        {4, std::string("\x05\x12\x00\x00\x00\x03\x31\x20\x00\x00", 10), "....../312.../12121."},
    };
    for (const Case& c : cases) {
        // File header, 40-byte header (6 x 3, one plane, RLE8 = 1, RLE4 = 2,
        // four colours), a grey palette, the runs.
        std::string bmp("BM\0\0\0\0\0\0\0\0\x46\0\0\0(\0\0\0\x06\0\0\0\x03\0\0\0\x01\0", 28);
        bmp += std::string{char(c.bits), 0, char(c.bits == 8 ? 1 : 2)} + std::string(15, '\0');
        bmp += std::string("\x04\0\0\0\0\0\0\0", 8);
        for (char i = 0; i < 4; ++i) {
            bmp += std::string{char(i * 60), char(i * 60), char(i * 60), 0};
        }
        bmp += c.runs;
        Picture picture;
        ASSERT_TRUE(picture.LoadFromMemory(reinterpret_cast<const std::uint8_t*>(bmp.data()),
                                           bmp.size(), ImageFormatBmp));
        FIBITMAP* dib = picture.TakeBitmap();
        std::string rows;
        for (int y = 2; y >= 0; --y) {
            for (unsigned x = 0; x < 6; ++x) {
                BYTE index = 0;
                FreeImage_GetPixelIndex(dib, x, unsigned(y), &index);
                rows += index == 0 ? '.' : char('0' + index);
            }
            rows += y > 0 ? "/" : "";
        }
        FreeImage_Unload(dib);
        EXPECT_EQ(rows, c.rows) << c.bits;
    }
}

}  // namespace
}  // namespace kelsor
