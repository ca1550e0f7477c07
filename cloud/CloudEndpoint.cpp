#include "cloud/CloudEndpoint.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "app/HttpTransfer.h"

namespace kelsor {
namespace {

constexpr const char* kDefaultSuffix = ".localhost:18443";

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The trusted certificates, parsed once per CA file (and again when the file
// changes): parsing the system's bundle for every request would cost more
// than the request itself. Stores stay alive until the process ends.
X509_STORE* TrustStore(const std::string& caFile) {
    struct stat st {};
    std::string key = caFile;
    if (!caFile.empty() && ::stat(caFile.c_str(), &st) == 0) {
        key += "@" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) +
               "/" + std::to_string(st.st_size);
    }
    struct StoreFree {
        void operator()(X509_STORE* store) const { X509_STORE_free(store); }
    };
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<X509_STORE, StoreFree>> stores;
    std::lock_guard lock(mutex);
    auto& store = stores[key];
    if (!store) {
        store.reset(X509_STORE_new());
        X509_STORE_set_default_paths(store.get());  // the system's CAs
        if (!caFile.empty()) {
            X509_STORE_load_file(store.get(), caFile.c_str());
        }
    }
    return store.get();
}

CURLcode InstallTrustStore(CURL*, void* sslContext, void* store) {
    SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(sslContext), static_cast<X509_STORE*>(store));
    return CURLE_OK;
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
    ApplyTransferLimits(handle);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    // libcurl loads nothing itself; the cached store is put in place instead.
    curl_easy_setopt(handle, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, InstallTrustStore);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, TrustStore(CloudCaFile()));
}

}  // namespace kelsor
