// The kelsor-server program itself: sub-command, refusals and start-up lines.
#include "ServerProgramSupport.h"
#include "TempFolder.h"
#include "server/CloudUserStore.h"
#include "server/process/ServerProcess.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <sys/wait.h>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace kelsor::server;
using kelsor::test::RunServer;
using kelsor::test::StartServerIn;
using kelsor::test::TempFolder;

namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(ServerProgram, AddCloudUserStoresAUserThatCanSignIn) {
    TempFolder dir;
    const std::string out = dir.file("out.txt");
    ASSERT_EQ(RunServer("add-cloud-user --data " + dir.file("data") +
                            " --domain acme --user carol --password 'c@rol pw' --project cn-east-3",
                        out),
              0)
        << Read(out);
    EXPECT_NE(Read(out).find("added cloud user carol"), std::string::npos);
    EXPECT_EQ(RunServer("add-cloud-user --data " + dir.file("data") +
                            " --domain acme --user carol --password other",
                        out),
              1);
    EXPECT_NE(Read(out).find("already exists"), std::string::npos);

    CloudUserStore store;
    std::string error;
    ASSERT_TRUE(store.Open(dir.file("data") + "/kelsor-server.sqlite", error));
    const auto user = store.Verify("acme", "carol", "c@rol pw");
    ASSERT_TRUE(user);
    EXPECT_EQ(user->projectName, "cn-east-3");
}

TEST(ServerProgram, RefusesBadCommandLinesAndUnavailableEngines) {
    TempFolder dir;
    const std::string out = dir.file("out.txt");
    EXPECT_EQ(RunServer("--cloud-port 0", out), 2);
    EXPECT_NE(Read(out).find("--data"), std::string::npos);
    EXPECT_EQ(RunServer("--data " + dir.path() + " --cloud-port abc", out), 2);
    EXPECT_EQ(
        RunServer("--data " + dir.path() + " --engine magic --cloud-port 0 --account-port 0", out),
        1);
    EXPECT_NE(Read(out).find("unknown engine magic"), std::string::npos);
}

TEST(ServerProgram, PrintsItsPortsCertificateAndDemoUserAndServesHealth) {
    TempFolder dir;
    ServerProcess process;
    std::string error;
    ASSERT_TRUE(StartServerIn(process, dir, error)) << error;
    EXPECT_GT(process.CloudPort(), 0);
    EXPECT_GT(process.AccountPort(), 0);
    EXPECT_EQ(process.CertificatePath(), dir.file("data") + "/cloud-cert.pem");
    DemoCloudUser demo;
    ASSERT_TRUE(ReadDemoCloudUser(process.DemoUserPath(), demo));
    EXPECT_EQ(demo.project, "cn-north-4");
    EXPECT_FALSE(demo.password.empty());

    httplib::Client account("127.0.0.1", process.AccountPort());
    auto health = account.Get("/healthz");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
    process.Stop();
    EXPECT_NE(process.Log().find("kelsor-server: account GET /healthz 200"), std::string::npos);
    EXPECT_NE(process.Log().find("kelsor-server: stopping"), std::string::npos);
}

TEST(ServerProgram, AServerStartedOverAnOldLogReportsItsOwnPorts) {
    TempFolder dir;
    // What a server that ran before left in the same log file.
    kelsor::test::WriteFile(dir.file("log.txt"),
                            "kelsor-server: cloud https port 1\n"
                            "kelsor-server: account http port 2\n"
                            "kelsor-server: ready\n");
    ServerProcess process;
    std::string error;
    ASSERT_TRUE(StartServerIn(process, dir, error, {"--engine", "tesseract"})) << error;
    EXPECT_NE(process.AccountPort(), 2);
    httplib::Client account("127.0.0.1", process.AccountPort());
    const auto health = account.Get("/healthz");
    ASSERT_TRUE(health) << process.Log();
    EXPECT_EQ(health->body, "ok\n");
}
