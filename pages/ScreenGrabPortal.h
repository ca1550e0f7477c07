#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <string>

#include "pages/ScreenGrab.h"

// The desktop portal (org.freedesktop.portal.*) on the session bus: how a
// Wayland client gets the screen and a desktop-wide key. A portal call
// answers at once with a request object; the real answer comes later as that
// request's Response signal, so the signal is subscribed before the call.
namespace kelsor::jobs {

inline constexpr int kPortalTimeoutMs = 10000;

// The outcome of one portal request.
struct PortalAnswer {
    enum Status {
        kAnswered,   // Response arrived; `response` and `results` hold it
        kNoPortal,   // no bus, or nobody offers the interface
        kCallError,  // the call itself was refused (`error` says how)
        kTimedOut,   // no Response within the time-out
    };
    Status status = kNoPortal;
    // 0 success, 1 cancelled by the user, 2 ended some other way.
    uint response = 2;
    QVariantMap results;
    QString error;
};

// One request under way: receives its Response signal and hands the answer
// on once. Public only so that moc sees it; use RequestPortal.
class PortalResponse : public QObject {
    Q_OBJECT
public:
    PortalResponse(QObject* context, QDBusConnection bus, std::function<void(PortalAnswer)> done);
    ~PortalResponse() override;
    // Listens on `path` (again, when the portal chose another one).
    void Subscribe(const QString& path);
    void Finish(PortalAnswer answer);
public slots:
    void OnResponse(uint response, const QVariantMap& results);

private:
    void Unsubscribe();

    QDBusConnection m_bus;
    QString m_path;
    std::function<void(PortalAnswer)> m_done;
};

// Calls `method` of `interface` on the portal with `arguments` followed by
// an options map holding `options` and a fresh handle_token. `done` gets the
// answer later on this thread, once; never when `context` is gone first.
void RequestPortal(const QDBusConnection& bus, const QString& interface, const QString& method,
                   QVariantList arguments, QVariantMap options, QObject* context,
                   std::function<void(PortalAnswer)> done);

// The same, waiting for the answer in a nested event loop (the UI keeps
// painting) for at most `timeoutMs`.
PortalAnswer CallPortal(const QDBusConnection& bus, const QString& interface, const QString& method,
                        QVariantList arguments, QVariantMap options, int timeoutMs);

// The identifier portals take to place their dialogs: "x11:<id>" of the
// main window under X, empty otherwise (Qt offers no exported handle of a
// Wayland surface).
QString PortalParentWindow();

// True in a Wayland session, whatever platform Qt itself runs on: under
// XWayland an X grab sees X windows only.
bool IsWaylandSession();

// The primary screen through org.freedesktop.portal.Screenshot (not
// interactive). The picture is cut to the primary screen; its file is
// removed when it lies in the temporary folder. On failure the image is
// null and `failure` says why, for the user.
ScreenGrab GrabThroughPortal(const QDBusConnection& bus, int timeoutMs = kPortalTimeoutMs);

// The user-facing texts of a failed portal capture.
namespace portal_text {
inline constexpr const wchar_t* kNoPortal =
    L"无法截图：桌面没有提供截图服务（xdg-desktop-portal）。";
inline constexpr const wchar_t* kCancelled = L"截图已取消。";
inline constexpr const wchar_t* kRefused = L"无法截图：桌面拒绝了截图请求。";
inline constexpr const wchar_t* kTimedOut = L"无法截图：桌面的截图服务没有应答。";
inline constexpr const wchar_t* kBadPicture = L"无法截图：桌面返回的截图无法读取。";
}  // namespace portal_text

}  // namespace kelsor::jobs
