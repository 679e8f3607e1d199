// The Loop Overview through the real serial port against cvi-sim on a pseudo-terminal: five
// instruments at 19200 baud that answer at once (measurement time 0, no delay in the loop), read
// in turn. Pressure readings a second against the wire's limit for the P3 exchanges (command and
// reply at 10 bits per character), the process's processor share, and what the table shows.
#include "BenchSupport.h"
#include "LoopOverview.h"
#include "MainWindow.h"
#include "Readings.h"
#include "SimProcess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <cstdio>

using namespace cvi;
using bench::cpuSeconds;

namespace {
// The real port, counting the lines that came in.
class CountingPort : public bench::ByteCountingPort {
public:
    static inline long lines = 0;
    QByteArray read(int maxBytes) override {
        const QByteArray b = ByteCountingPort::read(maxBytes);
        lines += b.count('\n');
        return b;
    }
};

constexpr int Instruments = 5;

QByteArray loopJson() {
    QString list;
    for (int i = 1; i <= Instruments; ++i)
        list += QStringLiteral("%1{\"id\":\"%2\",\"measurementSeconds\":0}")
                    .arg(i > 1 ? "," : "")
                    .arg(i, 2, 10, QChar('0'));
    return QStringLiteral("{\"baud\":19200,\"parity\":\"N\",\"answerDelay\":0,\"hopDelay\":0,"
                          "\"instruments\":[%1]}")
        .arg(list)
        .toLatin1();
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 120.0;
    SimProcess cviSim;
    if (!cviSim.startWithConfig(loopJson())) {
        std::fprintf(stderr, "cvi-sim did not start\n");
        return 1;
    }
    QtRuntime runtime;
    bench::QuietOperator op;
    AppState state;
    PortFactory ports;
    state.Link = LinkSettings::of(QStringLiteral("COM 1"), 19200, 'N');
    state.CommTimeout = 0.5;
    state.ReadTimeout = state.MeasureTimeout = state.CommTimeout;
    for (int i = 1; i <= Instruments; ++i)
        state.IDList += QStringLiteral("%1").arg(i, 2, 10, QChar('0'));
    state.InstrumentCount = Instruments;
    state.AddressPrefix = QStringLiteral("*0100");
    ports.map.setDevice(1, cviSim.link);
    ports.maker = [](const QString&) { return std::make_unique<CountingPort>(); };
    MainWindow main(state, runtime, op, ports);
    installReadingPages(main.host());
    main.RefreshIdLists();
    main.show();

    // The first seconds describe each instrument (SN, VR, UN, ...); only P3 goes out after them.
    constexpr double Settled = 5.0;
    QElapsedTimer clock;
    clock.start();
    long lines0 = 0, written0 = 0, received0 = 0, lines = 0, bytes = 0;
    double cpu0 = 0, cpu = 0, span = 0;
    QStringList table;
    QTimer::singleShot(int(Settled * 1000), [&] {
        lines0 = CountingPort::lines;
        written0 = CountingPort::written;
        received0 = CountingPort::received;
        cpu0 = cpuSeconds();
    });
    QTimer::singleShot(int(seconds * 1000), [&] {
        span = clock.nsecsElapsed() / 1e9 - Settled;
        lines = CountingPort::lines - lines0;
        bytes = CountingPort::written - written0 + CountingPort::received - received0;
        cpu = cpuSeconds() - cpu0;
        auto* window = main.findChild<LoopOverview*>();
        auto* t = window->findChild<QTableWidget*>(QStringLiteral("tblLoop"));
        for (int r = 0; r < t->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < t->columnCount(); ++c)
                row << t->item(r, c)->text();
            table << row.join(QStringLiteral(" | "));
        }
        window->findChild<QPushButton*>(QStringLiteral("CmdExit"))->click();
    });
    main.action(QStringLiteral("mnuLoopOverview"))->trigger();

    const double perExchange = double(bytes) / std::max(lines, 1L);
    const double wireLimit = 19200.0 / 10.0 / perExchange;
    const double rate = lines / std::max(span, 1e-9);
    std::printf("Loop Overview, %d instruments at 19200 answering at once, %.0f s:\n", Instruments,
                span + Settled);
    std::printf("  %ld readings in %.0f s: %.1f a second; %.1f bytes an exchange on the wire, limit %.1f a "
                "second; ratio %.3f (goal at least 0.9)\n",
                lines, span, rate, perExchange, wireLimit, rate / wireLimit);
    std::printf("  processor: %.2f s over %.0f s, %.1f %% of one core\n", cpu, span, 100.0 * cpu / span);
    for (const QString& row : table)
        std::printf("  %s\n", qPrintable(row));
    return 0;
}
