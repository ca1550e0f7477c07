#pragma once

#include <string>

// What the cloud routes read from request bodies, apart from the HTTP layer,
// so that the reading can be tested and fuzzed on its own. Any body, however
// malformed or deeply nested, ends in a result here, never an exception.
namespace kelsor::server {

// An identity token request: the password method with a project scope.
struct TokenRequest {
    std::string domain;
    std::string user;
    std::string password;
    std::string project;
};

enum class TokenBodyError {
    None,
    NotJson,     // not a JSON object
    Incomplete,  // not the password method, or a member missing
};

TokenBodyError ReadTokenRequest(const std::string& body, TokenRequest& request);

// Why a general-text body is refused, with the provider's code for it.
enum class PictureBodyError {
    None,
    BadParameter,  // AIS.0101: not an object, or not exactly one of image and url
    NotBase64,     // AIS.0102
    TooLarge,      // AIS.0103: Base64 text over 10 MB
};
const char* ProviderCode(PictureBodyError error);

// Where the picture of a general-text request comes from: its bytes (from
// "image") or the address to fetch (from "url").
struct PictureSource {
    std::string bytes;
    std::string url;  // empty when the bytes are given
};

PictureBodyError ReadPictureSource(const std::string& body, PictureSource& source,
                                   std::string& message);

}  // namespace kelsor::server
