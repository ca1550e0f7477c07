#pragma once

#include <string>

// The one call the session makes into the recognition client: hand it the
// cloud credentials of the user whose session begins. It fetches the identity
// token on the calling thread (once per run). Defined by the cloud library.
namespace kelsor {

void InitCloudToken(const std::wstring& userName, const std::wstring& password,
                    const std::wstring& domainName, const std::wstring& region);

}  // namespace kelsor
