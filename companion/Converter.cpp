#include "companion/Converter.h"

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/files.h>
#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <cryptopp/md5.h>
#include <sys/stat.h>

#include <cstdio>

#include "app/AppContext.h"
#include "app/TextConv.h"
#include "companion/CommandLine.h"
#include "platform/sys/Process.h"
#include "platform/sys/Registry.h"

namespace kelsor {

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
    if (!companion::IsRegularFile(path)) {
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
    if (!companion::IsRegularFile(installer)) {
        return false;
    }
    // A downloaded file carries no execute permission; the digest has been
    // checked, so the owner may run it.
    ::chmod(WideToAnsi(installer).c_str(), 0700);
    platform::StartOptions options;
    options.hidden = true;
    options.wait = true;
    return platform::StartProgram(installer, companion::SplitParameters(parameters), options)
        .started;
}

}  // namespace kelsor
