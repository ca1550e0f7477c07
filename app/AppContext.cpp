#include "app/AppContext.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "app/Settings.h"
#include "app/Utilities.h"
#include "platform/sys/ShellFolders.h"

namespace kelsor {
namespace {

std::wstring HostFromEnvironment(const char* name, const wchar_t* fallback) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return fallback;
    }
    return platform::FromNativePath(value);
}

// Fills the "%s" placeholders of `pattern` in turn; no printf, so a "%" in a
// value cannot be misread.
std::wstring FillTemplate(const std::wstring& pattern, const std::wstring& first,
                          const std::wstring& second) {
    std::wstring out;
    const std::wstring* values[] = {&first, &second};
    size_t next = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == L'%' && i + 1 < pattern.size() && pattern[i + 1] == L's' && next < 2) {
            out += *values[next++];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

// A folder with its trailing "/", or empty: an unknown folder must not turn
// into the root folder.
std::wstring WithSeparator(const std::wstring& folder) {
    return folder.empty() ? std::wstring() : folder + L"/";
}

// Creates `folder` and every missing parent; true when it exists afterwards.
bool CreateFolderWithParents(const std::string& folder) {
    if (folder.empty()) {
        return false;
    }
    size_t pos = 0;
    while (true) {
        pos = folder.find('/', pos + 1);
        std::string partial = folder.substr(0, pos);
        if (!partial.empty() && mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
            return false;
        }
        if (pos == std::string::npos) {
            break;
        }
    }
    struct stat st;
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

StartupInputs StartupInputs::FromEnvironment() {
    StartupInputs inputs;
    inputs.exeFolder = platform::GetProgramFolder();
    inputs.desktopFolder = platform::GetShellFolder(platform::kFolderDesktop);
    inputs.appDataFolder = platform::GetShellFolder(platform::kFolderAppData);
    inputs.siteHost = HostFromEnvironment("KELSOR_SITE_HOST", kDefaultSiteHost);
    inputs.webHost = HostFromEnvironment("KELSOR_WEB_HOST", kDefaultWebHost);
    inputs.apiHost = HostFromEnvironment("KELSOR_API_HOST", kDefaultApiHost);
    return inputs;
}

void ResetAppContext(AppContext& c) {
    for (std::wstring* text : {&c.exeFolder,
                               &c.desktopFolder,
                               &c.screenOutputFolder,
                               &c.dataFolder,
                               &c.productName,
                               &c.selfPath,
                               &c.updaterPath,
                               &c.statsPath,
                               &c.versionText,
                               &c.singleCutPicturePath,
                               &c.singleWorkPicturePath,
                               &c.screenCutPicturePath,
                               &c.screenWorkPicturePath,
                               &c.avatarPath,
                               &c.sessionFilePath,
                               &c.installerPath,
                               &c.configPath,
                               &c.homePageUrl,
                               &c.aboutPageUrl,
                               &c.blankPageUrl,
                               &c.loginPageUrl,
                               &c.bindPhonePageUrl,
                               &c.autoLoginApiUrl,
                               &c.softwareInfoApiUrl}) {
        text->clear();
    }
    c.channel = kBuiltInChannel;
    c.useCustomOutputFolder = 0;
    c.formatType = 0;
    c.autoCopyScreenText = 0;
    c.readCodes = 1;
    c.customOutputFolder.set({});
    c.bindPhoneTargetUrl.set({});
    c.autoLoginReply.set({});
}

void BuildAppContext(AppContext& c, const StartupInputs& in) {
    // The batch task manager (jobs) is started by the entry point just before.
    c.formatType = 0;
    c.useCustomOutputFolder = 0;

    c.exeFolder = in.exeFolder;
    c.desktopFolder = WithSeparator(in.desktopFolder);
    c.screenOutputFolder = c.desktopFolder;
    c.customOutputFolder.set(c.desktopFolder);

    c.selfPath = c.exeFolder + L"KelsorOCR";
    c.updaterPath = c.exeFolder + L"KelsorOCRUpdate";
    c.statsPath = c.exeFolder + L"KelsorOCRStats";
    c.dataFolder = WithSeparator(in.appDataFolder) + L"KelsorOCR/";
    c.productName = L"KelsorOCR";

    c.versionText = GetFileVersionText(c.selfPath);
    if (c.versionText.empty())
        c.versionText = in.fallbackVersion;

    c.singleCutPicturePath = c.dataFolder + L"singlecutpic.jpg";
    c.singleWorkPicturePath = c.dataFolder + L"singleocrfile.jpg";
    c.screenCutPicturePath = c.dataFolder + L"screencutpic.jpg";
    c.screenWorkPicturePath = c.dataFolder + L"screenocrfile.jpg";
    c.avatarPath = c.dataFolder + L"useravtar.png";

    // Filled with the channel held before the settings file is read, so the
    // request URLs always carry the built-in channel.
    c.homePageUrl = L"http://" + in.siteHost;
    c.aboutPageUrl = L"http://" + in.siteHost + L"/about";
    c.blankPageUrl = L"http://" + in.webHost + L"/index/index/blank";
    c.loginPageUrl =
        FillTemplate(L"http://" + in.webHost + L"/index/account/login/pro/ocr/ver/%s/channel/%s",
                     c.versionText, c.channel);
    c.bindPhonePageUrl = FillTemplate(
        L"http://" + in.webHost + L"/index/account/bindphone/pro/ocr/ver/%s/channel/%s/uid/",
        c.versionText, c.channel);
    c.autoLoginApiUrl =
        FillTemplate(L"http://" + in.apiHost + L"/api/v3/user/autologin/pro/ocr/ver/%s/channel/%s",
                     c.versionText, c.channel);
    c.softwareInfoApiUrl = FillTemplate(
        L"http://" + in.apiHost + L"/api/v3/soft/ocr/ver/%s/channel/%s", c.versionText, c.channel);

    // Joined as "folder/" + "/" + name; the doubled separator means one.
    c.sessionFilePath = c.dataFolder + L"/" + L"ud";
    c.installerPath = c.dataFolder + L"/" + L"KelsorPDFConverInst.run";

    CreateFolderWithParents(platform::ToNativePath(c.dataFolder));

    PrepareSettingsFile(c);
    ReadSettingsChannel(c);
    ReadSettingsAutoCopy(c);
    ReadSettingsReadCodes(c);
}

AppContext& App() {
    static AppContext context;
    return context;
}

}  // namespace kelsor
