// Searchable copies read back by Poppler, of one file and as a page of a
// book: every line is found and copied where it is seen, on turned and
// shifted pages too, the original streams
// stay as they were, and files that cannot be rewritten leave nothing.
#include <gtest/gtest.h>
#include <poppler-qt6.h>

#include <QBuffer>
#include <QFile>
#include <cstdlib>
#include <filesystem>

#include "MakePdf.h"
#include "PdfContent.h"
#include "RenderText.h"
#include "TempFolder.h"
#include "UiTestSupport.h"
#include "pdf/PdfFile.h"
#include "pdf/SearchableBook.h"
#include "pdf/SearchablePdf.h"

namespace kelsor::pdf {
namespace {

// English, Chinese, and characters beyond the Basic Multilingual Plane.
const std::vector<std::string> kLines = {"Searchable scans 2026", "白日依山尽，黄河入海流。",
                                         "𠀀𠮷野家"};

// A small picture's JPEG file.
std::string SmallJpeg() {
    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPEG");
    return jpeg.toStdString();
}

bool QpdfChecks(const std::string& path) {
    return std::system(("qpdf --check '" + path + "' >/dev/null 2>&1").c_str()) == 0;
}

class SearchablePdfTest : public ::testing::Test {
protected:
    void SetUp() override { uitest::EnsureApp(); }

    // The first page rendered as the converter renders it, one line box per
    // line a tenth of the picture apart.
    PageTextLayer LayerFor(const std::string& pdf, const std::vector<std::string>& lines) {
        PdfFile file;
        EXPECT_EQ(file.Open(QString::fromStdString(pdf)), PdfFailure::None);
        PageTextLayer layer;
        layer.pictureSize = file.RenderPage(0).size();
        layer.rotation = file.PageRotation(0);
        const double w = layer.pictureSize.width(), h = layer.pictureSize.height();
        const double step = std::min(0.1, 0.8 / static_cast<double>(lines.size()));
        for (std::size_t i = 0; i < lines.size(); ++i)
            layer.lines.push_back(
                {lines[i], QRectF(0.1 * w, (0.1 + step * static_cast<double>(i)) * h, 0.6 * w,
                                  0.8 * step * h)});
        return layer;
    }

    // The written page `layer.page` keeps the source's first page as it was
    // (its streams between the two the layer adds, drawn the same), and
    // Poppler finds and copies each line within its box.
    void ExpectLayerFoundWithinBoxes(const std::string& source, const PageTextLayer& layer) {
        EXPECT_TRUE(QpdfChecks(Out().toStdString()));
        const std::vector<std::string> streams = test::ContentStreams(source, 0);
        const std::vector<std::string> written =
            test::ContentStreams(Out().toStdString(), layer.page);
        ASSERT_EQ(written.size(), streams.size() + 2);
        EXPECT_EQ(std::vector<std::string>(written.begin() + 1, written.end() - 1), streams);

        PdfFile before, after;
        ASSERT_EQ(before.Open(QString::fromStdString(source)), PdfFailure::None);
        ASSERT_EQ(after.Open(Out()), PdfFailure::None);
        EXPECT_TRUE(before.RenderPage(0) == after.RenderPage(layer.page));

        const auto document = Poppler::Document::load(Out());
        ASSERT_TRUE(document);
        const auto page = document->page(layer.page);
        const double scale = page->pageSizeF().width() / layer.pictureSize.width();
        for (const RecognisedLine& line : layer.lines) {
            SCOPED_TRACE(line.text);
            const QRectF box(line.box.topLeft() * scale, line.box.size() * scale);
            const double grow = 0.2 * box.height();
            const QRectF grown = box.adjusted(-grow, -grow, grow, grow);
            const QList<QRectF> found = page->search(QString::fromStdString(line.text));
            ASSERT_EQ(found.size(), 1);
            EXPECT_TRUE(grown.contains(found.front()))
                << found.front().x() << "," << found.front().y();
            EXPECT_EQ(page->text(grown).trimmed().toStdString(), line.text);
        }
    }

    SearchableOutcome Write(const std::string& pdf, const std::vector<PageTextLayer>& layers) {
        return WriteSearchablePdf(QString::fromStdString(pdf), Out(), layers);
    }
    int FileCount() const {
        const std::filesystem::directory_iterator files(m_folder.path());
        return static_cast<int>(std::distance(begin(files), end(files)));
    }
    QString Out() const { return QString::fromStdString(m_folder.file("out.pdf")); }

    test::TempFolder m_folder;
};

TEST_F(SearchablePdfTest, EachLineIsFoundAndCopiedWithinItsBox) {
    struct Case {
        const char* name;
        long long rotate;
        const char* mediaBox;
    };
    // Turns that are no quarter turn are drawn upright: the text is too.
    const Case cases[] = {{"scan", 0, ""},
                          {"turned a quarter", 90, "0 0 595 842"},
                          {"upside down, shifted", 180, "100 200 695 1042"},
                          {"turned back, shifted below zero", 270, "-300 -50 295 792"},
                          {"enormous box", 0, "0 0 14400 14400"},
                          {"turned back the other way", -90, "0 0 595 842"},
                          {"turned 100", 100, "0 0 595 842"},
                          {"turned 135", 135, "0 0 595 842"},
                          {"turned 225", 225, "0 0 595 842"},
                          {"turned 315", 315, "0 0 595 842"},
                          {"turned -45", -45, "0 0 595 842"},
                          {"turned 2^32 + 90", (1LL << 32) + 90, "0 0 595 842"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = m_folder.file(std::string(c.name) + ".pdf");
        if (c.rotate == 0 && *c.mediaBox == 0) {
            std::vector<QString> shown;
            for (const std::string& line : kLines)
                shown.push_back(QString::fromStdString(line));
            ASSERT_TRUE(test::WritePdf(source, {{{}, test::LargeTextPicture(shown)}}));
        } else {
            ASSERT_TRUE(
                test::WriteRawPdf(source, {{test::HeavyContent(20), 0, c.mediaBox, c.rotate}}));
        }
        PageTextLayer layer = LayerFor(source, kLines);
        // The file rewritten, and its page in a book after a picture's page.
        for (const bool book : {false, true}) {
            SCOPED_TRACE(book ? "in a book" : "rewritten");
            if (book) {
                SearchableBook pages;
                pages.AddPicture({{}, SmallJpeg(), {20, 10}, false}, QSizeF(96, 96));
                ASSERT_EQ(pages.AddPdf(QString::fromStdString(source), 1, layer.page),
                          PdfFailure::None);
                pages.AddLayer(layer);
                ASSERT_TRUE(pages.Write(Out()));
            } else {
                ASSERT_TRUE(Write(source, {layer}).Succeeded());
            }
            ExpectLayerFoundWithinBoxes(source, layer);
        }
    }
}

TEST_F(SearchablePdfTest, ColumnsOfVerticalTextAreFoundAndSelectedDownTheirColumns) {
    const std::vector<std::string> columns = {"床前明月光疑是地上霜", "举头望明月低头思故乡"};
    for (const long long rotate : {0LL, 90LL}) {
        SCOPED_TRACE(rotate);
        const std::string source = m_folder.file("columns" + std::to_string(rotate) + ".pdf");
        ASSERT_TRUE(
            test::WriteRawPdf(source, {{test::HeavyContent(20), 0, "0 0 595 842", rotate}}));
        // A title across above two columns, read right to left.
        PageTextLayer layer = LayerFor(source, {"静夜思"});
        const double w = layer.pictureSize.width(), h = layer.pictureSize.height();
        for (std::size_t i = 0; i < columns.size(); ++i)
            layer.lines.push_back({columns[i], QRectF((0.8 - 0.1 * static_cast<double>(i)) * w,
                                                      0.25 * h, 0.05 * w, 0.6 * h)});
        ASSERT_TRUE(Write(source, {layer}).Succeeded());

        const auto document = Poppler::Document::load(Out());
        ASSERT_TRUE(document);
        const auto page = document->page(0);
        const double scale = page->pageSizeF().width() / layer.pictureSize.width();
        for (std::size_t i = 1; i < layer.lines.size(); ++i) {
            const RecognisedLine& line = layer.lines[i];
            SCOPED_TRACE(line.text);
            const QRectF box(line.box.topLeft() * scale, line.box.size() * scale);
            const double grow = 0.3 * box.width();
            const QRectF grown = box.adjusted(-grow, -grow, grow, grow);
            // Found as a whole, where the column is: the highlight runs down it.
            const QList<QRectF> found = page->search(QString::fromStdString(line.text));
            ASSERT_EQ(found.size(), 1);
            EXPECT_TRUE(grown.contains(found.front()))
                << found.front().x() << "," << found.front().y() << " " << found.front().width()
                << "x" << found.front().height();
            EXPECT_GT(found.front().height(), 3 * found.front().width());
            // Selecting the column copies its text alone, top to bottom; its
            // upper half holds the first half of its characters.
            EXPECT_EQ(page->text(grown).remove(QLatin1Char('\n')).trimmed().toStdString(),
                      line.text);
            const QRectF upper = grown.adjusted(0, 0, 0, -grown.height() / 2);
            EXPECT_EQ(page->text(upper).remove(QLatin1Char('\n')).trimmed(),
                      QString::fromStdString(line.text).left(5));
        }
    }
}

TEST_F(SearchablePdfTest, ThousandsOfLinesOnOnePage) {
    const std::string source = m_folder.file("scan.pdf");
    // A long roll, so that each line is still a few points high.
    ASSERT_TRUE(test::WriteRawPdf(source, {{test::HeavyContent(5), 0, "0 0 595 30000"}}));
    std::vector<std::string> lines;
    for (int i = 0; i < 3000; ++i)
        lines.push_back("row " + std::to_string(i) + " of a long roll of recognised text");
    ASSERT_TRUE(Write(source, {LayerFor(source, lines)}).Succeeded());
    EXPECT_TRUE(QpdfChecks(Out().toStdString()));
    const auto document = Poppler::Document::load(Out());
    EXPECT_TRUE(document->page(0)->text(QRectF()).contains(
        QStringLiteral("row 2999 of a long roll of recognised text")));
}

TEST_F(SearchablePdfTest, FilesThatCannotBeRewrittenLeaveNothing) {
    const std::string scan = m_folder.file("scan.pdf");
    ASSERT_TRUE(test::WriteRawPdf(scan, {{test::HeavyContent(5), 0}}));
    const std::string encrypted = m_folder.file("encrypted.pdf");
    ASSERT_TRUE(test::EncryptPdf(scan, encrypted));
    const std::string damaged = m_folder.file("damaged.pdf");
    test::WriteFile(damaged, "%PDF-1.4\n1 0 obj << /Type /Catalog");
    const std::string empty = m_folder.file("empty.pdf");
    ASSERT_TRUE(test::WriteRawPdf(empty, {}));

    struct Case {
        std::string source;
        QString target;
        PdfFailure failure;
        bool writeFailed;
    };
    const Case cases[] = {{encrypted, Out(), PdfFailure::Encrypted, false},
                          {damaged, Out(), PdfFailure::Damaged, false},
                          {empty, Out(), PdfFailure::NoPages, false},
                          {m_folder.file("gone.pdf"), Out(), PdfFailure::Missing, false},
                          {scan, QString::fromStdString(scan), PdfFailure::None, true},
                          {scan, QString::fromStdString(m_folder.file("no/such/folder.pdf")),
                           PdfFailure::None, true}};
    const std::string scanBytes = test::ReadFile(scan);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source + " -> " + c.target.toStdString());
        const SearchableOutcome outcome =
            WriteSearchablePdf(QString::fromStdString(c.source), c.target,
                               {{0, {100, 100}, {{"text", {0, 0, 50, 10}}}}});
        EXPECT_EQ(outcome.failure, c.failure);
        EXPECT_EQ(outcome.writeFailed, c.writeFailed);
        EXPECT_FALSE(QFile::exists(Out()));
        EXPECT_EQ(test::ReadFile(scan), scanBytes);
        EXPECT_EQ(FileCount(), 4);  // no temporary file left behind
    }
    EXPECT_FALSE(IsConverterSearchablePdf(QString::fromStdString(scan)));
    // A page where nothing was recognised stays as it was.
    ASSERT_TRUE(Write(scan, {{0, {100, 100}, {{"", {0, 0, 50, 10}}}}}).Succeeded());
    EXPECT_TRUE(IsConverterSearchablePdf(Out()));
    EXPECT_EQ(test::ContentStreams(Out().toStdString()), test::ContentStreams(scan));
}

}  // namespace
}  // namespace kelsor::pdf
