#include "SimRuntime.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace cvi::sim {

void SimRuntime::sleep(double seconds) {
    if (seconds > 0) clock_.advanceBy(seconds);
}

void SimRuntime::pump(double maxWait) {
    ++pumps_;
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (maxWait <= 0) return;
    double target = clock_.now() + maxWait;
    if (const auto due = clock_.nextDue(); due && *due < target) target = *due;
    clock_.advanceTo(target);
}

} // namespace cvi::sim
