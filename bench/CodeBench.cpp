// What reading codes adds to a recognition: the local code scan of a
// 1920 x 1080 capture (text in two columns and a QR code) against the
// recognition of the same capture through a kelsor-server with its default
// engine, in CPU time (this process and the service):
// RATIO codes_cpu_vs_recognition (goal: at most 0.1).
#include "BenchSupport.h"
#include "ServiceFixture.h"

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <benchmark/benchmark.h>

#include <QFont>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "app/TextConv.h"
#include "jobs/CodeLines.h"
#include "jobs/ServicePicture.h"

namespace {

QImage QrPicture(const std::wstring& payload, int side) {
    const ZXing::BitMatrix matrix = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                                        .setMargin(4)
                                        .encode(payload, side, side);
    QImage picture(matrix.width(), matrix.height(), QImage::Format_RGB32);
    for (int y = 0; y < matrix.height(); ++y) {
        for (int x = 0; x < matrix.width(); ++x) {
            picture.setPixel(x, y, matrix.get(x, y) ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return picture;
}

// A screen of text in two columns with a QR code in the right one.
const std::string& CapturePicture() {
    static const std::string path = [] {
        kelsor::bench::EnsureGuiApp();
        QImage screen(1920, 1080, QImage::Format_RGB32);
        screen.fill(Qt::white);
        QPainter painter(&screen);
        QFont font(QStringLiteral("Noto Sans CJK SC"));
        font.setPixelSize(22);
        painter.setFont(font);
        painter.setPen(Qt::black);
        const QString lines[] = {
            QStringLiteral("订单详情 Order details: 2024-06-01 12:30"),
            QStringLiteral("收货地址：北京市海淀区中关村大街 1 号"),
            QStringLiteral("The parcel leaves the warehouse today."),
            QStringLiteral("扫描右侧二维码查看物流信息与发票"),
        };
        for (int row = 0; row < 28; ++row) {
            painter.drawText(60, 60 + row * 36, lines[row % 4]);
            if (row < 14) {
                painter.drawText(1000, 60 + row * 36, lines[(row + 1) % 4]);
            }
        }
        painter.drawImage(1100, 620, QrPicture(L"https://example.cn/order/20240601?id=42", 300));
        painter.end();
        const std::string file = kelsor::bench::BenchFolder() + "/bench-capture.png";
        screen.save(QString::fromStdString(file));
        return file;
    }();
    return path;
}

void BM_CodeScanOfCapture(benchmark::State& state) {
    std::ifstream in(CapturePicture(), std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    const double before = kelsor::bench::OwnCpuSeconds();
    for (auto _ : state) {
        const kelsor::CodeScan scan = kelsor::ScanPictureCodes(bytes.data(), bytes.size());
        if (scan.codes.size() != 1) {
            state.SkipWithError("the capture's QR code was not read");
            return;
        }
        benchmark::DoNotOptimize(scan.codes.data());
    }
    kelsor::bench::RecordSample("codes_cpu", (kelsor::bench::OwnCpuSeconds() - before) /
                                                 static_cast<double>(state.iterations()));
}

void BM_RecognitionOfCapture(benchmark::State& state) {
    std::string error;
    if (!kelsor::bench::UseService("default", {}, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::wstring path = kelsor::AnsiToWide(CapturePicture());
    const double ownBefore = kelsor::bench::OwnCpuSeconds();
    const double serviceBefore = kelsor::bench::ServiceCpuSeconds();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const std::string text = kelsor::ReadServicePictureText(0, path, kelsor::CodeReading::Off);
        kelsor::bench::RecordSample(
            "capture_recognition",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (text.empty()) {
            state.SkipWithError("recognition through the service failed");
            return;
        }
    }
    const double cpu = (kelsor::bench::OwnCpuSeconds() - ownBefore) +
                       (kelsor::bench::ServiceCpuSeconds() - serviceBefore);
    kelsor::bench::RecordSample("capture_recognition_cpu",
                                cpu / static_cast<double>(state.iterations()));
}

BENCHMARK(BM_CodeScanOfCapture)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(2);
BENCHMARK(BM_RecognitionOfCapture)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(2);

[[maybe_unused]] const bool g_ratio =
    (kelsor::bench::AddRatio(
         "codes_cpu_vs_recognition",
         [] {
             const double codes = kelsor::bench::FastestSample("codes_cpu");
             const double recognition = kelsor::bench::FastestSample("capture_recognition_cpu");
             std::printf("code scan %.1f ms vs recognition %.1f ms CPU (capture 1920 x 1080)\n",
                         codes * 1e3, recognition * 1e3);
             return recognition > 0 ? codes / recognition : 0.0;
         },
         150),
     true);

}  // namespace
