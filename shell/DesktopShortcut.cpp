#include "shell/DesktopShortcut.h"

#include <xkbcommon/xkbcommon.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <cstdio>

#include "pages/ScreenGrabPortal.h"

namespace {

// One entry of BindShortcuts' a(sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& out, const PortalShortcut& shortcut) {
    out.beginStructure();
    out << shortcut.id << shortcut.properties;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, PortalShortcut& shortcut) {
    in.beginStructure();
    in >> shortcut.id >> shortcut.properties;
    in.endStructure();
    return in;
}

}  // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace kelsor::shell {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kShortcutId = QStringLiteral("capture");

QString HandleOf(const QVariant& value) {
    return value.canConvert<QDBusObjectPath>() ? value.value<QDBusObjectPath>().path()
                                               : value.toString();
}

}  // namespace

QString PortalTrigger(const HotKey& key) {
    QString trigger;
    const std::pair<std::uint16_t, const char*> modifiers[] = {
        {kModCtrl, "CTRL"}, {kModAlt, "ALT"}, {kModShift, "SHIFT"}, {kModSuper, "LOGO"}};
    for (const auto& [mask, name] : modifiers) {
        if ((key.modifiers & mask) != 0) {
            trigger += QLatin1String(name) + QLatin1Char('+');
        }
    }
    char name[64] = {};
    if (xkb_keysym_get_name(key.keysym, name, sizeof(name)) <= 0) {
        return {};
    }
    return trigger + QString::fromLatin1(name);
}

DesktopShortcut::DesktopShortcut(QDBusConnection bus, std::function<void()> activated)
    : m_bus(std::move(bus)), m_activated(std::move(activated)) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

DesktopShortcut::~DesktopShortcut() {
    if (!m_session.isEmpty()) {
        m_bus.disconnect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
                         SLOT(OnActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
        // The session ends with the program anyway; closing it says so at once.
        m_bus.asyncCall(QDBusMessage::createMethodCall(
            kService, m_session, QStringLiteral("org.freedesktop.portal.Session"),
            QStringLiteral("Close")));
    }
}

void DesktopShortcut::Bind(const HotKey& key) {
    m_key = key;
    if (m_state == State::kBound) {
        BindShortcuts();
        return;
    }
    if (m_state != State::kUnknown || !m_bus.isConnected()) {
        return;
    }
    m_state = State::kBinding;
    // Only a portal that has the interface answers its version.
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kInterface << QStringLiteral("version");
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (watcher->isError()) {
            m_state = State::kNotOffered;
            return;
        }
        CreateSession();
    });
}

void DesktopShortcut::CreateSession() {
    const QString token = QStringLiteral("kelsorcapture");
    jobs::RequestPortal(
        m_bus, kInterface, QStringLiteral("CreateSession"), {},
        {{QStringLiteral("session_handle_token"), token}}, this, [this](jobs::PortalAnswer answer) {
            m_session = HandleOf(answer.results.value(QStringLiteral("session_handle")));
            if (answer.status != jobs::PortalAnswer::kAnswered || answer.response != 0 ||
                m_session.isEmpty()) {
                std::fprintf(stderr, "KelsorOCR: the desktop gave no shortcut session\n");
                m_session.clear();
                m_state = State::kFailed;
                return;
            }
            m_bus.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
                          SLOT(OnActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
            BindShortcuts();
        });
}

void DesktopShortcut::BindShortcuts() {
    QVariantMap properties{{QStringLiteral("description"), QStringLiteral("截图识别")}};
    const QString trigger = PortalTrigger(m_key);
    if (!trigger.isEmpty()) {
        properties.insert(QStringLiteral("preferred_trigger"), trigger);
    }
    const QList<PortalShortcut> shortcuts{{kShortcutId, properties}};
    jobs::RequestPortal(
        m_bus, kInterface, QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts),
         jobs::PortalParentWindow()},
        {}, this, [this](jobs::PortalAnswer answer) {
            const bool bound =
                answer.status == jobs::PortalAnswer::kAnswered && answer.response == 0;
            m_state = bound ? State::kBound : State::kFailed;
            if (!bound) {
                std::fprintf(stderr, "KelsorOCR: the desktop did not bind the capture key: %s\n",
                             qPrintable(answer.error));
            }
        });
}

void DesktopShortcut::OnActivated(const QDBusObjectPath& session, const QString& shortcut,
                                  qulonglong, const QVariantMap&) {
    if (session.path() == m_session && shortcut == kShortcutId && m_activated) {
        m_activated();
    }
}

}  // namespace kelsor::shell
