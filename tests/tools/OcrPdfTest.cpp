// kelsor-ocr with PDFs, as a process against a real kelsor-server
// (Tesseract): a PDF's text is its text layer or, on a scanned page, what
// was recognised; --pdf writes one searchable PDF of PDFs and pictures in
// order, whole or not at all, never over a file it reads.
#include <gtest/gtest.h>
#include <poppler-qt6.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <QPainter>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "CodePictures.h"
#include "MakePdf.h"
#include "OrientedJpeg.h"
#include "PdfContent.h"
#include "RenderText.h"
#include "ToolsTestSupport.h"

namespace kelsor {
namespace {

namespace fs = std::filesystem;

// What /proc says of process `pid` after its name: the state first; empty
// once it is gone.
std::vector<std::string> ProcessFields(pid_t pid) {
    const std::string stat = test::ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t end = stat.rfind(')');
    std::vector<std::string> fields;
    std::istringstream words(end == std::string::npos ? "" : stat.substr(end + 1));
    for (std::string word; words >> word;)
        fields.push_back(word);
    return fields;
}

// The page processes of `parent`, from /proc.
std::vector<pid_t> PageProcessesOf(pid_t parent) {
    std::vector<pid_t> found;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string command = test::ReadFile(entry.path().string() + "/cmdline");
        const std::vector<std::string> fields = ProcessFields(std::stoi(name));
        if (command.find("--page-worker") != std::string::npos && fields.size() > 1 &&
            std::stoi(fields[1]) == parent)
            found.push_back(std::stoi(name));
    }
    return found;
}

// Whether process `pid` has ended (a zombie nobody reaped has).
bool Ended(pid_t pid) {
    const std::vector<std::string> fields = ProcessFields(pid);
    return fields.empty() || fields[0] == "Z";
}

// The processor seconds process `pid` has used.
double ProcessorSeconds(pid_t pid) {
    const std::vector<std::string> fields = ProcessFields(pid);
    if (fields.size() < 13)
        return 0;
    return (std::stod(fields[11]) + std::stod(fields[12])) /
           static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Waits up to a minute for `done`.
template <typename Done>
bool WaitFor(Done done) {
    for (int tick = 0; tick < 600 && !done(); ++tick)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return done();
}

class OcrPdfTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_fixture.StartSignedIn(error)) << error;
        fs::create_directories(File());
        // A text page, a scanned page, a text page.
        ASSERT_TRUE(test::WritePdf(
            File("doc.pdf"),
            {{{QStringLiteral("Typed opening page")}, {}},
             {{}, test::LargeTextPicture({QStringLiteral("SCANNED"), QStringLiteral("LINES")})},
             {{QStringLiteral("Typed last page")}, {}}}));
        ASSERT_TRUE(test::EncryptPdf(File("doc.pdf"), File("encrypted.pdf")));
        test::WriteFile(File("damaged.pdf"), "%PDF-1.4\n1 0 obj << /Type /Catalog");
        ASSERT_TRUE(test::WriteRawPdf(File("empty.pdf"), {}));
        // A photo at 300 dpi, as PNG and JPEG; a grey one whose file names no
        // resolution; one stored turned, with an Exif orientation.
        m_photo.setDotsPerMeterX(11811);
        m_photo.setDotsPerMeterY(11811);
        ASSERT_TRUE(m_photo.save(QString::fromStdString(File("photo.png"))));
        ASSERT_TRUE(m_photo.save(QString::fromStdString(File("photo.jpg"))));
        ASSERT_TRUE(test::WriteOrientedJpeg(m_photo, 6, File("turned.jpg")));
        ASSERT_TRUE(m_photo.convertToFormat(QImage::Format_Grayscale8)
                        .save(QString::fromStdString(File("plain.png"))));
        std::string png = test::ReadFile(File("plain.png"));
        ASSERT_NE(png.find("pHYs"), std::string::npos);
        png.erase(png.find("pHYs") - 4, 21);
        test::WriteFile(File("plain.png"), png);
    }

    // kelsor-ocr in the work folder: its status, standard output in `out`
    // and standard error in `err`.
    int Ocr(const std::string& arguments, std::string& out, std::string& err) const {
        const int status =
            test::Shell("cd '" + File() + "' && KELSOR_API_HOST=" + m_fixture.apiHost() + " '" +
                        KELSOR_PROGRAM_FOLDER + "kelsor-ocr' " + arguments + " >'" +
                        m_folder.file("out") + "' 2>'" + m_folder.file("err") + "'");
        out = test::ReadFile(m_folder.file("out"));
        err = test::ReadFile(m_folder.file("err"));
        return status;
    }
    // The highest memory, in bytes, of kelsor-ocr run with `arguments` in the
    // work folder.
    long PeakMemory(const std::string& arguments) const {
        const std::string command =
            "cd '" + File() + "' && KELSOR_API_HOST=" + m_fixture.apiHost() + " exec '" +
            KELSOR_PROGRAM_FOLDER + "kelsor-ocr' " + arguments + " >/dev/null 2>&1";
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        rusage usage{};
        if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid)
            return -1;
        return usage.ru_maxrss * 1024L;
    }
    std::string File(const std::string& name = "") const { return m_folder.file("work/" + name); }
    int FileCount() const {
        const fs::directory_iterator files(m_folder.file("work"));
        return static_cast<int>(std::distance(begin(files), end(files)));
    }

    test::TempFolder m_folder;
    tooltest::ToolsFixture m_fixture{m_folder};
    QImage m_photo = test::LargeTextPicture({QStringLiteral("PICTURE"), QStringLiteral("PAGE")});
};

TEST_F(OcrPdfTest, PrintsTextLayersAndRecognisedScansInOrder) {
    std::string out, err;
    ASSERT_EQ(0, Ocr("doc.pdf", out, err)) << err;
    EXPECT_EQ("", err);
    EXPECT_EQ(out,
              "===== 第 1 页 =====\nTyped opening page\n\n===== 第 2 页 =====\nSCANNED\nLINES\n\n"
              "===== 第 3 页 =====\nTyped last page\n");

    // Each file that cannot be read is named with its reason; the others go on.
    EXPECT_EQ(1, Ocr("encrypted.pdf damaged.pdf missing.pdf doc.pdf", out, err));
    EXPECT_NE(out.find("==> doc.pdf <==\n===== 第 1 页 ====="), std::string::npos) << out;
    for (const char* part : {"encrypted.pdf: 文件已加密", "damaged.pdf: 文件已损坏",
                             "missing.pdf: no such file", "3 of 4 files failed"})
        EXPECT_NE(err.find(part), std::string::npos) << part << " in\n" << err;
}

TEST_F(OcrPdfTest, OneSearchablePdfOfPicturesAndPdfsInOrder) {
    std::string output, err;
    const std::string out = File("out.pdf");
    ASSERT_EQ(0, Ocr("--pdf out.pdf photo.png doc.pdf plain.png photo.jpg turned.jpg", output, err))
        << err;
    EXPECT_EQ("", output);
    EXPECT_EQ(0, test::Shell("qpdf --check '" + out + "' >/dev/null"));
    const auto document = Poppler::Document::load(QString::fromStdString(out));
    ASSERT_TRUE(document);
    ASSERT_EQ(document->numPages(), 7);

    // Pages in order; a picture's page at the picture's resolution, else at
    // 96 dpi; every recognised line found on its page, in reading order.
    const std::vector<QString> photoLines = {QStringLiteral("PICTURE"), QStringLiteral("PAGE")};
    struct Expected {
        int page;
        bool picture;
        double widthPoints;  // 0: any
        std::vector<QString> lines;
    };
    const Expected pages[] = {
        {0, true, 900 * 72 / 300.0, photoLines},
        {1, false, 0, {QStringLiteral("Typed opening page")}},
        {2, false, 0, {QStringLiteral("SCANNED"), QStringLiteral("LINES")}},
        {4, true, 900 * 72 / 96.0, photoLines},
        {5, true, 900 * 72 / 300.0, photoLines},
        {6, true, 0, photoLines},
    };
    for (const Expected& expected : pages) {
        SCOPED_TRACE(expected.page);
        const auto page = document->page(expected.page);
        if (expected.picture) {
            const QSizeF size = page->pageSizeF();
            if (expected.widthPoints > 0) {
                EXPECT_NEAR(size.width(), expected.widthPoints, 0.01);
            }
            // Upright, and the picture is seen: its first line is dark where
            // it was drawn.
            EXPECT_NEAR(size.height(), size.width() * m_photo.height() / m_photo.width(), 0.5);
            const double dpi = 72.0 * 900 / size.width();
            const QImage shown = page->renderToImage(dpi, dpi).copy(40, 60, 360, 60);
            int dark = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    dark += qGray(shown.pixel(x, y)) < 64;
            EXPECT_GT(dark, 500);
        }
        double above = -1;
        for (const QString& line : expected.lines) {
            const QList<QRectF> found = page->search(line);
            ASSERT_EQ(found.size(), 1) << line.toStdString() << " in\n"
                                       << page->text(QRectF()).toStdString();
            EXPECT_GT(found.front().top(), above);
            above = found.front().top();
        }
    }
    // A photo's page carries its file as it is.
    QPDF written;
    written.processFile(out.c_str());
    const std::shared_ptr<Buffer> photo = QPDFPageDocumentHelper(written)
                                              .getAllPages()
                                              .at(5)
                                              .getObjectHandle()
                                              .getKey("/Resources")
                                              .getKey("/XObject")
                                              .getKey("/Im0")
                                              .getRawStreamData();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(photo->getBuffer()), photo->getSize()),
              test::ReadFile(File("photo.jpg")));
    // The PDF's pages are kept as they are.
    for (int page = 0; page < 3; ++page)
        EXPECT_EQ(test::ContentStreams(File("doc.pdf"), page).front(),
                  test::ContentStreams(out, page + 1)[page == 1 ? 1 : 0]);
}

TEST_F(OcrPdfTest, FailuresLeaveNoPartialFileAndNeverReplaceAnInput) {
    ASSERT_EQ(0, test::Shell("ln -s doc.pdf '" + File("alias.pdf") + "'"));
    const std::string docBytes = test::ReadFile(File("doc.pdf"));
    struct Case {
        std::string arguments;
        int status;
        std::string error;
        int pages;  // of out.pdf; 0 for none written
    };
    const Case cases[] = {
        {"--pdf doc.pdf photo.png doc.pdf", 2, "doc.pdf: is ", 0},
        {"--pdf alias.pdf photo.png doc.pdf", 2, "alias.pdf: is ", 0},
        {"--pdf out.pdf encrypted.pdf", 1, "encrypted.pdf: 文件已加密", 0},
        {"--pdf out.pdf damaged.pdf missing.pdf empty.pdf", 1, "no FILE gave a page", 0},
        {"--pdf no/such/out.pdf photo.png", 1, "cannot be written", 0},
        {"--pdf out.pdf damaged.pdf photo.png", 1, "damaged.pdf: 文件已损坏", 1},
        {"--pdf out.pdf photo.png empty.pdf", 1, "empty.pdf: 文件没有页面", 1},
        {"--pdf", 2, "--pdf needs the name", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::string out, err;
        EXPECT_EQ(c.status, Ocr(c.arguments, out, err));
        EXPECT_NE(err.find(c.error), std::string::npos) << err;
        EXPECT_EQ(test::ReadFile(File("doc.pdf")), docBytes);
        const auto written = Poppler::Document::load(QString::fromStdString(File("out.pdf")));
        EXPECT_EQ(written ? written->numPages() : 0, c.pages);
        EXPECT_EQ(FileCount(), 9 + (c.pages > 0 ? 1 : 0));  // no temporary file left
        fs::remove(File("out.pdf"));
    }
}

TEST_F(OcrPdfTest, AnOutputThatIsNoRegularFileIsRefusedAndStaysAsItIs) {
    // A FIFO with a reader waiting, a socket, a link to a FIFO (as
    // /dev/stdout is a link to what descriptor 1 is), and a device where
    // this user may make one.
    ASSERT_EQ(::mkfifo(File("fifo.pdf").c_str(), 0600), 0);
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = File("socket.pdf");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink("fifo.pdf", File("stdout.pdf"));
    std::vector<std::string> outputs = {"fifo.pdf", "socket.pdf", "stdout.pdf"};
    if (::mknod(File("null.pdf").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        outputs.push_back("null.pdf");
    for (const std::string& output : outputs) {
        SCOPED_TRACE(output);
        struct stat before {};
        ASSERT_EQ(::lstat(File(output).c_str(), &before), 0);
        std::string out, err;
        EXPECT_EQ(2, Ocr("--pdf " + output + " photo.png", out, err));
        EXPECT_NE(err.find(output + ": is not a regular file"), std::string::npos) << err;
        struct stat after {};
        ASSERT_EQ(::lstat(File(output).c_str(), &after), 0);
        EXPECT_EQ(before.st_mode, after.st_mode);
        EXPECT_EQ(before.st_ino, after.st_ino);
    }
    ::close(socket);
}

TEST_F(OcrPdfTest, PageTreesTheReadersListDifferentlyAreRefused) {
    const struct {
        const char* name;
        std::string fourth, fifth;
        int status;
    } cases[] = {
        {"sound.pdf", "", "", 0},
        // Poppler draws objects 4 and 5, qpdf lists 4 and 6.
        {"kids.pdf", "", "/Kids [6 0 R] ", 1},
        // Poppler draws 4 and 5, qpdf lists 5 alone.
        {"nokids.pdf", "/Kids [] ", "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(test::WriteTwoPageTree(File(c.name), c.fourth, c.fifth));
        fs::remove(File("out.pdf"));
        std::string out, err;
        EXPECT_EQ(c.status, Ocr(std::string("--pdf out.pdf ") + c.name, out, err)) << err;
        if (c.status != 0) {
            EXPECT_NE(err.find(std::string(c.name) + ": 文件已损坏"), std::string::npos) << err;
        }
        const auto written = Poppler::Document::load(QString::fromStdString(File("out.pdf")));
        EXPECT_EQ(written ? written->numPages() : 0, c.status == 0 ? 2 : 0);
    }
}

TEST_F(OcrPdfTest, AnEndedRunEndsItsPageProcess) {
    // A page that takes hours to draw, ended while it is drawn.
    ASSERT_TRUE(test::WriteSlowPdf(File("slow.pdf"), 1, ""));
    const pid_t run = std::stoi(test::ShellOutput(
        "cd '" + File() + "' && KELSOR_API_HOST=" + m_fixture.apiHost() + " '" +
        KELSOR_PROGRAM_FOLDER + "kelsor-ocr' slow.pdf >/dev/null 2>&1 & echo $!"));
    // Drawing: far more processor time than starting takes.
    std::vector<pid_t> pages;
    EXPECT_TRUE(WaitFor([&] {
        pages = PageProcessesOf(run);
        return !pages.empty() && ProcessorSeconds(pages.front()) > 2;
    }));
    ::kill(run, SIGTERM);
    for (const pid_t page : pages) {
        EXPECT_TRUE(WaitFor([&] { return Ended(page); })) << "the page process lives on";
        ::kill(page, SIGKILL);
    }
    ::kill(run, SIGKILL);
}

TEST_F(OcrPdfTest, APictureWithUnequalResolutionsKeepsItsProportions) {
    // A fax at 204 x 98 dpi: its pixels are twice as high as they are wide.
    QImage fax = m_photo;
    fax.setDotsPerMeterX(8031);
    fax.setDotsPerMeterY(3858);
    ASSERT_TRUE(fax.save(QString::fromStdString(File("fax.png"))));
    std::string out, err;
    ASSERT_EQ(0, Ocr("--pdf out.pdf fax.png", out, err)) << err;
    const auto document = Poppler::Document::load(QString::fromStdString(File("out.pdf")));
    ASSERT_TRUE(document);
    const QSizeF size = document->page(0)->pageSizeF();
    EXPECT_NEAR(size.width(), fax.width() * 72 / (8031 * 0.0254), 0.1);
    EXPECT_NEAR(size.height(), fax.height() * 72 / (3858 * 0.0254), 0.1);
}

TEST_F(OcrPdfTest, PicturesWaitOnDiskWhileTheRunGoesOn) {
    // Faint noise, little for compression to take, in pictures wider than
    // the service takes (so that the run costs no recognition).
    QImage noise(9000, 1000, QImage::Format_RGB32);
    std::mt19937 random(7);
    for (int y = 0; y < noise.height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x)
            row[x] = (random() & 0x0F0F0F) | 0xFFF0F0F0u;
    }
    ASSERT_TRUE(noise.save(QString::fromStdString(File("noise0.png"))));
    std::string names = "noise0.png";
    for (int copy = 1; copy < 10; ++copy) {
        fs::copy_file(File("noise0.png"), File("noise" + std::to_string(copy) + ".png"));
        names += " noise" + std::to_string(copy) + ".png";
    }
    const long few = PeakMemory("--pdf few.pdf noise0.png noise1.png");
    const long many = PeakMemory("--pdf many.pdf " + names);
    ASSERT_GT(few, 0);
    ASSERT_GT(many, 0);
    // Every page is written.
    const auto written = Poppler::Document::load(QString::fromStdString(File("many.pdf")));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->numPages(), 10);
    // Eight pictures more cost less than three of them.
    std::printf("peak memory: %ld bytes for 2 pictures, %ld for 10\n", few, many);
    EXPECT_LT(many - few, 3 * static_cast<long>(fs::file_size(File("noise0.png"))))
        << few << " bytes for 2 pictures, " << many << " for 10";
}

// A code's line is in the searchable page's text, over the code.
TEST_F(OcrPdfTest, ACodesPayloadIsTextOverTheCode) {
    const std::string payload = "https://example.cn/pdf?p=1";
    QImage picture(700, 400, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const QImage qr = test::QrCode(payload, 6);
    QPainter(&picture).drawImage(250, 80, qr);
    ASSERT_TRUE(picture.save(QString::fromStdString(File("qr.png"))));
    std::string out, err;
    ASSERT_EQ(0, Ocr("--codes --pdf codes.pdf qr.png", out, err)) << err;
    const auto document = Poppler::Document::load(QString::fromStdString(File("codes.pdf")));
    ASSERT_TRUE(document);
    const auto page = document->page(0);
    EXPECT_NE(page->text(QRectF()).indexOf(QString::fromStdString(payload)), -1)
        << page->text(QRectF()).toStdString();
    // 96 dpi: a pixel is three quarters of a point.
    const QRectF code(250 * 0.75, 80 * 0.75, qr.width() * 0.75, qr.height() * 0.75);
    int over = 0;
    for (const auto& box : page->textList()) {
        if (box->text().contains(QStringLiteral("example.cn"))) {
            ++over;
            EXPECT_TRUE(code.contains(box->boundingBox().center()))
                << box->boundingBox().x() << "," << box->boundingBox().y();
        }
    }
    EXPECT_EQ(over, 1);
}

}  // namespace
}  // namespace kelsor
