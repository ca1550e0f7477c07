#pragma once

#include <string>

#include "companion/ConverterWindowPort.h"

// The companion PDF converter: find it, or fetch, check and install it.
namespace kelsor {

// Registry key (under LocalMachine) and value of the converter's uninstall entry.
inline constexpr wchar_t kConverterUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KelsorPDFConver";
inline constexpr wchar_t kConverterUninstallValue[] = L"UninstallString";
// The converter program's file name in the folder of the uninstall string.
inline constexpr wchar_t kConverterProgramName[] = L"KelsorPDFConver";

// Full path of the installed converter program (the uninstall string's folder
// and the program name), or empty when no entry is recorded.
std::wstring FindInstalledConverter();

// MD5 of the file at `path` as 32 lower-case hexadecimal characters; empty
// when the file is missing or cannot be read.
std::wstring FileMd5(const std::wstring& path);

// Downloads `url` into `target` (replaced) and tells whether the file's MD5
// equals `digest`, in either case. An empty digest never vouches for a file.
bool DownloadWithDigestCheck(const std::wstring& url, const std::wstring& target,
                             const std::wstring& digest);

// Runs the installer at installerPath hidden with `parameters` and waits for
// it. False when the file is missing or could not be started.
bool RunInstallerAndWait(const std::wstring& parameters);

// The converter button (UI thread): an installed converter is started at
// once; otherwise the animation shows, the statistics program is told
// ("-KSOCRPDFDL") and a detached worker fetches and installs the converter.
void OnConverterButtonClick(ConverterWindowPort& window);

// The worker's steps, synchronous: software information, download, digest
// check, hidden install, then message 2154. A reply that does not parse ends
// it silently (no download, no message).
void RunConverterWorker(ConverterWindowPort& window);

}  // namespace kelsor
