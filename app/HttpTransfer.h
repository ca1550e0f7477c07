#pragma once

#include <string>

typedef void CURL;

// Blocking HTTP helpers over libcurl's easy interface for the application
// core and the account service.
namespace kelsor {

// libcurl's global initialisation. Call once at start-up before any thread
// exists (the entry point and the tests do); later calls do nothing.
void InitHttpGlobal();

// The limits every transfer of the program keeps: HTTP/1.1 only (header
// names keep their case, as the identity token's header needs), the http and
// https protocols only, and at most 5 redirects when redirects are followed.
void ApplyTransferLimits(CURL* handle);

// Fetches `url` with 3-second connect and total time-outs; stores the body
// (code page -> wide, one leading U+FEFF dropped) in `text`. Returns libcurl's
// result code (0 = success, also for an HTTP error page; 2 = no handle, and
// `text` is then untouched). No status check is made.
int HttpGetText(std::wstring& text, const std::wstring& url);

// Stores the body of `url` in the file `targetPath`, which is deleted and
// created anew first; up to 5 redirects are followed, and an https server
// must show a certificate the system trusts. When the file cannot be
// created nothing is transferred. The caller judges success from the file it
// finds afterwards.
void HttpDownloadFile(const std::wstring& url, const std::wstring& targetPath);

}  // namespace kelsor
