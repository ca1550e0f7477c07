#pragma once

#include "server/account/AccountService.h"
#include "server/tools/FileDownload.h"

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
// body whose "code" is a string. The installer download takes a slot of
// `downloads`.
void RegisterAccountApi(
    httplib::Server& server, std::shared_ptr<AccountService> service, const ServerOptions& options,
    std::shared_ptr<tools::DownloadSlots> downloads = std::make_shared<tools::DownloadSlots>());

// The JSON endpoints taking a POST body.
enum class ApiCall { SmsCode, Login, Register, ThirdAuth, BindPhone };

// The reply to `body` posted to one of them: a failure for a body that is not
// a JSON object (whatever its depth or size), else the service's answer.
ApiReply AnswerApiPost(AccountService& service, ApiCall call, const std::string& body,
                       const std::string& origin);

// "http://" + the Host the caller used, when it is a plain host name or
// address with an optional port; else the listener's loopback address.
std::string RequestOrigin(const httplib::Request& request);

}  // namespace kelsor::server::account
