// kelsor-server killed with SIGKILL while registrations and sign-ins are being
// written, then started again on the same data folder: the database opens,
// every account whose reply went out is there whole, and sessions issued
// before the kill still work.
#include "AccountTestSupport.h"
#include "TempFolder.h"
#include "server/process/ServerProcess.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <signal.h>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

using namespace kelsor::server;
using namespace kelsor::test;
using namespace kelsor::testing;

namespace {

struct Account {
    std::string mobile;
    std::string userId;
    std::string token;  // the latest one the server handed out
};

Json::Value Post(int port, const std::string& path, const Json::Value& body) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(30);
    auto res = client.Post(path.c_str(), CompactJson(body), "application/json");
    return res && res->status == 200 ? ParseJson(res->body) : Json::Value();
}

// Registers `mobile` with password "secret1"; the record on success.
Json::Value Register(int port, const std::string& mobile) {
    Json::Value code;
    code["mobile"] = mobile;
    code["scene"] = "register";
    Json::Value body;
    body["mobile"] = mobile;
    body["smscode"] = Post(port, "/api/v3/user/smscode", code)["data"]["smscode"];
    body["password"] = "secret1";
    return Post(port, "/api/v3/user/register", body);
}

Json::Value SignIn(int port, const std::string& mobile) {
    Json::Value body;
    body["mobile"] = mobile;
    body["password"] = "secret1";
    return Post(port, "/api/v3/user/login", body);
}

Json::Value AutoLogin(int port, const Account& account) {
    httplib::Client client("127.0.0.1", port);
    auto res = client.Get(("/api/v3/user/autologin/pro/ocr/ver/1.0/channel/test/userid/" +
                           account.userId + "/token/" + account.token)
                              .c_str());
    return res ? ParseJson(res->body) : Json::Value();
}

bool Start(ServerProcess& process, const TempFolder& dir, const std::string& log) {
    std::string error;
    const bool started =
        process.Start(KELSOR_SERVER_EXE,
                      {"--data", dir.file("data"), "--cloud-port", "0", "--account-port", "0",
                       "--engine", "tesseract", "--engines", "1"},
                      dir.file(log), error);
    EXPECT_TRUE(started) << error;
    return started;
}

}  // namespace

TEST(KillRestart, AccountsAndSessionsSurviveASigkillDuringWrites) {
    TempFolder dir;
    ServerProcess first;
    ASSERT_TRUE(Start(first, dir, "first.log"));
    const int port = first.AccountPort();

    // Sessions issued before the writes start; nothing touches them later.
    std::vector<Account> early;
    for (int i = 0; i < 3; ++i) {
        const std::string mobile = "1370000000" + std::to_string(i);
        const Json::Value record = Register(port, mobile);
        ASSERT_EQ(record["code"].asString(), "200") << CompactJson(record);
        early.push_back(
            {mobile, record["data"]["userid"].asString(), record["data"]["token"].asString()});
    }

    // Two writers register new accounts and sign each in again; the kill
    // comes while both are busy.
    std::mutex mutex;
    std::vector<Account> answered;
    std::atomic<int> writes{0};
    std::atomic<bool> stop{false};
    auto writer = [&](int id) {
        for (int i = 0; !stop && i < 200; ++i) {
            const std::string mobile = "139" + std::to_string(id) + std::to_string(1000000 + i);
            Json::Value record = Register(port, mobile);
            if (record["code"].asString() != "200") {
                continue;
            }
            ++writes;
            Account account{mobile, record["data"]["userid"].asString(),
                            record["data"]["token"].asString()};
            record = SignIn(port, mobile);
            // Without the reply the server may or may not have replaced the token.
            account.token =
                record["code"].asString() == "200" ? record["data"]["token"].asString() : "";
            writes += account.token.empty() ? 0 : 1;
            std::lock_guard lock(mutex);
            answered.push_back(account);
        }
    };
    std::thread a(writer, 1), b(writer, 2);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (writes < 12 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(::kill(first.Pid(), SIGKILL), 0);
    stop = true;
    a.join();
    b.join();
    first.Stop();
    ASSERT_GE(answered.size(), 4u);

    ServerProcess second;
    ASSERT_TRUE(Start(second, dir, "second.log"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir.file("data") + "/kelsor-server.sqlite").c_str(), &db), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    // Whole rows only: every registered account has its phone and its full
    // password hash, or is not there at all.
    sqlite3_prepare_v2(db,
                       "SELECT count(*) FROM account_users WHERE mobile LIKE '13%' AND "
                       "(pw_hash IS NULL OR length(pw_salt) != 16 OR pw_iterations IS NULL)",
                       -1, &check, nullptr);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(check, 0), 1) << "only the demo account has no password";
    sqlite3_finalize(check);
    sqlite3_close(db);

    for (const Account& account : early) {
        const Json::Value reply = AutoLogin(second.AccountPort(), account);
        EXPECT_EQ(reply["code"].asString(), "200") << account.mobile << " " << CompactJson(reply);
        EXPECT_EQ(reply["data"]["userid"].asString(), account.userId);
    }
    for (const Account& account : answered) {
        if (!account.token.empty()) {
            EXPECT_EQ(AutoLogin(second.AccountPort(), account)["code"].asString(), "200")
                << account.mobile;
        }
        const Json::Value again = SignIn(second.AccountPort(), account.mobile);
        EXPECT_EQ(again["data"]["userid"].asString(), account.userId) << account.mobile;
    }
}
