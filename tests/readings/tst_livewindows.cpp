// The live windows on the simulated loop and clock: choosing the instrument, the unit, the
// time-out and its spin button, the readings and their formatting, and the ways the loop ends.
#include "../params/PageBench.h"
#include "Frames.h"
#include "LiveTrend.h"
#include "PressureWindow.h"
#include "Readings.h"
#include "ScratchMount.h"

#include <QChart>
#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>
#include <QValueAxis>

using namespace cvi;
using namespace cvi::test;

namespace {
struct LiveBench : PageBench {
    QString seen; // the window's panels and the main window's state while it ran
    explicit LiveBench(const sim::LoopConfig& config) : PageBench(config) {
        installReadingPages(host());
        wire().clear();
    }
    // The menu item, window, extra panels and resolution button of `what` ("sensor", "atmo"; any
    // other: the Pressure window).
    static QStringList window(const QString& what) {
        const QString pressure = "CmdPressureResolution";
        if (what == "sensor")
            return {"mnuSensor", "frmSensor", "|PnlTemperature=|PnlTempUnit=|PnlPper=|PnlTper=", pressure};
        if (what == "atmo")
            return {"mnuAtmo3", "frmAtmo3Display", "|PnlTemperature=|PnlHumidity=", "cmdResolution"};
        return {"mnuPressure", "frmPressure", "", pressure};
    }
    // The menu item with `answer` at the prompt; `after` seconds on, the operator does `what`
    // ("exit", "close"; "low", "silent" or a window's name, then Exit 1.5, 4 or 12.5 s later;
    // "spin" down twice from 0.05 and up once, then Exit), the panels noted just before. Returns
    // the seconds the window ran after that.
    double open(const QString& answer, double after, const QString& what) {
        op.answers.enqueue(answer);
        double end = -1;
        const QStringList win = window(what);
        auto note = [this, what, win, &end] {
            seen = mismatches("PnlID=|PnlPressure=|PnlPressureUnit=|PnlTimeout=" + win[2]) + ", " +
                   w<QPushButton>(win[3])->text() +
                   (main->panel()->isHidden() && !actionEnabled("mnuFile") ? "" : " usable");
            if (what == "close") main->findChild<QWidget*>(win[1])->close();
            if (what != "close") press("CmdExit");
            end = clock.now();
        };
        clock.at(clock.now() + after, [this, what, win, note] {
            if (!main->findChild<QWidget*>(win[1])) return;
            if (what == "spin") state.MeasureTimeout = 0.05;
            for (const char* arrow : {"down", "down", "up"}) // each press is one step
                if (what == "spin") w<QToolButton>(arrow)->click();
            if (what != "low" && what != "silent" && win[2].isEmpty()) return note();
            if (what == "silent") inst("01").faults().silent = true; // no reply: the recovery
            if (what == "low") press("CmdPressureResolution");
            clock.at(clock.now() + (what == "low" ? 1.5 : win[2].isEmpty() ? 4.0 : 12.5), note);
        });
        main->action(win[0])->trigger();
        return end < 0 ? -1 : clock.now() - end;
    }
};
} // namespace

class TestLiveWindows : public QObject {
    Q_OBJECT
private slots:
    void formatting() {
        const char* rows[][3] = {{"100", "Low", "100"}, {"14.7012", "Low", "14.701"}, {"14.7", "Low", "14"},
                                 {"-.5", "Low", "-0"},  {"-.5", "High", "-0.5"},      {".5", "High", "0.5"},
                                 {"0.5", "High", "0.5"}};
        for (const auto& r : rows)
            QCOMPARE(live::reading(r[0], r[1]), QString(r[2]));
        QCOMPARE(live::unitText("6") + live::unitText("8") + live::unitText("9") + live::unitText("0"),
                 "in Hgm H2O");
    }

    // The plot keeps the last minutes, thins what it draws without losing a peak and never scales
    // noise up to fill the plot; the statistics follow the values shown and start again on Reset.
    void trend() {
        const double ranges[][4] = {{14.69610, 14.69612, 14.6880, 14.7042},
                                    {0, 0, -0.00055, 0.00055},
                                    {10, 20, 9.5, 20.5},
                                    {-1000, -1000, -1000.55, -999.45}};
        for (const auto& r : ranges) {
            const auto [lo, hi] = LiveTrend::verticalRange(r[0], r[1]);
            QVERIFY2(qAbs(lo - r[2]) < 1e-4 && qAbs(hi - r[3]) < 1e-4, qPrintable(QString::number(r[0])));
        }
        LiveTrend t(nullptr);
        const int p = t.addQuantity("Pressure");
        t.addQuantity("Humidity");
        for (const char* v : {"14.7012", "14.70", "----------", "", "-0.5"})
            t.add(p, 1, v);
        const live::ReadingStats& s = t.stats(p);
        QCOMPARE(QStringList({QString::number(s.count), s.minText, s.maxText, s.mean()}).join(' '),
                 "3 -0.5 14.7012 9.6337");
        t.reset();
        QCOMPARE(t.stats(p).count, 0);
        for (int i = 0; i <= 1000; ++i) // a reading a second for 1000 s: the last 300 s are drawn
            t.add(p, i, QString::number(1 + i % 7 * 0.001));
        t.redraw();
        QCOMPARE(t.plotted(), 301);
        for (int i = 0; i < 20000; ++i) // 20 readings a second: thinned, the spike still drawn
            t.add(p, 1001 + i * 0.05, i == 18000 ? "7" : "1");
        t.redraw();
        auto* y = qobject_cast<QValueAxis*>(t.chart()->axes(Qt::Vertical).at(0));
        QVERIFY(t.plotted() <= LiveTrend::MostPlotted + 2 && y->max() > 7 && y->min() < 1);
        QCOMPARE(t.stats(p).count, 21001);
        const QDateTime at(QDate(2026, 12, 6), QTime(14, 37, 1, 23), Qt::OffsetFromUTC, 3600);
        QCOMPARE(live::csvLine(at, "01", "Pressure", " 14.7", "in, \"Hg\""),
                 "2026-12-06T14:37:01.023+01:00,01,Pressure,14.7,\"in, \"\"Hg\"\"\"");
    }

    // Record, from a pass's end on, writes each value shown with its unit, flushed as it goes;
    // "Stop recording" closes the file; a file that cannot be written, or no longer can (its disk
    // full, its folder removed), is said once, keeps every whole line written, and the window
    // keeps reading.
    void recording_data() {
        table({"file", "told"},
              {{"written", "readings.csv", ""},
               {"no such folder", "missing/readings.csv",
                "Can't record to %P: No such file or directory. The window keeps reading without recording."},
               {"disk full", "full", "Can't write to %P: No space left on device. %N"},
               {"folder removed", "removed",
                "Can't write to %P: the file was deleted or its folder removed. %N"}});
    }
    void recording() {
        const auto [file, told] = cells("file", "told");
        const bool fault = !file.endsWith(".csv");
        std::unique_ptr<ScratchMount> disk;
        if (fault) {
            disk = std::make_unique<ScratchMount>(64);
            if (!disk->ok()) QSKIP(qPrintable(disk->why()));
            QVERIFY(QDir(disk->path()).mkdir("rec") && (file != "full" || disk->fill(1)));
        }
        QTemporaryDir dir;
        const QString path = fault ? disk->filePath("rec/readings.csv") : dir.filePath(file);
        sim::LoopConfig config = PageBench::withParams("");
        // Fast enough to fill the one page left on the full disk.
        config.instruments[0].measurementSeconds = file == "full" ? 0.02 : 0.1;
        LiveBench b(config);
        b.op.saveAnswer = path;
        // The readings on the line so far, as the window shows them.
        auto readings = [&b] {
            QStringList shown = QString::fromLatin1(b.wire().received()).split("\r\n");
            shown.removeLast(); // a reply still arriving
            shown = shown.filter(QRegularExpression("^\\*0001 *-?[0-9.]+$"));
            for (QString& line : shown)
                line = live::reading(ReplyNumber(line += "\r\n"), live::High);
            return shown;
        };
        QStringList inFile;
        qint64 counted = 0;
        qsizetype readAtStop = 0;
        b.clock.at(b.clock.now() + 2, [&] {
            b.press("cmdRecord");
            if (file == "removed")
                b.clock.at(b.clock.now() + 1, [&] { QDir(disk->filePath("rec")).removeRecursively(); });
            b.clock.at(b.clock.now() + (file == "full" ? 5 : 3), [&] {
                auto* window = b.main->findChild<PressureWindow*>();
                if (window->recording()) b.press("cmdRecord"); // stop: nothing more is written
                QFile f(path);
                if (f.open(QIODevice::ReadOnly)) inFile = QString::fromUtf8(f.readAll()).split('\n');
                counted = window->trend().stats(0).count;
                readAtStop = readings().size();
                b.clock.at(b.clock.now() + 2, [&] { b.press("CmdExit"); });
            });
        });
        b.main->action("mnuPressure")->trigger();
        const QStringList shown = readings();
        QVERIFY(counted >= readAtStop - 1 && counted <= readAtStop && readAtStop > 20);
        QVERIFY(shown.size() > readAtStop + 5); // reading on until Exit
        QCOMPARE(b.op.saveRequests, QStringList{"Record readings|CSV files (*.csv)|*.csv|"});
        const QString native = QDir::toNativeSeparators(path);
        QCOMPARE(b.told(), told.isEmpty()
                               ? told
                               : "Record: " + QString(told)
                                                  .replace("%P", native)
                                                  .replace("%N", "The readings are no longer recorded."));
        if (file == "removed" || file.contains('/')) {
            QVERIFY(inFile.isEmpty());
            return;
        }
        QCOMPARE(inFile.takeFirst(), live::CsvHeader);
        QCOMPARE(inFile.takeLast(), ""); // the last line is whole
        QVERIFY(inFile.size() > 10 && inFile.size() < readAtStop);
        const QRegularExpression form(
            "^20\\d\\d-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}([+-]\\d\\d:\\d\\d|Z),01,Pressure,"
            "([-0-9.]+),psi$");
        QStringList values;
        for (const QString& line : inFile) {
            const auto m = form.match(line);
            QVERIFY2(m.hasMatch(), qPrintable(line));
            values << m.captured(2);
        }
        // The recorded values are consecutive readings, each once, in the order read; on the full
        // disk, as many as its one page held.
        QVERIFY2(shown.join(',').contains(values.join(',')), qPrintable(values.join(',')));
        if (fault) QVERIFY(QFileInfo(path).size() > 4000 && QFileInfo(path).size() <= 4096);
    }

    // IDs present (n numbered from 01), params of 01, the answer typed, what the operator does,
    // the panels then, what he was told, and the first lines written.
    void session_data() {
        table(
            {"n", "params", "answer", "what", "seen", "told", "lines"},
            {{"one instrument: no prompt", "1", "", "", "exit",
              "PnlID=Instrument ID : 01, PnlPressure=14.6961, PnlPressureUnit=psi, PnlTimeout=3.00, High", "",
              "*|*0100UN|**0100PR|**0100TR|**0100T1|*|*0100P3"},
             {"7 reads 07", "8", "", "7", "exit",
              "PnlID=Instrument ID : 07, PnlPressure=14.6961, PnlPressureUnit=psi, PnlTimeout=3.00, High", "",
              "*|*0700UN|**0700PR|**0700TR|**0700T1|*|*0700P3"},
             {"0", "8", "", "0", "", "", "User Error: InValid Entry!", ""},
             {"123", "8", "", "123", "", "", "User Error: Invalid Entry!", ""},
             {"absent", "8", "", "9", "", "", "Warning: This ID is not connected to the computer.", ""},
             {"cancelled", "8", "", "", "", "", "", ""},
             {"user unit, low", "1", "UN=0", "", "low",
              "PnlID=Instrument ID : 01, PnlPressure=14.696, PnlPressureUnit=USER, PnlTimeout=3.00, Low", "",
              "*|*0100UN|*0100UM|**0100PR"},
             {"01 falls silent", "1", "", "", "silent",
              "PnlID=Instrument ID : 01, PnlPressure=----------, PnlPressureUnit=psi, PnlTimeout=3.00, High",
              "", "*|*0100UN"},
             {"spin at 0.05", "1", "", "", "spin",
              "PnlID=Instrument ID : 01, PnlPressure=14.6961, PnlPressureUnit=psi, PnlTimeout=0.10, High", "",
              "*|*0100UN"},
             {"frame closed", "1", "", "", "close",
              "PnlID=Instrument ID : 01, PnlPressure=14.6961, PnlPressureUnit=psi, PnlTimeout=3.00, High", "",
              "*|*0100UN"},
             {"no Q1 reply", "1", "", "", "sensor",
              "PnlID=Instrument ID : 01, PnlPressure=14.6964, PnlPressureUnit=psi, PnlTimeout=3.00, "
              "PnlTemperature=22.51, PnlTempUnit=deg C, PnlPper=32.137626, PnlTper=----------, High",
              "",
              "*|*0100UN|*0100TU|**0100PR|**0100TR|**0100T1|*|*0100P3|*0100Q3|*0100P1|*0100Q1|**0100VR|*"
              "0100P3"},
             {"Atmo 3 at 03", "demo", "", "3", "atmo",
              "PnlID=Instrument ID : 03, PnlPressure=14.6024, PnlPressureUnit=psi, PnlTimeout=3.00, "
              "PnlTemperature=18.3, PnlHumidity=45.2, High",
              "", "*|*0300UN|*|**0300PR|**0300TR|**0300T1|*|*0300P3|*0300TT|*0300RH"}});
    }
    void session() {
        const auto [n, params, what] = fetch<QString, QString, QString>("n", "params", "what");
        sim::LoopConfig config = PageBench::withParams(params);
        config = n == "1"      ? config
                 : n == "demo" ? sim::LoopConfig::demo()
                               : sim::LoopConfig::numbered(n.toInt());
        if (what == "sensor") config.instruments[0].faults.unanswered = {"Q1"};
        LiveBench b(config);
        b.state.AddressPrefix = "*0100";
        QFETCH(QString, answer);
        const double ran = b.open(answer, 2.0, what);
        QTEST(b.seen, "seen");
        QTEST(b.told(), "told");
        QFETCH(QString, lines);
        QCOMPARE(b.lines().mid(0, lines.isEmpty() ? 99 : items(lines).size()), written(lines));
        QCOMPARE(b.op.asked.size(), n == "1" ? 0 : 1);
        if (n != "1")
            QCOMPARE(b.op.asked[0].title + "|" + b.op.asked[0].defaultAnswer, "Pressure Reading|01");
        // Exit ends the loop within one poll, while a reply is awaited too: no further line.
        if (what == "exit" || what == "close") QVERIFY(ran >= 0 && ran < 0.001);
        QVERIFY(!b.main->findChild<QWidget*>(LiveBench::window(what)[1]) && !b.main->panel()->isHidden());
        QVERIFY(b.actionEnabled("mnuFile") && b.actionEnabled("mnuHelp") && b.enabled("cmdSamplingStart"));
        QCOMPARE(b.state.AddressPrefix, "*0100");
        if (what == "spin") QCOMPARE(b.state.ReadTimeout, 0.1);
        QCOMPARE(b.lines().count("**0100VR\r\n"), what == "silent" ? 1 : what == "sensor" ? 2 : 0);
    }
};

QTEST_MAIN(TestLiveWindows)
#include "tst_livewindows.moc"
