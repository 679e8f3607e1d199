#pragma once

#include <QString>

#include <functional>
#include <map>

namespace cvi {

// What the program knows of one physical line (one device path): which of its serial objects
// holds it open, and until when an answer that nobody is waiting for any more may still arrive
// on it. Times are on the runtime's clock.
struct LineState {
    const void* holder = nullptr;  // the serial object that has the device open
    QString holderName;            // what to call it in a message
    double owedUntil = 0.0;        // an abandoned request may still be answered until then
    int owedLines = 0;             // lines that answer it (0: whatever comes until the deadline)
    std::function<void()> release; // how the holder lets go when another window wants the line
};

// Every time-out, fixed delay and "let the user interface run" goes through one runtime.
// The production runtime blocks in the event loop instead of spinning; tests substitute a
// simulated clock on which a ten-second time-out costs nothing.
class Runtime {
public:
    virtual ~Runtime() = default;

    // The lines of this run, by device. Every serial object of the program meets the others
    // here: one runtime serves the whole program, and its clock is the one the deadlines use.
    LineState& line(const QString& device) { return lines_[device]; }

    // Monotonic seconds; never jumps at tick wrap or midnight.
    virtual double now() const = 0;
    // A fixed delay that does not run the user interface.
    virtual void sleep(double seconds) = 0;
    // Let the user interface process its pending events. With maxWait > 0, block until an event
    // arrives (a click, a timer, characters on a port) or maxWait seconds have passed.
    virtual void pump(double maxWait = 0.0) = 0;

private:
    std::map<QString, LineState> lines_;
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
