#pragma once

#include <atomic>
#include <mutex>
#include <string>

// The process-wide application context: folders, work-file names, sibling
// program paths, version text, URL templates and the output options. Built
// once on the UI thread at start-up; afterwards read from any thread. Folder
// values end with the separator "/".
namespace kelsor {

// A string written on the UI thread and read by worker threads: readers get a
// whole copy, never a half-written value.
class SharedText {
public:
    SharedText() = default;
    explicit SharedText(std::wstring value) : m_value(std::move(value)) {}
    std::wstring get() const {
        std::lock_guard lock(m_mutex);
        return m_value;
    }
    void set(std::wstring value) {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
    }

private:
    mutable std::mutex m_mutex;
    std::wstring m_value;
};

struct AppContext {
    // Set once during start-up, read-only afterwards.
    std::wstring exeFolder;
    std::wstring desktopFolder;
    std::wstring screenOutputFolder;
    std::wstring dataFolder;
    std::wstring productName;
    std::wstring selfPath;
    std::wstring updaterPath;
    std::wstring statsPath;
    std::wstring versionText;
    std::wstring singleCutPicturePath;
    std::wstring singleWorkPicturePath;
    std::wstring screenCutPicturePath;
    std::wstring screenWorkPicturePath;
    std::wstring avatarPath;
    std::wstring sessionFilePath;
    std::wstring installerPath;
    std::wstring configPath;
    std::wstring channel = L"10001";
    std::wstring homePageUrl;
    std::wstring aboutPageUrl;
    std::wstring blankPageUrl;
    std::wstring loginPageUrl;
    std::wstring bindPhonePageUrl;
    std::wstring autoLoginApiUrl;
    std::wstring softwareInfoApiUrl;

    // Changed on the UI thread while the program runs; workers read them.
    std::atomic<int> useCustomOutputFolder{0};  // 0 = source folder, 1 = customOutputFolder
    std::atomic<int> formatType{0};             // FormatType
    std::atomic<int> autoCopyScreenText{0};     // "截图识别后自动复制", from config.ini
    std::atomic<int> readCodes{1};              // "识别二维码/条形码", from config.ini
    SharedText customOutputFolder;
    SharedText bindPhoneTargetUrl;
    SharedText autoLoginReply;
};

// What the context is built from: the folders the system reports and the
// account service's host names. Tests give their own.
struct StartupInputs {
    std::wstring exeFolder;      // the program's folder, with its trailing "/"
    std::wstring desktopFolder;  // without trailing "/"; empty when unknown
    std::wstring appDataFolder;  // without trailing "/"; empty when unknown
    std::wstring siteHost;
    std::wstring webHost;
    std::wstring apiHost;
    // The version requests carry when the client's file beside the program
    // has none (a sibling program installed on its own); empty for none.
    std::wstring fallbackVersion;

    // The running program's folder, the user's folders and the hosts, each
    // host from its environment variable when set (KELSOR_SITE_HOST,
    // KELSOR_WEB_HOST, KELSOR_API_HOST), else the local default.
    static StartupInputs FromEnvironment();
};

inline constexpr const wchar_t* kDefaultSiteHost = L"www.kelsor.localhost:18080";
inline constexpr const wchar_t* kDefaultWebHost = L"web.kelsor.localhost:18080";
inline constexpr const wchar_t* kDefaultApiHost = L"api.kelsor.localhost:18080";
inline constexpr const wchar_t* kBuiltInChannel = L"10001";

// Puts every value back to its state before start-up (channel "10001").
void ResetAppContext(AppContext& context);

// Builds `context` from `inputs` in start-up order: folders, program paths,
// version, work-file paths, URLs (with the channel held so far), then the
// data folder and the settings file, whose channel is read last.
void BuildAppContext(AppContext& context, const StartupInputs& inputs);

// The one process-wide instance.
AppContext& App();

}  // namespace kelsor
