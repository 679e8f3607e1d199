#pragma once

#include "CoreBench.h"
#include "ScriptedOperator.h"

namespace cvi::test {

// The core bench with a scripted operator: page and dialog tests build their real widgets on it.
struct SimBench : CoreBench {
    ScriptedOperator op;

    explicit SimBench(const sim::LoopConfig& config = sim::LoopConfig::demo()) : CoreBench(config) {}
};

} // namespace cvi::test
