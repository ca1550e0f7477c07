#pragma once

#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "platform/sys/NonCopyable.h"

namespace kelsor::test {

// A cpp-httplib server on 127.0.0.1, run on its own thread. The test adds its
// handlers to Http() before Start(); the server is stopped and its thread
// joined on destruction. Declare it after whatever its handlers use, so that
// it stops first.
class LoopbackHttpServer : NonCopyable {
public:
    LoopbackHttpServer();
    // Serves through `server`, e.g. an httplib::SSLServer.
    explicit LoopbackHttpServer(std::unique_ptr<httplib::Server> server);
    ~LoopbackHttpServer();

    httplib::Server& Http() { return *m_server; }
    // Binds to `port` (0: a free one) and returns once connections are
    // accepted; false when the port cannot be bound.
    bool Start(int port = 0);
    void Stop();
    // The bound port; -1 before Start() or when binding failed.
    int Port() const { return m_port; }
    // "http://127.0.0.1:<port><path>".
    std::string Url(const std::string& path = {}) const;

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::atomic<bool> m_ended{false};
    int m_port = -1;
};

}  // namespace kelsor::test
