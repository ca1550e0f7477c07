// The kelsor-server program's account side: add-user and demo-session, and
// a client's auto-login and installer download by host name through libcurl.
#include "AccountTestSupport.h"
#include "ServerProgramSupport.h"
#include "TempFolder.h"
#include "server/account/CompanionInstaller.h"
#include "server/process/ServerProcess.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <map>

using namespace kelsor::server;
using namespace kelsor::test;
using namespace kelsor::testing;

namespace {

// "name value" lines.
std::map<std::string, std::string> Lines(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream in(text);
    std::string name, value;
    while (in >> name >> value) {
        values[name] = value;
    }
    return values;
}

size_t Collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// GET through libcurl, which resolves *.localhost to loopback itself.
std::string Fetch(const std::string& url) {
    std::string body;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    const CURLcode code = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return code == CURLE_OK ? body : "";
}

}  // namespace

TEST(AccountProgram, AddUserPrintsASessionAndRefusesBadInput) {
    TempFolder dir;
    const std::string data = dir.file("data");
    const std::string out = dir.file("out.txt");
    ASSERT_EQ(RunServer("add-user --data " + data + " --mobile 13933330001 --nickname 'Ann Lee' " +
                            "--password secret1",
                        out),
              0)
        << ReadFile(out);
    const auto first = Lines(ReadFile(out));
    EXPECT_FALSE(first.at("userid").empty());
    EXPECT_EQ(first.at("token").size(), 64u);
    EXPECT_EQ(RunServer("add-user --data " + data + " --mobile 13933330001", out), 1);
    EXPECT_EQ(RunServer("add-user --data " + data + " --mobile 123", out), 2);
    EXPECT_EQ(RunServer("add-user --data " + data + " --mobile 13933330002 --password 12", out), 2);
    EXPECT_EQ(RunServer("add-user --mobile 13933330002", out), 2);
    EXPECT_EQ(RunServer("add-user --data " + data + " --mobile 13933330002 --bogus 1", out), 2);
}

TEST(AccountProgram, DemoSessionAndAddedUsersSignInAutomaticallyByHostName) {
    TempFolder dir;
    const std::string data = dir.file("data");
    const std::string out = dir.file("out.txt");
    ASSERT_EQ(RunServer("demo-session --data " + data, out), 0) << ReadFile(out);
    const auto demo = Lines(ReadFile(out));
    ASSERT_EQ(RunServer("demo-session --data " + data, out), 0);
    const auto demoAgain = Lines(ReadFile(out));
    EXPECT_EQ(demoAgain.at("userid"), demo.at("userid"));
    EXPECT_NE(demoAgain.at("token"), demo.at("token"));
    ASSERT_EQ(RunServer("add-user --data " + data + " --mobile 13933330003", out), 0);
    const auto added = Lines(ReadFile(out));

    const std::string installer = dir.file("KelsorPDFConverInst");
    WriteFile(installer, "#!/bin/sh\nexit 0\n");
    ServerProcess process;
    std::string error;
    ASSERT_TRUE(StartServerIn(process, dir, error, {"--companion-installer", installer})) << error;
    const std::string api = "http://api.kelsor.localhost:" + std::to_string(process.AccountPort());
    const std::string prefix = api + "/api/v3/user/autologin/pro/ocr/ver/1.0.0.1/channel/official";

    // The older demo token was replaced by the newer one.
    EXPECT_EQ(ParseJson(Fetch(prefix + "/userid/" + demo.at("userid") + "/token/" +
                              demo.at("token")))["code"],
              "401");
    const Json::Value reply = ParseJson(
        Fetch(prefix + "/userid/" + demoAgain.at("userid") + "/token/" + demoAgain.at("token")));
    ASSERT_EQ(reply["code"], "200") << process.Log();
    EXPECT_TRUE(IsUserRecord(reply["data"]));
    EXPECT_EQ(reply["data"]["mobile"], "13800000000");
    EXPECT_FALSE(Fetch(reply["data"]["avatar"].asString()).empty());

    const Json::Value user =
        ParseJson(Fetch(prefix + "/userid/" + added.at("userid") + "/token/" + added.at("token")));
    ASSERT_EQ(user["code"], "200");
    EXPECT_EQ(user["data"]["mobile"], "13933330003");

    const Json::Value soft =
        ParseJson(Fetch(api + "/api/v3/soft/ocr/ver/1.0.0.1/channel/official"));
    ASSERT_EQ(soft["code"], "200");
    const std::string bytes = Fetch(soft["data"]["pdfdlurl"].asString());
    EXPECT_EQ(bytes, ReadFile(installer));
    EXPECT_EQ(soft["data"]["pdfmd5"].asString(), account::Md5Hex(bytes));

    const std::string site =
        Fetch("http://www.kelsor.localhost:" + std::to_string(process.AccountPort()) + "/");
    EXPECT_NE(site.find("KelsorOCR文字识别"), std::string::npos);
    EXPECT_NE(process.Log().find("demo account 13800000000"), std::string::npos);
}

#ifdef KELSOR_COMPANION_INSTALLER
TEST(AccountProgram, ServesTheConverterInstallerBuiltWithIt) {
    TempFolder dir;
    ServerProcess process;
    std::string error;
    ASSERT_TRUE(StartServerIn(process, dir, error)) << error;
    EXPECT_NE(process.Log().find(std::string("companion installer ") + KELSOR_COMPANION_INSTALLER),
              std::string::npos);
    const std::string api = "http://api.kelsor.localhost:" + std::to_string(process.AccountPort());
    const Json::Value soft =
        ParseJson(Fetch(api + "/api/v3/soft/ocr/ver/1.0.0.1/channel/official"));
    ASSERT_EQ(soft["code"], "200");
    const std::string bytes = Fetch(soft["data"]["pdfdlurl"].asString());
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes, ReadFile(KELSOR_COMPANION_INSTALLER));
    EXPECT_EQ(bytes.substr(0, 4),
              "\x7f"
              "ELF");
    EXPECT_EQ(soft["data"]["pdfmd5"].asString(), account::Md5Hex(bytes));
}

// The installed uninstaller started by bare name from another folder removes
// its own folder and leaves the files of the folder it was started in.
TEST(AccountProgram, UninstallerActsOnItsOwnFolderOnly) {
    TempFolder dir;
    const std::string env = "XDG_DATA_HOME='" + dir.file("data") + "' KELSOR_REGISTRY_DIR='" +
                            dir.file("registry") + "' ";
    ASSERT_EQ(Shell(env + "'" + KELSOR_COMPANION_INSTALLER + "' /S"), 0);
    const std::string installed = dir.file("data/KelsorPDFConver");
    ASSERT_TRUE(FileExists(installed + "/uninst"));
    Shell("mkdir -p '" + dir.file("work") + "'");
    for (const char* name : {"KelsorPDFConver", "uninst"}) {
        WriteFile(dir.file("work/") + name, "the user's own file");
    }
    EXPECT_EQ(Shell("cd '" + dir.file("work") + "' && " + env + "PATH='" + installed +
                    "':\"$PATH\" uninst /S"),
              0);
    EXPECT_FALSE(FileExists(installed));
    for (const char* name : {"KelsorPDFConver", "uninst"}) {
        EXPECT_EQ(ReadFile(dir.file("work/") + name), "the user's own file");
    }
}
#endif
