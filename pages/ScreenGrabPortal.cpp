#include "pages/ScreenGrabPortal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "jobs/FileIo.h"
#include "platform/ui/MainWindowRef.h"
#include "platform/ui/UiLib.h"

namespace kelsor::jobs {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
// A screen picture larger than this is no screen picture.
constexpr std::size_t kMaxPortalFileBytes = std::size_t(512) << 20;

// Where the portal puts the request for `token`: the sender's unique name
// without the colon, dots as underscores.
QString RequestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService();
    if (sender.startsWith(QLatin1Char(':'))) {
        sender.remove(0, 1);
    }
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

bool MeansNoPortal(const QDBusError& error) {
    switch (error.type()) {
        case QDBusError::ServiceUnknown:
        case QDBusError::UnknownInterface:
        case QDBusError::UnknownMethod:
        case QDBusError::UnknownObject:
        case QDBusError::Disconnected:
            return true;
        default:
            return false;
    }
}

// The part of `image` (all outputs together, as portals return them) that
// shows the primary screen, with the screen's scale as its pixel ratio.
ScreenGrab CutToPrimaryScreen(QImage image) {
    ScreenGrab grab;
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect all = screen != nullptr ? screen->virtualGeometry() : QRect();
    if (screen == nullptr || all.isEmpty()) {
        grab.geometry = QRect(QPoint(0, 0), image.size());
        grab.image = std::move(image);
        return grab;
    }
    grab.geometry = screen->geometry();
    const double ratio = static_cast<double>(image.width()) / all.width();
    const QRect part(qRound((grab.geometry.x() - all.x()) * ratio),
                     qRound((grab.geometry.y() - all.y()) * ratio),
                     qRound(grab.geometry.width() * ratio), qRound(grab.geometry.height() * ratio));
    grab.image = image.copy(part.intersected(image.rect()));
    grab.image.setDevicePixelRatio(ratio);
    return grab;
}

// The portal's file, read whole: `path` must be absolute and name a regular
// file. The open never waits (a FIFO would hold the UI thread for good), and
// the check is made on what was opened, not on the name. `identity` gets the
// file's device and inode; `why` says what was wrong.
std::optional<QByteArray> ReadPortalFile(const QString& path, struct stat& identity,
                                         std::string& why) {
    if (!QDir::isAbsolutePath(path)) {
        why = "not an absolute path";
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    switch (ReadFileBytes(path.toStdWString(), kMaxPortalFileBytes, bytes, &identity)) {
        case ReadResult::Ok:
            return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
        case ReadResult::TooLarge:
            why = "larger than any screen picture";
            return std::nullopt;
        case ReadResult::CannotOpen:
            break;
    }
    why = "not a readable regular file";
    return std::nullopt;
}

// True when `path` as given (no link followed) lies under `folder`, every
// folder between them is a real folder, and the name itself is the regular
// file that was read.
bool LiesPlainlyUnder(const QString& path, const QString& folder, const struct stat& read) {
    const QString clean = QDir::cleanPath(path);
    if (folder.isEmpty() || !clean.startsWith(folder + QLatin1Char('/'))) {
        return false;
    }
    struct stat st {};
    for (qsizetype slash = clean.indexOf(QLatin1Char('/'), folder.size() + 1); slash > 0;
         slash = clean.indexOf(QLatin1Char('/'), slash + 1)) {
        if (::lstat(QFile::encodeName(clean.left(slash)).constData(), &st) != 0 ||
            !S_ISDIR(st.st_mode)) {
            return false;
        }
    }
    return ::lstat(QFile::encodeName(clean).constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           st.st_dev == read.st_dev && st.st_ino == read.st_ino;
}

// Portals that save the picture in the temporary folder leave the clearing
// to the caller; one saved anywhere else belongs to the user. Decided on the
// path the portal gave: a link is never followed, so a link's target (in the
// temporary folder or not) is never removed.
void RemoveIfTemporary(const QString& path, const struct stat& read) {
    const QString temp = QDir::cleanPath(QDir::tempPath());
    const QString canonical = QDir(temp).canonicalPath();
    if (LiesPlainlyUnder(path, temp, read) || LiesPlainlyUnder(path, canonical, read)) {
        ::unlink(QFile::encodeName(QDir::cleanPath(path)).constData());
    }
}

ScreenGrab Failed(const wchar_t* failure, const std::string& detail) {
    std::fprintf(stderr, "KelsorOCR: screen capture through the desktop portal: %s\n",
                 detail.c_str());
    ScreenGrab grab;
    grab.failure = failure;
    return grab;
}

}  // namespace

PortalResponse::PortalResponse(QObject* context, QDBusConnection bus,
                               std::function<void(PortalAnswer)> done)
    : QObject(context), m_bus(std::move(bus)), m_done(std::move(done)) {}

PortalResponse::~PortalResponse() {
    Unsubscribe();
}

void PortalResponse::Subscribe(const QString& path) {
    Unsubscribe();
    m_path = path;
    m_bus.connect(kPortalService, m_path, kRequestInterface, QStringLiteral("Response"), this,
                  SLOT(OnResponse(uint, QVariantMap)));
}

void PortalResponse::Unsubscribe() {
    if (!m_path.isEmpty()) {
        m_bus.disconnect(kPortalService, m_path, kRequestInterface, QStringLiteral("Response"),
                         this, SLOT(OnResponse(uint, QVariantMap)));
        m_path.clear();
    }
}

void PortalResponse::OnResponse(uint response, const QVariantMap& results) {
    PortalAnswer answer;
    answer.status = PortalAnswer::kAnswered;
    answer.response = response;
    answer.results = results;
    Finish(std::move(answer));
}

void PortalResponse::Finish(PortalAnswer answer) {
    if (!m_done) {
        return;
    }
    Unsubscribe();
    const std::function<void(PortalAnswer)> done = std::move(m_done);
    m_done = nullptr;
    deleteLater();
    done(std::move(answer));
}

void RequestPortal(const QDBusConnection& bus, const QString& interface, const QString& method,
                   QVariantList arguments, QVariantMap options, QObject* context,
                   std::function<void(PortalAnswer)> done) {
    auto* request = new PortalResponse(context, bus, std::move(done));
    if (!bus.isConnected()) {
        PortalAnswer answer;
        answer.error = QStringLiteral("no session bus");
        request->Finish(std::move(answer));
        return;
    }
    const QString token =
        QStringLiteral("kelsor%1").arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0'));
    const QString path = RequestPath(bus, token);
    // Subscribed before the call: the answer may come before the call's reply.
    request->Subscribe(path);
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, interface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), request);
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, request, [request, watcher, path] {
            watcher->deleteLater();
            const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
            if (reply.isError()) {
                PortalAnswer answer;
                answer.status = MeansNoPortal(reply.error()) ? PortalAnswer::kNoPortal
                                                             : PortalAnswer::kCallError;
                answer.error =
                    reply.error().name() + QStringLiteral(": ") + reply.error().message();
                request->Finish(std::move(answer));
            } else if (reply.value().path() != path) {
                // Older portals choose the request path themselves.
                request->Subscribe(reply.value().path());
            }
        });
}

PortalAnswer CallPortal(const QDBusConnection& bus, const QString& interface, const QString& method,
                        QVariantList arguments, QVariantMap options, int timeoutMs) {
    QEventLoop loop;
    std::optional<PortalAnswer> answer;
    QObject context;
    RequestPortal(bus, interface, method, std::move(arguments), std::move(options), &context,
                  [&](PortalAnswer got) {
                      answer = std::move(got);
                      loop.quit();
                  });
    if (!answer) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!answer) {
        PortalAnswer silent;
        silent.status = PortalAnswer::kTimedOut;
        silent.error = QStringLiteral("no answer within %1 ms").arg(timeoutMs);
        return silent;
    }
    return *answer;
}

QString PortalParentWindow() {
    ui::CWindowWnd* main = ui::GetMainWindow();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || main == nullptr ||
        main->GetHWND() == nullptr) {
        return {};
    }
    return QStringLiteral("x11:%1").arg(main->GetHWND()->winId(), 0, 16);
}

bool IsWaylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (display != nullptr && display[0] != '\0') ||
           (type != nullptr && std::strcmp(type, "wayland") == 0);
}

ScreenGrab GrabThroughPortal(const QDBusConnection& bus, int timeoutMs) {
    const PortalAnswer answer = CallPortal(bus, QStringLiteral("org.freedesktop.portal.Screenshot"),
                                           QStringLiteral("Screenshot"), {PortalParentWindow()},
                                           {{QStringLiteral("interactive"), false}}, timeoutMs);
    const std::string error = answer.error.toStdString();
    switch (answer.status) {
        case PortalAnswer::kNoPortal:
            return Failed(portal_text::kNoPortal, error);
        case PortalAnswer::kCallError:
            return Failed(portal_text::kRefused, error);
        case PortalAnswer::kTimedOut:
            return Failed(portal_text::kTimedOut, error);
        case PortalAnswer::kAnswered:
            break;
    }
    if (answer.response == 1) {
        return Failed(portal_text::kCancelled, "cancelled");
    }
    if (answer.response != 0) {
        return Failed(portal_text::kRefused, "refused (" + std::to_string(answer.response) + ")");
    }
    const QString uri = answer.results.value(QStringLiteral("uri")).toString();
    const QUrl url(uri);
    if (!url.isLocalFile()) {
        return Failed(portal_text::kBadPicture, "not a local file: \"" + uri.toStdString() + "\"");
    }
    const QString path = url.toLocalFile();
    struct stat identity {};
    std::string why;
    std::optional<QByteArray> bytes = ReadPortalFile(path, identity, why);
    if (!bytes) {
        return Failed(portal_text::kBadPicture, path.toStdString() + ": " + why);
    }
    QBuffer buffer(&*bytes);
    QImageReader reader(&buffer);
    QImage image = reader.read();
    if (image.isNull()) {
        return Failed(portal_text::kBadPicture,
                      path.toStdString() + ": " + reader.errorString().toStdString());
    }
    RemoveIfTemporary(path, identity);
    return CutToPrimaryScreen(image.convertToFormat(QImage::Format_RGB32));
}

}  // namespace kelsor::jobs
