// libFuzzer target over what kelsor-server reads from request bodies: the
// identity token request, the general-text body (with its Base64) and the
// account API's JSON bodies and auto-login path, run through the real account
// service on in-memory databases. The first byte picks the route, the rest is
// the body (for auto-login "<userid>/<token>").
//
//   build-fuzz/tests/server/server_request_fuzzer -close_fd_mask=1 \
//       /tmp/request-corpus tests/server/fuzz/request_corpus
#include "server/CloudUserStore.h"
#include "server/RequestBodies.h"
#include "server/account/AccountApi.h"
#include "server/account/AccountService.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using namespace kelsor::server;

struct Service {
    ServerOptions options;
    CloudUserStore cloudUsers;
    account::AccountService accounts{options, cloudUsers};

    Service() {
        std::string error;
        if (!cloudUsers.Open(":memory:", error) || !accounts.Open(":memory:", error)) {
            std::abort();
        }
    }
};

void CheckReply(const account::ApiReply& reply) {
    // Every answer is a string code, with data on success and a message otherwise.
    const Json::Value json = reply.ToJson();
    if (!json["code"].isString() || (reply.Ok() ? !json["data"].isObject() : reply.msg.empty())) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static Service service;
    const std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string origin = "http://web.kelsor.localhost:18080";
    switch (data[0] % 8) {
        case 0: {
            TokenRequest request;
            ReadTokenRequest(body, request);
            break;
        }
        case 1: {
            PictureSource source;
            std::string message;
            const PictureBodyError error = ReadPictureSource(body, source, message);
            if ((error == PictureBodyError::None) != message.empty()) {
                std::abort();  // a refusal always says why
            }
            break;
        }
        case 7: {
            const std::size_t slash = body.find('/');
            CheckReply(service.accounts.AutoLogin(
                body.substr(0, slash), slash == std::string::npos ? "" : body.substr(slash + 1),
                origin));
            break;
        }
        default: {
            const auto call = static_cast<account::ApiCall>(data[0] % 8 - 2);
            CheckReply(account::AnswerApiPost(service.accounts, call, body, origin));
            break;
        }
    }
    return 0;
}
