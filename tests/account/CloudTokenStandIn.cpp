// Stands in for the cloud library's InitCloudToken until that library is
// built with the tests; it records each call.
#include "TestSupport.h"
#include "account/CloudTokenSeam.h"

namespace kelsor {

namespace test {
std::vector<std::array<std::wstring, 4>>& CloudTokenCalls() {
    static std::vector<std::array<std::wstring, 4>> calls;
    return calls;
}
}  // namespace test

void InitCloudToken(const std::wstring& userName, const std::wstring& password,
                    const std::wstring& domainName, const std::wstring& region) {
    test::CloudTokenCalls().push_back({userName, password, domainName, region});
}

}  // namespace kelsor
