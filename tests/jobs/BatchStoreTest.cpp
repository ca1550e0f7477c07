// The batch store's limit and result names, and what the batch list reads of
// a picture it adds (from the header alone).
#include <FreeImage.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "TestPictures.h"
#include "app/TextConv.h"
#include "app/Utilities.h"
#include "jobs/BatchFileItem.h"
#include "jobs/BatchPictureInfo.h"

using namespace kelsor;

namespace {

std::unique_ptr<BatchFileItem> Item(int id, const std::wstring& source,
                                    const std::wstring& output = {}) {
    auto item = std::make_unique<BatchFileItem>();
    item->id = id;
    item->sourcePath = source;
    item->outputPath = output;
    return item;
}

}  // namespace

TEST(BatchStore, FillStopsAtOneHundredInIdOrder) {
    BatchFileStore store;
    std::vector<std::unique_ptr<BatchFileItem>> items;
    for (int id = 1; id <= 150; ++id) {
        items.push_back(Item(id, L"/p.png"));
    }
    EXPECT_EQ(store.Fill(items).size(), 100u);
    EXPECT_EQ(items.size(), 50u);  // left to the caller, who drops them
    EXPECT_EQ(items.front()->id, 101);
    EXPECT_EQ(store.All().begin()->first, 1);
    EXPECT_EQ(store.All().rbegin()->first, 100);
    std::vector<std::unique_ptr<BatchFileItem>> more;
    more.push_back(Item(151, L"/q.png"));
    EXPECT_TRUE(store.Fill(more).empty());
}

TEST(BatchStore, OutputNames) {
    struct Case {
        const char* what;
        std::wstring folder;
        std::wstring source;
        std::vector<std::pair<std::wstring, std::wstring>> others;  // source, output
        std::wstring expected;
    };
    const Case cases[] = {
        {"free name", L"/out/", L"/a/p.png", {}, L"/out/p.txt"},
        {"empty folder: the picture's own", L"", L"/a/b/p.png", {}, L"/a/b/p.txt"},
        {"another picture writes p.txt",
         L"/out/",
         L"/sub2/p.png",
         {{L"/sub1/p.png", L"/out/p.txt"}},
         L"/out/p (2).txt"},
        {"and p (2).txt as well",
         L"/out/",
         L"/sub3/p.jpg",
         {{L"/sub1/p.png", L"/out/p.txt"}, {L"/sub2/p.png", L"/out/p (2).txt"}},
         L"/out/p (3).txt"},
        {"the same picture twice shares its file",
         L"/out/",
         L"/a/p.png",
         {{L"/a/p.png", L"/out/p.txt"}},
         L"/out/p.txt"},
        {"a claim in another folder is no clash",
         L"/out/",
         L"/a/p.png",
         {{L"/b/p.png", L"/elsewhere/p.txt"}},
         L"/out/p.txt"},
    };
    for (const Case& c : cases) {
        BatchFileStore store;
        std::vector<std::unique_ptr<BatchFileItem>> items;
        int id = 1;
        for (const auto& [source, output] : c.others) {
            items.push_back(Item(id++, source, output));
        }
        items.push_back(Item(id, c.source));
        store.Fill(items);
        const BatchFileItem& item = *store.Find(id);
        EXPECT_EQ(store.OutputPathFor(item, c.folder, L"p"), c.expected) << c.what;
    }
}

TEST(BatchStore, RetryKeepsItsOwnFreeName) {
    BatchFileStore store;
    std::vector<std::unique_ptr<BatchFileItem>> items;
    items.push_back(Item(1, L"/sub1/p.png", L"/out/p.txt"));
    items.push_back(Item(2, L"/sub2/p.png", L"/out/p (2).txt"));
    store.Fill(items);
    EXPECT_EQ(store.OutputPathFor(*store.Find(2), L"/out/", L"p"), L"/out/p (2).txt");
    EXPECT_EQ(store.OutputPathFor(*store.Find(1), L"/out/", L"p"), L"/out/p.txt");
}

TEST(BatchPictureInfo, FromTheHeader) {
    test::ScratchFolder dir;
    ASSERT_TRUE(test::WritePicture(dir / L"wide.png", 320, 200, test::PictureKind::Rgb24, FIF_PNG));
    ASSERT_TRUE(test::WritePicture(dir / L"tall.jpg", 30, 70, test::PictureKind::Rgb24, FIF_JPEG));
    ASSERT_TRUE(test::WritePicture(dir / L"grey.bmp", 17, 9, test::PictureKind::Grey8, FIF_BMP));
    ASSERT_TRUE(test::WritePicture(dir / L"scan.tif", 40, 50, test::PictureKind::Rgb24, FIF_TIFF));
    test::WriteBytes(dir / L"junk.png", "not a picture at all");
    test::WriteBytes(dir / L"empty.gif", "");
    test::WriteBytes(dir / L"notes.txt", "text");
    // Named like a picture, but no regular file: opening must not wait.
    ASSERT_EQ(::mkfifo(WideToAnsi(dir / L"pipe.png").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", WideToAnsi(dir / L"device.png").c_str()), 0);
    ::mkdir(WideToAnsi(dir / L"folder.png").c_str(), 0700);

    struct Case {
        std::wstring name;
        int check;
        std::wstring dimensions;
    };
    const Case cases[] = {
        {L"wide.png", PictureAccepted, L"320*200"}, {L"tall.jpg", PictureAccepted, L"30*70"},
        {L"grey.bmp", PictureAccepted, L"17*9"},    {L"scan.tif", PictureAccepted, L"40*50"},
        {L"junk.png", PictureDamaged, L""},         {L"empty.gif", PictureDamaged, L""},
        {L"missing.png", PictureDamaged, L""},      {L"notes.txt", PictureUnsupported, L""},
        {L"pipe.png", PictureDamaged, L""},         {L"folder.png", PictureDamaged, L""},
        {L"device.png", PictureDamaged, L""},
    };
    for (const Case& c : cases) {
        const BatchPictureInfo info = ReadBatchPictureInfo(dir / c.name);
        EXPECT_EQ(info.check, c.check) << WideToAnsi(c.name);
        EXPECT_EQ(info.dimensionsText, c.dimensions) << WideToAnsi(c.name);
    }
    test::WriteBytes(dir / L"sized.png",
                     test::ReadBytes(dir / L"wide.png") + std::string(2048, 'x'));
    EXPECT_EQ(ReadBatchPictureInfo(dir / L"sized.png").sizeText,
              GetSizeText(static_cast<double>(test::ReadBytes(dir / L"sized.png").size())));
}
