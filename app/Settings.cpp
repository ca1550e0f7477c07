#include "app/Settings.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/sys/Ini.h"
#include "platform/sys/ShellFolders.h"

namespace kelsor {
namespace {

// The value buffer of the settings reader holds 260 characters.
constexpr size_t kValueBufferChars = 260;

}  // namespace

void PrepareSettingsFile(AppContext& c) {
    c.configPath = c.dataFolder + L"/" + L"config.ini";
    const std::string path = platform::ToNativePath(c.configPath);
    int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;  // already there, or cannot be made
    }
    close(fd);
    platform::WritePrivateProfileString(kSettingsSection, kSettingsChannelKey, kBuiltInChannel,
                                        c.configPath);
}

void ReadSettingsChannel(AppContext& c) {
    const std::string path = platform::ToNativePath(c.configPath);
    if (c.configPath.empty() || access(path.c_str(), F_OK) != 0) {
        return;
    }
    std::wstring value = platform::GetPrivateProfileString(kSettingsSection, kSettingsChannelKey,
                                                           kBuiltInChannel, c.configPath);
    value = value.substr(0, value.find(L'\0'));
    if (value.size() > kValueBufferChars - 1) {
        value.resize(kValueBufferChars - 1);
    }
    c.channel = value;
}

void ReadSettingsAutoCopy(AppContext& c) {
    c.autoCopyScreenText = !c.configPath.empty() &&
                           platform::GetPrivateProfileString(kSettingsSection, kSettingsAutoCopyKey,
                                                             L"0", c.configPath) == L"1";
}

bool SaveSettingsAutoCopy(AppContext& c, bool on) {
    c.autoCopyScreenText = on ? 1 : 0;
    return !c.configPath.empty() &&
           platform::WritePrivateProfileString(kSettingsSection, kSettingsAutoCopyKey,
                                               on ? L"1" : L"0", c.configPath);
}

void ReadSettingsReadCodes(AppContext& c) {
    c.readCodes = c.configPath.empty() ||
                  platform::GetPrivateProfileString(kSettingsSection, kSettingsReadCodesKey, L"1",
                                                    c.configPath) != L"0";
}

bool SaveSettingsReadCodes(AppContext& c, bool on) {
    c.readCodes = on ? 1 : 0;
    return !c.configPath.empty() &&
           platform::WritePrivateProfileString(kSettingsSection, kSettingsReadCodesKey,
                                               on ? L"1" : L"0", c.configPath);
}

}  // namespace kelsor
