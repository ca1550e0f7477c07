#include "server/InstallPaths.h"

#include <filesystem>

namespace kelsor::server {
namespace {

std::string BesideProgram(const std::string& folder, const std::string& relative) {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    const std::filesystem::path path = self.parent_path().parent_path() / folder / relative;
    return std::filesystem::exists(path, ec) ? path.string() : std::string();
}

}  // namespace

std::string InstalledSharePath(const std::string& relative) {
    return BesideProgram("share/kelsorocr", relative);
}

std::string InstalledLibexecPath(const std::string& relative) {
    return BesideProgram("libexec/kelsorocr", relative);
}

std::string ChosenPath(const std::string& given, const std::string& installed,
                       const std::string& built) {
    if (!given.empty()) {
        return given;
    }
    return installed.empty() ? built : installed;
}

}  // namespace kelsor::server
