#pragma once

#include "server/Certificate.h"
#include "server/ServerContext.h"

#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
class SSLServer;
}  // namespace httplib

namespace kelsor::server {

// The whole local service: the HTTPS cloud listener (identity and OCR) and
// the plain-HTTP account listener, with their stores and engines.
class KelsorServer {
public:
    explicit KelsorServer(ServerOptions options);
    ~KelsorServer();
    KelsorServer(const KelsorServer&) = delete;
    KelsorServer& operator=(const KelsorServer&) = delete;

    // Prepares the data folder (certificate, database, demo user), loads the
    // engines, binds both ports and starts serving.
    bool Start(std::string& error);
    void Stop();

    int CloudPort() const { return m_cloudPort; }
    int AccountPort() const { return m_accountPort; }
    const std::string& CertificatePath() const { return m_certificate.certPath; }
    const std::string& DemoUserPath() const { return m_demoUserPath; }
    ServerContext& Context() { return *m_context; }
    // Why the default engine fell back to Tesseract; empty otherwise.
    const std::string& EngineNote() const { return m_engineNote; }

private:
    bool EnsureDemoUser(std::string& error);

    ServerOptions m_options;
    CertificateFiles m_certificate;
    std::string m_demoUserPath;
    std::string m_engineNote;
    CloudUserStore m_cloudUsers;
    std::unique_ptr<TokenStore> m_tokens;
    EnginePool m_engines;
    std::unique_ptr<ServerContext> m_context;
    std::unique_ptr<httplib::SSLServer> m_cloud;
    std::unique_ptr<httplib::Server> m_account;
    std::thread m_cloudThread;
    std::thread m_accountThread;
    int m_cloudPort = 0;
    int m_accountPort = 0;
};

// Tesseract's OpenMP threads make it several times slower on few cores, and
// OpenMP reads OMP_THREAD_LIMIT only when it loads: when the variable is not
// set, set it to 1 and restart the program in place.
void EnsureSingleThreadedOpenMp(char** argv);

// One line per request on standard output.
void LogLine(const std::string& line);

}  // namespace kelsor::server
