#include "history/HistorySettings.h"

#include "app/Settings.h"
#include "platform/sys/Ini.h"

namespace kelsor::history {

bool IsRecordingOn(const std::wstring& configPath) {
    return configPath.empty() ||
           platform::GetPrivateProfileString(kSettingsSection, kSettingsHistoryKey, L"1",
                                             configPath) != L"0";
}

bool SetRecordingOn(const std::wstring& configPath, bool on) {
    return !configPath.empty() &&
           platform::WritePrivateProfileString(kSettingsSection, kSettingsHistoryKey,
                                               on ? L"1" : L"0", configPath);
}

bool WasNoticeShown(const std::wstring& configPath) {
    return !configPath.empty() &&
           platform::GetPrivateProfileString(kSettingsSection, kSettingsHistoryNoticeKey, L"0",
                                             configPath) == L"1";
}

bool SetNoticeShown(const std::wstring& configPath) {
    return !configPath.empty() &&
           platform::WritePrivateProfileString(kSettingsSection, kSettingsHistoryNoticeKey, L"1",
                                               configPath);
}

}  // namespace kelsor::history
