#include "RealScheduler.h"

#include <QElapsedTimer>
#include <QThread>

#include <cmath>

namespace cvi::sim {

namespace {
QElapsedTimer& monotonic() {
    static QElapsedTimer t = [] {
        QElapsedTimer e;
        e.start();
        return e;
    }();
    return t;
}
} // namespace

RealScheduler::RealScheduler(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { runDue(); });
    queue_.advanceTo(now());
}

double RealScheduler::now() const {
    return static_cast<double>(monotonic().nsecsElapsed()) / 1e9;
}

std::uint64_t RealScheduler::at(double t, std::function<void()> fn) {
    const auto handle = queue_.at(t, std::move(fn));
    arm();
    return handle;
}

void RealScheduler::cancel(std::uint64_t handle) {
    queue_.cancel(handle);
    arm();
}

void RealScheduler::runDue() {
    if (running_) return; // callbacks that poll a port must not re-enter
    running_ = true;
    const double t = now();
    if (const auto due = queue_.nextDue(); due && t - *due > longestLate_) longestLate_ = t - *due;
    queue_.advanceTo(t);
    running_ = false;
    arm();
}

void RealScheduler::waitUntil(double t) {
    const double left = t - now();
    if (left > 0) QThread::usleep(static_cast<unsigned long>(left * 1e6));
    runDue();
}

void RealScheduler::arm() {
    const auto due = queue_.nextDue();
    if (!due) {
        timer_.stop();
        return;
    }
    const double left = *due - now();
    timer_.start(left <= 0 ? 0 : static_cast<int>(std::ceil(left * 1000.0)));
}

} // namespace cvi::sim
