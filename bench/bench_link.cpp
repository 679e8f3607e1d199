// Two figures of the real serial path on a pseudo-terminal:
//  1. processor time while a reader waits for a silent instrument (share of one core);
//  2. latency from the last byte of a reply reaching the port to the reader returning.
#include "Link.h"
#include "PtyPair.h"
#include "RealSerialPort.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

using namespace cvi;

namespace {
double wallNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const double waitSeconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 300;

    PtyPair pty;
    if (pty.slavePath.isEmpty()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    QtRuntime runtime;
    PortMap map;
    map.setDevice(1, pty.slavePath);
    Link link(runtime, map, std::make_unique<RealSerialPort>());
    link.OpenPort(LinkSettings::of(QStringLiteral("COM 1"), 9600, 'N'));
    pty.dropOwnSlave();

    // 1. A silent instrument: one read that times out.
    const double cpu0 = processCpuSeconds();
    const double w0 = wallNow();
    const bool none = !link.ReadInput(waitSeconds).has_value();
    const double wall = wallNow() - w0;
    const double cpu = processCpuSeconds() - cpu0;
    std::printf("silent wait: %.2f s wall, %.4f s cpu, %.2f%% of one core (timed out: %s)\n", wall, cpu,
                100.0 * cpu / wall, none ? "yes" : "no");

    // 2. Replies written by the far end from another thread; the reader notes when it returns.
    std::vector<double> latencies;
    std::atomic<double> lastByteAt{0};
    for (int i = 0; i < rounds; ++i) {
        std::thread far([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            pty.send("*0001PR=238\r");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            lastByteAt = wallNow();
            pty.send("\n");
        });
        const auto line = link.ReadInput(2.0);
        const double returned = wallNow();
        far.join();
        if (!line || *line != QStringLiteral("*0001PR=238\r\n")) {
            std::fprintf(stderr, "round %d: wrong reply\n", i);
            return 1;
        }
        latencies.push_back((returned - lastByteAt.load()) * 1000.0);
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) { return latencies[static_cast<size_t>(q * (latencies.size() - 1))]; };
    std::printf("reply latency over %d replies: median %.3f ms, 90%% %.3f ms, max %.3f ms\n", rounds, at(0.5),
                at(0.9), latencies.back());
    link.ClosePort();
    return 0;
}
