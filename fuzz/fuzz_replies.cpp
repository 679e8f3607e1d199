// Arbitrary bytes into the reply parsers and into every reader through a scripted port: nothing
// may crash, hang past its time-out, or collect more than a bounded line.
#include "Frames.h"
#include "Link.h"
#include "ScriptedPort.h"
#include "SimRuntime.h"
#include "Transactions.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>

using namespace cvi;

static void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_replies: %s\n", what);
        std::abort();
    }
}

static void fuzzOne(const std::uint8_t* data, size_t size) {
    if (size == 0) return;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const QString text = QString::fromLatin1(bytes);

    QString reply = text;
    (void)ReplyNumber(reply);
    (void)ParameterValue(text);
    (void)isNumeric(text);
    (void)leadingNumber(text);

    // The first byte picks the reader and the spacing of the arriving bytes.
    const int reader = data[0] % 5;
    const double spacing = (data[0] >> 3) * 0.0005;
    sim::VirtualClock clock;
    sim::SimRuntime runtime(clock);
    PortMap map;
    auto owned = std::make_unique<test::ScriptedPort>(clock);
    test::ScriptedPort* port = owned.get();
    Link link(runtime, map, std::move(owned));
    const LinkSettings settings = LinkSettings::of(QStringLiteral("COM 1"), 9600, 'N');
    link.OpenPort(settings);
    port->arrive(0.0, bytes.mid(1), spacing);
    if (reader == 4) port->loseAt(0.3);

    constexpr double timeout = 0.5;
    const double limit = timeout + (bytes.size() + 1) * (spacing + 0.001) + 5.0;
    try {
        switch (reader) {
        case 0:
        case 4: {
            const auto line = link.ReadInput(timeout);
            check(!line || line->size() <= Link::MaxLine + 1, "ReadInput line too long");
            break;
        }
        case 1:
            check(link.ReadContinuous(timeout).size() <= Link::MaxLine + 1, "ReadContinuous line too long");
            break;
        case 2: {
            const auto line = link.ReadTerminalInput(timeout);
            check(!line || line->size() <= Link::MaxLine, "ReadTerminalInput line too long");
            break;
        }
        case 3:
            check(link.ReadReply(timeout).size() <= Link::MaxLine, "ReadReply line too long");
            break;
        }
    } catch (const PortError& e) {
        // Only the device that vanished may end a read with an error, and it leaves the port closed.
        check(reader == 4 && e.kind() == PortError::Kind::DeviceLost, "reader failed without a lost device");
        check(!link.PortOpen(), "lost device left the port open");
    }
    check(clock.now() <= limit, "reader waited past its bound");
    if (reader != 4 && port->isOpen()) {
        link.ClosePort();
        const BroadcastReplies r =
            collectBroadcastReplies(Channel{link, settings, QString()}, QStringLiteral("*9900EW*9900BL=1"));
        check(r.value().size() <= 1, "broadcast value longer than one character");
        check(clock.now() <= limit + 3.0 + bytes.size() * (spacing + 0.001) + 2.0,
              "broadcast collection unbounded");
        check(!link.PortOpen(), "broadcast collection left the port open");
    }
}

#ifdef CVI_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_replies";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    fuzzOne(data, size);
    return 0;
}
#else
int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 2000;
    std::mt19937 rng(20261206);
    const char* alphabet = "*0123456789PRBLVE=_.\r\n-?";
    for (int i = 0; i < runs; ++i) {
        std::vector<std::uint8_t> input(1 + rng() % 300);
        for (auto& b : input) {
            // Half the bytes from the reply alphabet, half anything.
            b = (rng() % 2) ? static_cast<std::uint8_t>(alphabet[rng() % 24])
                            : static_cast<std::uint8_t>(rng());
        }
        fuzzOne(input.data(), input.size());
    }
    // Lines far longer than any reader keeps.
    std::vector<std::uint8_t> flood(12000, 'x');
    for (std::uint8_t first : {0, 1, 2, 3, 4}) {
        flood[0] = first;
        fuzzOne(flood.data(), flood.size());
    }
    std::printf("fuzz_replies: %d inputs, no fault\n", runs + 5);
    return 0;
}
#endif
