// How the pages of a file are read and where their text goes: a page's time
// and a file's, the page process ending with the program that started it,
// page trees that Poppler and qpdf read differently, and a searchable file
// that never replaces anything but a regular file.
#include <gtest/gtest.h>
#include <poppler-qt6.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <thread>

#include "MakePdf.h"
#include "TempFolder.h"
#include "UiTestSupport.h"
#include "pdf/PageProcess.h"
#include "pdf/PdfToText.h"
#include "pdf/WholeFile.h"

namespace kelsor::pdf {
namespace {

using namespace std::chrono_literals;

class PageReadingTest : public ::testing::Test {
protected:
    void SetUp() override { uitest::EnsureApp(); }

    // Every page of `pdf` as the page process gives it to a caller that
    // spends `work` on each.
    std::vector<PageContent> ReadAll(const std::string& pdf, std::chrono::milliseconds work = 0ms) {
        PageProcess pages(m_reading, QString::fromStdString(pdf), m_cancel);
        int count = 0;
        EXPECT_EQ(pages.Open(count), PdfFailure::None);
        std::vector<PageContent> read;
        pages.ForEachPage([&](int, PageContent& page) {
            read.push_back(page);
            std::this_thread::sleep_for(work);
        });
        return read;
    }

    test::TempFolder m_folder;
    std::atomic<bool> m_cancel{false};
    PageReading m_reading{QStringLiteral(KELSOR_PDF_CONVERTER)};
};

TEST_F(PageReadingTest, APageReadAheadIsTimedFromWhenItIsWaitedFor) {
    const std::string pdf = m_folder.file("two.pdf");
    ASSERT_TRUE(test::WriteRawPdf(
        pdf, {{test::TextContent("first"), 0}, {test::TextContent("second"), 0}}));
    m_reading.pageTime = 1s;
    // The caller's work on the first page takes longer than a page may.
    const std::vector<PageContent> pages = ReadAll(pdf, 2s);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].text, QStringLiteral("first"));
    EXPECT_EQ(pages[1].text, QStringLiteral("second"));
}

TEST_F(PageReadingTest, AFileWhoseStuckPagesTookItsTimeReadsNoMorePages) {
    const std::string pdf = m_folder.file("stuck.pdf");
    ASSERT_TRUE(test::WriteSlowPdf(pdf, 3, "after"));
    m_reading.pageTime = 1s;
    const struct {
        std::chrono::milliseconds fileStuckTime;
        bool lastRead;
    } cases[] = {{kFileStuckTime, true}, {2s, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fileStuckTime.count());
        m_reading.fileStuckTime = c.fileStuckTime;
        const std::vector<PageContent> pages = ReadAll(pdf);
        ASSERT_EQ(pages.size(), 4u);
        for (int page = 0; page < 3; ++page) {
            EXPECT_TRUE(pages[page].text.isEmpty());
            EXPECT_TRUE(pages[page].picture.isNull());
        }
        EXPECT_EQ(pages[3].text, c.lastRead ? QStringLiteral("after") : QString());
    }
}

TEST_F(PageReadingTest, APageProcessLeftAloneEndsAtItsProcessorLimit) {
    const std::string pdf = m_folder.file("slow.pdf");
    ASSERT_TRUE(test::WriteSlowPdf(pdf, 1, ""));
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    // No parent to follow (0), one processor second a page.
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(ends[1], STDIN_FILENO);
        ::execl(KELSOR_PDF_CONVERTER, KELSOR_PDF_CONVERTER, kPageWorkerOption, "805306368", "1",
                "0", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ends[1]);
    ASSERT_GT(pid, 0);
    const std::uint32_t size = static_cast<std::uint32_t>(pdf.size());
    const std::int32_t firstPage = 0;
    std::int32_t opened[2] = {-1, -1};
    EXPECT_EQ(::write(ends[0], &size, sizeof size), static_cast<ssize_t>(sizeof size));
    EXPECT_EQ(::write(ends[0], pdf.data(), size), static_cast<ssize_t>(size));
    EXPECT_EQ(::recv(ends[0], opened, sizeof opened, MSG_WAITALL),
              static_cast<ssize_t>(sizeof opened));
    EXPECT_EQ(opened[0], 0);
    EXPECT_EQ(::write(ends[0], &firstPage, sizeof firstPage),
              static_cast<ssize_t>(sizeof firstPage));
    // The page never ends; the limit ends its process (a few seconds of
    // processor time, however busy the machine is; two minutes at most here).
    int status = 0;
    pid_t ended = 0;
    for (int tick = 0; tick < 1200 && ended == 0; ++tick) {
        std::this_thread::sleep_for(100ms);
        ended = ::waitpid(pid, &status, WNOHANG);
    }
    if (ended == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    ::close(ends[0]);
    ASSERT_EQ(ended, pid) << "the page process runs on";
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGXCPU);
}

TEST_F(PageReadingTest, PageTreesTheReadersListDifferentlyGiveNoSearchableCopy) {
    const PageRecognizer recognize = [](const QImage& page) {
        return PageRecognition{PageRecognition::Status::Recognised,
                               "WORD",
                               {{"WORD", QRectF(100, 100, page.width() / 2.0, 90)}}};
    };
    const struct {
        const char* name;
        std::string fourth, fifth;
        const wchar_t* outcome;
    } cases[] = {
        {"sound", "", "", L"转换完成"},
        // Poppler draws objects 4 and 5, qpdf lists 4 and 6.
        {"a page with kids", "", "/Kids [6 0 R] ", L"文件已损坏"},
        // Poppler draws 4 and 5, qpdf lists 5 alone.
        {"a page with no kids", "/Kids [] ", "", L"文件已损坏"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string pdf = m_folder.file("tree.pdf");
        const std::string copy = m_folder.file("copy.pdf");
        ASSERT_TRUE(test::WriteTwoPageTree(pdf, c.fourth, c.fifth));
        std::filesystem::remove(copy);
        const PdfOutcome outcome =
            ConvertPdf(QString::fromStdString(pdf), {{}, QString::fromStdString(copy)}, recognize,
                       {}, m_cancel, m_reading);
        EXPECT_EQ(outcome.pageCount, 2);
        EXPECT_EQ(c.outcome, OutcomeText(outcome));
        // Written, a copy has both pages, each with its own text.
        EXPECT_EQ(std::filesystem::exists(copy), outcome.Succeeded());
        if (const auto written = Poppler::Document::load(QString::fromStdString(copy))) {
            ASSERT_EQ(written->numPages(), 2);
            for (int page = 0; page < 2; ++page) {
                const auto shown = written->page(page);
                ASSERT_TRUE(shown);
                EXPECT_EQ(shown->search(QStringLiteral("WORD")).size(), 1);
            }
        }
    }
}

TEST_F(PageReadingTest, OnlyARegularFileIsReplaced) {
    const std::string target = m_folder.file("target");
    // What is at the target when the file is opened, and when it is put in
    // its place.
    enum class What { Nothing, File, Fifo, Socket, LinkToFifo };
    const auto make = [&](What what) {
        std::filesystem::remove(target);
        std::filesystem::remove(m_folder.file("fifo"));
        switch (what) {
            case What::Nothing:
                break;
            case What::File:
                test::WriteFile(target, "old");
                break;
            case What::Fifo:
                ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0);
                break;
            case What::Socket: {
                const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                sockaddr_un address{};
                address.sun_family = AF_UNIX;
                ASSERT_LT(target.size(), sizeof address.sun_path);
                target.copy(address.sun_path, target.size());
                ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
                ::close(fd);
                break;
            }
            case What::LinkToFifo:
                std::filesystem::remove(m_folder.file("fifo"));
                ASSERT_EQ(::mkfifo(m_folder.file("fifo").c_str(), 0600), 0);
                std::filesystem::create_symlink(m_folder.file("fifo"), target);
                break;
        }
    };
    const struct {
        What atOpen, atCommit;
        bool opens, commits;
    } cases[] = {
        {What::Nothing, What::Nothing, true, true},
        {What::File, What::File, true, true},
        {What::Fifo, What::Fifo, false, false},
        {What::Socket, What::Socket, false, false},
        {What::LinkToFifo, What::Fifo, false, false},
        // Taken while the file was written.
        {What::Nothing, What::Fifo, true, false},
        {What::File, What::Socket, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.atOpen) * 10 + static_cast<int>(c.atCommit));
        make(c.atOpen);
        {
            WholeFile file(QString::fromStdString(target));
            ASSERT_EQ(file.Open(), c.opens);
            if (c.opens) {
                file.Write("new", 3);
                make(c.atCommit);
                EXPECT_EQ(file.Commit(), c.commits);
            }
        }
        struct stat info {};
        ASSERT_EQ(::lstat(target.c_str(), &info),
                  c.atCommit == What::Nothing && !c.commits ? -1 : 0);
        EXPECT_EQ(S_ISREG(info.st_mode), c.commits || c.atCommit == What::File);
        if (c.commits) {
            EXPECT_EQ(test::ReadFile(target), "new");
        }
        // No temporary file is left.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder.path()), {}),
                  c.atCommit == What::Nothing && !c.commits ? 0
                  : c.atOpen == What::LinkToFifo            ? 2
                                                            : 1);
    }
}

}  // namespace
}  // namespace kelsor::pdf
