// The TLS functions the cloud client calls to hand curl its trust store.
// OpenSSL comes with libcurl, which is loaded with the first request (see
// app/CurlLibrary.cpp), so these look the real functions up on their first
// call too; by then curl has loaded the library already.
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include "platform/sys/LazyLibrary.h"

namespace {

constexpr const char* kCrypto = "libcrypto.so.3";
constexpr const char* kSsl = "libssl.so.3";

template <typename Function>
Function Real(const char* soname, const char* name) {
    return reinterpret_cast<Function>(kelsor::platform::LibrarySymbolOrExit(
        kelsor::platform::LoadLibraryOrExit(soname), soname, name));
}

}  // namespace

extern "C" {

X509_STORE* X509_STORE_new(void) {
    static const auto real = Real<decltype(&X509_STORE_new)>(kCrypto, "X509_STORE_new");
    return real();
}

void X509_STORE_free(X509_STORE* store) {
    static const auto real = Real<decltype(&X509_STORE_free)>(kCrypto, "X509_STORE_free");
    real(store);
}

int X509_STORE_set_default_paths(X509_STORE* store) {
    static const auto real =
        Real<decltype(&X509_STORE_set_default_paths)>(kCrypto, "X509_STORE_set_default_paths");
    return real(store);
}

int X509_STORE_load_file(X509_STORE* store, const char* file) {
    static const auto real = Real<decltype(&X509_STORE_load_file)>(kCrypto, "X509_STORE_load_file");
    return real(store, file);
}

void SSL_CTX_set1_cert_store(SSL_CTX* context, X509_STORE* store) {
    static const auto real =
        Real<decltype(&SSL_CTX_set1_cert_store)>(kSsl, "SSL_CTX_set1_cert_store");
    real(context, store);
}

}  // extern "C"
