#pragma once

#include "server/ServerOptions.h"

#include <string>

namespace kelsor::server::account {

// The companion converter's installer as the service hands it out.
inline constexpr const char* kCompanionName = "KelsorPDFConver";
inline constexpr const char* kCompanionParameters = "/S";  // silent install
inline constexpr const char* kCompanionDownloadPath = "/download/KelsorPDFConverInst";

// The installer file: `--companion-installer`, else the one built with the
// server (empty when none was).
std::string CompanionInstallerPath(const ServerOptions& options);

// Reads the whole file; false with `error` when it is missing or unreadable.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error);

// Lower-case hex MD5 of the bytes.
std::string Md5Hex(const std::string& bytes);

}  // namespace kelsor::server::account
