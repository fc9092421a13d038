#include "AppTestSupport.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>

bool WaitFor(const std::function<bool()>& Done, int TimeoutMs) {
    QElapsedTimer T;
    T.start();
    while (!Done()) {
        if (T.elapsed() > TimeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ::usleep(2000);
    }
    return true;
}

void Pump(int Ms) {
    WaitFor([] { return false; }, Ms);
}
