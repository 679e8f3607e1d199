// The option dialogs and the Units dialog on the parameter pages and the simulated loop: what the
// page shows afterwards, what the operator is told, and the bytes on the wire with their pauses.
#include "OptionDialogs.h"
#include "PageBench.h"

using namespace cvi;
using namespace cvi::test;

class TestOptionDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setEndProgramHook([] {});
    }

    // before: the box's text when clicked (empty: as read); fault: the loop's, after the read.
    void writes_data() {
        table({"box", "before", "button", "fault", "shown", "message", "result"},
              {{"DD", "lblDD", "", "OptDD1", "", "Long", "DD value has been changed!...", ""},
               {"DD back", "lblDD", "Long", "OptDD0", "", "Short", "DD value has been changed!...", ""},
               {"AR", "lblAR", "", "OptAR1", "", "High", "AR value has been changed!...", ""},
               {"DP", "lblDP", "", "OptDp2", "", "2", "DP value has been changed!...", "OK"},
               {"DP 0", "lblDP", "", "Opt0", "", "0", "DP value has been changed!...", "OK"},
               {"IC", "lblIC", "", "OptIC2", "", "Ground enable", "IC value has been changed!...", "OK"},
               {"IM", "lblIM", "", "OptIM2", "", "Paralel On", "IM value has been changed!", "OK"},
               {"ZL", "lblZL", "", "OptZL1", "", "Locked", "ZL value has been changed!...", "OK"},
               {"DD silent", "lblDD", "", "OptDD1", "silent", "-", "There is no response!...", ""},
               {"DD short", "lblDD", "", "OptDD1", "missingCR", "-", "There is no response!...", ""},
               {"AR keeps", "lblAR", "", "OptAR1", "silent", "Low", "", ""},
               {"DP silent", "lblDP", "", "OptDp2", "silent", "-", "There is no response !", "OK"},
               {"IC silent", "lblIC", "", "OptIC1", "silent", "-", "There is no response !", "OK"},
               {"IM silent", "lblIM", "", "OptIM1", "silent", "-", "There is no response!", "OK"},
               {"ZL keeps", "lblZL", "", "OptZL1", "silent", "Unlocked", "There is no response !", "OK"}});
    }
    void writes() {
        QFETCH(QString, box);
        QFETCH(QString, before);
        QFETCH(QString, button);
        QFETCH(QString, fault);
        PageBench b;
        b.startConfiguration();
        if (!before.isEmpty()) b.setTexts({box + "=" + before});
        b.breakLoop(fault);
        const QString log = b.log();
        b.answerDialog(button);
        b.click(box);

        const QString write = box.mid(3) + "=" + button.right(1);
        const QString line = "**0100EW*0100" + write + "\r\n";
        QCOMPARE(b.lines(), (QStringList{"*", line})); // no re-reads after an unconfirmed write
        QCOMPARE(b.written(line) - b.written("*"), 0.010);
        QCOMPARE(b.text("lblCommand"), line.mid(1, line.size() - 3));
        QTEST(b.text(box), "shown");
        QTEST(b.middle(), "message");
        QTEST(b.state.DialogResult, "result");
        QVERIFY(b.op.messages.isEmpty());
        QVERIFY(!pointerIsBusy());
        if (!fault.isEmpty()) {
            QCOMPARE(b.log() == log, fault == "silent"); // what came is still logged
            return;
        }
        // A fixed half second before the reply is read (not a wait for its first character).
        const double pause = b.clock.now() - b.written(line);
        QVERIFY2(pause > 0.499 && pause < 0.52, qPrintable(QString::number(pause)));
        QCOMPARE(b.log(), log + "*0001" + write + "\n");
        QCOMPARE(b.inst("01").param(write.left(2)), write.mid(3));
    }

    // With nothing selected the operator presses OK, which has nothing to write; else Cancel.
    void selectedAtLoad_data() {
        table({"box", "before", "dialog", "caption", "selected", "result"},
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
               {"ZS on", "lblZS", "On", "frmZS", "Zero Set", "", ""},
               {"UN kPa", "lblUnit", "kPa", "frmUnits", "Units", "OptUN4", ""},
               {"UN written 8", "lblUnit", "m H2O", "frmUnits", "Units", "OptUN8", ""},
               {"UN read 8", "lblUnit", "m H20", "frmUnits", "Units", "", ""},
               {"UN written 0", "lblUnit", "User Defined", "frmUnits", "Units", "OptUN0", ""},
               {"UN read 0", "lblUnit", "User defined", "frmUnits", "Units", "", ""}});
    }
    void selectedAtLoad() {
        QFETCH(QString, box);
        QFETCH(QString, before);
        QFETCH(QString, selected);
        PageBench b;
        b.state.ScreenWidthPx = 1024;
        b.state.ScreenHeightPx = 768;
        b.setTexts({box + "=" + before});
        QString title, checked;
        QPoint at, centre;
        b.op.dialogs.enqueue([&](QDialog& d) {
            title = d.windowTitle();
            checked = checkedOption(d);
            at = d.pos();
            centre = QPoint((1024 - d.width()) / 2, (768 - d.height()) / 2);
            d.findChild<QPushButton*>(selected.isEmpty() ? "CmdOK" : "CmdCancel")->click();
            return 0;
        });
        QVERIFY(openOptionDialog(b.host(), b.configuration(), box));
        QTEST(b.op.dialogsRun.join(','), "dialog");
        QTEST(title, "caption");
        QCOMPARE(checked, selected);
        QCOMPARE(at, centre);
        QVERIFY(b.lines().isEmpty());
        QTEST(b.state.DialogResult, "result");
        QCOMPARE(b.text(box), before);
    }

    void baudLock_data() {
        table({"fault", "log", "shown", "message", "warned"},
              {{"all lock", "", "*0001BL=1\n*0002BL=1\n*0003BL=1\n", "Locked", "Baud Lock has been changed !",
                ""},
               {"third refuses", "refused", "*0001BL=1\n*0002BL=1\n*0003BL=0\n", "Locked",
                "Baud Lock has been changed !", "Could not change BL for some instruments!"},
               {"silent loop", "silent", "", "-", "There is no response!...", ""},
               {"short replies", "missingCR", "*0001BL=1\n*0002BL=1\n*0003BL=1\n", "-",
                "There is no response!...", ""}});
    }
    void baudLock() {
        QFETCH(QString, fault);
        PageBench b(sim::LoopConfig::numbered(3));
        b.startConfiguration();
        b.setTexts({"lblBL=Unlocked"});
        b.breakLoop(fault);
        if (fault == "refused") b.inst("03").faults().refusedWrites = {"BL"};
        const QString log = b.log();
        b.answerDialog("OptBL1");
        b.click("lblBL");

        const QString line = "**9900EW*9900BL=1\r\n";
        // No wake-up star before a broadcast, and the edit flow does not send it again.
        QCOMPARE(b.lines(), QStringList{line});
        QCOMPARE(b.text("lblCommand"), QStringLiteral("*9900EW*9900BL=1"));
        QTEST(b.log().mid(log.size()), "log"); // the broadcast coming back around is no reply
        QTEST(b.text("lblBL"), "shown");
        QTEST(b.middle(), "message");
        QCOMPARE(b.state.DialogResult, QString());
        QTEST(b.op.messageTexts().join('|'), "warned");
        if (!b.op.messages.isEmpty()) {
            QCOMPARE(b.op.messages[0].title, QStringLiteral("Warning"));
            QCOMPARE(b.op.messages[0].icon, Operator::Icon::Exclamation);
        }
        // One second's pause, then replies until the loop stays quiet for one read time-out.
        const double took = b.clock.now() - b.written(line);
        QVERIFY2(took > 0.999 + b.state.ReadTimeout && took < 1.1 + b.state.ReadTimeout,
                 qPrintable(QString::number(took)));
    }

    // offset: lblZV and lblZVName shown (1) or not afterwards; fault "slow": a minute per measurement.
    void zeroSet_data() {
        table({"before", "button", "fault", "lines", "shown", "offset", "message"},
              {{"taring off", "On", "OptZS0", "", "*|**0100EW*0100ZS=0", "Off", "00", ""},
               {"taring done", "Off", "OptZS1", "", "*|**0100EW*0100ZS=1|**0100ZS|**0100ZV", "On", "11", ""},
               {"still measuring", "Off", "OptZS1", "slow", "*|**0100EW*0100ZS=1|**0100ZS|**0100ZV",
                "Requested", "11", ""},
               {"off, silent", "On", "OptZS0", "silent", "*|**0100EW*0100ZS=0", "On", "11",
                "There is no response !"},
               {"requested, silent", "Off", "OptZS1", "silent", "*|**0100EW*0100ZS=1|**0100ZS", "Off", "00",
                "There is no response !"}});
    }
    void zeroSet() {
        QFETCH(QString, before);
        QFETCH(QString, fault);
        QFETCH(QString, lines);
        PageBench b(fault == "slow" ? PageBench::withParams({{"PR", "16383"}, {"TR", "65532"}})
                                    : sim::LoopConfig::demo());
        b.startConfiguration();
        b.setTexts({"lblZS=" + before});
        b.setShown({"lblZV", "lblZVName"}, before == "Off" ? "00" : "11");
        b.breakLoop(fault);
        const QString log = b.log();
        QFETCH(QString, button);
        b.answerDialog(button);
        b.click("lblZS");

        QStringList wire;
        for (const QString& l : items(lines))
            wire << (l == "*" ? l : l + "\r\n");
        QCOMPARE(b.lines(), wire);
        QTEST(b.text("lblZS"), "shown");
        QTEST(b.shownFlags({"lblZV", "lblZVName"}), "offset");
        QTEST(b.middle(), "message");
        QCOMPARE(b.state.DialogResult, QStringLiteral("OK"));
        if (!fault.isEmpty() && fault != "slow") return;
        if (wire.size() == 2) {
            QCOMPARE(b.log(), log + "*0001ZS=0\n");
            return;
        }
        // The ZS read comes two seconds after the request, the ZV reply is read a second later.
        const double gap = b.written("**0100ZS\r\n") - b.written(wire[1]);
        QVERIFY2(gap > 1.999 && gap < 2.02, qPrintable(QString::number(gap)));
        QVERIFY(b.clock.now() - b.written("**0100ZV\r\n") > 0.999);
        const QString zv = b.inst("01").param("ZV");
        QCOMPARE(b.text("lblZV"), zv);
        QVERIFY(fault == "slow" ? zv == "0.0000" : zv.toDouble() > 14.0);
        QCOMPARE(b.text("lblCommand"), QStringLiteral("*0100ZV"));
        QCOMPARE(b.log(),
                 log + QStringLiteral("*0001ZS=%1\n*0001ZV=%2\n").arg(fault == "slow" ? "1" : "2", zv));
    }

    // page: display, RS-232, MD as the page shows them; dialog: its buttons, MD and "W" while
    // the RS-232 warning shows, after the clicks.
    void backgroundMode_data() {
        table(
            {"page", "clicks", "dialog", "press", "command", "result"},
            {{"RS-232 on", "On|Off|1", "cmdRS232", "On|On|3|W", "CmdOK", "*0100EW*0100MD=3", "OK"},
             {"only RS-232", "On|Off|1", "cmdDisplay|cmdRS232", "Off|On|2|W", "CmdOK", "*0100EW*0100MD=2",
              "OK"},
             {"both off", "On|On|3", "cmdRS232|cmdDisplay", "Off|Off|0|", "CmdOK", "*0100EW*0100MD=0", "OK"},
             {"unchanged", "On|Off|1", "", "On|Off|1|", "CmdOK", "*0100EW*0100MD=1", "OK"},
             {"cancel", "Off|Off|0", "cmdRS232", "Off|On|2|W", "CmdCancel", "", "Cancel"},
             {"mode unread", "-|-|-", "", "-|-|-|", "CmdOK", "", ""}});
    }
    void backgroundMode() {
        QFETCH(QString, page);
        QFETCH(QString, clicks);
        QFETCH(QString, press);
        const QStringList before = items(page);
        PageBench b;
        b.choose("cboConfiguration", 0);
        b.setTexts({"lblDisplay=" + before[0], "lblRS232=" + before[1], "lblMD=" + before[2]});
        QString atLoad, afterClicks;
        b.op.dialogs.enqueue([&](QDialog& d) {
            auto* w = d.findChild<QLabel*>("lblWarning");
            auto shown = [&] {
                return QStringList{d.findChild<QPushButton*>("cmdDisplay")->text(),
                                   d.findChild<QPushButton*>("cmdRS232")->text(),
                                   d.findChild<QLabel*>("lblMD")->text(), w->isHidden() ? "" : "W"}
                    .join('|');
            };
            atLoad = shown();
            for (const QString& c : items(clicks))
                d.findChild<QPushButton*>(c)->click();
            afterClicks = shown();
            d.findChild<QPushButton*>(press)->click();
            return 1;
        });
        QVERIFY(openOptionDialog(b.host(), b.configuration(), "lblRS232"));
        QCOMPARE(b.op.dialogsRun, QStringList{"frmMD"});
        QCOMPARE(atLoad, page + (before[1] == "On" ? "|W" : "|"));
        QTEST(afterClicks, "dialog");
        QTEST(b.text("lblCommand"), "command");
        QTEST(b.state.DialogResult, "result");
        QCOMPARE(b.text("lblMD"), before[2]); // the page sends the write and shows the result
        QVERIFY(b.lines().isEmpty());
        normalPointer();
    }

    // uf: heading, factor and unit box before and after, 1 shown, 0 hidden.
    void units_data() {
        const char* caution = "For 16-bit output, re-enter LL and LH parameters in selected pressure units.";
        table({"id", "version", "button", "fault", "limits", "ufBefore", "name", "ufAfter", "messages"},
              {{"mbar", "01", "5.10", "OptUN2", "", "0.0000|30.0000", "000", "mbar or hPa", "000", caution},
               {"m H2O", "01", "5.10", "OptUN8", "", "-|-", "111", "m H2O", "001", ""},
               {"user", "01", "5.10", "OptUN0", "", "-|30.0000", "000", "User Defined", "111", caution},
               {"psi", "01", "5.10", "OptUN1", "", "0.0000|-", "111", "psi", "011", caution},
               {"model M", "02", "M2.04", "OptUN3", "", "-|-", "111", "bar", "111", ""},
               {"stale version", "02", "5.10", "OptUN4", "", "-|-", "000", "kPa", "000",
                "Can't read OP value !|Can't read ZV value !"},
               {"silent", "01", "5.10", "OptUN3", "silent", "0.0000|30.0000", "111", "psi", "111", ""}});
    }
    void units() {
        QFETCH(QString, id);
        QFETCH(QString, version);
        QFETCH(QString, button);
        QFETCH(QString, fault);
        QFETCH(QString, limits);
        QFETCH(QString, ufBefore);
        PageBench b;
        b.choose("cboConfiguration", id.toInt() - 1);
        const QStringList uf{"lblUFHeading", "lblUF", "lblUFUnit"};
        b.setShown(uf, ufBefore);
        b.setTexts({"lblUnit=psi", "lblSoftwareVersion=" + version, "lblLL=" + items(limits)[0],
                    "lblLH=" + items(limits)[1], "lblOverpressure=35.0000", "lblZV=0.0000", "lblPA=0.0000"});
        b.breakLoop(fault);
        b.answerDialog(button);
        QVERIFY(openOptionDialog(b.host(), b.configuration(), "lblUnit"));

        sim::Instrument& inst = b.inst(id);
        const QString p = "**" + id + "00";
        const QString write = p + "EW*" + id + "00UN=" + button.right(1) + "\r\n";
        const bool full = !version.startsWith('M');
        QStringList lines{"*", write};
        if (fault.isEmpty()) lines << p + "PA\r\n";
        if (fault.isEmpty() && full) lines << p + "OP\r\n" << p + "ZV\r\n";
        QCOMPARE(b.lines(), lines);
        QTEST(b.text("lblUnit"), "name");
        QTEST(b.shownFlags(uf), "ufAfter");
        QTEST(b.op.messageTexts().join('|'), "messages");
        QCOMPARE(b.state.DialogResult, QStringLiteral("OK"));
        if (!fault.isEmpty()) { // nothing on the page changes
            QCOMPARE(b.mismatches({"PnlMiddleMessage=", "lblPA=0.0000", "lblOverpressure=35.0000"}),
                     QString());
            return;
        }
        const double pause = b.written(p + "PA\r\n") - b.written(write);
        QVERIFY2(pause > 0.499 && pause < 0.52, qPrintable(QString::number(pause)));
        QCOMPARE(b.middle(), QStringLiteral("UN value has been changed!..."));
        // The instrument rescaled its values; the page shows them in the new unit.
        QCOMPARE(b.text("lblPA"), inst.param("PA"));
        QCOMPARE(b.text("lblOverpressure"), !full ? "35.0000" : inst.has("OP") ? inst.param("OP") : "-");
        QCOMPARE(b.text("lblZV"), !full ? "0.0000" : inst.has("ZV") ? inst.param("ZV") : "-");
        if (button == "OptUN2") QVERIFY(b.text("lblOverpressure") != "35.0000");
        QVERIFY(b.log().startsWith("*00" + id + "UN=" + button.right(1) + "\n*00" + id + "PA="));
    }

    void busyPortIsReported() {
        PageBench b;
        b.choose("cboConfiguration", 0);
        b.main->link().OpenPort(b.state.Link); // another window holds the loop
        b.setTexts({"lblDD=Short"});
        b.answerDialog("OptDD1");
        QVERIFY(openOptionDialog(b.host(), b.configuration(), "lblDD"));
        QCOMPARE(b.op.messages.size(), 1);
        QCOMPARE(b.op.messages[0].title, QStringLiteral("Communication Error"));
        QVERIFY(b.lines().isEmpty());
        QCOMPARE(b.text("lblDD"), QStringLiteral("Short"));
        QVERIFY(!pointerIsBusy());
        b.main->link().ClosePort();
    }
};

QTEST_MAIN(TestOptionDialogs)
#include "tst_optiondialogs.moc"
