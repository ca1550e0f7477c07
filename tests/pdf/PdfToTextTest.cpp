// One PDF file into one text file, without a recognition service: text
// layers, files that cannot be converted, and scanned pages while nobody is
// signed in.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "MakePdf.h"
#include "RenderText.h"
#include "TempFolder.h"
#include "ToolsTestSupport.h"
#include "UiTestSupport.h"
#include "pdf/CloudRecognizer.h"
#include "pdf/PdfJobList.h"
#include "pdf/PdfToText.h"
#include "pdf/SearchablePdf.h"
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
        return ConvertPdf(QString::fromStdString(pdf), {Out(), {}}, counting, {}, m_cancel,
                          m_reading);
    }
    QString Out() const { return QString::fromStdString(m_folder.file("out.txt")); }
    std::string OutText() const { return test::ReadFile(m_folder.file("out.txt")); }

    test::TempFolder m_folder;
    std::atomic<bool> m_cancel{false};
    PageReading m_reading{QStringLiteral(KELSOR_PDF_CONVERTER)};
    int m_recognised = 0;
    bool m_cancelOnPage = false;
};

TEST_F(PdfToTextTest, TextLayerPagesConvertExactlyWithoutRecognition) {
    const std::string pdf = m_folder.file("text.pdf");
    ASSERT_TRUE(
        test::WritePdf(pdf, {{{"Brevity is the soul of wit.", "床前明月光，疑是地上霜。"}, {}},
                             {{"Page two, 2026.", "The first office shuffle."}, {}}}));
    const PdfOutcome outcome = Convert(pdf);
    ASSERT_TRUE(outcome.Succeeded()) << OutcomeText(outcome);
    EXPECT_EQ(0, m_recognised);
    EXPECT_EQ(2, outcome.textPages);
    EXPECT_EQ(L"转换完成", OutcomeText(outcome));
    EXPECT_EQ(
        "===== 第 1 页 =====\n"
        "Brevity is the soul of wit.\n床前明月光，疑是地上霜。\n"
        "\n===== 第 2 页 =====\n"
        "Page two, 2026.\nThe first office shuffle.\n",
        OutText())
        << "ligatures the writer drew are read as their letters";
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
    // A page tree that claims far more pages than the file holds.
    ASSERT_TRUE(test::WriteRawPdf(m_folder.file("inflated.pdf"),
                                  {{test::TextContent("one page"), 0}}, 1000000));

    const struct {
        const char* file;
        const wchar_t* reason;
    } cases[] = {
        {"missing.pdf", L"文件不存在"},   {"garbage.pdf", L"文件已损坏"},
        {"png.pdf", L"文件已损坏"},       {"empty.pdf", L"文件已损坏"},
        {"truncated.pdf", L"文件已损坏"}, {"nopages.pdf", L"文件没有页面"},
        {"locked.pdf", L"文件已加密"},    {"inflated.pdf", L"文件已损坏"},
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

    // Sent without a service to answer: not read, rather than read empty.
    ASSERT_TRUE(Convert(pdf, &RecognisePage).Succeeded());
    EXPECT_NE(std::string::npos, OutText().find("\n［此页未能识别：识别服务没有应答］\n"));
}

TEST_F(PdfToTextTest, APageThatCannotBeReadCostsOnlyThatPage) {
    using namespace std::chrono_literals;
    const std::string draw = "q 595 0 0 842 0 0 cm /Im0 Do Q";
    const struct {
        const char* name;
        test::RawPdfPage page;
        std::chrono::milliseconds pageTime;
    } cases[] = {
        // Crashes the drawing, and takes gigabytes, from a few hundred bytes.
        {"bomb100k.pdf", {draw, 100000}, kPageTime},
        {"bomb30k.pdf", {draw, 30000}, kPageTime},
        // Never ends within the time a page may take.
        {"heavy.pdf", {test::HeavyContent(2000000), 0}, 2s},
        // Read, but recognition runs out of memory.
        {"scan.pdf", {draw, 100}, kPageTime},
    };
    for (const auto& c : cases) {
        const std::string pdf = m_folder.file(c.name);
        ASSERT_TRUE(test::WriteRawPdf(pdf, {c.page, {test::TextContent("after"), 0}}));
        m_reading.pageTime = c.pageTime;
        // No memory left for the picture on its way to recognition either.
        const PdfOutcome outcome =
            Convert(pdf, [](const QImage&) -> PageRecognition { throw std::bad_alloc(); });
        ASSERT_TRUE(outcome.Succeeded()) << c.name;
        EXPECT_EQ(L"转换完成，1页未识别出文字", OutcomeText(outcome)) << c.name;
        EXPECT_EQ("===== 第 1 页 =====\n［此页无法读取］\n\n===== 第 2 页 =====\nafter\n",
                  OutText())
            << c.name;
    }
    EXPECT_EQ(1, m_recognised);
}

TEST_F(PdfToTextTest, AFileTheConverterDidNotWriteIsNeverReplaced) {
    const std::string pdf = m_folder.file("notes.pdf");
    ASSERT_TRUE(test::WritePdf(pdf, {{{"Converted."}, {}}}));
    const std::string theirs = "my own notes\n";
    const std::string ours = "===== 第 1 页 =====\nolder conversion\n";
    const struct {
        std::string existing;  // notes.txt before the run (empty: none)
        const char* written;   // where the text goes
    } cases[] = {{"", "notes.txt"}, {ours, "notes.txt"}, {theirs, "notes (2).txt"}};
    for (const auto& c : cases) {
        std::filesystem::remove(m_folder.file("notes.txt"));
        std::filesystem::remove(m_folder.file("notes (2).txt"));
        if (!c.existing.empty())
            test::WriteFile(m_folder.file("notes.txt"), c.existing);
        PdfJobList list;
        const int id = list.Add({m_folder.wide("notes.pdf")}).ids.at(0);
        ASSERT_EQ(std::vector<int>{id}, list.PrepareRun(L""));
        EXPECT_EQ(m_folder.wide(c.written), list.Find(id)->outputPath) << c.written;
        EXPECT_EQ(c.existing, test::FileExists(m_folder.file("notes.txt"))
                                  ? test::ReadFile(m_folder.file("notes.txt"))
                                  : std::string());
    }
    // The user's file may also come after the run began.
    test::WriteFile(m_folder.file("out.txt"), theirs);
    const PdfOutcome outcome = Convert(pdf);
    ASSERT_TRUE(outcome.Succeeded());
    EXPECT_EQ(QString::fromStdString(m_folder.file("out (2).txt")), outcome.outputPath);
    EXPECT_EQ(theirs, OutText());
    EXPECT_EQ("===== 第 1 页 =====\nConverted.\n", test::ReadFile(m_folder.file("out (2).txt")));
}

TEST_F(PdfToTextTest, SearchableCopiesTakeAFreeNameAndFailuresLeaveNothing) {
    const std::string scan = m_folder.file("scan.pdf");
    ASSERT_TRUE(test::WritePdf(scan, {{{}, test::LargeTextPicture({"SCANNED"})}}));
    ASSERT_TRUE(test::EncryptPdf(scan, m_folder.file("locked.pdf")));
    ASSERT_TRUE(test::EncryptPdf(scan, m_folder.file("owner-only.pdf"), ""));
    // A copy this converter wrote, and a PDF of the user's under the same name.
    const std::string ours = m_folder.file("ours.pdf");
    ASSERT_TRUE(WriteSearchablePdf(QString::fromStdString(scan), QString::fromStdString(ours), {})
                    .Succeeded());
    const std::string theirs = test::ReadFile(m_folder.file("locked.pdf"));
    const std::string copy = m_folder.file("scan (可搜索).pdf");
    const auto wide = [](const std::string& path) {
        return QString::fromStdString(path).toStdWString();
    };
    const PageRecognizer recognize = [&](const QImage& page) {
        m_cancel.store(m_cancelOnPage);
        return PageRecognition{PageRecognition::Status::Recognised,
                               "SCANNED",
                               {{"SCANNED", QRectF(0, 0, page.width() / 2.0, 90)}}};
    };

    const struct {
        const char* file;        // converted
        const char* existing;    // what "scan (可搜索).pdf" is before the run
        bool listed;             // that file is in the list as well
        const char* folder;      // the output folder ("": beside the PDF)
        bool cancel;             // stopped during the last page
        const char* written;     // where the copy goes ("": nowhere)
        const wchar_t* outcome;  // the row's words
    } cases[] = {
        {"scan.pdf", "", false, "", false, "scan (可搜索).pdf", L"转换完成"},
        {"scan.pdf", "ours", false, "", false, "scan (可搜索).pdf", L"转换完成"},
        {"scan.pdf", "theirs", false, "", false, "scan (可搜索) (2).pdf", L"转换完成"},
        // A copy added to the list is a source: never written over while it is read.
        {"scan.pdf", "ours", true, "", false, "scan (可搜索) (2).pdf", L"转换完成"},
        {"locked.pdf", "", false, "", false, "", L"文件已加密"},
        // Readable without a password, but never rewritten.
        {"owner-only.pdf", "", false, "", false, "", L"文件已加密"},
        {"scan.pdf", "", false, "gone/", false, "", L"无法写入可搜索PDF"},
        {"scan.pdf", "", false, "", true, "", L"已取消"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " over " + c.existing + " into " + c.folder);
        std::filesystem::remove(copy);
        std::filesystem::remove(m_folder.file("scan (可搜索) (2).pdf"));
        std::filesystem::remove(m_folder.file("owner-only (可搜索).pdf"));
        if (std::string(c.existing) == "ours")
            std::filesystem::copy_file(ours, copy);
        else if (std::string(c.existing) == "theirs")
            test::WriteFile(copy, theirs);
        const std::string before = test::ReadFile(m_folder.file(c.file));
        const auto files = std::distance(std::filesystem::directory_iterator(m_folder.path()), {});

        PdfJobList list;
        const int id = list.Add({wide(m_folder.file(c.file))}).ids.at(0);
        if (c.listed)
            list.Add({wide(copy)});
        list.PrepareRun(*c.folder != 0 ? wide(m_folder.file(c.folder)) : L"",
                        PdfOutput::Searchable);
        const PdfJob& job = *list.Find(id);
        EXPECT_TRUE(job.outputPath.empty());
        m_cancelOnPage = c.cancel;
        m_cancel.store(false);
        const PdfOutcome outcome = ConvertPdf(QString::fromStdWString(job.path),
                                              {{}, QString::fromStdWString(job.searchablePath)},
                                              recognize, {}, m_cancel, m_reading);
        EXPECT_EQ(c.outcome, OutcomeText(outcome));
        EXPECT_EQ(before, test::ReadFile(m_folder.file(c.file)));
        if (std::string(c.existing) == "theirs") {
            EXPECT_EQ(theirs, test::ReadFile(copy));
        }
        if (*c.written != 0) {
            EXPECT_EQ(m_folder.file(c.written), outcome.searchablePath.toStdString());
            EXPECT_TRUE(IsConverterSearchablePdf(outcome.searchablePath));
        } else {
            // Nothing new, not even a temporary file.
            EXPECT_EQ(files,
                      std::distance(std::filesystem::directory_iterator(m_folder.path()), {}));
        }
    }
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
