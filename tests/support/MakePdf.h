#pragma once

#include <QImage>
#include <QString>
#include <string>
#include <vector>

// PDF files the tests make themselves with Qt's PDF writer: pages with a
// text layer, and scanned pages that are a picture and nothing else.
namespace kelsor::test {

struct PdfPageContent {
    std::vector<QString> lines;  // a text page: these lines, as text
    QImage scan;                 // a scanned page: this picture, filling the page
};

// A4 pages in order; false when the file cannot be written.
bool WritePdf(const std::string& path, const std::vector<PdfPageContent>& pages);

// `source` encrypted with the user password "secret" (qpdf, AES-256).
bool EncryptPdf(const std::string& source, const std::string& target);

}  // namespace kelsor::test
