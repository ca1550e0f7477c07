#include <gtest/gtest.h>

#include "ScopedRegistry.h"
#include "platform/sys/Registry.h"

namespace kelsor::platform {
namespace {

const std::wstring kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo";

TEST(Registry, ValuesRoundTripWithWindowsLookupRules) {
    test::ScopedRegistry registry;
    EXPECT_EQ(registry.folder().file("HKEY_LOCAL_MACHINE"),
              RegistryFilePath(RegistryRoot::LocalMachine));
    ASSERT_TRUE(RegistrySetString(RegistryRoot::LocalMachine, kKey, L"UninstallString",
                                  L"/opt/demo/uninst"));
    ASSERT_TRUE(RegistrySetString(RegistryRoot::LocalMachine, kKey, L"DisplayName",
                                  L"\u6f14\u793a = [demo]"));
    std::wstring value;
    // Key paths and value names are case-insensitive, as on Windows.
    ASSERT_TRUE(RegistryGetString(RegistryRoot::LocalMachine,
                                  L"SOFTWARE\\microsoft\\Windows\\CurrentVersion\\Uninstall\\demo",
                                  L"uninstallstring", value));
    EXPECT_EQ(L"/opt/demo/uninst", value);
    ASSERT_TRUE(RegistryGetString(RegistryRoot::LocalMachine, kKey, L"DisplayName", value));
    EXPECT_EQ(L"\u6f14\u793a = [demo]", value);

    ASSERT_TRUE(RegistrySetString(RegistryRoot::LocalMachine, kKey, L"UNINSTALLSTRING", L"/x/u"));
    ASSERT_TRUE(RegistryGetString(RegistryRoot::LocalMachine, kKey, L"UninstallString", value));
    EXPECT_EQ(L"/x/u", value);

    // The other root is another file.
    EXPECT_FALSE(RegistryKeyExists(RegistryRoot::CurrentUser, kKey));
    EXPECT_TRUE(RegistryKeyExists(RegistryRoot::LocalMachine, kKey));
}

TEST(Registry, MissingKeysAndValuesLeaveTheOutputAlone) {
    test::ScopedRegistry registry;
    std::wstring value = L"untouched";
    EXPECT_FALSE(RegistryGetString(RegistryRoot::LocalMachine, kKey, L"UninstallString", value));
    ASSERT_TRUE(RegistrySetString(RegistryRoot::LocalMachine, kKey, L"Other", L"1"));
    EXPECT_FALSE(RegistryGetString(RegistryRoot::LocalMachine, kKey, L"UninstallString", value));
    EXPECT_FALSE(RegistryGetString(RegistryRoot::LocalMachine, kKey + L"\\Sub", L"Other", value));
    EXPECT_EQ(L"untouched", value);
}

TEST(Registry, RefusesWhatTheFileCannotHold) {
    test::ScopedRegistry registry;
    EXPECT_FALSE(RegistrySetString(RegistryRoot::LocalMachine, L"", L"a", L"b"));
    EXPECT_FALSE(RegistrySetString(RegistryRoot::LocalMachine, kKey, L"a=b", L"c"));
    EXPECT_FALSE(RegistrySetString(RegistryRoot::LocalMachine, kKey, L"a", L"line\nbreak"));
    EXPECT_FALSE(RegistrySetString(RegistryRoot::LocalMachine, kKey + L"\n[x]", L"a", L"b"));
    EXPECT_FALSE(RegistrySetString(RegistryRoot::LocalMachine, kKey, L"[a", L"b"));
    EXPECT_FALSE(RegistryKeyExists(RegistryRoot::LocalMachine, kKey));
}

TEST(Registry, DeleteKeyRemovesOnlyThatKey) {
    test::ScopedRegistry registry;
    ASSERT_TRUE(RegistrySetString(RegistryRoot::LocalMachine, kKey, L"a", L"1"));
    ASSERT_TRUE(RegistrySetString(RegistryRoot::LocalMachine, L"Software\\Keep", L"b", L"2"));
    EXPECT_TRUE(RegistryDeleteKey(RegistryRoot::LocalMachine, kKey));
    EXPECT_TRUE(RegistryDeleteKey(RegistryRoot::LocalMachine, kKey));  // already gone
    EXPECT_FALSE(RegistryKeyExists(RegistryRoot::LocalMachine, kKey));
    std::wstring value;
    ASSERT_TRUE(RegistryGetString(RegistryRoot::LocalMachine, L"Software\\Keep", L"b", value));
    EXPECT_EQ(L"2", value);
}

TEST(Registry, DamagedLinesAreSkipped) {
    test::ScopedRegistry registry;
    test::WriteFile(RegistryFilePath(RegistryRoot::LocalMachine),
                    "orphan=before any key\n[\n[Software\\Good]\r\nno equals sign\nv=ok\r\n");
    std::wstring value;
    ASSERT_TRUE(RegistryGetString(RegistryRoot::LocalMachine, L"Software\\Good", L"v", value));
    EXPECT_EQ(L"ok", value);
    EXPECT_FALSE(
        RegistryGetString(RegistryRoot::LocalMachine, L"Software\\Good", L"orphan", value));
}

}  // namespace
}  // namespace kelsor::platform
