#pragma once

// A user's part of a capture as xdotool steps: positions are logical points,
// multiplied by the screen's scale for xdotool, which works in device pixels.
#include <gtest/gtest.h>

#include <QPoint>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "MainWndTestSupport.h"
#include "X11TestSupport.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "pages/ScreenOCRWnd.h"

namespace kelsor::shelltest {

inline std::string XdoAt(QPoint p, int scale) {
    return std::to_string(p.x() * scale) + " " + std::to_string(p.y() * scale);
}

// A drag from `from` to `to`; `midway` runs while the button is still down.
inline std::string DragSteps(QPoint from, QPoint to, int scale = 1,
                             const std::string& midway = "true") {
    const QPoint mid = (from + to) / 2;
    return "xdotool mousemove " + XdoAt(from, scale) + " mousedown 1 mousemove " +
           XdoAt(mid, scale) + " && sleep 0.2 && xdotool mousemove " + XdoAt(to, scale) +
           " && sleep 0.2 && " + midway + " && xdotool mouseup 1 && sleep 0.3";
}

inline std::string DoubleClickSteps(QPoint p, int scale = 1) {
    return " && xdotool mousemove " + XdoAt(p, scale) + " click --repeat 2 --delay 80 1";
}

// Runs `steps` from their own thread once the capture window is shown, while
// the test's thread serves the capture's loop.
inline std::thread CaptureUser(const std::string& steps) {
    return std::thread([steps] {
        const std::string script =
            "timeout 30 xdotool search --sync --onlyvisible --name '^ScreenShotWnd$' "
            ">/dev/null && sleep 0.3 && " +
            steps;
        std::system(script.c_str());
    });
}

// The desktop a capture test starts from: a private X server, the program's
// context in a scratch folder, `Content` (a window of known pixels) and the
// real main window at `mainAt`, holding the capture key.
template <class Content>
class CaptureDesktop : public ::testing::Test {
protected:
    void ShowDesktop(QPoint mainAt) {
        START_PRIVATE_X();
        std::filesystem::create_directories(dir.file("Desktop"));
        BuildContextIn(dir);
        std::filesystem::create_directories(WideToAnsi(App().dataFolder));
        uitest::EnsureApp();
        ui::ModalSeam::Enable();
        content = std::make_unique<Content>();
        content->show();
        main = new RecordingMainWnd();
        main->Create(nullptr, L"KelsorOCR文字识别", ui::UI_WNDSTYLE_DIALOG, ui::WS_EX_WINDOWEDGE);
        main->GetHWND()->move(mainAt);
        main->ShowWindow(true);
        ASSERT_TRUE(WaitFor([&] {
            return content->windowHandle()->isExposed() &&
                   main->GetHWND()->windowHandle()->isExposed();
        }));
        ASSERT_TRUE(main->HotKeyRegistered());
        page = main->ScreenPage();
        ASSERT_NE(page, nullptr);
    }
    void TearDown() override {
        delete main;
        content.reset();
        ui::ModalSeam::Disable();
    }

    kelsor::test::TempFolder dir;
    std::unique_ptr<Content> content;
    RecordingMainWnd* main = nullptr;
    jobs::ScreenOCRWnd* page = nullptr;
};

}  // namespace kelsor::shelltest
