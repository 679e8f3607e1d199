// The option dialogs and the Units dialog on the simulated loop: what the page shows afterwards,
// what the operator is told, and the bytes on the wire with their pauses.
#include "Frames.h"
#include "MainWindow.h"
#include "OptionDialogs.h"
#include "Pointer.h"
#include "SimBench.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QVBoxLayout>

using namespace cvi;
using cvi::test::SimBench;

namespace {
const QString PageBoxes = "lblDD lblAR lblDP lblIC lblIM lblZL lblBL lblZS lblZV lblZVName lblMD lblDisplay "
                          "lblRS232 lblUnit lblUF lblUFHeading lblUFUnit lblOverpressure lblLL lblLH "
                          "lblSoftwareVersion lblCommand";

// The main window with a stand-in Configuration page (value boxes, command label, response log)
// and the Calibration page's PA box.
struct Bench {
    SimBench b;
    std::unique_ptr<MainWindow> main;

    explicit Bench(const sim::LoopConfig& config = sim::LoopConfig::demo(), const QString& id = "01")
        : b(config) {
        b.state.ScreenWidthPx = 1024;
        b.state.ScreenHeightPx = 768;
        b.state.AddressPrefix = addressPrefixFor(id);
        main = std::make_unique<MainWindow>(b.state, b.runtime, b.op, b.ports);
        auto* page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        for (const QString& name : PageBoxes.split(' ')) {
            auto* label = new QLabel(page);
            label->setObjectName(name);
            layout->addWidget(label);
        }
        auto* log = new QPlainTextEdit(page);
        log->setObjectName("txtResponseBox");
        layout->addWidget(log);
        main->setPage(MainWindow::PageConfiguration, page);
        auto* calibration = new QWidget;
        (new QLabel(calibration))->setObjectName("lblPA");
        main->setPage(MainWindow::PageCalibration, calibration);
    }
    QLabel* label(const QString& name) const { return main->findChild<QLabel*>(name); }
    QString text(const QString& name) const { return label(name)->text(); }
    void set(const QString& name, const QString& text) { label(name)->setText(text); }
    bool shown(const QString& name) const { return !label(name)->isHidden(); }
    QString log() const { return main->findChild<QPlainTextEdit*>("txtResponseBox")->toPlainText(); }
    QString middle() const { return main->middleMessage()->text(); }
    QStringList wire() { return b.wire().writtenTexts(); }
    double written(const QString& line) { return b.wire().timeOfWrite(line.toLatin1()); }

    // The operator picks `button` (empty: keeps what is selected) and presses `press`.
    void answer(const QString& button, const QString& press = "CmdOK") {
        b.op.dialogs.enqueue([button, press](QDialog& d) {
            if (!button.isEmpty()) d.findChild<QRadioButton*>(button)->click();
            d.findChild<QPushButton*>(press)->click();
            return 1;
        });
    }
    // As the edit flow calls it: DialogResult emptied first.
    bool open(const QString& box) {
        b.state.DialogResult.clear();
        return openOptionDialog(*main, box);
    }
};

QString checkedOption(const QDialog& d) {
    for (auto* option : d.findChildren<QRadioButton*>())
        if (option->isChecked()) return option->objectName();
    return {};
}

// Adds text columns (names must outlive the test) and rows; the first entry names the row.
// Lists are written with "|" between their items, yes/no as "1"/"0".
void table(std::initializer_list<const char*> columns, std::initializer_list<QStringList> rows) {
    for (const char* c : columns)
        QTest::addColumn<QString>(c);
    for (const QStringList& r : rows) {
        QTestData& row = QTest::newRow(qPrintable(r[0]));
        for (int i = 1; i < r.size(); ++i)
            row << r[i];
    }
}
QStringList items(const QString& list) {
    return list.isEmpty() ? QStringList() : list.split('|');
}
} // namespace

class TestOptionDialogs : public QObject {
    Q_OBJECT
private slots:
    void writeDialogs_data();
    void writeDialogs();
    void selectedAtLoad_data();
    void selectedAtLoad();
    void okWithoutChoiceSendsNothing();
    void noValue_data();
    void noValue();
    void baudLock_data();
    void baudLock();
    void zeroSet_data();
    void zeroSet();
    void backgroundMode_data();
    void backgroundMode();
    void units_data();
    void units();
    void busyPortIsReported();
    void boxesWithoutDialog();
};

void TestOptionDialogs::writeDialogs_data() {
    table({"box", "before", "button", "write", "shown", "message", "result"},
          {{"DD", "lblDD", "Short", "OptDD1", "DD=1", "Long", "DD value has been changed!...", ""},
           {"DD back", "lblDD", "Long", "OptDD0", "DD=0", "Short", "DD value has been changed!...", ""},
           {"AR", "lblAR", "Low", "OptAR1", "AR=1", "High", "AR value has been changed!...", ""},
           {"DP", "lblDP", "4", "OptDp2", "DP=2", "2", "DP value has been changed!...", "OK"},
           {"DP 0", "lblDP", "4", "Opt0", "DP=0", "0", "DP value has been changed!...", "OK"},
           {"IC", "lblIC", "Ignore line", "OptIC2", "IC=2", "Ground enable", "IC value has been changed!...",
            "OK"},
           {"IM", "lblIM", "Off", "OptIM2", "IM=2", "Paralel On", "IM value has been changed!", "OK"},
           {"ZL", "lblZL", "Unlocked", "OptZL1", "ZL=1", "Locked", "ZL value has been changed!...", "OK"}});
}

void TestOptionDialogs::writeDialogs() {
    QFETCH(QString, box);
    QFETCH(QString, before);
    QFETCH(QString, button);
    QFETCH(QString, write);
    Bench t;
    t.set(box, before);
    t.answer(button);
    QVERIFY(t.open(box));

    const QString line = "**0100EW*0100" + write + "\r\n";
    QCOMPARE(t.wire(), (QStringList{"*", line}));
    QCOMPARE(t.written(line) - t.written("*"), 0.010);
    // A fixed half second before the reply is read (not a wait for its first character).
    const double pause = t.b.clock.now() - t.written(line);
    QVERIFY2(pause > 0.499 && pause < 0.52, qPrintable(QString::number(pause)));
    QTEST(t.text(box), "shown");
    QCOMPARE(t.text("lblCommand"), line.mid(1, line.size() - 3));
    QCOMPARE(t.log(), "*0001" + write + "\n");
    QTEST(t.middle(), "message");
    QTEST(t.b.state.DialogResult, "result");
    QCOMPARE(t.b.inst("01").param(write.left(2)), write.mid(3));
    QVERIFY(t.b.op.messages.isEmpty());
    QVERIFY(!pointerIsBusy());
}

void TestOptionDialogs::selectedAtLoad_data() {
    table({"box", "before", "dialog", "caption", "selected", "cancelResult"},
          {{"DD", "lblDD", "Long", "frmDD", "Display Distance", "OptDD1", "Cancel"},
           {"AR", "lblAR", "High", "frmAR", "Analog Resolution", "OptAR1", ""},
           {"DP 0", "lblDP", "0", "frmDP", "Decimal Places", "", ""},
           {"DP 3", "lblDP", "3", "frmDP", "Decimal Places", "OptDp3", ""},
           {"IC", "lblIC", "+5V enable", "frmIC", "Inhibit Control", "OptIC1", "Cancel"},
           {"IM parallel", "lblIM", "Paralel On", "frmIM", "Interface Mode", "OptIM2", ""},
           {"IM on", "lblIM", "On", "frmIM", "Interface Mode", "OptIM1", ""},
           {"ZL", "lblZL", "Locked", "frmZL", "Zero Lock", "OptZL1", "Cancel"},
           {"BL", "lblBL", "Unlocked", "frmBaudLock", "Baud Lock", "OptBL0", ""},
           {"ZS requested", "lblZS", "Requested", "frmZS", "Zero Set", "OptZS1", "Cancel"},
           {"ZS on", "lblZS", "On", "frmZS", "Zero Set", "", "Cancel"},
           {"UN kPa", "lblUnit", "kPa", "frmUnits", "Units", "OptUN4", ""},
           {"UN written 8", "lblUnit", "m H2O", "frmUnits", "Units", "OptUN8", ""},
           {"UN read 8", "lblUnit", "m H20", "frmUnits", "Units", "", ""},
           {"UN written 0", "lblUnit", "User Defined", "frmUnits", "Units", "OptUN0", ""},
           {"UN read 0", "lblUnit", "User defined", "frmUnits", "Units", "", ""}});
}

void TestOptionDialogs::selectedAtLoad() {
    QFETCH(QString, box);
    QFETCH(QString, before);
    QFETCH(QString, dialog);
    Bench t;
    t.set(box, before);
    QString title, checked;
    QPoint at, centre;
    t.b.op.dialogs.enqueue([&](QDialog& d) {
        title = d.windowTitle();
        checked = checkedOption(d);
        at = d.pos();
        centre = QPoint((1024 - d.width()) / 2, (768 - d.height()) / 2);
        d.findChild<QPushButton*>("CmdCancel")->click();
        return 0;
    });
    QVERIFY(t.open(box));
    QCOMPARE(t.b.op.dialogsRun, QStringList{dialog});
    QTEST(title, "caption");
    QTEST(checked, "selected");
    QCOMPARE(at, centre);
    QVERIFY(t.wire().isEmpty());
    QTEST(t.b.state.DialogResult, "cancelResult");
    QCOMPARE(t.text(box), before);
}

void TestOptionDialogs::okWithoutChoiceSendsNothing() {
    Bench t;
    t.set("lblDP", "0");
    t.set("lblUnit", "m H20");
    t.answer("");
    t.answer("");
    QVERIFY(t.open("lblDP"));
    QVERIFY(t.open("lblUnit"));
    QVERIFY(t.wire().isEmpty());
    QCOMPARE(t.b.state.DialogResult, QString());
    QCOMPARE(t.text("lblDP"), QStringLiteral("0"));
}

void TestOptionDialogs::noValue_data() {
    // A silent loop, and one whose replies lack the CR: "*0001DD=1" LF is too short to hold a value.
    table({"fault", "box", "before", "button", "shown", "message", "lines"},
          {{"DD", "silent", "lblDD", "Short", "OptDD1", "-", "There is no response!...", "2"},
           {"AR keeps", "silent", "lblAR", "Low", "OptAR1", "Low", "", "2"},
           {"DP", "silent", "lblDP", "4", "OptDp2", "-", "There is no response !", "2"},
           {"IC", "silent", "lblIC", "Ignore line", "OptIC1", "-", "There is no response !", "2"},
           {"IM", "silent", "lblIM", "Off", "OptIM1", "-", "There is no response!", "2"},
           {"ZL keeps", "silent", "lblZL", "Unlocked", "OptZL1", "Unlocked", "There is no response !", "2"},
           {"BL", "silent", "lblBL", "Unlocked", "OptBL1", "-", "There is no response!...", "1"},
           {"ZS off", "silent", "lblZS", "On", "OptZS0", "On", "There is no response !", "2"},
           {"ZS requested", "silent", "lblZS", "Off", "OptZS1", "Off", "There is no response !", "3"},
           {"UN", "silent", "lblUnit", "psi", "OptUN3", "psi", "", "2"},
           {"DD short", "missingCR", "lblDD", "Short", "OptDD1", "-", "There is no response!...", "2"},
           {"AR short", "missingCR", "lblAR", "Low", "OptAR1", "Low", "", "2"},
           {"BL short", "missingCR", "lblBL", "Unlocked", "OptBL1", "-", "There is no response!...", "1"},
           {"ZS short", "missingCR", "lblZS", "Off", "OptZS1", "Off", "There is no response !", "3"},
           {"UN short", "missingCR", "lblUnit", "psi", "OptUN3", "psi", "", "2"}});
}

void TestOptionDialogs::noValue() {
    QFETCH(QString, fault);
    QFETCH(QString, box);
    QFETCH(QString, before);
    QFETCH(QString, button);
    QFETCH(QString, lines);
    sim::LoopConfig config = sim::LoopConfig::demo();
    for (auto& i : config.instruments)
        (fault == "silent" ? i.faults.silent : i.faults.missingCR) = true;
    Bench t(config);
    t.set(box, before);
    t.set("lblPA", "0.0000");
    t.set("lblLL", "0.0000");
    t.answer(button);
    QVERIFY(t.open(box));
    QTEST(t.text(box), "shown");
    QTEST(t.middle(), "message");
    QCOMPARE(t.log().isEmpty(), fault == "silent"); // what came is still logged
    QCOMPARE(t.wire().size(), lines.toInt());       // no re-reads after an unconfirmed write
    QCOMPARE(t.text("lblPA"), QStringLiteral("0.0000"));
    QVERIFY(t.b.op.messages.isEmpty());
    QVERIFY(!pointerIsBusy());
}

void TestOptionDialogs::baudLock_data() {
    table({"silent", "refusing", "log", "shown", "message", "warned"},
          {{"all lock", "0", "", "*0001BL=1\n*0002BL=1\n*0003BL=1\n", "Locked",
            "Baud Lock has been changed !", "0"},
           {"third refuses", "0", "03", "*0001BL=1\n*0002BL=1\n*0003BL=0\n", "Locked",
            "Baud Lock has been changed !", "1"},
           {"silent loop", "1", "", "", "-", "There is no response!...", "0"}});
}

void TestOptionDialogs::baudLock() {
    QFETCH(QString, silent);
    QFETCH(QString, refusing);
    QFETCH(QString, warned);
    sim::LoopConfig config = sim::LoopConfig::numbered(3);
    for (auto& i : config.instruments) {
        i.faults.silent = silent == "1";
        if (i.id == refusing) i.faults.refusedWrites = {"BL"};
    }
    Bench t(config);
    t.set("lblBL", "Unlocked");
    t.answer("OptBL1");
    QVERIFY(t.open("lblBL"));

    const QString line = "**9900EW*9900BL=1\r\n";
    QCOMPARE(t.wire(), QStringList{line}); // no wake-up star before a broadcast
    QCOMPARE(t.text("lblCommand"), QStringLiteral("*9900EW*9900BL=1"));
    QTEST(t.log(), "log"); // the broadcast coming back around the loop is no reply
    QTEST(t.text("lblBL"), "shown");
    QTEST(t.middle(), "message");
    QCOMPARE(t.b.state.DialogResult, QString()); // the edit flow must not broadcast it again
    QCOMPARE(t.b.op.messages.size(), warned == "1" ? 1 : 0);
    if (warned == "1") {
        QCOMPARE(t.b.op.messages[0].text, QStringLiteral("Could not change BL for some instruments!"));
        QCOMPARE(t.b.op.messages[0].title, QStringLiteral("Warning"));
        QCOMPARE(t.b.op.messages[0].icon, Operator::Icon::Exclamation);
    }
    // One second's pause, then replies until the loop stays quiet for one read time-out.
    const double took = t.b.clock.now() - t.written(line);
    QVERIFY2(took > 0.999 + t.b.state.ReadTimeout && took < 1.1 + t.b.state.ReadTimeout,
             qPrintable(QString::number(took)));
}

void TestOptionDialogs::zeroSet_data() {
    table({"before", "button", "slow", "lines", "shown", "offsetShown"},
          {{"taring off", "On", "OptZS0", "0", "*|**0100EW*0100ZS=0\r\n", "Off", "0"},
           {"taring done", "Off", "OptZS1", "0", "*|**0100EW*0100ZS=1\r\n|**0100ZS\r\n|**0100ZV\r\n", "On",
            "1"},
           {"still measuring", "Off", "OptZS1", "1", "*|**0100EW*0100ZS=1\r\n|**0100ZS\r\n|**0100ZV\r\n",
            "Requested", "1"}});
}

void TestOptionDialogs::zeroSet() {
    QFETCH(QString, before);
    QFETCH(QString, button);
    QFETCH(QString, slow);
    QFETCH(QString, lines);
    QFETCH(QString, offsetShown);
    sim::LoopConfig config = sim::LoopConfig::demo();
    if (slow == "1")
        config.instruments[0].params = {{"PR", "16383"}, {"TR", "65532"}}; // a minute per measurement
    Bench t(config);
    t.set("lblZS", before);
    t.label("lblZV")->setHidden(before == "Off");
    t.label("lblZVName")->setHidden(before == "Off");
    t.answer(button);
    QVERIFY(t.open("lblZS"));

    const QStringList wire = items(lines);
    QCOMPARE(t.wire(), wire);
    QTEST(t.text("lblZS"), "shown");
    QCOMPARE(t.shown("lblZV"), offsetShown == "1");
    QCOMPARE(t.shown("lblZVName"), offsetShown == "1");
    QCOMPARE(t.middle(), QString());
    QCOMPARE(t.b.state.DialogResult, QStringLiteral("OK"));
    if (wire.size() == 2) {
        QCOMPARE(t.log(), QStringLiteral("*0001ZS=0\n"));
        return;
    }
    // The ZS read comes two seconds after the request, the ZV reply is read a second later.
    const double gap = t.written("**0100ZS\r\n") - t.written(wire[1]);
    QVERIFY2(gap > 1.999 && gap < 2.02, qPrintable(QString::number(gap)));
    QVERIFY(t.b.clock.now() - t.written("**0100ZV\r\n") > 0.999);
    const QString zv = t.b.inst("01").param("ZV");
    QCOMPARE(t.text("lblZV"), zv);
    QVERIFY(slow == "1" ? zv == "0.0000" : zv.toDouble() > 14.0);
    QCOMPARE(t.text("lblCommand"), QStringLiteral("*0100ZV"));
    QCOMPARE(t.log(), QStringLiteral("*0001ZS=%1\n*0001ZV=%2\n").arg(slow == "1" ? "1" : "2", zv));
}

void TestOptionDialogs::backgroundMode_data() {
    table({"page", "clicks", "press", "mode", "command", "result"}, // page: display, RS-232, MD
          {{"RS-232 on", "On|Off|1", "cmdRS232", "CmdOK", "3", "*0100EW*0100MD=3", "OK"},
           {"only RS-232", "On|Off|1", "cmdDisplay|cmdRS232", "CmdOK", "2", "*0100EW*0100MD=2", "OK"},
           {"both off", "On|On|3", "cmdRS232|cmdDisplay", "CmdOK", "0", "*0100EW*0100MD=0", "OK"},
           {"unchanged", "On|Off|1", "", "CmdOK", "1", "*0100EW*0100MD=1", "OK"},
           {"cancel", "Off|Off|0", "cmdRS232", "CmdCancel", "2", "", "Cancel"},
           {"mode unread", "-|-|-", "", "CmdOK", "-", "", ""}});
}

void TestOptionDialogs::backgroundMode() {
    QFETCH(QString, page);
    QFETCH(QString, clicks);
    QFETCH(QString, press);
    QFETCH(QString, mode);
    const QStringList before = items(page);
    Bench t;
    t.set("lblDisplay", before[0]);
    t.set("lblRS232", before[1]);
    t.set("lblMD", before[2]);
    QStringList atLoad;
    QString shownMode, warningText;
    bool warningAtLoad = false, warningAfter = false;
    t.b.op.dialogs.enqueue([&](QDialog& d) {
        auto* warning = d.findChild<QLabel*>("lblWarning");
        atLoad = {d.findChild<QPushButton*>("cmdDisplay")->text(),
                  d.findChild<QPushButton*>("cmdRS232")->text(), d.findChild<QLabel*>("lblMD")->text()};
        warningAtLoad = !warning->isHidden();
        for (const QString& c : items(clicks))
            d.findChild<QPushButton*>(c)->click();
        shownMode = d.findChild<QLabel*>("lblMD")->text();
        warningAfter = !warning->isHidden();
        warningText = warning->text();
        d.findChild<QPushButton*>(press)->click();
        return 1;
    });
    QVERIFY(t.open("lblRS232"));
    QCOMPARE(t.b.op.dialogsRun, QStringList{"frmMD"});
    QCOMPARE(atLoad, before);
    QCOMPARE(warningAtLoad, before[1] == "On");
    QCOMPARE(shownMode, mode);
    QCOMPARE(warningAfter, mode == "2" || mode == "3");
    QCOMPARE(warningText, "Turning the Continuous RS-232 Mode to ON may cause CVI to become unpredictable !");
    QTEST(t.text("lblCommand"), "command");
    QTEST(t.b.state.DialogResult, "result");
    QCOMPARE(t.text("lblMD"), before[2]); // the page sends the write and shows the result
    QVERIFY(t.wire().isEmpty());
    normalPointer();
}

void TestOptionDialogs::units_data() {
    const char* caution = "For 16-bit output, re-enter LL and LH parameters in selected pressure units.";
    // ufBefore, ufAfter: heading, factor and unit box, 1 shown, 0 hidden
    table({"id", "version", "button", "limits", "ufBefore", "name", "ufAfter", "messages"},
          {{"mbar", "01", "5.10", "OptUN2", "0.0000|30.0000", "000", "mbar or hPa", "000", caution},
           {"m H2O", "01", "5.10", "OptUN8", "-|-", "111", "m H2O", "001", ""},
           {"user", "01", "5.10", "OptUN0", "-|30.0000", "000", "User Defined", "111", caution},
           {"psi", "01", "5.10", "OptUN1", "0.0000|-", "111", "psi", "011", caution},
           {"model M", "02", "M2.04", "OptUN3", "-|-", "111", "bar", "111", ""},
           {"stale version", "02", "5.10", "OptUN4", "-|-", "000", "kPa", "000",
            "Can't read OP value !|Can't read ZV value !"}});
}

void TestOptionDialogs::units() {
    QFETCH(QString, id);
    QFETCH(QString, version);
    QFETCH(QString, button);
    QFETCH(QString, limits);
    QFETCH(QString, ufBefore);
    QFETCH(QString, messages);
    Bench t(sim::LoopConfig::demo(), id);
    const QStringList uf{"lblUFHeading", "lblUF", "lblUFUnit"};
    for (int i = 0; i < 3; ++i)
        t.label(uf[i])->setHidden(ufBefore[i] == '0');
    t.set("lblUnit", "psi");
    t.set("lblSoftwareVersion", version);
    t.set("lblLL", items(limits)[0]);
    t.set("lblLH", items(limits)[1]);
    t.set("lblOverpressure", "35.0000");
    t.set("lblZV", "0.0000");
    t.answer(button);
    QVERIFY(t.open("lblUnit"));

    sim::Instrument& inst = t.b.inst(id);
    const QString p = "**" + id + "00";
    const QString write = p + "EW*" + id + "00UN=" + inst.param("UN") + "\r\n";
    const bool full = !version.startsWith('M');
    QStringList lines{"*", write, p + "PA\r\n"};
    if (full) lines << p + "OP\r\n" << p + "ZV\r\n";
    QCOMPARE(t.wire(), lines);
    const double pause = t.written(p + "PA\r\n") - t.written(write);
    QVERIFY2(pause > 0.499 && pause < 0.52, qPrintable(QString::number(pause)));
    QTEST(t.text("lblUnit"), "name");
    QString switched;
    for (const QString& box : uf)
        switched += t.shown(box) ? '1' : '0';
    QTEST(switched, "ufAfter");
    QCOMPARE(t.middle(), QStringLiteral("UN value has been changed!..."));
    QCOMPARE(t.b.op.messageTexts(), items(messages));
    QCOMPARE(t.b.state.DialogResult, QStringLiteral("OK"));
    // The instrument rescaled its values; the page shows them in the new unit.
    QCOMPARE(t.text("lblPA"), inst.param("PA"));
    QCOMPARE(t.text("lblOverpressure"), !full ? "35.0000" : inst.has("OP") ? inst.param("OP") : "-");
    QCOMPARE(t.text("lblZV"), !full ? "0.0000" : inst.has("ZV") ? inst.param("ZV") : "-");
    if (button == "OptUN2") QVERIFY(t.text("lblOverpressure") != "35.0000");
    QVERIFY(t.log().startsWith("*00" + id + "UN=" + inst.param("UN") + "\n*00" + id + "PA="));

    // The name the dialog wrote selects its option the next time.
    QString checked;
    t.b.op.dialogs.enqueue([&](QDialog& d) {
        checked = checkedOption(d);
        return 0;
    });
    t.open("lblUnit");
    QCOMPARE(checked, button);
}

void TestOptionDialogs::busyPortIsReported() {
    Bench t;
    t.main->link().OpenPort(); // another window holds the loop
    t.set("lblDD", "Short");
    t.answer("OptDD1");
    QVERIFY(t.open("lblDD"));
    QCOMPARE(t.b.op.messages.size(), 1);
    QCOMPARE(t.b.op.messages[0].title, QStringLiteral("Communication Error"));
    QVERIFY(t.wire().isEmpty());
    QCOMPARE(t.text("lblDD"), QStringLiteral("Short"));
    QVERIFY(!pointerIsBusy());
    t.main->link().ClosePort();
}

void TestOptionDialogs::boxesWithoutDialog() {
    Bench t;
    for (const char* box : {"lblPR", "lblUF", "lblMD", ""})
        QVERIFY(!openOptionDialog(*t.main, box));
    QVERIFY(t.b.op.dialogsRun.isEmpty());
}

QTEST_MAIN(TestOptionDialogs)
#include "tst_optiondialogs.moc"
