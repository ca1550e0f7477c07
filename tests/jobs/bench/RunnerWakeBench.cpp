// Measures the batch runner against a plain loop doing the same work, with the
// worker waking as soon as recognition ends and with it sleeping out its
// 100 ms polling step. Recognition is simulated by a fixed delay so that the
// runner's own overhead shows; the pictures and conversions are real.
//
//   jobs_runner_bench [pictures=100] [recognition-ms=40]
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../TestPictures.h"
#include "app/AppContext.h"
#include "jobs/ConvertTaskMgr.h"
#include "jobs/FileIo.h"
#include "jobs/PictureUtils.h"

namespace {

using Clock = std::chrono::steady_clock;
using kelsor::BatchFileItem;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

kelsor::RecognizeFunction Recognition(int delayMs) {
    return [delayMs](int, const std::wstring&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        return std::string("recognised line one\r\nline two");
    };
}

double DirectLoop(const std::vector<std::wstring>& pictures, const std::wstring& work,
                  const std::wstring& out, const kelsor::RecognizeFunction& recognize) {
    const auto start = Clock::now();
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const std::wstring temp = work + L"p" + std::to_wstring(i) + L".jpg";
        kelsor::ConvertPictureToJpeg(100, pictures[i], temp);
        const std::string text = recognize(kelsor::FormatPriority, temp);
        kelsor::RemoveFile(temp);
        kelsor::WriteResultTextFile(out + L"p" + std::to_wstring(i) + L".txt", text);
    }
    return Seconds(Clock::now() - start);
}

double Runner(const std::vector<std::wstring>& pictures, const std::wstring& source,
              const kelsor::RecognizeFunction& recognize, bool wake, int& events) {
    kelsor::ConverCtrl ctrl;
    std::mutex mutex;
    std::condition_variable cv;
    int finished = 0;
    events = 0;
    ctrl.SetTaskEventHandler([&](const kelsor::TaskStatus& status) {
        std::lock_guard lock(mutex);
        ++events;
        if (status.state == kelsor::Succeeded || status.state == kelsor::Failed) {
            ++finished;
            cv.notify_all();
        }
    });
    std::vector<std::unique_ptr<BatchFileItem>> items;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        auto item = std::make_unique<BatchFileItem>();
        item->id = int(i) + 1;
        item->sourcePath = pictures[i];
        item->fileName = pictures[i].substr(source.size());
        items.push_back(std::move(item));
    }
    kelsor::ConvertTaskMgr mgr(recognize, &ctrl);
    mgr.SetWakeOnRecognitionEnd(wake);
    const auto start = Clock::now();
    for (auto& item : items) {
        mgr.AddTask(*item);
    }
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return finished == int(items.size()); });
    return Seconds(Clock::now() - start);
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100;
    const int delayMs = argc > 2 ? std::atoi(argv[2]) : 40;
    kelsor::test::ScratchFolder dir;
    const std::wstring source = dir.MakeFolder(L"source");
    const std::wstring work = dir.MakeFolder(L"work");
    const std::wstring out = dir.MakeFolder(L"out");
    std::vector<std::wstring> pictures;
    for (int i = 0; i < count; ++i) {
        pictures.push_back(source + L"pic" + std::to_wstring(i) + L".png");
        kelsor::test::WritePng(pictures.back(), 320, 200);
    }
    kelsor::App().dataFolder = work;
    kelsor::BatchSourceFolder() = source;
    const auto recognize = Recognition(delayMs);

    const double direct = DirectLoop(pictures, work, out, recognize);
    int eventsWake = 0;
    int eventsSleep = 0;
    const double wake = Runner(pictures, source, recognize, true, eventsWake);
    const double sleep = Runner(pictures, source, recognize, false, eventsSleep);
    std::printf("pictures %d, simulated recognition %d ms\n", count, delayMs);
    std::printf("direct loop            %.3f s\n", direct);
    std::printf("runner, wake at end    %.3f s  (%d events)  ratio %.3f\n", wake, eventsWake,
                wake / direct);
    std::printf("runner, sleep out step %.3f s  (%d events)  ratio %.3f\n", sleep, eventsSleep,
                sleep / direct);
    return 0;
}
