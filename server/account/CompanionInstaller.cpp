#include "server/account/CompanionInstaller.h"

#include "server/HexText.h"
#include "server/InstallPaths.h"

#include <openssl/evp.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kelsor::server::account {

std::string CompanionInstallerPath(const ServerOptions& options) {
#ifdef KELSOR_COMPANION_INSTALLER
    const std::string built = KELSOR_COMPANION_INSTALLER;
#else
    const std::string built;
#endif
    return ChosenPath(options.companionInstaller, InstalledLibexecPath("KelsorPDFConverInst"),
                      built);
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) {
        error = path.empty() ? "no file given" : "no file " + path;
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    if (!in.good() && !in.eof()) {
        error = "cannot read " + path;
        return false;
    }
    bytes = content.str();
    return true;
}

std::string Md5Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr);
    return HexText(digest, size);
}

}  // namespace kelsor::server::account
