#include "tools/ToolHttp.h"

#include <curl/curl.h>
#include <json/reader.h>
#include <json/writer.h>

#include <memory>

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

}  // namespace

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
    Json::CharReaderBuilder builder;
    std::string parseError;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (status != 200 ||
        !reader->parse(text.data(), text.data() + text.size(), &reply, &parseError) ||
        !reply.isObject() || !reply["code"].isString() || reply["code"].asString() != "200") {
        error = "HTTP " + std::to_string(status) + ": " + text.substr(0, 200);
        return false;
    }
    return true;
}

}  // namespace kelsor::tools
