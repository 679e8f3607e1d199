#pragma once

#include <functional>

namespace cvi {

// Every time-out, fixed delay and "let the user interface run" goes through one runtime.
// Ends the program at once (the Exit menu item, the mode warning's Exit). When nothing is
// waiting the event loop is left in order; from inside a wait the process ends on the spot
// and the operating system releases the port. Tests install their own hook.
void endProgram();
void setEndProgramHook(std::function<void()> hook);

// The production runtime blocks in the event loop instead of spinning; tests substitute a
// simulated clock on which a ten-second time-out costs nothing.
class Runtime {
public:
    virtual ~Runtime() = default;

    // Monotonic seconds; never jumps at tick wrap or midnight.
    virtual double now() const = 0;
    // A fixed delay that does not run the user interface.
    virtual void sleep(double seconds) = 0;
    // Let the user interface process its pending events. With maxWait > 0, block until an event
    // arrives (a click, a timer, characters on a port) or maxWait seconds have passed.
    virtual void pump(double maxWait = 0.0) = 0;
};

// Ends the program at once (the Exit menu item, the mode warning's Exit). When nothing is
// waiting the event loop is left in order; from inside a wait the process ends on the spot
// and the operating system releases the port. Tests install their own hook.
void endProgram();
void setEndProgramHook(std::function<void()> hook);

// The production runtime on Qt's event loop and a monotonic clock.
class QtRuntime : public Runtime {
public:
    QtRuntime();
    double now() const override;
    void sleep(double seconds) override;
    void pump(double maxWait = 0.0) override;
};

} // namespace cvi
