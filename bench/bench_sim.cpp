// The simulator's two figures:
//  1. a broadcast version request on a loop of 98 instruments at 19200 baud, on the simulated
//     clock, against the wire time of the bytes the computer sends and receives;
//  2. cvi-sim serving continuous output at 19200 baud to the real serial port for a while
//     (default 600 s): throughput against the line's capacity, and nothing lost or garbled.
#include "Link.h"
#include "Loop.h"
#include "RealSerialPort.h"
#include "SimPort.h"
#include "SimProcess.h"

#include <QCoreApplication>

#include <cstdio>

using namespace cvi;

namespace {
void broadcastOnNinetyEight() {
    sim::VirtualClock clock;
    sim::Loop loop(clock, sim::LoopConfig::numbered(98, 19200, 'N'));
    sim::SimPort port(loop);
    PortSettings s;
    s.device = "sim";
    s.baudRate = 19200;
    port.open(s);
    const QByteArray command("**9900VR\r\n");
    const double start = clock.now();
    port.write(command);
    while (!clock.idle())
        clock.advanceTo(*clock.nextDue());
    const QByteArray got = loop.wire().received();
    const double took = loop.wire().events().last().time - start;
    const double wire = (command.size() + got.size()) * 10.0 / 19200.0;
    std::printf("broadcast VR, 98 instruments at 19200: %d lines, %d bytes back, %.4f s simulated, "
                "wire time of the bytes %.4f s, ratio %.3f\n",
                static_cast<int>(got.count('\n')), static_cast<int>(got.size()), took, wire, took / wire);
}

void continuousThroughCviSim(double seconds) {
    QByteArray json = "{\"baud\":19200,\"parity\":\"N\",\"instruments\":[";
    for (int i = 1; i <= 20; ++i) {
        json += QStringLiteral(
                    "%1{\"id\":\"%2\",\"streamingFromStart\":true,\"params\":{\"PR\":\"1\",\"TR\":\"4\"}}")
                    .arg(i > 1 ? "," : "")
                    .arg(i, 2, 10, QLatin1Char('0'))
                    .toLatin1();
    }
    json += "]}";
    SimProcess cviSim;
    if (!cviSim.startWithConfig(json)) {
        std::fprintf(stderr, "cvi-sim did not start\n");
        return;
    }
    const QString link = cviSim.link;

    QtRuntime runtime;
    constexpr double timeout = 2.0;
    PortMap map;
    map.setDevice(1, link);
    Link reader(runtime, map, std::make_unique<RealSerialPort>());
    reader.OpenPort(LinkSettings::of(QStringLiteral("COM 1"), 19200, 'N'));
    reader.SetInBufferSize(65536);
    long lines = 0, bad = 0, bytes = 0, overflows = 0;
    const double start = runtime.now();
    reader.ReadContinuous(timeout); // the first, possibly partial, line
    const double measured = runtime.now();
    while (runtime.now() - start < seconds) {
        const QString line = reader.ReadContinuous(timeout);
        if (line == QStringLiteral("Overflow")) {
            ++overflows;
            reader.InputAll();
            continue;
        }
        if (line.isEmpty()) continue;
        bytes += line.size();
        ++lines;
        // "*00nn" + blank + digits "." digits + CR LF
        const bool ok = line.size() >= 10 && line.startsWith("*00") && line.endsWith("\r\n") &&
                        line[5] == ' ' && line.contains('.');
        if (!ok) ++bad;
    }
    const double elapsed = runtime.now() - measured;
    reader.ClosePort();
    cviSim.process.terminate();
    cviSim.process.waitForFinished(5000);
    const QByteArray out = cviSim.process.readAllStandardOutput();
    const double capacity = 19200.0 / 10.0;
    std::printf("cvi-sim continuous output at 19200 for %.0f s: %ld lines, %ld bytes, %.1f bytes/s "
                "(line capacity %.0f, %.1f%%), %ld malformed, %ld overflows\n%s",
                elapsed, lines, bytes, bytes / elapsed, capacity, 100.0 * bytes / elapsed / capacity, bad,
                overflows, out.constData());
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    broadcastOnNinetyEight();
    const double seconds = argc > 1 ? std::atof(argv[1]) : 600.0;
    if (seconds > 0) continuousThroughCviSim(seconds);
    return 0;
}
