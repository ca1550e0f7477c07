#include "companion/Converter.h"

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/files.h>
#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <cryptopp/md5.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <thread>

#include "app/AppContext.h"
#include "app/HttpTransfer.h"
#include "app/TextConv.h"
#include "companion/Launch.h"
#include "companion/SoftwareInfo.h"
#include "platform/sys/Registry.h"

namespace kelsor {
namespace {

bool IsRegularFile(const std::wstring& path) {
    struct stat info {};
    return ::stat(WideToAnsi(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::wstring AsciiLower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) {
        return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    });
    return text;
}

}  // namespace

std::wstring FindInstalledConverter() {
    std::wstring uninstall;
    platform::RegistryGetString(platform::RegistryRoot::LocalMachine, kConverterUninstallKey,
                                kConverterUninstallValue, uninstall);
    size_t slash = uninstall.rfind(L'/');
    // A string without any folder would name a file in the current folder,
    // which is not the converter: treat it as not installed.
    if (slash == std::wstring::npos) {
        return {};
    }
    return uninstall.substr(0, slash + 1) + kConverterProgramName;
}

std::wstring FileMd5(const std::wstring& path) {
    if (!IsRegularFile(path)) {
        return {};
    }
    std::string hex;
    try {
        CryptoPP::Weak::MD5 md5;
        CryptoPP::FileSource source(
            WideToAnsi(path).c_str(), true,
            new CryptoPP::HashFilter(
                md5, new CryptoPP::HexEncoder(new CryptoPP::StringSink(hex), false /*lower*/)));
    } catch (const CryptoPP::Exception&) {
        return {};  // an unreadable file has no digest
    }
    return AnsiToWide(hex);
}

bool RunInstallerAndWait(const std::wstring& parameters) {
    const std::wstring& installer = App().installerPath;
    if (!IsRegularFile(installer)) {
        return false;
    }
    // A downloaded file carries no execute permission; the digest has been
    // checked, so the owner may run it.
    ::chmod(WideToAnsi(installer).c_str(), 0700);
    return companion::RunHiddenAndWait(installer, companion::SplitParameters(parameters));
}

void OnConverterButtonClick(ConverterWindowPort& window) {
    std::wstring converter = FindInstalledConverter();
    if (!converter.empty() && IsRegularFile(converter)) {
        companion::StartProgram(converter, {});
        return;
    }
    window.ShowConverterFetching();
    if (IsRegularFile(App().statsPath)) {
        companion::StartProgram(App().statsPath, {L"-KSOCRPDFDL"});
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
    const std::wstring& installer = App().installerPath;
    std::remove(WideToAnsi(installer).c_str());
    HttpDownloadFile(info.downloadUrl, installer);
    std::wstring digest = FileMd5(installer);
    // An empty digest never vouches for a file, whatever was downloaded.
    if (!info.digest.empty() && AsciiLower(digest) == AsciiLower(info.digest)) {
        RunInstallerAndWait(info.parameters);
    }
    window.SendMessage(WM_KSOCR_CONVERTERFETCHED);
}

}  // namespace kelsor
