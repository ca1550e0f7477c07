#pragma once

#include <string>

// What the programs of tools/ share with the client: the application
// context (data folder, channel, version) built the way the client builds it,
// and the account service's API address.
namespace kelsor::tools {

// Builds App() from the environment. The version is the client's (the
// KelsorOCR file beside this program), else this program's own, so that a
// program installed on its own still sends a version with its requests.
void BuildToolContext();

// "http://" + the API host (KELSOR_API_HOST or the local default).
std::wstring ApiBase();

}  // namespace kelsor::tools
