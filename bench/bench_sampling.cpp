// The Sampling page through the real serial port against cvi-sim on a pseudo-terminal:
//  1. P4 on instrument 01 of a loop of 20 streaming instruments at 19200 baud (the line is full:
//     about 128 readings a second) for a given time: lines appended to the response box against
//     the lines that crossed the port (none lost, none malformed), the growth of resident memory,
//     the program's processor share, and the Stop latency (click to port closed).
//  2. A single P3 on one instrument at 9600 baud whose measurement takes no time, again and again:
//     wall time of each Send against the wire time of its bytes at 10 bits per character plus the
//     10 ms wake-up pause.
#include "BenchSupport.h"
#include "MainWindow.h"
#include "RealSerialPort.h"
#include "SamplingPage.h"
#include "SimProcess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

using namespace cvi;
using bench::cpuSeconds;
using bench::residentKiB;

namespace {
// The real port, counting what crosses it: bytes written, bytes read and discarded, the lines in
// what was read (and those that do not look like a reading), and when it last closed.
class CountingPort : public RealSerialPort {
public:
    static inline long written = 0;
    static inline long received = 0;
    static inline long discarded = 0;
    static inline long lines = 0;
    static inline long malformed = 0;
    static inline double closedAt = 0;
    static inline QByteArray partial;
    static void resetLines() {
        lines = malformed = 0;
        partial.clear();
    }

    void write(const QByteArray& bytes) override {
        written += bytes.size();
        RealSerialPort::write(bytes);
    }
    QByteArray read(int maxBytes) override {
        const QByteArray b = RealSerialPort::read(maxBytes);
        received += b.size();
        for (char c : b) {
            partial += c;
            if (c != '\n') continue;
            ++lines;
            // "*00nn" + sign or blank + digits "." digits + CR LF; a line begun before the
            // port opened is the reader's first line and not counted against the page.
            const bool reading = partial.size() >= 10 && partial.startsWith("*00") &&
                                 partial.endsWith("\r\n") && (partial[5] == ' ' || partial[5] == '-') &&
                                 partial.contains('.');
            if (!reading && lines > 1) ++malformed;
            partial.clear();
        }
        return b;
    }
    void discardInput() override {
        discarded += RealSerialPort::bytesWaiting();
        RealSerialPort::discardInput();
    }
    void close() override {
        RealSerialPort::close();
        closedAt = clock.nsecsElapsed() / 1e9;
    }
    static inline QElapsedTimer clock;
};

// The main window with the Sampling page on the loop cvi-sim serves, at `baud`.
struct Program {
    QtRuntime runtime;
    bench::QuietOperator op;
    AppState state;
    PortFactory ports;
    std::unique_ptr<MainWindow> main;

    Program(const QString& link, int baud, int instruments) {
        state.Link = LinkSettings::of(QStringLiteral("COM 1"), baud, 'N');
        state.CommTimeout = 500.0 / baud * instruments + 0.2;
        state.ReadTimeout = state.MeasureTimeout = state.CommTimeout;
        for (int i = 1; i <= instruments; ++i)
            state.IDList += QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        state.InstrumentCount = static_cast<qint16>(instruments);
        ports.map.setDevice(1, link);
        ports.maker = [](const QString&) { return std::make_unique<CountingPort>(); };
        main = std::make_unique<MainWindow>(state, runtime, op, ports);
        installSamplingPage(main->host());
        main->RefreshIdLists();
        main->show();
    }
    template <class T> T* w(const char* name) { return main->findChild<T*>(QString::fromLatin1(name)); }
    // Start, then the option chosen.
    void ready(const char* option) {
        w<QPushButton>("cmdSamplingStart")->click();
        w<QAbstractButton>(option)->click();
    }
};

QByteArray loopJson(int instruments, int baud, bool streaming, bool immediate = false) {
    QByteArray json =
        QStringLiteral("{\"baud\":%1,\"parity\":\"N\",\"answerDelay\":0,\"hopDelay\":0,\"instruments\":[")
            .arg(baud)
            .toLatin1();
    for (int i = 1; i <= instruments; ++i)
        json += QStringLiteral("%1{\"id\":\"%2\",\"streamingFromStart\":%3,\"measurementSeconds\":%4,"
                               "\"params\":{\"PR\":\"1\",\"TR\":\"4\"}}")
                    .arg(i > 1 ? "," : "")
                    .arg(i, 2, 10, QLatin1Char('0'))
                    .arg(streaming ? "true" : "false")
                    .arg(immediate ? "0" : "-1")
                    .toLatin1();
    return json + "]}";
}

void continuousReading(double seconds) {
    SimProcess cviSim;
    if (!cviSim.startWithConfig(loopJson(20, 19200, true))) {
        std::fprintf(stderr, "cvi-sim did not start\n");
        return;
    }
    Program p(cviSim.link, 19200, 20);
    p.ready("OptP4");
    auto* box = p.w<QPlainTextEdit>("txtResponse");

    long rssStart = 0, rssFull = 0, rssMax = 0;
    double fullAt = -1, clickAt = 0;
    QElapsedTimer& clock = CountingPort::clock;
    clock.start();
    QTimer sampler;
    sampler.setInterval(1000);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const long rss = residentKiB();
        rssMax = std::max(rssMax, rss);
        if (fullAt < 0 && box->document()->blockCount() >= 5000) {
            fullAt = clock.nsecsElapsed() / 1e9;
            rssFull = rss;
        }
    });
    // How long the program went without running its event loop: a timer due every 10 ms that
    // fires late tells how far the page fell behind the line.
    double lastTick = 0, longestGap = 0, longestGapAt = 0;
    int gapsOver100ms = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double t = clock.nsecsElapsed() / 1e9;
        const double gap = lastTick > 0 ? t - lastTick : 0;
        lastTick = t;
        if (gap > 0.1) ++gapsOver100ms;
        if (gap > longestGap) {
            longestGap = gap;
            longestGapAt = t;
        }
    });
    QTimer::singleShot(static_cast<int>(seconds * 1000), [&] {
        clickAt = clock.nsecsElapsed() / 1e9;
        p.w<QPushButton>("cmdStop")->click();
    });

    CountingPort::resetLines();
    p.state.SamplingLineCount = 0;
    rssStart = residentKiB();
    const double cpu0 = cpuSeconds();
    sampler.start();
    ticker.start();
    p.w<QPushButton>("cmdSend")->click(); // returns when the reading has ended
    const double wall = clock.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    const long rssEnd = residentKiB();
    sampler.stop();

    const long appended = static_cast<long>(p.state.SamplingLineCount);
    const long expected = CountingPort::lines - 1; // the first line only tells that reading began
    long corrupted = 0;
    for (const QString& l : box->toPlainText().split('\n', Qt::SkipEmptyParts))
        if (!l.startsWith(QStringLiteral("*00"))) ++corrupted;
    const QString ended = p.w<QLabel>("PnlMiddleMessage")->text();
    const bool stopped = clickAt > 0 && p.w<QPushButton>("cmdSend")->isEnabled();
    std::printf("P4 on 01 of 20 streaming instruments at 19200, %.0f s: %ld lines crossed the port, "
                "%ld appended (%ld lost), %ld malformed at the port, %ld not readings in the box, "
                "%.1f lines/s\n",
                wall, CountingPort::lines, appended, expected - appended, CountingPort::malformed, corrupted,
                CountingPort::lines / wall);
    if (fullAt < 0)
        std::printf(
            "  resident memory: %ld KiB at Send, %ld KiB at the end (the box never reached 5000 lines)\n",
            rssStart, rssEnd);
    else
        std::printf("  resident memory: %ld KiB at Send, %ld KiB when the box reached 5000 lines (%.0f s), "
                    "%ld KiB at the end (%+ld KiB since the box was full), peak %ld KiB\n",
                    rssStart, rssFull, fullAt, rssEnd, rssEnd - rssFull, rssMax);
    std::printf("  processor: %.2f s over %.0f s, %.1f %% of one core\n", cpu, wall, 100.0 * cpu / wall);
    std::printf("  event loop: longest gap %.1f ms (at %.1f s), %d gaps over 100 ms\n", longestGap * 1000,
                longestGapAt, gapsOver100ms);
    std::printf("  Stop: %s, latency %.1f ms from the click to the port closed%s%s\n",
                stopped ? "run ended by Stop" : "run ended early",
                1000.0 * (CountingPort::closedAt - clickAt),
                ended.isEmpty() ? "" : ", middle panel: ", qPrintable(ended));

    p.main.reset();
    cviSim.process.terminate();
    cviSim.process.waitForFinished(5000);
    for (const QByteArray& line : cviSim.process.readAllStandardOutput().trimmed().split('\n'))
        std::printf("  %s\n", line.constData());
    std::printf("  the program received %ld bytes in all (%ld read, %ld discarded)\n",
                CountingPort::received + CountingPort::discarded, CountingPort::received,
                CountingPort::discarded);
}

void singleReadings(int rounds) {
    SimProcess cviSim;
    if (!cviSim.startWithConfig(loopJson(1, 9600, false, true))) {
        std::fprintf(stderr, "cvi-sim did not start\n");
        return;
    }
    Program p(cviSim.link, 9600, 1);
    p.ready("OptP3");
    auto* send = p.w<QPushButton>("cmdSend");
    constexpr double Pause = 0.010;
    double worst = 0, total = 0;
    for (int r = 0; r < rounds; ++r) {
        CountingPort::written = CountingPort::received = 0;
        QElapsedTimer t;
        t.start();
        send->click();
        const double wall = t.nsecsElapsed() / 1e9;
        const double wire = (CountingPort::written + CountingPort::received) * 10.0 / 9600.0;
        const double ratio = wall / (wire + Pause);
        worst = std::max(worst, ratio);
        total += ratio;
        std::printf(
            "P3 %2d: %.1f ms wall, %ld bytes out, %ld in, wire %.1f ms + pause 10 ms, ratio %.2f value %s\n",
            r + 1, wall * 1000, CountingPort::written, CountingPort::received, wire * 1000, ratio,
            qPrintable(p.w<QLabel>("lblValue")->text()));
    }
    std::printf(
        "Single P3 at 9600: mean ratio %.2f, worst %.2f against wire time + 10 ms (target at most 1.1)\n",
        total / rounds, worst);
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 180.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
    if (seconds > 0) continuousReading(seconds);
    if (rounds > 0) singleReadings(rounds);
    return 0;
}
