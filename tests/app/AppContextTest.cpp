#include <gtest/gtest.h>

#include <filesystem>

#include "TempFolder.h"
#include "app/AppContext.h"
#include "app/Settings.h"

using namespace kelsor::test;
using namespace kelsor;

namespace {

// A program folder holding a copy of the built program under `name`.
std::wstring ProgramFolderWith(const TempFolder& dir, const std::string& name) {
    std::filesystem::create_directories(dir.file("bin"));
    std::filesystem::copy_file(KELSOR_PROGRAM_PATH, dir.file("bin/" + name),
                               std::filesystem::copy_options::overwrite_existing);
    return dir.wide("bin/");
}

StartupInputs InputsIn(const TempFolder& dir, const std::string& programName = "KelsorOCR") {
    StartupInputs in;
    in.exeFolder = ProgramFolderWith(dir, programName);
    in.desktopFolder = dir.wide("Desktop");
    in.appDataFolder = dir.wide("deep/data/home");  // none of it exists yet
    in.siteHost = L"site.test";
    in.webHost = L"web.test";
    in.apiHost = L"api.test";
    return in;
}

}  // namespace

TEST(AppContext, FirstStartCreatesTheDataFolderAndSettingsFile) {
    TempFolder dir;
    AppContext c;
    BuildAppContext(c, InputsIn(dir));

    EXPECT_EQ(c.dataFolder, dir.wide("deep/data/home/KelsorOCR/"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("deep/data/home/KelsorOCR")));
    EXPECT_EQ(ReadFile(dir.file("deep/data/home/KelsorOCR/config.ini")),
              "[KSOCRInfo]\nchannel=10001\n");
    EXPECT_EQ(c.channel, L"10001");

    EXPECT_EQ(c.exeFolder, dir.wide("bin/"));
    EXPECT_EQ(c.selfPath, dir.wide("bin/KelsorOCR"));
    EXPECT_EQ(c.updaterPath, dir.wide("bin/KelsorOCRUpdate"));
    EXPECT_EQ(c.statsPath, dir.wide("bin/KelsorOCRStats"));
    EXPECT_EQ(c.desktopFolder, dir.wide("Desktop/"));
    EXPECT_EQ(c.screenOutputFolder, c.desktopFolder);
    EXPECT_EQ(c.customOutputFolder.get(), c.desktopFolder);
    EXPECT_EQ(c.productName, L"KelsorOCR");
    EXPECT_EQ(c.avatarPath, c.dataFolder + L"useravtar.png");
    EXPECT_EQ(c.screenWorkPicturePath, c.dataFolder + L"screenocrfile.jpg");
    EXPECT_EQ(c.configPath, c.dataFolder + L"/config.ini");
    EXPECT_EQ(c.sessionFilePath, c.dataFolder + L"/ud");
    EXPECT_EQ(c.installerPath, c.dataFolder + L"/KelsorPDFConverInst.run");

    EXPECT_EQ(c.versionText, L"1.0.0.1");
    EXPECT_EQ(c.homePageUrl, L"http://site.test");
    EXPECT_EQ(c.aboutPageUrl, L"http://site.test/about");
    EXPECT_EQ(c.blankPageUrl, L"http://web.test/index/index/blank");
    EXPECT_EQ(c.loginPageUrl,
              L"http://web.test/index/account/login/pro/ocr/ver/1.0.0.1/channel/10001");
    EXPECT_EQ(c.bindPhonePageUrl,
              L"http://web.test/index/account/bindphone/pro/ocr/ver/1.0.0.1/channel/10001/uid/");
    EXPECT_EQ(c.autoLoginApiUrl,
              L"http://api.test/api/v3/user/autologin/pro/ocr/ver/1.0.0.1/channel/10001");
    EXPECT_EQ(c.softwareInfoApiUrl, L"http://api.test/api/v3/soft/ocr/ver/1.0.0.1/channel/10001");
}

TEST(AppContext, ChannelFromTheFileDoesNotReachTheUrls) {
    TempFolder dir;
    std::filesystem::create_directories(dir.file("deep/data/home/KelsorOCR"));
    WriteFile(dir.file("deep/data/home/KelsorOCR/config.ini"), "[KSOCRInfo]\nchannel=20555\n");
    AppContext c;
    BuildAppContext(c, InputsIn(dir));
    EXPECT_EQ(c.channel, L"20555");
    EXPECT_NE(c.loginPageUrl.find(L"/channel/10001"), std::wstring::npos);
    EXPECT_NE(c.autoLoginApiUrl.find(L"/channel/10001"), std::wstring::npos);
    EXPECT_EQ(c.loginPageUrl.find(L"20555"), std::wstring::npos);
    // The existing file is not rewritten.
    EXPECT_EQ(ReadFile(dir.file("deep/data/home/KelsorOCR/config.ini")),
              "[KSOCRInfo]\nchannel=20555\n");

    // Rebuilding after a reset starts from the built-in channel again.
    std::filesystem::remove(dir.file("deep/data/home/KelsorOCR/config.ini"));
    ResetAppContext(c);
    EXPECT_TRUE(c.dataFolder.empty());
    BuildAppContext(c, InputsIn(dir));
    EXPECT_EQ(c.channel, L"10001");
    EXPECT_EQ(ReadFile(dir.file("deep/data/home/KelsorOCR/config.ini")),
              "[KSOCRInfo]\nchannel=10001\n");
}

TEST(AppContext, EmptyChannelStaysEmptyAndMissingKeyGivesTheDefault) {
    TempFolder dir;
    const std::string config = dir.file("deep/data/home/KelsorOCR/config.ini");
    std::filesystem::create_directories(dir.file("deep/data/home/KelsorOCR"));
    WriteFile(config, "[KSOCRInfo]\nchannel=\n");
    AppContext c;
    BuildAppContext(c, InputsIn(dir));
    EXPECT_EQ(c.channel, L"");

    WriteFile(config, "[KSOCRInfo]\nother=1\n");
    AppContext d;
    d.channel = L"stale";
    BuildAppContext(d, InputsIn(dir));
    EXPECT_EQ(d.channel, L"10001");
}

TEST(AppContext, UnwritableDataFolderKeepsTheBuiltInChannel) {
    TempFolder dir;
    StartupInputs in = InputsIn(dir);
    WriteFile(dir.file("blocker"), "a file where a folder should be");
    in.appDataFolder = dir.wide("blocker");
    AppContext c;
    BuildAppContext(c, in);
    EXPECT_EQ(c.channel, L"10001");
    EXPECT_FALSE(std::filesystem::exists(dir.file("blocker/KelsorOCR")));
}

TEST(AppContext, RenamedProgramFileHasNoVersion) {
    TempFolder dir;
    AppContext c;
    BuildAppContext(c, InputsIn(dir, "KelsorOCR-renamed"));
    EXPECT_EQ(c.versionText, L"");
    EXPECT_EQ(c.loginPageUrl, L"http://web.test/index/account/login/pro/ocr/ver//channel/10001");

    // A file by the right name but without the version note has none either.
    std::filesystem::copy_file("/bin/true", dir.file("bin/KelsorOCR"));
    AppContext d;
    BuildAppContext(d, InputsIn(dir, "KelsorOCR-renamed"));
    EXPECT_EQ(d.versionText, L"");
}

TEST(AppContext, UnknownFoldersStayRelativeNeverRoot) {
    TempFolder dir;
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    StartupInputs in = InputsIn(dir);
    in.desktopFolder.clear();
    in.appDataFolder.clear();
    AppContext c;
    BuildAppContext(c, in);
    EXPECT_EQ(c.desktopFolder, L"");
    EXPECT_EQ(c.dataFolder, L"KelsorOCR/");
    EXPECT_TRUE(std::filesystem::exists(dir.file("KelsorOCR/config.ini")));
}

TEST(AppContext, HostsComeFromTheEnvironmentOrTheLocalDefaults) {
    setenv("KELSOR_API_HOST", "api.elsewhere.localhost:9999", 1);
    setenv("KELSOR_WEB_HOST", "", 1);  // empty counts as unset
    unsetenv("KELSOR_SITE_HOST");
    const StartupInputs in = StartupInputs::FromEnvironment();
    EXPECT_EQ(in.apiHost, L"api.elsewhere.localhost:9999");
    EXPECT_EQ(in.webHost, kDefaultWebHost);
    EXPECT_EQ(in.siteHost, kDefaultSiteHost);
    ASSERT_FALSE(in.exeFolder.empty());
    EXPECT_EQ(in.exeFolder.back(), L'/');
}
