#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "pdf/PageProcess.h"
#include "pdf/SearchableBook.h"
#include "tools/OcrProgram.h"

// kelsor-ocr's PDFs: their text for standard output and .txt files, and the
// searchable PDF of --pdf. Pages are read by page processes, as in the
// converter, so that a hostile file costs its page and not the run.
namespace kelsor::cli {

class OcrPdfDocuments : public tools::OcrDocuments {
public:
    // `reading` names the program the page processes run (kelsor-ocr itself).
    explicit OcrPdfDocuments(pdf::PageReading reading);
    ~OcrPdfDocuments() override;

    bool Takes(const std::wstring& path) const override;
    tools::OcrText Read(const std::wstring& path, int formatType) override;
    std::string StartPdf(const std::string& target,
                         const std::vector<std::wstring>& inputs) override;
    std::string AddToPdf(const std::wstring& path) override;
    std::string FinishPdf() override;
    void SetCodeReading(CodeReading codes) override { m_codes = codes; }

private:
    std::string AddPdf(const QString& path);
    std::string AddPicture(const std::wstring& path);

    pdf::PageReading m_reading;
    CodeReading m_codes = CodeReading::On;
    // Nothing cancels a page read: an interrupted run ends the process.
    std::atomic<bool> m_cancel{false};
    QString m_target;
    std::unique_ptr<pdf::SearchableBook> m_book;
};

}  // namespace kelsor::cli
