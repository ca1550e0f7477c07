// End-to-end RecognizePictureText through a kelsor-server started here,
// against the Tesseract API's own time on the same picture.
#include "BenchSupport.h"
#include "cloud/HWOcrClientToken.h"
#include "cloud/RecognizePictureText.h"
#include "server/process/ServerProcess.h"

#include <benchmark/benchmark.h>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

namespace {

const std::vector<std::string> kLines = {"文字识别性能测试", "Recognition benchmark line two",
                                         "欢迎使用本软件进行识别", "KelsorOCR 2026"};

// The picture both benchmarks recognise: text large enough that the service
// does not upscale it, so both sides do the same recognition work.
const std::string& Picture() {
    static const std::string path = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "kelsor-bench";
        static char* argv[] = {name, nullptr};
        static QGuiApplication app(argc, argv);
        QFont font("Noto Sans CJK SC");
        font.setPixelSize(40);
        const QFontMetrics metrics(font);
        int width = 0;
        for (const std::string& line : kLines) {
            width = std::max(width, metrics.horizontalAdvance(QString::fromUtf8(line.c_str())));
        }
        const int lineHeight = metrics.height() * 3 / 2;
        QImage image(width + 160, static_cast<int>(kLines.size()) * lineHeight + 160,
                     QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        int y = 80 + metrics.ascent();
        for (const std::string& line : kLines) {
            painter.drawText(80, y, QString::fromUtf8(line.c_str()));
            y += lineHeight;
        }
        painter.end();
        const std::string file = kelsor::bench::BenchFolder() + "/bench-lines.png";
        image.save(QString::fromStdString(file));
        return file;
    }();
    return path;
}

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::unique_ptr<kelsor::server::ServerProcess> process;

// CPU seconds used so far by this process, and by the service.
double OwnCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

double ServiceCpuSeconds() {
    std::ifstream stat("/proc/" + std::to_string(process->Pid()) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Fields after the command name (which ends with ')'): utime and stime are the 12th and 13th.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 1; i <= 13 && fields >> field; ++i) {
        if (i >= 12) {
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// One kelsor-server for the whole run, with the client signed in to it.
bool EnsureService(std::string& error) {
    static std::string startError;
    if (process) {
        error = startError;
        return startError.empty();
    }
    process = std::make_unique<kelsor::server::ServerProcess>();
    const std::string folder = kelsor::bench::BenchFolder();
    if (!process->Start(KELSOR_SERVER_EXE,
                        {"--data", folder + "/server", "--cloud-port", "0", "--account-port", "0",
                         "--engine", "tesseract"},
                        folder + "/server.log", startError)) {
        error = startError;
        return false;
    }
    kelsor::server::DemoCloudUser demo;
    if (!kelsor::server::ReadDemoCloudUser(process->DemoUserPath(), demo)) {
        startError = error = "cannot read the demo cloud user";
        return false;
    }
    ::setenv("KELSOR_CLOUD_DOMAIN", (".localhost:" + std::to_string(process->CloudPort())).c_str(),
             1);
    ::setenv("KELSOR_CLOUD_CA_FILE", process->CertificatePath().c_str(), 1);
    kelsor::InitCloudToken(Wide(demo.user), Wide(demo.password), Wide(demo.domain),
                           Wide(demo.project));
    return true;
}

void BM_EndToEnd_RecognizePictureText(benchmark::State& state) {
    std::string error;
    if (!EnsureService(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::wstring path = Wide(Picture());
    const double ownBefore = OwnCpuSeconds();
    const double serviceBefore = ServiceCpuSeconds();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const std::string text = kelsor::RecognizePictureText(kelsor::FormatPriority, path);
        kelsor::bench::RecordSample(
            "e2e", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (text.empty()) {
            state.SkipWithError("recognition through the service failed");
            return;
        }
        benchmark::DoNotOptimize(text.data());
    }
    const double cpu = (OwnCpuSeconds() - ownBefore) + (ServiceCpuSeconds() - serviceBefore);
    kelsor::bench::RecordSample("e2e_cpu", cpu / static_cast<double>(state.iterations()));
}

void BM_TesseractApi(benchmark::State& state) {
    tesseract::TessBaseAPI api;
    if (api.Init(nullptr, "chi_sim+eng", tesseract::OEM_LSTM_ONLY) != 0) {
        state.SkipWithError("cannot load chi_sim+eng");
        return;
    }
    api.SetVariable("debug_file", "/dev/null");
    api.SetPageSegMode(tesseract::PSM_AUTO);
    const std::string path = Picture();
    const double ownBefore = OwnCpuSeconds();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Pix* pix = pixRead(path.c_str());
        api.SetImage(pix);
        std::unique_ptr<char[]> text(api.GetUTF8Text());
        kelsor::bench::RecordSample(
            "tesseract",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        benchmark::DoNotOptimize(text.get());
        api.Clear();
        pixDestroy(&pix);
    }
    kelsor::bench::RecordSample(
        "tesseract_cpu", (OwnCpuSeconds() - ownBefore) / static_cast<double>(state.iterations()));
    api.End();
}

BENCHMARK(BM_TesseractApi)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(2);
BENCHMARK(BM_EndToEnd_RecognizePictureText)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(2);

// CPU time of a recognition through the service (this process plus the
// service process) against the API's own: unlike wall time it holds still
// when other work shares the cores. The fastest wall-clock runs are shown too.
[[maybe_unused]] const bool g_ratio =
    (kelsor::bench::AddRatio(
         "e2e_vs_tesseract",
         [] {
             const double e2eWall = kelsor::bench::FastestSample("e2e");
             const double apiWall = kelsor::bench::FastestSample("tesseract");
             std::printf("e2e %.1f ms vs tesseract %.1f ms fastest wall-clock (ratio %.3f)\n",
                         e2eWall * 1e3, apiWall * 1e3, apiWall > 0 ? e2eWall / apiWall : 0.0);
             const double e2e = kelsor::bench::FastestSample("e2e_cpu");
             const double api = kelsor::bench::FastestSample("tesseract_cpu");
             std::printf("e2e %.1f ms vs tesseract %.1f ms CPU per recognition\n", e2e * 1e3,
                         api * 1e3);
             return api > 0 ? e2e / api : 0.0;
         },
         101),
     true);

}  // namespace
