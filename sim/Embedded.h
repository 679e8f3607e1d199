#pragma once

#include "Loop.h"
#include "RealScheduler.h"
#include "SimPort.h"

#include <memory>

namespace cvi::sim {

// The simulated loop inside the program (cvi --simulate, or a COM slot mapped to "sim"), on the
// real clock. Every port object the program makes for "sim" talks to this one loop.
class EmbeddedLoop {
public:
    explicit EmbeddedLoop(LoopConfig config = LoopConfig::demo()) : loop_(scheduler_, std::move(config)) {}
    Loop& loop() { return loop_; }
    std::unique_ptr<SerialPort> makePort() { return std::make_unique<SimPort>(loop_); }

private:
    RealScheduler scheduler_;
    Loop loop_;
};

} // namespace cvi::sim
