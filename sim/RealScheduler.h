#pragma once

#include "VirtualClock.h"

#include <QObject>
#include <QTimer>

namespace cvi::sim {

// Real (monotonic) time for the simulated loop inside the program and in cvi-sim. Callbacks run
// from a Qt timer when the event loop runs, or earlier from runDue() when a port is polled
// during a fixed delay that does not run the event loop.
class RealScheduler : public QObject, public Scheduler {
    Q_OBJECT
public:
    explicit RealScheduler(QObject* parent = nullptr);

    double now() const override;
    std::uint64_t at(double t, std::function<void()> fn) override;
    void cancel(std::uint64_t handle) override;
    void runDue() override;
    std::optional<double> nextDue() const override { return queue_.nextDue(); }
    void waitUntil(double t) override;
    // The longest a due callback waited past its time, in seconds: a loop that falls behind
    // the wire delivers its backlog in one burst.
    double longestLate() const { return longestLate_; }

private:
    void arm();
    // The queue itself is a virtual clock that is only ever advanced to the real time.
    VirtualClock queue_;
    QTimer timer_;
    bool running_ = false;
    double longestLate_ = 0.0;
};

} // namespace cvi::sim
