#include <gtest/gtest.h>

#include "platform/ui/DialogBuilder.h"
#include "platform/ui/LayoutRules.h"
#include "platform/ui/Markup.h"
#include "platform/ui/SkinArchive.h"
#include "skin/SkinData.h"

using namespace kelsor::ui;

TEST(UiMarkup, ImageReferenceWithSourceDestAndCorner) {
    const ImageRef r = ParseImageRef(
        "file='main\\singleorc.png' source='110,0,220,94' dest='0,7,16,23' corner='4,4,4,4'");
    ASSERT_TRUE(r.valid);
    EXPECT_EQ(r.file, "main/singleorc.png");
    ASSERT_TRUE(r.source);
    EXPECT_EQ(*r.source, QRect(110, 0, 110, 94));
    ASSERT_TRUE(r.dest);
    EXPECT_EQ(*r.dest, QRect(0, 7, 16, 16));
    EXPECT_EQ(r.corner, QMargins(4, 4, 4, 4));

    const ImageRef bare = ParseImageRef("batchocr\\picview.png");
    EXPECT_TRUE(bare.valid);
    EXPECT_EQ(bare.file, "batchocr/picview.png");
    EXPECT_FALSE(bare.source);

    // An absolute disk path (the downloaded avatar) is kept as it is.
    EXPECT_EQ(ParseImageRef("/home/u/.local/share/x/useravtar.png").file,
              "/home/u/.local/share/x/useravtar.png");
}

TEST(UiMarkup, BadImageReferencesAreRejected) {
    EXPECT_FALSE(ParseImageRef("").valid);
    EXPECT_FALSE(ParseImageRef("file='a.png' source='0,x,1,1'").valid);
    EXPECT_FALSE(ParseImageRef("file='a.png' bogus='1'").valid);
    EXPECT_FALSE(ParseImageRef("source='0,0,1,1'").valid);  // no file
}

TEST(UiMarkup, ValueParsers) {
    EXPECT_EQ(ParseColor("#ff999999")->rgb(), QColor(0x99, 0x99, 0x99).rgb());
    EXPECT_EQ(ParseColor("#80FFFFFF")->alpha(), 0x80);
    EXPECT_EQ(ParseColor("#4399FD")->alpha(), 255);
    EXPECT_FALSE(ParseColor("#12345"));
    EXPECT_FALSE(ParseColor("blue"));
    EXPECT_EQ(*ParseMargins("30,15,0,0"), QMargins(30, 15, 0, 0));
    EXPECT_EQ(*ParseMargins("20,-3,0,0"), QMargins(20, -3, 0, 0));
    EXPECT_FALSE(ParseMargins("1,2,3,4,5"));
    EXPECT_EQ(*ParseSize("1120,720"), QSize(1120, 720));
    EXPECT_FALSE(ParseSize("1120"));
    EXPECT_FALSE(ParseBool("yes"));
}

TEST(UiMarkup, TreeKeepsOrderAndReportsErrorsWithLine) {
    QString error;
    auto tree = ParseMarkup(R"(<Window size="1,2"><A n="1"/><B><C/></B></Window>)", &error);
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->tag, "Window");
    ASSERT_EQ(tree->children.size(), 2u);
    EXPECT_EQ(tree->children[0].Attribute("n"), "1");
    EXPECT_EQ(tree->children[1].children[0].tag, "C");

    EXPECT_FALSE(ParseMarkup("<Window>\n<A>\n</Window>", &error));
    EXPECT_TRUE(error.startsWith("line 3")) << error.toStdString();
}

TEST(UiLayoutRules, FixedSizesAndSharesInAVerticalLayout) {
    std::vector<LayoutItem> items(4);
    items[0].fixedHeight = 94;
    items[2].fixedHeight = 91;
    items[3].visible = false;
    const auto r = ArrangeItems(LayoutKind::Vertical, QRect(0, 0, 1120, 720), {}, 0, items);
    EXPECT_EQ(r[0], QRect(0, 0, 1120, 94));
    EXPECT_EQ(r[1], QRect(0, 94, 1120, 535));  // the rest
    EXPECT_EQ(r[2], QRect(0, 629, 1120, 91));
    EXPECT_TRUE(r[3].isEmpty());
}

TEST(UiLayoutRules, SharesSplitTheRestAndTheLastTakesTheRemainder) {
    std::vector<LayoutItem> items(3);
    const auto r = ArrangeItems(LayoutKind::Horizontal, QRect(0, 0, 100, 10), {}, 0, items);
    EXPECT_EQ(r[0].width(), 33);
    EXPECT_EQ(r[1].width(), 33);
    EXPECT_EQ(r[2].width(), 34);
    EXPECT_EQ(r[2].right(), 99);
}

TEST(UiLayoutRules, PaddingInsetAndChildPadding) {
    std::vector<LayoutItem> items(2);
    items[0].fixedWidth = 16;
    items[0].fixedHeight = 16;
    items[0].padding = QMargins(30, 15, 0, 0);
    items[1].padding = QMargins(5, 2, 7, 3);
    const auto r = ArrangeItems(LayoutKind::Horizontal, QRect(0, 0, 200, 40),
                                QMargins(10, 4, 10, 4), 6, items);
    EXPECT_EQ(r[0], QRect(40, 19, 16, 16));
    // 10 inset + 30 + 16 + 6 childpadding + 5 padding.
    EXPECT_EQ(r[1].left(), 67);
    EXPECT_EQ(r[1].top(), 6);
    EXPECT_EQ(r[1].height(), 40 - 8 - 5);
    EXPECT_EQ(r[1].right(), 200 - 10 - 7 - 1);
}

TEST(UiLayoutRules, FloatingItemsSitAtTheirPositionAndTakeNoSpace) {
    std::vector<LayoutItem> items(2);
    items[0].floating = true;
    items[0].floatPos = QRect(QPoint(21, 23), QPoint(548, 473));
    const auto r = ArrangeItems(LayoutKind::Vertical, QRect(100, 200, 600, 500), {}, 0, items);
    EXPECT_EQ(r[0], QRect(121, 223, 528, 451));
    EXPECT_EQ(r[1], QRect(100, 200, 600, 500));
}

TEST(UiLayoutRules, StackAndContentExtent) {
    std::vector<LayoutItem> items(2);
    items[0].fixedWidth = 50;
    items[0].fixedHeight = 20;
    const auto r =
        ArrangeItems(LayoutKind::Stack, QRect(0, 0, 80, 60), QMargins(1, 1, 1, 1), 0, items);
    EXPECT_EQ(r[0], QRect(1, 1, 50, 20));
    EXPECT_EQ(r[1], QRect(1, 1, 78, 58));

    std::vector<LayoutItem> rows(3);
    for (auto& row : rows)
        row.fixedHeight = 40;
    rows[1].visible = false;
    EXPECT_EQ(ContentExtent(LayoutKind::Vertical, {}, 0, rows), 80);
}

TEST(UiSkinArchive, ReadsTheEmbeddedZipAndRejectsGarbage) {
    SkinArchive archive;
    ASSERT_TRUE(archive.Open(kelsor::skin::ArchiveData(), kelsor::skin::ArchiveSize()));
    EXPECT_TRUE(archive.Contains("mainwnd.xml"));
    EXPECT_TRUE(archive.Contains("main\\logo.png"));
    // Callers name the image view's layout in mixed case.
    EXPECT_TRUE(archive.Contains("SingleOCRView.xml"));
    EXPECT_TRUE(archive.Read("font.xml").contains("微软雅黑"));
    EXPECT_TRUE(archive.Read("nothing.xml").isEmpty());

    const char garbage[] = "PK\x03\x04 not really a zip";
    SkinArchive bad;
    QString error;
    EXPECT_FALSE(bad.Open(garbage, sizeof garbage, &error));
    EXPECT_FALSE(bad.IsOpen());
    EXPECT_FALSE(error.isEmpty());
    // Cut short, the archive has no directory left.
    EXPECT_FALSE(bad.Open(kelsor::skin::ArchiveData(), kelsor::skin::ArchiveSize() - 30, &error));
}

TEST(UiSkinArchive, AnEntryDamagedInsideReadsAsMissingAndSparesTheOthers) {
    // Entries are inflated when first read: damage shows there, as an empty
    // read, and the CRC catches what still inflates.
    QByteArray bytes(reinterpret_cast<const char*>(kelsor::skin::ArchiveData()),
                     static_cast<qsizetype>(kelsor::skin::ArchiveSize()));
    SkinArchive whole;
    ASSERT_TRUE(whole.Open(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    const QByteArray font = whole.Read("font.xml");
    const qsizetype at = bytes.indexOf("PK\x03\x04", bytes.indexOf("main/logo.png") - 40);
    ASSERT_GE(at, 0);
    for (qsizetype i = at + 80; i < at + 120; ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    SkinArchive damaged;
    ASSERT_TRUE(damaged.Open(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    EXPECT_TRUE(damaged.Contains("main/logo.png"));
    EXPECT_TRUE(damaged.Read("main/logo.png").isEmpty());
    EXPECT_EQ(damaged.Read("font.xml"), font);
}

TEST(UiMarkup, EveryLayoutOfTheArchiveUsesOnlyTableTags) {
    SkinArchive archive;
    ASSERT_TRUE(archive.Open(kelsor::skin::ArchiveData(), kelsor::skin::ArchiveSize()));
    int layouts = 0;
    for (const QString& name : archive.Names()) {
        if (!name.endsWith(".xml"))
            continue;
        QString error;
        auto tree = ParseMarkup(archive.Read(name), &error);
        ASSERT_TRUE(tree) << name.toStdString() << ": " << error.toStdString();
        EXPECT_EQ(tree->tag, "Window") << name.toStdString();
        EXPECT_TRUE(ValidateMarkup(*tree).isEmpty())
            << name.toStdString() << ValidateMarkup(*tree).join("; ").toStdString();
        ++layouts;
    }
    EXPECT_EQ(layouts, 23);  // 22 windows and rows, and font.xml
    auto bad = ParseMarkup("<Window><VerticalLayout><Blink/></VerticalLayout></Window>", nullptr);
    ASSERT_TRUE(bad);
    EXPECT_EQ(ValidateMarkup(*bad), QStringList{"line 1: unknown tag Blink"});
}
