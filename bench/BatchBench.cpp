// The batch runner against a plain loop doing the same work (convert to JPEG,
// recognise through a kelsor-server, write the text file) on the same 100
// small pictures, in the same run: RATIO batch_vs_direct.
//
// This file starts its own kelsor-server and points the cloud client at it.
// Its benchmarks are registered after those of the files listed before it in
// the target, so they run last and leave the others' service alone.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/AppContext.h"
#include "cloud/HWOcrClientToken.h"
#include "cloud/RecognizePictureText.h"
#include "jobs/ConvertTaskMgr.h"
#include "jobs/FileIo.h"
#include "jobs/PictureUtils.h"
#include "server/process/ServerProcess.h"

namespace {

constexpr int kPictures = 100;

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// The bench's folder for this file, with its subfolders made on first use.
std::string BatchFolder() {
    static const std::string folder = [] {
        const std::string batch = kelsor::bench::BenchFolder() + "/batch";
        for (const char* sub : {"/pictures", "/work", "/direct", "/server"}) {
            std::filesystem::create_directories(batch + sub);
        }
        return batch;
    }();
    return folder;
}

// One small picture of one short line per item, rendered once.
const std::vector<std::wstring>& Pictures() {
    static const std::vector<std::wstring> pictures = [] {
        std::vector<std::wstring> paths;
        const std::string folder = BatchFolder() + "/pictures";
        for (int i = 0; i < kPictures; ++i) {
            const std::string path = folder + "/item" + std::to_string(i) + ".png";
            const std::string command =
                "/usr/bin/convert -size 360x80 xc:white -font DejaVu-Sans -pointsize 32 "
                "-fill black -annotate +16+52 'ITEM " +
                std::to_string(i) + " OK' '" + path + "'";
            if (std::system(command.c_str()) != 0) {
                return std::vector<std::wstring>{};
            }
            paths.push_back(Wide(path));
        }
        return paths;
    }();
    return pictures;
}

std::unique_ptr<kelsor::server::ServerProcess> service;

bool EnsureBatchService(std::string& error) {
    static std::string startError;
    if (service) {
        error = startError;
        return startError.empty();
    }
    service = std::make_unique<kelsor::server::ServerProcess>();
    kelsor::bench::AtTeardown([] { service.reset(); });
    if (!service->Start(KELSOR_SERVER_EXE,
                        {"--data", BatchFolder() + "/server", "--cloud-port", "0", "--account-port",
                         "0", "--engine", "tesseract"},
                        BatchFolder() + "/server.log", startError)) {
        error = startError;
        return false;
    }
    kelsor::server::DemoCloudUser demo;
    if (!kelsor::server::ReadDemoCloudUser(service->DemoUserPath(), demo)) {
        startError = error = "cannot read the demo cloud user";
        return false;
    }
    ::setenv("KELSOR_CLOUD_DOMAIN", (".localhost:" + std::to_string(service->CloudPort())).c_str(),
             1);
    ::setenv("KELSOR_CLOUD_CA_FILE", service->CertificatePath().c_str(), 1);
    kelsor::InitCloudToken(Wide(demo.user), Wide(demo.password), Wide(demo.domain),
                           Wide(demo.project));
    return true;
}

bool Prepare(benchmark::State& state) {
    std::string error;
    if (!EnsureBatchService(error)) {
        state.SkipWithError(error.c_str());
        return false;
    }
    if (Pictures().size() != kPictures) {
        state.SkipWithError("cannot render the pictures");
        return false;
    }
    return true;
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_Batch_DirectLoop(benchmark::State& state) {
    if (!Prepare(state)) {
        return;
    }
    const std::wstring work = Wide(BatchFolder() + "/work/");
    const std::wstring out = Wide(BatchFolder() + "/direct/");
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        int failed = 0;
        for (int i = 0; i < kPictures; ++i) {
            const std::wstring temp = work + L"item" + std::to_wstring(i) + L".jpg";
            kelsor::ConvertPictureToJpeg(100, Pictures()[i], temp);
            const std::string text = kelsor::RecognizePictureText(kelsor::FormatPriority, temp);
            kelsor::RemoveFile(temp);
            if (text.empty() ||
                !kelsor::WriteResultTextFile(out + L"item" + std::to_wstring(i) + L".txt", text)) {
                ++failed;
            }
        }
        kelsor::bench::RecordSample("batch_direct", Since(start));
        if (failed != 0) {
            state.SkipWithError("a recognition failed");
            return;
        }
    }
}

void RunBatch(benchmark::State& state, bool wakeOnRecognitionEnd, const char* sample) {
    if (!Prepare(state)) {
        return;
    }
    kelsor::App().dataFolder = Wide(BatchFolder() + "/work/");
    kelsor::App().useCustomOutputFolder = 0;
    kelsor::BatchSourceFolder() = Wide(BatchFolder() + "/pictures/");
    for (auto _ : state) {
        kelsor::ConverCtrl ctrl;
        std::mutex mutex;
        std::condition_variable cv;
        int finished = 0;
        int failed = 0;
        ctrl.SetTaskEventHandler([&](const kelsor::TaskStatus& status) {
            if (status.state == kelsor::Succeeded || status.state == kelsor::Failed) {
                std::lock_guard lock(mutex);
                ++finished;
                failed += status.state == kelsor::Failed;
                cv.notify_all();
            }
        });
        std::vector<std::unique_ptr<kelsor::BatchFileItem>> items;
        for (int i = 0; i < kPictures; ++i) {
            auto item = std::make_unique<kelsor::BatchFileItem>();
            item->id = i + 1;
            item->fileName = L"item" + std::to_wstring(i) + L".png";
            item->sourcePath = Pictures()[i];
            items.push_back(std::move(item));
        }
        kelsor::ConvertTaskMgr mgr(&kelsor::RecognizePictureText, &ctrl);
        mgr.SetWakeOnRecognitionEnd(wakeOnRecognitionEnd);
        const auto start = std::chrono::steady_clock::now();
        for (auto& item : items) {
            mgr.AddTask(*item);
        }
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return finished == kPictures; });
        kelsor::bench::RecordSample(sample, Since(start));
        if (failed != 0) {
            state.SkipWithError("a task failed");
            return;
        }
    }
}

// The worker looks at a task as soon as its recognition ends (the default).
void BM_Batch_TaskRunner(benchmark::State& state) {
    RunBatch(state, true, "batch_runner");
}

// For comparison: the worker sleeps out its 100 ms polling step.
void BM_Batch_TaskRunnerSleepingStep(benchmark::State& state) {
    RunBatch(state, false, "batch_runner_sleeping");
}

BENCHMARK(BM_Batch_DirectLoop)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(2);
BENCHMARK(BM_Batch_TaskRunner)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(2);
BENCHMARK(BM_Batch_TaskRunnerSleepingStep)->Unit(benchmark::kSecond)->Iterations(1);

// Wall time: the runner's overhead is waiting (polling, event delivery), which
// CPU time would not show. The fastest of the repetitions counts.
[[maybe_unused]] const bool g_batchRatio =
    (kelsor::bench::AddRatio(
         "batch_vs_direct",
         [] {
             const double runner = kelsor::bench::FastestSample("batch_runner");
             const double sleeping = kelsor::bench::FastestSample("batch_runner_sleeping");
             const double direct = kelsor::bench::FastestSample("batch_direct");
             std::printf(
                 "100 pictures: runner %.2f s (sleeping out its steps %.2f s), direct loop %.2f "
                 "s\n",
                 runner, sleeping, direct);
             return direct > 0 ? runner / direct : 0.0;
         },
         110),
     true);

}  // namespace
