#pragma once

#include "AppState.h"
#include "Link.h"
#include "Loop.h"
#include "PortFactory.h"
#include "ScriptedOperator.h"
#include "SimPort.h"
#include "SimRuntime.h"

#include <memory>

namespace cvi::test {

// A simulated loop on simulated time with everything a window needs: shared state, a scripted
// operator, and a port factory whose ports reach the loop. Page and dialog tests build their
// real widgets on it.
struct SimBench {
    sim::VirtualClock clock;
    sim::SimRuntime runtime{clock};
    ScriptedOperator op;
    AppState state;
    PortFactory ports;
    std::unique_ptr<sim::Loop> loop;

    explicit SimBench(const sim::LoopConfig& config = sim::LoopConfig::demo()) {
        loop = std::make_unique<sim::Loop>(clock, config);
        ports.map.mapAllTo(PortMap::Simulated);
        ports.maker = [this](const QString&) -> std::unique_ptr<SerialPort> {
            return std::make_unique<sim::SimPort>(*loop);
        };
        state.ProgramFolder = QString();
        connectAt(config.baud, config.parity);
        const int count = static_cast<int>(config.instruments.size());
        state.InstrumentCount = static_cast<qint16>(count);
        for (const auto& i : config.instruments) state.IDList += i.id;
    }

    // The state a successful detection leaves behind at these settings.
    void connectAt(int baud, char parity) {
        state.PortName = QStringLiteral("COM 1");
        state.BaudRate = QString::number(baud);
        state.Parity = QString(QChar(parity));
        state.DataBits = parity == 'N' ? QStringLiteral("8") : QStringLiteral("7");
        state.CommTimeout = 0.25;
        state.ReadTimeout = 2.25;
        state.MeasureTimeout = 2.25;
    }

    std::unique_ptr<Link> makeLink() {
        return std::make_unique<Link>(state, runtime, op, ports.map, ports.create());
    }
    sim::WireLog& wire() { return loop->wire(); }
    sim::Instrument& inst(const QString& id) { return *loop->instrument(id); }
    // Lets simulated time pass (replies arrive, instruments stream).
    void idle(double seconds) { clock.advanceBy(seconds); }
};

} // namespace cvi::test
