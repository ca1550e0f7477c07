// Scanned PDF pages through the converter (render, JPEG, recognition)
// against the same pages sent as pictures through RecognizePictureText, both
// through a kelsor-server on the default engine.
#include "BenchSupport.h"
#include "ServiceFixture.h"

#include <benchmark/benchmark.h>

#include <poppler-qt6.h>

#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>

#include "cloud/RecognizePictureText.h"
#include "pdf/CloudRecognizer.h"
#include "pdf/PdfFile.h"
#include "pdf/PdfToText.h"
#include "pdf/SearchablePdf.h"
#ifdef KELSOR_BENCH_HAVE_EVAL_SET
#include "server/ppocr/eval/TextPicture.h"
#endif

namespace {

using kelsor::bench::BenchFolder;
using kelsor::bench::OwnCpuSeconds;
using kelsor::bench::RecordSample;
using kelsor::bench::ServiceCpuSeconds;

constexpr int kPages = 4;

constexpr int kLinesPerPage = 12;
const char* const kLines[] = {"白日依山尽，黄河入海流。欲穷千里目，更上一层楼。",
                              "Scanned pages become searchable, 2026 edition.",
                              "床前明月光，疑是地上霜。举头望明月，低头思故乡。",
                              "Select and copy the words where they are seen."};

// An A4 scan at 200 dpi: a dozen lines of Chinese and English text and
// nothing else.
QImage ScanOfPage(int page) {
    QImage scan(1654, 2339, QImage::Format_RGB32);
    scan.fill(Qt::white);
    QPainter painter(&scan);
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(40);
    painter.setFont(font);
    for (int line = 0; line < kLinesPerPage; ++line)
        painter.drawText(150, 250 + line * 140, QString::fromUtf8(kLines[(page + line) % 4]));
    return scan;
}

// The scanned PDF, and each of its pages as the picture the converter sends.
struct PdfFixture {
    QString pdf;
    std::vector<std::wstring> pictures;
    QSize pictureSize;  // of each page as rendered for recognition
};

const PdfFixture& Fixture() {
    static const PdfFixture fixture = [] {
        kelsor::bench::EnsureGuiApp();
        PdfFixture made;
        made.pdf = QString::fromStdString(BenchFolder() + "/scanned.pdf");
        QPdfWriter writer(made.pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(200);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        for (int page = 0; page < kPages; ++page) {
            if (page > 0)
                writer.newPage();
            painter.drawImage(painter.viewport(), ScanOfPage(page));
        }
        painter.end();
        kelsor::pdf::PdfFile file;
        file.Open(made.pdf);
        for (int page = 0; page < file.PageCount(); ++page) {
            const std::string path = BenchFolder() + "/page" + std::to_string(page) + ".jpg";
            const QImage picture = file.RenderPage(page);
            made.pictureSize = picture.size();
            picture.save(QString::fromStdString(path), "JPEG", 92);
            made.pictures.push_back(std::wstring(path.begin(), path.end()));
        }
        return made;
    }();
    return fixture;
}

// Runs `body` (which handles kPages pages) per iteration and records the
// wall and CPU time per page as `sample`.
template <typename Body>
void PerPage(benchmark::State& state, const std::string& sample, Body body) {
    std::string error;
    if (!kelsor::bench::UseService("default", {}, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const PdfFixture& fixture = Fixture();
    const double ownBefore = OwnCpuSeconds();
    const double serviceBefore = ServiceCpuSeconds();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!body(fixture)) {
            state.SkipWithError("recognition through the service failed");
            return;
        }
        RecordSample(
            sample,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                kPages);
    }
    const double cpu = (OwnCpuSeconds() - ownBefore) + (ServiceCpuSeconds() - serviceBefore);
    RecordSample(sample + "_cpu", cpu / static_cast<double>(state.iterations() * kPages));
}

// The scanned PDF converted into `targets` with `recognize`; true when every
// page was recognised and everything written.
bool Convert(const PdfFixture& fixture, const kelsor::pdf::PdfTargets& targets,
             const kelsor::pdf::PageRecognizer& recognize = &kelsor::pdf::RecognisePage) {
    const std::atomic<bool> cancel{false};
    const auto outcome =
        kelsor::pdf::ConvertPdf(fixture.pdf, targets, recognize, {}, cancel,
                                kelsor::pdf::PageReading{QStringLiteral(KELSOR_PDF_CONVERTER)});
    return outcome.Succeeded() && outcome.recognisedPages == kPages;
}

QString TextTarget() {
    return QString::fromStdString(BenchFolder() + "/scanned.txt");
}

void BM_PdfScannedPages(benchmark::State& state) {
    PerPage(state, "pdf_scan", [](const PdfFixture& fixture) {
        return Convert(fixture, {TextTarget(), {}});
    });
}

void BM_SamePagesAsPictures(benchmark::State& state) {
    PerPage(state, "pictures", [](const PdfFixture& fixture) {
        for (const std::wstring& picture : fixture.pictures) {
            if (kelsor::RecognizePictureText(kelsor::FormatPriority, picture).empty())
                return false;
        }
        return fixture.pictures.size() == kPages;
    });
}

BENCHMARK(BM_SamePagesAsPictures)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(3);
BENCHMARK(BM_PdfScannedPages)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(3);

// Seconds per page (the inverse of pages per second) on the wall clock, the
// time a user waits; the CPU time of both processes per page is shown too.
[[maybe_unused]] const bool g_ratio =
    (kelsor::bench::AddRatio(
         "pdf_scan_vs_pictures",
         [] {
             kelsor::bench::EndToEndRatio("pdf_scan", "pictures");
             const double pictures = kelsor::bench::FastestSample("pictures");
             return pictures > 0 ? kelsor::bench::FastestSample("pdf_scan") / pictures : 0.0;
         },
         140),
     true);

// The searchable copy: the same conversion with recognition, writing the
// scan again with every recognised line as invisible text; then that text as
// a second reader (Poppler) finds it, against what was recognised and what
// the page says, and where it finds each line.
namespace searchable {

using kelsor::pdf::PageRecognition;

// The last conversion's pages as recognised, and its searchable copy; and
// for every pair of conversions, the copy's wall time over the text file's.
struct Written {
    std::vector<PageRecognition> pages;
    QString pdf;
    std::vector<double> pairRatios;
};

Written& LastWritten() {
    static Written written;
    return written;
}

double WallSecondsPerPageSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kPages;
}

// Wall and CPU seconds (this process and the service) per page of one
// conversion, recorded as `sample` and `sample` + "_cpu"; the wall seconds,
// or 0 when the conversion failed.
template <typename Convert>
double TimedConversion(const std::string& sample, Convert convert) {
    const double cpuBefore = OwnCpuSeconds() + ServiceCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (!convert())
        return 0;
    const double wall = WallSecondsPerPageSince(start);
    RecordSample(sample, wall);
    RecordSample(sample + "_cpu", (OwnCpuSeconds() + ServiceCpuSeconds() - cpuBefore) / kPages);
    return wall;
}

// The text file and the searchable copy in turn, so that both meet the same
// load on the machine.
void BM_SearchablePdf(benchmark::State& state) {
    PerPage(state, "searchable_pair", [](const PdfFixture& fixture) {
        Written& written = LastWritten();
        written.pages.clear();
        written.pdf = QString::fromStdString(BenchFolder() + "/scanned (可搜索).pdf");
        const kelsor::pdf::PageRecognizer recognize = [&written](const QImage& page) {
            written.pages.push_back(kelsor::pdf::RecognisePage(page));
            return written.pages.back();
        };
        const double txt = TimedConversion("searchable_txt_side", [&] {
            return Convert(fixture, {TextTarget(), {}});
        });
        const double copy = TimedConversion("searchable_pdf", [&] {
            return Convert(fixture, {{}, written.pdf}, recognize);
        });
        if (!(txt > 0) || !(copy > 0))
            return false;
        written.pairRatios.push_back(copy / txt);
        // The writer alone, with the lines just recognised: what the copy
        // costs beyond the text file, free of the recognition's noise.
        std::vector<kelsor::pdf::PageTextLayer> layers;
        for (std::size_t page = 0; page < written.pages.size(); ++page)
            layers.push_back(
                {static_cast<int>(page), fixture.pictureSize, written.pages[page].lines});
        const auto start = std::chrono::steady_clock::now();
        const bool rewritten = kelsor::pdf::WriteSearchablePdf(
                                   fixture.pdf, written.pdf + QStringLiteral(".again"), layers)
                                   .Succeeded();
        RecordSample("searchable_writer", WallSecondsPerPageSince(start));
        return rewritten;
    });
}

BENCHMARK(BM_SearchablePdf)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(3);

// What Poppler reads back from the last searchable copy, against the text of
// the .txt (what was recognised) and against the truth of the pages, printed
// as character error rates (a rate of 0 is a result, not a missing one); the
// share of recognised lines Poppler finds within the line's box grown by a
// fifth of its height on every side is returned.
#ifdef KELSOR_BENCH_HAVE_EVAL_SET
std::string TruthOfPage(int page) {
    std::string truth;
    for (int line = 0; line < kLinesPerPage; ++line)
        truth += std::string(kLines[(page + line) % 4]) + "\n";
    return truth;
}

void PrintRate(const char* what, const kelsor::server::ppocr::ErrorCount& count) {
    std::printf("  %s: CER %.2f%% (%lld/%lld)\n", what,
                count.characters > 0 ? 100.0 * count.edits / count.characters : 0.0, count.edits,
                count.characters);
}

double MeasureReadBack() {
    using kelsor::server::ppocr::CountErrors;
    using kelsor::server::ppocr::ErrorCount;
    const Written& written = LastWritten();
    const auto document = Poppler::Document::load(written.pdf);
    if (!document || document->numPages() != static_cast<int>(written.pages.size()))
        return std::nan("");
    ErrorCount vsRecognised, vsTruth, txtVsTruth;
    const auto add = [](ErrorCount& total, const ErrorCount& page) {
        total.edits += page.edits;
        total.characters += page.characters;
    };
    int lines = 0, placed = 0;
    for (int index = 0; index < document->numPages(); ++index) {
        const auto page = document->page(index);
        const PageRecognition& recognised = written.pages[static_cast<std::size_t>(index)];
        const std::string readBack = page->text(QRectF()).toStdString();
        add(vsRecognised, CountErrors(recognised.text, readBack));
        add(vsTruth, CountErrors(TruthOfPage(index), readBack));
        add(txtVsTruth, CountErrors(TruthOfPage(index), recognised.text));
        // Picture pixels to the page's points.
        const double pointsPerPixel =
            72.0 / kelsor::pdf::RenderDpiFor(page->pageSizeF().width(), page->pageSizeF().height());
        for (const kelsor::pdf::RecognisedLine& line : recognised.lines) {
            if (line.text.empty() || line.box.isEmpty())
                continue;
            ++lines;
            const QRectF box(line.box.topLeft() * pointsPerPixel, line.box.size() * pointsPerPixel);
            const double grow = 0.2 * box.height();
            const QRectF grown = box.adjusted(-grow, -grow, grow, grow);
            for (const QRectF& found : page->search(QString::fromStdString(line.text))) {
                if (grown.contains(found)) {
                    ++placed;
                    break;
                }
            }
        }
    }
    std::printf("searchable copy read back by Poppler, %d pages:\n", document->numPages());
    PrintRate("against the recognised text (the .txt)", vsRecognised);
    PrintRate("against the truth of the pages", vsTruth);
    PrintRate("the .txt against the truth", txtVsTruth);
    std::printf("  %d of %d lines found within their grown box\n", placed, lines);
    return lines > 0 ? 100.0 * placed / lines : std::nan("");
}
#else
double MeasureReadBack() {
    std::printf("searchable copy read back: needs the PP-OCR evaluation library\n");
    return std::nan("");
}
#endif

// Seconds per scanned page on the wall clock, the conversion into a
// searchable copy against the one into a text file run just before it (both
// with recognition), the median of the pairs; what the copy adds to the file
// per page, in KB; and the read-back figures.
[[maybe_unused]] const bool g_ratios =
    (kelsor::bench::AddRatio(
         "searchable_pdf_vs_txt",
         [] {
             // The median of the pairs: each pair ran under the same load.
             std::vector<double> pairs = LastWritten().pairRatios;
             if (pairs.empty())
                 return std::nan("");
             std::sort(pairs.begin(), pairs.end());
             std::printf(
                 "searchable copy: fastest %.1f ms per page, text file %.1f ms, the "
                 "writer alone %.1f ms; %zu pairs from %.3f to %.3f\n",
                 kelsor::bench::FastestSample("searchable_pdf") * 1000,
                 kelsor::bench::FastestSample("searchable_txt_side") * 1000,
                 kelsor::bench::FastestSample("searchable_writer") * 1000, pairs.size(),
                 pairs.front(), pairs.back());
             const std::size_t middle = pairs.size() / 2;
             return pairs.size() % 2 == 1 ? pairs[middle] : (pairs[middle - 1] + pairs[middle]) / 2;
         },
         141),
     // The same on the CPU time of the bench and the service, steadier
     // while other work shares the machine.
     kelsor::bench::AddRatio(
         "searchable_pdf_cpu_vs_txt",
         [] {
             const double txt = kelsor::bench::FastestSample("searchable_txt_side_cpu");
             return txt > 0 ? kelsor::bench::FastestSample("searchable_pdf_cpu") / txt
                            : std::nan("");
         },
         141),
     kelsor::bench::AddRatio(
         "searchable_pdf_extra_kb_per_page",
         [] {
             const QFileInfo copy(LastWritten().pdf);
             return copy.exists()
                        ? static_cast<double>(copy.size() - QFileInfo(Fixture().pdf).size()) /
                              kPages / 1024
                        : std::nan("");
         },
         142),
     kelsor::bench::AddRatio(
         "searchable_pdf_lines_placed_percent", [] { return MeasureReadBack(); }, 143),
     true);

}  // namespace searchable
}  // namespace
