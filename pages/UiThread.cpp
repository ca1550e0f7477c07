#include "pages/UiThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace kelsor::jobs {

bool RunOnUiThread(const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return false;
    }
    if (QThread::currentThread() == app->thread()) {
        work();
        return true;
    }
    // The application object lives for the whole run, so the queued call is
    // never dropped while the caller waits.
    return QMetaObject::invokeMethod(
        app, [&work] { work(); }, Qt::BlockingQueuedConnection);
}

}  // namespace kelsor::jobs
