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
