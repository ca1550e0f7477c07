#pragma once

#include <string>

// Blocking HTTP helpers over libcurl's easy interface for the application
// core and the account service. curl_global_init runs once at start-up.
namespace kelsor {

// Fetches `url`; stores the body (code page -> wide, leading U+FEFF dropped)
// in `text`. Returns libcurl's result code (0 = success, 2 = no handle).
int HttpGetText(std::wstring& text, const std::wstring& url);

// Stores the body of `url` in the file `targetPath` (replaced). The caller
// judges success from the file it finds afterwards.
void HttpDownloadFile(const std::wstring& url, const std::wstring& targetPath);

}  // namespace kelsor
