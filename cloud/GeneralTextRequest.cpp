#include "app/TextConv.h"
#include "cloud/Base64.h"
#include "cloud/CloudEndpoint.h"
#include "cloud/GeneralText.h"
#include "cloud/HWOcrClientToken.h"
#include "cloud/RecognizePictureText.h"

#include <curl/curl.h>
#include <json/writer.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <new>
#include <vector>

namespace kelsor {
namespace {

constexpr long kRequestTimeoutSeconds = 20;

struct Transfer {
    bool completed = false;  // a reply arrived (any HTTP status)
    long status = 0;
    std::string envelope;
};

size_t AppendBody(char* data, size_t size, size_t count, void* userData) {
    const size_t bytes = size * count;
    auto* buffer = static_cast<std::string*>(userData);
    try {
        buffer->append(data, bytes);
    } catch (const std::bad_alloc&) {
        std::printf("not enough memory (realloc returned NULL)\n");
        std::fflush(stdout);
        return 0;
    }
    return bytes;
}

std::vector<unsigned char> ReadPictureBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};  // a file that cannot be opened reads as zero bytes
    }
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>());
}

std::string StyledBody(const Json::Value& body) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "\t";
    return Json::writeString(builder, body) + "\n";
}

Transfer PostGeneralText(const std::string& url, const std::string& token,
                         const std::string& postFields) {
    Transfer transfer;
    CURL* handle = curl_easy_init();
    if (handle == nullptr) {
        return transfer;
    }
    const std::string authHeader = "X-Auth-Token:" + token;
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type:application/json");
    headers = curl_slist_append(headers, authHeader.c_str());
    std::string reply;
    ApplyCloudTls(handle);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, kRequestTimeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, postFields.c_str());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(postFields.size()));
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, AppendBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &reply);

    const CURLcode result = curl_easy_perform(handle);
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &transfer.status);
    if (result != CURLE_OK) {
        std::printf("curl_easy_perform() failed:%s\n", curl_easy_strerror(result));
        std::fflush(stdout);
        transfer.envelope = "{\"status\":" + std::to_string(transfer.status) +
                            ",\"message\":\"ocr request failed\"}";
    } else {
        transfer.completed = true;
        transfer.envelope =
            "{\"status\":" + std::to_string(transfer.status) + ",\"response body\":" + reply + "}";
    }
    curl_easy_cleanup(handle);
    curl_slist_free_all(headers);
    return transfer;
}

std::optional<std::vector<PlacedLine>> LinesOf(const std::string& envelope) {
    std::vector<PlacedLine> lines;
    if (!ParseGeneralTextLines(lines, envelope)) {
        return std::nullopt;
    }
    return lines;
}

}  // namespace

std::string HWOcrClientToken::RecognizeGeneralText(std::string pictureRef, std::string requestPath,
                                                   Json::Value body) {
    if (pictureRef.find("http://") != std::string::npos ||
        pictureRef.find("https://") != std::string::npos) {
        body["url"] = pictureRef;
        return PostRecognition(requestPath, std::move(body));
    }
    return RecognizeGeneralPicture(ReadPictureBytes(pictureRef), std::move(requestPath),
                                   std::move(body));
}

std::string HWOcrClientToken::RecognizeGeneralPicture(const std::vector<unsigned char>& picture,
                                                      std::string requestPath, Json::Value body) {
    try {
        body["image"] = Base64Encode(picture.data(), picture.size());
    } catch (const std::exception& e) {
        std::printf("curl exception %s.\n", e.what());
        std::fflush(stdout);
        return {};
    }
    return PostRecognition(requestPath, std::move(body));
}

std::string HWOcrClientToken::PostRecognition(const std::string& requestPath, Json::Value body) {
    std::string envelope;
    try {
        const std::string token = GetToken();
        const std::string url = "https://ocr." + GetRegion() + CloudDomainSuffix() + requestPath;
        std::printf("POST URL: %s\n", url.c_str());
        std::fflush(stdout);
        const std::string postFields = StyledBody(body);
        body = Json::Value();  // the encoded picture is no longer needed

        Transfer transfer = PostGeneralText(url, token, postFields);
        if (transfer.completed && transfer.status == 401) {
            // The token expired or was refused: refresh it once, retry once.
            const std::string fresh = RefreshToken(token);
            if (!fresh.empty()) {
                transfer = PostGeneralText(url, fresh, postFields);
            }
        }
        envelope = std::move(transfer.envelope);
    } catch (const std::exception& e) {
        std::printf("curl exception %s.\n", e.what());
        std::fflush(stdout);
    }
    return Utf8ToAnsi(envelope);
}

std::string OcrGeneralText(int formatType, const std::string& pictureRef) {
    const std::string envelope =
        OcrClientToken().RecognizeGeneralText(pictureRef, kGeneralTextPath, Json::Value());
    std::string text;
    ParseGeneralTextReply(formatType, text, envelope);
    return text;
}

std::string RecognizePictureText(int formatType, const std::wstring& picturePath) {
    return OcrGeneralText(formatType, WideToAnsi(picturePath));
}

std::optional<std::vector<PlacedLine>> RecognizePictureLines(const std::wstring& picturePath) {
    return LinesOf(OcrClientToken().RecognizeGeneralText(WideToAnsi(picturePath), kGeneralTextPath,
                                                         Json::Value()));
}

std::string RecognizeEncodedPictureText(int formatType, const std::vector<unsigned char>& picture) {
    const std::string envelope =
        OcrClientToken().RecognizeGeneralPicture(picture, kGeneralTextPath, Json::Value());
    std::string text;
    ParseGeneralTextReply(formatType, text, envelope);
    return text;
}

std::optional<std::vector<PlacedLine>> RecognizeEncodedPictureLines(
    const std::vector<unsigned char>& picture) {
    return LinesOf(
        OcrClientToken().RecognizeGeneralPicture(picture, kGeneralTextPath, Json::Value()));
}

}  // namespace kelsor
