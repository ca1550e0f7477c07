#include "app/HttpTransfer.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "app/TextConv.h"

namespace kelsor {
namespace {

enum TransferMode : int { kToFile = 1, kToMemory = 2, kToMemoryToo = 3 };

// One download: the easy handle, the target file and where received data goes.
struct FileTransfer {
    CURL* handle = nullptr;
    int file = -1;
    int result = 0;
    std::string body;
    int mode = 0;

    FileTransfer() : handle(curl_easy_init()) {}
    ~FileTransfer() {
        if (file >= 0) {
            close(file);
        }
        if (handle != nullptr) {
            curl_easy_cleanup(handle);
        }
    }
    FileTransfer(const FileTransfer&) = delete;
    FileTransfer& operator=(const FileTransfer&) = delete;

    size_t Write(const char* data, size_t size) {
        if (mode == kToFile) {
            if (file < 0) {
                return 0;
            }
            size_t done = 0;
            while (done < size) {
                ssize_t n = ::write(file, data + done, size - done);
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n <= 0) {
                    return 0;  // libcurl aborts the transfer
                }
                done += static_cast<size_t>(n);
            }
            return done;
        }
        if (mode == kToMemory || mode == kToMemoryToo) {
            body.append(data, size);
            return size;
        }
        return 0;
    }

    static size_t WriteCallback(char* data, size_t size, size_t count, void* self) {
        return static_cast<FileTransfer*>(self)->Write(data, size * count);
    }
};

size_t AppendToString(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

}  // namespace

void ApplyTransferLimits(CURL* handle) {
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
}

void InitHttpGlobal() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

int HttpGetText(std::wstring& text, const std::wstring& url) {
    const std::string narrowUrl = WideToAnsi(url);
    CURL* handle = curl_easy_init();
    if (handle == nullptr) {
        return CURLE_FAILED_INIT;
    }
    std::string body;
    ApplyTransferLimits(handle);
    curl_easy_setopt(handle, CURLOPT_URL, narrowUrl.c_str());
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, nullptr);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &AppendToString);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 3L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, 3L);
    CURLcode rc = curl_easy_perform(handle);
    curl_easy_cleanup(handle);
    // AnsiToWide drops one leading U+FEFF.
    text = AnsiToWide(body);
    return rc;
}

void HttpDownloadFile(const std::wstring& url, const std::wstring& targetPath) {
    const std::string narrowUrl = WideToAnsi(url);
    const std::string narrowPath = WideToAnsi(targetPath);
    FileTransfer transfer;
    if (transfer.handle == nullptr || narrowPath.empty()) {
        return;
    }
    curl_easy_setopt(transfer.handle, CURLOPT_WRITEFUNCTION, &FileTransfer::WriteCallback);
    curl_easy_setopt(transfer.handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(transfer.handle, CURLOPT_URL, narrowUrl.c_str());

    unlink(narrowPath.c_str());
    transfer.file = open(narrowPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (transfer.file < 0) {
        return;
    }
    curl_easy_setopt(transfer.handle, CURLOPT_NOSIGNAL, 1L);
    ApplyTransferLimits(transfer.handle);
    curl_easy_setopt(transfer.handle, CURLOPT_FOLLOWLOCATION, 1L);
    // The installer's digest checks its content, but the avatar has no such
    // check: an https download must come from the host it names.
    curl_easy_setopt(transfer.handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(transfer.handle, CURLOPT_SSL_VERIFYHOST, 2L);
    // No overall limit (a large file may take long), but a server that stops
    // sending altogether must not hold the caller for ever.
    curl_easy_setopt(transfer.handle, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(transfer.handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(transfer.handle, CURLOPT_LOW_SPEED_TIME, 60L);
    transfer.mode = kToFile;
    transfer.result = curl_easy_perform(transfer.handle);
}

}  // namespace kelsor
