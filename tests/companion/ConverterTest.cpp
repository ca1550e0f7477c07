#include <gtest/gtest.h>

#include "CompanionTestSupport.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "companion/CommandLine.h"
#include "companion/Converter.h"
#include "companion/SoftwareInfo.h"
#include "platform/sys/Registry.h"

namespace kelsor {
namespace {

using platform::RegistryRoot;

void RecordUninstallString(const std::wstring& value) {
    ASSERT_TRUE(platform::RegistrySetString(RegistryRoot::LocalMachine, kConverterUninstallKey,
                                            kConverterUninstallValue, value));
}

TEST(FileMd5, KnownAnswersInLowerCase) {
    test::TempFolder dir;
    test::WriteFile(dir.file("abc"), "abc");
    test::WriteFile(dir.file("empty"), "");
    EXPECT_EQ(L"900150983cd24fb0d6963f7d28e17f72", FileMd5(AnsiToWide(dir.file("abc"))));
    EXPECT_EQ(L"d41d8cd98f00b204e9800998ecf8427e", FileMd5(AnsiToWide(dir.file("empty"))));
    EXPECT_EQ(L"", FileMd5(AnsiToWide(dir.file("missing"))));
    EXPECT_EQ(L"", FileMd5(AnsiToWide(dir.path())));  // a folder has no digest
}

TEST(FindInstalledConverter, BuildsThePathFromTheUninstallString) {
    test::ScopedRegistry registry;
    EXPECT_EQ(L"", FindInstalledConverter());
    RecordUninstallString(L"/opt/kelsor/conv/uninst");
    EXPECT_EQ(L"/opt/kelsor/conv/KelsorPDFConver", FindInstalledConverter());
    // A quoted string gives a path that does not exist: the flow fetches again.
    RecordUninstallString(L"\"/opt/kelsor/conv/uninst\"");
    EXPECT_EQ(L"\"/opt/kelsor/conv/KelsorPDFConver", FindInstalledConverter());
    // No folder at all would name a file of the current folder: not installed.
    RecordUninstallString(L"uninst");
    EXPECT_EQ(L"", FindInstalledConverter());
    RecordUninstallString(L"");
    EXPECT_EQ(L"", FindInstalledConverter());
}

TEST(SplitParameters, WhiteSpaceSeparatesQuotesGroup) {
    using Args = std::vector<std::wstring>;
    EXPECT_EQ(Args{}, companion::SplitParameters(L""));
    EXPECT_EQ(Args{}, companion::SplitParameters(L"  \t "));
    EXPECT_EQ((Args{L"/S", L"/D=/tmp/a", L"b"}), companion::SplitParameters(L" /S  /D=/tmp/a b"));
    EXPECT_EQ((Args{L"/D=/tmp/a b", L"/S"}), companion::SplitParameters(L"\"/D=/tmp/a b\" /S"));
    EXPECT_EQ((Args{L"/D=/x y/z"}), companion::SplitParameters(L"/D=\"/x y\"/z"));
    EXPECT_EQ((Args{L"", L"x"}), companion::SplitParameters(L"\"\" x"));
}

TEST(ParseSoftwareInfo, TakesStringMembersOfAVersionOneReply) {
    SoftwareInfo info;
    ASSERT_EQ(0,
              ParseSoftwareInfo(
                  LR"({"code":"200","data":{"sp":"1.0","pdfname":"KelsorPDFConver",)"
                  LR"("pdfparam":"/S","pdfdlurl":"http://api.localhost/d/i","pdfmd5":"ABCDEF"}})",
                  info));
    EXPECT_EQ(L"KelsorPDFConver", info.name);
    EXPECT_EQ(L"/S", info.parameters);
    EXPECT_EQ(L"http://api.localhost/d/i", info.downloadUrl);
    EXPECT_EQ(L"ABCDEF", info.digest);

    ASSERT_EQ(0, ParseSoftwareInfo(
                     LR"({"code":"200","data":{"sp":"1.0","pdfmd5":5,"pdfparam":null}})", info));
    EXPECT_EQ(L"", info.digest);
    EXPECT_EQ(L"", info.parameters);
}

TEST(ParseSoftwareInfo, RejectsAndKeepsTheRecord) {
    const std::wstring bad[] = {
        L"",
        L"Service Unavailable",
        LR"({"code":200,"data":{"sp":"1.0","pdfdlurl":"x"}})",
        LR"({"code":"500","data":{"sp":"1.0","pdfdlurl":"x"}})",
        LR"({"code":"200","data":{"sp":"2.0","pdfdlurl":"x"}})",
        LR"({"code":"200","data":["sp","1.0"]})",
        LR"({"code":"200"})",
        LR"({"code":"200","data":{"sp":"1.0")",
    };
    for (const auto& text : bad) {
        SoftwareInfo info;
        info.downloadUrl = L"keep";
        EXPECT_NE(0, ParseSoftwareInfo(text, info)) << WideToAnsi(text);
        EXPECT_EQ(L"keep", info.downloadUrl);
    }
}

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        App().installerPath = AnsiToWide(m_data.file("KelsorPDFConverInst"));
        m_target = m_data.file("Program Files/KelsorPDFConver");
    }
    // As a download leaves it: plain file, no execute bit.
    void PlaceInstaller() {
        test::WriteFile(m_data.file("KelsorPDFConverInst"), test::ReadFile(KELSOR_INSTALLER_BINARY),
                        0644);
    }

    test::ScopedRegistry m_registry;
    test::TempFolder m_data;
    std::string m_target;
};

TEST_F(InstallerTest, HiddenInstallRecordsTheConverterAndUninstallRemovesIt) {
    PlaceInstaller();
    ASSERT_TRUE(RunInstallerAndWait(L"/S \"/D=" + AnsiToWide(m_target) + L"\""));

    std::wstring uninstall;
    ASSERT_TRUE(platform::RegistryGetString(RegistryRoot::LocalMachine, kConverterUninstallKey,
                                            kConverterUninstallValue, uninstall));
    EXPECT_EQ(AnsiToWide(m_target + "/uninst"), uninstall);
    std::wstring converter = FindInstalledConverter();
    EXPECT_EQ(AnsiToWide(m_target + "/KelsorPDFConver"), converter);
    EXPECT_TRUE(test::IsExecutable(WideToAnsi(converter)));
    // The real converter: it answers --help without opening its window.
    EXPECT_EQ(0, test::Shell("'" + WideToAnsi(converter) + "' --help >'" +
                             m_data.file("usage.txt") + "'"));
    EXPECT_NE(std::string::npos,
              test::ReadFile(m_data.file("usage.txt")).find("usage: KelsorPDFConver"));

    EXPECT_EQ(0, test::Shell("'" + m_target + "/uninst' /S"));
    EXPECT_FALSE(platform::RegistryKeyExists(RegistryRoot::LocalMachine, kConverterUninstallKey));
    EXPECT_FALSE(test::FileExists(m_target));
    EXPECT_EQ(L"", FindInstalledConverter());
}

TEST_F(InstallerTest, InstallerRefusesUnknownParameters) {
    PlaceInstaller();
    EXPECT_TRUE(RunInstallerAndWait(L"/S /X"));  // it starts, and ends without installing
    EXPECT_FALSE(platform::RegistryKeyExists(RegistryRoot::LocalMachine, kConverterUninstallKey));
    EXPECT_EQ(2, test::Shell(std::string(KELSOR_INSTALLER_BINARY) + " --frobnicate 2>/dev/null"));
}

TEST_F(InstallerTest, NothingToRunWithoutTheInstallerFile) {
    EXPECT_FALSE(RunInstallerAndWait(L"/S"));
}

}  // namespace
}  // namespace kelsor
