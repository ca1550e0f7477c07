#pragma once

#include <string>

// The user's well-known folders and the running program's own location.
// Folder identifiers keep the numbers the program has always used.
namespace kelsor::platform {

enum ShellFolderId : int {
    kFolderDesktop = 0,   // `xdg-user-dir DESKTOP`, else ~/Desktop
    kFolderPersonal = 5,  // $HOME
    kFolderAppData = 26,  // $XDG_DATA_HOME, else ~/.local/share
};

// The folder without a trailing separator; empty when it cannot be found.
std::wstring GetShellFolder(int folderId);

// Absolute path of the running program file (empty when unknown).
std::wstring GetProgramPath();
// Folder of the running program file, with the trailing "/" (empty when unknown).
std::wstring GetProgramFolder();

// A path in the process code page, as the file system calls take it.
std::string ToNativePath(const std::wstring& path);
std::wstring FromNativePath(const std::string& path);

}  // namespace kelsor::platform
