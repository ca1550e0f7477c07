#pragma once

#include <string>

namespace kelsor::server {

struct CertificateFiles {
    std::string certPath;  // PEM; clients use it as their CA file
    std::string keyPath;   // PEM, mode 0600
    bool created = false;
};

// The cloud side's self-signed certificate in `dataDir`, created at first
// start (and again when it does not cover `region`). Its names are
// DNS:*.<region>.localhost, DNS:localhost, IP:127.0.0.1, IP:::1.
bool EnsureCloudCertificate(const std::string& dataDir, const std::string& region,
                            CertificateFiles& files, std::string& error);

// True when the PEM certificate at `certPath` is valid for `host`.
bool CertificateCoversHost(const std::string& certPath, const std::string& host);

}  // namespace kelsor::server
