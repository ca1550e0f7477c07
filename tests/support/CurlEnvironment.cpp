// libcurl's process-wide set-up, done once for the whole test run as the
// program's entry point does it.
#include <curl/curl.h>
#include <gtest/gtest.h>

namespace {

class CurlEnvironment : public ::testing::Environment {
public:
    void SetUp() override { curl_global_init(CURL_GLOBAL_ALL); }
    void TearDown() override { curl_global_cleanup(); }
};

[[maybe_unused]] ::testing::Environment* const g_curl =
    ::testing::AddGlobalTestEnvironment(new CurlEnvironment);

}  // namespace
