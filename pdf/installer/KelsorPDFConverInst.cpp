// KelsorPDFConverInst: installs the companion converter "KelsorPDFConver"
// (the program it carries) into a folder and records its uninstall entry in
// the registry layer.
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
#include <iterator>
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

// The converter program, carried inside this installer (ConverterPayload.cpp).
extern "C" const unsigned char kelsor_converter_payload[];
extern "C" const unsigned char kelsor_converter_payload_end[];

std::string_view ConverterProgram() {
    return {reinterpret_cast<const char*>(kelsor_converter_payload),
            static_cast<std::size_t>(kelsor_converter_payload_end - kelsor_converter_payload)};
}

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
        // Its own folder, wherever it was started from: argv[0] is only the
        // name the caller typed ("uninst" through PATH says nothing of it).
        std::error_code error;
        const fs::path self = fs::read_symlink("/proc/self/exe", error);
        if (error) {
            std::cerr << "KelsorPDFConverInst: cannot find its own folder\n";
            return false;
        }
        options.folder = self.parent_path();
    }
    if (options.folder.empty()) {
        options.folder = DefaultFolder();
    }
    options.folder = fs::absolute(options.folder).lexically_normal();
    return true;
}

// Written beside the target and renamed over it: a converter that is
// running keeps its old file, and a failed write leaves no half program.
bool WriteExecutable(const fs::path& path, std::string_view content) {
    const fs::path part = path.string() + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out || ::chmod(part.c_str(), 0755) != 0) {
            std::error_code ignored;
            fs::remove(part, ignored);
            return false;
        }
    }
    std::error_code error;
    fs::rename(part, path, error);
    return !error;
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
    if (!WriteExecutable(converter, ConverterProgram())) {
        std::cerr << "KelsorPDFConverInst: cannot write " << converter << '\n';
        return 1;
    }
    // The uninstaller is this program again; it knows its role by its name.
    std::ifstream self("/proc/self/exe", std::ios::binary);
    const std::string own((std::istreambuf_iterator<char>(self)), std::istreambuf_iterator<char>());
    if (!self.good() && !self.eof()) {
        std::cerr << "KelsorPDFConverInst: cannot read its own program file\n";
        return 1;
    }
    if (!WriteExecutable(uninstaller, own)) {
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
