// kelsor-ocr with PDFs, as a process against a real kelsor-server
// (Tesseract): a PDF's text is its text layer or, on a scanned page, what
// was recognised; --pdf writes one searchable PDF of PDFs and pictures in
// order, whole or not at all, never over a file it reads.
#include <gtest/gtest.h>
#include <poppler-qt6.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <QImage>
#include <filesystem>

#include "MakePdf.h"
#include "OrientedJpeg.h"
#include "PdfContent.h"
#include "RenderText.h"
#include "ToolsTestSupport.h"

namespace kelsor {
namespace {

namespace fs = std::filesystem;

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

}  // namespace
}  // namespace kelsor
