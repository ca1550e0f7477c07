#include "companion/Converter.h"

#include <algorithm>
#include <thread>

#include "app/AppContext.h"
#include "app/HttpTransfer.h"
#include "app/TextConv.h"
#include "companion/CommandLine.h"
#include "companion/SoftwareInfo.h"
#include "platform/sys/Process.h"

// The button and the worker: the part of the converter flow that talks to
// the network.
namespace kelsor {
namespace {

std::wstring AsciiLower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) {
        return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    });
    return text;
}

}  // namespace

bool DownloadWithDigestCheck(const std::wstring& url, const std::wstring& target,
                             const std::wstring& digest) {
    HttpDownloadFile(url, target);
    // An empty digest never vouches for a file, whatever was downloaded.
    return !digest.empty() && AsciiLower(FileMd5(target)) == AsciiLower(digest);
}

void OnConverterButtonClick(ConverterWindowPort& window) {
    std::wstring converter = FindInstalledConverter();
    if (!converter.empty() && companion::IsRegularFile(converter)) {
        platform::StartProgram(converter, {});
        return;
    }
    window.ShowConverterFetching();
    if (companion::IsRegularFile(App().statsPath)) {
        platform::StartProgram(App().statsPath, {L"-KSOCRPDFDL"});
    }
    // The button stays hidden while the worker runs, so only one runs at a time.
    std::thread([&window] { RunConverterWorker(window); }).detach();
}

void RunConverterWorker(ConverterWindowPort& window) {
    std::wstring reply;
    HttpGetText(reply, App().softwareInfoApiUrl);
    SoftwareInfo& info = CurrentSoftwareInfo();
    if (ParseSoftwareInfo(reply, info) != 0) {
        return;
    }
    // The installer at installerPath is replaced by the download.
    if (DownloadWithDigestCheck(info.downloadUrl, App().installerPath, info.digest)) {
        RunInstallerAndWait(info.parameters);
    }
    window.SendMessage(WM_KSOCR_CONVERTERFETCHED);
}

}  // namespace kelsor
