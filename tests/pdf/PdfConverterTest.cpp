// The converter's window against a real kelsor-server on the default engine,
// signed in by the demo account's saved session: scanned Chinese pages are
// recognised, mixed files keep their page order, a long run shows its page
// progress and stops when asked, and the searchable copy chosen in the window
// finds every line where it is seen, columns read in order.
#include <gtest/gtest.h>

#include <poppler-qt6.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "CodePictures.h"
#include "EventWaits.h"
#include "MakePdf.h"
#include "MouseEvents.h"
#include "RenderText.h"
#include "TempFolder.h"
#include "ToolsTestSupport.h"
#include "UiTestSupport.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "history/HistoryStore.h"
#include "pdf/CloudRecognizer.h"
#include "pdf/PdfConverWnd.h"
#include "server/ppocr/eval/ColumnPages.h"
#include "server/ppocr/eval/TextPicture.h"
#include "tools/ToolContext.h"

namespace kelsor::pdf {
namespace {

using namespace std::chrono_literals;

const std::vector<std::string> kPoem = {"白日依山尽，黄河入海流。", "欲穷千里目，更上一层楼。",
                                        "春眠不觉晓，处处闻啼鸟。"};

class PdfConverterTest : public ::testing::Test {
protected:
    void SetUp() override {
        uitest::EnsureApp();
        std::string error;
        ASSERT_TRUE(m_fixture.StartSignedIn(error, {"--engines", "1"})) << error;
        tools::BuildToolContext();
        m_window = std::make_unique<PdfConverWnd>(
            &NewCloudRecognizer, PageReading{QStringLiteral(KELSOR_PDF_CONVERTER)});
        m_window->Create(nullptr, L"KelsorOCR PDF转换器", ui::UI_WNDSTYLE_DIALOG,
                         ui::WS_EX_WINDOWEDGE);
    }

    static QImage ChineseScan() {
        const std::string path = std::filesystem::temp_directory_path() / "kelsor-poem.png";
        EXPECT_TRUE(test::RenderTextPicture(kPoem, 48, path));
        QImage picture(QString::fromStdString(path));
        std::filesystem::remove(path);
        return picture;
    }

    // Chooses what the run writes with a click on the window's option.
    void ChooseOutput(const wchar_t* option, PdfOutput expected) {
        auto* control = m_window->PaintManager().FindControl(option);
        ASSERT_NE(nullptr, control);
        test::ClickMiddle(control);
        ASSERT_EQ(expected, m_window->Output());
    }

    // `scan` as the one page of the PDF `name`, converted with `option`
    // chosen in the window; its job.
    const PdfJob& ConvertScan(const std::string& name, const QImage& scan, const wchar_t* option,
                              PdfOutput output) {
        const std::string pdf = m_folder.file(name);
        EXPECT_TRUE(test::WritePdf(pdf, {{{}, scan}}));
        ChooseOutput(option, output);
        const PdfJob& job = *m_window->Jobs().Find(ConvertOne(pdf));
        EXPECT_EQ(JobState::Done, job.state) << WideToAnsi(job.statusText);
        return job;
    }

    // Adds `pdf` and converts the list; the job's id.
    int ConvertOne(const std::string& pdf) {
        m_window->AddFiles({AnsiToWide(pdf)});
        const int id = m_window->Jobs().Jobs().back().id;
        m_window->StartConversion();
        EXPECT_TRUE(test::WaitFor([&] { return !m_window->IsConverting(); }, 120s));
        return id;
    }

    test::TempFolder m_folder;
    tooltest::ToolsFixture m_fixture{m_folder};
    std::unique_ptr<PdfConverWnd> m_window;
};

TEST_F(PdfConverterTest, AScannedPage14PxTallIsReadWithItsBoxesOnThePage) {
    // The service takes no side under 15 px; the page is sent grown.
    const QImage page = test::LineCutToHeight(QStringLiteral("KELSOR 2024"), 13, 14);
    const PageRecognition read = NewCloudRecognizer()(page);
    ASSERT_EQ(PageRecognition::Status::Recognised, read.status);
    EXPECT_NE(read.text.find("KELSOR"), std::string::npos) << read.text;
    for (const RecognisedLine& placed : read.lines)
        EXPECT_TRUE(QRectF(page.rect()).contains(placed.box)) << placed.text;
}

TEST_F(PdfConverterTest, ScannedChinesePagesAreRecognisedInPageOrder) {
    const std::string pdf = m_folder.file("诗.pdf");
    ASSERT_TRUE(test::WritePdf(pdf, {{{"Contents"}, {}}, {{}, ChineseScan()}, {{"The end."}, {}}}));
    const int id = ConvertOne(pdf);
    const PdfJob& job = *m_window->Jobs().Find(id);
    ASSERT_EQ(JobState::Done, job.state) << WideToAnsi(job.statusText);
    ASSERT_EQ(L"转换完成", m_window->RowText(id, L"pdf_status"));  // signed in, all recognised
    EXPECT_EQ(m_folder.file("诗.txt"), WideToAnsi(job.outputPath));
    EXPECT_EQ(L"3/3页", m_window->RowText(id, L"pdf_progresstext"));
    EXPECT_TRUE(m_window->RowControlVisible(id, L"pdf_open"));
    EXPECT_TRUE(m_window->RowControlVisible(id, L"pdf_folder"));

    const std::string text = test::ReadFile(m_folder.file("诗.txt"));
    const std::string marker = "===== 第 2 页 =====\n";
    const auto second = text.find(marker);
    const auto third = text.find("\n===== 第 3 页 =====\nThe end.\n");
    ASSERT_EQ(0u, text.find("===== 第 1 页 =====\nContents\n\n"));
    ASSERT_NE(std::string::npos, second);
    ASSERT_NE(std::string::npos, third);
    const auto start = second + marker.size();
    const std::string recognised = text.substr(start, third - start);
    std::string reference;
    for (const std::string& line : kPoem)
        reference += line + "\n";
    const auto errors = server::ppocr::CountErrors(reference, recognised);
    EXPECT_LE(errors.edits * 20, errors.characters) << recognised;  // at most 5%
}

// Only the scanned page was recognised: it alone joins the history, with its
// number, its text file and a small picture of it.
TEST_F(PdfConverterTest, HistoryKeepsEachScannedPageWithItsNumber) {
    const std::string pdf = m_folder.file("mixed.pdf");
    ASSERT_TRUE(test::WritePdf(
        pdf, {{{"Contents"}, {}}, {{}, test::LargeTextPicture({QStringLiteral("SCANNED PAGE")})}}));
    const PdfJob& job = *m_window->Jobs().Find(ConvertOne(pdf));
    ASSERT_EQ(JobState::Done, job.state) << WideToAnsi(job.statusText);

    history::HistoryStore store(App().dataFolder);
    const std::vector<history::EntrySummary> found = store.Latest(10);
    ASSERT_EQ(1u, found.size());
    const std::optional<history::Entry> entry = store.Load(found[0].id);
    ASSERT_TRUE(entry);
    EXPECT_EQ(history::Road::PdfConverter, entry->summary.road);
    EXPECT_EQ(2, entry->summary.page);
    EXPECT_EQ(AnsiToWide(pdf), entry->summary.source);
    EXPECT_EQ(job.outputPath, entry->summary.textPath);
    EXPECT_EQ(L"SCANNED PAGE", entry->text);
    EXPECT_FALSE(entry->thumbnail.empty());
    EXPECT_EQ(1u, store.Search(L"scanned", 10).size());
}

TEST_F(PdfConverterTest, ALongScanShowsPageProgressAndStopsWhenAsked) {
    const std::string pdf = m_folder.file("scan20.pdf");
    std::vector<test::PdfPageContent> pages;
    for (int i = 1; i <= 20; ++i)
        pages.push_back({{}, test::LargeTextPicture({QStringLiteral("Page %1").arg(i)})});
    ASSERT_TRUE(test::WritePdf(pdf, pages));
    test::WriteFile(m_folder.file("scan20.txt"), "earlier text");

    m_window->AddFiles({AnsiToWide(pdf)});
    const int id = m_window->Jobs().Jobs().back().id;
    m_window->StartConversion();
    ASSERT_TRUE(test::WaitFor([&] { return m_window->Jobs().Find(id)->pagesDone >= 1; }, 60s));
    EXPECT_EQ(L"正在转换", m_window->RowText(id, L"pdf_status"));
    EXPECT_EQ(L"20", m_window->RowText(id, L"pdf_pages"));
    EXPECT_FALSE(m_window->RowControlVisible(id, L"pdf_open"));
    m_window->StopConversion();
    ASSERT_TRUE(test::WaitFor([&] { return !m_window->IsConverting(); }, 60s));

    const PdfJob& job = *m_window->Jobs().Find(id);
    EXPECT_EQ(JobState::Cancelled, job.state);
    EXPECT_LT(job.pagesDone, 20);
    EXPECT_EQ(L"已取消", m_window->RowText(id, L"pdf_status"));
    EXPECT_EQ("earlier text", test::ReadFile(m_folder.file("scan20.txt")));

    // Closing the window mid-run stops the run before the window goes.
    m_window->StartConversion();
    ASSERT_TRUE(test::WaitFor([&] { return m_window->Jobs().Find(id)->pagesDone >= 1; }, 60s));
    ASSERT_TRUE(m_window->ClickControl(L"pdfclosebtn"));
    EXPECT_FALSE(m_window->IsConverting());
    test::RunEventsFor(200ms);
    EXPECT_EQ("earlier text", test::ReadFile(m_folder.file("scan20.txt")));
}

// The text Poppler reads from page `index` of the searchable copy `pdf`
// passes `qpdf --check`, and finds every line of `lines` there.
void ExpectSearchable(const std::string& pdf, const std::vector<std::string>& lines) {
    EXPECT_EQ(0, std::system(("qpdf --check '" + pdf + "' >/dev/null").c_str()));
    const auto document = Poppler::Document::load(QString::fromStdString(pdf));
    ASSERT_TRUE(document);
    const auto page = document->page(0);
    for (const std::string& line : lines)
        EXPECT_FALSE(page->search(QString::fromStdString(line)).isEmpty()) << line;
}

TEST_F(PdfConverterTest, TheSearchableCopyFindsEachChineseAndEnglishLine) {
    const std::vector<std::string> lines = {"白日依山尽，黄河入海流。",
                                            "Searchable scans since 2026",
                                            "欲穷千里目，更上一层楼。", "Copy and paste"};
    const std::string path = std::filesystem::temp_directory_path() / "kelsor-mixed.png";
    ASSERT_TRUE(test::RenderTextPicture(lines, 48, path));
    const QImage scan(QString::fromStdString(path));
    std::filesystem::remove(path);
    const PdfJob& job = ConvertScan("mixed.pdf", scan, L"pdfoutsearchable", PdfOutput::Searchable);
    EXPECT_EQ(m_folder.file("mixed (可搜索).pdf"), WideToAnsi(job.searchablePath));
    EXPECT_FALSE(test::FileExists(m_folder.file("mixed.txt")));
    ExpectSearchable(WideToAnsi(job.searchablePath), lines);
}

TEST_F(PdfConverterTest, ATwoColumnScanKeepsItsColumnsInOrder) {
    std::vector<server::ppocr::ColumnPage> pages;
    std::string error;
    ASSERT_TRUE(server::ppocr::BuildColumnPages(7, pages, error, 6)) << error;
    // Chinese, no heading, a gutter three glyphs wide.
    const server::ppocr::ColumnPage& page = pages.at(6);
    ASSERT_EQ(2, page.columns);
    const QImage scan(page.picture.rgb.data(), page.picture.width, page.picture.height,
                      page.picture.width * 3, QImage::Format_RGB888);
    const PdfJob& job = ConvertScan("columns.pdf", scan, L"pdfoutboth", PdfOutput::Both);
    const std::string text = test::ReadFile(WideToAnsi(job.outputPath));
    const std::string marker = "===== 第 1 页 =====\n";
    ASSERT_EQ(0u, text.find(marker));
    // Read across the gutter, the text would be far off the truth.
    const auto errors = server::ppocr::CountErrors(server::ppocr::ColumnReference(page),
                                                   text.substr(marker.size()));
    EXPECT_LE(errors.edits * 50, errors.characters) << text;  // at most 2%
    std::vector<std::string> recognised;
    std::istringstream lines(text.substr(marker.size()));
    for (std::string line; std::getline(lines, line);)
        recognised.push_back(line);
    ExpectSearchable(WideToAnsi(job.searchablePath), recognised);
}

// A scanned page's QR code is a line of the page's text, and in the
// searchable PDF its text; the switch off in the settings, it is left out.
TEST_F(PdfConverterTest, AScannedPagesCodeIsALineOfItsText) {
    const std::string payload = "https://example.cn/scan?page=1";
    const QImage scan = test::PageWithCode(1300, 420, test::QrCode(payload, 5), 20, 40,
                                           {QStringLiteral("SCAN TO PAY")}, 400, 20);
    const PdfJob& job = ConvertScan("code.pdf", scan, L"pdfoutboth", PdfOutput::Both);
    EXPECT_EQ(test::ReadFile(WideToAnsi(job.outputPath)),
              "===== 第 1 页 =====\n[二维码] " + payload + "\nSCAN TO PAY\n");
    ExpectSearchable(WideToAnsi(job.searchablePath), {"[二维码] " + payload, "SCAN TO PAY"});

    App().readCodes = 0;  // as the settings file says at the converter's start
    const PageRecognition off = NewCloudRecognizer()(scan);
    App().readCodes = 1;
    EXPECT_NE(off.text.find("SCAN TO PAY"), std::string::npos) << off.text;
    EXPECT_EQ(off.text.find(payload), std::string::npos) << off.text;
}

}  // namespace
}  // namespace kelsor::pdf
