#include "cloud/CloudEndpoint.h"

#include <curl/curl.h>

#include <sys/stat.h>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace kelsor {
namespace {

constexpr const char* kDefaultSuffix = ".localhost:18443";

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The system bundle libcurl would use by itself; read once.
const std::string& SystemCaBundle() {
    static const std::string bundle = [] {
        const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
        std::string path = (info != nullptr && info->cainfo != nullptr)
                               ? info->cainfo
                               : "/etc/ssl/certs/ca-certificates.crt";
        return ReadWholeFile(path);
    }();
    return bundle;
}

}  // namespace

std::string CloudDomainSuffix() {
    const char* value = std::getenv("KELSOR_CLOUD_DOMAIN");
    return (value != nullptr && *value != '\0') ? value : kDefaultSuffix;
}

std::string CloudCaFile() {
    if (const char* value = std::getenv("KELSOR_CLOUD_CA_FILE"); value != nullptr && *value) {
        return value;
    }
    // The local kelsor-server started by scripts/run.sh keeps its certificate here.
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg) {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home) {
        base = std::string(home) + "/.local/share";
    }
    const std::string candidate = base + "/kelsor-server/cloud-cert.pem";
    return (!base.empty() && IsRegularFile(candidate)) ? candidate : std::string();
}

void ApplyCloudTls(CURL* handle) {
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    const std::string caFile = CloudCaFile();
    if (caFile.empty()) {
        return;  // the system's CAs alone
    }
    // A CA blob replaces libcurl's default bundle, so the blob carries both.
    std::string pem = SystemCaBundle();
    pem += '\n';
    pem += ReadWholeFile(caFile);
    curl_blob blob{pem.data(), pem.size(), CURL_BLOB_COPY};
    curl_easy_setopt(handle, CURLOPT_CAINFO_BLOB, &blob);
}

}  // namespace kelsor
