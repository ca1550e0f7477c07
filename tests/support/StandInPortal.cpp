#include "StandInPortal.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTimer>

namespace kelsor::test {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");

// A session bus that owns nothing it could start on its own.
constexpr const char* kBusConfig = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=@DIR@</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

QString SenderPart(const QString& unique) {
    QString sender = unique.startsWith(QLatin1Char(':')) ? unique.mid(1) : unique;
    return sender.replace(QLatin1Char('.'), QLatin1Char('_'));
}

}  // namespace

PrivateSessionBus::PrivateSessionBus() {
    std::string config = kBusConfig;
    config.replace(config.find("@DIR@"), 5, m_folder.path());
    const std::string configPath = m_folder.file("bus.conf");
    WriteFile(configPath, config);
    int out[2];
    if (::pipe(out) != 0) {
        return;
    }
    m_pid = ::fork();
    if (m_pid == 0) {
        // The daemon goes with the test, however the test ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        const std::string configArgument = "--config-file=" + configPath;
        ::execlp("dbus-daemon", "dbus-daemon", "--nofork", "--print-address=1",
                 configArgument.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    char c = 0;
    while (m_pid > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') {
        m_address += c;
    }
    ::close(out[0]);
}

PrivateSessionBus::~PrivateSessionBus() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
}

const std::string& ProcessSessionBus() {
    static PrivateSessionBus bus;
    static const bool set = !bus.address().empty() &&
                            ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1) == 0;
    (void)set;
    return bus.address();
}

StandInPortal::StandInPortal(const std::string& busAddress)
    : m_bus(QDBusConnection::connectToBus(QString::fromStdString(busAddress),
                                          QStringLiteral("kelsor-standin-portal"))) {
    m_registered = m_bus.isConnected() &&
                   m_bus.registerVirtualObject(kPath, this, QDBusConnection::SubPath) &&
                   m_bus.registerService(kService);
}

StandInPortal::~StandInPortal() {
    m_bus.unregisterService(kService);
    m_bus.unregisterObject(kPath, QDBusConnection::UnregisterTree);
    QDBusConnection::disconnectFromBus(QStringLiteral("kelsor-standin-portal"));
}

QString StandInPortal::introspect(const QString&) const {
    return {};
}

bool StandInPortal::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    if (message.type() != QDBusMessage::MethodCallMessage) {
        return false;
    }
    ++requests;
    lastMethod = message.member();
    lastArguments = message.arguments();
    const QVariantMap options =
        lastArguments.isEmpty() ? QVariantMap() : qdbus_cast<QVariantMap>(lastArguments.last());
    lastRequestPath = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                          .arg(SenderPart(message.service()),
                               options.value(QStringLiteral("handle_token")).toString());
    if (lastMethod == QLatin1String("Get")) {
        // Only the version of an offered interface can be read.
        const bool offered = lastArguments.value(0).toString() !=
                                 QLatin1String("org.freedesktop.portal.GlobalShortcuts") ||
                             offerShortcuts;
        m_bus.send(offered ? message.createReply(QVariant::fromValue(QDBusVariant(1u)))
                           : message.createErrorReply(
                                 QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                                 QStringLiteral("No such interface")));
        return true;
    }
    Answer answer;
    if (message.interface() == QLatin1String("org.freedesktop.portal.Screenshot") &&
        lastMethod == QLatin1String("Screenshot")) {
        answer = m_screenshot;
    } else if (lastMethod == QLatin1String("CreateSession")) {
        m_session = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                        .arg(SenderPart(message.service()),
                             options.value(QStringLiteral("session_handle_token")).toString());
        answer.results.insert(QStringLiteral("session_handle"), m_session);
    } else if (lastMethod == QLatin1String("BindShortcuts")) {
        const QDBusArgument shortcuts = lastArguments.value(1).value<QDBusArgument>();
        boundShortcuts.clear();
        shortcuts.beginArray();
        while (!shortcuts.atEnd()) {
            QString id;
            QVariantMap properties;
            shortcuts.beginStructure();
            shortcuts >> id >> properties;
            shortcuts.endStructure();
            boundShortcuts.append(QVariant(QVariantList{id, properties}));
        }
        shortcuts.endArray();
    } else {
        m_bus.send(
            message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                     QStringLiteral("no such method")));
        return true;
    }
    m_bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(lastRequestPath))));
    const QString path = lastRequestPath;
    QTimer::singleShot(0, [this, path, answer] { Respond(path, answer); });
    return true;
}

void StandInPortal::Respond(const QString& path, const Answer& answer) {
    if (!answer.response.has_value()) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
    signal << *answer.response << answer.results;
    m_bus.send(signal);
}

void StandInPortal::Activate(const QString& shortcutId) {
    QDBusMessage signal =
        QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"),
                                   QStringLiteral("Activated"));
    signal << QVariant::fromValue(QDBusObjectPath(m_session)) << shortcutId
           << static_cast<qulonglong>(0) << QVariantMap();
    m_bus.send(signal);
}

}  // namespace kelsor::test
