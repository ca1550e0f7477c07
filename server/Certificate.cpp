#include "server/Certificate.h"

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <memory>

namespace kelsor::server {
namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using X509Ptr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;

X509Ptr ReadCertificate(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return nullptr;
    }
    X509Ptr cert(PEM_read_X509(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    return cert;
}

bool AddExtension(X509* cert, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (ext == nullptr) {
        return false;
    }
    const bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

// Writes through a file created with `mode` so the key is never readable by others.
bool WritePem(const std::string& path, int mode, bool (*write)(FILE*, void*), void* object) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    if (fd < 0) {
        return false;
    }
    FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        ::close(fd);
        return false;
    }
    const bool ok = write(file, object);
    return std::fclose(file) == 0 && ok;
}

bool CreateCertificate(const std::string& region, const CertificateFiles& files,
                       std::string& error) {
    KeyPtr key(EVP_EC_gen("P-256"));
    X509Ptr cert(X509_new());
    if (!key || !cert) {
        error = "cannot create a key pair";
        return false;
    }
    X509_set_version(cert.get(), 2);
    std::unique_ptr<BIGNUM, Deleter<BIGNUM, BN_free>> serial(BN_new());
    BN_rand(serial.get(), 127, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY);
    BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert.get()));
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("KelsorOCR local"), -1, -1,
                               0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("kelsor-server cloud"), -1,
                               -1, 0);
    X509_set_issuer_name(cert.get(), name);
    const std::string altNames = "DNS:*." + region + ".localhost,DNS:localhost,IP:127.0.0.1,IP:::1";
    if (!AddExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE") ||
        !AddExtension(cert.get(), NID_key_usage, "critical,digitalSignature,keyCertSign") ||
        !AddExtension(cert.get(), NID_ext_key_usage, "serverAuth") ||
        !AddExtension(cert.get(), NID_subject_key_identifier, "hash") ||
        !AddExtension(cert.get(), NID_subject_alt_name, altNames)) {
        error = "cannot add the certificate extensions";
        return false;
    }
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) {
        error = "cannot sign the certificate";
        return false;
    }
    auto writeKey = [](FILE* f, void* k) {
        return PEM_write_PrivateKey(f, static_cast<EVP_PKEY*>(k), nullptr, nullptr, 0, nullptr,
                                    nullptr) == 1;
    };
    auto writeCert = [](FILE* f, void* c) { return PEM_write_X509(f, static_cast<X509*>(c)) == 1; };
    if (!WritePem(files.keyPath, 0600, writeKey, key.get()) ||
        !WritePem(files.certPath, 0644, writeCert, cert.get())) {
        error = "cannot write " + files.certPath + " or " + files.keyPath;
        return false;
    }
    return true;
}

}  // namespace

bool CertificateCoversHost(const std::string& certPath, const std::string& host) {
    const X509Ptr cert = ReadCertificate(certPath);
    return cert && X509_check_host(cert.get(), host.c_str(), host.size(), 0, nullptr) == 1;
}

bool EnsureCloudCertificate(const std::string& dataDir, const std::string& region,
                            CertificateFiles& files, std::string& error) {
    files.certPath = dataDir + "/cloud-cert.pem";
    files.keyPath = dataDir + "/cloud-key.pem";
    files.created = false;
    const bool keyExists = ::access(files.keyPath.c_str(), R_OK) == 0;
    if (keyExists && CertificateCoversHost(files.certPath, "ocr." + region + ".localhost")) {
        return true;
    }
    if (!CreateCertificate(region, files, error)) {
        return false;
    }
    files.created = true;
    return true;
}

}  // namespace kelsor::server
