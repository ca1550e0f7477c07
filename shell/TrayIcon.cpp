#include "shell/TrayIcon.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QSystemTrayIcon>

namespace kelsor::shell {

TrayIcon::TrayIcon(const QIcon& icon, Actions actions)
    : m_actions(std::move(actions)),
      m_menu(std::make_unique<QMenu>()),
      m_icon(std::make_unique<QSystemTrayIcon>(icon)) {
    // Each entry runs after the menu has closed: a capture must not find the
    // menu on the screen, nor a quit delete what the menu still uses.
    const auto add = [this](const QString& text, const std::function<void()>& run) {
        QAction* action = m_menu->addAction(text);
        QMenu* menu = m_menu.get();
        QObject::connect(action, &QAction::triggered, menu, [menu, run] {
            if (run) {
                // Dropped when the tray (and its menu) went away meanwhile.
                QMetaObject::invokeMethod(
                    menu, [run] { run(); }, Qt::QueuedConnection);
            }
        });
    };
    add(QStringLiteral("截图识别"), m_actions.capture);
    add(QStringLiteral("显示主窗口"), m_actions.showMain);
    m_menu->addSeparator();
    add(QStringLiteral("退出"), m_actions.quit);
    m_icon->setToolTip(QStringLiteral("KelsorOCR文字识别"));
    m_icon->setContextMenu(m_menu.get());
    QObject::connect(
        m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
        [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                Click();
            }
        });
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_icon->show();
    }
}

TrayIcon::~TrayIcon() {
    m_icon->hide();
}

bool TrayIcon::IsShown() const {
    return m_icon->isVisible();
}

QAction* TrayIcon::Entry(const QString& text) const {
    for (QAction* action : m_menu->actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

void TrayIcon::Click() {
    if (m_actions.showMain) {
        m_actions.showMain();
    }
}

}  // namespace kelsor::shell
