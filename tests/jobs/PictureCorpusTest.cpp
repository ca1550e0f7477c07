#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestPictures.h"
#include "app/TextConv.h"
#include "jobs/PictureUtils.h"

namespace kelsor {
namespace {

// Every seed of the fuzz corpus through the check, the size text and the
// conversion: no crash, and the forged huge headers are refused.
TEST(PictureCorpus, EverySeedIsHandled) {
    const char* corpus = KELSOR_FUZZ_CORPUS_DIR;
    test::ScratchFolder dir;
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string name = entry.path().filename().string();
        const std::wstring path = AnsiToWide(entry.path().string());
        const std::wstring target = dir / L"out.jpg";
        ++seeds;
        const int check = CheckPictureFile(path);
        const std::wstring size = GetPictureSizeText(path);
        const bool converted = ConvertPictureToJpeg(100, path, target);
        if (name.rfind("huge", 0) == 0 || name.rfind("truncated", 0) == 0 ||
            name.rfind("empty", 0) == 0 || name.rfind("text", 0) == 0 ||
            name.rfind("im-", 0) == 0 || name.rfind("bad", 0) == 0) {
            if (name.rfind("huge", 0) == 0) {
                EXPECT_EQ(size, L"") << name;
                EXPECT_FALSE(converted) << name;
            }
        } else {
            EXPECT_EQ(check, 1) << name;
            EXPECT_FALSE(size.empty()) << name;
            EXPECT_TRUE(converted) << name;
        }
        if (name == "empty.png" || name == "text.png" || name == "im-not-tiff.tif") {
            EXPECT_EQ(check, -2) << name;
        }
    }
    EXPECT_GT(seeds, 30);
}

}  // namespace
}  // namespace kelsor
