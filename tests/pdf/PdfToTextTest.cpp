// One PDF file into one text file, without a recognition service: text
// layers, files that cannot be converted, and scanned pages while nobody is
// signed in.
#include <gtest/gtest.h>

#include <atomic>

#include "MakePdf.h"
#include "RenderText.h"
#include "TempFolder.h"
#include "ToolsTestSupport.h"
#include "UiTestSupport.h"
#include "pdf/CloudRecognizer.h"
#include "pdf/PdfToText.h"
#include "tools/ToolContext.h"

namespace kelsor::pdf {
namespace {

class PdfToTextTest : public ::testing::Test {
protected:
    void SetUp() override { uitest::EnsureApp(); }

    // Converts `pdf` into out.txt, counting the pages sent to recognition.
    PdfOutcome Convert(const std::string& pdf, const PageRecognizer& recognize = {}) {
        const PageRecognizer counting = [&](const QImage& page) {
            ++m_recognised;
            return recognize ? recognize(page) : PageRecognition{};
        };
        return ConvertPdf(QString::fromStdString(pdf), Out(), counting, {}, m_cancel);
    }
    QString Out() const { return QString::fromStdString(m_folder.file("out.txt")); }
    std::string OutText() const { return test::ReadFile(m_folder.file("out.txt")); }

    test::TempFolder m_folder;
    std::atomic<bool> m_cancel{false};
    int m_recognised = 0;
};

TEST_F(PdfToTextTest, TextLayerPagesConvertExactlyWithoutRecognition) {
    const std::string pdf = m_folder.file("text.pdf");
    ASSERT_TRUE(
        test::WritePdf(pdf, {{{"Brevity is the soul of wit.", "床前明月光，疑是地上霜。"}, {}},
                             {{"Page two, 2026."}, {}}}));
    const PdfOutcome outcome = Convert(pdf);
    ASSERT_TRUE(outcome.Succeeded()) << OutcomeText(outcome);
    EXPECT_EQ(0, m_recognised);
    EXPECT_EQ(2, outcome.textPages);
    EXPECT_EQ(L"转换完成", OutcomeText(outcome));
    EXPECT_EQ(
        "===== 第 1 页 =====\n"
        "Brevity is the soul of wit.\n床前明月光，疑是地上霜。\n"
        "\n===== 第 2 页 =====\n"
        "Page two, 2026.\n",
        OutText());
}

TEST_F(PdfToTextTest, FilesThatCannotBeConvertedSayWhyAndLeaveTheOldTextAlone) {
    const std::string good = m_folder.file("good.pdf");
    ASSERT_TRUE(test::WritePdf(good, {{{"secret text"}, {}}}));
    const std::string bytes = test::ReadFile(good);
    test::WriteFile(m_folder.file("garbage.pdf"), "%PDF-1.4\nthis is not a PDF at all\n");
    test::WriteFile(m_folder.file("png.pdf"), "\x89PNG\r\n\x1a\n0000");
    test::WriteFile(m_folder.file("empty.pdf"), "");
    test::WriteFile(m_folder.file("truncated.pdf"), bytes.substr(0, 40));
    // A document whose page tree holds no page.
    test::WriteFile(m_folder.file("nopages.pdf"),
                    "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                    "2 0 obj << /Type /Pages /Kids [] /Count 0 >> endobj\n"
                    "trailer << /Root 1 0 R >>\n%%EOF\n");
    ASSERT_TRUE(test::EncryptPdf(good, m_folder.file("locked.pdf")));

    const struct {
        const char* file;
        const wchar_t* reason;
    } cases[] = {
        {"missing.pdf", L"文件不存在"},   {"garbage.pdf", L"文件已损坏"},
        {"png.pdf", L"文件已损坏"},       {"empty.pdf", L"文件已损坏"},
        {"truncated.pdf", L"文件已损坏"}, {"nopages.pdf", L"文件没有页面"},
        {"locked.pdf", L"文件已加密"},
    };
    for (const auto& c : cases) {
        test::WriteFile(m_folder.file("out.txt"), "earlier text");
        const PdfOutcome outcome = Convert(m_folder.file(c.file));
        EXPECT_FALSE(outcome.Succeeded()) << c.file;
        EXPECT_EQ(c.reason, OutcomeText(outcome)) << c.file;
        EXPECT_EQ("earlier text", OutText()) << c.file;
    }
    EXPECT_EQ(0, m_recognised);
}

TEST_F(PdfToTextTest, ScannedPagesSayTheyNeedASignInWhileTextPagesConvert) {
    // The client's data folder without a saved session.
    tooltest::ToolsFixture fixture(m_folder);
    tools::BuildToolContext();
    const std::string pdf = m_folder.file("mixed.pdf");
    ASSERT_TRUE(test::WritePdf(
        pdf,
        {{{"First page."}, {}}, {{}, test::LargeTextPicture({"SCANNED"})}, {{"Third page."}, {}}}));
    const PdfOutcome outcome = Convert(pdf, NewCloudRecognizer());
    ASSERT_TRUE(outcome.Succeeded());
    EXPECT_EQ(1, outcome.notSignedInPages);
    EXPECT_EQ(L"转换完成，1页扫描页需登录后识别", OutcomeText(outcome));
    EXPECT_EQ(
        "===== 第 1 页 =====\nFirst page.\n"
        "\n===== 第 2 页 =====\n［此页为扫描页：请先在KelsorOCR中登录，再转换一次］\n"
        "\n===== 第 3 页 =====\nThird page.\n",
        OutText());
}

TEST_F(PdfToTextTest, PagesAreRenderedAt300DpiWithinTheBounds) {
    EXPECT_DOUBLE_EQ(300.0, RenderDpiFor(595, 842));       // A4: 2480 x 3508 pixels
    const double poster = RenderDpiFor(72 * 40, 72 * 60);  // 40 x 60 inches
    EXPECT_LE(60 * poster, kMaxRenderSide + 0.5);
    EXPECT_LE(40 * poster * 60 * poster, kMaxRenderPixels * 1.0001);
    const double strip = RenderDpiFor(72 * 100, 72);  // 100 inches by 1
    EXPECT_LE(100 * strip, kMaxRenderSide + 0.5);
    EXPECT_DOUBLE_EQ(300.0, RenderDpiFor(0, 0));
}

}  // namespace
}  // namespace kelsor::pdf
