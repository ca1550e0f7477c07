#pragma once

#include <sys/types.h>
#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>
#include <QVariantMap>
#include <optional>
#include <string>

#include "TempFolder.h"
#include "platform/sys/NonCopyable.h"

// A desktop portal of the tests' own on a private session bus: the real
// bus daemon, no activatable services (so no real portal starts behind the
// test's back), and a stand-in that owns org.freedesktop.portal.Desktop and
// answers each request as the test says.
namespace kelsor::test {

// A private dbus-daemon, ended with the object.
class PrivateSessionBus : NonCopyable {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    // Empty when the daemon did not start.
    const std::string& address() const { return m_address; }

private:
    TempFolder m_folder;
    std::string m_address;
    pid_t m_pid = -1;
};

// One private bus for the whole test process, made its session bus (before
// anything asks Qt for the session bus); the address, empty when the daemon
// did not start.
const std::string& ProcessSessionBus();

class StandInPortal : public QDBusVirtualObject {
public:
    // How the next requests are answered: a Response with `response` and
    // `results`, or (nullopt) none at all.
    struct Answer {
        std::optional<uint> response = 0u;
        QVariantMap results;
    };

    explicit StandInPortal(const std::string& busAddress);
    ~StandInPortal() override;
    bool Registered() const { return m_registered; }

    void SetScreenshotAnswer(Answer answer) { m_screenshot = std::move(answer); }
    // What the last request was called with.
    QString lastMethod;
    QVariantList lastArguments;
    QString lastRequestPath;
    int requests = 0;

    // GlobalShortcuts: offered or not, the shortcuts bound, and an
    // Activated signal.
    bool offerShortcuts = false;
    QVariantList boundShortcuts;
    void Activate(const QString& shortcutId);

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString& path) const override;

private:
    void Respond(const QString& path, const Answer& answer);

    QDBusConnection m_bus;
    bool m_registered = false;
    Answer m_screenshot;
    QString m_session;
    int m_sessions = 0;
};

}  // namespace kelsor::test
