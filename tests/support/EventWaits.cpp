#include "EventWaits.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace kelsor::test {

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds within) {
    const QDeadlineTimer deadline(within);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void RunEventsFor(std::chrono::milliseconds span) {
    WaitFor([] { return false; }, span);
}

}  // namespace kelsor::test
