// The Startup dialog on simulated loops: what it shows and publishes, its failures, Cancel in the
// middle of a detection, cvi.ini, and the mode warning with what its buttons leave behind.
#include "DiscoveryBench.h"
#include "Frames.h"
#include "ModeWarning.h"
#include "Pointer.h"
#include "Tables.h"

#include <QTest>

using namespace cvi;
using namespace cvi::test;

Q_DECLARE_METATYPE(sim::LoopConfig)

namespace {
struct Detection {
    sim::LoopConfig config;
    // The parity and data bits panels ("|"), the parity and the identifier of each report line, the
    // instrument count, CommTimeout (500 / rate x count + 0.2), the last probe wait, and IDList if not `ids`.
    QString panels, letters, ids;
    int count;
    QString commTimeout, probeWait, idList = {};
};
struct ModeCase {
    sim::LoopConfig config;
    QString button, modeList, records;
    QString mdAfter;     // MD of 01, 02 and 03 afterwards
    QString unread = {}; // the instrument whose MD could not be read
};

QString warningFor(const QString& records) {
    return "Corvanel Interactive detected unexpected data !...\n"
           "The mode (MD) parameter(s) for the instrument(s) in continuous mode; " +
           records + "\n To use CVI reliably, you should choose one of the options below.";
}

// The text colour of each option's label and button: Exit, MD=0, MD=1.
QString optionColours(QDialog& d) {
    QStringList out;
    for (const char* name : {"lblExit", "CmdExit", "lblMD0", "cmdMD0Accept", "lblMD1", "cmdMD1Accept"})
        out << child(d, name)
                   ->palette()
                   .color(name[0] == 'l' ? QPalette::WindowText : QPalette::ButtonText)
                   .name();
    return out.join(' ');
}

QString published(const AppState& s) {
    return s.IDList + " " + QString::number(s.InstrumentCount) + " " + fixedText(s.CommTimeout);
}
} // namespace
Q_DECLARE_METATYPE(Detection)
Q_DECLARE_METATYPE(ModeCase)

class TestSystemCheck : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setEndProgramHook([this] { ++programEnds; });
    }

    void openingAndCviIni_data() {
        columns<QByteArray, QString>("content", "port");
        const std::pair<QByteArray, const char*> rows[] = {
            {"4\r\n", "COM 4"},   {"2\r\n4\r\n", "COM 2"},
            {"3", "COM 3"},       {"0\r\n", "COM 1"},
            {"7\r\n", "COM 1"},   {"x\r\n", "COM 1"},
            {"2.5\r\n", "COM 1"}, {"", "COM 1"},
            {"<none>", "COM 1"},  {QByteArray(100000, '\x04'), "COM 1"}};
        for (const auto& [content, port] : rows)
            QTest::newRow(("ini " + content.left(8).toPercentEncoding()).constData())
                << content << QString(port);
    }
    void openingAndCviIni() {
        const auto [content, port] = fetch<QByteArray, QString>("content", "port");
        DiscoveryBench t;
        if (content != "<none>") t.writeIni(content);
        frmSystemCheck dlg(t.host());
        auto* ports = child<QComboBox>(dlg, "LstPortID");
        QCOMPARE(QString::number(ports->count()) + " " + ports->currentText() + " " + t.state().PortName(),
                 "4 " + port + " " + port);
        QVERIFY(t.state().StartupFlag == "No" && t.b.op.messages.isEmpty());
        QCOMPARE(text(dlg, "lblMessage"), "Please start the system check!");
        QCOMPARE(controls(dlg), "LstPortID cmdStart CmdOK- CmdCancel");
    }

    void detect_data() {
        QTest::addColumn<Detection>("d");
        const char* rates[][3] = {{"19200", "0.28", "2.5"}, {"9600", "0.36", "2.5"}, {"4800", "0.51", "2.5"},
                                  {"2400", "0.83", "3.5"},  {"1200", "1.45", "4"},   {"600", "2.70", "5.5"},
                                  {"300", "5.20", "10.5"}};
        for (const auto& r : rates)
            QTest::newRow(r[0]) << Detection{
                numbered(3, QByteArray(r[0]).toInt()), "N|8", "NNN", "010203", 3, r[1], r[2]};
        QTest::newRow("even") << Detection{numbered(2, 9600, 'E'), "Even|7", "EE", "0102", 2, "0.30", "2.5"};
        QTest::newRow("odd") << Detection{numbered(2, 2400, 'O'), "Odd|7", "OO", "0102", 2, "0.62", "3.5"};
        sim::LoopConfig mixed = numbered(2, 9600, 'E');
        mixed.instruments[1].parity = 'O';
        mixed.transparentRepeat = true;
        QTest::newRow("mixed") << Detection{mixed, "Mixed|Mixed", "EO", "0102", 2, "0.30", "2.5"};
        QTest::newRow("one") << Detection{numbered(1), "N|8", "N", "01", 1, "0.25", "2.5"};
        // Identifiers that overlap when the list is read as one text are still each listed; one twice
        // gives two report lines and one list entry.
        sim::LoopConfig ids = numbered(4);
        for (int i = 0; i < 4; ++i)
            ids.instruments[i].id = QStringLiteral("01101110").mid(2 * i, 2);
        QTest::newRow("01 10 11 10") << Detection{ids, "N|8", "NNNN", "01101110", 4, "0.41", "2.5", "011011"};
        // The broadcast never comes back: the lines read count as instruments, less that broadcast.
        sim::LoopConfig broken = numbered(3);
        broken.broken = true;
        QTest::newRow("broken") << Detection{broken, "N|8", "NNN", "010203", 2, "0.30", "2.5"};
        QString all;
        for (int i = 1; i <= 98; ++i)
            all += QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        QTest::newRow("98") << Detection{numbered(98, 9600), "N|8", QString(98, 'N'), all, 98, "5.30", "2.5"};
    }
    void detect() {
        QFETCH(Detection, d);
        DiscoveryBench t(d.config);
        frmSystemCheck dlg(t.host());
        click(dlg, "cmdStart");
        // The scan stops as its broadcast comes back (or waits its 1.5 s for it); the mode check
        // listens for two seconds, hears nothing and asks nothing.
        const double took = t.b.clock.now() - t.b.wire().timeOfWrite("**9900VR\r\n");
        const double quiet = t.b.clock.now() - t.b.wire().events().last().time;
        QVERIFY2(d.config.broken ? took >= 3.5 && took < 3.7 : quiet >= 2.0 - 1e-9 && quiet < 2.05,
                 qPrintable(QStringLiteral("%1 %2").arg(took).arg(quiet)));
        QCOMPARE(text(dlg, "lblMessage"), "Checking the mode of the instrument(s).  Please Wait !...");

        const QString rate = QString::number(d.config.baud);
        QCOMPARE(t.linkText(), rate + "," + d.letters.right(1) + (d.letters.endsWith('N') ? ",8" : ",7"));
        QCOMPARE(published(t.state()), (d.idList.isEmpty() ? d.ids : d.idList) + " " +
                                           QString::number(d.count) + " " + d.commTimeout);
        QCOMPARE(t.state().ReadTimeout, d.commTimeout.toDouble() + 2); // read and measure: two seconds longer
        QCOMPARE(t.state().MeasureTimeout, d.commTimeout.toDouble() + 2);
        QCOMPARE(child<QGroupBox>(dlg, "frmContainer")->title(), "Result");
        QString report = "       ID              Parity          Software Version\n"
                         "       ==             ======          ============\n";
        for (int i = 0; i < d.letters.size(); ++i) // identifier, parity and version in their columns
            report += QString(7, ' ') + d.ids.mid(2 * i, 2) + QString(17, ' ') + d.letters[i] +
                      QString(20, ' ') + "5.10\n";
        QCOMPARE(text(dlg, "PnlPort PnlBaudRate PnlParity PnlDataBits lblTimeout txtReport"),
                 "COM 1|" + rate + "|" + d.panels + "|" + d.probeWait + "|" + report);
        QCOMPARE(controls(dlg), "LstPortID txtReport cmdStart- CmdOK CmdCancel");
        QVERIFY(!pointerIsBusy() && t.b.op.messages.isEmpty() && t.b.op.dialogsRun.isEmpty());
        QVERIFY(!t.b.loop->attached());
        child<QComboBox>(dlg, "LstPortID")->setCurrentIndex(1); // another port forgets all of it
        QCOMPARE(text(dlg, "lblMessage PnlBaudRate") + " " + controls(dlg),
                 "Please start the system check!| LstPortID cmdStart CmdOK- CmdCancel");
    }

    // Detections that find nothing. Seen: the status line, the report's first line, the controls,
    // the main window's left panel and the messages shown.
    // Permission denied says what to do; the close box acts as problem OK while Cancel is off.
    void nothingFound_data() {
        // state: IDList, count, CommTimeout
        columns<int, QString, QString>("kind", "seen", "state");
        const QString noPort = "There is no instrument at this port!||LstPortID cmdStart CmdOK- "
                               "CmdCancel|Please choose a different port !|",
                      why = "Error ! [!] Add your user to the 'dialout' group.";
        const QString silent =
            "Please Wait !...|Due to communication problems, the instruments in the loop can "
            "not be detected!!|LstPortID txtReport cmdStart- cmdProblemOK CmdCancel-||";
        QTest::newRow("device missing") << 0 << noPort << " 0 0.00";
        QTest::newRow("permission denied") << 1 << noPort + why << " 0 0.00";
        QTest::newRow("lost during the probe") << 2 << noPort << " 0 0.00";
        QTest::newRow("lost while writing modes") << 3 << noPort << "";
        QTest::newRow("loop echoes, nobody answers")
            << 4 << "There is no Corvanel Instrument at this port!||LstPortID cmdStart CmdOK- CmdCancel||"
            << " 0 0.20";
        QTest::newRow("silent line, problem OK") << 5 << silent << " 0 0.00";
        QTest::newRow("silent line, close box") << 6 << silent << " 0 0.00";
    }
    void nothingFound() {
        const auto [kind, seen, state] = fetch<int, QString, QString>("kind", "seen", "state");
        sim::LoopConfig c = numbered(2);
        c.instruments[1].streamingFromStart = kind == 3;
        for (auto& i : c.instruments)
            i.faults.silent = kind == 4;
        DiscoveryBench t(c);
        if (kind < 2) {
            const auto error = kind == 0 ? PortError::Kind::Unavailable : PortError::Kind::PermissionDenied;
            t.b.ports.maker = [error](const QString&) -> std::unique_ptr<SerialPort> {
                throw PortError(error, QStringLiteral("Add your user to the 'dialout' group."));
            };
        } else if (kind == 2) {
            t.scriptedPorts([](ScriptedPort& p) { p.loseAt(1.0); });
        } else if (kind == 3) { // the failure reaches the detection once the warning is gone
            t.onDialog([&t](QDialog& d) {
                t.b.loop->loseDevice();
                click(d, "cmdMD0Accept");
            });
        } else if (kind > 4) {
            t.scriptedPorts();
        }
        frmSystemCheck dlg(t.host());
        click(dlg, "cmdStart");
        if (kind < 4) QVERIFY(t.b.clock.now() < (kind == 3 ? 10 : 1.1)); // not the rest of the rates
        QCOMPARE(QStringList({text(dlg, "lblMessage"), text(dlg, "txtReport").section('\n', 0, 0),
                              controls(dlg), t.left()->text(), t.messages().join(';')})
                     .join('|'),
                 seen);
        if (!state.isEmpty()) QCOMPARE(published(t.state()), state);
        QVERIFY(!pointerIsBusy());
        if (kind < 5) return;
        QCOMPARE(text(dlg, "txtReport"),
                 "Due to communication problems, the instruments in the loop can not be detected!!\n"
                 "This might be because of;\na) A bad connection or,\nb) Mixed baud rate in the loop.\n"
                 "c) An instrument bursting data in the loop.\nPlease check these parameters and retry...");
        QCOMPARE(text(dlg, "PnlBaudRate PnlParity PnlDataBits") + " " + t.linkText(), "|| ,,");
        // Closing it the only way left remembers the port but does not finish start-up.
        if (kind == 6)
            dlg.reject();
        else
            click(dlg, "cmdProblemOK");
        QCOMPARE(t.readIni(), QByteArray("1\r\n"));
        QCOMPARE(t.left()->text(), "Select startup to establish communication!");
        QCOMPARE(t.state().StartupFlag, "No");
    }

    void cancelDuringDetection_data() {
        // last: written before the click
        columns<sim::LoopConfig, double, QString>("config", "at", "last");
        sim::LoopConfig slow = numbered(3, 2400);
        QTest::newRow("probe at 19200") << slow << 0.1 << "*9900VR";
        QTest::newRow("probe, later rates") << slow << 1.1 << "*9900VR";
        sim::LoopConfig broken = numbered(3);
        broken.broken = true;
        QTest::newRow("scan") << broken << 1.5 << "**9900VR\r\n";
        QTest::newRow("mode listen") << numbered(3) << 2.0 << "**9900VR\r\n";
        sim::LoopConfig streaming = numbered(3);
        streaming.instruments[1].streamingFromStart = true;
        QTest::newRow("mode reads") << streaming << 3.4 << "**0200MD\r\n";
        QTest::newRow("silent line, waiting for an echo at 9600") << numbered(3) << 4.0 << "";
    }
    void cancelDuringDetection() {
        const auto [config, at, last] = fetch<sim::LoopConfig, double, QString>("config", "at", "last");
        const QString what = QTest::currentDataTag();
        DiscoveryBench t(config);
        t.state().IDList = "0102"; // from an earlier detection
        ScriptedPort* port = nullptr;
        if (what.startsWith("silent")) t.scriptedPorts([&port](ScriptedPort& p) { port = &p; });
        frmSystemCheck dlg(t.host());
        const double start = t.b.clock.now();
        t.b.clock.at(start + at, [&dlg] { click(dlg, "CmdCancel"); });
        click(dlg, "cmdStart");
        // The detection ends at the click, or at the end of a fixed delay it was in.
        QVERIFY(t.b.clock.now() <= start + at + 2.01 && !t.b.loop->attached());
        if (port) // at once, not after the remaining 30 seconds of rates
            QVERIFY(t.b.clock.now() < start + at + 0.01 && !port->isOpen());
        t.b.idle(30);
        for (const auto& w : t.b.wire().writes()) // nothing written after the click
            QVERIFY2(w.time <= start + at, w.bytes.constData());
        QCOMPARE(t.state().StartupFlag + "|" + t.state().IDList, "Yes|");
        QCOMPARE(t.left()->text(), "Select startup to establish communication!");
        QVERIFY(t.b.op.dialogsRun.isEmpty() && !pointerIsBusy());
        QCOMPARE(t.b.wire().writtenTexts().join('|').section('|', -1), last);
        if (what == "scan") QCOMPARE(t.state().BaudRate(), QString());
    }

    void modeCheck_data() {
        QTest::addColumn<ModeCase>("m");
        // 01 answers MD=1 and is not listed; 03 answers, but after the 0.7 s the mode read waits.
        sim::LoopConfig late = numbered(3);
        late.instruments[0].params.insert("MD", "1");
        late.instruments[1].streamingFromStart = true;
        late.instruments[2].faults.slowSeconds = 1.0;
        QTest::newRow("02 streams, 03 too late, MD=0")
            << ModeCase{late, "cmdMD0Accept", "022", "ID=02-->MD=2  ", "100", "03"};
        // At the parity the scan found; 03 does not stream but is listed for its MD=3.
        sim::LoopConfig even = numbered(3, 4800, 'E');
        even.instruments[0].streamingFromStart = true;
        even.instruments[2].params.insert("MD", "3");
        QTest::newRow("01 streams, 03 has MD=3, even parity, MD=1")
            << ModeCase{even, "cmdMD1Accept", "012033", "ID=01-->MD=2  ID=03-->MD=3  ", "101"};
        sim::LoopConfig exit = numbered(3);
        exit.instruments[0].streamingFromStart = true;
        QTest::newRow("exit") << ModeCase{exit, "CmdExit", "012", "ID=01-->MD=2  ", "200"};
    }
    void modeCheck() {
        QFETCH(ModeCase, m);
        const auto& [config, button, modeList, records, mdAfter, unread] = m;
        DiscoveryBench t(config);
        frmSystemCheck dlg(t.host());
        t.onDialog([&](QDialog& d) {
            QCOMPARE(text(d, "txtWarning"), warningFor(records));
            // Hovering over an option's text or button turns both red, the other options black.
            QEvent enter(QEvent::Enter);
            QCoreApplication::sendEvent(child(d, "lblMD1"), &enter);
            QCOMPARE(optionColours(d), "#000000 #000000 #000000 #000000 #ff0000 #ff0000");
            QCoreApplication::sendEvent(child(d, "CmdExit"), &enter);
            QCOMPARE(optionColours(d), "#ff0000 #ff0000 #000000 #000000 #000000 #000000");
            QTest::keyClicks(child(d, "txtWarning"), "abc"); // typing into the explanation changes nothing
            QTest::keyClick(child(d, "txtWarning"), Qt::Key_Delete);
            QCOMPARE(text(d, "txtWarning"), warningFor(records));
            click(d, button);
        });
        const int ends = programEnds;
        click(dlg, "cmdStart");
        QCOMPARE(t.messages().join(""),
                 unread.isEmpty() ? QString()
                                  : ProgramTitle + " [!] Can't detect the MD value for ID=" + unread +
                                        ". If MD=2,3 for this ID, you should change it to 1,2.");
        QCOMPARE(t.b.op.dialogsRun, QStringList{"frmModeWarning"});
        QCOMPARE(t.state().ModeList, modeList); // kept after the new values are written
        const bool exit = button == "CmdExit";
        QCOMPARE(programEnds - ends, exit ? 1 : 0);
        QCOMPARE(t.b.inst("01").param("MD") + t.b.inst("02").param("MD") + t.b.inst("03").param("MD"),
                 mdAfter);
        t.b.idle(5);
        QCOMPARE(t.b.inst(modeList.left(2)).streaming(), exit);
        QCOMPARE(text(dlg, "lblMessage"),
                 exit ? QStringLiteral("Unexpected Data Detected.  Please Wait !...")
                      : QStringLiteral("Changing instrument parameters.  Please Wait !..."));
        QCOMPARE(controls(dlg), "LstPortID txtReport cmdStart- CmdOK CmdCancel");
        QVERIFY(!t.b.loop->attached());
        QCOMPARE(t.readIni(), QByteArray("<missing>"));
        // A broken last record is left out of the explanation.
        QCOMPARE(frmModeWarning::warningText("0130529").replace("\r\n", "\n"),
                 warningFor("ID=01-->MD=3  ID=05-->MD=2  "));
    }

private:
    int programEnds = 0;
};

QTEST_MAIN(TestSystemCheck)
#include "tst_systemcheck.moc"
