#include "jobs/ConvertTask.h"

#include <system_error>
#include <thread>

#include "app/AppContext.h"
#include "jobs/FileIo.h"
#include "jobs/PictureUtils.h"
#include "jobs/ServicePicture.h"

namespace kelsor {
namespace {

constexpr std::chrono::milliseconds kTickStep{100};
constexpr int kTickLimit = 100;

}  // namespace

std::wstring OutputBaseName(const std::wstring& fileName) {
    const auto dot = fileName.rfind(L'.');
    return dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
}

void ConvertTask::Prepare(BatchFileItem& item) {
    m_item = &item;
    m_status.id = item.id;
    m_status.tag = item.listElementTag;
    m_state = Queued;
    item.state = Queued;

    const std::wstring base = OutputBaseName(item.fileName);
    item.formatType = App().formatType.load();
    item.readCodes = App().readCodes.load() != 0;
    const std::wstring outputFolder = App().useCustomOutputFolder.load() == 1
                                          ? App().customOutputFolder.get()
                                          : BatchSourceFolder();
    item.tempPicturePath = App().dataFolder + base + L".jpg";
    item.outputPath = ProcessBatchStore().OutputPathFor(item, outputFolder, base);

    m_sourcePath = item.sourcePath;
    m_tempPath = item.tempPicturePath;
    m_outputPath = item.outputPath;
    m_formatType = item.formatType;
    m_readCodes = item.readCodes;
}

bool ConvertTask::Start(const RecognizeFunction& recognize, const TextWrittenFunction& written) {
    {
        std::lock_guard lock(m_mutex);
        int expected = Queued;
        if (!m_state.compare_exchange_strong(expected, Running)) {
            return false;
        }
        if (m_item != nullptr) {
            m_item->state = Running;
        }
    }
    auto self = shared_from_this();
    try {
        m_ticker = std::thread([self] { self->Tick(); });
    } catch (const std::system_error&) {
        // Without a ticker the progress simply stays where it is.
    }
    try {
        // No recognition given: the service's, reading codes as the user's
        // switch said when the task was queued.
        RecognizeFunction use =
            recognize ? recognize
                      : ServiceTextRecognition(m_readCodes ? CodeReading::On : CodeReading::Off);
        m_recognition =
            std::thread([self, source = m_sourcePath, temp = m_tempPath, output = m_outputPath,
                         format = m_formatType, use = std::move(use),
                         written] { self->Convert(source, temp, output, format, use, written); });
    } catch (const std::system_error&) {
        Finish(Failed);
        m_done = true;
        Wake();
    }
    return true;
}

void ConvertTask::Cancel() {
    {
        std::lock_guard lock(m_mutex);
        m_state = Cancelled;
        m_item = nullptr;
    }
    Wake();
}

void ConvertTask::Deliver(ConverCtrl& ctrl, int code, int state) {
    std::lock_guard lock(m_mutex);
    if (m_state.load() == Cancelled) {
        return;
    }
    TaskStatus snapshot = m_status;
    snapshot.state = state;
    ctrl.Notify(code, snapshot);
}

void ConvertTask::WaitStep(std::chrono::milliseconds step, bool wakeOnFinish) {
    std::unique_lock lock(m_wakeMutex);
    m_wakeCv.wait_for(lock, step, [&] {
        return m_state.load() == Cancelled || m_abandoned.load() || (wakeOnFinish && m_done.load());
    });
}

ConvertTask::~ConvertTask() {
    // The last owner may be one of the task's own threads, which cannot wait
    // for itself; EndThreads has left nothing else to wait for.
    for (std::thread* thread : {&m_ticker, &m_recognition}) {
        if (thread->joinable()) {
            thread->detach();
        }
    }
}

void ConvertTask::EndThreads() {
    const bool ended = m_done.load();
    for (std::thread* thread : {&m_ticker, &m_recognition}) {
        if (!thread->joinable()) {
            continue;
        }
        // An ended recognition's threads are past their work: the wait is
        // theirs to return and unwind. A process ending right after its last
        // task must not find them still going away (the leak check at exit
        // of the sanitizer builds stops every thread and fails on one that
        // is ending meanwhile).
        if (ended) {
            thread->join();
        } else {
            thread->detach();
        }
    }
}

void ConvertTask::Abandon() {
    m_abandoned = true;
    Wake();
}

void ConvertTask::Wake() {
    // Taking the lock orders the change before a waiter's predicate check.
    { std::lock_guard lock(m_wakeMutex); }
    m_wakeCv.notify_all();
}

void ConvertTask::Finish(int state) {
    int expected = Running;
    m_state.compare_exchange_strong(expected, state);
}

void ConvertTask::Tick() {
    int counter = 0;
    std::unique_lock lock(m_wakeMutex);
    for (;;) {
        if (m_done.load()) {
            return;
        }
        m_progressCounter = ++counter;
        if (counter >= kTickLimit) {
            return;
        }
        m_wakeCv.wait_for(lock, kTickStep, [&] { return m_done.load(); });
    }
}

int ConvertTask::Convert(const std::wstring& sourcePath, const std::wstring& tempPath,
                         const std::wstring& outputPath, int formatType,
                         const RecognizeFunction& recognize, const TextWrittenFunction& written) {
    ConvertPictureToJpeg(100, sourcePath, tempPath);
    const std::string text = recognize ? recognize(formatType, tempPath) : std::string();
    // A result file that cannot be written is a failed task: reporting success
    // would send the user to a file that does not exist.
    const bool succeeded = !text.empty() && WriteResultTextFile(outputPath, text);
    if (succeeded && written) {
        written(sourcePath, tempPath, outputPath, text);
    }
    RemoveFile(tempPath);
    Finish(succeeded ? Succeeded : Failed);
    m_done = true;
    Wake();
    return 1;
}

}  // namespace kelsor
