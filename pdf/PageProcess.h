#pragma once

#include <sys/types.h>

#include <QString>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>

#include "pdf/PdfFile.h"

// The pages of one PDF file are read by a process of their own: the
// converter's program, started with kPageWorkerOption, opens the file and
// answers page after page with its text layer or its picture. Poppler and Qt
// run there under a memory limit, so a page that would take all memory, crash
// or never end costs only that page: its process is ended, and the next page
// gets a fresh one.
namespace kelsor::pdf {

inline constexpr char kPageWorkerOption[] = "--page-worker";

// What the page process may allocate. Drawing an A4 page scanned at 600 dpi
// in colour takes it about 200 MB, at 1200 dpi in black and white about
// 600 MB; the converter and its page process stay under 1 GB together.
inline constexpr std::size_t kPageMemoryBytes = std::size_t{768} << 20;
// The longest one page may take to be read, far beyond any real page.
inline constexpr std::chrono::milliseconds kPageTime = std::chrono::minutes(2);
// What one file may cost in pages that ran out of time: beyond it, its
// remaining pages are not read (a file of thousands of such pages would
// otherwise take weeks).
inline constexpr std::chrono::milliseconds kFileStuckTime = std::chrono::minutes(5);

struct PageReading {
    QString program;  // the converter's own executable
    std::size_t memoryBytes = kPageMemoryBytes;
    std::chrono::milliseconds pageTime = kPageTime;
    std::chrono::milliseconds fileStuckTime = kFileStuckTime;
};

// The page process's side (argv: the program, kPageWorkerOption, the memory
// limit in bytes, the processor seconds a page may take, the converter's
// process id); its standard input is the channel to the converter. It ends
// with the converter, even while a page is being drawn.
int RunPageWorker(int argc, char** argv);

// The converter's side: one file, its pages asked for in order. Any thread,
// one at a time, but the thread that starts the process must outlive it: the
// process ends with that thread.
class PageProcess {
public:
    // `cancel` ends any wait at once (the process is ended with it).
    PageProcess(PageReading reading, QString pdfPath, const std::atomic<bool>& cancel);
    ~PageProcess();
    PageProcess(const PageProcess&) = delete;
    PageProcess& operator=(const PageProcess&) = delete;

    // Starts the process, which opens the file: why it cannot be converted
    // (Damaged when the process ends without saying), else None and its page
    // count.
    PdfFailure Open(int& pageCount);
    // Hands every page of the opened file in order to `take`, the next one
    // read while `take` works on this one; a page that cannot be read or took
    // too long comes empty, and so does every page after the file has spent
    // `fileStuckTime` on pages that took too long. A page's time counts from
    // when it is waited for. A cancelled run ends before its next page.
    void ForEachPage(const std::function<void(int index, PageContent& page)>& take);

private:
    // Asks for page `index` (from 0), read while the caller works on the one before.
    void Request(int index);
    // Page `index`; empty when it cannot be read, took too long, or the run
    // was cancelled.
    PageContent Take(int index);

    bool Start();
    void End();
    // Whether the file has spent its time on pages that took too long.
    bool OutOfTime() const;
    // False when the process ended, the run was cancelled or the page's
    // time ran out (m_timedOut).
    bool Receive(void* data, std::size_t size);
    bool ReceivePage(PageContent& content);

    PageReading m_reading;
    QString m_pdfPath;
    const std::atomic<bool>& m_cancel;
    pid_t m_pid = -1;
    int m_channel = -1;
    int m_pageCount = 0;
    int m_requested = -1;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_timedOut = false;
    std::chrono::steady_clock::duration m_stuck{};  // spent on pages that ran out of time
};

}  // namespace kelsor::pdf
