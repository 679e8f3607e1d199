// The Terminal page through the real serial port against cvi-sim on a pseudo-terminal:
//  1. The page listens to a loop of 20 streaming instruments at 19200 baud (the line into the
//     computer is full, about 128 readings a second) for a given time, time stamps on: the rows
//     listed against the lines that crossed the port (none lost), the process's processor share,
//     resident memory after the first minute against at the end (the rows are all kept, packed),
//     and how long the loop took to end after the page was left.
//  2. The list holding a few hundred thousand rows: the time to add one batch of rows and repaint,
//     and the time to save 100,000 rows to a transcript file.
#include "BenchSupport.h"
#include "MainWindow.h"
#include "RealSerialPort.h"
#include "SimProcess.h"
#include "Terminal.h"
#include "TerminalPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace cvi;

namespace {
// The real port, counting the lines in what the program read.
class CountingPort : public RealSerialPort {
public:
    static inline long lines = 0;
    static inline long bytes = 0;
    QByteArray read(int maxBytes) override {
        const QByteArray b = RealSerialPort::read(maxBytes);
        bytes += b.size();
        lines += b.count('\n');
        return b;
    }
};

// Answers the save dialog with a fixed file name.
class SavingOperator : public bench::QuietOperator {
public:
    QString file;
    QString saveFileName(const QString&, const QString&, const QString&) override { return file; }
};

using bench::cpuSeconds;
using bench::residentKiB;

QByteArray loopJson(int instruments, int baud) {
    QByteArray json = QStringLiteral("{\"baud\":%1,\"parity\":\"N\",\"answerDelay\":0,\"hopDelay\":0,"
                                     "\"instruments\":[")
                          .arg(baud)
                          .toLatin1();
    for (int i = 1; i <= instruments; ++i)
        json += QStringLiteral(
                    "%1{\"id\":\"%2\",\"streamingFromStart\":true,\"params\":{\"PR\":\"1\",\"TR\":\"4\"}}")
                    .arg(i > 1 ? "," : "")
                    .arg(i, 2, 10, QLatin1Char('0'))
                    .toLatin1();
    return json + "]}";
}

double since(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const int bigRows = argc > 2 ? std::atoi(argv[2]) : 300000;

    SimProcess cviSim;
    if (!cviSim.startWithConfig(loopJson(20, 19200))) {
        std::fprintf(stderr, "cvi-sim did not start\n");
        return 1;
    }
    QtRuntime runtime;
    SavingOperator op;
    AppState state;
    PortFactory ports;
    state.Link = LinkSettings::of(QStringLiteral("COM 1"), 19200, 'N');
    state.CommTimeout = state.ReadTimeout = state.MeasureTimeout = 1.0;
    ports.map.setDevice(1, cviSim.link);
    ports.maker = [](const QString&) { return std::make_unique<CountingPort>(); };
    MainWindow main(state, runtime, op, ports);
    installTerminalPage(main.host());
    main.show();
    auto* page = main.findChild<TerminalPage*>();
    main.findChild<QCheckBox*>(QStringLiteral("chkTimeStamp"))->setChecked(true);

    // 1. Listening.
    QElapsedTimer clock;
    double cpu0 = 0, cpu = 0, wall = 0, leftAt = 0, endedAt = 0;
    QTimer::singleShot(0, [&] {
        clock.start();
        cpu0 = cpuSeconds();
        main.panel()->setCurrentIndex(PageHost::Terminal);
    });
    // Looks every millisecond whether the loop has ended since the page was left.
    QTimer ended;
    ended.setInterval(1);
    QObject::connect(&ended, &QTimer::timeout, [&] {
        if (leftAt <= 0 || page->listening()) return;
        endedAt = since(clock);
        ended.stop();
        app.quit();
    });
    // Resident memory once a minute: after the first minute, the highest and the last.
    long rssMinute = 0, rssPeak = 0, rssEnd = 0;
    QTimer sampler;
    sampler.setInterval(60000);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        rssEnd = residentKiB();
        if (rssMinute == 0) rssMinute = rssEnd;
        rssPeak = std::max(rssPeak, rssEnd);
    });
    sampler.start();
    QTimer::singleShot(static_cast<int>(seconds * 1000), [&] {
        sampler.stop();
        rssEnd = residentKiB();
        rssPeak = std::max(rssPeak, rssEnd);
        leftAt = since(clock);
        main.panel()->setCurrentIndex(PageHost::Sampling);
        cpu = cpuSeconds() - cpu0;
        wall = leftAt;
        ended.start();
    });
    app.exec();
    const long rows = page->model().rowCount();
    std::printf(
        "Terminal page on 20 streaming instruments at 19200, time stamps on, %.0f s: %ld lines crossed "
        "the port (%ld bytes), %ld rows listed (%ld lost), %.1f lines/s\n",
        wall, CountingPort::lines, CountingPort::bytes, rows, CountingPort::lines - rows,
        CountingPort::lines / wall);
    std::printf("  processor: %.2f s over %.0f s, %.1f %% of one core; the loop ended %.1f ms after the page "
                "was left\n",
                cpu, wall, 100.0 * cpu / wall, 1000.0 * (endedAt - leftAt));
    if (rssMinute > 0)
        std::printf("  resident memory: %ld KiB after 1 min, %ld KiB at the end (%+ld KiB), peak %ld KiB\n",
                    rssMinute, rssEnd, rssEnd - rssMinute, rssPeak);
    cviSim.process.terminate();
    cviSim.process.waitForFinished(5000);
    for (const QByteArray& line : cviSim.process.readAllStandardOutput().trimmed().split('\n'))
        std::printf("  %s\n", line.constData());

    // 2. A long list: one batch added and shown, then 100,000 rows saved.
    QList<TerminalRow> batch;
    for (int i = 0; i < 500; ++i)
        batch.append({QStringLiteral("12/06/2026 13:40:07.042"), QStringLiteral("*0001  14.69590")});
    while (page->model().rowCount() < bigRows)
        page->model().append(batch);
    auto* view = main.findChild<QTableView*>(QStringLiteral("lstresponse"));
    QElapsedTimer t;
    t.start();
    page->model().append(batch);
    view->scrollToBottom();
    view->viewport()->repaint();
    std::printf("  list of %d rows: one batch of 500 added, scrolled and repainted in %.1f ms\n",
                page->model().rowCount(), 1000.0 * since(t));
    page->clear();
    while (page->model().rowCount() < 100000)
        page->model().append(batch);
    QTemporaryDir dir;
    op.file = dir.filePath(QStringLiteral("terminal.txt"));
    t.start();
    page->save();
    std::printf("  saving %d rows: %.1f ms, %lld bytes\n", page->model().rowCount(), 1000.0 * since(t),
                static_cast<long long>(QFileInfo(op.file).size()));
    return 0;
}
