// Arbitrary bytes through the readers on a port on simulated time: ReadInput, ReadContinuous,
// ReadTerminalInput, ReadReply, the Sampling page's resolution read, the broadcast collection and
// the Startup dialog's version scan (whose identifiers are always "01".."98", two characters each).
// Nothing may crash, wait past its bound, collect more than a bounded line, fail without a lost
// device, or leave the port open. One clock, runtime, port and link serve every input, so an input
// costs its bytes and little else.
//
// The first byte picks the reader (low three bits, modulo 7), whether the device vanishes at 0.3 s
// (bit 3) and the spacing of the arriving bytes (high four bits); the rest is what the line
// delivers.
#include "Detection.h"
#include "Frames.h"
#include "FuzzCheck.h"
#include "FuzzPort.h"
#include "Link.h"
#include "MeasureTimeout.h"
#include "SimRuntime.h"
#include "Transactions.h"

#include <limits>

using namespace cvi;
using fuzz::check;

namespace {

struct Bench {
    sim::VirtualClock clock;
    sim::SimRuntime runtime{clock};
    PortMap map;
    fuzz::FuzzPort* port = nullptr;
    std::unique_ptr<Link> link;
    const LinkSettings settings = LinkSettings::of(QStringLiteral("COM 1"), 9600, 'N');
    Bench() {
        auto owned = std::make_unique<fuzz::FuzzPort>(clock);
        port = owned.get();
        link = std::make_unique<Link>(runtime, map, std::move(owned));
    }
};

void checkLine(const QString& line, int limit, const char* what) {
    check(line.size() <= limit, what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static Bench b;
    if (size == 0) return 0;
    const int reader = (data[0] & 7) % 7;
    const bool lose = data[0] & 8;
    const double spacing = (data[0] >> 4) * 0.0007;
    const QByteArray bytes = fuzz::bytesOf(data + 1, size - 1);

    // Every input starts at the same moment, a machine up for eleven days: the clock's large
    // values round the way a real monotonic clock's do, and a failing input replays alone.
    b.clock.restart(1e6);
    const double start = b.clock.now();
    // The first byte arrives a millisecond after the open (and after the reopen of the readers
    // that open the port themselves).
    b.port->script(bytes, start + 0.001, spacing,
                   lose ? start + 0.3 : std::numeric_limits<double>::infinity());
    Link& link = *b.link;
    // Nothing owed from the last input: each input is a line of its own.
    b.runtime.line(link.portSettings(b.settings).device) = LineState{};
    link.OpenPort(b.settings);

    constexpr double timeout = 0.5;
    const double feed = (bytes.size() + 1) * (spacing + 0.001);
    const double limit = start + timeout + 2.0 + feed + 5.0;
    try {
        switch (reader) {
        case 0:
            if (const auto line = link.ReadInput(timeout)) {
                checkLine(*line, Link::MaxLine + 1, "ReadInput line too long");
                check(line->isEmpty() || line->endsWith(CRLF), "ReadInput gave a line without CR LF");
            }
            break;
        case 1:
            checkLine(link.ReadContinuous(timeout), Link::MaxLine + 1, "ReadContinuous line too long");
            break;
        case 2:
            if (const auto line = link.ReadTerminalInput(timeout)) {
                checkLine(*line, Link::MaxLine, "ReadTerminalInput line too long");
                check(!line->contains('\n') && !line->contains('\r'), "ReadTerminalInput kept a line end");
            }
            break;
        case 3:
            checkLine(link.ReadReply(timeout), Link::MaxLine, "ReadReply line too long");
            break;
        case 4: {
            link.ClosePort(); // the read opens the port itself
            const auto value = measure::readResolution(Channel{link, b.settings, QStringLiteral("*0100")},
                                                       QStringLiteral("PR"), timeout);
            if (value)
                check(value->size() <= 5 && measure::numberIn(*value), "a resolution that is no number");
            check(!link.PortOpen(), "the resolution read left the port open");
            break;
        }
        case 5: {
            link.ClosePort(); // the collection opens the port itself
            const BroadcastReplies r = collectBroadcastReplies(Channel{link, b.settings, QString()},
                                                               QStringLiteral("*9900EW*9900BL=1"));
            check(r.value().size() <= 1, "broadcast value longer than one character");
            for (const QString& line : r.lines)
                checkLine(line, Link::MaxLine + 1, "broadcast reply too long");
            check(b.clock.now() - start <= 3.0 + 1.0 + feed + 2.0, "broadcast collection unbounded");
            check(!link.PortOpen(), "broadcast collection left the port open");
            break;
        }
        case 6: {
            link.ClosePort(); // the scan opens the port itself
            struct : detection::DetectionObserver {
                Runtime* runtime = nullptr;
                void breathe(double maxWait) override { runtime->pump(maxWait); }
            } breath;
            breath.runtime = &b.runtime;
            const detection::Scan scan = detection::scanLoop(link, QStringLiteral("COM 1"), 9600, breath);
            check(scan.ids.size() % 2 == 0, "the identifier list is not two characters per instrument");
            for (qsizetype i = 0; i < scan.ids.size(); i += 2) {
                const QString id = scan.ids.mid(i, 2);
                const bool digits = id[0] >= '0' && id[0] <= '9' && id[1] >= '0' && id[1] <= '9';
                check(digits && id != QLatin1String("00") && id != QLatin1String("99"),
                      "the scan found an identifier outside 01..98");
            }
            check(b.clock.now() - start <= detection::scanWait(9600) + 1500 * 10.0 / 9600 + 1.0,
                  "the scan outlasted its bound");
            check(!link.PortOpen(), "the scan left the port open");
            break;
        }
        }
    } catch (const PortError& e) {
        // Only the device that vanished may end a read with an error, and it leaves the port closed.
        check(lose && e.kind() == PortError::Kind::DeviceLost, "reader failed without a lost device");
        check(!link.PortOpen(), "lost device left the port open");
    }
    check(b.clock.now() <= limit, "reader waited past its bound");
    link.ClosePort();
    return 0;
}
