#include "pdf/PageProcess.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QGuiApplication>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

#if defined(__SANITIZE_ADDRESS__)
#define KELSOR_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELSOR_ADDRESS_SANITIZER 1
#endif
#endif

// The channel, both ways in the machine's own byte order:
//   converter -> page process: the PDF path (uint32 length, bytes), then page
//                              numbers (int32, from 0)
//   page process -> converter: the opening (int32 PdfFailure, int32 page count),
//                              then one answer per page: int32 kind, and for
//                              text uint32 length + UTF-8, for a picture
//                              int32 width, height, QImage format, turn in
//                              degrees + its pixels
namespace kelsor::pdf {
namespace {

enum Kind : std::int32_t { kUnreadable = 0, kText = 1, kPicture = 2 };

// More text than any page holds.
constexpr std::uint32_t kMaxTextBytes = 32u << 20;
// How often a wait looks at the cancel flag.
constexpr int kPollMilliseconds = 50;

// Moves all `size` bytes with `step` (a send or a receive), again after a
// signal; false once the other side is gone.
template <typename Step>
bool MoveAll(char* bytes, std::size_t size, Step step) {
    while (size > 0) {
        const ssize_t moved = step(bytes, size);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved <= 0)
            return false;
        bytes += moved;
        size -= static_cast<std::size_t>(moved);
    }
    return true;
}

bool SendAll(int fd, const void* data, std::size_t size) {
    return MoveAll(const_cast<char*>(static_cast<const char*>(data)), size,
                   [fd](char* bytes, std::size_t n) { return ::send(fd, bytes, n, MSG_NOSIGNAL); });
}

bool ReceiveAll(int fd, void* data, std::size_t size) {
    return MoveAll(static_cast<char*>(data), size,
                   [fd](char* bytes, std::size_t n) { return ::recv(fd, bytes, n, 0); });
}

template <typename T>
bool SendValue(int fd, T value) {
    return SendAll(fd, &value, sizeof value);
}

// The page process's own bounds: what it may allocate, and no core file of
// a page that ended it.
void LimitPageProcess(std::size_t memoryBytes) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
#ifdef KELSOR_ADDRESS_SANITIZER
    // The sanitizer's shadow memory counts as data; the largest allocation
    // the converter sets in its options stands in for the limit.
    (void)memoryBytes;
#else
    const rlimit memory{memoryBytes, memoryBytes};
    setrlimit(RLIMIT_DATA, &memory);
#endif
}

// The page process ends with the converter's thread that started it: at
// once when it dies, and when it died before the signal was asked for (the
// process then has another parent).
bool FollowParent(pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    return parent <= 0 || ::getppid() == parent;
}

// Processor time for one more step (opening the file, a page): `seconds`
// beyond what was used so far. Should the converter be gone without the
// signal, a page that never ends still does.
void LimitProcessorTime(rlim_t seconds) {
    if (seconds == 0)
        return;
    rusage used{};
    rlimit limit{};
    if (::getrusage(RUSAGE_SELF, &used) != 0 || ::getrlimit(RLIMIT_CPU, &limit) != 0)
        return;
    const auto spent = static_cast<rlim_t>(used.ru_utime.tv_sec + used.ru_stime.tv_sec) + 1;
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? spent + seconds
                                                     : std::min(spent + seconds, limit.rlim_max);
    ::setrlimit(RLIMIT_CPU, &limit);
}

bool SendPage(int fd, const PageContent& content) {
    if (!content.text.isEmpty()) {
        const QByteArray text = content.text.toUtf8();
        return SendValue<std::int32_t>(fd, kText) &&
               SendValue(fd, static_cast<std::uint32_t>(text.size())) &&
               SendAll(fd, text.constData(), static_cast<std::size_t>(text.size()));
    }
    if (content.picture.isNull())
        return SendValue<std::int32_t>(fd, kUnreadable);
    QImage picture = content.picture;
    if (picture.format() != QImage::Format_ARGB32_Premultiplied &&
        picture.format() != QImage::Format_ARGB32 && picture.format() != QImage::Format_RGB32)
        picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return SendValue<std::int32_t>(fd, kPicture) && SendValue<std::int32_t>(fd, picture.width()) &&
           SendValue<std::int32_t>(fd, picture.height()) &&
           SendValue<std::int32_t>(fd, picture.format()) &&
           SendValue<std::int32_t>(fd, content.rotation) &&
           SendAll(fd, picture.constBits(), static_cast<std::size_t>(picture.sizeInBytes()));
}

// A picture the page process may send: 32 bits a pixel, within the render
// bounds (each side may round up by a pixel).
bool PictureFits(std::int32_t width, std::int32_t height, std::int32_t format) {
    const bool known = format == QImage::Format_ARGB32_Premultiplied ||
                       format == QImage::Format_ARGB32 || format == QImage::Format_RGB32;
    return known && width > 0 && height > 0 && width <= kMaxRenderSide + 1 &&
           height <= kMaxRenderSide + 1 &&
           static_cast<double>(width) * height <= kMaxRenderPixels + width + height + 1;
}

// The environment of the page process: the converter's, and under the
// address sanitizer an allocation bound in its options; a page that crashes
// ends its process quietly, as without the sanitizer.
std::vector<std::string> PageProcessEnvironment([[maybe_unused]] std::size_t memoryBytes) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry)
        environment.emplace_back(*entry);
#ifdef KELSOR_ADDRESS_SANITIZER
    const std::string bound = "max_allocation_size_mb=" + std::to_string(memoryBytes >> 20) +
                              ":allocator_may_return_null=1:handle_segv=0";
    bool found = false;
    for (std::string& entry : environment) {
        if (entry.rfind("ASAN_OPTIONS=", 0) == 0) {
            entry += ":" + bound;
            found = true;
        }
    }
    if (!found)
        environment.push_back("ASAN_OPTIONS=" + bound);
#endif
    return environment;
}

}  // namespace

int RunPageWorker(int argc, char** argv) {
    if (argc < 5)
        return 2;
    if (!FollowParent(static_cast<pid_t>(std::strtol(argv[4], nullptr, 10))))
        return 2;
    LimitPageProcess(std::strtoull(argv[2], nullptr, 10));
    const auto pageSeconds = static_cast<rlim_t>(std::strtoull(argv[3], nullptr, 10));
    // The limit ends the process, which nothing here may hold off.
    ::signal(SIGXCPU, SIG_DFL);
    LimitProcessorTime(pageSeconds);
    const int channel = STDIN_FILENO;
    std::uint32_t pathSize = 0;
    if (!ReceiveAll(channel, &pathSize, sizeof pathSize) || pathSize > (1u << 16))
        return 2;
    QByteArray path(static_cast<qsizetype>(pathSize), '\0');
    if (!ReceiveAll(channel, path.data(), pathSize))
        return 2;
    // Poppler's painter draws text with Qt's fonts, which need the
    // application; no window is ever shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    PdfFile file;
    const PdfFailure failure = file.Open(QFile::decodeName(path));
    if (!SendValue<std::int32_t>(channel, static_cast<std::int32_t>(failure)) ||
        !SendValue<std::int32_t>(channel, file.PageCount()) || failure != PdfFailure::None)
        return 0;
    std::int32_t index = 0;
    while (ReceiveAll(channel, &index, sizeof index)) {
        PageContent content;
        LimitProcessorTime(pageSeconds);
        try {
            content = file.ReadPage(index);
        } catch (const std::exception&) {
            // Poppler or Qt gave up on this page (out of memory, most
            // likely); it is unreadable, the next one may not be.
            content = {};
        }
        if (!SendPage(channel, content))
            return 0;
    }
    return 0;
}

PageProcess::PageProcess(PageReading reading, QString pdfPath, const std::atomic<bool>& cancel)
    : m_reading(std::move(reading)), m_pdfPath(std::move(pdfPath)), m_cancel(cancel) {}

PageProcess::~PageProcess() {
    End();
}

bool PageProcess::Start() {
    End();
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    // What the libraries print goes to standard error, never into the channel.
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    const QByteArray program = QFile::encodeName(m_reading.program);
    std::string memory = std::to_string(m_reading.memoryBytes);
    std::string option = kPageWorkerOption;
    // Qt converts large pictures on several threads: a page may use more
    // processor time than it takes.
    std::string pageSeconds =
        std::to_string(2 * std::chrono::ceil<std::chrono::seconds>(m_reading.pageTime).count() + 5);
    std::string parent = std::to_string(::getpid());
    std::vector<char*> arguments = {const_cast<char*>(program.constData()),
                                    option.data(),
                                    memory.data(),
                                    pageSeconds.data(),
                                    parent.data(),
                                    nullptr};
    std::vector<std::string> environment = PageProcessEnvironment(m_reading.memoryBytes);
    std::vector<char*> environmentPointers;
    for (std::string& entry : environment)
        environmentPointers.push_back(entry.data());
    environmentPointers.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, program.constData(), &actions, nullptr,
                                      arguments.data(), environmentPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (spawned != 0) {
        ::close(ends[0]);
        return false;
    }
    m_pid = pid;
    m_channel = ends[0];
    const QByteArray path = QFile::encodeName(m_pdfPath);
    return SendValue(m_channel, static_cast<std::uint32_t>(path.size())) &&
           SendAll(m_channel, path.constData(), static_cast<std::size_t>(path.size()));
}

void PageProcess::End() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    if (m_channel >= 0)
        ::close(m_channel);
    m_pid = -1;
    m_channel = -1;
    m_requested = -1;
}

bool PageProcess::Receive(void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        if (m_cancel.load())
            return false;
        if (std::chrono::steady_clock::now() > m_deadline) {
            m_timedOut = true;
            return false;
        }
        pollfd ready{m_channel, POLLIN, 0};
        const int polled = ::poll(&ready, 1, kPollMilliseconds);
        if (polled < 0 && errno != EINTR)
            return false;
        if (polled <= 0)
            continue;
        const ssize_t got = ::recv(m_channel, bytes, size, MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return false;  // the page process ended
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

PdfFailure PageProcess::Open(int& pageCount) {
    pageCount = 0;
    if (!Start()) {
        End();
        return PdfFailure::Unreadable;
    }
    m_deadline = std::chrono::steady_clock::now() + m_reading.pageTime;
    std::int32_t failure = 0;
    std::int32_t pages = 0;
    if (!Receive(&failure, sizeof failure) || !Receive(&pages, sizeof pages)) {
        End();
        return PdfFailure::Damaged;
    }
    if (failure < 0 || failure > static_cast<std::int32_t>(PdfFailure::TooManyPages) ||
        (failure == 0 && (pages <= 0 || pages > kMaxPages))) {
        End();
        return PdfFailure::Damaged;
    }
    m_pageCount = pages;
    pageCount = pages;
    return static_cast<PdfFailure>(failure);
}

void PageProcess::ForEachPage(const std::function<void(int index, PageContent& page)>& take) {
    if (m_pageCount <= 0)
        return;
    Request(0);
    for (int index = 0; index < m_pageCount; ++index) {
        PageContent page = Take(index);
        if (m_cancel.load())
            return;
        if (index + 1 < m_pageCount)
            Request(index + 1);
        take(index, page);
    }
}

void PageProcess::Request(int index) {
    if (OutOfTime())
        return;
    if (m_pid < 0) {
        // The page before ended the last process: a new one opens the file
        // again, and must find it as it was.
        int pages = 0;
        if (Open(pages) != PdfFailure::None || pages != m_pageCount) {
            End();
            return;
        }
    }
    if (SendValue<std::int32_t>(m_channel, index))
        m_requested = index;
    else
        End();
}

bool PageProcess::OutOfTime() const {
    return m_stuck >= m_reading.fileStuckTime;
}

PageContent PageProcess::Take(int index) {
    if (OutOfTime()) {
        End();
        return {};
    }
    if (m_requested != index)
        Request(index);
    PageContent content;
    if (m_pid < 0 || m_cancel.load())
        return content;
    // Read ahead or not, the page's time starts now: the caller's work on
    // the page before is not the page's.
    const auto waited = std::chrono::steady_clock::now();
    m_deadline = waited + m_reading.pageTime;
    m_timedOut = false;
    bool received = false;
    try {
        received = ReceivePage(content);
    } catch (const std::exception&) {
        // No memory for this page's answer here either; the next may fit.
        received = false;
    }
    m_requested = -1;
    if (!received) {
        if (m_timedOut)
            m_stuck += std::chrono::steady_clock::now() - waited;
        End();
        return {};
    }
    return content;
}

bool PageProcess::ReceivePage(PageContent& content) {
    std::int32_t kind = kUnreadable;
    if (!Receive(&kind, sizeof kind))
        return false;
    if (kind == kUnreadable)
        return true;
    if (kind == kText) {
        std::uint32_t size = 0;
        if (!Receive(&size, sizeof size) || size == 0 || size > kMaxTextBytes)
            return false;
        QByteArray text(static_cast<qsizetype>(size), '\0');
        if (!Receive(text.data(), size))
            return false;
        content.text = QString::fromUtf8(text);
        return true;
    }
    std::int32_t size[4] = {};
    if (kind != kPicture || !Receive(size, sizeof size) ||
        !PictureFits(size[0], size[1], size[2]) || size[3] < 0 || size[3] >= 360 ||
        size[3] % 90 != 0)
        return false;
    content.rotation = size[3];
    QImage picture(size[0], size[1], static_cast<QImage::Format>(size[2]));
    if (picture.isNull() ||
        !Receive(picture.bits(), static_cast<std::size_t>(picture.sizeInBytes())))
        return false;
    content.picture = std::move(picture);
    return true;
}

}  // namespace kelsor::pdf
