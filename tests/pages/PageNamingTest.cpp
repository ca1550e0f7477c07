#include <gtest/gtest.h>

#include "pages/PageNaming.h"

using namespace kelsor::jobs;

TEST(PageNaming, ResultFileFollowsThePictureOrTheCustomFolder) {
    EXPECT_EQ(ResultPathFor(L"/scan/page 1.png", false, L"/out/"), L"/scan/page 1.txt");
    EXPECT_EQ(ResultPathFor(L"/scan/page 1.png", true, L"/out/"), L"/out/page 1.txt");
    // Only the last extension goes; dots in folders are not extensions.
    EXPECT_EQ(BaseNameOfPath(L"/d/a.b.c.jpg"), L"a.b.c");
    EXPECT_EQ(BaseNameOfPath(L"/d.x/name"), L"name");
    EXPECT_EQ(FolderOfPath(L"/d.x/name.png"), L"/d.x/");
    EXPECT_EQ(FolderOfPath(L"name.png"), L"");
}

TEST(PageNaming, ScreenResultsAreNamedByTheLocalTimeInAKnownFolder) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 14;
    t.tm_min = 7;
    t.tm_sec = 9;
    EXPECT_EQ(TimeStampedResultName(t), L"2024-03-05_14-07-09.txt");

    struct Case {
        bool useCustom;
        const wchar_t* custom;
        const wchar_t* desktop;
        const wchar_t* folder;
    } cases[] = {
        {false, L"/out/", L"/home/u/Desktop/", L"/home/u/Desktop/"},
        {true, L"/out/", L"/home/u/Desktop/", L"/out/"},
        {true, L"/out", L"/home/u/Desktop/", L"/out/"},
        {true, L"", L"/home/u/Desktop/", L"/home/u/Desktop/"},  // no custom folder yet
        {false, L"/out/", L"", L"/home/u/"},                    // desktop unknown
        {false, L"/out/", L"Desktop/", L"/home/u/"},            // never relative
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ScreenResultFolder(c.useCustom, c.custom, c.desktop, L"/home/u"), c.folder)
            << c.useCustom << " " << c.desktop;
    }
}
