#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <mutex>
#include <thread>

#include "EventWaits.h"
#include "LoopbackHttpServer.h"
#include "ToolsTestSupport.h"
#include "app/AppContext.h"
#include "app/HttpTransfer.h"
#include "app/TextConv.h"
#include "companion/Converter.h"
#include "platform/sys/Messages.h"
#include "platform/sys/SingleInstance.h"
#include "platform/ui/Controls.h"
#include "skin/SkinData.h"
#include "tools/ToolContext.h"
#include "tools/UpdateCheck.h"
#include "tools/UpdateWnd.h"

namespace kelsor {
namespace {

namespace fs = std::filesystem;
using tools::UpdateAnswer;
using tooltest::ToolsFixture;

using test::WaitFor;

TEST(CompareVersions, NumbersCompareOneByOne) {
    struct Case {
        const wchar_t *a, *b;
        int sign;
    } cases[] = {{L"1.0.0.1", L"1.0.0.1", 0}, {L"1.0.0.2", L"1.0.0.1", 1}, {L"1.10", L"1.9", 1},
                 {L"2", L"1.9.9.9", 1},       {L"1.0", L"1.0.0.0", 0},     {L"0.9", L"1", -1},
                 {L"", L"0.0.1", -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToAnsi(c.a) + " vs " + WideToAnsi(c.b));
        const int result = tools::CompareVersions(c.a, c.b);
        EXPECT_EQ(c.sign, (result > 0) - (result < 0));
    }
}

// A hostile account service: it answers every version check with `reply`
// and serves an endless package at "/package".
struct HostileService {
    HostileService() {
        http.Http().Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            targets.push_back(request.target);
            if (request.path != "/package") {
                response.set_content(reply, "application/json");
                return;
            }
            response.set_chunked_content_provider("application/octet-stream",
                                                  [this](std::size_t, httplib::DataSink& sink) {
                                                      const std::string chunk(64 * 1024, 'x');
                                                      served += chunk.size();
                                                      return served < (std::size_t{64} << 20) &&
                                                             sink.write(chunk.data(), chunk.size());
                                                  });
        });
    }
    std::string Host() const { return "127.0.0.1:" + std::to_string(http.Port()); }

    std::string reply;
    std::mutex mutex;
    std::vector<std::string> targets;
    std::atomic<std::size_t> served{0};
    test::LoopbackHttpServer http;  // last: stops first
};

class UpdaterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "tools_tests";
        static char* argv[] = {name, nullptr};
        if (qApp == nullptr)
            new QApplication(argc, argv);
        skin::Install();
        InitHttpGlobal();
    }

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_fixture.StartServer(error)) << error;
        fs::create_directories(m_folder.file("fakebin"));
        // The desktop's opener leaves a mark instead of opening the package.
        test::WriteFile(m_folder.file("fakebin/xdg-open"),
                        "#!/bin/sh\necho \"$1\" >> '" + m_folder.file("opened.txt") + "'\n", 0755);
        setenv("PATH", (m_folder.file("fakebin") + ":" + std::getenv("PATH")).c_str(), 1);
        tools::BuildToolContext();
    }

    // Offers version 9.1 with `package` (in the server's data folder).
    void OfferPackage(const std::string& bytes) {
        test::WriteFile(m_fixture.serverData() + "/KelsorOCR_9.1_amd64.deb", bytes);
        test::WriteFile(m_fixture.serverData() + "/update.json",
                        R"({"version": "9.1", "package": "KelsorOCR_9.1_amd64.deb"})");
    }

    tools::UpdateCheckResult Check() {
        return tools::CheckForUpdate(tools::ApiBase(), L"1.0.0.1", L"10001");
    }

    // The window as the updater shows it.
    std::unique_ptr<tools::UpdateWnd> Open(const tools::UpdateCheckResult& result) {
        auto window = std::make_unique<tools::UpdateWnd>(result, App().dataFolder);
        window->Create(nullptr, L"KelsorOCR更新", ui::UI_WNDSTYLE_DIALOG, ui::WS_EX_WINDOWEDGE);
        return window;
    }

    test::TempFolder m_folder;
    ToolsFixture m_fixture{m_folder};
};

TEST_F(UpdaterTest, AnswersLatestWhenTheServiceOffersNothingNewer) {
    const auto result = Check();  // the server's own version is the program's
    ASSERT_EQ(UpdateAnswer::kLatest, result.answer) << result.error;
    auto window = Open(result);
    EXPECT_EQ(L"已是最新版本", window->MessageText());
    EXPECT_FALSE(window->OffersUpdate());
}

TEST_F(UpdaterTest, NewerVersionDownloadsChecksAndOpensThePackage) {
    OfferPackage("package bytes");
    const auto result = Check();
    ASSERT_EQ(UpdateAnswer::kNewer, result.answer) << result.error;
    auto window = Open(result);
    EXPECT_EQ(L"发现新版本 9.1", window->MessageText());
    ASSERT_TRUE(window->OffersUpdate());
    EXPECT_EQ(L"立即更新",
              std::wstring(window->PaintManager().FindControl(L"updatenowbtn")->GetText()));
    EXPECT_EQ(L"以后再说",
              std::wstring(window->PaintManager().FindControl(L"laterbtn")->GetText()));

    ASSERT_TRUE(window->ClickControl(L"updatenowbtn"));
    const std::string package = WideToAnsi(App().dataFolder) + "KelsorOCR_9.1_amd64.deb";
    // The opener's shell creates the file before it writes the line.
    EXPECT_TRUE(
        WaitFor([&] { return test::ReadFile(m_folder.file("opened.txt")) == package + "\n"; }));
    EXPECT_EQ("package bytes", test::ReadFile(package));
    EXPECT_EQ(tools::updatetext::kOpened, window->MessageText());
}

TEST_F(UpdaterTest, RefusesAPackageWhoseDigestDoesNotMatch) {
    OfferPackage("announced bytes");
    const auto result = Check();
    ASSERT_EQ(UpdateAnswer::kNewer, result.answer) << result.error;
    // The file changes between the announcement and the download.
    test::WriteFile(m_fixture.serverData() + "/KelsorOCR_9.1_amd64.deb", "other bytes");
    auto window = Open(result);
    ASSERT_TRUE(window->ClickControl(L"updatenowbtn"));
    ASSERT_TRUE(WaitFor([&] { return window->MessageText() != tools::updatetext::kDownloading; }));
    EXPECT_EQ(tools::updatetext::kDigestMismatch, window->MessageText());
    EXPECT_FALSE(test::FileExists(WideToAnsi(App().dataFolder) + "KelsorOCR_9.1_amd64.deb"));
    EXPECT_FALSE(test::FileExists(m_folder.file("opened.txt")));
}

TEST_F(UpdaterTest, FailedCheckSaysSoAndQuietStartsEndWithoutAWindow) {
    // A quiet start with nothing newer ends at once (a window would block).
    std::string output;
    EXPECT_EQ(0, m_fixture.Run("KelsorOCRUpdate", "", output)) << output;
    EXPECT_EQ(1, m_fixture.Requests("/api/v3/update/"));
    EXPECT_EQ(2, m_fixture.Run("KelsorOCRUpdate", "-KSOCRStartUp", output));

    m_fixture.StopServer();
    const auto result = Check();
    EXPECT_EQ(UpdateAnswer::kFailed, result.answer);
    EXPECT_EQ(tools::updatetext::kFailed, Open(result)->MessageText());
    EXPECT_EQ(0, m_fixture.Run("KelsorOCRUpdate", "", output)) << output;
}

TEST_F(UpdaterTest, NeverRunsTwice) {
    // This process holds the updater's lock, as a running updater would.
    platform::SingleInstanceGuard running(L"KelsorOCRUpdateMutex");
    std::atomic<unsigned> received{0};
    ASSERT_EQ(platform::SingleInstanceGuard::Role::kFirst,
              running.Acquire([&](unsigned message) { received = message; }));
    std::string output;
    EXPECT_EQ(0, m_fixture.Run("KelsorOCRUpdate", "-KSOCRMAINMENU", output)) << output;
    EXPECT_NE(output.find("already running"), std::string::npos) << output;
    EXPECT_EQ(unsigned{WM_KSOCR_BRINGTOFRONT}, received.load());
    EXPECT_EQ(0, m_fixture.Requests("/api/v3/update/"));
}

TEST_F(UpdaterTest, OffersOnlyPackagesOfTheProgramsOwnType) {
    for (const char* name : {"KelsorOCR_9.1.desktop", "KelsorOCR_9.1.sh", "KelsorOCR_9.1.deb.sh"}) {
        SCOPED_TRACE(name);
        test::WriteFile(m_fixture.serverData() + "/" + name, "#!/bin/sh\n");
        test::WriteFile(m_fixture.serverData() + "/update.json",
                        std::string(R"({"version": "9.1", "package": ")") + name + "\"}");
        const auto result = Check();
        ASSERT_EQ(UpdateAnswer::kNewer, result.answer) << result.error;
        EXPECT_TRUE(result.offer.downloadUrl.empty());
        auto window = Open(result);
        ASSERT_TRUE(window->ClickControl(L"updatenowbtn"));
        EXPECT_EQ(tools::updatetext::kNoPackage, window->MessageText());
    }
    EXPECT_FALSE(test::FileExists(m_folder.file("opened.txt")));
}

TEST_F(UpdaterTest, DownloadStopsAtTheStatedSize) {
    HostileService service;
    ASSERT_TRUE(service.http.Start());
    service.reply = R"({"code": "200", "data": {"version": "9.1", "size": 1000, "md5": ")" +
                    std::string(32, '0') + R"(", "name": "KelsorOCR_9.1_amd64.deb", "dlurl": ")" +
                    service.http.Url("/package") + "\"}}";
    const auto result =
        tools::CheckForUpdate(AnsiToWide("http://" + service.Host()), L"1.0.0.1", L"10001");
    ASSERT_EQ(UpdateAnswer::kNewer, result.answer) << result.error;
    auto window = Open(result);
    ASSERT_TRUE(window->ClickControl(L"updatenowbtn"));
    ASSERT_TRUE(WaitFor([&] { return window->MessageText() != tools::updatetext::kDownloading; }));
    EXPECT_EQ(tools::updatetext::kDigestMismatch, window->MessageText());
    EXPECT_LT(service.served.load(), std::size_t{8} << 20);
    EXPECT_FALSE(test::FileExists(WideToAnsi(App().dataFolder) + "KelsorOCR_9.1_amd64.deb"));
}

// The real updater against the hostile service.
TEST_F(UpdaterTest, NestedReplyFailsTheCheckAndTheChannelTravelsEscaped) {
    HostileService service;
    ASSERT_TRUE(service.http.Start());
    service.reply =
        R"({"code": "200", "data": )" + std::string(100000, '[') + std::string(100000, ']') + "}";
    fs::create_directories(m_fixture.dataFolder());
    test::WriteFile(m_fixture.dataFolder() + "config.ini", "[KSOCRInfo]\nchannel=a/../b?c&d=e\n");
    m_fixture.UseApiHost(service.Host());
    std::string output;
    EXPECT_EQ(0, m_fixture.Run("KelsorOCRUpdate", "", output)) << output;
    EXPECT_NE(output.find("check failed"), std::string::npos) << output;
    std::lock_guard lock(service.mutex);
    ASSERT_EQ(1u, service.targets.size());
    EXPECT_TRUE(service.targets[0].ends_with("/channel/a%2F..%2Fb%3Fc%26d%3De"))
        << service.targets[0];
}

// A large package stays on disk: its digest is read once per change of the
// file, in pieces, and downloads are sent in pieces.
TEST_F(UpdaterTest, VersionChecksKeepTheUpdatePackageOutOfMemory) {
    constexpr long long kPackage = 64 << 20;
    OfferPackage(std::string(kPackage, 'p'));
    m_fixture.ResetServerPeak();
    const long long before = m_fixture.ServerMemory("VmRSS");
    std::vector<std::thread> checks;
    for (int i = 0; i < 12; ++i)
        checks.emplace_back([this] { EXPECT_EQ(UpdateAnswer::kNewer, Check().answer); });
    for (std::thread& check : checks)
        check.join();
    HttpDownloadFile(Check().offer.downloadUrl, m_folder.wide("fetched.deb"));
    EXPECT_EQ(kPackage, static_cast<long long>(fs::file_size(m_folder.file("fetched.deb"))));
    EXPECT_LT(m_fixture.ServerMemory("VmHWM") - before, kPackage / 2);
}

// The client's converter path starts the real statistics program, which
// reports the event to the service.
TEST_F(UpdaterTest, ConverterPathStartsTheRealStatisticsProgram) {
    // Outlives the test: the converter's worker is detached.
    struct Port : ConverterWindowPort {
        void ShowConverterFetching() override {}
        void SendMessage(WindowMessage) override { finished = true; }
        std::atomic<bool> finished{false};
    };
    static Port port;
    StartupInputs inputs = StartupInputs::FromEnvironment();
    inputs.exeFolder = AnsiToWide(KELSOR_PROGRAM_FOLDER);
    BuildAppContext(App(), inputs);
    ASSERT_TRUE(test::FileExists(WideToAnsi(App().statsPath)));
    OnConverterButtonClick(port);
    EXPECT_TRUE(WaitFor([&] {
        return m_fixture.Get("/api/v3/stats/ocr/counts")["data"]["events"]["pdfdl"].asInt() == 1;
    }));
    EXPECT_TRUE(WaitFor([&] { return port.finished.load(); }));
}

}  // namespace
}  // namespace kelsor
