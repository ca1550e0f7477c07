// The converter's window running hostile and slow files through its real
// run, nobody signed in: a page that would crash the converter or take all
// its memory costs only that page, a file taken out of the list mid-run is
// left alone, closing during a heavy page does not wait for it, and a
// searchable copy that cannot be written says so on its row.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "EventWaits.h"
#include "MakePdf.h"
#include "TempFolder.h"
#include "ToolsTestSupport.h"
#include "UiTestSupport.h"
#include "app/TextConv.h"
#include "pdf/CloudRecognizer.h"
#include "pdf/PdfConverWnd.h"
#include "pdf/SearchablePdf.h"
#include "tools/ToolContext.h"

namespace kelsor::pdf {
namespace {

using namespace std::chrono_literals;

// The largest resident size this process had, in bytes.
long long PeakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoll(line.substr(6)) * 1024;
    }
    return -1;
}

class PdfConverWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        uitest::EnsureApp();
        tools::BuildToolContext();  // the client's data folder, without a session
    }

    void Open(std::chrono::milliseconds pageTime = kPageTime) {
        PageReading reading{QStringLiteral(KELSOR_PDF_CONVERTER)};
        reading.pageTime = pageTime;
        m_window = std::make_unique<PdfConverWnd>(&NewCloudRecognizer, reading);
        m_window->Create(nullptr, L"KelsorOCR PDF转换器", ui::UI_WNDSTYLE_DIALOG,
                         ui::WS_EX_WINDOWEDGE);
    }

    // Writes `name` with `first` and then a text page "after"; its job id.
    int Add(const std::string& name, const test::RawPdfPage& first) {
        EXPECT_TRUE(
            test::WriteRawPdf(m_folder.file(name), {first, {test::TextContent("after"), 0}}));
        m_window->AddFiles({m_folder.wide(name)});
        return m_window->Jobs().Jobs().back().id;
    }

    bool Converting(int id) const {
        return m_window->Jobs().Find(id)->state == JobState::Converting;
    }

    test::TempFolder m_folder;
    tooltest::ToolsFixture m_fixture{m_folder};
    std::unique_ptr<PdfConverWnd> m_window;
};

TEST_F(PdfConverWndTest, PictureBombsCostOnlyTheirPage) {
    Open();
    const std::string draw = "q 595 0 0 842 0 0 cm /Im0 Do Q";
    const int crash = Add("bomb100k.pdf", {draw, 100000});
    const int huge = Add("bomb30k.pdf", {draw, 30000});
    const int plain = Add("plain.pdf", {test::TextContent("plain"), 0});
    // The searchable copy passes the bombs on as they are, never drawn.
    m_window->SetOutput(PdfOutput::Both);
    m_window->StartConversion();
    ASSERT_TRUE(test::WaitFor([&] { return !m_window->IsConverting(); }, 120s));

    for (const int id : {crash, huge}) {
        const PdfJob& job = *m_window->Jobs().Find(id);
        EXPECT_EQ(JobState::Done, job.state) << WideToAnsi(job.fileName);
        EXPECT_EQ(L"转换完成，1页未识别出文字", m_window->RowText(id, L"pdf_status"));
        EXPECT_EQ("===== 第 1 页 =====\n［此页无法读取］\n\n===== 第 2 页 =====\nafter\n",
                  test::ReadFile(WideToAnsi(job.outputPath)));
        EXPECT_TRUE(IsConverterSearchablePdf(QString::fromStdWString(job.searchablePath)));
    }
    EXPECT_EQ(L"转换完成", m_window->RowText(plain, L"pdf_status"));
    // A page process never passes its limit; the converter stays far enough
    // below it that both together stay under 1 GB.
    const long long converter = PeakResidentBytes();
    std::printf("peak resident size of the converter: %lld MB\n", converter >> 20);
    EXPECT_LT(converter + static_cast<long long>(kPageMemoryBytes), 1LL << 30);
}

TEST_F(PdfConverWndTest, AFileRemovedDuringTheRunIsNeverConverted) {
    // The first file's heavy page holds the run until its time is up.
    Open(3s);
    const int heavy = Add("heavy.pdf", {test::HeavyContent(2000000), 0});
    const int removed = Add("removed.pdf", {test::TextContent("removed"), 0});
    m_window->StartConversion();
    ASSERT_TRUE(test::WaitFor([&] { return Converting(heavy); }, 60s));
    ASSERT_TRUE(m_window->ClickRowControl(removed, L"pdf_remove"));
    ASSERT_EQ(nullptr, m_window->Jobs().Find(removed));
    ASSERT_TRUE(test::WaitFor([&] { return !m_window->IsConverting(); }, 60s));
    EXPECT_EQ(JobState::Done, m_window->Jobs().Find(heavy)->state);
    EXPECT_FALSE(test::FileExists(m_folder.file("removed.txt")));
}

TEST_F(PdfConverWndTest, ClosingDuringAHeavyPageDoesNotWaitForIt) {
    Open();
    const int heavy = Add("heavy.pdf", {test::HeavyContent(2000000), 0});
    m_window->StartConversion();
    ASSERT_TRUE(test::WaitFor([&] { return Converting(heavy); }, 60s));
    test::RunEventsFor(500ms);  // well into the page
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_window->ClickControl(L"pdfclosebtn"));
    EXPECT_FALSE(m_window->IsConverting());
    // A bound on not hanging only: the page alone takes far longer.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_FALSE(test::FileExists(m_folder.file("heavy.txt")));
}

TEST_F(PdfConverWndTest, ASearchableCopyThatCannotBeWrittenShowsOnItsRow) {
    Open();
    // Readable without a password, yet encrypted: never rewritten.
    const std::string plain = m_folder.file("plain.pdf");
    ASSERT_TRUE(test::WriteRawPdf(plain, {{test::TextContent("plain"), 0}}));
    ASSERT_TRUE(test::EncryptPdf(plain, m_folder.file("locked.pdf"), ""));
    m_window->AddFiles({m_folder.wide("locked.pdf")});
    const int id = m_window->Jobs().Jobs().back().id;
    ASSERT_TRUE(m_window->ClickControl(L"pdfoutboth"));
    m_window->StartConversion();
    ASSERT_TRUE(test::WaitFor([&] { return !m_window->IsConverting(); }, 60s));
    EXPECT_EQ(JobState::Failed, m_window->Jobs().Find(id)->state);
    EXPECT_EQ(L"文件已加密", m_window->RowText(id, L"pdf_status"));
    EXPECT_FALSE(m_window->RowControlVisible(id, L"pdf_open"));
    EXPECT_FALSE(test::FileExists(m_folder.file("locked (可搜索).pdf")));
}

}  // namespace
}  // namespace kelsor::pdf
