#pragma once
// The script function "wkaction" through which the account pages talk to the
// program: module, action and optional data in, a string (or undefined) out.

#include <optional>
#include <string>
#include <vector>

namespace kelsor::platform {
class WebView;
}

namespace kelsor::account {

// Binds "wkaction" (5 declared arguments) for every page and lets it answer
// only pages of the account service's web host.
void BindScriptBridge();

// The origin ("http://host:port") of the account service's web pages, taken
// from App().loginPageUrl; empty when that is not an http(s) URL.
std::wstring AccountWebOrigin();

// One call from `view` with the page's arguments. Undefined (nullopt) when the
// view has no live window; "" for a wrong argument count; "-3" for an unknown
// module, "-2" for an unknown action of a known one; otherwise the action's
// answer. Window openings it causes are posted to the UI thread.
std::optional<std::wstring> WkAction(platform::WebView* view,
                                     const std::vector<std::wstring>& args);

}  // namespace kelsor::account
