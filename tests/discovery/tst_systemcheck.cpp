// The Startup dialog on simulated loops: the baud probe, the version broadcast, what the dialog
// shows and publishes, its failures, Cancel in the middle of a detection, cvi.ini, and the mode
// check at the end of a detection with the warning and what its buttons write.
#include "DiscoveryBench.h"
#include "Frames.h"
#include "ModeWarning.h"
#include "Pointer.h"
#include "RealSerialPort.h"

#include <QTest>

using namespace cvi;
using namespace cvi::test;

Q_DECLARE_METATYPE(sim::LoopConfig)

namespace {
struct Detection {
    sim::LoopConfig config;
    // The parity and data bits panels ("|"), the parity and the identifier of each report line, CommTimeout
    // (500 / rate x instruments + 0.2), the last probe wait, still shown, and IDList if not `ids`.
    QString panels, letters, ids, commTimeout, probeWait, idList = {};
};
struct ModeCase {
    sim::LoopConfig config;
    QString button, modeList, records;
    QString mdWrites;    // the lines written, separated by |
    QString unread = {}; // the instrument whose MD could not be read
};

// The probe's two writes for each rate tried, down to `rate`, then the version broadcast.
QStringList probeAndScan(const QString& rate) {
    QStringList out;
    for (const char* r : {"19200", "9600", "4800", "2400", "1200", "600", "300"}) {
        out << "*9900VR" << QStringLiteral("*00");
        if (r == rate) break;
    }
    return out << "**9900VR\r\n";
}

sim::LoopConfig withIds(const QStringList& ids) {
    sim::LoopConfig c = numbered(static_cast<int>(ids.size()));
    for (int i = 0; i < ids.size(); ++i)
        c.instruments[i].id = ids[i];
    return c;
}

QString warningFor(const QString& records) {
    return "Corvanel Interactive detected unexpected data !...\n"
           "The mode (MD) parameter(s) for the instrument(s) in continuous mode; " +
           records + "\n To use CVI reliably, you should choose one of the options below.";
}

// The colour of each option's text and button, Exit, MD=0, MD=1 ("?" when the two differ).
QString optionColours(QDialog& d) {
    QStringList out;
    for (const auto& [label, button] :
         {std::pair{"lblExit", "CmdExit"}, {"lblMD0", "cmdMD0Accept"}, {"lblMD1", "cmdMD1Accept"}}) {
        const QColor c = child(d, label)->palette().color(QPalette::WindowText);
        const bool same = c == child(d, button)->palette().color(QPalette::ButtonText);
        out << (!same ? "?" : c == QColor(255, 0, 0) ? "red" : c == QColor(0, 0, 0) ? "black" : c.name());
    }
    return out.join(' ');
}

QStringList wireTexts(const QList<sim::WireEvent>& events) {
    QStringList out;
    for (const auto& e : events)
        out << QString::fromLatin1(e.bytes);
    return out;
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
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("port");
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
        QFETCH(QByteArray, content);
        QFETCH(QString, port);
        DiscoveryBench t;
        if (content != "<none>") t.writeIni(content);
        frmSystemCheck dlg(t.host());
        auto* ports = child<QComboBox>(dlg, "LstPortID");
        QCOMPARE(ports->count(), 4);
        QCOMPARE(ports->currentText(), port);
        QCOMPARE(t.state().PortName(), port);
        QCOMPARE(t.state().StartupFlag, QStringLiteral("No"));
        QVERIFY(t.b.op.messages.isEmpty());
        QCOMPARE(text(dlg, "lblMessage"), QStringLiteral("Please start the system check!"));
        QCOMPARE(controls(dlg), QStringLiteral("LstPortID cmdStart CmdOK- CmdCancel"));
    }

    void detect_data() {
        QTest::addColumn<Detection>("d");
        const char* rates[][3] = {{"19200", "0.28", "2.5"}, {"9600", "0.36", "2.5"}, {"4800", "0.51", "2.5"},
                                  {"2400", "0.83", "3.5"},  {"1200", "1.45", "4"},   {"600", "2.70", "5.5"},
                                  {"300", "5.20", "10.5"}};
        for (const auto& r : rates)
            QTest::newRow(r[0]) << Detection{
                numbered(3, QByteArray(r[0]).toInt()), "N|8", "NNN", "010203", r[1], r[2]};
        QTest::newRow("even") << Detection{numbered(2, 9600, 'E'), "Even|7", "EE", "0102", "0.30", "2.5"};
        QTest::newRow("odd") << Detection{numbered(2, 2400, 'O'), "Odd|7", "OO", "0102", "0.62", "3.5"};
        sim::LoopConfig mixed = numbered(2, 9600, 'E');
        mixed.instruments[1].parity = 'O';
        mixed.transparentRepeat = true;
        QTest::newRow("mixed") << Detection{mixed, "Mixed|Mixed", "EO", "0102", "0.30", "2.5"};
        QTest::newRow("one") << Detection{numbered(1), "N|8", "N", "01", "0.25", "2.5"};
        // Identifiers that overlap when the list is read as one text are still each listed.
        QTest::newRow("01 10 11") << Detection{
            withIds({"01", "10", "11"}), "N|8", "NNN", "011011", "0.36", "2.5"};
        // The same identifier twice: two report lines, one list entry.
        QTest::newRow("duplicate") << Detection{
            withIds({"05", "07", "05"}), "N|8", "NNN", "050705", "0.36", "2.5", "0507"};
        QString all;
        for (int i = 1; i <= 98; ++i)
            all += QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        QTest::newRow("98 at 19200") << Detection{
            numbered(98, 19200), "N|8", QString(98, 'N'), all, "2.75", "2.5"};
        QTest::newRow("98 at 9600") << Detection{
            numbered(98, 9600), "N|8", QString(98, 'N'), all, "5.30", "2.5"};
    }
    void detect() {
        QFETCH(Detection, d);
        DiscoveryBench t(d.config);
        frmSystemCheck dlg(t.host());
        click(dlg, "cmdStart");

        const QString rate = QString::number(d.config.baud);
        QCOMPARE(t.b.wire().writtenTexts(), probeAndScan(rate));
        // Each probe: the unfinished broadcast, 300 ms, the probe itself.
        const auto writes = t.b.wire().writes();
        for (int i = 0; i + 1 < writes.size() - 1; i += 2)
            QVERIFY(writes[i + 1].time - writes[i].time >= 0.3 - 1e-9);
        // The scan stops as its broadcast comes back; the mode check listens for two seconds, hears
        // nothing and asks nothing.
        double lastIn = 0;
        for (const auto& e : t.b.wire().events())
            if (e.dir == sim::WireEvent::Dir::ToHost) lastIn = e.time;
        QVERIFY2(t.b.clock.now() - lastIn >= 2.0 - 1e-9 && t.b.clock.now() - lastIn < 2.05,
                 qPrintable(QString::number(t.b.clock.now() - lastIn)));
        QCOMPARE(text(dlg, "lblMessage"),
                 QStringLiteral("Checking the mode of the instrument(s).  Please Wait !..."));
        QVERIFY(t.b.op.dialogsRun.isEmpty());

        QCOMPARE(t.linkText(), rate + "," + d.letters.right(1) + (d.letters.endsWith('N') ? ",8" : ",7"));
        QCOMPARE(t.state().IDList, d.idList.isEmpty() ? d.ids : d.idList);
        QCOMPARE(int(t.state().InstrumentCount), d.letters.size());
        // Read and measure time-outs are two seconds longer.
        const QString longer = fixedText(d.commTimeout.toDouble() + 2);
        const AppState& s = t.state();
        QCOMPARE(
            QStringList({fixedText(s.CommTimeout), fixedText(s.ReadTimeout), fixedText(s.MeasureTimeout)}),
            QStringList({d.commTimeout, longer, longer}));
        QCOMPARE(text(dlg, "PnlPort PnlBaudRate PnlParity PnlDataBits lblTimeout"),
                 "COM 1|" + rate + "|" + d.panels + "|" + d.probeWait);
        QCOMPARE(child<QGroupBox>(dlg, "frmContainer")->title(), QStringLiteral("Result"));
        QString report = frmSystemCheck::reportHeading();
        for (int i = 0; i < d.letters.size(); ++i) // identifier, parity and version in their columns
            report += QString(7, ' ') + d.ids.mid(2 * i, 2) + QString(17, ' ') + d.letters[i] +
                      QString(20, ' ') + "5.10\r\n";
        QCOMPARE(dlg.reportText(), report);
        QCOMPARE(text(dlg, "txtReport"), QString(report).replace("\r\n", "\n")); // as shown
        QCOMPARE(controls(dlg), QStringLiteral("LstPortID txtReport cmdStart- CmdOK CmdCancel"));
        QVERIFY(!pointerIsBusy());
        QVERIFY(t.b.op.messages.isEmpty());
        QVERIFY(!t.b.loop->attached());
    }

    void noInstrumentAtAll_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("problem OK") << false;
        QTest::newRow("close box") << true; // as the problem OK while Cancel is off
    }
    void noInstrumentAtAll() {
        QFETCH(bool, closeBox);
        DiscoveryBench t;
        t.scriptedPorts();
        frmSystemCheck dlg(t.host());
        click(dlg, "cmdStart");
        // Every rate waited out: 3 x 2.5 + 3.5 + 4 + 5.5 + 10.5 s, plus 0.3 s before each probe.
        QVERIFY2(t.b.clock.now() >= 31.0 + 7 * 0.3, qPrintable(QString::number(t.b.clock.now())));
        QVERIFY(t.b.clock.now() < 31.0 + 7 * 0.3 + 0.1);
        QCOMPARE(text(dlg, "txtReport"), frmSystemCheck::loopFailureText().replace("\r\n", "\n"));
        QCOMPARE(text(dlg, "txtReport").split('\n').size(), 6);
        QCOMPARE(controls(dlg), QStringLiteral("LstPortID txtReport cmdStart- cmdProblemOK CmdCancel-"));
        QCOMPARE(text(dlg, "PnlBaudRate PnlParity PnlDataBits"), QStringLiteral("||"));
        QCOMPARE(t.linkText(), QStringLiteral(",,"));
        QCOMPARE(t.state().CommTimeout, 0.0);
        QVERIFY(!pointerIsBusy());

        // Closing it the only way left remembers the port but does not finish start-up.
        if (closeBox)
            dlg.reject();
        else
            click(dlg, "cmdProblemOK");
        QCOMPARE(t.readIni(), QByteArray("1\r\n"));
        QCOMPARE(t.left()->text(), QStringLiteral("Select startup to establish communication!"));
        QCOMPARE(t.state().StartupFlag, QStringLiteral("No"));
    }

    void portUnavailable_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("device missing") << 0;
        QTest::newRow("no such path, real port") << 1;
        QTest::newRow("permission denied") << 2; // says what to do
        QTest::newRow("lost during the probe") << 3;
        QTest::newRow("lost while writing modes") << 4;
    }
    void portUnavailable() {
        QFETCH(int, kind);
        sim::LoopConfig c = numbered(2);
        c.instruments[1].streamingFromStart = kind == 4;
        DiscoveryBench t(c);
        if (kind == 1) {
            t.b.ports.map.setDevice(1, QStringLiteral("/nonexistent/ttyCVI0"));
            t.b.ports.maker = [](const QString&) { return std::make_unique<RealSerialPort>(); };
        } else if (kind == 3) {
            t.scriptedPorts([](ScriptedPort& p) { p.loseAt(1.0); });
        } else if (kind == 4) { // the failure reaches the detection once the warning is gone
            t.onDialog([&t](QDialog& d) {
                t.b.loop->loseDevice();
                click(d, "cmdMD0Accept");
            });
        } else {
            const auto error = kind == 0 ? PortError::Kind::Unavailable : PortError::Kind::PermissionDenied;
            t.b.ports.maker = [error](const QString&) -> std::unique_ptr<SerialPort> {
                throw PortError(error, QStringLiteral("Add your user to the 'dialout' group."));
            };
        }
        frmSystemCheck dlg(t.host());
        click(dlg, "cmdStart");
        QVERIFY(t.b.clock.now() < (kind == 4 ? 10 : 1.1)); // not the rest of the rates
        QCOMPARE(text(dlg, "lblMessage txtReport"), QStringLiteral("There is no instrument at this port!|"));
        QCOMPARE(t.left()->text(), QStringLiteral("Please choose a different port !"));
        QCOMPARE(controls(dlg), QStringLiteral("LstPortID cmdStart CmdOK- CmdCancel"));
        QCOMPARE(t.messages(), kind == 2 ? QStringList{"Error ! [!] Add your user to the 'dialout' group."}
                                         : QStringList());
        QVERIFY(!pointerIsBusy());
    }

    void cancelDuringDetection_data() {
        QTest::addColumn<sim::LoopConfig>("config");
        QTest::addColumn<double>("at");
        QTest::addColumn<QString>("what");
        sim::LoopConfig slow = numbered(3, 2400);
        QTest::newRow("probe at 19200") << slow << 0.1 << "probe";
        QTest::newRow("probe at 2400") << slow << 1.1 << "probe";
        sim::LoopConfig broken = numbered(3);
        broken.broken = true;
        QTest::newRow("scan") << broken << 1.5 << "scan";
        QTest::newRow("mode listen") << numbered(3) << 2.0 << "listen";
        sim::LoopConfig streaming = numbered(3);
        streaming.instruments[1].streamingFromStart = true;
        QTest::newRow("mode reads") << streaming << 3.4 << "reads";
        QTest::newRow("waiting for an echo at 9600, silent line") << numbered(3) << 4.0 << "silence";
    }
    void cancelDuringDetection() {
        QFETCH(sim::LoopConfig, config);
        QFETCH(double, at);
        QFETCH(QString, what);
        DiscoveryBench t(config);
        t.state().IDList = "0102"; // from an earlier detection
        ScriptedPort* port = nullptr;
        if (what == "silence") t.scriptedPorts([&port](ScriptedPort& p) { port = &p; });
        frmSystemCheck dlg(t.host());
        const double start = t.b.clock.now();
        t.b.clock.at(start + at, [&dlg] { click(dlg, "CmdCancel"); });
        click(dlg, "cmdStart");
        // The detection ends at the click, or at the end of a fixed delay it was in.
        QVERIFY(t.b.clock.now() <= start + at + 2.01);
        QVERIFY(!t.b.loop->attached());
        if (port) { // at once, not after the remaining 30 seconds of rates
            QVERIFY(t.b.clock.now() < start + at + 0.01 && !port->isOpen());
            QCOMPARE(port->writes.size(), 4); // two probes: 19200 and 9600
        }
        t.b.idle(30);
        // Nothing written after the click.
        for (const auto& w : t.b.wire().writes())
            QVERIFY2(w.time <= start + at, w.bytes.constData());
        QCOMPARE(t.state().StartupFlag, QStringLiteral("Yes"));
        QCOMPARE(t.state().IDList, QString());
        QCOMPARE(t.left()->text(), QStringLiteral("Select startup to establish communication!"));
        QVERIFY(t.b.op.dialogsRun.isEmpty());
        QVERIFY(!pointerIsBusy());
        if (what == "reads") {
            // Cancelled while asking the modes: the streaming instrument is left as it was.
            QVERIFY(t.b.wire().writtenTexts().contains("**0100MD\r\n"));
            QCOMPARE(t.b.inst("02").param("MD"), QStringLiteral("2"));
        }
        if (what == "probe") QVERIFY(!t.b.wire().writtenTexts().contains("**9900VR\r\n"));
        if (what == "scan") QCOMPARE(t.state().BaudRate(), QString());
    }

    void brokenLoop() {
        sim::LoopConfig c = numbered(3);
        c.broken = true;
        DiscoveryBench t(c);
        frmSystemCheck dlg(t.host());
        click(dlg, "cmdStart");
        // The version broadcast never comes back: the scan waits its 1.5 s, then the mode check
        // listens for 2 s. The lines read count as instruments, less the broadcast that never came.
        const double took = t.b.clock.now() - t.b.wire().timeOfWrite("**9900VR\r\n");
        QVERIFY2(took >= 3.5 && took < 3.7, qPrintable(QString::number(took)));
        const AppState& s = t.state();
        QCOMPARE(QStringList({s.IDList, QString::number(s.InstrumentCount), fixedText(s.CommTimeout)}),
                 QStringList({"010203", "2", "0.30"}));
        QCOMPARE(controls(dlg), QStringLiteral("LstPortID txtReport cmdStart- CmdOK CmdCancel"));
    }

    void newPortForgetsOldReport() {
        DiscoveryBench t;
        frmSystemCheck dlg(t.host());
        click(dlg, "cmdStart");
        // On the next port the loop still echoes but no instrument answers.
        for (int i = 0; i < t.b.loop->size(); ++i)
            t.b.loop->at(i).faults().silent = true;
        child<QComboBox>(dlg, "LstPortID")->setCurrentIndex(1);
        QCOMPARE(t.state().PortName(), QStringLiteral("COM 2"));
        QCOMPARE(controls(dlg), QStringLiteral("LstPortID cmdStart CmdOK- CmdCancel"));
        click(dlg, "cmdStart");
        QCOMPARE(text(dlg, "lblMessage"), QStringLiteral("There is no Corvanel Instrument at this port!"));
        QCOMPARE(controls(dlg), QStringLiteral("LstPortID cmdStart CmdOK- CmdCancel"));
        const AppState& s = t.state();
        QCOMPARE(QStringList({s.IDList, QString::number(s.InstrumentCount), fixedText(s.CommTimeout)}),
                 QStringList({"", "0", "0.20"}));
    }

    void modeCheck_data() {
        QTest::addColumn<ModeCase>("m");
        // 01 answers MD=1 and does not stream: it is not listed.
        sim::LoopConfig one = numbered(3);
        one.instruments[0].params.insert("MD", "1");
        one.instruments[1].streamingFromStart = true;
        QTest::newRow("02 streams, MD=0")
            << ModeCase{one, "cmdMD0Accept", "022", "ID=02-->MD=2  ", "**0200EW*0200MD=0\r\n"};
        sim::LoopConfig two = numbered(3);
        two.instruments[0].streamingFromStart = true;
        two.instruments[2].params.insert("MD", "3");
        QTest::newRow("01 and 03 stream, MD=1")
            << ModeCase{two, "cmdMD1Accept", "012033", "ID=01-->MD=2  ID=03-->MD=3  ",
                        "**0100EW*0100MD=1\r\n|**0300EW*0300MD=1\r\n"};
        // The mode check talks at the parity the scan found.
        sim::LoopConfig even = numbered(3, 4800, 'E');
        even.instruments[1].streamingFromStart = true;
        QTest::newRow("even parity") << ModeCase{even, "cmdMD0Accept", "022", "ID=02-->MD=2  ",
                                                 "**0200EW*0200MD=0\r\n"};
        sim::LoopConfig late = numbered(3);
        late.instruments[1].streamingFromStart = true;
        late.instruments[2].faults.slowSeconds = 1.0; // answers, but after the 0.7 s the mode read waits
        QTest::newRow("03 answers too late")
            << ModeCase{late, "cmdMD0Accept", "022", "ID=02-->MD=2  ", "**0200EW*0200MD=0\r\n", "03"};
        sim::LoopConfig exit = numbered(3);
        exit.instruments[0].streamingFromStart = true;
        QTest::newRow("exit") << ModeCase{exit, "CmdExit", "012", "ID=01-->MD=2  ", ""};
    }
    void modeCheck() {
        QFETCH(ModeCase, m);
        const auto& [config, button, modeList, records, mdWrites, unread] = m;
        DiscoveryBench t(config);
        frmSystemCheck dlg(t.host());
        QString warning;
        t.onDialog([&](QDialog& d) {
            warning = text(d, "txtWarning");
            // Hovering over an option's text or button turns both red, the other options black.
            QEvent enter(QEvent::Enter);
            QCoreApplication::sendEvent(child(d, "lblMD1"), &enter);
            QCOMPARE(optionColours(d), QStringLiteral("black black red"));
            QCoreApplication::sendEvent(child(d, "CmdExit"), &enter);
            QCOMPARE(optionColours(d), QStringLiteral("red black black"));
            // Typing into the explanation changes nothing.
            QTest::keyClicks(child(d, "txtWarning"), "abc");
            QTest::keyClick(child(d, "txtWarning"), Qt::Key_Delete);
            QCOMPARE(text(d, "txtWarning"), warning);
            click(d, button);
        });
        const int ends = programEnds;
        click(dlg, "cmdStart");
        // Every instrument found is asked, 0.7 s apart; then one enable-write and set line for each
        // listed instrument, 0.2 s apart, and nothing else.
        QList<sim::WireEvent> reads, sets;
        for (const auto& w : t.b.wire().writes()) {
            if (w.bytes.startsWith("**") && w.bytes.endsWith("MD\r\n")) reads << w;
            if (w.bytes.contains("EW")) sets << w;
        }
        QCOMPARE(wireTexts(reads), (QStringList{"**0100MD\r\n", "**0200MD\r\n", "**0300MD\r\n"}));
        for (int i = 1; i < 3; ++i)
            QVERIFY(reads[i].time - reads[i - 1].time >= 0.7 - 1e-9);
        QCOMPARE(wireTexts(sets).join('|'), mdWrites);
        for (int i = 1; i < sets.size(); ++i)
            QCOMPARE(qRound((sets[i].time - sets[i - 1].time) * 1000), 200);
        QStringList messages;
        if (!unread.isEmpty())
            messages << ProgramTitle + " [!] Can't detect the MD value for ID=" + unread +
                            ". If MD=2,3 for this ID, you should change it to 1,2.";
        QCOMPARE(t.messages(), messages);

        QCOMPARE(t.b.op.dialogsRun, QStringList{"frmModeWarning"});
        QCOMPARE(warning, warningFor(records));
        QCOMPARE(t.state().ModeList, modeList); // kept after the new values are written
        const bool exit = button == "CmdExit";
        QCOMPARE(programEnds - ends, exit ? 1 : 0);
        for (int i = 0; i < modeList.size(); i += 3)
            QCOMPARE(t.b.inst(modeList.mid(i, 2)).param("MD"),
                     exit ? modeList.mid(i + 2, 1) : button.mid(5, 1)); // cmdMD0Accept: 0
        t.b.idle(5);
        QCOMPARE(t.b.inst(modeList.left(2)).streaming(), exit);
        QCOMPARE(text(dlg, "lblMessage"),
                 exit ? QStringLiteral("Unexpected Data Detected.  Please Wait !...")
                      : QStringLiteral("Changing instrument parameters.  Please Wait !..."));
        QCOMPARE(controls(dlg), QStringLiteral("LstPortID txtReport cmdStart- CmdOK CmdCancel"));
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
