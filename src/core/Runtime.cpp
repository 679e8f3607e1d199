#include "Runtime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace cvi {

namespace {
QElapsedTimer& monotonic() {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer;
}
int pumpDepth = 0;
std::function<void()> endHook;

struct DepthGuard {
    DepthGuard() { ++pumpDepth; }
    ~DepthGuard() { --pumpDepth; }
};
} // namespace

void setEndProgramHook(std::function<void()> hook) {
    endHook = std::move(hook);
}

void endProgram() {
    if (endHook) {
        endHook();
        return;
    }
    if (pumpDepth == 0 && QCoreApplication::instance() && QThread::currentThread()->loopLevel() <= 1) {
        QCoreApplication::exit(0);
        return;
    }
    std::fflush(nullptr);
    std::_Exit(0);
}

QtRuntime::QtRuntime() {
    monotonic();
}

double QtRuntime::now() const {
    return static_cast<double>(monotonic().nsecsElapsed()) / 1e9;
}

void QtRuntime::sleep(double seconds) {
    if (seconds <= 0) return;
    QThread::usleep(static_cast<unsigned long>(seconds * 1e6));
}

void QtRuntime::pump(double maxWait) {
    if (!QCoreApplication::instance()) {
        sleep(maxWait);
        return;
    }
    DepthGuard guard;
    if (maxWait <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    // A timer bounds the wait; any other event (input, a click, a port notifier) ends it earlier.
    QTimer bound;
    bound.setSingleShot(true);
    bound.setTimerType(Qt::PreciseTimer);
    bound.start(std::max(1, static_cast<int>(std::ceil(maxWait * 1000.0))));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

} // namespace cvi
