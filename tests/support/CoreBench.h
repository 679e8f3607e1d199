#pragma once

#include "AppState.h"
#include "Link.h"
#include "Loop.h"
#include "PortFactory.h"
#include "SimPort.h"
#include "SimRuntime.h"

#include <memory>

namespace cvi::test {

// A simulated loop on simulated time with what an exchange needs: shared state and a port
// factory whose ports reach the loop. No widgets: the core's tests run on it.
struct CoreBench {
    sim::VirtualClock clock;
    sim::SimRuntime runtime{clock};
    AppState state;
    PortFactory ports;
    std::unique_ptr<sim::Loop> loop;

    explicit CoreBench(const sim::LoopConfig& config = sim::LoopConfig::demo()) {
        loop = std::make_unique<sim::Loop>(clock, config);
        ports.map.mapAllTo(PortMap::Simulated);
        ports.maker = [this](const QString&) -> std::unique_ptr<SerialPort> {
            return std::make_unique<sim::SimPort>(*loop);
        };
        connectAt(config.baud, config.parity);
        state.InstrumentCount = static_cast<qint16>(config.instruments.size());
        for (const auto& i : config.instruments)
            state.IDList += i.id;
    }

    // The state a successful detection leaves behind at these settings.
    void connectAt(int baud, char parity) {
        state.Link = LinkSettings::of(QStringLiteral("COM 1"), baud, parity);
        state.CommTimeout = 0.25;
        state.ReadTimeout = 2.25;
        state.MeasureTimeout = 2.25;
    }

    std::unique_ptr<Link> makeLink() { return std::make_unique<Link>(runtime, ports.map, ports.create()); }
    sim::WireLog& wire() { return loop->wire(); }
    sim::Instrument& inst(const QString& id) { return *loop->instrument(id); }
    // Lets simulated time pass (replies arrive, instruments stream).
    void idle(double seconds) { clock.advanceBy(seconds); }
};

} // namespace cvi::test
