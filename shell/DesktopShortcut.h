#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>

#include "shell/HotKey.h"

// The capture key through the desktop's own shortcuts, where its portal
// offers org.freedesktop.portal.GlobalShortcuts (KDE Plasma 6, for one): a
// Wayland client cannot hold a key itself, so the desktop binds "截图识别"
// with the chosen key as the preferred trigger and says when it is pressed.
// Everything is asynchronous; a desktop without the interface is left alone.
namespace kelsor::shell {

// "CTRL+2": the trigger in the notation desktop portals take (modifiers
// CTRL, ALT, SHIFT, LOGO, then the key's xkb name).
QString PortalTrigger(const HotKey& key);

class DesktopShortcut : public QObject {
    Q_OBJECT
public:
    enum class State { kUnknown, kNotOffered, kBinding, kBound, kFailed };

    DesktopShortcut(QDBusConnection bus, std::function<void()> activated);
    ~DesktopShortcut() override;

    // Binds (or binds again) with `key` as the preferred trigger.
    void Bind(const HotKey& key);
    State state() const { return m_state; }

public slots:
    void OnActivated(const QDBusObjectPath& session, const QString& shortcut, qulonglong timestamp,
                     const QVariantMap& options);

private:
    void CreateSession();
    void BindShortcuts();

    QDBusConnection m_bus;
    std::function<void()> m_activated;
    State m_state = State::kUnknown;
    HotKey m_key;
    QString m_session;
};

}  // namespace kelsor::shell
