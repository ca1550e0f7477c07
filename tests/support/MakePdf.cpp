#include "MakePdf.h"

#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <fstream>

#include "TempFolder.h"

namespace kelsor::test {
namespace {

// Latin lines in DejaVu Sans, the others in Noto Sans CJK SC: Qt's writer
// maps the CJK font's digits to no text, so they would read back empty.
QFont FontFor(const QString& line) {
    bool latin = true;
    for (const QChar c : line)
        latin = latin && c.unicode() < 0x80;
    QFont font(latin ? QStringLiteral("DejaVu Sans") : QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(60);
    return font;
}

// A zlib stream, as /FlateDecode reads it (qCompress puts the length first).
std::string Flate(const std::string& data) {
    const QByteArray packed = qCompress(QByteArray::fromStdString(data), 9);
    return packed.mid(4).toStdString();
}

std::string FlateStream(const std::string& dictionary, const std::string& data) {
    const std::string packed = Flate(data);
    return "<< " + dictionary + " /Filter /FlateDecode /Length " + std::to_string(packed.size()) +
           " >>\nstream\n" + packed + "\nendstream";
}

}  // namespace

bool WriteRawPdf(const std::string& path, const std::vector<RawPdfPage>& pages, int declaredCount) {
    // Objects: 1 catalog, 2 page tree, 3 font, then per page: page, content, image.
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", "",
                                        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
    std::string kids;
    for (const RawPdfPage& page : pages) {
        const int pageObject = static_cast<int>(objects.size()) + 1;
        kids += std::to_string(pageObject) + " 0 R ";
        std::string resources = "/Font << /F1 3 0 R >>";
        if (page.imageSide > 0)
            resources += " /XObject << /Im0 " + std::to_string(pageObject + 2) + " 0 R >>";
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [" + page.mediaBox +
                          "] /Rotate " + std::to_string(page.rotate) + " /Resources << " +
                          resources + " >> /Contents " + std::to_string(pageObject + 1) +
                          " 0 R >>");
        objects.push_back(FlateStream("", page.content));
        if (page.imageSide > 0) {
            const std::string side = std::to_string(page.imageSide);
            objects.push_back(
                FlateStream("/Type /XObject /Subtype /Image /Width " + side + " /Height " + side +
                                " /ColorSpace /DeviceGray /BitsPerComponent 8",
                            std::string(static_cast<std::size_t>(page.imageSide), '\x80')));
        }
    }
    const int count = declaredCount > 0 ? declaredCount : static_cast<int>(pages.size());
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) + " >>";
    return WritePdfObjects(path, objects);
}

bool WritePdfObjects(const std::string& path, const std::vector<std::string>& objects) {
    std::string file = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(file.size());
        file += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = file.size();
    file += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const std::size_t offset : offsets) {
        const std::string number = std::to_string(offset);
        file += std::string(10 - number.size(), '0') + number + " 00000 n \n";
    }
    file += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
            " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    std::ofstream out(path, std::ios::binary);
    out << file;
    return static_cast<bool>(out.flush());
}

std::string StreamObject(const std::string& dictionary, const std::string& data) {
    return FlateStream(dictionary, data);
}

std::string GreyImageObject(int side) {
    const std::string size = std::to_string(side);
    return FlateStream("/Type /XObject /Subtype /Image /Width " + size + " /Height " + size +
                           " /ColorSpace /DeviceGray /BitsPerComponent 8",
                       std::string(static_cast<std::size_t>(side) * side, '\x80'));
}

bool WriteTwoPageTree(const std::string& path, const std::string& fourth,
                      const std::string& fifth) {
    const std::string page =
        "<< /Type /Page /MediaBox [0 0 595 842] /Resources << /XObject << /Im0 3 0 R >> >> "
        "/Contents 7 0 R ";
    return WritePdfObjects(
        path, {"<< /Type /Catalog /Pages 2 0 R >>",
               "<< /Type /Pages /Kids [4 0 R 5 0 R] /Count 2 >>", GreyImageObject(60),
               page + "/Parent 2 0 R " + fourth + ">>", page + "/Parent 2 0 R " + fifth + ">>",
               page + "/Parent 5 0 R >>", StreamObject("", "q 595 0 0 842 0 0 cm /Im0 Do Q")});
}

bool WriteSlowPdf(const std::string& path, int slowPages, const std::string& lastLine) {
    // 1 catalog, 2 page tree, 3 font, 4.. the forms, the deepest first; then
    // the pages and their contents.
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", "",
                                        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
    const std::string form = "/Type /XObject /Subtype /Form /BBox [0 0 595 842]";
    objects.push_back(StreamObject(form, HeavyContent(100)));
    std::string tenTimes;
    for (int i = 0; i < 10; ++i)
        tenTimes += "/X Do\n";
    for (int depth = 1; depth <= 8; ++depth)
        objects.push_back(StreamObject(
            form + " /Resources << /XObject << /X " + std::to_string(objects.size()) + " 0 R >> >>",
            tenTimes));
    const std::string top = std::to_string(objects.size());
    std::string kids;
    for (int page = 0; page < slowPages + (lastLine.empty() ? 0 : 1); ++page) {
        const std::string number = std::to_string(objects.size() + 1);
        kids += number + " 0 R ";
        objects.push_back(
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << "
            "/Font << /F1 3 0 R >> /XObject << /X " +
            top + " 0 R >> >> /Contents " + std::to_string(objects.size() + 2) + " 0 R >>");
        objects.push_back(StreamObject("", page < slowPages ? "/X Do" : TextContent(lastLine)));
    }
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " +
                 std::to_string(slowPages + (lastLine.empty() ? 0 : 1)) + " >>";
    return WritePdfObjects(path, objects);
}

std::string TextContent(const std::string& line) {
    return "BT /F1 24 Tf 72 720 Td (" + line + ") Tj ET";
}

std::string HeavyContent(int strokes) {
    std::string content = "0.1 w\n";
    for (int i = 0; i < strokes; ++i)
        content +=
            "0 " + std::to_string(i % 842) + " m 595 " + std::to_string(842 - i % 842) + " l S\n";
    return content;
}

bool WritePdf(const std::string& path, const std::vector<PdfPageContent>& pages) {
    QPdfWriter writer(QString::fromStdString(path));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(300);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    const QRect area = painter.viewport();
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (i > 0 && !writer.newPage())
            return false;
        const PdfPageContent& content = pages[i];
        if (!content.scan.isNull()) {
            const QSize fitted = content.scan.size().scaled(area.size(), Qt::KeepAspectRatio);
            painter.drawImage(QRect(QPoint(0, 0), fitted), content.scan);
            continue;
        }
        int y = 200;
        for (const QString& line : content.lines) {
            painter.setFont(FontFor(line));
            painter.drawText(150, y, line);
            y += 120;
        }
    }
    return painter.end();
}

bool EncryptPdf(const std::string& source, const std::string& target,
                const std::string& userPassword) {
    return Shell("qpdf --encrypt '" + userPassword + "' owner 256 -- '" + source + "' '" + target +
                 "'") == 0;
}

}  // namespace kelsor::test
