#pragma once

#include "LoopbackHttpServer.h"
#include "TempFolder.h"
#include "server/Certificate.h"

#include <httplib.h>
#include <openssl/ssl.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// A real HTTPS server on loopback standing in for the cloud identity and OCR
// hosts, with handlers each test sets. The certificate names the hosts of
// region "cn-north-4".
namespace kelsor::testing {

class FakeCloud {
public:
    // `port` 0 picks a free port.
    explicit FakeCloud(int port = 0) {
        std::string error;
        server::EnsureCloudCertificate(m_dir.path(), "cn-north-4", m_files, error);
        m_server = std::make_unique<test::LoopbackHttpServer>(std::make_unique<httplib::SSLServer>(
            m_files.certPath.c_str(), m_files.keyPath.c_str()));
        m_server->Http().Post("/v3/auth/tokens",
                              Recorded(tokenRequests, onToken, [this](const httplib::Request& req) {
                                  lastTokenBody = req.body;
                                  lastTokenContentType = req.get_header_value("Content-Type");
                                  lastTokenVersion = req.version;
                              }));
        m_server->Http().Post("/v1.0/ocr/general-text",
                              Recorded(ocrRequests, onOcr, [this](const httplib::Request& req) {
                                  lastOcrBody = req.body;
                                  lastOcrToken = req.get_header_value("X-Auth-Token");
                              }));
        m_server->Start(port);
    }

    int port() const { return m_server->Port(); }
    // From now on the server chooses HTTP/2 during the TLS handshake whenever
    // a client offers it, as many real identity hosts do. It cannot speak
    // HTTP/2 itself, so such a client gets no usable answer.
    void PreferHttp2() {
        auto& tls = dynamic_cast<httplib::SSLServer&>(m_server->Http());
        SSL_CTX_set_alpn_select_cb(tls.ssl_context(), &SelectHttp2, nullptr);
    }
    const std::string& certPath() const { return m_files.certPath; }
    // Points the cloud client at this server and trusts its certificate.
    void UseForClient() const {
        ::setenv("KELSOR_CLOUD_DOMAIN", (".localhost:" + std::to_string(port())).c_str(), 1);
        ::setenv("KELSOR_CLOUD_CA_FILE", m_files.certPath.c_str(), 1);
    }
    // Every token request is answered 201 with `header`: `token`.
    void IssueToken(const std::string& header, const std::string& token) {
        onToken = [header, token](const httplib::Request&, httplib::Response& res) {
            res.status = 201;
            res.set_header(header, token);
        };
    }
    std::string ocrBody() { return Locked(lastOcrBody); }
    std::string ocrToken() { return Locked(lastOcrToken); }
    std::string tokenBody() { return Locked(lastTokenBody); }
    std::string tokenVersion() { return Locked(lastTokenVersion); }
    std::string tokenContentType() { return Locked(lastTokenContentType); }

    httplib::Server::Handler onToken = [](const httplib::Request&, httplib::Response& res) {
        res.status = 201;
        res.set_header("X-Subject-Token", "token-1");
        res.set_content("{}", "application/json");
    };
    httplib::Server::Handler onOcr = [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"({"result":{"words_block_list":[{"words":"ok"}]}})", "application/json");
    };
    std::atomic<int> tokenRequests{0};
    std::atomic<int> ocrRequests{0};

private:
    // Counts each request, keeps (under the lock) what `keep` takes from it
    // and answers with `answer` as the test has set it by then.
    httplib::Server::Handler Recorded(std::atomic<int>& count,
                                      const httplib::Server::Handler& answer,
                                      std::function<void(const httplib::Request&)> keep) {
        return [this, &count, &answer, keep](const httplib::Request& req, httplib::Response& res) {
            ++count;
            {
                std::lock_guard lock(m_mutex);
                keep(req);
            }
            answer(req, res);
        };
    }
    // A copy of a field the server thread writes.
    std::string Locked(const std::string& field) {
        std::lock_guard lock(m_mutex);
        return field;
    }
    static int SelectHttp2(SSL*, const unsigned char** out, unsigned char* outLength,
                           const unsigned char* offered, unsigned int offeredLength, void*) {
        static const unsigned char kServerOrder[] = "\x02h2\x08http/1.1";
        unsigned char* chosen = nullptr;
        if (SSL_select_next_proto(&chosen, outLength, kServerOrder, sizeof kServerOrder - 1,
                                  offered, offeredLength) != OPENSSL_NPN_NEGOTIATED) {
            return SSL_TLSEXT_ERR_NOACK;
        }
        *out = chosen;
        return SSL_TLSEXT_ERR_OK;
    }

    test::TempFolder m_dir;
    server::CertificateFiles m_files;
    std::mutex m_mutex;
    std::string lastTokenBody, lastTokenContentType, lastOcrBody, lastOcrToken, lastTokenVersion;
    // Last: stops before the state its handlers use goes.
    std::unique_ptr<test::LoopbackHttpServer> m_server;
};

}  // namespace kelsor::testing
