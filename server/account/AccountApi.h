#pragma once

#include "server/account/AccountService.h"

#include <memory>
#include <string>

namespace httplib {
class Server;
struct Request;
}  // namespace httplib

namespace kelsor::server::account {

// The JSON API on the account listener: verification codes, sign-in,
// registration, third-party stand-ins, phone binding, auto-login and the
// companion's software information. Every reply is HTTP 200 with a JSON
// body whose "code" is a string.
void RegisterAccountApi(httplib::Server& server, std::shared_ptr<AccountService> service,
                        const ServerOptions& options);

// "http://" + the Host the caller used, when it is a plain host name or
// address with an optional port; else the listener's loopback address.
std::string RequestOrigin(const httplib::Request& request);

}  // namespace kelsor::server::account
