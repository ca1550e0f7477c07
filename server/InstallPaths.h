#pragma once

#include <string>

// Where an installed kelsor-server finds its shared files: the program lives
// in <prefix>/bin, its pages and models in <prefix>/share/kelsorocr and the
// converter installer with the client in <prefix>/libexec/kelsorocr. A
// server run from the build tree finds neither and uses the source tree.
namespace kelsor::server {

// `relative` inside <prefix>/share/kelsorocr, or empty when this program is
// not installed that way (the path does not exist).
std::string InstalledSharePath(const std::string& relative);
// `relative` inside <prefix>/libexec/kelsorocr, or empty likewise.
std::string InstalledLibexecPath(const std::string& relative);

// The first that is not empty: the path given on the command line, the
// installed one, the one in the build or source tree.
std::string ChosenPath(const std::string& given, const std::string& installed,
                       const std::string& built);

}  // namespace kelsor::server
