#pragma once

#include <string>

// The history's two settings in the settings file (config.ini, section
// "KSOCRInfo"): "history" (keep a record of each recognition; on unless "0")
// and "historynotice" ("1" once the user has been told that it is kept).
namespace kelsor::history {

inline constexpr const wchar_t* kSettingsHistoryKey = L"history";
inline constexpr const wchar_t* kSettingsHistoryNoticeKey = L"historynotice";

// On when the file or the key is missing.
bool IsRecordingOn(const std::wstring& configPath);
// False when the file could not be written.
bool SetRecordingOn(const std::wstring& configPath, bool on);

bool WasNoticeShown(const std::wstring& configPath);
bool SetNoticeShown(const std::wstring& configPath);

}  // namespace kelsor::history
