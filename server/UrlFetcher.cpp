#include "server/UrlFetcher.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>

namespace kelsor::server {
namespace {

struct Sink {
    std::string* bytes;
    std::size_t maxBytes;
    bool tooLarge = false;
};

size_t Collect(char* data, size_t size, size_t count, void* userData) {
    auto* sink = static_cast<Sink*>(userData);
    const size_t n = size * count;
    if (sink->bytes->size() + n > sink->maxBytes) {
        sink->tooLarge = true;
        return 0;  // aborts the transfer
    }
    sink->bytes->append(data, n);
    return n;
}

bool HasWebScheme(const std::string& url) {
    std::string head = url.substr(0, 8);
    std::transform(head.begin(), head.end(), head.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return head.rfind("http://", 0) == 0 || head.rfind("https://", 0) == 0;
}

}  // namespace

FetchResult FetchUrl(const std::string& url, const FetchLimits& limits, std::string& bytes,
                     std::string& message) {
    bytes.clear();
    if (!HasWebScheme(url)) {
        message = "The url must be an http or https address.";
        return FetchResult::BadScheme;
    }
    CURL* handle = curl_easy_init();
    if (handle == nullptr) {
        message = "The image cannot be downloaded.";
        return FetchResult::Failed;
    }
    Sink sink{&bytes, limits.maxBytes};
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 3L);
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, limits.timeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, std::min(limits.timeoutSeconds, 5L));
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
    const CURLcode result = curl_easy_perform(handle);
    curl_easy_cleanup(handle);
    if (sink.tooLarge || result == CURLE_FILESIZE_EXCEEDED) {
        message = "The image at the url is larger than 10 MB.";
        return FetchResult::TooLarge;
    }
    if (result != CURLE_OK) {
        message = std::string("The image cannot be downloaded: ") + curl_easy_strerror(result);
        return FetchResult::Failed;
    }
    return FetchResult::Ok;
}

}  // namespace kelsor::server
