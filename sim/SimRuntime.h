#pragma once

#include "Runtime.h"
#include "VirtualClock.h"

namespace cvi::sim {

// The runtime on simulated time. pump() lets Qt process what is pending without blocking and
// then moves the clock to the next simulated event (characters arriving, a scripted click) or to
// the end of the wait, whichever comes first. A ten-second time-out costs microseconds and every
// run is identical.
class SimRuntime : public Runtime {
public:
    explicit SimRuntime(VirtualClock& clock) : clock_(clock) {}

    double now() const override { return clock_.now(); }
    void sleep(double seconds) override;
    void pump(double maxWait = 0.0) override;

    VirtualClock& clock() { return clock_; }
    // How many times the program let the interface run (to show readers do so while waiting).
    long pumps() const { return pumps_; }

private:
    VirtualClock& clock_;
    long pumps_ = 0;
};

} // namespace cvi::sim
