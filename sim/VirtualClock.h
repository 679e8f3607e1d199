#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace cvi::sim {

// A source of time with timed callbacks. The loop simulator runs on one: virtual time in tests,
// the real clock in the program.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    virtual double now() const = 0;
    // Runs fn at time t (or as soon as possible if t has passed). Returns a handle for cancel().
    virtual std::uint64_t at(double t, std::function<void()> fn) = 0;
    virtual void cancel(std::uint64_t handle) = 0;
    // Runs every callback already due.
    virtual void runDue() = 0;
    virtual std::optional<double> nextDue() const = 0;
    // Lets time reach t: simulated time runs the callbacks on the way, real time sleeps (the
    // callbacks then run at the next runDue()).
    virtual void waitUntil(double t) = 0;
};

// Simulated time: nothing happens until someone advances it; then every due callback runs in
// time order (callbacks scheduled while advancing run too if they fall due).
class VirtualClock : public Scheduler {
public:
    double now() const override { return now_; }
    std::uint64_t at(double t, std::function<void()> fn) override;
    void cancel(std::uint64_t handle) override;

    std::optional<double> nextDue() const override;
    // Runs everything due up to t, then stands at t (never goes back).
    void advanceTo(double t);
    void advanceBy(double dt) { advanceTo(now_ + dt); }
    // Runs callbacks already due at the current time.
    void runDue() override { advanceTo(now_); }
    void waitUntil(double t) override { advanceTo(t); }
    bool idle() const { return queue_.empty(); }
    // Drops everything scheduled and stands at t: one clock serves many independent runs.
    void restart(double t) {
        queue_.clear();
        times_.clear();
        now_ = t;
    }

private:
    double now_ = 0.0;
    std::uint64_t nextHandle_ = 1;
    // Ordered by time, then by scheduling order.
    std::map<std::pair<double, std::uint64_t>, std::function<void()>> queue_;
    std::map<std::uint64_t, double> times_;
};

} // namespace cvi::sim
