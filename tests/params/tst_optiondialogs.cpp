// The option dialogs and the Units dialog on the parameter pages and the simulated loop: what they
// select at load, what the page shows afterwards, what the operator is told, what is written.
#include "OptionDialogs.h"
#include "PageBench.h"

#include <QRadioButton>

using namespace cvi;
using namespace cvi::test;

class TestOptionDialogs : public QObject {
    Q_OBJECT
private slots:
    // before: the box's text when clicked (empty: as read); fault: the loop's after the read ("slow":
    // a minute per measurement, "busy": another window holds the port); wire: "*" and lines without
    // their CR LF; offset: lblZV and lblZVName shown (1) or not; message: the middle panel's, then
    // what the operator is told; logged: what the log gains, "?" for the offset the instrument took.
    void writes_data() {
        table({"box", "before", "button", "fault", "wire", "shown", "offset", "message", "result", "logged"},
              {{"DD", "lblDD", "", "OptDD1", "", "*|**0100EW*0100DD=1", "Long", "00",
                "DD value has been changed!...", "", "*0001DD=1\n"},
               {"AR", "lblAR", "", "OptAR1", "", "*|**0100EW*0100AR=1", "High", "00",
                "AR value has been changed!...", "", "*0001AR=1\n"},
               {"DP", "lblDP", "", "OptDp2", "", "*|**0100EW*0100DP=2", "2", "00",
                "DP value has been changed!...", "OK", "*0001DP=2\n"},
               {"DP 0", "lblDP", "", "Opt0", "", "*|**0100EW*0100DP=0", "0", "00",
                "DP value has been changed!...", "OK", "*0001DP=0\n"},
               {"IC", "lblIC", "", "OptIC2", "", "*|**0100EW*0100IC=2", "Ground enable", "00",
                "IC value has been changed!...", "OK", "*0001IC=2\n"},
               {"IM", "lblIM", "", "OptIM2", "", "*|**0100EW*0100IM=2", "Paralel On", "00",
                "IM value has been changed!", "OK", "*0001IM=2\n"},
               {"ZL", "lblZL", "", "OptZL1", "", "*|**0100EW*0100ZL=1", "Locked", "00",
                "ZL value has been changed!...", "OK", "*0001ZL=1\n"},
               {"DD silent", "lblDD", "", "OptDD1", "silent", "*|**0100EW*0100DD=1", "-", "00",
                "There is no response!...", "", ""},
               {"DD, port in use", "lblDD", "", "OptDD1", "busy", "", "Short", "00",
                "|Communication Error: sim is held by another window of this program. Close it there, then "
                "retry.",
                "", ""},
               {"DD short", "lblDD", "", "OptDD1", "missingCR", "*|**0100EW*0100DD=1", "-", "00",
                "There is no response!...", "", "*0001DD=1\n"},
               {"AR keeps", "lblAR", "", "OptAR1", "silent", "*|**0100EW*0100AR=1", "Low", "00", "", "", ""},
               {"DP silent", "lblDP", "", "OptDp2", "silent", "*|**0100EW*0100DP=2", "-", "00",
                "There is no response !", "OK", ""},
               {"IC silent", "lblIC", "", "OptIC1", "silent", "*|**0100EW*0100IC=1", "-", "00",
                "There is no response !", "OK", ""},
               {"IM silent", "lblIM", "", "OptIM1", "silent", "*|**0100EW*0100IM=1", "-", "00",
                "There is no response!", "OK", ""},
               {"ZL keeps", "lblZL", "", "OptZL1", "silent", "*|**0100EW*0100ZL=1", "Unlocked", "00",
                "There is no response !", "OK", ""},
               // A broadcast: no wake-up star; the broadcast coming back around is no reply.
               {"BL", "lblBL", "Unlocked", "OptBL1", "", "**9900EW*9900BL=1", "Locked", "00",
                "Baud Lock has been changed !", "", "*0001BL=1\n*0002BL=1\n*0003BL=1\n"},
               {"BL, third refuses", "lblBL", "Unlocked", "OptBL1", "refused", "**9900EW*9900BL=1", "Locked",
                "00", "Baud Lock has been changed !|Warning: Could not change BL for some instruments!", "",
                "*0001BL=1\n*0002BL=1\n*0003BL=0\n"},
               {"BL silent", "lblBL", "Unlocked", "OptBL1", "silent", "**9900EW*9900BL=1", "-", "00",
                "There is no response!...", "", ""},
               {"BL short", "lblBL", "Unlocked", "OptBL1", "missingCR", "**9900EW*9900BL=1", "-", "00",
                "There is no response!...", "", "*0001BL=1\n*0002BL=1\n*0003BL=1\n"},
               {"taring off", "lblZS", "On", "OptZS0", "", "*|**0100EW*0100ZS=0", "Off", "00", "", "OK",
                "*0001ZS=0\n"},
               {"taring done", "lblZS", "Off", "OptZS1", "", "*|**0100EW*0100ZS=1|**0100ZS|**0100ZV", "On",
                "11", "", "OK", "*0001ZS=2\n*0001ZV=?\n"},
               {"still measuring", "lblZS", "Off", "OptZS1", "slow", "*|**0100EW*0100ZS=1|**0100ZS|**0100ZV",
                "Requested", "11", "", "OK", "*0001ZS=1\n*0001ZV=0.0000\n"},
               {"taring off, silent", "lblZS", "On", "OptZS0", "silent", "*|**0100EW*0100ZS=0", "On", "11",
                "There is no response !", "OK", ""},
               {"taring requested, silent", "lblZS", "Off", "OptZS1", "silent",
                "*|**0100EW*0100ZS=1|**0100ZS", "Off", "00", "There is no response !", "OK", ""}});
    }
    void writes() {
        const auto [box, before, button, fault, wire] = cells("box", "before", "button", "fault", "wire");
        PageBench b(box == "lblBL"    ? sim::LoopConfig::numbered(3)
                    : fault == "slow" ? PageBench::withParams("PR=16383|TR=65532")
                                      : sim::LoopConfig::demo());
        b.startConfiguration();
        if (!before.isEmpty()) b.setTexts(box + "=" + before);
        if (box == "lblZS") b.setShown({"lblZV", "lblZVName"}, before == "Off" ? "00" : "11");
        b.breakLoop(fault);
        if (fault == "refused") b.inst("03").faults().refusedWrites = {"BL"};
        if (fault == "busy") b.main->link().OpenPort(b.state.Link);
        const QString log = b.log();
        b.answerDialog(button);
        b.click(box);

        QCOMPARE(b.lines(), written(wire)); // nothing more from the edit flow
        QCOMPARE(b.text("lblCommand"), wire.section('|', -1).mid(1));
        QTEST(b.text(box), "shown");
        QTEST(b.shownFlags({"lblZV", "lblZVName"}), "offset");
        QTEST(b.middle() + (b.op.messages.isEmpty() ? "" : "|" + b.told()), "message");
        for (const auto& m : b.op.messages)
            QVERIFY(m.title != "Warning" || m.icon == Operator::Icon::Exclamation);
        QTEST(b.state.DialogResult, "result");
        QFETCH(QString, logged); // what came is logged, even when it confirms nothing
        const QString zv = b.inst("01").param("ZV");
        if (logged.contains("ZV=")) QCOMPARE(b.text("lblZV"), zv);
        QCOMPARE(b.log().mid(log.size()), logged.replace("ZV=?", "ZV=" + zv));
        QVERIFY(!pointerIsBusy());
    }

    // seen: the dialog, its caption and the option selected at load. With nothing selected the
    // operator presses OK, which has nothing to write; else Cancel.
    void selectedAtLoad_data() {
        table({"box", "before", "seen", "result"},
              {{"DD", "lblDD", "Long", "frmDD|Display Distance|OptDD1", "Cancel"},
               {"AR", "lblAR", "High", "frmAR|Analog Resolution|OptAR1", ""},
               {"DP 0", "lblDP", "0", "frmDP|Decimal Places|", ""},
               {"DP 3", "lblDP", "3", "frmDP|Decimal Places|OptDp3", ""},
               {"IC", "lblIC", "+5V enable", "frmIC|Inhibit Control|OptIC1", "Cancel"},
               {"IM parallel", "lblIM", "Paralel On", "frmIM|Interface Mode|OptIM2", ""},
               {"IM on", "lblIM", "On", "frmIM|Interface Mode|OptIM1", ""},
               {"ZL", "lblZL", "Locked", "frmZL|Zero Lock|OptZL1", "Cancel"},
               {"BL", "lblBL", "Unlocked", "frmBaudLock|Baud Lock|OptBL0", ""},
               {"ZS requested", "lblZS", "Requested", "frmZS|Zero Set|OptZS1", "Cancel"},
               {"ZS on", "lblZS", "On", "frmZS|Zero Set|", ""},
               {"UN kPa", "lblUnit", "kPa", "frmUnits|Units|OptUN4", ""},
               {"UN written 8", "lblUnit", "m H2O", "frmUnits|Units|OptUN8", ""},
               {"UN read 8", "lblUnit", "m H20", "frmUnits|Units|", ""},
               {"UN written 0", "lblUnit", "User Defined", "frmUnits|Units|OptUN0", ""},
               {"UN read 0", "lblUnit", "User defined", "frmUnits|Units|", ""}});
    }
    void selectedAtLoad() {
        const auto [box, before] = cells("box", "before");
        PageBench b;
        b.state.ScreenWidthPx = 1024;
        b.state.ScreenHeightPx = 768;
        b.setTexts(box + "=" + before);
        QString seen;
        bool centred = false;
        b.op.dialogs.enqueue([&](QDialog& d) {
            seen = d.objectName() + "|" + d.windowTitle() + "|";
            for (auto* option : d.findChildren<QRadioButton*>())
                if (option->isChecked()) seen += option->objectName();
            centred = d.pos() == QPoint((1024 - d.width()) / 2, (768 - d.height()) / 2);
            d.findChild<QPushButton*>(seen.endsWith('|') ? "CmdOK" : "CmdCancel")->click();
            return 0;
        });
        QVERIFY(openOptionDialog(b.host(), b.configuration(), box));
        QCOMPARE(b.op.dialogsRun.size(), 1);
        QTEST(seen, "seen");
        QVERIFY(centred && b.lines().isEmpty());
        QTEST(b.state.DialogResult, "result");
        QCOMPARE(b.text(box), before);
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
        const auto [page, clicks, press] = cells("page", "clicks", "press");
        const QStringList before = items(page);
        PageBench b;
        b.choose("cboConfiguration", 0);
        b.setTexts("lblDisplay=" + before[0] + "|lblRS232=" + before[1] + "|lblMD=" + before[2]);
        QString atLoad, afterClicks;
        b.op.dialogs.enqueue([&](QDialog& d) {
            auto shown = [&d] {
                return d.findChild<QPushButton*>("cmdDisplay")->text() + "|" +
                       d.findChild<QPushButton*>("cmdRS232")->text() + "|" +
                       d.findChild<QLabel*>("lblMD")->text() +
                       (d.findChild<QLabel*>("lblWarning")->isHidden() ? "|" : "|W");
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

    // ufBefore, ufAfter: heading, factor and unit box, 1 shown, 0 hidden; reads: read after the write.
    void units_data() {
        const char* caution =
            "Caution!: For 16-bit output, re-enter LL and LH parameters in selected pressure units.";
        table({"id", "version", "button", "fault", "limits", "ufBefore", "reads", "name", "ufAfter",
               "messages"},
              {{"mbar", "01", "5.10", "OptUN2", "", "0.0000|30.0000", "000", "PA|OP|ZV", "mbar or hPa", "000",
                caution},
               {"m H2O", "01", "5.10", "OptUN8", "", "-|-", "111", "PA|OP|ZV", "m H2O", "001", ""},
               {"user", "01", "5.10", "OptUN0", "", "-|30.0000", "000", "PA|OP|ZV", "User Defined", "111",
                caution},
               {"psi", "01", "5.10", "OptUN1", "", "0.0000|-", "111", "PA|OP|ZV", "psi", "011", caution},
               {"model M", "02", "M2.04", "OptUN3", "", "-|-", "111", "PA", "bar", "111", ""},
               {"stale version", "02", "5.10", "OptUN4", "", "-|-", "000", "PA|OP|ZV", "kPa", "000",
                "Warning: Can't read OP value !|Warning: Can't read ZV value !"},
               {"silent", "01", "5.10", "OptUN3", "silent", "0.0000|30.0000", "111", "", "psi", "111", ""}});
    }
    void units() {
        const auto [id, version, button, fault, limits, uf, reads] =
            cells("id", "version", "button", "fault", "limits", "ufBefore", "reads");
        PageBench b;
        b.choose("cboConfiguration", id.toInt() - 1);
        const QStringList ufBoxes{"lblUFHeading", "lblUF", "lblUFUnit"};
        b.setShown(ufBoxes, uf);
        b.setTexts("lblUnit=psi|lblSoftwareVersion=" + version + "|lblLL=" + items(limits)[0] +
                   "|lblLH=" + items(limits)[1] + "|lblOverpressure=35.0000|lblZV=0.0000|lblPA=0.0000");
        b.breakLoop(fault);
        b.answerDialog(button);
        QVERIFY(openOptionDialog(b.host(), b.configuration(), "lblUnit"));

        const QString write = "**" + id + "00EW*" + id + "00UN=" + button.right(1) + "\r\n";
        QCOMPARE(b.lines(), QStringList({"*", write}) + readLines(id, reads));
        QTEST(b.text("lblUnit"), "name");
        QTEST(b.shownFlags(ufBoxes), "ufAfter");
        QTEST(b.told(), "messages");
        QCOMPARE(b.state.DialogResult, "OK");
        if (!fault.isEmpty()) { // nothing on the page changes
            QCOMPARE(b.mismatches("PnlMiddleMessage=|lblPA=0.0000|lblOverpressure=35.0000"), QString());
            return;
        }
        QCOMPARE(b.middle(), "UN value has been changed!...");
        const bool full = reads.contains("OP");
        // The instrument rescaled its values; the page shows them in the new unit.
        const sim::Instrument& inst = b.inst(id);
        QCOMPARE(b.text("lblPA"), inst.param("PA"));
        QCOMPARE(b.text("lblOverpressure"), !full ? "35.0000" : inst.has("OP") ? inst.param("OP") : "-");
        QCOMPARE(b.text("lblZV"), !full ? "0.0000" : inst.has("ZV") ? inst.param("ZV") : "-");
        if (button == "OptUN2") QVERIFY(b.text("lblOverpressure") != "35.0000");
        QVERIFY(b.log().startsWith("*00" + id + "UN=" + button.right(1) + "\n*00" + id + "PA="));
    }
};

QTEST_MAIN(TestOptionDialogs)
#include "tst_optiondialogs.moc"
