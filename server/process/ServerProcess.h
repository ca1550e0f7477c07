#pragma once

#include <sys/types.h>

#include "platform/sys/NonCopyable.h"

#include <string>
#include <vector>

// Starts a kelsor-server executable as a child process and reads its start-up
// lines; for tests and benchmarks. The child is stopped with SIGTERM when the
// object goes away, and gets SIGTERM too when the thread that started it ends
// (start it from a thread that outlives it), so no server outlives a crashed
// test or benchmark.
namespace kelsor::server {

class ServerProcess : NonCopyable {
public:
    ServerProcess() = default;
    ~ServerProcess();

    // Runs `executable` with `arguments`, its output going to `logPath`, and
    // waits for its "ready" line.
    bool Start(const std::string& executable, const std::vector<std::string>& arguments,
               const std::string& logPath, std::string& error, int timeoutSeconds = 120);
    void Stop();

    pid_t Pid() const { return m_pid; }
    int CloudPort() const { return m_cloudPort; }
    int AccountPort() const { return m_accountPort; }
    const std::string& CertificatePath() const { return m_certPath; }
    const std::string& DemoUserPath() const { return m_demoUserPath; }
    std::string Log() const;

private:
    pid_t m_pid = -1;
    std::string m_logPath;
    int m_cloudPort = 0;
    int m_accountPort = 0;
    std::string m_certPath;
    std::string m_demoUserPath;
};

// The demo cloud user that kelsor-server writes into its data folder.
struct DemoCloudUser {
    std::string domain, user, password, project, projectId;
};
bool ReadDemoCloudUser(const std::string& path, DemoCloudUser& user);

}  // namespace kelsor::server
