#include "server/tools/UpdateInfo.h"

#include "server/HexText.h"
#include "server/JsonReply.h"
#include "server/account/CompanionInstaller.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <regex>
#include <vector>

namespace kelsor::server::tools {
namespace {

bool TakeEntry(const Json::Value& entry, const std::string& dataDir, UpdateOffer& offer,
               std::string& error) {
    static const std::regex kVersion("[0-9]{1,9}(\\.[0-9]{1,9}){0,3}");
    if (!entry.isObject() || !entry["version"].isString() ||
        !std::regex_match(entry["version"].asString(), kVersion) ||
        (entry.isMember("package") && !entry["package"].isString())) {
        error = "update.json: an entry needs \"version\" (1 to 4 numbers) and may name a package";
        return false;
    }
    offer.version = entry["version"].asString();
    offer.packagePath = entry.get("package", "").asString();
    if (!offer.packagePath.empty() && std::filesystem::path(offer.packagePath).is_relative()) {
        offer.packagePath = dataDir + "/" + offer.packagePath;
    }
    return true;
}

// Identifies the file's current content well enough to reuse its digest.
bool FileKey(int fd, std::string& key, std::uint64_t& size) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    size = static_cast<std::uint64_t>(info.st_size);
    key = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":" +
          std::to_string(size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
          std::to_string(info.st_mtim.tv_nsec);
    return true;
}

bool Md5OfFile(int fd, std::string& md5) {
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) {
        return false;
    }
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(n));
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) {
        return false;
    }
    md5 = HexText(digest, length);
    return true;
}

}  // namespace

bool PackageDigests::Describe(const std::string& path, PackageFacts& facts, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::string key;
    std::uint64_t size = 0;
    if (fd < 0 || !FileKey(fd, key, size)) {
        if (fd >= 0) {
            ::close(fd);
        }
        error = "cannot read the package " + path;
        return false;
    }
    std::lock_guard lock(m_mutex);
    Entry& entry = m_entries[path];
    bool ok = true;
    if (entry.fileKey != key) {
        std::string md5;
        ok = Md5OfFile(fd, md5);
        entry = ok ? Entry{key, {size, md5}} : Entry{};
    }
    ::close(fd);
    if (!ok) {
        error = "cannot read the package " + path;
        return false;
    }
    facts = entry.facts;
    return true;
}

bool FindUpdateOffer(const std::string& dataDir, const std::string& channel, UpdateOffer& offer,
                     std::string& error) {
    std::string text;
    if (!account::ReadWholeFile(dataDir + "/update.json", text, error)) {
        error.clear();
#ifdef KELSOR_PROJECT_VERSION
        offer = {KELSOR_PROJECT_VERSION, {}};
#else
        offer = {"0", {}};
#endif
        return true;
    }
    Json::Value config;
    if (!ParseJsonObject(text, config)) {
        error = "update.json is not a JSON object";
        return false;
    }
    const Json::Value& channels = config["channels"];
    if (channels.isObject() && channels.isMember(channel)) {
        return TakeEntry(channels[channel], dataDir, offer, error);
    }
    return TakeEntry(config, dataDir, offer, error);
}

}  // namespace kelsor::server::tools
