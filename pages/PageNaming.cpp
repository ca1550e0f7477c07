#include "pages/PageNaming.h"

namespace kelsor::jobs {

std::wstring FolderOfPath(const std::wstring& path) {
    const auto slash = path.rfind(L'/');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring BaseNameOfPath(const std::wstring& path) {
    const auto slash = path.rfind(L'/');
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind(L'.');
    if (dot != std::wstring::npos) {
        name.erase(dot);
    }
    return name;
}

std::wstring ResultPathFor(const std::wstring& picture, bool useCustomFolder,
                           const std::wstring& customFolder) {
    const std::wstring folder = useCustomFolder ? customFolder : FolderOfPath(picture);
    return folder + BaseNameOfPath(picture) + L".txt";
}

}  // namespace kelsor::jobs
