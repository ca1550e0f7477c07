#include "tools/ToolHttp.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <json/writer.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "app/HttpTransfer.h"
#include "app/JsonText.h"

namespace kelsor::tools {
namespace {

constexpr std::size_t kMaxReply = 1 << 20;

size_t Collect(char* data, size_t size, size_t count, void* target) {
    auto* text = static_cast<std::string*>(target);
    if (text->size() + size * count > kMaxReply)
        return 0;  // a reply this large is not ours: stop
    text->append(data, size * count);
    return size * count;
}

// A download into an open file that stops at its size limit.
struct BoundedFile {
    int fd = -1;
    std::uint64_t written = 0;
    std::uint64_t limit = 0;
    bool tooLarge = false;
};

size_t WriteBounded(char* data, size_t size, size_t count, void* target) {
    auto* file = static_cast<BoundedFile*>(target);
    const std::size_t bytes = size * count;
    if (file->written + bytes > file->limit) {
        file->tooLarge = true;
        return 0;  // libcurl ends the transfer
    }
    for (std::size_t done = 0; done < bytes;) {
        const ssize_t n = ::write(file->fd, data + done, bytes - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 0;
        done += static_cast<std::size_t>(n);
    }
    file->written += bytes;
    return bytes;
}

}  // namespace

bool DownloadFile(const std::string& url, const std::string& path, std::uint64_t maxBytes,
                  std::string& error) {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(),
                                                               &curl_easy_cleanup);
    BoundedFile file;
    file.limit = maxBytes;
    ::unlink(path.c_str());
    file.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (!handle || file.fd < 0) {
        error = "cannot create " + path;
        if (file.fd >= 0)
            ::close(file.fd);
        return false;
    }
    ApplyTransferLimits(handle.get());
    curl_easy_setopt(handle.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle.get(), CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle.get(), CURLOPT_SSL_VERIFYHOST, 2L);
    // No overall time limit for a large package, but a server that stops
    // sending must not hold the updater for ever.
    curl_easy_setopt(handle.get(), CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(handle.get(), CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle.get(), CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &WriteBounded);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &file);
    const CURLcode code = curl_easy_perform(handle.get());
    long status = 0;
    curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
    const bool closed = ::close(file.fd) == 0;
    if (code == CURLE_OK && status == 200 && closed)
        return true;
    error = file.tooLarge ? "the download is larger than " + std::to_string(maxBytes) + " bytes"
            : code != CURLE_OK ? std::string(curl_easy_strerror(code))
                               : "HTTP " + std::to_string(status);
    ::unlink(path.c_str());
    return false;
}

bool FetchJson(const std::string& url, const Json::Value* body, Json::Value& reply,
               std::string& error) {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(),
                                                               &curl_easy_cleanup);
    if (!handle) {
        error = "no HTTP handle";
        return false;
    }
    std::string text, posted;
    curl_slist* headers = nullptr;
    curl_easy_setopt(handle.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle.get(), CURLOPT_CONNECTTIMEOUT, 3L);
    curl_easy_setopt(handle.get(), CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &text);
    if (body != nullptr) {
        Json::StreamWriterBuilder writer;
        writer["indentation"] = "";
        writer["emitUTF8"] = true;
        posted = Json::writeString(writer, *body);
        headers = curl_slist_append(headers, "Content-Type: application/json; charset=utf-8");
        curl_easy_setopt(handle.get(), CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(handle.get(), CURLOPT_POSTFIELDS, posted.c_str());
        curl_easy_setopt(handle.get(), CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(posted.size()));
    }
    const CURLcode code = curl_easy_perform(handle.get());
    curl_slist_free_all(headers);
    long status = 0;
    curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
    if (code != CURLE_OK) {
        error = curl_easy_strerror(code);
        return false;
    }
    return ReadServiceReply(status, text, reply, error);
}

bool ReadServiceReply(long status, const std::string& text, Json::Value& reply,
                      std::string& error) {
    if (status != 200 || !ParseJsonObject(text, reply) || StringMember(reply, "code") != "200") {
        error = "HTTP " + std::to_string(status) + ": " + text.substr(0, 200);
        return false;
    }
    return true;
}

}  // namespace kelsor::tools
