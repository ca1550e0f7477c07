#include <gtest/gtest.h>

#include "shell/main/MainWndRules.h"

using namespace kelsor::shell;

TEST(MainWndRules, StartRowShowsOneControlPerState) {
    const StartRowLook none = StartRowFor(0);
    EXPECT_TRUE(none.startVisible);
    EXPECT_FALSE(none.startEnabled);
    EXPECT_FALSE(none.runningVisible || none.doneVisible);
    const StartRowLook ready = StartRowFor(1);
    EXPECT_TRUE(ready.startVisible && ready.startEnabled);
    EXPECT_FALSE(ready.runningVisible || ready.doneVisible);
    const StartRowLook running = StartRowFor(2);
    EXPECT_TRUE(running.runningVisible);
    EXPECT_FALSE(running.startVisible || running.doneVisible);
    const StartRowLook done = StartRowFor(3);
    EXPECT_TRUE(done.doneVisible);
    EXPECT_FALSE(done.startVisible || done.runningVisible);
    // A state no page sends never offers an enabled start.
    EXPECT_FALSE(StartRowFor(7).startEnabled);
}

TEST(MainWndRules, WheelAreaExcludesItsBounds) {
    EXPECT_TRUE(IsInWheelArea({23, 119}));
    EXPECT_TRUE(IsInWheelArea({551, 616}));
    EXPECT_FALSE(IsInWheelArea({22, 300}));
    EXPECT_FALSE(IsInWheelArea({552, 300}));
    EXPECT_FALSE(IsInWheelArea({300, 118}));
    EXPECT_FALSE(IsInWheelArea({300, 617}));
    EXPECT_FALSE(IsInWheelArea({800, 300}));  // the result area
}

TEST(MainWndRules, PagesFillThePageArea) {
    EXPECT_EQ(PageRect(QRect(0, 0, 1120, 720)), QRect(1, 94, 1118, 535));
    EXPECT_EQ(PageIndexForOption(L"singleocropt"), 0);
    EXPECT_EQ(PageIndexForOption(L"batchocropt"), 1);
    EXPECT_EQ(PageIndexForOption(L"screenocropt"), 2);
    EXPECT_EQ(PageIndexForOption(L"sourcedirradio"), -1);
}

TEST(MainWndRules, PictureButtonSitsLeftOfTheName) {
    EXPECT_EQ(UserHeadButtonRect(60), QRect(883, 41, 40, 40));
    EXPECT_EQ(UserHeadButtonRect(0), QRect(943, 41, 40, 40));
}
