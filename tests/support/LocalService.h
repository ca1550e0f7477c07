#pragma once

#include <string>
#include <vector>

#include "server/process/ServerProcess.h"

namespace kelsor::test {

// A kelsor-server started for a test on free loopback ports, with the cloud
// client of this process pointed at it (KELSOR_CLOUD_DOMAIN and
// KELSOR_CLOUD_CA_FILE). The server is stopped when the object goes.
class LocalService {
public:
    // Runs `executable` with its data in `dataFolder`, its output in `logPath`
    // and `extraArguments` (the engine, for example) after the common ones.
    bool Start(const std::string& executable, const std::string& dataFolder,
               const std::string& logPath, const std::vector<std::string>& extraArguments,
               std::string& error);
    // Signs the cloud client in as the demo user the server created
    // (InitCloudToken); false when the demo user cannot be read.
    bool SignInDemoUser();
    // Start() with the data in `folder` + "server" and the log in `folder` +
    // "server.log", then SignInDemoUser(); `error` says which step failed.
    bool StartSignedIn(const std::string& executable, const std::string& folder,
                       const std::vector<std::string>& extraArguments, std::string& error);

    int CloudPort() const { return m_process.CloudPort(); }
    int AccountPort() const { return m_process.AccountPort(); }
    pid_t Pid() const { return m_process.Pid(); }
    std::string Log() const { return m_process.Log(); }

private:
    server::ServerProcess m_process;
};

}  // namespace kelsor::test
