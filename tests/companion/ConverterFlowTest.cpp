#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "CompanionTestSupport.h"
#include "StandInAccountApi.h"
#include "app/AppContext.h"
#include "app/HttpTransfer.h"
#include "app/TextConv.h"
#include "companion/Converter.h"
#include "platform/sys/Registry.h"

namespace kelsor {
namespace {

using platform::RegistryRoot;

class RecordingConverterWindow : public ConverterWindowPort {
public:
    void ShowConverterFetching() override {
        std::lock_guard lock(m_mutex);
        ++fetchingShown;
    }
    void SendMessage(WindowMessage message) override {
        std::lock_guard lock(m_mutex);
        m_sent.push_back(message);
        m_changed.notify_all();
    }
    // Waits (bounded, generously) for the worker's message.
    std::vector<WindowMessage> WaitForMessage() {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(60), [this] { return !m_sent.empty(); });
        return m_sent;
    }
    std::vector<WindowMessage> sent() {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }
    int fetching() {
        std::lock_guard lock(m_mutex);
        return fetchingShown;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<WindowMessage> m_sent;
    int fetchingShown = 0;
};

std::string Md5Of(const std::string& path) {
    return WideToAnsi(FileMd5(AnsiToWide(path)));
}

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

class ConverterFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_api.ServeInstaller(test::ReadFile(KELSOR_INSTALLER_BINARY));
        App().installerPath = AnsiToWide(m_data.file("KelsorPDFConverInst"));
        App().softwareInfoApiUrl = m_api.Base() + L"/api/v3/soft/ocr/ver/1.0.0.1/channel/10001";
        // The statistics program leaves a mark with its argument.
        App().statsPath = AnsiToWide(m_data.file("KelsorOCRStats"));
        test::WriteFile(m_data.file("KelsorOCRStats"),
                        "#!/bin/sh\necho \"$1\" > '" + m_data.file("stats.mark") + "'\n", 0755);
        m_target = m_data.file("conv");
    }

    std::string Info(const std::string& digest) {
        return "{\"code\":\"200\",\"data\":{\"sp\":\"1.0\",\"pdfname\":\"KelsorPDFConver\","
               "\"pdfparam\":\"/S /D=" +
               m_target + "\",\"pdfdlurl\":\"" + WideToAnsi(m_api.Base()) +
               "/download/KelsorPDFConverInst\",\"pdfmd5\":\"" + digest + "\"}}";
    }

    bool Installed() {
        return platform::RegistryKeyExists(RegistryRoot::LocalMachine, kConverterUninstallKey);
    }

    test::ScopedRegistry m_registry;
    test::TempFolder m_data;
    test::StandInAccountApi m_api;
    RecordingConverterWindow m_window;
    std::string m_target;
};

TEST_F(ConverterFlowTest, UpperCaseDigestMatchesAndInstalls) {
    m_api.AnswerSoftware(Info(Upper(Md5Of(KELSOR_INSTALLER_BINARY))));
    OnConverterButtonClick(m_window);
    EXPECT_EQ(1, m_window.fetching());
    EXPECT_EQ(std::vector{WM_KSOCR_CONVERTERFETCHED}, m_window.WaitForMessage());
    EXPECT_TRUE(Installed());
    EXPECT_EQ(AnsiToWide(m_target + "/KelsorPDFConver"), FindInstalledConverter());
    EXPECT_TRUE(test::IsExecutable(m_target + "/KelsorPDFConver"));
    ASSERT_TRUE(test::WaitForFile(m_data.file("stats.mark")));
    EXPECT_EQ("-KSOCRPDFDL\n", test::ReadFile(m_data.file("stats.mark")));
    EXPECT_EQ(2, m_api.SoftwareCalls());
}

TEST_F(ConverterFlowTest, EmptyOrWrongDigestInstallsNothingButRestoresTheButton) {
    for (const std::string digest : {"", "0123456789abcdef0123456789abcdef"}) {
        SCOPED_TRACE(digest);
        RecordingConverterWindow window;
        m_api.AnswerSoftware(Info(digest));
        RunConverterWorker(window);
        EXPECT_EQ(std::vector{WM_KSOCR_CONVERTERFETCHED}, window.sent());
        EXPECT_FALSE(Installed());
        EXPECT_FALSE(test::FileExists(m_target));
        // The download stays in the data folder.
        EXPECT_EQ(test::ReadFile(KELSOR_INSTALLER_BINARY),
                  test::ReadFile(m_data.file("KelsorPDFConverInst")));
    }
}

TEST_F(ConverterFlowTest, RefusedReplyEndsSilentlyWithoutDownload) {
    const std::string replies[] = {
        "",
        "<html>503</html>",
        "{\"code\":200,\"data\":{\"sp\":\"1.0\",\"pdfdlurl\":\"x\"}}",
        "{\"code\":\"200\",\"data\":{\"sp\":\"0.9\",\"pdfdlurl\":\"x\"}}",
        "{\"code\":\"200\",\"data\":" + std::string(5000, '[') + std::string(5000, ']') + "}",
    };
    for (const auto& reply : replies) {
        m_api.AnswerSoftware(reply);
        RunConverterWorker(m_window);
    }
    EXPECT_TRUE(m_window.sent().empty());
    EXPECT_EQ(5, m_api.SoftwareCalls());  // the information only, never a download
    EXPECT_FALSE(test::FileExists(m_data.file("KelsorPDFConverInst")));
}

TEST_F(ConverterFlowTest, InstalledConverterStartsDirectly) {
    test::WriteFile(m_data.file("KelsorPDFConver"),
                    "#!/bin/sh\necho started > '" + m_data.file("converter.mark") + "'\n", 0755);
    ASSERT_TRUE(platform::RegistrySetString(RegistryRoot::LocalMachine, kConverterUninstallKey,
                                            kConverterUninstallValue,
                                            AnsiToWide(m_data.file("uninst"))));
    OnConverterButtonClick(m_window);
    ASSERT_TRUE(test::WaitForFile(m_data.file("converter.mark")));
    EXPECT_EQ(0, m_window.fetching());
    EXPECT_EQ(0, m_api.SoftwareCalls());
    EXPECT_FALSE(test::FileExists(m_data.file("stats.mark")));
    EXPECT_TRUE(m_window.sent().empty());
}

}  // namespace
}  // namespace kelsor
