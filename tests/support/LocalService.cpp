#include "LocalService.h"

#include <cstdlib>

#include "cloud/HWOcrClientToken.h"

namespace kelsor::test {
namespace {

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace

bool LocalService::Start(const std::string& executable, const std::string& dataFolder,
                         const std::string& logPath, const std::vector<std::string>& extraArguments,
                         std::string& error) {
    std::vector<std::string> arguments = {"--data", dataFolder,       "--cloud-port",
                                          "0",      "--account-port", "0"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    if (!m_process.Start(executable, arguments, logPath, error)) {
        return false;
    }
    ::setenv("KELSOR_CLOUD_DOMAIN", (".localhost:" + std::to_string(CloudPort())).c_str(), 1);
    ::setenv("KELSOR_CLOUD_CA_FILE", m_process.CertificatePath().c_str(), 1);
    return true;
}

bool LocalService::SignInDemoUser() {
    server::DemoCloudUser demo;
    if (!server::ReadDemoCloudUser(m_process.DemoUserPath(), demo)) {
        return false;
    }
    InitCloudToken(Wide(demo.user), Wide(demo.password), Wide(demo.domain), Wide(demo.project));
    return true;
}

bool LocalService::StartSignedIn(const std::string& executable, const std::string& folder,
                                 const std::vector<std::string>& extraArguments,
                                 std::string& error) {
    if (!Start(executable, folder + "server", folder + "server.log", extraArguments, error)) {
        return false;
    }
    if (!SignInDemoUser()) {
        error = "the demo user of the server cannot be read";
        return false;
    }
    return true;
}

}  // namespace kelsor::test
