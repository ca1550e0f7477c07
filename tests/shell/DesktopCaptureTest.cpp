// Starting a capture from outside the main window: the panel icon's menu,
// and the desktop's own shortcut through a stand-in GlobalShortcuts portal
// on a private session bus.
#include <gtest/gtest.h>

#include <QAction>
#include <QDBusArgument>
#include <QMouseEvent>
#include <QTimer>
#include <filesystem>

#include "MainWndTestSupport.h"
#include "StandInPortal.h"
#include "pages/ScreenGrab.h"
#include "pages/ScreenOCRWnd.h"
#include "platform/ui/MainWindowRef.h"
#include "shell/DesktopShortcut.h"
#include "shell/TrayIcon.h"

using namespace kelsor;
using kelsor::shelltest::WaitFor;
namespace fs = std::filesystem;

namespace {

QWidget* CaptureHost() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("ScreenShotWndClass") && w->isVisible())
            return w;
    }
    return nullptr;
}

TEST(TrayIcon, EntriesCaptureShowTheWindowAndQuit) {
    kelsor::test::TempFolder dir;
    fs::create_directories(dir.file("Desktop"));
    shelltest::BuildContextIn(dir);
    uitest::EnsureApp();
    ui::ModalSeam::Enable();
    QImage still(640, 480, QImage::Format_RGB32);
    still.fill(Qt::darkGreen);
    jobs::SetScreenGrabber([still] { return jobs::ScreenGrab{still, QRect(0, 0, 640, 480)}; });

    auto* main = new shelltest::RecordingMainWnd();
    main->Create(nullptr, L"KelsorOCR文字识别", ui::UI_WNDSTYLE_DIALOG, ui::WS_EX_WINDOWEDGE);
    main->ShowWindow(true);
    shell::TrayIcon* tray = main->Tray();
    ASSERT_NE(tray, nullptr);

    // 截图识别: a capture as by the hot key; Esc ends it.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* host = CaptureHost()) {
            poll.stop();
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(host, &esc);
        }
    });
    poll.start(10);
    tray->Entry(QStringLiteral("截图识别"))->trigger();
    ASSERT_TRUE(WaitFor([&] {
        jobs::ScreenOCRWnd* page = jobs::GetScreenOCRPage();
        return page != nullptr && page->CapturesRun() == 1 && !page->IsCapturing();
    }));

    // 显示主窗口 and a click on the icon bring the window back.
    for (const auto& show : std::vector<std::function<void()>>{
             [&] { tray->Entry(QStringLiteral("显示主窗口"))->trigger(); },
             [&] { tray->Click(); }}) {
        main->GetHWND()->hide();
        show();
        EXPECT_TRUE(WaitFor([&] { return main->GetHWND()->isVisible(); }));
    }

    // 退出 ends the main window as its close button does.
    tray->Entry(QStringLiteral("退出"))->trigger();
    EXPECT_TRUE(WaitFor([] { return ui::GetMainWindow() == nullptr; }));
    if (ui::GetMainWindow() != nullptr)
        delete main;
    jobs::SetScreenGrabber({});
    ui::ModalSeam::Disable();
}

TEST(DesktopShortcut, TriggersAreWrittenInThePortalsNotation) {
    const struct {
        shell::HotKey key;
        const char* trigger;
    } cases[] = {
        {{shell::kModCtrl, '2'}, "CTRL+2"},
        {{shell::kModCtrl | shell::kModAlt, 'a'}, "CTRL+ALT+a"},
        {{shell::kModShift | shell::kModSuper, 0xffbe}, "SHIFT+LOGO+F1"},
        {{shell::kModCtrl, 0xff61}, "CTRL+Print"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shell::PortalTrigger(c.key).toStdString(), c.trigger);
}

class DesktopShortcutTest : public ::testing::Test {
protected:
    void SetUp() override {
        const bool started = !bus().empty();  // before Qt asks for the session bus
        uitest::EnsureApp();
        if (!started)
            GTEST_SKIP() << "dbus-daemon did not start";
    }
    static const std::string& bus() { return kelsor::test::ProcessSessionBus(); }
};

TEST_F(DesktopShortcutTest, ABoundKeyStartsCapturesOnlyForItsOwnShortcut) {
    kelsor::test::StandInPortal portal(bus());
    portal.offerShortcuts = true;
    int pressed = 0;
    shell::DesktopShortcut shortcut(QDBusConnection::sessionBus(), [&] { ++pressed; });
    shortcut.Bind({shell::kModCtrl, '2'});
    ASSERT_TRUE(WaitFor([&] { return shortcut.state() == shell::DesktopShortcut::State::kBound; }));
    ASSERT_EQ(portal.boundShortcuts.size(), 1);
    const QVariantList bound = portal.boundShortcuts[0].toList();
    EXPECT_EQ(bound[0].toString(), QStringLiteral("capture"));
    const QVariantMap properties = bound[1].toMap();
    EXPECT_EQ(properties.value(QStringLiteral("description")).toString(),
              QStringLiteral("截图识别"));
    EXPECT_EQ(properties.value(QStringLiteral("preferred_trigger")).toString(),
              QStringLiteral("CTRL+2"));

    portal.Activate(QStringLiteral("other"));
    portal.Activate(QStringLiteral("capture"));
    EXPECT_TRUE(WaitFor([&] { return pressed == 1; }));
    kelsor::test::RunEventsFor(std::chrono::milliseconds(100));
    EXPECT_EQ(pressed, 1);

    // A key chosen later is offered as the new preference.
    shortcut.Bind({shell::kModCtrl | shell::kModAlt, 'a'});
    EXPECT_TRUE(WaitFor([&] {
        return !portal.boundShortcuts.isEmpty() &&
               portal.boundShortcuts[0].toList()[1].toMap().value("preferred_trigger") ==
                   QStringLiteral("CTRL+ALT+a");
    }));
}

TEST_F(DesktopShortcutTest, APortalWithoutGlobalShortcutsIsLeftAlone) {
    kelsor::test::StandInPortal portal(bus());
    shell::DesktopShortcut shortcut(QDBusConnection::sessionBus(), [] {});
    shortcut.Bind({shell::kModCtrl, '2'});
    EXPECT_TRUE(
        WaitFor([&] { return shortcut.state() == shell::DesktopShortcut::State::kNotOffered; }));
    EXPECT_EQ(portal.requests, 1);  // the version, nothing more
}

}  // namespace
