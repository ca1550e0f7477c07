#include "server/KelsorServer.h"

#include "server/JsonReply.h"
#include "server/Routes.h"
#include "server/account/AccountService.h"
#include "server/engine/EngineRegistry.h"

#include <httplib.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

namespace kelsor::server {
namespace {

constexpr const char* kDemoDomain = "kelsor-demo";
constexpr const char* kDemoUser = "kelsor-demo";
constexpr std::size_t kMaxPayload = 64 * 1024 * 1024;
// Each open connection holds a worker while it is served (a recognition
// waits for a free engine there, a new TLS connection is handshaken there):
// with the HTTP layer's 8 workers the ninth client's handshake waited for a
// recognition and timed out. Enough workers for many clients at once.
constexpr std::size_t kWorkers = 64;
constexpr int kBacklog = 256;
// Requests per kept-alive connection before it is closed.
constexpr std::size_t kRequestsPerConnection = 100;

// Checked before any body is read. The HTTP layer would inflate a gzip or
// brotli body without bound (a small request becomes gigabytes), take a
// chunked body of any length past the payload limit, and answer overlapping
// byte ranges with as many copies of a file. No client of the service
// compresses or chunks requests or asks for several ranges.
httplib::Server::HandlerResponse RefuseUnsafeHeaders(const httplib::Request& request,
                                                     httplib::Response& response) {
    for (std::size_t i = 0; i < request.get_header_value_count("Content-Encoding"); ++i) {
        if (request.get_header_value("Content-Encoding", i) != "identity") {
            SetProviderError(response, 415, "APIG.0415",
                             "Compressed request bodies are not accepted.");
            return httplib::Server::HandlerResponse::Handled;
        }
    }
    if (request.has_header("Transfer-Encoding")) {
        SetProviderError(response, 411, "APIG.0411", "The request body needs a Content-Length.");
        return httplib::Server::HandlerResponse::Handled;
    }
    if (request.get_header_value("Range").find(',') != std::string::npos) {
        SetProviderError(response, 416, "APIG.0416", "Only a single byte range can be requested.");
        return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
}

void InstallCommonHandlers(httplib::Server& server, const char* listener) {
    server.Get("/healthz", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("ok\n", "text/plain");
    });
    // Statuses set by the HTTP layer itself (unknown path, body too large)
    // get a body in the provider's shape too.
    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) {
            return;
        }
        if (response.status == 404) {
            SetProviderError(response, 404, "APIG.0101", "The API does not exist.");
        } else if (response.status == 413) {
            SetProviderError(response, 413, "AIS.0103", "The request body is too large.");
        } else {
            SetProviderError(response, response.status, "APIG.0" + std::to_string(response.status),
                             "The request cannot be served.");
        }
    });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            SetProviderError(response, 500, "AIS.0105", "Internal error.");
        });
    server.set_pre_routing_handler(RefuseUnsafeHeaders);
    server.set_logger(
        [listener](const httplib::Request& request, const httplib::Response& response) {
            LogLine(std::string(listener) + " " + request.method + " " + request.path + " " +
                    std::to_string(response.status));
        });
    server.set_payload_max_length(kMaxPayload);
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    server.set_keep_alive_max_count(kRequestsPerConnection);
    server.set_tcp_nodelay(true);  // replies are small writes; do not wait for ACKs
    server.set_read_timeout(30);
    server.set_write_timeout(30);
}

bool WritePrivateFile(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return ::close(fd) == 0 && ok;
}

// The HTTP layer listens with a backlog of 5: when many clients connect at
// once the kernel drops their SYNs and each waits a second or more before it
// tries again. Listening again on the bound socket raises the backlog.
int Bind(httplib::Server& server, const std::string& host, int port) {
    auto listening = std::make_shared<int>(-1);
    server.set_socket_options([listening](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        *listening = sock;
    });
    const int bound =
        port == 0 ? server.bind_to_any_port(host) : (server.bind_to_port(host, port) ? port : -1);
    if (bound > 0 && *listening >= 0) {
        ::listen(*listening, kBacklog);
    }
    return bound;
}

}  // namespace

void LogLine(const std::string& line) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::printf("kelsor-server: %s\n", line.c_str());
    std::fflush(stdout);
}

void EnsureSingleThreadedOpenMp(char** argv) {
    if (std::getenv("OMP_THREAD_LIMIT") != nullptr) {
        return;
    }
    ::setenv("OMP_THREAD_LIMIT", "1", 1);
    ::execv("/proc/self/exe", argv);
    // If the restart fails, go on: only speed is lost.
}

KelsorServer::KelsorServer(ServerOptions options) : m_options(std::move(options)) {}

KelsorServer::~KelsorServer() {
    Stop();
}

bool KelsorServer::EnsureDemoUser(std::string& error) {
    m_demoUserPath = m_options.dataDir + "/cloud-demo-user.json";
    if (m_cloudUsers.HasUser(kDemoDomain, kDemoUser)) {
        return true;
    }
    const std::optional<std::string> password = RandomHex(12);
    if (!password) {
        error = "no random bytes for the demo user's password";
        return false;
    }
    CloudUser user;
    if (!m_cloudUsers.AddUser(kDemoDomain, kDemoUser, *password, m_options.region, user, error)) {
        return false;
    }
    Json::Value file;
    file["domain"] = user.domainName;
    file["user"] = user.userName;
    file["password"] = *password;
    file["project"] = user.projectName;
    file["project_id"] = user.projectId;
    if (!WritePrivateFile(m_demoUserPath, WriteJson(file) + "\n")) {
        error = "cannot write " + m_demoUserPath;
        return false;
    }
    return true;
}

bool KelsorServer::Start(std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(m_options.dataDir, ec);
    if (!std::filesystem::is_directory(m_options.dataDir)) {
        error = "cannot create the data folder " + m_options.dataDir;
        return false;
    }
    if (m_options.engine.empty()) {
        m_options.engine = DefaultEngineName(m_engineNote);
    }
    EngineFactory factory;
    if (!FindEngineFactory(m_options.engine, factory, error) ||
        !EnsureCloudCertificate(m_options.dataDir, m_options.region, m_certificate, error)) {
        return false;
    }
    const std::string databasePath = m_options.dataDir + "/kelsor-server.sqlite";
    if (!m_cloudUsers.Open(databasePath, error) || !EnsureDemoUser(error)) {
        return false;
    }
    m_tokens = std::make_unique<TokenStore>(std::chrono::seconds(m_options.tokenTtlSeconds));
    std::size_t count = m_options.engineCount;
    if (count == 0) {
        count = std::max(1u, std::thread::hardware_concurrency());
    }
    if (!m_engines.Start(factory, count, error)) {
        return false;
    }
    auto accounts = std::make_shared<account::AccountService>(m_options, m_cloudUsers);
    if (!accounts->Open(databasePath, error) || !accounts->EnsureDemoUser(error)) {
        return false;
    }
    m_context.reset(new ServerContext{m_options, databasePath, m_certificate.certPath, m_cloudUsers,
                                      *m_tokens, m_engines, accounts});

    m_cloud = std::make_unique<httplib::SSLServer>(m_certificate.certPath.c_str(),
                                                   m_certificate.keyPath.c_str());
    if (!m_cloud->is_valid()) {
        error = "cannot load the certificate " + m_certificate.certPath;
        return false;
    }
    InstallCommonHandlers(*m_cloud, "cloud");
    RegisterIdentityRoutes(*m_cloud, *m_context);
    RegisterOcrRoutes(*m_cloud, *m_context);

    m_account = std::make_unique<httplib::Server>();
    InstallCommonHandlers(*m_account, "account");
    RegisterAccountRoutes(*m_account, *m_context);

    m_cloudPort = Bind(*m_cloud, m_options.bindHost, m_options.cloudPort);
    if (m_cloudPort <= 0) {
        error =
            "cannot listen on " + m_options.bindHost + ":" + std::to_string(m_options.cloudPort);
        return false;
    }
    m_accountPort = Bind(*m_account, m_options.bindHost, m_options.accountPort);
    if (m_accountPort <= 0) {
        error =
            "cannot listen on " + m_options.bindHost + ":" + std::to_string(m_options.accountPort);
        return false;
    }
    m_cloudThread = std::thread([this] { m_cloud->listen_after_bind(); });
    m_accountThread = std::thread([this] { m_account->listen_after_bind(); });
    // A listener told to stop before its thread has begun to accept misses
    // the stop and then accepts for ever (a stop right after a start would
    // hang): return only once both accept.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!m_cloud->is_running() || !m_account->is_running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            error = "the listeners did not start";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void KelsorServer::Stop() {
    if (m_cloud) {
        m_cloud->stop();
    }
    if (m_account) {
        m_account->stop();
    }
    if (m_cloudThread.joinable()) {
        m_cloudThread.join();
    }
    if (m_accountThread.joinable()) {
        m_accountThread.join();
    }
}

}  // namespace kelsor::server
