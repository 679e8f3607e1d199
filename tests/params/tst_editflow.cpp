// Clicking value boxes: the guard, the prompt edit and its members, the PR edit, the boxes that
// open a dialog and their follow-ups, on the simulated loop and on scripted replies.
#include "PageBench.h"

#include <QSignalSpy>
#include <QVBoxLayout>

using namespace cvi;
using namespace cvi::test;

namespace {
// The Atmo3 page as it plugs into the edit flow: its Start button (read), command label and
// response box, and value boxes named after their parameters, all showing `caption`.
PageContext standInPage(PageHost& host, const QStringList& boxes, const QString& caption) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    PageContext context{new QPushButton(page), new QLabel(page), new QPlainTextEdit(page),
                        [page](const QString& name) { return page->findChild<QLabel*>(name); }};
    context.start->setObjectName("cmdAnalogSend");
    context.start->setEnabled(false);
    context.command->setObjectName("PnlCmdBox");
    context.response->setObjectName("txtAnalogResponse");
    for (const QString& name : boxes) {
        auto* box = new ValueBox(name, host.state().Record, page);
        box->show(caption);
        layout->addWidget(box);
        attachValueBox(host, context, box);
    }
    host.setPage(PageHost::Atmo3, page);
    return context;
}
} // namespace

class TestEditFlow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setEndProgramHook([] {});
    }

    // Before Start the guard; then the operator cancels (no answer) or types what the line
    // cannot carry.
    void clicksThatSendNothing_data() {
        const char* guard = "Please click the start button first !";
        table({"box", "started", "answer", "left", "middle"},
              {{"guard C1", "lblC1", "0", "", guard, "kept"},
               {"guard PR", "lblPR", "0", "", guard, "kept"},
               {"guard BL", "lblBL", "0", "", guard, "kept"},
               {"guard Display", "lblDisplay", "0", "", guard, "kept"},
               {"cancel LH", "lblLH", "1", "", "", "Canceled!"},
               {"cancel LL", "lblLL", "1", "", "", "Canceled !"},
               {"cancel C1", "lblC1", "1", "", "", ""},
               {"line break", "lblC1", "1", "1\r\n*9900EW*9900BR=300", "", "Invalid Entry"},
               {"control character", "lblC1", "1", "2\x01", "", "Invalid Entry"},
               {"beyond Latin-1", "lblC1", "1", "1\u20ac", "", "Invalid Entry"}});
    }
    void clicksThatSendNothing() {
        QFETCH(QString, box);
        QFETCH(QString, started);
        PageBench b;
        int opened = 0;
        setDialogOpener([&](PageHost&, const PageContext&, const QString&) { return ++opened > 0; });
        b.choose("cboConfiguration", 0);
        if (started == "1") {
            b.startConfiguration();
            b.startCalibration();
        }
        b.main->setMiddleMessage("kept");
        const QString before = b.text(box);
        QFETCH(QString, answer);
        b.edit(box, answer);
        QTEST(b.left(), "left");
        QTEST(b.middle(), "middle");
        QCOMPARE(b.op.asked.size(), started.toInt());
        QCOMPARE(opened, 0);
        QVERIFY(b.lines().isEmpty());
        QCOMPARE(b.text(box), before);
    }

    // byDefault: the prompt offers the box's caption; wait: shown while the write is answered;
    // shown: box=text pairs afterwards; after: parameters read after the write line.
    void promptEdits_data() {
        table({"box", "answer", "byDefault", "wait", "shown", "message", "after"},
              {{"C1", "lblC1", "1.5", "1", "Please wait ...", "lblCmd=*0100EW*0100C1=1.5",
                "C1 coefficient has been changed.", ""},
               {"D1", "lblD1", "2", "1", "Please wait...", "lblCmd=*0100EW*0100D1=2",
                "D1 coefficient has been changed.", ""},
               {"T1", "lblT1", "3", "1", "Please wait !", "lblCmd=*0100EW*0100T1=3",
                "T1 coefficient has been changed.", ""},
               {"PA, a second wake-up star", "lblPA", "0.5", "1", "Please wait ....",
                "lblCmd=*0100EW*0100PA=0.5", "PA coefficient has been changed.", ""},
               {"PR reads TR and T1", "lblPR", "300", "1", "", "lblTR=1200|lblCommand=*0100T1",
                "Pressure resolution has been changed.", "TR|T1"},
               {"LL shows the answer", "lblLL", "-5", "1", "", "lblCommand=*0100EW*0100LL=-5",
                "Lower limit value has been changed.", ""},
               {"LH starts empty", "lblLH", "25.5", "0", "", "lblCommand=*0100EW*0100LH=25.5",
                "Upper limit has been changed.", ""},
               {"OP shows no enable-write", "lblOverpressure", "40", "1", "", "lblCommand=*0100OP=40",
                "Overpressure limit has been changed.", ""},
               {"TR", "lblTR", "1000", "1", "", "lblCommand=*0100EW*0100TR=1000",
                "Temperature resolution has been changed.", ""},
               {"ZV reads ZS again", "lblZV", "0.5", "1", "", "lblZS=Off|lblCommand=*0100ZS",
                "Zero value has been changed", "ZS"}});
    }
    void promptEdits() {
        QFETCH(QString, box);
        QFETCH(QString, answer);
        PageBench b;
        b.startConfiguration();
        b.startCalibration();
        const QString before = b.text(box);
        QString wait = "unset";
        b.clock.at(b.clock.now() + 0.005, [&] { wait = b.middle(); }); // during the wake-up pause
        b.edit(box, answer);

        QCOMPARE(b.op.asked.size(), 1);
        QVERIFY(!before.isEmpty());
        QFETCH(QString, byDefault);
        QCOMPARE(b.op.asked[0].defaultAnswer, byDefault == "1" ? before : QString());
        QTEST(wait, "wait");
        const QString mnemonic = box == "lblOverpressure" ? QStringLiteral("OP") : box.mid(3);
        QStringList lines{"*"};
        if (mnemonic == "PA") lines << "*";
        lines << "**0100EW*0100" + mnemonic + "=" + answer + "\r\n";
        QFETCH(QString, after);
        QCOMPARE(b.lines(), lines + readLines("01", items(after)));
        const auto writes = b.wire().writes();
        QVERIFY(writes[lines.size() - 1].time - writes[lines.size() - 2].time >= 0.010 - 1e-9);
        QCOMPARE(b.text(box), answer);
        QFETCH(QString, shown);
        QCOMPARE(b.mismatches(items(shown)), QString());
        QTEST(b.middle(), "message");
        const QString echo = "*0001" + mnemonic + "=" + answer + (mnemonic == "LH" ? "\n\n" : "\n");
        QVERIFY(b.log(shown.startsWith("lblCmd") ? "txtCalResponse" : "txtResponseBox").contains(echo));
        QCOMPARE(b.inst("01").param(mnemonic), answer);
        if (mnemonic == "TR") QCOMPARE(b.state.CurrentTR, answer);
        if (mnemonic == "C1")
            QCOMPARE(
                b.op.asked[0].prompt + "|" + b.op.asked[0].title,
                QStringLiteral("Enter the C1 Calibration Coefficient. Caution! Changing this value may cause "
                               "incorrect pressure readings.|C1 Calibration Coefficient"));
        QVERIFY(!b.main->link().PortOpen());
        QVERIFY(!pointerIsBusy());
    }

    void resolutionPrompt() {
        PageBench b;
        b.startConfiguration();
        QSignalSpy reset(&b.host(), &PageHost::samplingResetRequested);
        for (const char* answer : {"0", "16384", "abc", "0.5", "16383"})
            b.op.answers.enqueue(answer);
        b.click("lblPR");
        QCOMPARE(b.op.asked.size(), 5);
        QCOMPARE(b.op.asked[0].title, QStringLiteral("Pressure Resolution Parameter"));
        QCOMPARE(
            b.op.asked[0].prompt,
            QStringLiteral(
                "Enter the PR value(1 to 16383). PR determines the pressure resolution and sampling speed.  "
                "The larger the PR value, the higher the resolution and the slower the sample rate.  "
                "Changing PR automatically sets TR to a value 4 times PR, or TR can be changed "
                "individually by clicking the TR box."));
        for (const auto& asked : b.op.asked)
            QCOMPARE(asked.defaultAnswer, QStringLiteral("238"));
        QCOMPARE(b.lines(), QStringList({"*", "**0100EW*0100PR=16383\r\n"}) + readLines("01", {"TR", "T1"}));
        QCOMPARE(b.mismatches({"lblPR=16383", "lblTR=65532", "lblIntegrationTime=54.1"}), QString());
        QCOMPARE(b.state.CurrentPR, QStringLiteral("16383"));
        QCOMPARE(reset.count(), 1);

        b.wire().clear();
        b.click("lblPR"); // a cancelled prompt ends the edit
        QVERIFY(b.lines().isEmpty());
        QCOMPARE(reset.count(), 1);
    }

    // After the read the instrument answers only `replies` ("command body>reply line", CR LF
    // added): nothing, or lines too short to hold a value. logged: what the page's log gains.
    void unconfirmedWrites_data() {
        const char* none = "PnlMiddleMessage=There is no response !";
        table({"box", "answer", "replies", "shown", "logged"},
              {{"C1 silent", "lblC1", "9", "", QString("lblC1=4|") + none, ""},
               {"C1 short", "lblC1", "9", "EW*0100C1=9>*0001C", QString("lblC1=4|") + none, "*0001C\n"},
               {"PR silent", "lblPR", "300", "", QString("lblPR=-|lblTR=952|") + none, ""},
               {"PR short", "lblPR", "300", "EW*0100PR=300>*0|TR>*00", QString("lblPR=-|lblTR=-|") + none,
                "*0\n*00\n"},
               {"UF silent: nothing said", "lblUF", "2", "", "lblUF=1.000000|PnlMiddleMessage=", ""},
               {"LH shows the answer", "lblLH", "3", "EW*0100LH=3>*0001",
                "lblLH=3|PnlMiddleMessage=Upper limit has been changed.", "*0001\n\n"}});
    }
    void unconfirmedWrites() {
        QFETCH(QString, box);
        PageBench b(sim::LoopConfig::demo(), PageBench::Line::Script);
        b.script = {{"SN", "*0001SN=1\r\n"},
                    {"C1", "*0001C1=4\r\n"},
                    {"PR", "*0001PR=238\r\n"},
                    {"TR", "*0001TR=952\r\n"},
                    {"UF", "*0001UF=1.000000\r\n"}};
        b.startConfiguration();
        b.startCalibration();
        b.script.clear();
        QFETCH(QString, replies);
        for (const QString& r : items(replies))
            b.script.insert(r.section('>', 0, 0), r.section('>', 1).toLatin1() + "\r\n");
        QSignalSpy reset(&b.host(), &PageHost::samplingResetRequested);
        QFETCH(QString, answer);
        b.edit(box, answer);
        QFETCH(QString, shown);
        QCOMPARE(b.mismatches(items(shown)), QString());
        QCOMPARE(b.state.CurrentPR, QStringLiteral("238"));
        QCOMPARE(reset.count(), box == "lblPR" ? 1 : 0);
        QFETCH(QString, logged); // what came is still logged
        QVERIFY(b.log(box == "lblC1" ? "txtCalResponse" : "txtResponseBox").endsWith(logged));
        QVERIFY(b.op.messages.isEmpty());
        QVERIFY(!pointerIsBusy());
    }

    void humidityCoefficientOnTheAtmo3Page() {
        PageBench b;
        b.choose("cboConfiguration", 2); // the Atmo 3 system
        const PageContext page = standInPage(b.host(), {"lblH1", "lblK1"}, "RHT-2");
        b.wire().clear();

        b.edit("lblH1", "XYZ");
        QCOMPARE(b.middle(), QStringLiteral("Invalid Entry"));
        QVERIFY(b.lines().isEmpty());
        QCOMPARE(b.op.asked[0].title, QStringLiteral("H1 Calibration Coefficient"));
        QCOMPARE(b.op.asked[0].prompt,
                 QStringLiteral("Enter the H1 Calibration Coefficient.  Caution! Changing "
                                "this value may cause incorrect readings."));
        QCOMPARE(b.op.asked[0].defaultAnswer, QStringLiteral("RHT-2"));

        b.edit("lblH1", "rht-9");
        QCOMPARE(b.lines(), (QStringList{"*", "**0300EW*0300H1=rht-9\r\n"}));
        QCOMPARE(b.mismatches({"lblH1=rht-9", "PnlCmdBox=*0300EW*0300H1=rht-9",
                               "PnlMiddleMessage=H1 coefficient has been changed."}),
                 QString());
        QVERIFY(b.log("txtAnalogResponse").endsWith("*0003H1=rht-9\n"));
        QCOMPARE(b.inst("03").param("H1"), QStringLiteral("rht-9"));

        page.start->setEnabled(true); // its Start button on again: Start before any edit
        b.click("lblK1");
        QCOMPARE(b.left(), QStringLiteral("Please click the start button first !"));
        QCOMPARE(b.op.asked.size(), 2);
    }

    void secondClickDuringAnExchangeIsIgnored() {
        PageBench b;
        b.startCalibration();
        auto* other = b.w<ValueBox>("lblC2");
        b.clock.at(b.clock.now() + 0.02, [other] { // while the reply is awaited, another click
            QMetaObject::invokeMethod(other, &ValueBox::clicked, Qt::QueuedConnection);
        });
        b.op.answers.enqueue("2");
        b.op.answers.enqueue("3");
        b.click("lblC1");
        QCoreApplication::processEvents();
        QCOMPARE(b.op.asked.size(), 1);
        QCOMPARE(b.lines(), (QStringList{"*", "**0100EW*0100C1=2\r\n"}));
        QCOMPARE(b.text("lblC1"), QStringLiteral("2"));
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
        QFETCH(QString, box);
        QFETCH(QString, command);
        QFETCH(QString, result);
        PageBench b;
        b.startConfiguration();
        b.main->setMiddleMessage("old");
        b.state.DialogResult = "OK";
        QStringList opened;
        setDialogOpener([&](PageHost& host, const PageContext& page, const QString& box) {
            opened << box + "|" + page.command->text() + "|" + b.middle() + "|" + host.state().DialogResult;
            if (!result.isEmpty()) host.state().DialogResult = result;
            page.showCommand(command);
            return true;
        });
        b.click(box);
        b.click("lblMD"); // read-only: no dialog
        QCOMPARE(opened, QStringList{box + "|||"});
        QCOMPARE(b.lines(), result.isEmpty() ? QStringList() : QStringList({"*", "*" + command + "\r\n"}));
        QFETCH(QString, shown);
        QCOMPARE(b.mismatches(items(shown)), QString());
        QFETCH(QString, replies);
        QCOMPARE(b.log().split('\n', Qt::SkipEmptyParts).size(), 20 + replies.toInt());
        QVERIFY(b.op.messages.isEmpty());
        QVERIFY(!b.main->link().PortOpen());
        QVERIFY(!pointerIsBusy());
    }

    void backgroundModeThroughItsDialog() {
        PageBench b;
        b.startConfiguration();
        b.answerDialog("cmdRS232"); // continuous RS-232 on: the page sends MD=2, reads it back
        b.click("lblRS232");
        QCOMPARE(b.lines(), QStringList({"*", "**0100EW*0100MD=2\r\n"}));
        QCOMPARE(b.mismatches({"lblMD=2", "lblRS232=On", "lblDisplay=Off"}), QString());
        QVERIFY(b.inst("01").streaming());
        b.answerDialog("cmdRS232"); // and off again while the instrument streams
        b.click("lblRS232");
        QCOMPARE(b.inst("01").param("MD"), QStringLiteral("0"));
        QCOMPARE(b.mismatches({"lblMD=0", "lblRS232=Off"}), QString());
    }
};

QTEST_MAIN(TestEditFlow)
#include "tst_editflow.moc"
