#pragma once

#include <QIcon>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

// The program's icon in the panel (StatusNotifierItem on current desktops,
// the X tray elsewhere): 截图识别, 显示主窗口 and 退出; a click on the icon
// shows the main window. Shown only where the desktop has a tray.
namespace kelsor::shell {

class TrayIcon {
public:
    struct Actions {
        std::function<void()> capture;
        std::function<void()> showMain;
        std::function<void()> quit;
    };

    TrayIcon(const QIcon& icon, Actions actions);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    bool IsShown() const;
    // The menu's entry of this text (tests click them); null when absent.
    QAction* Entry(const QString& text) const;
    // As a click on the icon itself.
    void Click();

private:
    Actions m_actions;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

}  // namespace kelsor::shell
