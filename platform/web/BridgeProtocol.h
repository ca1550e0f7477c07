#pragma once
// The wire format between the injected page script and the C++ side. A bound
// function calls prompt() with a marker as the message and its name and
// arguments as JSON; a window request asks the same way with the URL and the
// target name. Kept free of views so it can be checked on its own.

#include <optional>
#include <string>
#include <vector>

namespace kelsor::platform::bridge {

// prompt() message of a bound-function call; the default value carries
// {"f": name, "a": [arguments as strings]}.
inline constexpr const char* kCallMarker = "kelsor-bridge:call";
// prompt() message of a window request; the default value carries
// {"url": absolute URL, "name": target name}.
inline constexpr const char* kOpenMarker = "kelsor-bridge:open";
// Answers to a window request.
inline constexpr const char* kOpenHere = "self";
inline constexpr const char* kOpenNone = "none";

struct BoundFunction {
    std::wstring name;
    int declaredArgs = 0;
};

struct Call {
    std::wstring function;
    std::vector<std::wstring> args;
};

struct OpenRequest {
    std::wstring url;
    std::wstring targetName;
};

// The script injected into every page: defines each bound function and routes
// window.open and links with a target through the window request.
std::wstring BuildPageScript(const std::vector<BoundFunction>& functions);

// Decode the prompt default value of a call; nullopt when malformed.
std::optional<Call> ParseCall(const std::wstring& payload);
std::optional<OpenRequest> ParseOpenRequest(const std::wstring& payload);

// True when url has the scheme, host and port of origin ("http://host:port");
// host compared without regard to case, missing ports taken as the scheme's.
bool SameOrigin(const std::wstring& url, const std::wstring& origin);

}  // namespace kelsor::platform::bridge
