#include "LoopbackHttpServer.h"

#include <chrono>

namespace kelsor::test {

LoopbackHttpServer::LoopbackHttpServer() : m_server(std::make_unique<httplib::Server>()) {}

LoopbackHttpServer::LoopbackHttpServer(std::unique_ptr<httplib::Server> server)
    : m_server(std::move(server)) {}

LoopbackHttpServer::~LoopbackHttpServer() {
    Stop();
}

bool LoopbackHttpServer::Start(int port) {
    if (port == 0) {
        m_port = m_server->bind_to_any_port("127.0.0.1");
    } else {
        m_port = m_server->bind_to_port("127.0.0.1", port) ? port : -1;
    }
    if (m_port <= 0) {
        m_port = -1;
        return false;
    }
    m_ended = false;
    m_thread = std::thread([this] {
        m_server->listen_after_bind();
        m_ended = true;
    });
    // stop() before the accept loop runs would be lost (and the join would
    // hang), so wait for it; a loop that ends at once ends the wait too.
    while (!m_server->is_running() && !m_ended) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void LoopbackHttpServer::Stop() {
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

}  // namespace kelsor::test
