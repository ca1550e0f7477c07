#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "jobs/ServicePicture.h"

namespace kelsor::tools {

// What one FILE gave: its text (process code page, CR LF line ends), and
// why it gave none or not all of it.
// A scanned page of a document that was recognised, as the history keeps it.
struct OcrScannedPage {
    int number = 0;  // from 1
    std::string text;
    std::vector<std::uint8_t> thumbnail;  // a JPEG; may be empty
};

struct OcrText {
    std::string text;
    std::string failure;
    std::vector<OcrScannedPage> scannedPages;
};

// The files kelsor-ocr reads besides pictures (PDFs), given by the program
// that links a reader of them. Called on the run's thread, signed in.
class OcrDocuments {
public:
    virtual ~OcrDocuments() = default;
    // Whether `path` names such a document rather than a picture.
    virtual bool Takes(const std::wstring& path) const = 0;
    // The document's text for standard output or its .txt file.
    virtual OcrText Read(const std::wstring& path, int formatType) = 0;

    // --pdf: before anything is recognised, why `target` must not be
    // written (it is one of the `inputs`); empty when it may.
    virtual std::string StartPdf(const std::string& target,
                                 const std::vector<std::wstring>& inputs) = 0;
    // --pdf: adds `path` (a document, or a picture as one page); why it was
    // not added, or not all of its text was found.
    virtual std::string AddToPdf(const std::wstring& path) = 0;
    // --pdf: writes the PDF whole; why it was not written.
    virtual std::string FinishPdf() = 0;
    // Whether scanned pages and pictures have their codes read (before the
    // first document).
    virtual void SetCodeReading(CodeReading codes) = 0;
};

// A fresh JPEG work file of this run in the data folder (the client's own
// batch tasks name theirs after the picture, which a run beside it must not
// overwrite), removed when it goes and by a run that is interrupted. One at
// a time.
class OcrWorkPicture {
public:
    OcrWorkPicture();
    ~OcrWorkPicture();
    OcrWorkPicture(const OcrWorkPicture&) = delete;
    OcrWorkPicture& operator=(const OcrWorkPicture&) = delete;
    // Empty when none can be made.
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};

// kelsor-ocr: recognises the pictures (and, with `documents`, the documents)
// its arguments name with the desktop client's saved session and
// recognition road, and prints their text to `out`, writes their .txt files
// or, with --pdf, one searchable PDF; progress and failures go to `err`.
// Returns an OcrExit code.
int RunOcr(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err,
           OcrDocuments* documents = nullptr);

}  // namespace kelsor::tools
