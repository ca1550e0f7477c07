#include "ServiceFixture.h"

#include "BenchSupport.h"
#include "cloud/HWOcrClientToken.h"
#include "cloud/RecognizePictureText.h"
#include "server/process/ServerProcess.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>

namespace kelsor::bench {
namespace {

const std::vector<std::string> kLines = {"文字识别性能测试", "Recognition benchmark line two",
                                         "欢迎使用本软件进行识别", "KelsorOCR 2026"};

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

struct RunningService {
    std::string label;
    std::unique_ptr<server::ServerProcess> process;
};

RunningService& Current() {
    static RunningService service;
    return service;
}

bool StartService(const std::string& label, const std::vector<std::string>& engineArguments,
                  std::string& error) {
    RunningService& service = Current();
    static const bool stoppedAtEnd = (AtTeardown([] { Current().process.reset(); }), true);
    (void)stoppedAtEnd;
    service.process = std::make_unique<server::ServerProcess>();
    service.label = label;
    // A data folder per service: each has its own demo user, so the client
    // fetches a new token instead of offering one the previous service issued.
    const std::string folder = BenchFolder() + "/server-" + label;
    std::vector<std::string> arguments = {"--data", folder,           "--cloud-port",
                                          "0",      "--account-port", "0"};
    arguments.insert(arguments.end(), engineArguments.begin(), engineArguments.end());
    if (!service.process->Start(KELSOR_SERVER_EXE, arguments, folder + ".log", error)) {
        return false;
    }
    server::DemoCloudUser demo;
    if (!server::ReadDemoCloudUser(service.process->DemoUserPath(), demo)) {
        error = "cannot read the demo cloud user";
        return false;
    }
    ::setenv("KELSOR_CLOUD_DOMAIN",
             (".localhost:" + std::to_string(service.process->CloudPort())).c_str(), 1);
    ::setenv("KELSOR_CLOUD_CA_FILE", service.process->CertificatePath().c_str(), 1);
    InitCloudToken(Wide(demo.user), Wide(demo.password), Wide(demo.domain), Wide(demo.project));
    return true;
}

}  // namespace

void EnsureGuiApp() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "kelsor-bench";
    static char* argv[] = {name, nullptr};
    // Widgets, as the batch page's benchmarks build real windows.
    static QApplication app(argc, argv);
}

const std::string& BenchPicture() {
    static const std::string path = [] {
        EnsureGuiApp();
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
        const std::string file = BenchFolder() + "/bench-lines.png";
        image.save(QString::fromStdString(file));
        return file;
    }();
    return path;
}

double OwnCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

bool UseService(const std::string& label, const std::vector<std::string>& engineArguments,
                std::string& error) {
    // A service that failed to start is not retried for every repetition.
    static std::map<std::string, std::string> startErrors;
    if (const auto failed = startErrors.find(label); failed != startErrors.end()) {
        error = failed->second;
        return false;
    }
    if (Current().process && Current().label == label) {
        return true;
    }
    Current().process.reset();
    if (!StartService(label, engineArguments, error)) {
        Current().process.reset();
        startErrors[label] = error;
        return false;
    }
    return true;
}

double ServiceCpuSeconds() {
    return Current().process ? ProcessCpuSeconds(Current().process->Pid()) : 0.0;
}

double ProcessCpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
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

void RunEndToEnd(benchmark::State& state, const std::string& label,
                 const std::vector<std::string>& engineArguments, const std::string& sampleName) {
    std::string error;
    if (!UseService(label, engineArguments, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::wstring path = Wide(BenchPicture());
    const double ownBefore = OwnCpuSeconds();
    const double serviceBefore = ServiceCpuSeconds();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const std::string text = RecognizePictureText(FormatPriority, path);
        RecordSample(
            sampleName,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (text.empty()) {
            state.SkipWithError("recognition through the service failed");
            return;
        }
        benchmark::DoNotOptimize(text.data());
    }
    const double cpu = (OwnCpuSeconds() - ownBefore) + (ServiceCpuSeconds() - serviceBefore);
    RecordSample(sampleName + "_cpu", cpu / static_cast<double>(state.iterations()));
}

double EndToEndRatio(const std::string& e2e, const std::string& own) {
    const double e2eWall = FastestSample(e2e);
    const double ownWall = FastestSample(own);
    std::printf("%s %.1f ms vs %s %.1f ms fastest wall-clock (ratio %.3f)\n", e2e.c_str(),
                e2eWall * 1e3, own.c_str(), ownWall * 1e3, ownWall > 0 ? e2eWall / ownWall : 0.0);
    const double e2eCpu = FastestSample(e2e + "_cpu");
    const double ownCpu = FastestSample(own + "_cpu");
    std::printf("%s %.1f ms vs %s %.1f ms CPU per recognition\n", e2e.c_str(), e2eCpu * 1e3,
                own.c_str(), ownCpu * 1e3);
    return ownCpu > 0 ? e2eCpu / ownCpu : 0.0;
}

}  // namespace kelsor::bench
