// The Startup dialog on simulated loops: the baud probe, the version broadcast, what the dialog
// shows and publishes, its failures, Cancel in the middle of a detection, and cvi.ini.
#include "DiscoveryBench.h"
#include "Frames.h"
#include "Pointer.h"
#include "RealSerialPort.h"
#include "ScriptedPort.h"
#include "SettingsFile.h"

#include <QFile>
#include <QTest>

using namespace cvi;
using namespace cvi::test;

Q_DECLARE_METATYPE(sim::LoopConfig)

namespace {
const QStringList AllRates = {"19200", "9600", "4800", "2400", "1200", "600", "300"};

// The probe's two writes for each rate tried, down to `rate`, then the version broadcast.
QStringList probeAndScan(const QString& rate) {
    QStringList out;
    for (const QString& r : AllRates) {
        out << "*9900VR"
            << "*00";
        if (r == rate) break;
    }
    out << "**9900VR\r\n";
    return out;
}

QString expectedReport(const QList<QStringList>& lines) {
    QString r = frmSystemCheck::reportHeading();
    for (const auto& l : lines)
        r += reportLine(l[0], l[1], l[2]);
    return r;
}

// The report box shows the report with plain line ends.
QString shown(const QString& report) {
    QString s = report;
    return s.replace("\r\n", "\n");
}

sim::LoopConfig withIds(const QStringList& ids, int baud = 9600) {
    sim::LoopConfig c = sim::LoopConfig::numbered(static_cast<int>(ids.size()), baud);
    for (int i = 0; i < ids.size(); ++i)
        c.instruments[i].id = ids[i];
    return c;
}

void writeIni(const QString& folder, const QByteArray& content) {
    QFile f(settings_file::path(folder));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray readIni(const QString& folder) {
    QFile f(settings_file::path(folder));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

class TestSystemCheck : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setEndProgramHook([] {});
    }
    void openingState();
    void everyBaudRate_data();
    void everyBaudRate();
    void parity_data();
    void parity();
    void loops_data();
    void loops();
    void brokenLoop();
    void noInstrumentAtAll();
    void missingPort_data();
    void missingPort();
    void deviceLostDuringProbe();
    void cancelDuringDetection_data();
    void cancelDuringDetection();
    void cancelDuringLongProbeWait();
    void newPortForgetsOldReport();
    void okPublishesAndRemembersPort();
    void cviIniSelectsPort_data();
    void cviIniSelectsPort();
    void unwritableFolderIsReported();
    void closedWithoutButtonIsCancel();
};

void TestSystemCheck::openingState() {
    DiscoveryBench t;
    frmSystemCheck dlg(*t.main);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Startup"));
    auto* ports = child<QComboBox>(dlg, "LstPortID");
    QCOMPARE(ports->count(), 4);
    QCOMPARE(ports->itemText(3), QStringLiteral("COM 4"));
    QCOMPARE(t.state().PortName, QStringLiteral("COM 1"));
    QCOMPARE(t.state().StartupFlag, QStringLiteral("No"));
    QCOMPARE(text(dlg, "lblMessage"), QStringLiteral("Please start the system check!"));
    QVERIFY(child(dlg, "txtReport")->isHidden());
    QVERIFY(!child(dlg, "CmdOK")->isEnabled());
    QVERIFY(child(dlg, "cmdStart")->isEnabled());
    QVERIFY(child(dlg, "cmdProblemOK")->isHidden());
    QCOMPARE(child<QGroupBox>(dlg, "frmContainer")->title(), QStringLiteral("Checking"));
}

void TestSystemCheck::everyBaudRate_data() {
    QTest::addColumn<int>("baud");
    QTest::addColumn<QString>("commTimeout");
    QTest::addColumn<QString>("lastProbeWait");
    // 500 / rate x 3 + 0.2, to two decimals.
    QTest::newRow("19200") << 19200 << "0.28"
                           << "2.5";
    QTest::newRow("9600") << 9600 << "0.36"
                          << "2.5";
    QTest::newRow("4800") << 4800 << "0.51"
                          << "2.5";
    QTest::newRow("2400") << 2400 << "0.83"
                          << "3.5";
    QTest::newRow("1200") << 1200 << "1.45"
                          << "4";
    QTest::newRow("600") << 600 << "2.70"
                         << "5.5";
    QTest::newRow("300") << 300 << "5.20"
                         << "10.5";
}

void TestSystemCheck::everyBaudRate() {
    QFETCH(int, baud);
    QFETCH(QString, commTimeout);
    QFETCH(QString, lastProbeWait);
    DiscoveryBench t(sim::LoopConfig::numbered(3, baud));
    frmSystemCheck dlg(*t.main);
    click(dlg, "cmdStart");

    const QString rate = QString::number(baud);
    QCOMPARE(t.b.wire().writtenTexts(), probeAndScan(rate));
    // Each probe: the unfinished broadcast, 300 ms, the probe itself.
    const auto writes = t.b.wire().writes();
    for (int i = 0; i + 1 < writes.size() - 1; i += 2)
        QVERIFY(writes[i + 1].time - writes[i].time >= 0.3 - 1e-9);

    QCOMPARE(t.state().BaudRate, rate);
    QCOMPARE(t.state().Parity, QStringLiteral("N"));
    QCOMPARE(t.state().DataBits, QStringLiteral("8"));
    QCOMPARE(t.state().IDList, QStringLiteral("010203"));
    QCOMPARE(t.state().InstrumentCount, qint16(3));
    QCOMPARE(fixedText(t.state().CommTimeout), commTimeout);
    QCOMPARE(fixedText(t.state().ReadTimeout), fixedText(t.state().CommTimeout + 2));
    QCOMPARE(fixedText(t.state().MeasureTimeout), fixedText(t.state().CommTimeout + 2));
    QCOMPARE(text(dlg, "PnlPort"), QStringLiteral("COM 1"));
    QCOMPARE(text(dlg, "PnlBaudRate"), rate);
    QCOMPARE(text(dlg, "PnlParity"), QStringLiteral("N"));
    QCOMPARE(text(dlg, "PnlDataBits"), QStringLiteral("8"));
    QCOMPARE(text(dlg, "lblTimeout"), lastProbeWait);
    QCOMPARE(child<QGroupBox>(dlg, "frmContainer")->title(), QStringLiteral("Result"));
    QCOMPARE(text(dlg, "txtReport"),
             shown(expectedReport({{"01", "N", "5.10"}, {"02", "N", "5.10"}, {"03", "N", "5.10"}})));
    QVERIFY(!child(dlg, "txtReport")->isHidden());
    QVERIFY(child(dlg, "CmdOK")->isEnabled());
    QVERIFY(!child(dlg, "cmdStart")->isEnabled());
    QVERIFY(!pointerIsBusy());
    QVERIFY(t.b.op.messages.isEmpty());
    QVERIFY(!t.b.loop->attached());
}

void TestSystemCheck::parity_data() {
    QTest::addColumn<sim::LoopConfig>("config");
    QTest::addColumn<QString>("panelParity");
    QTest::addColumn<QString>("panelDataBits");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<QString>("dataBits");
    QTest::addColumn<QString>("letters");

    QTest::newRow("none") << sim::LoopConfig::numbered(2, 9600, 'N') << "N"
                          << "8"
                          << "N"
                          << "8"
                          << "NN";
    QTest::newRow("even") << sim::LoopConfig::numbered(2, 9600, 'E') << "Even"
                          << "7"
                          << "E"
                          << "7"
                          << "EE";
    QTest::newRow("odd") << sim::LoopConfig::numbered(2, 2400, 'O') << "Odd"
                         << "7"
                         << "O"
                         << "7"
                         << "OO";
    sim::LoopConfig mixed = sim::LoopConfig::numbered(2, 9600, 'E');
    mixed.instruments[1].parity = 'O';
    mixed.transparentRepeat = true;
    QTest::newRow("mixed") << mixed << "Mixed"
                           << "Mixed"
                           << "O"
                           << "7"
                           << "EO";
}

void TestSystemCheck::parity() {
    QFETCH(sim::LoopConfig, config);
    QFETCH(QString, panelParity);
    QFETCH(QString, panelDataBits);
    QFETCH(QString, parity);
    QFETCH(QString, dataBits);
    QFETCH(QString, letters);
    DiscoveryBench t(config);
    frmSystemCheck dlg(*t.main);
    click(dlg, "cmdStart");
    QCOMPARE(text(dlg, "PnlParity"), panelParity);
    QCOMPARE(text(dlg, "PnlDataBits"), panelDataBits);
    QCOMPARE(t.state().Parity, parity);
    QCOMPARE(t.state().DataBits, dataBits);
    QCOMPARE(t.state().IDList, QStringLiteral("0102"));
    QCOMPARE(dlg.reportText(),
             expectedReport({{"01", letters.left(1), "5.10"}, {"02", letters.mid(1, 1), "5.10"}}));
    QVERIFY(child(dlg, "CmdOK")->isEnabled());
}

void TestSystemCheck::loops_data() {
    QTest::addColumn<sim::LoopConfig>("config");
    QTest::addColumn<QString>("idList");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("reportIds");

    QTest::newRow("one") << sim::LoopConfig::numbered(1) << "01" << 1 << QStringList{"01"};
    // Identifiers that overlap when the list is read as one text are still each listed.
    QTest::newRow("01 10 11") << withIds({"01", "10", "11"}) << "011011" << 3
                              << QStringList{"01", "10", "11"};
    // The same identifier twice: two report lines, one list entry.
    QTest::newRow("duplicate") << withIds({"05", "07", "05"}) << "0507" << 3 << QStringList{"05", "07", "05"};
    QStringList all;
    QString allIds;
    for (int i = 1; i <= 98; ++i) {
        all << QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        allIds += all.last();
    }
    QTest::newRow("98 at 19200") << sim::LoopConfig::numbered(98, 19200) << allIds << 98 << all;
    QTest::newRow("98 at 9600") << sim::LoopConfig::numbered(98, 9600) << allIds << 98 << all;
}

void TestSystemCheck::loops() {
    QFETCH(sim::LoopConfig, config);
    QFETCH(QString, idList);
    QFETCH(int, count);
    QFETCH(QStringList, reportIds);
    DiscoveryBench t(config);
    frmSystemCheck dlg(*t.main);
    click(dlg, "cmdStart");
    QCOMPARE(t.state().IDList, idList);
    QCOMPARE(int(t.state().InstrumentCount), count);
    QList<QStringList> lines;
    for (const QString& id : reportIds)
        lines.append({id, "N", "5.10"});
    QCOMPARE(dlg.reportText(), expectedReport(lines));
    QVERIFY(child(dlg, "CmdOK")->isEnabled());
}

void TestSystemCheck::brokenLoop() {
    sim::LoopConfig c = sim::LoopConfig::numbered(3);
    c.broken = true;
    DiscoveryBench t(c);
    frmSystemCheck dlg(*t.main);
    click(dlg, "cmdStart");
    // The version broadcast never comes back: the scan waits its 1.5 s, then the mode check
    // listens for 2 s.
    const double scanned = t.b.wire().timeOfWrite("**9900VR\r\n");
    QVERIFY2(t.b.clock.now() - scanned >= 3.5, qPrintable(QString::number(t.b.clock.now() - scanned)));
    QVERIFY(t.b.clock.now() - scanned < 3.7);
    QCOMPARE(t.state().IDList, QStringLiteral("010203"));
    QCOMPARE(int(t.state().InstrumentCount), 2); // the lines read, less the broadcast that never came
    QCOMPARE(fixedText(t.state().CommTimeout), QStringLiteral("0.30"));
    QVERIFY(child(dlg, "CmdOK")->isEnabled());
}

void TestSystemCheck::noInstrumentAtAll() {
    DiscoveryBench t;
    // A port with nothing on it.
    t.b.ports.maker = [&t](const QString&) -> std::unique_ptr<SerialPort> {
        return std::make_unique<ScriptedPort>(t.b.clock);
    };
    frmSystemCheck dlg(*t.main);
    click(dlg, "cmdStart");
    // Every rate waited out: 3 x 2.5 + 3.5 + 4 + 5.5 + 10.5 s, plus 0.3 s before each probe.
    QVERIFY2(t.b.clock.now() >= 31.0 + 7 * 0.3, qPrintable(QString::number(t.b.clock.now())));
    QVERIFY(t.b.clock.now() < 31.0 + 7 * 0.3 + 0.1);
    QCOMPARE(text(dlg, "txtReport"), shown(frmSystemCheck::loopFailureText()));
    QCOMPARE(text(dlg, "txtReport").split('\n').size(), 6);
    QVERIFY(!child(dlg, "txtReport")->isHidden());
    QVERIFY(!child(dlg, "cmdProblemOK")->isHidden());
    QVERIFY(child(dlg, "cmdProblemOK")->isEnabled());
    QVERIFY(!child(dlg, "CmdCancel")->isEnabled());
    QVERIFY(child(dlg, "CmdOK")->isHidden());
    QVERIFY(!child(dlg, "cmdStart")->isEnabled());
    for (const char* panel : {"PnlBaudRate", "PnlParity", "PnlDataBits"})
        QCOMPARE(text(dlg, panel), QString());
    QCOMPARE(t.state().BaudRate, QString());
    QCOMPARE(t.state().CommTimeout, 0.0);
    QVERIFY(!pointerIsBusy());

    // Closing it the only way left remembers the port but does not finish start-up.
    dlg.reject(); // the window's close box: as the problem OK while Cancel is off
    QCOMPARE(dlg.closing(), frmSystemCheck::Closing::ProblemOK);
    QCOMPARE(readIni(t.folder.path()), QByteArray("1\r\n"));
    QCOMPARE(t.left()->text(), QStringLiteral("Select startup to establish communication!"));
    QCOMPARE(t.state().StartupFlag, QStringLiteral("No"));
}

void TestSystemCheck::missingPort_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("messages");
    QTest::newRow("device missing") << 0 << 0;
    QTest::newRow("no such path, real port") << 1 << 0;
    QTest::newRow("permission denied") << 2 << 1;
}

void TestSystemCheck::missingPort() {
    QFETCH(int, kind);
    QFETCH(int, messages);
    DiscoveryBench t;
    if (kind == 1) {
        t.b.ports.map.setDevice(1, QStringLiteral("/nonexistent/ttyCVI0"));
        t.b.ports.maker = [](const QString&) -> std::unique_ptr<SerialPort> {
            return std::make_unique<RealSerialPort>();
        };
    } else {
        const auto error = kind == 0 ? PortError::Kind::Unavailable : PortError::Kind::PermissionDenied;
        t.b.ports.maker = [error](const QString&) -> std::unique_ptr<SerialPort> {
            throw PortError(error, QStringLiteral("Add your user to the 'dialout' group."));
        };
    }
    frmSystemCheck dlg(*t.main);
    click(dlg, "cmdStart");
    QCOMPARE(text(dlg, "lblMessage"), QStringLiteral("There is no instrument at this port!"));
    QCOMPARE(t.left()->text(), QStringLiteral("Please choose a different port !"));
    QVERIFY(child(dlg, "cmdStart")->isEnabled());
    QVERIFY(child(dlg, "CmdCancel")->isEnabled());
    QVERIFY(child(dlg, "txtReport")->isHidden());
    QCOMPARE(text(dlg, "txtReport"), QString());
    QVERIFY(!child(dlg, "CmdOK")->isEnabled());
    QCOMPARE(t.b.op.messages.size(), messages);
    if (messages) QVERIFY(t.b.op.messages[0].text.contains("dialout"));
    QVERIFY(!pointerIsBusy());
    QVERIFY(child<QComboBox>(dlg, "LstPortID")->isEnabled());
}

void TestSystemCheck::deviceLostDuringProbe() {
    DiscoveryBench t;
    t.b.ports.maker = [&t](const QString&) -> std::unique_ptr<SerialPort> {
        auto port = std::make_unique<ScriptedPort>(t.b.clock);
        port->loseAt(1.0);
        return port;
    };
    frmSystemCheck dlg(*t.main);
    click(dlg, "cmdStart");
    QVERIFY(t.b.clock.now() < 1.1); // not the rest of the rates
    QCOMPARE(text(dlg, "lblMessage"), QStringLiteral("There is no instrument at this port!"));
    QVERIFY(child(dlg, "cmdStart")->isEnabled());
}

void TestSystemCheck::cancelDuringDetection_data() {
    QTest::addColumn<sim::LoopConfig>("config");
    QTest::addColumn<double>("at");
    QTest::addColumn<QString>("what");
    sim::LoopConfig slow = sim::LoopConfig::numbered(3, 2400);
    QTest::newRow("probe at 19200") << slow << 0.1 << "probe";
    QTest::newRow("probe at 2400") << slow << 1.1 << "probe";
    sim::LoopConfig broken = sim::LoopConfig::numbered(3);
    broken.broken = true;
    QTest::newRow("scan") << broken << 1.5 << "scan";
    QTest::newRow("mode listen") << sim::LoopConfig::numbered(3) << 2.0 << "listen";
    sim::LoopConfig streaming = sim::LoopConfig::numbered(3);
    streaming.instruments[1].streamingFromStart = true;
    QTest::newRow("mode reads") << streaming << 3.4 << "reads";
}

void TestSystemCheck::cancelDuringDetection() {
    QFETCH(sim::LoopConfig, config);
    QFETCH(double, at);
    QFETCH(QString, what);
    DiscoveryBench t(config);
    t.state().IDList = "0102"; // from an earlier detection
    frmSystemCheck dlg(*t.main);
    const double start = t.b.clock.now();
    t.b.clock.at(start + at, [&dlg] { click(dlg, "CmdCancel"); });
    click(dlg, "cmdStart");
    // The detection ends at the click, or at the end of a fixed delay it was in.
    QVERIFY(t.b.clock.now() <= start + at + 2.01);

    QCOMPARE(dlg.closing(), frmSystemCheck::Closing::Cancel);
    QVERIFY(!dlg.detecting());
    QVERIFY(!t.b.loop->attached());
    t.b.idle(30);
    // Nothing written after the click.
    for (const auto& w : t.b.wire().writes())
        QVERIFY2(w.time <= start + at, w.bytes.constData());
    QCOMPARE(t.state().StartupFlag, QStringLiteral("Yes"));
    QCOMPARE(t.state().IDList, QString());
    QCOMPARE(t.left()->text(), QStringLiteral("Select startup to establish communication!"));
    QVERIFY(t.b.op.dialogsRun.isEmpty());
    QVERIFY(!pointerIsBusy());
    QVERIFY(!t.b.wire().writtenTexts().join("").contains("MD="));
    if (what == "reads") {
        // Cancelled while asking the modes: the streaming instrument is left as it was.
        QVERIFY(t.b.wire().writtenTexts().contains("**0100MD\r\n"));
        QCOMPARE(t.b.inst("02").param("MD"), QStringLiteral("2"));
    }
    if (what == "probe") QVERIFY(!t.b.wire().writtenTexts().contains("**9900VR\r\n"));
    if (what == "scan") QCOMPARE(t.state().BaudRate, QString());
}

void TestSystemCheck::cancelDuringLongProbeWait() {
    DiscoveryBench t;
    ScriptedPort* port = nullptr;
    t.b.ports.maker = [&t, &port](const QString&) -> std::unique_ptr<SerialPort> {
        auto p = std::make_unique<ScriptedPort>(t.b.clock);
        port = p.get();
        return p;
    };
    frmSystemCheck dlg(*t.main);
    t.b.clock.at(4.0, [&dlg] { click(dlg, "CmdCancel"); });
    click(dlg, "cmdStart");
    QVERIFY(t.b.clock.now() < 4.01); // not the remaining 30 seconds of rates
    QVERIFY(port && !port->isOpen());
    QCOMPARE(port->writes.size(), 4); // two probes: 19200 and 9600
    QCOMPARE(dlg.closing(), frmSystemCheck::Closing::Cancel);
}

void TestSystemCheck::newPortForgetsOldReport() {
    DiscoveryBench t;
    frmSystemCheck dlg(*t.main);
    click(dlg, "cmdStart");
    QVERIFY(child(dlg, "CmdOK")->isEnabled());
    // On the next port the loop still echoes but no instrument answers.
    for (int i = 0; i < t.b.loop->size(); ++i)
        t.b.loop->at(i).faults().silent = true;
    child<QComboBox>(dlg, "LstPortID")->setCurrentIndex(1);
    QCOMPARE(t.state().PortName, QStringLiteral("COM 2"));
    QVERIFY(child(dlg, "txtReport")->isHidden());
    QVERIFY(!child(dlg, "CmdOK")->isEnabled());
    QVERIFY(child(dlg, "cmdStart")->isEnabled());
    click(dlg, "cmdStart");
    QCOMPARE(text(dlg, "lblMessage"), QStringLiteral("There is no Corvanel Instrument at this port!"));
    QVERIFY(!child(dlg, "CmdOK")->isEnabled());
    QVERIFY(child(dlg, "cmdStart")->isEnabled());
    QCOMPARE(t.state().IDList, QString());
    QCOMPARE(t.state().InstrumentCount, qint16(0));
    QCOMPARE(fixedText(t.state().CommTimeout), QStringLiteral("0.20"));
}

void TestSystemCheck::okPublishesAndRemembersPort() {
    DiscoveryBench t;
    writeIni(t.folder.path(), "3\r\n");
    t.main->panel()->hide();
    frmSystemCheck dlg(*t.main);
    QCOMPARE(t.state().PortName, QStringLiteral("COM 3"));
    child<QComboBox>(dlg, "LstPortID")->setCurrentIndex(1);
    click(dlg, "cmdStart");
    click(dlg, "CmdOK");
    QCOMPARE(dlg.closing(), frmSystemCheck::Closing::OK);
    QCOMPARE(readIni(t.folder.path()), QByteArray("2\r\n"));
    QCOMPARE(t.state().StartupFlag, QStringLiteral("Yes"));
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(t.listItems(i), (QStringList{"01", "02", "03"}));
        QCOMPARE(t.lists[i]->currentIndex(), 0);
    }
    QCOMPARE(t.main->panel()->currentIndex(), int(MainWindow::PageConfiguration));
    QVERIFY(!t.main->panel()->isHidden());
    QVERIFY(t.enabled("mnuSettings"));
    QVERIFY(t.enabled("mnuTimeout"));
    QVERIFY(t.b.op.messages.isEmpty());
}

void TestSystemCheck::cviIniSelectsPort_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("port");
    QTest::newRow("4") << QByteArray("4\r\n") << "COM 4";
    QTest::newRow("2, more lines") << QByteArray("2\r\n4\r\n") << "COM 2";
    QTest::newRow("3 without line end") << QByteArray("3") << "COM 3";
    QTest::newRow("0") << QByteArray("0\r\n") << "COM 1";
    QTest::newRow("7") << QByteArray("7\r\n") << "COM 1";
    QTest::newRow("x") << QByteArray("x\r\n") << "COM 1";
    QTest::newRow("2.5") << QByteArray("2.5\r\n") << "COM 1";
    QTest::newRow("empty") << QByteArray() << "COM 1";
    QTest::newRow("missing") << QByteArray("<none>") << "COM 1";
    QTest::newRow("binary") << QByteArray(100000, '\x04') << "COM 1";
}

void TestSystemCheck::cviIniSelectsPort() {
    QFETCH(QByteArray, content);
    QFETCH(QString, port);
    DiscoveryBench t;
    if (content != "<none>") writeIni(t.folder.path(), content);
    frmSystemCheck dlg(*t.main);
    QCOMPARE(child<QComboBox>(dlg, "LstPortID")->currentText(), port);
    QCOMPARE(t.state().PortName, port);
    QVERIFY(t.b.op.messages.isEmpty());
}

void TestSystemCheck::unwritableFolderIsReported() {
    DiscoveryBench t;
    // A folder that cannot exist: its parent is a file.
    QFile blocker(t.folder.filePath("plain-file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    t.state().ProgramFolder = t.folder.filePath("plain-file/cvi");
    frmSystemCheck dlg(*t.main);
    click(dlg, "cmdStart");
    click(dlg, "CmdOK");
    QCOMPARE(t.b.op.messages.size(), 1);
    QCOMPARE(t.b.op.messages[0].title, QStringLiteral("Warning"));
    QVERIFY(t.b.op.messages[0].text.contains("cvi.ini"));
    // The run goes on with what was found.
    QCOMPARE(t.state().StartupFlag, QStringLiteral("Yes"));
    QCOMPARE(t.listItems(1), (QStringList{"01", "02", "03"}));
}

void TestSystemCheck::closedWithoutButtonIsCancel() {
    DiscoveryBench t;
    t.state().IDList = "01";
    showStartupDialog(*t.main); // nobody there to press a button
    QCOMPARE(t.b.op.dialogsRun, QStringList{"frmSystemCheck"});
    QCOMPARE(t.state().StartupFlag, QStringLiteral("Yes"));
    QCOMPARE(t.state().IDList, QString());
    QCOMPARE(t.left()->text(), QStringLiteral("Select startup to establish communication!"));
}

QTEST_MAIN(TestSystemCheck)
#include "tst_systemcheck.moc"
