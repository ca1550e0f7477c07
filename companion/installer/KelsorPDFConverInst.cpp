// KelsorPDFConverInst: installs the companion converter "KelsorPDFConver"
// into a folder and records its uninstall entry in the registry layer.
//
//   KelsorPDFConverInst [/S] [/D=<folder>]   install (/S: silent)
//   <folder>/uninst [/S]                     remove it again (also: /U)
//
// Default folder: $XDG_DATA_HOME/KelsorPDFConver/ (~/.local/share/...).
// The uninstall string is "<folder>/uninst"; the converter lives beside it.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/sys/CodePage.h"
#include "platform/sys/Registry.h"

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KelsorPDFConver";
constexpr char kVersion[] = "1.0.0";

// The converter itself: a small program that turns PDF files into text
// files beside them, with poppler's pdftotext when the system has it.
constexpr std::string_view kConverterScript = R"(#!/bin/sh
# KelsorPDFConver: converts each PDF file given into a .txt file beside it.
if [ "$#" -eq 0 ]; then
    echo "KelsorPDFConver 1.0.0: usage: KelsorPDFConver FILE.pdf..."
    exit 0
fi
if ! command -v pdftotext >/dev/null 2>&1; then
    echo "KelsorPDFConver: pdftotext is not installed" >&2
    exit 2
fi
status=0
for file in "$@"; do
    pdftotext -layout "$file" "${file%.*}.txt" || status=1
done
exit $status
)";

struct Options {
    bool silent = false;
    bool uninstall = false;
    fs::path folder;
};

fs::path DefaultFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    fs::path base = data && *data   ? fs::path(data)
                    : home && *home ? fs::path(home) / ".local/share"
                                    : fs::current_path();
    return base / "KelsorPDFConver";
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    options.uninstall = fs::path(argv[0]).filename() == "uninst";
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "/S" || arg == "--silent") {
            options.silent = true;
        } else if (arg == "/U" || arg == "--uninstall") {
            options.uninstall = true;
        } else if (StartsWith(arg, "/D=") || StartsWith(arg, "--dir=")) {
            options.folder = std::string(arg.substr(arg.find('=') + 1));
        } else {
            std::cerr << "KelsorPDFConverInst: unknown parameter: " << arg << '\n';
            return false;
        }
    }
    if (options.uninstall && options.folder.empty()) {
        options.folder = fs::absolute(fs::path(argv[0])).parent_path();
    }
    if (options.folder.empty()) {
        options.folder = DefaultFolder();
    }
    options.folder = fs::absolute(options.folder).lexically_normal();
    return true;
}

bool WriteExecutable(const fs::path& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    return out && ::chmod(path.c_str(), 0755) == 0;
}

int Install(const Options& options) {
    std::error_code error;
    fs::create_directories(options.folder, error);
    if (error) {
        std::cerr << "KelsorPDFConverInst: cannot create " << options.folder << ": "
                  << error.message() << '\n';
        return 1;
    }
    fs::path converter = options.folder / "KelsorPDFConver";
    fs::path uninstaller = options.folder / "uninst";
    if (!WriteExecutable(converter, kConverterScript)) {
        std::cerr << "KelsorPDFConverInst: cannot write " << converter << '\n';
        return 1;
    }
    // The uninstaller is this program again; it knows its role by its name.
    fs::copy_file("/proc/self/exe", uninstaller, fs::copy_options::overwrite_existing, error);
    if (error || ::chmod(uninstaller.c_str(), 0755) != 0) {
        std::cerr << "KelsorPDFConverInst: cannot write " << uninstaller << '\n';
        return 1;
    }
    using kelsor::platform::RegistryRoot;
    using kelsor::platform::RegistrySetString;
    std::wstring folder = kelsor::platform::Utf8ToWide(options.folder.string() + "/");
    bool recorded =
        RegistrySetString(RegistryRoot::LocalMachine, kUninstallKey, L"DisplayName",
                          L"KelsorPDFConver") &&
        RegistrySetString(RegistryRoot::LocalMachine, kUninstallKey, L"DisplayVersion",
                          kelsor::platform::Utf8ToWide(kVersion)) &&
        RegistrySetString(RegistryRoot::LocalMachine, kUninstallKey, L"InstallLocation", folder) &&
        RegistrySetString(RegistryRoot::LocalMachine, kUninstallKey, L"UninstallString",
                          folder + L"uninst");
    if (!recorded) {
        std::cerr << "KelsorPDFConverInst: cannot write the registry entry in "
                  << kelsor::platform::RegistryFilePath(RegistryRoot::LocalMachine) << '\n';
        return 1;
    }
    if (!options.silent) {
        std::cout << "KelsorPDFConver installed in " << options.folder.string() << '\n';
    }
    return 0;
}

int Uninstall(const Options& options) {
    std::error_code error;
    fs::remove(options.folder / "KelsorPDFConver", error);
    fs::remove(options.folder / "uninst", error);
    fs::remove(options.folder, error);  // only when nothing else is left in it
    if (!kelsor::platform::RegistryDeleteKey(kelsor::platform::RegistryRoot::LocalMachine,
                                             kUninstallKey)) {
        std::cerr << "KelsorPDFConverInst: cannot remove the registry entry\n";
        return 1;
    }
    if (!options.silent) {
        std::cout << "KelsorPDFConver removed from " << options.folder.string() << '\n';
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (argc < 1 || !ParseOptions(argc, argv, options)) {
        return 2;
    }
    return options.uninstall ? Uninstall(options) : Install(options);
}
