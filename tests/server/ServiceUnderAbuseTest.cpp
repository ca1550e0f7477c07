// The kelsor-server program on loopback under abuse that costs little to
// send: slow readers holding update downloads open, and one sender flooding
// the statistics service under made-up installation ids. Everyone else must
// still be answered.
#include "AccountTestSupport.h"
#include "ServerProgramSupport.h"
#include "TempFolder.h"
#include "server/process/ServerProcess.h"
#include "server/tools/FileDownload.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

using namespace kelsor::server;
using namespace kelsor::test;
using namespace kelsor::testing;

namespace {

constexpr int kSlowReaders = 70;  // more than the listener's 64 workers

// A download client that reads its reply a few kilobytes at a time: its
// receive buffer is kept small, so the server's writes wait for it.
class SlowReader {
public:
    SlowReader(int port, const std::string& path) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int small = 4096;
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        m_sent = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                 ::send(m_fd, request.data(), request.size(), MSG_NOSIGNAL) ==
                     static_cast<ssize_t>(request.size());
    }
    ~SlowReader() { ::close(m_fd); }
    SlowReader(const SlowReader&) = delete;
    SlowReader& operator=(const SlowReader&) = delete;

    bool Sent() const { return m_sent; }
    // Reads what has arrived, at most a few kilobytes; the first line is kept.
    void ReadALittle() {
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0 && m_statusLine.size() < 12) {
            m_statusLine.append(buffer, static_cast<std::size_t>(std::min<ssize_t>(n, 12)));
        }
    }
    // "200", "503", or empty before the reply starts.
    std::string Status() const {
        return m_statusLine.size() >= 12 ? m_statusLine.substr(9, 3) : "";
    }

private:
    int m_fd = -1;
    bool m_sent = false;
    std::string m_statusLine;
};

class ServiceUnderAbuse : public ::testing::Test {
protected:
    void Start() {
        std::string error;
        ASSERT_TRUE(StartServerIn(m_process, m_dir, error, {"--engine", "tesseract"})) << error;
    }
    httplib::Client Account() const {
        httplib::Client client("127.0.0.1", m_process.AccountPort());
        // Long enough for a loaded machine; a starved listener never answers.
        client.set_read_timeout(90);
        return client;
    }

    TempFolder m_dir;
    ServerProcess m_process;
};

// A verification code, then the sign-in with it; the sign-in's reply code.
std::string SignIn(httplib::Client& client, const std::string& mobile) {
    Json::Value request;
    request["mobile"] = mobile;
    request["scene"] = "login";
    const auto code = client.Post("/api/v3/user/smscode", CompactJson(request), "application/json");
    if (!code) {
        return "no answer to the code request";
    }
    request.removeMember("scene");
    request["smscode"] = ParseJson(code->body)["data"]["smscode"];
    const auto login = client.Post("/api/v3/user/login", CompactJson(request), "application/json");
    return login ? ParseJson(login->body)["code"].asString() : "no answer to the sign-in";
}

TEST_F(ServiceUnderAbuse, SlowDownloadReadersLeaveWorkersForSignInAndStatistics) {
    // A package far larger than what the socket buffers between the server
    // and a reader hold (sparse: it takes no disk).
    std::filesystem::create_directories(m_dir.file("data"));
    const std::string package = m_dir.file("data/KelsorOCR_9.1_amd64.deb");
    WriteFile(package, "");
    std::filesystem::resize_file(package, 256u << 20);
    WriteFile(m_dir.file("data/update.json"),
              R"({"version": "9.1", "package": "KelsorOCR_9.1_amd64.deb"})");
    Start();

    std::vector<std::unique_ptr<SlowReader>> readers;
    for (int i = 0; i < kSlowReaders; ++i) {
        readers.push_back(
            std::make_unique<SlowReader>(m_process.AccountPort(), "/download/update/official"));
        ASSERT_TRUE(readers.back()->Sent());
    }
    const auto answered = [&readers] {
        return std::count_if(readers.begin(), readers.end(),
                             [](const auto& reader) { return !reader->Status().empty(); });
    };
    // Every reader is answered (each held download took a worker), or, with
    // every worker taken, the rest wait.
    for (int wait = 0; wait < 300 && answered() < kSlowReaders; ++wait) {
        for (auto& reader : readers) {
            reader->ReadALittle();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // The readers keep reading a little, so no download ends by the write
    // time-out while the others are asked for.
    std::atomic<bool> done{false};
    std::thread trickle([&] {
        while (!done) {
            for (auto& reader : readers) {
                reader->ReadALittle();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    const auto stopTrickle = [&] {
        done = true;
        trickle.join();
    };

    httplib::Client account = Account();
    const auto counts = account.Get("/api/v3/stats/ocr/counts");
    const std::string signIn = SignIn(account, "13700001111");
    stopTrickle();
    ASSERT_TRUE(counts) << "the statistics got no answer";
    EXPECT_EQ(ParseJson(counts->body)["code"], "200");
    EXPECT_EQ(signIn, "200");
    int sending = 0, refused = 0;
    for (const auto& reader : readers) {
        sending += reader->Status() == "200" ? 1 : 0;
        refused += reader->Status() == "503" ? 1 : 0;
    }
    EXPECT_EQ(sending, tools::kMaxDownloads);
    EXPECT_EQ(refused, kSlowReaders - tools::kMaxDownloads);

    // Once the readers are gone their slots are free again.
    readers.clear();
    int status = 0;
    std::string body;
    for (int attempt = 0; attempt < 100 && (status == 0 || status == 503); ++attempt) {
        if (attempt > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const auto again = account.Get("/download/update/official", {{"Range", "bytes=0-9"}});
        ASSERT_TRUE(again);
        status = again->status;
        body = again->body;
    }
    EXPECT_EQ(status, 206);
    EXPECT_EQ(body, std::string(10, '\0'));
}

// `count` valid events, each of an installation of its own; `seed` keeps the
// ids of different batches apart.
std::string EventBatch(int seed, int count) {
    Json::Value batch;
    for (int i = 0; i < count; ++i) {
        char id[17];
        std::snprintf(id, sizeof id, "%08x%08x", seed, i);
        Json::Value event;
        event["id"] = id;
        event["installid"] = std::string(id) + "ff";
        event["event"] = "startup";
        event["time"] = "1765000000";
        event["version"] = "1.0.0.1";
        event["channel"] = "official";
        batch["events"].append(event);
    }
    return CompactJson(batch);
}

TEST_F(ServiceUnderAbuse, OneSenderMakingUpInstallationsLeavesOtherSendersTheirShare) {
    Start();
    httplib::Client flooder = Account();
    int admitted = 0;
    bool refused = false;
    for (int batch = 0; batch < 40 && !refused; ++batch) {
        const auto reply =
            flooder.Post("/api/v3/stats/ocr/events", EventBatch(batch, 100), "application/json");
        ASSERT_TRUE(reply);
        const Json::Value json = ParseJson(reply->body);
        refused = json["code"] == "429";
        admitted += refused ? 0 : json["data"]["added"].asInt();
    }
    EXPECT_TRUE(refused) << "one sender stored " << admitted << " events in a minute";
    EXPECT_LT(admitted, 3000);

    // Another sender, from another loopback address, is still heard.
    httplib::Client other = Account();
    other.set_interface("127.0.0.2");
    const auto reply =
        other.Post("/api/v3/stats/ocr/events", EventBatch(1000, 5), "application/json");
    ASSERT_TRUE(reply) << to_string(reply.error());
    const Json::Value json = ParseJson(reply->body);
    EXPECT_EQ(json["code"], "200") << reply->body;
    EXPECT_EQ(json["data"]["added"], 5);
    const auto counts = other.Get("/api/v3/stats/ocr/counts");
    ASSERT_TRUE(counts);
    EXPECT_EQ(ParseJson(counts->body)["data"]["installations"], admitted + 5);
}

}  // namespace
