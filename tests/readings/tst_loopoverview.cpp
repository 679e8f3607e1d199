// The Loop Overview on the simulated loop and clock: the table for a loop with a silent, a slow
// and a streaming instrument, late answers passed over, Exit while a reply is awaited, and a
// double-click choosing an instrument on the pages.
#include "../params/PageBench.h"
#include "Frames.h"
#include "LoopOverview.h"
#include "Readings.h"
#include "ScriptedPort.h"

#include <QTableWidget>

using namespace cvi;
using namespace cvi::test;

namespace {
// A window's serial object on a scripted line, open.
struct ScriptedLine {
    sim::VirtualClock clock;
    sim::SimRuntime runtime{clock};
    PortMap map;
    ScriptedPort* port = new ScriptedPort(clock);
    Link link{runtime, map, std::unique_ptr<ScriptedPort>(port)};
    ScriptedLine() { link.OpenPort(LinkSettings::of("COM 1", 9600, 'N')); }
};
} // namespace

class TestLoopOverview : public QObject {
    Q_OBJECT
private slots:
    // The loop's faults (03 streams with its MD unanswered: only its readings unasked tell), what the
    // operator does when, the rows then ("-" for no answer yet, "fresh" for one in the last two seconds,
    // "old"), and the instrument chosen afterwards.
    void rows_data() {
        table({"faults", "action", "rows", "chosen"},
              {{"silent and streaming", "02 silent|03 streams", "exit 12",
                "01 100001 5.10 psi 14.7 fresh answering|02 - silent|"
                "03 100003 5.10 psi 14.7 fresh streaming",
                "01"},
               {"late answer of 01 passed over", "01 slow", "exit 10",
                "01 100001 5.10 psi ---------- old silent|02 100002 5.10 psi 20.0 fresh answering", "01"},
               {"double-click on 02", "", "click 3",
                "01 100001 5.10 psi 14.7 fresh answering|02 100002 5.10 psi 20.0 fresh answering", "02"}});
    }
    void rows() {
        const auto [faults, action, rows, chosen] = cells("faults", "action", "rows", "chosen");
        sim::LoopConfig config = sim::LoopConfig::numbered(rows.count('|') + 1);
        config.instruments[1].pressurePsi = 20;
        config.instruments.last().streamingFromStart = faults.contains("03 streams");
        config.instruments[0].measurementSeconds = faults.contains("01 slow") ? 3.5 : 0.1;
        PageBench b(config);
        installReadingPages(b.host());
        b.main->RefreshIdLists();
        b.inst("02").faults().silent = faults.contains("02 silent");
        if (faults.contains("03 streams")) b.inst("03").faults().unanswered = {"MD"};
        QString seen, during;
        double clicked = -1;
        b.clock.at(action.section(' ', 1).toDouble(), [&] {
            auto* t = b.w<QTableWidget>("tblLoop");
            QStringList shown;
            for (int r = 0; r < t->rowCount(); ++r) {
                QStringList row;
                for (int c = 0; c < t->columnCount(); ++c) {
                    const QString cell = t->item(r, c)->text();
                    if (c == LoopOverview::Age && cell != "-")
                        row << (cell.toDouble() < 2 ? "fresh" : "old");
                    else if (c == LoopOverview::Pressure && isNumeric(cell))
                        row << QString::number(cell.toDouble(), 'f', 1);
                    else if (!cell.isEmpty())
                        row << cell;
                }
                shown << row.join(' ');
            }
            seen = shown.join('|');
            during = b.main->panel()->isHidden() && !b.actionEnabled("mnuFile") ? "off" : "on";
            if (action.startsWith("exit"))
                b.press("CmdExit");
            else
                emit t->cellDoubleClicked(1, LoopOverview::Pressure);
            clicked = b.clock.now();
        });
        b.main->action("mnuLoopOverview")->trigger();
        QCOMPARE(seen, rows);
        // Menus off and pages hidden while it read; everything back, and the port released,
        // within one poll of the click.
        QCOMPARE(during, "off");
        QVERIFY(clicked > 0 && b.clock.now() - clicked < 0.001);
        QVERIFY(!b.main->findChild<QWidget*>("frmLoopOverview") && !b.main->panel()->isHidden());
        QVERIFY(b.actionEnabled("mnuFile") && !b.loop->attached());
        // The click came while a reply was awaited: the line is owed it, the port let go.
        QVERIFY(!b.runtime.line(PortMap::Simulated).holder);
        QVERIFY(b.runtime.line(PortMap::Simulated).owedUntil > b.clock.now());
        QCOMPARE(b.w<QComboBox>("cboConfiguration")->currentText() + b.state.AddressPrefix,
                 chosen + "*" + chosen + "00");
        QVERIFY(b.op.messages.isEmpty());
        // An instrument is described once, a silent one asked again at each turn and never for
        // its pressure; the slow one gets the recovery's version request.
        const QStringList lines = b.lines();
        QCOMPARE(lines.count("*0100SN\r\n"), 1);
        QCOMPARE(lines.count("*0200SN\r\n") > 1, faults.contains("02 silent"));
        QCOMPARE(lines.count("*0200P3\r\n") > 0, !faults.contains("02 silent"));
        QCOMPARE(lines.count("**0100VR\r\n") > 0, faults.contains("01 slow"));
    }

    // The reader the overview and the live windows share, on a scripted line: what comes, what is
    // asked ("P3", or a parameter), Exit at once or not; the answer, the lines passed over, and
    // what the next open of the port lets pass before the next line is read.
    void reader_data() {
        table({"arriving", "ask", "exit", "answer", "passed", "next"},
              {{"a star restarts the line", "xx*00*0001 14.7", "P3", "", "*0001 14.7", "", ""},
               {"a bare LF breaks it", "*0001 14.7\n|*0001 15.0", "P3", "", "", "", ""},
               {"an endless line is broken", QString(5000, 'x') + "*0001 14.7", "P3", "", "", "", ""},
               {"another's line and a parameter passed over", "*0002 1.0|*0001VR=5.10|*0001 14.7", "P3", "",
                "*0001 14.7", "*0002 1.0|*0001VR=5.10", ""},
               {"a parameter's own answer only", "*0001 14.7|*0001SN=100001", "SN", "", "*0001SN=100001",
                "*0001 14.7", ""},
               {"Exit: the answer is owed", "*0001 14.7|*0001 15.0", "P3", "exit", "", "", "*0001 15.0"}});
    }
    void reader() {
        const auto [arriving, ask, exit, answer, passed, next] =
            cells("arriving", "ask", "exit", "answer", "passed", "next");
        ScriptedLine l;
        auto& [clock, runtime, map, port, link] = l;
        double at = 0.2;
        for (const QString& line : arriving.split('|'))
            port->arrive(at += 0.1, line.toLatin1() + (line.endsWith('\n') ? "" : "\r\n"));
        LiveReader reader(link, [&exit = exit] { return !exit.isEmpty(); });
        QStringList heard;
        reader.onPassedOver([&heard](const QString& l) { heard << l.trimmed(); });
        QCOMPARE(reader.ask("01", ask, 2.0, ask != "P3").trimmed(), answer);
        QCOMPARE(heard.join('|'), passed);
        if (exit.isEmpty()) return;
        link.ClosePort();
        link.OpenPort(LinkSettings::of("COM 1", 9600, 'N'));
        QCOMPARE(link.ReadInput(2.0).value_or("none").trimmed(), next);
    }

    // The recovery after a reading that did not come: true when characters came within the
    // pause, and then one second more for the rest of them; Exit ends it without that second.
    void recovery() {
        for (const bool exit : {false, true}) {
            ScriptedLine l;
            auto& [clock, runtime, map, port, link] = l;
            port->arrive(0.1, "*0001VR=5.10\r\n");
            LiveReader reader(link, [&clock, exit] { return exit && clock.now() > 0.2; });
            QCOMPARE(reader.recover("0100", 0.5), !exit);
            QVERIFY2(exit ? clock.now() < 0.6 : qAbs(clock.now() - 1.5) < 0.01,
                     qPrintable(QString::number(clock.now())));
            QCOMPARE(port->writtenBytes(), QByteArray("*0100VR\r\n"));
            QCOMPARE(link.InBufferCount(), 0);
        }
    }
};

QTEST_MAIN(TestLoopOverview)
#include "tst_loopoverview.moc"
