#include "pages/PageNaming.h"

#include <cwchar>

namespace kelsor::jobs {

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

std::wstring TimeStampedResultName(const std::tm& local) {
    wchar_t name[64] = {};
    if (std::wcsftime(name, sizeof name / sizeof name[0], L"%Y-%m-%d_%H-%M-%S", &local) == 0) {
        return L".txt";
    }
    return std::wstring(name) + L".txt";
}

std::wstring ScreenResultFolder(bool useCustomFolder, const std::wstring& customFolder,
                                const std::wstring& desktopFolder, const std::wstring& homeFolder) {
    auto known = [](const std::wstring& folder) { return !folder.empty() && folder[0] == L'/'; };
    std::wstring folder = homeFolder;
    if (useCustomFolder && known(customFolder)) {
        folder = customFolder;
    } else if (known(desktopFolder)) {
        folder = desktopFolder;
    }
    if (folder.empty() || folder.back() != L'/') {
        folder += L'/';
    }
    return folder;
}

}  // namespace kelsor::jobs
