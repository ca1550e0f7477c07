#pragma once

#include "server/account/AccountService.h"

#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace kelsor::server::account {

// The web side of the account listener: the product site ("/", "/about"),
// the account pages (assembled from the www folder's pages and their shared
// parts) with their static files, and the users' pictures.
void RegisterSitePages(httplib::Server& server, std::shared_ptr<AccountService> service,
                       const ServerOptions& options);

// `--www`, else the folder of the source tree the server was built from.
std::string WwwFolder(const ServerOptions& options);

// The content type of a static file by its extension; empty when the
// service does not serve that kind.
std::string StaticContentType(const std::string& name);

}  // namespace kelsor::server::account
