#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ToolsTestSupport.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "companion/Converter.h"
#include "tools/StatsLog.h"

namespace kelsor {
namespace {

using tooltest::ToolsFixture;

std::size_t LineCount(const std::string& path) {
    std::ifstream in(path);
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    return lines;
}

class StatsTest : public ::testing::Test {
protected:
    Json::Value Counts() { return m_fixture.Get("/api/v3/stats/ocr/counts")["data"]; }
    std::string Log() const { return m_fixture.dataFolder() + "KelsorOCRStats.log"; }

    test::TempFolder m_folder;
    ToolsFixture m_fixture{m_folder};
    std::string m_output;
};

TEST_F(StatsTest, RecordsAndPostsBothEventsWithAnAnonymousInstallId) {
    std::string error;
    ASSERT_TRUE(m_fixture.StartServer(error)) << error;
    EXPECT_EQ(0, m_fixture.Run("KelsorOCRStats", "-KSOCRStartUp", m_output)) << m_output;
    EXPECT_EQ(0, m_fixture.Run("KelsorOCRStats", "-KSOCRPDFDL", m_output)) << m_output;
    const Json::Value counts = Counts();
    EXPECT_EQ(1, counts["events"]["startup"].asInt());
    EXPECT_EQ(1, counts["events"]["pdfdl"].asInt());
    EXPECT_EQ(1, counts["installations"].asInt());
    EXPECT_EQ(0u, LineCount(Log()));  // delivered lines are forgotten
    EXPECT_EQ(33u, test::ReadFile(m_fixture.dataFolder() + "KelsorOCRStats.id").size());
}

TEST_F(StatsTest, KeepsEventsWhileTheServiceIsDownAndSendsThemAtTheNextRun) {
    // Nothing listens yet: both events stay in the log.
    EXPECT_EQ(0, m_fixture.Run("KelsorOCRStats", "-KSOCRStartUp", m_output));
    EXPECT_NE(m_output.find("kept for the next run"), std::string::npos) << m_output;
    EXPECT_EQ(0, m_fixture.Run("KelsorOCRStats", "-KSOCRPDFDL", m_output));
    ASSERT_EQ(2u, LineCount(Log()));

    std::string error;
    ASSERT_TRUE(m_fixture.StartServer(error)) << error;
    EXPECT_EQ(0, m_fixture.Run("KelsorOCRStats", "-KSOCRStartUp", m_output)) << m_output;
    EXPECT_EQ(2, Counts()["events"]["startup"].asInt());
    EXPECT_EQ(1, Counts()["events"]["pdfdl"].asInt());
    EXPECT_EQ(0u, LineCount(Log()));
}

TEST_F(StatsTest, SendsABoundedBatchPerRunAndEachEventOnce) {
    std::string error;
    ASSERT_TRUE(m_fixture.StartServer(error)) << error;
    tools::StatsLog log(m_fixture.dataFolder());
    std::filesystem::create_directories(m_fixture.dataFolder());
    const Json::Value repeated =
        tools::MakeStatsEvent("pdfdl", "1.0.0.1", "10001", tools::RandomHex(16));
    for (int i = 0; i < 150; ++i) {
        ASSERT_TRUE(log.Append(
            i < 2 ? repeated : tools::MakeStatsEvent("startup", "1", "10001", tools::RandomHex(16)),
            error));
    }
    EXPECT_EQ(0, m_fixture.Run("KelsorOCRStats", "-KSOCRPDFDL", m_output)) << m_output;
    EXPECT_EQ(51u, LineCount(Log()));  // 151 recorded, 100 sent
    EXPECT_EQ(0, m_fixture.Run("KelsorOCRStats", "-KSOCRPDFDL", m_output)) << m_output;
    EXPECT_EQ(0u, LineCount(Log()));
    // The event recorded twice (the same id) counts once.
    EXPECT_EQ(148, Counts()["events"]["startup"].asInt());
    EXPECT_EQ(1 + 2, Counts()["events"]["pdfdl"].asInt());
}

TEST_F(StatsTest, ANestedLineIsDroppedAndTheOthersSent) {
    std::string error;
    ASSERT_TRUE(m_fixture.StartServer(error)) << error;
    std::filesystem::create_directories(m_fixture.dataFolder());
    const std::string nested = std::string(100000, '[') + std::string(100000, ']');
    test::WriteFile(Log(), "{\"a\":" + nested + "}\n" + nested + "\n");
    for (int run = 0; run < 2; ++run) {  // every start, not only the first
        EXPECT_EQ(0, m_fixture.Run("KelsorOCRStats", "-KSOCRStartUp", m_output)) << m_output;
    }
    EXPECT_EQ(2, Counts()["events"]["startup"].asInt());
    EXPECT_EQ(0u, LineCount(Log()));
}

TEST_F(StatsTest, OneInstallationsEventsAreLimitedPerMinuteAndKept) {
    std::string error, installId;
    ASSERT_TRUE(m_fixture.StartServer(error)) << error;
    std::filesystem::create_directories(m_fixture.dataFolder());
    tools::StatsLog log(m_fixture.dataFolder());
    ASSERT_TRUE(log.InstallId(installId, error)) << error;
    for (int i = 0; i < 150; ++i)
        ASSERT_TRUE(log.Append(tools::MakeStatsEvent("startup", "1", "10001", installId), error));
    EXPECT_EQ(0, m_fixture.Run("KelsorOCRStats", "-KSOCRStartUp", m_output)) << m_output;
    EXPECT_EQ(51u, LineCount(Log()));
    // The next 52 would pass the installation's limit: refused whole, kept.
    EXPECT_EQ(0, m_fixture.Run("KelsorOCRStats", "-KSOCRStartUp", m_output)) << m_output;
    EXPECT_NE(m_output.find("kept for the next run"), std::string::npos) << m_output;
    EXPECT_EQ(52u, LineCount(Log()));
    EXPECT_EQ(100, Counts()["events"]["startup"].asInt());
}

TEST_F(StatsTest, MissingOrUnknownSwitchExitsTwoAndRecordsNothing) {
    for (const char* arguments :
         {"", "-KSOCRMAINMENU", "-KSOCRStartUp -KSOCRPDFDL", "-ksocrstartup"}) {
        SCOPED_TRACE(arguments);
        EXPECT_EQ(2, m_fixture.Run("KelsorOCRStats", arguments, m_output));
    }
    EXPECT_FALSE(test::FileExists(Log()));
}

}  // namespace
}  // namespace kelsor
