#pragma once

#include <QImage>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pdf/PageProcess.h"
#include "pdf/PdfFile.h"
#include "pdf/SearchablePdf.h"

// The conversion of one PDF file into one text file: text-layer pages give
// their text directly, the other pages are rendered and recognised.
//
// The text file is UTF-8 with "\n" line ends. Every page starts with a
// marker line "===== 第 N 页 =====" and pages are separated by a blank
// line; a page that gave no text says why in one line in brackets.
namespace kelsor::pdf {

// What the recognition of one rendered page gave.
struct PageRecognition {
    enum class Status {
        Recognised,   // `text` holds the lines (may be empty: nothing found)
        NotSignedIn,  // nobody is signed in to the client
        Failed,       // the service could not be reached or refused the page
    };
    Status status = Status::Failed;
    std::string text;  // UTF-8, one line per recognised line
    // The same lines, each with its box in pixels of the rendered page (an
    // empty box where the service gave none).
    std::vector<RecognisedLine> lines;
};

// Recognises a rendered page. Called from the converting thread, one page at
// a time.
using PageRecognizer = std::function<PageRecognition(const QImage& page)>;

// Told after each page: pages done so far and the page count.
using PageProgress = std::function<void(int pagesDone, int pageCount)>;

// A scanned page that gave text, as the history keeps it.
struct ScannedPageText {
    int number = 0;  // from 1
    QString text;
    // The page made small, as a JPEG: a long scan holds one for every page.
    std::vector<std::uint8_t> thumbnail;
};

struct PdfOutcome {
    PdfFailure failure = PdfFailure::None;
    bool cancelled = false;
    bool writeFailed = false;
    int pageCount = 0;
    int textPages = 0;          // from the text layer
    int recognisedPages = 0;    // recognised, with text found
    int notSignedInPages = 0;   // scanned pages left because nobody is signed in
    int unrecognisedPages = 0;  // scanned pages that gave no text, or unreadable pages
    QString outputPath;         // where the text went (the name asked for, unless it was taken)
    QString searchablePath;     // where the searchable copy went, the same way
    SearchableOutcome searchable;
    std::vector<ScannedPageText> scannedPages;

    bool Succeeded() const {
        return failure == PdfFailure::None && !cancelled && !writeFailed && searchable.Succeeded();
    }
};

// What one conversion writes: the text file and the searchable copy of the
// PDF (its scanned pages with their recognised lines as an invisible text
// layer); an empty path is not written.
struct PdfTargets {
    QString text;
    QString searchable;
};

// What the file list says of an outcome: the failure's reason, "已取消",
// which file could not be written, "转换完成", or "转换完成" with the pages
// that gave no text.
std::wstring OutcomeText(const PdfOutcome& outcome);

// A page made small for the history, as a JPEG; empty when it cannot be
// encoded.
std::vector<std::uint8_t> PageThumbnail(const QImage& page);

// The marker line that starts page `number` (from 1).
QString PageMarker(int number);

// Whether the file at `path` is a text this converter wrote (it starts with
// the first page's marker line). Only such a file is ever replaced.
bool IsConverterText(const QString& path);

// Converts `pdfPath` into `targets`. Each is replaced only once it is
// written whole (a cancelled or failed run leaves any earlier file as it
// was), and only when the converter wrote it: a file of the user's under that
// name, or the PDF itself, stays, and the output takes the next free " (2)"
// name. The pages are read as `reading` says, the next one while this one is
// recognised. `cancel` ends the run at once, or before the next page while
// one is being recognised; a cancelled run writes nothing.
PdfOutcome ConvertPdf(const QString& pdfPath, const PdfTargets& targets,
                      const PageRecognizer& recognize, const PageProgress& progress,
                      const std::atomic<bool>& cancel, const PageReading& reading);

}  // namespace kelsor::pdf
