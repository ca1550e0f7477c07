// Scanned PDF pages through the converter (render, JPEG, recognition)
// against the same pages sent as pictures through RecognizePictureText, both
// through a kelsor-server on the default engine.
#include "BenchSupport.h"
#include "ServiceFixture.h"

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <atomic>
#include <chrono>
#include <cmath>

#include "cloud/RecognizePictureText.h"
#include "pdf/CloudRecognizer.h"
#include "pdf/PdfFile.h"
#include "pdf/PdfToText.h"
#include "pdf/SearchablePdf.h"

namespace {

using kelsor::bench::BenchFolder;
using kelsor::bench::OwnCpuSeconds;
using kelsor::bench::RecordSample;
using kelsor::bench::ServiceCpuSeconds;

constexpr int kPages = 4;

const char* const kLines[] = {"白日依山尽，黄河入海流。欲穷千里目，更上一层楼。",
                              "春眠不觉晓，处处闻啼鸟。夜来风雨声，花落知多少。",
                              "床前明月光，疑是地上霜。举头望明月，低头思故乡。",
                              "千山鸟飞绝，万径人踪灭。孤舟蓑笠翁，独钓寒江雪。"};

// An A4 scan at 200 dpi: a dozen lines of text and nothing else.
QImage ScanOfPage(int page) {
    QImage scan(1654, 2339, QImage::Format_RGB32);
    scan.fill(Qt::white);
    QPainter painter(&scan);
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(40);
    painter.setFont(font);
    for (int line = 0; line < 12; ++line)
        painter.drawText(150, 250 + line * 140, QString::fromUtf8(kLines[(page + line) % 4]));
    return scan;
}

// The scanned PDF, and each of its pages as the picture the converter sends.
struct PdfFixture {
    QString pdf;
    std::vector<std::wstring> pictures;
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
            file.RenderPage(page).save(QString::fromStdString(path), "JPEG", 92);
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

void BM_PdfScannedPages(benchmark::State& state) {
    PerPage(state, "pdf_scan", [](const PdfFixture& fixture) {
        const std::atomic<bool> cancel{false};
        const auto outcome = kelsor::pdf::ConvertPdf(
            fixture.pdf, {QString::fromStdString(BenchFolder() + "/scanned.txt"), {}},
            &kelsor::pdf::RecognisePage, {}, cancel,
            kelsor::pdf::PageReading{QStringLiteral(KELSOR_PDF_CONVERTER)});
        return outcome.Succeeded() && outcome.recognisedPages == kPages;
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

// The searchable copy: the same conversion, then the scan written again with
// an invisible line for every line drawn on it (the boxes recognition gives).
namespace searchable {

std::vector<kelsor::pdf::PageTextLayer> LayersOf(const PdfFixture& fixture) {
    std::vector<kelsor::pdf::PageTextLayer> layers;
    kelsor::pdf::PdfFile file;
    file.Open(fixture.pdf);
    for (int page = 0; page < file.PageCount(); ++page) {
        kelsor::pdf::PageTextLayer layer{page, file.RenderPage(page).size(), {}};
        const double scale = layer.pictureSize.width() / 1654.0;
        for (int line = 0; line < 12; ++line)
            layer.lines.push_back(
                {kLines[(page + line) % 4],
                 QRectF(150 * scale, (210 + line * 140) * scale, 960 * scale, 50 * scale)});
        layers.push_back(layer);
    }
    return layers;
}

double g_extraBytesPerPage = std::nan("");

void BM_SearchablePdf(benchmark::State& state) {
    PerPage(state, "searchable_pdf", [](const PdfFixture& fixture) {
        static const std::vector<kelsor::pdf::PageTextLayer> layers = LayersOf(fixture);
        const std::atomic<bool> cancel{false};
        const auto outcome = kelsor::pdf::ConvertPdf(
            fixture.pdf, {QString::fromStdString(BenchFolder() + "/scanned.txt"), {}},
            &kelsor::pdf::RecognisePage, {}, cancel,
            kelsor::pdf::PageReading{QStringLiteral(KELSOR_PDF_CONVERTER)});
        const QString target = QString::fromStdString(BenchFolder() + "/scanned (可搜索).pdf");
        const auto start = std::chrono::steady_clock::now();
        if (!outcome.Succeeded() || outcome.recognisedPages != kPages ||
            !kelsor::pdf::WriteSearchablePdf(fixture.pdf, target, layers).Succeeded())
            return false;
        // The writer alone: the same recognition wait on a loaded machine
        // would otherwise hide or swamp it.
        RecordSample(
            "searchable_writer",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                kPages);
        g_extraBytesPerPage =
            static_cast<double>(QFileInfo(target).size() - QFileInfo(fixture.pdf).size()) / kPages;
        return true;
    });
}

BENCHMARK(BM_SearchablePdf)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(3);

// Seconds per scanned page on the wall clock, the text file and the
// searchable copy written after it against the text file alone; and what the copy adds to the file
// per page, in KB.
[[maybe_unused]] const bool g_ratios =
    (kelsor::bench::AddRatio(
         "searchable_pdf_vs_txt",
         [] {
             const double txt = kelsor::bench::FastestSample("pdf_scan");
             return txt > 0 ? (txt + kelsor::bench::FastestSample("searchable_writer")) / txt
                            : std::nan("");
         },
         141),
     kelsor::bench::AddRatio(
         "searchable_pdf_extra_kb_per_page", [] { return g_extraBytesPerPage / 1024; }, 142),
     true);

}  // namespace searchable
}  // namespace
