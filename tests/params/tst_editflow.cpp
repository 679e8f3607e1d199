// Clicking value boxes: the guard, the prompt edit and its members, the PR edit, the boxes that
// open a dialog and their follow-ups, on the simulated loop and on scripted replies.
#include "PageBench.h"
#include "Pointer.h"

#include <QSignalSpy>
#include <QVBoxLayout>

using namespace cvi;
using cvi::test::PageBench;
using cvi::test::readLines;
using cvi::test::row;

namespace {
// A page of the main window as a later page plugs into the edit flow: its Start button, command
// label and response box, and value boxes named after their parameters.
struct StandInPage {
    QWidget* page = nullptr;
    PageContext context;

    StandInPage(MainWindow& main, const QStringList& boxes,
                const QString& caption = QStringLiteral("RHT-2")) {
        page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        auto* start = new QPushButton(QStringLiteral("Start"), page);
        start->setObjectName(QStringLiteral("cmdAnalogSend"));
        start->setEnabled(false); // read
        auto* command = new QLabel(page);
        command->setObjectName(QStringLiteral("PnlCmdBox"));
        auto* response = new QPlainTextEdit(page);
        response->setObjectName(QStringLiteral("txtAnalogResponse"));
        layout->addWidget(start);
        layout->addWidget(command);
        layout->addWidget(response);
        context = PageContext{start, command, response};
        for (const QString& name : boxes) {
            auto* box = new ValueBox(name, page);
            box->setText(caption);
            layout->addWidget(box);
            attachValueBox(main, context, box);
        }
        main.setPage(MainWindow::PageAtmo3, page);
    }
};
} // namespace

class TestEditFlow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setEndProgramHook([] {});
    }
    void guardBeforeStart_data();
    void guardBeforeStart();
    void coefficientWriteLine();
    void waitTexts_data();
    void waitTexts();
    void configurationPrompts_data();
    void configurationPrompts();
    void cancelling_data();
    void cancelling();
    void resolutionPrompt();
    void silentInstrument();
    void humidityCoefficientOnAStandInPage();
    void shortRepliesConfirmNothing();
    void answersThatWouldBreakTheLine();
    void catalogueTexts_data();
    void catalogueTexts();
    void secondClickDuringAnExchangeIsIgnored();
    void dialogResultIsResetBeforeEveryDialog();
    void dialogFollowUps_data();
    void dialogFollowUps();
};

void TestEditFlow::guardBeforeStart_data() {
    QTest::addColumn<QString>("box");
    for (const char* box : {"lblC1", "lblPR", "lblBL", "lblDisplay"})
        row(box, box);
}

void TestEditFlow::guardBeforeStart() {
    QFETCH(QString, box);
    PageBench b;
    int opened = 0;
    setDialogOpener([&](MainWindow&, const QString&) { return ++opened > 0; });
    b.choose("cboConfiguration", 0);
    b.main->setMiddleMessage("kept");
    b.click(box);
    QCOMPARE(b.left(), QStringLiteral("Please click the start button first !"));
    QCOMPARE(b.middle(), QStringLiteral("kept"));
    QVERIFY(b.op.asked.isEmpty());
    QCOMPARE(opened, 0);
    QVERIFY(b.lines().isEmpty());
}

void TestEditFlow::coefficientWriteLine() {
    PageBench b;
    b.startCalibration();
    b.op.answers.enqueue("1.5");
    b.click("lblC1");
    QCOMPARE(b.op.asked.size(), 1);
    QCOMPARE(b.op.asked[0].prompt,
             QStringLiteral("Enter the C1 Calibration Coefficient. Caution! Changing this value "
                            "may cause incorrect pressure readings."));
    QCOMPARE(b.op.asked[0].title, QStringLiteral("C1 Calibration Coefficient"));
    QCOMPARE(b.op.asked[0].defaultAnswer, QStringLiteral("120"));
    QCOMPARE(b.lines(), (QStringList{"*", "**0100EW*0100C1=1.5\r\n"}));
    const auto writes = b.wire().writes();
    QVERIFY(writes[1].time - writes[0].time >= 0.010);
    QCOMPARE(b.text("lblC1"), QStringLiteral("1.5"));
    QCOMPARE(b.text("lblCmd"), QStringLiteral("*0100EW*0100C1=1.5"));
    QCOMPARE(b.middle(), QStringLiteral("C1 coefficient has been changed."));
    QVERIFY(b.log("txtCalResponse").endsWith("*0001C1=1.5\n"));
    QCOMPARE(b.inst("01").param("C1"), QStringLiteral("1.5"));
    QVERIFY(!b.main->link().PortOpen());
    QVERIFY(!pointerIsBusy());
}

void TestEditFlow::waitTexts_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("wait");
    QTest::addColumn<QString>("success");
    row("C2", "lblC2", "Please wait ...", "C2 coefficient has been changed.");
    row("D1", "lblD1", "Please wait...", "D1 coefficient has been changed.");
    row("T1", "lblT1", "Please wait !", "T1 coefficient has been changed.");
    row("PA", "lblPA", "Please wait ....", "PA coefficient has been changed.");
    row("PR, none", "lblPR", "", "Pressure resolution has been changed.");
    row("LL, none", "lblLL", "", "Lower limit value has been changed.");
}

void TestEditFlow::waitTexts() {
    QFETCH(QString, box);
    QFETCH(QString, wait);
    QFETCH(QString, success);
    PageBench b(sim::LoopConfig::demo(), PageBench::Line::Script);
    const QString mnemonic = box.mid(3);
    b.script.insert("SN", "*0001SN=1\r\n");
    b.script.insert("EW*0100" + mnemonic + "=7", "*0001" + mnemonic.toLatin1() + "=7\r\n");
    b.choose("cboConfiguration", 0);
    b.press("cmdConfigurationStart");
    b.startCalibration();
    QString shownWhileWriting;
    b.scripted->onWrite = [&](const QByteArray& bytes, double t) {
        if (bytes.contains("EW")) shownWhileWriting = b.middle();
        b.answer(bytes, t);
    };
    b.scripted->writes.clear();
    b.op.answers.enqueue("7");
    b.click(box);
    QCOMPARE(shownWhileWriting, wait);
    QCOMPARE(b.middle(), success);
    QCOMPARE(b.text(box), QStringLiteral("7"));
    QStringList expected{"*"};
    if (mnemonic == "PA") expected << "*"; // the second wake-up star
    expected << "**0100EW*0100" + mnemonic + "=7\r\n";
    QCOMPARE(b.scriptedTexts().mid(0, expected.size()), expected);
    if (mnemonic == "PA") QVERIFY(b.scripted->writes[2].time - b.scripted->writes[1].time >= 0.010 - 1e-9);
}

void TestEditFlow::configurationPrompts_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("defaultAnswer");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("after"); // lines written after the write line
    row("LL shows the answer", "lblLL", "-5", "0.0000", "-5", "*0100EW*0100LL=-5",
        "Lower limit value has been changed.", QStringList{});
    row("LH starts empty", "lblLH", "25.5", "", "25.5", "*0100EW*0100LH=25.5",
        "Upper limit has been changed.", QStringList{});
    row("OP shows no enable-write", "lblOverpressure", "40", "35.0000", "40", "*0100OP=40",
        "Overpressure limit has been changed.", QStringList{});
    row("TR", "lblTR", "1000", "952", "1000", "*0100EW*0100TR=1000",
        "Temperature resolution has been changed.", QStringList{});
    row("ZV reads ZS again", "lblZV", "0.5", "0.0000", "0.5", "*0100ZS", "Zero value has been changed",
        readLines("01", {"ZS"}));
}

void TestEditFlow::configurationPrompts() {
    QFETCH(QString, box);
    QFETCH(QString, answer);
    QFETCH(QString, defaultAnswer);
    QFETCH(QString, shown);
    QFETCH(QString, command);
    QFETCH(QString, message);
    QFETCH(QStringList, after);
    PageBench b;
    b.startConfiguration();
    b.op.answers.enqueue(answer);
    b.click(box);
    QCOMPARE(b.op.asked.size(), 1);
    QCOMPARE(b.op.asked[0].defaultAnswer, defaultAnswer);
    QCOMPARE(b.text(box), shown);
    QCOMPARE(b.text("lblCommand"), command);
    QCOMPARE(b.middle(), message);
    const QString mnemonic = box == "lblOverpressure" ? QStringLiteral("OP") : box.mid(3);
    QCOMPARE(b.lines(), QStringList({"*", "**0100EW*0100" + mnemonic + "=" + answer + "\r\n"}) + after);
    QCOMPARE(b.inst("01").param(mnemonic), answer);
    if (box == "lblTR") QCOMPARE(b.state.CurrentTR, answer);
    if (box == "lblLH") QVERIFY(b.log("txtResponseBox").endsWith("*0001LH=25.5\n\n"));
    if (box == "lblZV") QCOMPARE(b.text("lblZS"), QStringLiteral("Off"));
}

void TestEditFlow::cancelling_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("message");
    row("LH", "lblLH", "Canceled!");
    row("LL", "lblLL", "Canceled !");
    row("C1", "lblC1", "");
}

void TestEditFlow::cancelling() {
    QFETCH(QString, box);
    QFETCH(QString, message);
    PageBench b;
    b.startConfiguration();
    b.startCalibration();
    const QString before = b.text(box);
    b.click(box); // no answer queued: the operator cancels
    QCOMPARE(b.op.asked.size(), 1);
    QCOMPARE(b.middle(), message);
    QCOMPARE(b.text(box), before);
    QVERIFY(b.lines().isEmpty());
}

void TestEditFlow::resolutionPrompt() {
    PageBench b;
    b.startConfiguration();
    QSignalSpy reset(b.main.get(), &MainWindow::samplingResetRequested);
    for (const char* answer : {"0", "16384", "abc", "0.5", "16383"})
        b.op.answers.enqueue(answer);
    b.click("lblPR");
    QCOMPARE(b.op.asked.size(), 5);
    QCOMPARE(b.op.asked[0].title, QStringLiteral("Pressure Resolution Parameter"));
    QCOMPARE(b.op.asked[0].prompt,
             QStringLiteral(
                 "Enter the PR value(1 to 16383). PR determines the pressure resolution and sampling speed.  "
                 "The larger the PR value, the higher the resolution and the slower the sample rate.  "
                 "Changing PR automatically sets TR to a value 4 times PR, or TR can be changed "
                 "individually by clicking the TR box."));
    for (const auto& asked : b.op.asked)
        QCOMPARE(asked.defaultAnswer, QStringLiteral("238"));
    QCOMPARE(b.lines(), QStringList({"*", "**0100EW*0100PR=16383\r\n"}) + readLines("01", {"TR", "T1"}));
    QCOMPARE(b.text("lblPR"), QStringLiteral("16383"));
    QCOMPARE(b.text("lblTR"), QStringLiteral("65532")); // the instrument's own 4 x PR
    QCOMPARE(b.state.CurrentPR, QStringLiteral("16383"));
    QCOMPARE(b.text("lblIntegrationTime"), QStringLiteral("54.1"));
    QCOMPARE(b.middle(), QStringLiteral("Pressure resolution has been changed."));
    QCOMPARE(reset.count(), 1);

    // A cancelled prompt ends the edit.
    b.wire().clear();
    b.click("lblPR");
    QVERIFY(b.lines().isEmpty());
    QCOMPARE(reset.count(), 1);
}

void TestEditFlow::silentInstrument() {
    PageBench b;
    b.startConfiguration();
    b.startCalibration();
    b.inst("01").faults().silent = true;
    b.op.answers.enqueue("1.5");
    b.click("lblC1");
    QCOMPARE(b.middle(), QStringLiteral("There is no response !"));
    QCOMPARE(b.text("lblC1"), QStringLiteral("120"));

    QSignalSpy reset(b.main.get(), &MainWindow::samplingResetRequested);
    b.op.answers.enqueue("300");
    b.click("lblPR");
    QCOMPARE(b.text("lblPR"), QStringLiteral("-"));
    QCOMPARE(b.text("lblTR"), QStringLiteral("952"));
    QCOMPARE(b.middle(), QStringLiteral("There is no response !"));
    QCOMPARE(b.state.CurrentPR, QStringLiteral("238"));
    QCOMPARE(reset.count(), 1);

    b.op.answers.enqueue("2");
    b.click("lblUF"); // silent on UF: nothing said, nothing changed
    QCOMPARE(b.text("lblUF"), QStringLiteral("1.000000"));
    QCOMPARE(b.middle(), QString());
    QVERIFY(b.op.messages.isEmpty());
    QVERIFY(!pointerIsBusy());
}

void TestEditFlow::humidityCoefficientOnAStandInPage() {
    PageBench b;
    b.choose("cboConfiguration", 2); // the Atmo 3 system
    StandInPage page(*b.main, {"lblH1", "lblK1"});
    b.wire().clear();

    b.op.answers.enqueue("XYZ");
    b.click("lblH1");
    QCOMPARE(b.middle(), QStringLiteral("Invalid Entry"));
    QVERIFY(b.lines().isEmpty());
    QCOMPARE(b.op.asked[0].title, QStringLiteral("H1 Calibration Coefficient"));
    QCOMPARE(b.op.asked[0].prompt,
             QStringLiteral("Enter the H1 Calibration Coefficient.  Caution! Changing this value "
                            "may cause incorrect readings."));
    QCOMPARE(b.op.asked[0].defaultAnswer, QStringLiteral("RHT-2"));

    b.op.answers.enqueue("rht-9");
    b.click("lblH1");
    QCOMPARE(b.lines(), (QStringList{"*", "**0300EW*0300H1=rht-9\r\n"}));
    QCOMPARE(b.text("lblH1"), QStringLiteral("rht-9"));
    QCOMPARE(b.text("PnlCmdBox"), QStringLiteral("*0300EW*0300H1=rht-9"));
    QCOMPARE(b.middle(), QStringLiteral("H1 coefficient has been changed."));
    QVERIFY(b.log("txtAnalogResponse").endsWith("*0003H1=rht-9\n"));
    QCOMPARE(b.inst("03").param("H1"), QStringLiteral("rht-9"));

    // Its Start button on again: the page needs Start before any edit.
    page.context.start->setEnabled(true);
    b.click("lblK1");
    QCOMPARE(b.left(), QStringLiteral("Please click the start button first !"));
    QCOMPARE(b.op.asked.size(), 2);
}

void TestEditFlow::shortRepliesConfirmNothing() {
    PageBench b(sim::LoopConfig::demo(), PageBench::Line::Script);
    b.script = {{"SN", "*0001SN=1\r\n"},       {"C1", "*0001C1=4\r\n"},     {"PR", "*0001PR=238\r\n"},
                {"EW*0100C1=9", "*0001C\r\n"}, {"EW*0100PR=300", "*0\r\n"}, {"TR", "*00\r\n"},
                {"EW*0100LH=3", "*0001\r\n"}};
    b.choose("cboConfiguration", 0);
    b.press("cmdConfigurationStart");
    b.startCalibration();

    b.op.answers.enqueue("9");
    b.click("lblC1");
    QCOMPARE(b.text("lblC1"), QStringLiteral("4"));
    QCOMPARE(b.middle(), QStringLiteral("There is no response !"));
    QVERIFY(b.log("txtCalResponse").endsWith("*0001C\n")); // what came is still logged

    b.op.answers.enqueue("300");
    b.click("lblPR");
    QCOMPARE(b.text("lblPR"), QStringLiteral("-"));
    QCOMPARE(b.text("lblTR"), QStringLiteral("-"));
    QCOMPARE(b.state.CurrentPR, QStringLiteral("238"));
    QCOMPARE(b.middle(), QStringLiteral("There is no response !"));

    b.op.answers.enqueue("3");
    b.click("lblLH"); // the limit box shows the answer whatever the echo
    QCOMPARE(b.text("lblLH"), QStringLiteral("3"));
    QCOMPARE(b.middle(), QStringLiteral("Upper limit has been changed."));
    QVERIFY(b.op.messages.isEmpty());
}

void TestEditFlow::answersThatWouldBreakTheLine() {
    PageBench b;
    b.startCalibration();
    for (const QString& answer :
         {QStringLiteral("1\r\n*9900EW*9900BR=300"), QStringLiteral("2\x01"), QStringLiteral("1\u20ac")}) {
        b.op.answers.enqueue(answer);
        b.click("lblC1");
        QCOMPARE(b.middle(), QStringLiteral("Invalid Entry"));
    }
    QVERIFY(b.lines().isEmpty());
    QCOMPARE(b.text("lblC1"), QStringLiteral("120"));
}

void TestEditFlow::catalogueTexts_data() {
    QTest::addColumn<QString>("mnemonic");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("afterRead"); // "<none>": a code the row does not know
    QTest::addColumn<QString>("afterWrite");
    row("IM 2", "IM", "2", "On", "Paralel On");
    row("UN 8", "UN", "8", "m H20", "m H2O");
    row("UN 0", "UN", "0", "User defined", "User Defined");
    row("IC 3", "IC", "3", "<none>", "<none>");
    row("BL 7", "BL", "7", "Locked", "Locked");
}

void TestEditFlow::catalogueTexts() {
    QFETCH(QString, mnemonic);
    QFETCH(QString, value);
    QFETCH(QString, afterRead);
    QFETCH(QString, afterWrite);
    const catalogue::Parameter* p = catalogue::find(mnemonic);
    QCOMPARE(p->show(value).value_or("<none>"), afterRead);
    QCOMPARE(p->showWritten(value).value_or("<none>"), afterWrite);
    // Members carry their own mnemonic in the texts of their pattern.
    QCOMPARE(catalogue::find("T4")->promptTitle, QStringLiteral("T4 Calibration Coefficient"));
    QCOMPARE(catalogue::find("Y3")->success, QStringLiteral("Y3 coefficient has been changed."));
    QCOMPARE(catalogue::find("M2")->prompt(),
             QStringLiteral("Enter the M2 Calibration Coefficient.  Caution! "
                            "Changing this value may cause incorrect readings."));
    QCOMPARE(catalogue::forBox("lblRS232")->dialog, QStringLiteral("frmMD"));
}

void TestEditFlow::secondClickDuringAnExchangeIsIgnored() {
    PageBench b(sim::LoopConfig::demo(), PageBench::Line::Script);
    b.script = {{"SN", "*0001SN=1\r\n"}, {"EW*0100C1=2", "*0001C1=2\r\n"}};
    b.choose("cboCalibration", 0);
    b.press("cmdCalibrationStart");
    auto* other = b.w<ValueBox>("lblC2");
    b.scripted->onWrite = [&](const QByteArray& bytes, double t) {
        // The operator clicks another box while the reply is awaited.
        if (bytes.contains("EW")) QMetaObject::invokeMethod(other, &ValueBox::clicked, Qt::QueuedConnection);
        b.answer(bytes, t);
    };
    b.scripted->writes.clear();
    b.op.answers.enqueue("2");
    b.op.answers.enqueue("3");
    b.click("lblC1");
    QCoreApplication::processEvents();
    QCOMPARE(b.op.asked.size(), 1);
    QCOMPARE(b.scriptedTexts(), (QStringList{"*", "**0100EW*0100C1=2\r\n"}));
    QCOMPARE(b.text("lblC1"), QStringLiteral("2"));
    b.click("lblC2"); // once the exchange is over, clicks count again
    QCOMPARE(b.op.asked.size(), 2);
}

void TestEditFlow::dialogResultIsResetBeforeEveryDialog() {
    PageBench b;
    b.startConfiguration();
    // An earlier dialog left "OK"; the Baud Lock dialog sends its broadcast itself, leaves it in
    // lblCommand and does not set the result.
    b.state.DialogResult = "OK";
    QStringList opened;
    setDialogOpener([&](MainWindow& main, const QString& box) {
        opened << box;
        main.findChild<QLabel*>("lblCommand")->setText("*9900EW*9900BL=1");
        return true;
    });
    b.click("lblBL");
    QCOMPARE(opened, QStringList{"lblBL"});
    QCOMPARE(b.state.DialogResult, QString());
    QVERIFY(b.lines().isEmpty()); // the stale result re-sent nothing
    QVERIFY(b.op.messages.isEmpty());

    b.click("lblMD"); // read-only: no dialog
    QCOMPARE(opened.size(), 1);
}

void TestEditFlow::dialogFollowUps_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("shown"); // box=text pairs after the follow-up
    QTest::addColumn<int>("replies");
    row("Baud Lock", "lblBL", "*9900EW*9900BL=1", QStringList{"lblBL=Locked"}, 3);
    row("display on", "lblDisplay", "*0100EW*0100MD=1",
        QStringList{"lblMD=1", "lblDisplay=On", "lblRS232=Off"}, 1);
    row("from the RS-232 box", "lblRS232", "*0100EW*0100MD=0",
        QStringList{"lblMD=0", "lblDisplay=Off", "lblRS232=Off"}, 1);
}

void TestEditFlow::dialogFollowUps() {
    QFETCH(QString, box);
    QFETCH(QString, command);
    QFETCH(QStringList, shown);
    QFETCH(int, replies);
    PageBench b;
    b.startConfiguration();
    b.main->setMiddleMessage("old");
    QString commandWhenOpened = "unset";
    QString middleWhenOpened = "unset";
    QString openedBox;
    setDialogOpener([&](MainWindow& main, const QString& opened) {
        openedBox = opened;
        auto* label = main.findChild<QLabel*>("lblCommand");
        commandWhenOpened = label->text();
        middleWhenOpened = main.middleMessage()->text();
        main.state().DialogResult = "OK";
        label->setText(command);
        return true;
    });
    b.click(box);
    QCOMPARE(openedBox, box);
    QCOMPARE(commandWhenOpened, QString());
    QCOMPARE(middleWhenOpened, QString());
    QCOMPARE(b.lines(), QStringList({"*", "*" + command + "\r\n"}));
    for (const QString& pair : shown) {
        const QStringList p = pair.split('=');
        QCOMPARE(b.text(p[0]), p[1]);
    }
    QCOMPARE(b.log("txtResponseBox").split('\n', Qt::SkipEmptyParts).size(), 20 + replies);
    QVERIFY(!b.main->link().PortOpen());
    QVERIFY(!pointerIsBusy());
}

QTEST_MAIN(TestEditFlow)
#include "tst_editflow.moc"
