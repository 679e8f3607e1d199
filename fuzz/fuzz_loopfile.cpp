// cvi-sim's loop file (--config) as any file may be: a file that is taken describes a loop the
// simulator can run — every identifier "01".."98", the baud rates the instruments know, parity N,
// E or O — and the loop it describes answers a version broadcast within a bounded time, whatever
// its delays, values and faults.
//
// The input is the file's contents.
#include "Detection.h"
#include "FuzzCheck.h"
#include "Link.h"
#include "Loop.h"
#include "LoopConfig.h"
#include "SimPort.h"
#include "SimRuntime.h"

#include <QStringList>

using namespace cvi;
using fuzz::check;

namespace {

bool knownBaud(int baud) {
    for (int b : {300, 600, 1200, 2400, 4800, 9600, 19200})
        if (baud == b) return true;
    return false;
}

bool twoDigitId(const QString& id) {
    if (id.size() != 2 || id[0] < '0' || id[0] > '9' || id[1] < '0' || id[1] > '9') return false;
    return id != QLatin1String("00") && id != QLatin1String("99");
}

struct Breath : detection::DetectionObserver {
    Runtime& runtime;
    explicit Breath(Runtime& r) : runtime(r) {}
    void breathe(double maxWait) override { runtime.pump(maxWait); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    sim::LoopConfig config;
    QString error;
    if (!sim::LoopConfig::fromJson(fuzz::bytesOf(data, size), config, &error)) {
        check(!error.isEmpty(), "a loop file refused without a reason");
        return 0;
    }
    check(knownBaud(config.baud), "a loop at a baud rate no instrument has");
    check(QStringLiteral("NEO").contains(QChar::fromLatin1(config.parity)) && config.parity, "loop parity");
    for (const sim::InstrumentConfig& i : config.instruments) {
        check(twoDigitId(i.id), "an identifier outside 01..98");
        check(i.baud == 0 || knownBaud(i.baud), "an instrument at a baud rate it cannot have");
        check(i.parity == 0 || QStringLiteral("NEO").contains(QChar::fromLatin1(i.parity)),
              "instrument parity");
    }
    if (config.instruments.size() > 98) return 0; // no loop holds more

    // The loop runs: the Startup dialog's version broadcast ends within its bound.
    sim::VirtualClock clock;
    sim::SimRuntime runtime(clock);
    sim::Loop loop(clock, config);
    PortMap map;
    map.mapAllTo(PortMap::Simulated);
    Link link(runtime, map, std::make_unique<sim::SimPort>(loop));
    Breath breath(runtime);
    const detection::Scan scan = detection::scanLoop(link, QStringLiteral("COM 1"), config.baud, breath);
    check(clock.now() <= detection::scanWait(config.baud) + 1500 * 10.0 / config.baud + 1.0,
          "the version broadcast outlasted its bound");
    check(!link.PortOpen(), "the scan left the port open");
    check(scan.count >= 0, "negative instrument count");
    return 0;
}
