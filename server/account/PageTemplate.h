#pragma once

#include <optional>
#include <string>

namespace kelsor::server::account {

// An account page of the www folder with its shared parts put in: a line
//   <!--#part "head.html" title="注册登录" -->
// stands for www/parts/head.html with each {{title}} replaced by the value
// given. Nothing when the page or a part it names cannot be read, or a
// part line is malformed.
std::optional<std::string> AssemblePage(const std::string& wwwFolder, const std::string& page);

}  // namespace kelsor::server::account
