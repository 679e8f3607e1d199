// The Pressure window through the real serial port against cvi-sim on a pseudo-terminal, its plot
// and recording on:
//  1. One instrument at 19200 baud that answers at once (measurement time 0): readings per second
//     against the wire's limit for one P3 exchange (command and reply at 10 bits per character),
//     the process's processor share, resident memory after the first minute and at the end.
//  2. Exit while a reply is awaited (an instrument whose measurement takes 2 s): from the click to
//     the port closed and to the menu item back.
#include "BenchSupport.h"
#include "LiveTrend.h"
#include "MainWindow.h"
#include "PressureWindow.h"
#include "RealSerialPort.h"
#include "SimProcess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace cvi;
using bench::cpuSeconds;
using bench::residentKiB;

namespace {
QElapsedTimer clock_;
double now() {
    return clock_.nsecsElapsed() / 1e9;
}

// The real port, counting the bytes each way and the readings that came in, and when it closed.
class CountingPort : public bench::ByteCountingPort {
public:
    static inline long readings = 0;
    static inline double closedAt = 0;
    QByteArray read(int maxBytes) override {
        const QByteArray b = ByteCountingPort::read(maxBytes);
        readings += b.count('\n');
        return b;
    }
    void close() override {
        RealSerialPort::close();
        closedAt = now();
    }
};

// Messages to stderr, the save dialog answered with a file in a temporary folder.
class Operator : public bench::QuietOperator {
public:
    QString file;
    QString saveFileName(const QString&, const QString&, const QString&) override { return file; }
};

struct Program {
    QtRuntime runtime;
    Operator op;
    AppState state;
    PortFactory ports;
    std::unique_ptr<MainWindow> main;

    Program(const QString& link, int baud) {
        state.Link = LinkSettings::of(QStringLiteral("COM 1"), baud, 'N');
        state.CommTimeout = 0.5;
        state.ReadTimeout = state.MeasureTimeout = state.CommTimeout;
        state.IDList = QStringLiteral("01");
        state.InstrumentCount = 1;
        state.AddressPrefix = QStringLiteral("*0100");
        ports.map.setDevice(1, link);
        ports.maker = [](const QString&) { return std::make_unique<CountingPort>(); };
        main = std::make_unique<MainWindow>(state, runtime, op, ports);
        installPressureWindow(main->host());
        main->RefreshIdLists();
        main->show();
    }
    PressureWindow* window() const { return main->findChild<PressureWindow*>(); }
};

QByteArray loopJson(int baud, double measurement) {
    return QStringLiteral("{\"baud\":%1,\"parity\":\"N\",\"answerDelay\":0,\"hopDelay\":0,\"instruments\":["
                          "{\"id\":\"01\",\"measurementSeconds\":%2}]}")
        .arg(baud)
        .arg(measurement)
        .toLatin1();
}

void readingRate(double seconds) {
    SimProcess cviSim;
    if (!cviSim.startWithConfig(loopJson(19200, 0))) {
        std::fprintf(stderr, "cvi-sim did not start\n");
        return;
    }
    QTemporaryDir dir;
    Program p(cviSim.link, 19200);
    p.op.file = dir.filePath(QStringLiteral("readings.csv"));
    clock_.start();
    constexpr double Settled = 5.0;
    long readings0 = 0, written0 = 0, received0 = 0, rssMinute = 0;
    double cpu0 = 0, minuteAt = 0;
    QTimer::singleShot(1000,
                       [&p] { p.window()->findChild<QPushButton*>(QStringLiteral("cmdRecord"))->click(); });
    QTimer::singleShot(int(Settled * 1000), [&] {
        readings0 = CountingPort::readings;
        written0 = CountingPort::written;
        received0 = CountingPort::received;
        cpu0 = cpuSeconds();
    });
    QTimer::singleShot(60000, [&] {
        rssMinute = residentKiB();
        minuteAt = now();
    });
    double endAt = 0;
    long readings = 0, bytesOut = 0, bytesIn = 0, draws = 0, counted = 0;
    double cpu = 0;
    QTimer::singleShot(int(seconds * 1000), [&] {
        endAt = now();
        readings = CountingPort::readings - readings0;
        bytesOut = CountingPort::written - written0;
        bytesIn = CountingPort::received - received0;
        cpu = cpuSeconds() - cpu0;
        draws = p.window()->trend().draws();
        counted = p.window()->trend().stats(0).count;
        p.window()->findChild<QPushButton*>(QStringLiteral("CmdExit"))->click();
    });
    p.main->action(QStringLiteral("mnuPressure"))->trigger();
    const long rssEnd = residentKiB();
    const double span = endAt - Settled;
    const double perExchange = double(bytesOut + bytesIn) / std::max(readings, 1L);
    const double wireLimit = 19200.0 / 10.0 / perExchange;
    const double rate = readings / span;
    QFile csv(p.op.file);
    long recorded = 0;
    if (csv.open(QIODevice::ReadOnly))
        while (!csv.atEnd())
            recorded += csv.readLine().isEmpty() ? 0 : 1;
    std::printf(
        "Pressure window, one instrument at 19200 answering at once, plot and recording on, %.0f s:\n",
        endAt);
    std::printf("  %ld readings in %.0f s: %.1f a second; %.1f bytes an exchange on the wire, limit %.1f a "
                "second; ratio %.3f (goal at least 0.9)\n",
                readings, span, rate, perExchange, wireLimit, rate / wireLimit);
    std::printf(
        "  processor: %.2f s over %.0f s, %.1f %% of one core; plot drawn %ld times (%.1f a second)\n", cpu,
        span, 100.0 * cpu / span, draws, draws / endAt);
    std::printf("  %ld values counted, %ld lines recorded (with the header)\n", counted, recorded);
    if (minuteAt > 0)
        std::printf(
            "  resident memory: %ld KiB after %.0f s, %ld KiB at %.0f s (%+ld KiB; goal within 10 MB)\n",
            rssMinute, minuteAt, rssEnd, endAt, rssEnd - rssMinute);
}

void exitLatency(int rounds) {
    SimProcess cviSim;
    if (!cviSim.startWithConfig(loopJson(19200, 2.0))) {
        std::fprintf(stderr, "cvi-sim did not start\n");
        return;
    }
    Program p(cviSim.link, 19200);
    clock_.start();
    double worst = 0;
    for (int r = 0; r < rounds; ++r) {
        double clickAt = 0;
        // Readings every 2 s: 3.3 s in, the window waits for a reply.
        QTimer::singleShot(3300, [&] {
            clickAt = now();
            p.window()->findChild<QPushButton*>(QStringLiteral("CmdExit"))->click();
        });
        p.main->action(QStringLiteral("mnuPressure"))->trigger();
        const double back = now();
        const double closed = (CountingPort::closedAt - clickAt) * 1000;
        worst = std::max(worst, (back - clickAt) * 1000);
        std::printf("Exit %d: port closed %.1f ms after the click, menu item back after %.1f ms\n", r + 1,
                    closed, (back - clickAt) * 1000);
        QThread::msleep(2500); // the reply the window stopped waiting for goes by
    }
    std::printf("Exit while a reply is awaited: worst %.1f ms (goal under 100 ms)\n", worst);
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 600.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (seconds > 0) readingRate(seconds);
    if (rounds > 0) exitLatency(rounds);
    return 0;
}
