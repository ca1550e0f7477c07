#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kelsor::server {

// Defaults of the local run; tests pass port 0 to get free ports.
struct ServerOptions {
    std::string dataDir;
    std::string bindHost = "127.0.0.1";
    int cloudPort = 18443;    // HTTPS: identity and OCR
    int accountPort = 18080;  // plain HTTP: the account service
    long tokenTtlSeconds = 24 * 60 * 60;
    std::string engine;           // empty: PP-OCR when installed, else Tesseract
    std::size_t engineCount = 0;  // 0 = one per core
    std::string region = "cn-north-4";
    long urlTimeoutSeconds = 10;
    long sessionTtlSeconds = 30L * 24 * 60 * 60;  // account session tokens
    std::string wwwDir;                           // empty: the pages of the source tree
    std::string companionInstaller;               // empty: the installer built with the server
};

// Parses the options after the program name. Returns false with `error` set
// on an unknown option or a bad value.
bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& options,
                        std::string& error);
std::string ServerUsage();

}  // namespace kelsor::server
