// Clicking value boxes: the guard, the prompt edits, the boxes that open a dialog and their
// follow-ups, on the simulated loop and on scripted replies.
#include "PageBench.h"

#include <QSignalSpy>

using namespace cvi;
using namespace cvi::test;

class TestEditFlow : public QObject {
    Q_OBJECT
private slots:
    // Before Start the guard; then the operator cancels (no answer) or types what the line
    // cannot carry.
    void clicksThatSendNothing_data() {
        const char* guard = "Please click the start button first !";
        table({"box", "started", "answer", "left", "middle"},
              {{"guard C1", "lblC1", "0", "", guard, "kept"},
               {"guard PR", "lblPR", "0", "", guard, "kept"},
               {"guard BL", "lblBL", "0", "", guard, "kept"},
               {"cancel LH", "lblLH", "1", "", "", "Canceled!"},
               {"cancel LL", "lblLL", "1", "", "", "Canceled !"},
               {"cancel C1", "lblC1", "1", "", "", ""},
               {"cancel PR", "lblPR", "1", "", "", ""},
               {"line break", "lblC1", "1", "1\r\n*9900EW*9900BR=300", "", "Invalid Entry"},
               {"control character", "lblC1", "1", "2\x01", "", "Invalid Entry"},
               {"beyond Latin-1", "lblC1", "1", "1\u20ac", "", "Invalid Entry"}});
    }
    void clicksThatSendNothing() {
        const auto [box, started, answer] = cells("box", "started", "answer");
        PageBench b;
        int opened = 0;
        setDialogOpener([&](PageHost&, const PageContext&, const QString&) { return ++opened > 0; });
        b.choose("cboConfiguration", 0);
        if (started == "1") {
            b.startConfiguration();
            b.startCalibration();
        }
        b.main->setMiddleMessage("kept");
        QSignalSpy reset(&b.host(), &PageHost::samplingResetRequested);
        const QString before = b.text(box);
        b.edit(box, answer);
        QTEST(b.left(), "left");
        QTEST(b.middle(), "middle");
        QCOMPARE(b.op.asked.size(), started.toInt());
        QCOMPARE(opened, 0);
        QVERIFY(b.lines().isEmpty() && reset.isEmpty());
        QCOMPARE(b.text(box), before);
    }

    // answers: typed in turn until one is taken; byDefault: the prompt offers the box's caption;
    // wait: shown while the write is answered; after: read after the write line.
    void promptEdits_data() {
        table(
            {"box", "answers", "byDefault", "wait", "shown", "after"},
            {{"C1", "lblC1", "1.5", "1", "Please wait ...",
              "lblCmd=*0100EW*0100C1=1.5|PnlMiddleMessage=C1 coefficient has been changed.", ""},
             {"D1", "lblD1", "2", "1", "Please wait...",
              "lblCmd=*0100EW*0100D1=2|PnlMiddleMessage=D1 coefficient has been changed.", ""},
             {"T1", "lblT1", "3", "1", "Please wait !",
              "lblCmd=*0100EW*0100T1=3|PnlMiddleMessage=T1 coefficient has been changed.", ""},
             {"PA, a second wake-up star", "lblPA", "0.5", "1", "Please wait ....",
              "lblCmd=*0100EW*0100PA=0.5|PnlMiddleMessage=PA coefficient has been changed.", ""},
             {"PR in range, then TR and T1 read", "lblPR", "0|16384|abc|0.5|16383", "1", "",
              "lblTR=65532|lblIntegrationTime=54.1|lblCommand=*0100T1|"
              "PnlMiddleMessage=Pressure resolution has been changed.",
              "TR|T1"},
             {"LL shows the answer", "lblLL", "-5", "1", "",
              "lblCommand=*0100EW*0100LL=-5|PnlMiddleMessage=Lower limit value has been changed.", ""},
             {"LH starts empty", "lblLH", "25.5", "0", "",
              "lblCommand=*0100EW*0100LH=25.5|PnlMiddleMessage=Upper limit has been changed.", ""},
             {"OP shows no enable-write", "lblOverpressure", "40", "1", "",
              "lblCommand=*0100OP=40|PnlMiddleMessage=Overpressure limit has been changed.", ""},
             {"TR", "lblTR", "1000", "1", "",
              "lblCommand=*0100EW*0100TR=1000|PnlMiddleMessage=Temperature resolution has been changed.", ""},
             {"ZV reads ZS again", "lblZV", "0.5", "1", "",
              "lblZS=Off|lblCommand=*0100ZS|PnlMiddleMessage=Zero value has been changed", "ZS"}});
    }
    void promptEdits() {
        const auto [box, answers, byDefault, shown, after] =
            cells("box", "answers", "byDefault", "shown", "after");
        PageBench b;
        b.startConfiguration();
        b.startCalibration();
        QSignalSpy reset(&b.host(), &PageHost::samplingResetRequested);
        const QString before = b.text(box);
        QString wait = "unset";
        b.clock.at(b.clock.now() + 0.005, [&] { wait = b.middle(); }); // during the wake-up pause
        for (const QString& a : items(answers))
            b.op.answers.enqueue(a);
        b.click(box);

        QCOMPARE(b.op.asked.size(), items(answers).size());
        QVERIFY(!before.isEmpty());
        for (const auto& asked : b.op.asked)
            QCOMPARE(asked.defaultAnswer, byDefault == "1" ? before : QString());
        QTEST(wait, "wait");
        const QString answer = items(answers).last();
        const QString mnemonic = box == "lblOverpressure" ? QStringLiteral("OP") : box.mid(3);
        const QStringList stars = mnemonic == "PA" ? QStringList{"*", "*"} : QStringList{"*"};
        QCOMPARE(b.lines(), stars + QStringList{"**0100EW*0100" + mnemonic + "=" + answer + "\r\n"} +
                                readLines("01", after));
        QCOMPARE(b.text(box), answer);
        QCOMPARE(b.mismatches(shown), QString());
        const QString echo = "*0001" + mnemonic + "=" + answer + (mnemonic == "LH" ? "\n\n" : "\n");
        QVERIFY(b.log(shown.startsWith("lblCmd") ? "txtCalResponse" : "txtResponseBox").contains(echo));
        QCOMPARE(b.inst("01").param(mnemonic), answer);
        QCOMPARE(reset.count(), mnemonic == "PR" ? 1 : 0);
        if (mnemonic == "PR") QCOMPARE(b.state.CurrentPR, answer);
        if (mnemonic == "TR") QCOMPARE(b.state.CurrentTR, answer);
        const QString asked = b.op.asked[0].title + ": " + b.op.asked[0].prompt;
        if (mnemonic == "C1")
            QCOMPARE(asked, "C1 Calibration Coefficient: Enter the C1 Calibration Coefficient. "
                            "Caution! Changing this value may cause incorrect pressure readings.");
        if (mnemonic == "PR")
            QCOMPARE(asked, "Pressure Resolution Parameter: Enter the PR value(1 to 16383). PR "
                            "determines the pressure resolution and sampling speed.  The larger the "
                            "PR value, the higher the resolution and the slower the sample rate.  "
                            "Changing PR automatically sets TR to a value 4 times PR, or TR can be "
                            "changed individually by clicking the TR box.");
        QVERIFY(!pointerIsBusy());
    }

    // After the read the instrument answers only `replies`: nothing, or lines too short to hold a
    // value. logged: what the page's log gains.
    void unconfirmedWrites_data() {
        const char* none = "PnlMiddleMessage=There is no response !";
        table({"box", "answer", "replies", "shown", "logged"},
              {{"C1 short", "lblC1", "9", "EW*0100C1=9>*0001C", QString("lblC1=4|") + none, "*0001C\n"},
               {"PR silent", "lblPR", "300", "", QString("lblPR=-|lblTR=952|") + none, ""},
               {"PR short", "lblPR", "300", "EW*0100PR=300>*0|TR>*00", QString("lblPR=-|lblTR=-|") + none,
                "*0\n*00\n"},
               {"UF silent: nothing said", "lblUF", "2", "", "lblUF=1.000000|PnlMiddleMessage=", ""},
               {"LH shows the answer", "lblLH", "3", "EW*0100LH=3>*0001",
                "lblLH=3|PnlMiddleMessage=Upper limit has been changed.", "*0001\n\n"}});
    }
    void unconfirmedWrites() {
        const auto [box, answer, replies, shown, logged] =
            cells("box", "answer", "replies", "shown", "logged");
        PageBench b(sim::LoopConfig::demo(), PageBench::Line::Script);
        b.replyWith("SN>*0001SN=1|C1>*0001C1=4|PR>*0001PR=238|TR>*0001TR=952|UF>*0001UF=1.000000");
        b.startConfiguration();
        b.startCalibration();
        b.replyWith(replies);
        QSignalSpy reset(&b.host(), &PageHost::samplingResetRequested);
        b.edit(box, answer);
        QCOMPARE(b.mismatches(shown), QString());
        QCOMPARE(b.state.CurrentPR, "238");
        QCOMPARE(reset.count(), box == "lblPR" ? 1 : 0);
        // What came is still logged.
        QVERIFY(b.log(box == "lblC1" ? "txtCalResponse" : "txtResponseBox").endsWith(logged));
        QVERIFY(b.op.messages.isEmpty());
        QVERIFY(!pointerIsBusy());
    }

    void secondClickDuringAnExchangeIsIgnored() {
        PageBench b;
        b.startCalibration();
        auto* other = b.w<ValueBox>("lblC2");
        b.clock.at(b.clock.now() + 0.02, [other] { // while the reply is awaited, another click
            QMetaObject::invokeMethod(other, &ValueBox::clicked, Qt::QueuedConnection);
        });
        b.op.answers << "2"
                     << "3";
        b.click("lblC1");
        QCoreApplication::processEvents();
        QCOMPARE(b.op.asked.size(), 1);
        QCOMPARE(b.lines(), (QStringList{"*", "**0100EW*0100C1=2\r\n"}));
        QCOMPARE(b.text("lblC1"), "2");
        b.click("lblC2"); // once the exchange is over, clicks count again
        QCOMPARE(b.op.asked.size(), 2);
    }

    // A dialog that leaves `command` in lblCommand and the result "OK", or, as the Baud Lock
    // dialog does, no result after an earlier dialog's "OK"; replies: lines logged.
    void dialogFollowUps_data() {
        table({"box", "command", "result", "shown", "replies"},
              {{"Baud Lock", "lblBL", "*9900EW*9900BL=1", "OK", "lblBL=Locked", "3"},
               {"display on", "lblDisplay", "*0100EW*0100MD=1", "OK", "lblMD=1|lblDisplay=On|lblRS232=Off",
                "1"},
               {"from the RS-232 box", "lblRS232", "*0100EW*0100MD=0", "OK",
                "lblMD=0|lblDisplay=Off|lblRS232=Off", "1"},
               {"stale result", "lblBL", "*9900EW*9900BL=1", "", "lblBL=Unlocked", "0"}});
    }
    void dialogFollowUps() {
        const auto [box, command, result, shown, replies] =
            cells("box", "command", "result", "shown", "replies");
        PageBench b;
        b.startConfiguration();
        b.main->setMiddleMessage("old");
        b.state.DialogResult = "OK";
        QStringList opened;
        setDialogOpener([&](PageHost& host, const PageContext& page, const QString& name) {
            opened << name + "|" + page.command->text() + "|" + b.middle() + "|" + host.state().DialogResult;
            if (!result.isEmpty()) host.state().DialogResult = result;
            page.showCommand(command);
            return true;
        });
        b.click(box);
        b.click("lblMD"); // read-only: no dialog
        QCOMPARE(opened, QStringList{box + "|||"});
        QCOMPARE(b.lines(), result.isEmpty() ? QStringList() : QStringList({"*", "*" + command + "\r\n"}));
        QCOMPARE(b.mismatches(shown), QString());
        QCOMPARE(b.log().split('\n', Qt::SkipEmptyParts).size(), 20 + replies.toInt());
        QVERIFY(b.op.messages.isEmpty());
        QVERIFY(!pointerIsBusy());
    }

    void backgroundModeThroughItsDialog() {
        PageBench b;
        b.startConfiguration();
        b.answerDialog("cmdRS232"); // continuous RS-232 on: the page sends MD=2, reads it back
        b.click("lblRS232");
        QCOMPARE(b.lines(), QStringList({"*", "**0100EW*0100MD=2\r\n"}));
        QCOMPARE(b.mismatches("lblMD=2|lblRS232=On|lblDisplay=Off"), QString());
        QVERIFY(b.inst("01").streaming());
        b.answerDialog("cmdRS232"); // and off again while the instrument streams
        b.click("lblRS232");
        QCOMPARE(b.inst("01").param("MD"), "0");
        QCOMPARE(b.mismatches("lblMD=0|lblRS232=Off"), QString());
    }
};

QTEST_MAIN(TestEditFlow)
#include "tst_editflow.moc"
