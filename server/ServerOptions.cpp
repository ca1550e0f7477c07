#include "server/ServerOptions.h"

#include <charconv>

namespace kelsor::server {
namespace {

template <typename T>
bool ParseNumber(const std::string& text, T& value, T minimum, T maximum) {
    T parsed{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || parsed < minimum ||
        parsed > maximum) {
        return false;
    }
    value = parsed;
    return true;
}

}  // namespace

std::string ServerUsage() {
    return "usage: kelsor-server --data <dir> [--cloud-port <p>] [--account-port <p>]\n"
           "                     [--token-ttl <seconds>] [--engine ppocr|tesseract]\n"
           "                     [--engines <n>] [--region <name>] [--bind <address>]\n"
           "                     [--url-timeout <seconds>] [--session-ttl <seconds>]\n"
           "                     [--www <dir>] [--companion-installer <file>]\n"
           "       kelsor-server add-cloud-user --data <dir> --domain <d> --user <u>\n"
           "                     --password <p|-> [--project <name>]\n"
           "       kelsor-server add-user --data <dir> --mobile <m> [--nickname <n>]\n"
           "                     [--password <p|->] [--region <name>]\n"
           "       kelsor-server demo-session --data <dir> [--region <name>]\n"
           "Port 0 chooses a free port; the chosen ports are printed. The engine is\n"
           "ppocr when its models are installed, tesseract otherwise.\n";
}

bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& options,
                        std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (i + 1 >= args.size()) {
            error = "missing value for " + name;
            return false;
        }
        const std::string& value = args[++i];
        bool ok = true;
        if (name == "--data") {
            options.dataDir = value;
        } else if (name == "--cloud-port") {
            ok = ParseNumber(value, options.cloudPort, 0, 65535);
        } else if (name == "--account-port") {
            ok = ParseNumber(value, options.accountPort, 0, 65535);
        } else if (name == "--token-ttl") {
            ok = ParseNumber(value, options.tokenTtlSeconds, 0L, 10L * 365 * 24 * 3600);
        } else if (name == "--engine") {
            options.engine = value;
        } else if (name == "--engines") {
            ok = ParseNumber(value, options.engineCount, std::size_t{0}, std::size_t{64});
        } else if (name == "--region") {
            ok = !value.empty() && value.find_first_of("/ .*") == std::string::npos;
            options.region = value;
        } else if (name == "--bind") {
            options.bindHost = value;
        } else if (name == "--url-timeout") {
            ok = ParseNumber(value, options.urlTimeoutSeconds, 1L, 600L);
        } else if (name == "--session-ttl") {
            ok = ParseNumber(value, options.sessionTtlSeconds, 1L, 10L * 365 * 24 * 3600);
        } else if (name == "--www") {
            ok = !value.empty();
            options.wwwDir = value;
        } else if (name == "--companion-installer") {
            ok = !value.empty();
            options.companionInstaller = value;
        } else {
            error = "unknown option " + name;
            return false;
        }
        if (!ok) {
            error = "bad value for " + name + ": " + value;
            return false;
        }
    }
    if (options.dataDir.empty()) {
        error = "--data <dir> is required";
        return false;
    }
    return true;
}

}  // namespace kelsor::server
