// The Configuration and Calibration pages on the simulated loop: instrument choice, the Start
// routines with their exact command order, the taring refresh and the reply logs.
#include "PageBench.h"
#include "Pointer.h"
#include "ResponseLog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>
#include <QSignalSpy>

using namespace cvi;
using cvi::test::PageBench;
using cvi::test::readLines;
using cvi::test::row;

class TestConfiguration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setEndProgramHook([] {});
    }
    void startReadsEveryParameterInOrder();
    void modelMSkipsItsMissingParameters();
    void silentInstrumentStopsAfterSN();
    void shownValues_data();
    void shownValues();
    void integrationTime_data();
    void integrationTime();
    void shortRepliesAreCorruptedParameters();
    void failingPortIsReportedOnce();
    void updateReadsTaring_data();
    void updateReadsTaring();
    void choosingAnIdClearsEveryPage_data();
    void choosingAnIdClearsEveryPage();
    void calibrationStart();
    void responseLog();
    void hintsAndButtons();
};

void TestConfiguration::startReadsEveryParameterInOrder() {
    PageBench b;
    b.choose("cboConfiguration", 0);
    b.wire().clear();
    b.press("cmdConfigurationStart");
    QCOMPARE(b.lines(), QStringList({"*", "*0100SN\r\n"}) +
                            readLines("01", {"VR", "BL", "DD", "DP", "LL", "LH", "IM", "IC", "MD", "OP", "PR",
                                             "TR", "AR", "T1", "UN", "UF", "ZS", "ZV", "ZL"}));
    const auto writes = b.wire().writes();
    QVERIFY(writes[1].time - writes[0].time >= 0.010 - 1e-9);
    QCOMPARE(b.mismatches({"lblserialNum=104512",
                           "lblSoftwareVersion=5.10",
                           "lblBaudRate=9600",
                           "lblParity=N",
                           "lblBL=Unlocked",
                           "lblDD=Short",
                           "lblDP=4",
                           "lblLL=0.0000",
                           "lblLH=30.0000",
                           "lblIM=Off",
                           "lblIC=Ignore line",
                           "lblMD=0",
                           "lblDisplay=Off",
                           "lblRS232=Off",
                           "lblOverpressure=35.0000",
                           "lblPR=238",
                           "lblTR=952",
                           "lblAR=Low",
                           "lblIntegrationTime=0.79",
                           "lblUnit=psi",
                           "lblUF=1.000000",
                           "lblZS=Off",
                           "lblZV=0.0000",
                           "lblZL=Unlocked",
                           "lblCommand=*0100",
                           "PnlMiddleMessage="}),
             QString());
    QCOMPARE(b.w<QGroupBox>("frmOutputtype")->title(), QStringLiteral("16-Bit Output ( Parallel )"));
    QVERIFY(!b.enabled("cmdConfigurationStart") && b.enabled("cmdUpdate") && b.actionEnabled("mnuPrint"));
    QVERIFY(b.w<QLabel>("lblZV")->isHidden()); // ZS "0": no offset
    QVERIFY(b.w<QLabel>("lblUF")->isHidden());
    QCOMPARE(QStringList({b.state.CurrentSN, b.state.CurrentVR, b.state.CurrentPR, b.state.CurrentTR}),
             QStringList({"104512", "5.10", "238", "952"}));
    QCOMPARE(b.state.ReadTimeout, b.state.CommTimeout + 1.0);
    const QString log = b.log("txtResponseBox");
    QCOMPARE(log.count('\n'), 20);
    QVERIFY(log.startsWith("*0001SN=104512\n*0001VR=5.10\n") && !log.contains('\r'));
    QVERIFY(b.op.messages.isEmpty());
}

void TestConfiguration::modelMSkipsItsMissingParameters() {
    PageBench b;
    b.choose("cboConfiguration", 1);
    b.wire().clear();
    b.press("cmdConfigurationStart");
    QCOMPARE(b.lines(), QStringList({"*", "*0200SN\r\n"}) +
                            readLines("02", {"VR", "BL", "MD", "PR", "TR", "AR", "T1", "UN", "UF"}));
    QCOMPARE(b.mismatches({"lblDD=-", "lblDP=-", "lblLL=-", "lblLH=-", "lblIM=-", "lblIC=-",
                           "lblOverpressure=-", "lblZS=-", "lblZV=-", "lblZL=-", "lblSoftwareVersion=M2.04"}),
             QString());
    QCOMPARE(b.w<QGroupBox>("frmOutputtype")->title(), QStringLiteral("16-Bit Output (---------)"));
    QVERIFY(!b.enabled("cmdUpdate"));
}

void TestConfiguration::silentInstrumentStopsAfterSN() {
    PageBench b;
    b.inst("01").faults().silent = true;
    b.choose("cboConfiguration", 0);
    b.wire().clear();
    b.press("cmdConfigurationStart");
    QCOMPARE(b.lines(), (QStringList{"*", "*0100SN\r\n"}));
    QCOMPARE(b.op.messages.size(), 1);
    QCOMPARE(b.op.messages[0].text, QStringLiteral("Can't read SN!Increase Timeout and check connections."));
    QCOMPARE(b.op.messages[0].title, QStringLiteral("Warning"));
    QCOMPARE(b.op.messages[0].icon, Operator::Icon::Exclamation);
    QCOMPARE(b.mismatches({"lblserialNum=", "lblSoftwareVersion=", "lblBL=", "lblPR=", "lblUnit=", "lblMD=",
                           "PnlMiddleMessage="}),
             QString());
    QVERIFY(!b.enabled("cmdConfigurationStart") && !b.actionEnabled("mnuPrint"));
    QVERIFY(!b.main->link().PortOpen());
}

void TestConfiguration::shownValues_data() {
    QTest::addColumn<QString>("param"); // mnemonic=value held by the instrument
    QTest::addColumn<QString>("shown"); // box=text
    row("UN 8, digit zero", "UN=8", "lblUnit=m H20");
    row("UN 0", "UN=0", "lblUnit=User defined");
    row("UN 7", "UN=7", "lblUnit=mm Hg or torr");
    row("BL other than 0", "BL=5", "lblBL=Locked");
    row("IM 2 reads as On", "IM=2", "lblIM=On");
    row("IM unknown", "IM=7", "lblIM=???");
    row("IC 2", "IC=2", "lblIC=Ground enable");
    row("ZS 2", "ZS=2", "lblZS=On");
    row("MD 2", "MD=2", "lblRS232=On");
    row("MD 1", "MD=1", "lblDisplay=On");
}

void TestConfiguration::shownValues() {
    QFETCH(QString, param);
    QFETCH(QString, shown);
    PageBench b(PageBench::withParams({{param.section('=', 0, 0), param.section('=', 1)}}));
    b.startConfiguration();
    QCOMPARE(b.mismatches({shown}), QString());
    const bool userDefined = param == "UN=0";
    for (const char* uf : {"lblUFHeading", "lblUF", "lblUFUnit"})
        QCOMPARE(b.w<QLabel>(uf)->isHidden(), !userDefined);
    QCOMPARE(b.w<QLabel>("lblZVName")->isHidden(), param != "ZS=2");
}

void TestConfiguration::integrationTime_data() {
    QTest::addColumn<QString>("pr");
    QTest::addColumn<QString>("t1");
    QTest::addColumn<QString>("shown");
    row("PR 238, T1 30", "238", "30", "0.79");
    row("PR 1000, T1 35", "1000", "35", "6");
    row("T1 33.4 is above 33", "238", "33.4", "1.4");
    row("T1 exactly 33", "1000", "33", "3.3");
    row("one decimal above 1, half up", "500", "30", "1.7");
    row("two decimals, half up", "50", "30", "0.17");
    row("four decimals below 0.1", "1", "30", "0.0033");
}

void TestConfiguration::integrationTime() {
    QFETCH(QString, pr);
    QFETCH(QString, t1);
    QFETCH(QString, shown);
    PageBench b(PageBench::withParams({{"PR", pr}, {"T1", t1}}));
    b.startConfiguration();
    QCOMPARE(b.text("lblIntegrationTime"), shown);
    // Without T1 the factor is 33; a PR that is no number gives no time.
    QCOMPARE(integrationTimeText("238", std::nullopt), QStringLiteral("0.79"));
    QCOMPARE(integrationTimeText("abc", t1), QStringLiteral("-"));
}

void TestConfiguration::shortRepliesAreCorruptedParameters() {
    // Replies the loop cannot make: PR too short to hold a value, UN with none, IC silent.
    PageBench b(sim::LoopConfig::demo(), PageBench::Line::Script);
    b.script = {{"SN", "*0001SN=5\r\n"},
                {"PR", "*0001P\r\n"},
                {"TR", "*0001TR=952\r\n"},
                {"IM", "*0001IM=1\r\n"},
                {"UN", "*0001\r\n"}};
    b.choose("cboConfiguration", 0);
    b.press("cmdConfigurationStart");
    QCOMPARE(b.mismatches({"lblPR=-", "lblUnit=-", "lblTR=952", "lblIntegrationTime=-", "lblIM=On", "lblIC=-",
                           "lblserialNum=5", "lblCommand=*0100"}),
             QString());
    QCOMPARE(b.w<QGroupBox>("frmOutputtype")->title(), QStringLiteral("16-Bit Output ( Serial )"));
    QCOMPARE(b.op.messageTexts(),
             QStringList({"The reply to PR holds no value - This may be due to a corrupted "
                          "parameter.  Please try to overwrite this parameter via the terminal.",
                          "The reply to UN holds no value - This may be due to a corrupted "
                          "parameter.  Please try to overwrite this parameter via the terminal."}));
    QCOMPARE(b.op.messages[0].title, QStringLiteral("Error"));
    QCOMPARE(b.op.messages[0].icon, Operator::Icon::Information);
}

void TestConfiguration::failingPortIsReportedOnce() {
    PageBench b(sim::LoopConfig::demo(), PageBench::Line::Script);
    b.choose("cboConfiguration", 0);
    b.scripted->openFailure = PortError::Kind::Unavailable;
    b.press("cmdConfigurationStart");
    QCOMPARE(b.op.messages.size(), 1);
    QCOMPARE(b.op.messages[0].title, QStringLiteral("Communication Error"));
    QVERIFY(b.enabled("cmdConfigurationStart")); // still to be read
    QCOMPARE(b.middle(), QString());
    QVERIFY(!pointerIsBusy());
    b.press("cmdConfigurationStart"); // the port opens now; the script is silent: the SN warning
    QCOMPARE(b.op.messages.size(), 2);
}

void TestConfiguration::updateReadsTaring_data() {
    QTest::addColumn<QString>("zs");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("reads");
    row("off", "0", "Off", QStringList{"ZS"});
    row("on", "2", "On", QStringList{"ZS", "ZV"});
    row("requested", "1", "Requested", QStringList{"ZS", "ZV"});
    row("unknown", "4", "???", QStringList{"ZS"});
}

void TestConfiguration::updateReadsTaring() {
    QFETCH(QString, zs);
    QFETCH(QString, shown);
    QFETCH(QStringList, reads);
    PageBench b(PageBench::withParams({{"ZV", "1.2500"}}));
    b.startConfiguration();
    b.inst("01").setParam("ZS", zs);
    b.press("cmdUpdate");
    QCOMPARE(b.lines(), QStringList{"*"} + readLines("01", reads));
    QCOMPARE(b.text("lblZS"), shown);
    const bool offset = reads.size() == 2;
    QCOMPARE(b.w<QLabel>("lblZV")->isHidden(), !offset);
    if (offset) QCOMPARE(b.text("lblZV"), QStringLiteral("1.2500"));
    QVERIFY(b.enabled("cmdUpdate"));
    QVERIFY(b.log("txtResponseBox").endsWith(offset ? "*0001ZV=1.2500\n" : "*0001ZS=" + zs + "\n"));
}

void TestConfiguration::choosingAnIdClearsEveryPage_data() {
    QTest::addColumn<QString>("list");
    row("on the Configuration page", "cboConfiguration");
    row("on the Calibration page", "cboCalibration");
}

void TestConfiguration::choosingAnIdClearsEveryPage() {
    QFETCH(QString, list);
    PageBench b;
    b.startConfiguration(0);
    b.startCalibration(0);
    b.choose(list, 2);
    QCOMPARE(b.w<QComboBox>("cboConfiguration")->currentIndex(), 2);
    QCOMPARE(b.w<QComboBox>("cboCalibration")->currentIndex(), 2);
    QCOMPARE(b.state.AddressPrefix, QStringLiteral("*0300"));
    QVERIFY(b.enabled("cmdConfigurationStart") && b.enabled("cmdCalibrationStart"));
    QCOMPARE(b.mismatches({"lblserialNum=", "lblPR=", "lblBL=", "lblIntegrationTime=", "lblDisplay=",
                           "lblSN=", "lblVer=", "lblPA=", "lblC1=", "lblY3=", "lblCommand=", "lblCmd=",
                           "lblBaudRate=9600", // the link's, not the instrument's
                           "PnlLeftMessage=Please push the Start button"}),
             QString());
    QVERIFY(b.log("txtResponseBox").isEmpty() && b.log("txtCalResponse").isEmpty());
    QVERIFY(b.state.ConfigLineCount == 0 && b.state.CalLineCount == 0);
    QVERIFY(b.state.CurrentSN.isEmpty() && b.state.CurrentVR.isEmpty());
    QVERIFY(!b.actionEnabled("mnuPrint") && !b.enabled("cmdUpdate"));
    QCOMPARE(b.w<QGroupBox>("frmOutputtype")->title(), QStringLiteral("16-Bit Output (---------)"));
    QVERIFY(b.lines().isEmpty()); // choosing sends nothing
}

void TestConfiguration::calibrationStart() {
    PageBench b;
    b.choose("cboCalibration", 0);
    b.wire().clear();
    b.press("cmdCalibrationStart");
    QCOMPARE(b.lines(), QStringList({"*", "*0100SN\r\n"}) +
                            readLines("01", {"VR", "PA", "PM", "TC", "C1", "C2", "C3", "D1", "D2", "T1", "T2",
                                             "T3", "T4", "T5", "U0", "Y1", "Y2", "Y3"}));
    QCOMPARE(b.mismatches({"lblSN=104512", "lblVer=5.10", "lblPA=0.0000", "lblTC=0.9998542", "lblC1=120",
                           "lblY1=-3900", "lblCmd=", "PnlMiddleMessage="}),
             QString());
    QVERIFY(b.actionEnabled("mnuPrint") && !b.enabled("cmdCalibrationStart"));
    QCOMPARE(b.log("txtCalResponse").count('\n'), 19);

    // VR late (after its 0.5 s wait, within the read time-out); most coefficients silent.
    PageBench s(sim::LoopConfig::demo(), PageBench::Line::Script);
    s.script = {{"SN", "*0001SN=77\r\n"}, {"PA", "*0001PA=0.5\r\n"}, {"C2", "*0001C2=1.5\r\n"}};
    s.scripted->onWrite = [&s](const QByteArray& bytes, double t) {
        if (bytes == "**0100VR\r\n")
            s.scripted->arrive(t + 1.2, "*0001VR=9.1\r\n");
        else
            s.answer(bytes, t);
    };
    s.choose("cboCalibration", 0);
    s.press("cmdCalibrationStart");
    QCOMPARE(s.mismatches({"lblVer=9.1", "lblPA=0.5", "lblC2=1.5", "lblPM=-", "lblTC=-", "lblC1=-", "lblT5=-",
                           "lblY3=-"}),
             QString());
    QVERIFY(s.op.messages.isEmpty());

    // No SN: the warning, nothing else read.
    PageBench silent;
    silent.inst("01").faults().silent = true;
    silent.choose("cboCalibration", 0);
    silent.wire().clear();
    silent.press("cmdCalibrationStart");
    QCOMPARE(silent.lines(), (QStringList{"*", "*0100SN\r\n"}));
    QCOMPARE(silent.op.messageTexts(), QStringList{"Can't read SN!Increase Timeout and check connections."});
    QVERIFY(silent.text("lblPA").isEmpty());
}

void TestConfiguration::responseLog() {
    PageBench b;
    b.startConfiguration();
    auto* box = b.w<ResponseLog>("txtResponseBox");
    const QString before = box->toPlainText();
    QTest::keyClicks(box, "abc");
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->toPlainText(), before);
    box->selectAll();
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier); // copying still works
    QCOMPARE(QGuiApplication::clipboard()->text().left(14), QStringLiteral("*0001SN=104512"));
    QTest::mouseClick(box->viewport(), Qt::LeftButton);
    QCOMPARE(b.left(), QStringLiteral("To copy select and press Ctrl + C"));
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(box, &out);
    QCOMPARE(b.left(), QString());
    b.startCalibration();
    QFocusEvent in(QEvent::FocusIn);
    QCoreApplication::sendEvent(b.w<QWidget>("txtCalResponse"), &in);
    QCOMPARE(b.left(), QStringLiteral("To copy select and press Ctrl+C"));

    // After a choice the first nine changes leave the view alone, every later one scrolls.
    b.choose("cboConfiguration", 1);
    const int scrolled = box->scrolls();
    for (int i = 0; i < 9; ++i)
        box->appendReply("*0002PR=238\r\n");
    QCOMPARE(box->scrolls(), scrolled);
    box->appendReply("*0002PR=238\r\n");
    QCOMPARE(box->scrolls(), scrolled + 1);
    // Hours of replies: a bounded log, the newest line in view, the counter stops at its top.
    for (int i = 0; i < 40000; ++i)
        box->appendReply(QStringLiteral("*0001PR=%1\r\n").arg(i));
    QVERIFY(box->document()->blockCount() <= ResponseLog::MaxLines + 1);
    QVERIFY(box->toPlainText().endsWith("*0001PR=39999\n"));
    QCOMPARE(b.state.ConfigLineCount, qint16(32767));
    QCOMPARE(box->verticalScrollBar()->value(), box->verticalScrollBar()->maximum());
}

void TestConfiguration::hintsAndButtons() {
    PageBench b;
    b.choose("cboConfiguration", 0);
    b.hover("cmdConfigurationStart");
    QCOMPARE(b.left(), QStringLiteral("Please click the start button!"));
    b.hover("lblPR"); // empty before Start: no hint
    QCOMPARE(b.left(), QStringLiteral("Please click the start button!"));
    b.startConfiguration();
    b.hover("lblPR");
    QCOMPARE(b.left(), QStringLiteral("Click to change !"));
    b.hover("frmOutputtype");
    QCOMPARE(b.left(), QString());
    b.hover("lblUF"); // user factor turned off: no hint
    QCOMPARE(b.left(), QString());
    b.hover("cmdAutoNumber");
    QCOMPARE(b.left(), QStringLiteral("Click to change !"));
    // Calibration boxes hint unless they hold a single character ("-").
    b.w<QLabel>("lblC1")->setText("-");
    b.hover("lblC1");
    QCOMPARE(b.left(), QStringLiteral("Click to change !"));
    b.main->setLeftMessage("kept");
    b.hover("lblC1");
    QCOMPARE(b.left(), QStringLiteral("kept"));

    QSignalSpy renumber(b.main.get(), &MainWindow::renumberRequested);
    b.press("cmdAutoNumber");
    QCOMPARE(renumber.count(), 1);
    QVERIFY(b.w<QPushButton>("cmdOverpressure")->parentWidget()->objectName() == "fraOverpressure");
    b.state.BaudRate = "2400";
    b.state.Parity = "E";
    emit b.main->linkSettingsChanged();
    QCOMPARE(b.mismatches({"lblBaudRate=2400", "lblParity=E"}), QString());
}

QTEST_MAIN(TestConfiguration)
#include "tst_configuration.moc"
