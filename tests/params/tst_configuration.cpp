// The Configuration and Calibration pages on the simulated loop: instrument choice, the Start
// routines with their exact command order, the taring refresh and the reply logs.
#include "PageBench.h"

#include "Pointer.h"
#include "ResponseLog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>

using namespace cvi;
using cvi::test::PageBench;
using cvi::test::readLines;

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
    void calibrationStartOrder();
    void calibrationMissingReplies();
    void linkSettingsFollowTheLink();
    void responseLogIsReadOnlyAndBounded();
    void hints();
};

void TestConfiguration::startReadsEveryParameterInOrder() {
    PageBench b;
    b.choose("cboConfiguration", 0);
    QVERIFY(b.enabled("cmdConfigurationStart"));
    QCOMPARE(b.left(), QStringLiteral("Please push the Start button"));
    b.wire().clear();
    b.press("cmdConfigurationStart");

    QStringList expected{"*", "*0100SN\r\n"};
    expected << readLines("01", {"VR", "BL", "DD", "DP", "LL", "LH", "IM", "IC", "MD", "OP", "PR", "TR", "AR",
                                 "T1", "UN", "UF", "ZS", "ZV", "ZL"});
    QCOMPARE(b.lines(), expected);
    const auto writes = b.wire().writes();
    QVERIFY(writes[1].time - writes[0].time >= 0.010);

    const QList<QPair<QString, QString>> shown = {{"lblserialNum", "104512"},
                                                  {"lblSoftwareVersion", "5.10"},
                                                  {"lblBaudRate", "9600"},
                                                  {"lblParity", "N"},
                                                  {"lblBL", "Unlocked"},
                                                  {"lblDD", "Short"},
                                                  {"lblDP", "4"},
                                                  {"lblLL", "0.0000"},
                                                  {"lblLH", "30.0000"},
                                                  {"lblIM", "Off"},
                                                  {"lblIC", "Ignore line"},
                                                  {"lblMD", "0"},
                                                  {"lblDisplay", "Off"},
                                                  {"lblRS232", "Off"},
                                                  {"lblOverpressure", "35.0000"},
                                                  {"lblPR", "238"},
                                                  {"lblTR", "952"},
                                                  {"lblAR", "Low"},
                                                  {"lblIntegrationTime", "0.79"},
                                                  {"lblUnit", "psi"},
                                                  {"lblUF", "1.000000"},
                                                  {"lblZS", "Off"},
                                                  {"lblZV", "0.0000"},
                                                  {"lblZL", "Unlocked"},
                                                  {"lblCommand", "*0100"},
                                                  {"PnlMiddleMessage", ""}};
    for (const auto& [box, value] : shown)
        QVERIFY2(b.text(box) == value, qPrintable(box + " = " + b.text(box)));
    QCOMPARE(b.w<QGroupBox>("frmOutputtype")->title(), QStringLiteral("16-Bit Output ( Parallel )"));
    QVERIFY(!b.enabled("cmdConfigurationStart"));
    QVERIFY(b.enabled("cmdUpdate"));
    QVERIFY(b.actionEnabled("mnuPrint"));
    QVERIFY(b.w<QLabel>("lblZV")->isHidden()); // ZS "0": no offset shown
    QVERIFY(b.w<QLabel>("lblUF")->isHidden());
    QCOMPARE(b.state.CurrentSN, QStringLiteral("104512"));
    QCOMPARE(b.state.CurrentVR, QStringLiteral("5.10"));
    QCOMPARE(b.state.CurrentPR, QStringLiteral("238"));
    QCOMPARE(b.state.CurrentTR, QStringLiteral("952"));
    QCOMPARE(b.state.ReadTimeout, b.state.CommTimeout + 1.0);
    const QStringList logged = b.log("txtResponseBox").split('\n', Qt::SkipEmptyParts);
    QCOMPARE(logged.size(), 20);
    QCOMPARE(logged.first(), QStringLiteral("*0001SN=104512"));
    QVERIFY(!b.log("txtResponseBox").contains('\r'));
    QVERIFY(b.op.messages.isEmpty());
}

void TestConfiguration::modelMSkipsItsMissingParameters() {
    PageBench b;
    b.choose("cboConfiguration", 1);
    b.wire().clear();
    b.press("cmdConfigurationStart");
    QStringList expected{"*", "*0200SN\r\n"};
    expected << readLines("02", {"VR", "BL", "MD", "PR", "TR", "AR", "T1", "UN", "UF"});
    QCOMPARE(b.lines(), expected);
    for (const char* box :
         {"lblDD", "lblDP", "lblLL", "lblLH", "lblIM", "lblIC", "lblOverpressure", "lblZS", "lblZV", "lblZL"})
        QVERIFY2(b.text(box) == "-", box);
    QCOMPARE(b.text("lblSoftwareVersion"), QStringLiteral("M2.04"));
    QCOMPARE(b.w<QGroupBox>("frmOutputtype")->title(), QStringLiteral("16-Bit Output (---------)"));
    QVERIFY(!b.enabled("cmdUpdate"));
    QVERIFY(b.op.messages.isEmpty());
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
    for (const char* box :
         {"lblserialNum", "lblSoftwareVersion", "lblBL", "lblPR", "lblUnit", "lblZS", "lblMD"})
        QVERIFY2(b.text(box).isEmpty(), box);
    QCOMPARE(b.middle(), QString());
    QVERIFY(!b.enabled("cmdConfigurationStart")); // Start stays off
    QVERIFY(!b.actionEnabled("mnuPrint"));
    QVERIFY(!b.main->link().PortOpen());
}

void TestConfiguration::shownValues_data() {
    QTest::addColumn<QString>("mnemonic");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("shown");
    QTest::newRow("UN 8, digit zero") << "UN"
                                      << "8"
                                      << "lblUnit"
                                      << "m H20";
    QTest::newRow("UN 0") << "UN"
                          << "0"
                          << "lblUnit"
                          << "User defined";
    QTest::newRow("UN 7") << "UN"
                          << "7"
                          << "lblUnit"
                          << "mm Hg or torr";
    QTest::newRow("BL other than 0") << "BL"
                                     << "5"
                                     << "lblBL"
                                     << "Locked";
    QTest::newRow("DD other than 0") << "DD"
                                     << "1"
                                     << "lblDD"
                                     << "Long";
    QTest::newRow("IM 2 reads as On") << "IM"
                                      << "2"
                                      << "lblIM"
                                      << "On";
    QTest::newRow("IM unknown") << "IM"
                                << "7"
                                << "lblIM"
                                << "???";
    QTest::newRow("IC 2") << "IC"
                          << "2"
                          << "lblIC"
                          << "Ground enable";
    QTest::newRow("AR 1") << "AR"
                          << "1"
                          << "lblAR"
                          << "High";
    QTest::newRow("ZL 1") << "ZL"
                          << "1"
                          << "lblZL"
                          << "Locked";
    QTest::newRow("ZS 2") << "ZS"
                          << "2"
                          << "lblZS"
                          << "On";
    QTest::newRow("MD 3 display") << "MD"
                                  << "3"
                                  << "lblDisplay"
                                  << "On";
    QTest::newRow("MD 2 RS-232") << "MD"
                                 << "2"
                                 << "lblRS232"
                                 << "On";
    QTest::newRow("MD 2 display") << "MD"
                                  << "2"
                                  << "lblDisplay"
                                  << "Off";
    QTest::newRow("MD 1 display") << "MD"
                                  << "1"
                                  << "lblDisplay"
                                  << "On";
}

void TestConfiguration::shownValues() {
    QFETCH(QString, mnemonic);
    QFETCH(QString, value);
    QFETCH(QString, box);
    QFETCH(QString, shown);
    PageBench b(PageBench::withParams({{mnemonic, value}}));
    b.startConfiguration();
    QCOMPARE(b.text(box), shown);
    const bool userDefined = mnemonic == "UN" && value == "0";
    for (const char* uf : {"lblUFHeading", "lblUF", "lblUFUnit"})
        QCOMPARE(b.w<QLabel>(uf)->isHidden(), !userDefined);
    if (mnemonic == "ZS") QVERIFY(!b.w<QLabel>("lblZV")->isHidden() && !b.w<QLabel>("lblZVName")->isHidden());
}

void TestConfiguration::integrationTime_data() {
    QTest::addColumn<QString>("pr");
    QTest::addColumn<QString>("t1");
    QTest::addColumn<QString>("shown");
    QTest::newRow("PR 238, T1 30") << "238"
                                   << "30"
                                   << "0.79";
    QTest::newRow("PR 1000, T1 35") << "1000"
                                    << "35"
                                    << "6";
    QTest::newRow("T1 33.4 is above 33") << "238"
                                         << "33.4"
                                         << "1.4";
    QTest::newRow("T1 exactly 33") << "1000"
                                   << "33"
                                   << "3.3";
    QTest::newRow("one decimal above 1, half up") << "500"
                                                  << "30"
                                                  << "1.7";
    QTest::newRow("two decimals, half up") << "50"
                                           << "30"
                                           << "0.17";
    QTest::newRow("four decimals below 0.1") << "1"
                                             << "30"
                                             << "0.0033";
    QTest::newRow("highest PR") << "16383"
                                << "40"
                                << "98.3";
}

void TestConfiguration::integrationTime() {
    QFETCH(QString, pr);
    QFETCH(QString, t1);
    QFETCH(QString, shown);
    PageBench b(PageBench::withParams({{"PR", pr}, {"T1", t1}}));
    b.startConfiguration();
    QCOMPARE(b.text("lblIntegrationTime"), shown);
    // The same figures without the page: a missing T1 counts as 33 and a PR that is no number
    // gives no time.
    QCOMPARE(integrationTimeText(pr, t1), shown);
    QCOMPARE(integrationTimeText("238", std::nullopt), QStringLiteral("0.79"));
    QCOMPARE(integrationTimeText("", t1), QStringLiteral("-"));
    QCOMPARE(integrationTimeText("abc", t1), QStringLiteral("-"));
}

void TestConfiguration::shortRepliesAreCorruptedParameters() {
    // Replies the loop cannot make: a PR reply too short to hold a value, a UN reply with none.
    PageBench b(sim::LoopConfig::demo(), PageBench::Line::Script);
    b.script = {{"SN", "*0001SN=5\r\n"},   {"VR", "*0001VR=5.10\r\n"}, {"PR", "*0001P\r\n"},
                {"TR", "*0001TR=952\r\n"}, {"IM", "*0001IM=1\r\n"},    {"UN", "*0001\r\n"}};
    b.choose("cboConfiguration", 0);
    b.press("cmdConfigurationStart");
    QCOMPARE(b.text("lblPR"), QStringLiteral("-"));
    QCOMPARE(b.text("lblUnit"), QStringLiteral("-"));
    QCOMPARE(b.text("lblTR"), QStringLiteral("952"));
    QCOMPARE(b.text("lblIntegrationTime"), QStringLiteral("-"));
    QCOMPARE(b.op.messages.size(), 2);
    QCOMPARE(b.op.messages[0].text,
             QStringLiteral("The reply to PR holds no value - This may be due to a corrupted "
                            "parameter.  Please try to overwrite this parameter via the "
                            "terminal."));
    QCOMPARE(b.op.messages[0].title, QStringLiteral("Error"));
    QCOMPARE(b.op.messages[0].icon, Operator::Icon::Information);
    QVERIFY(b.op.messages[1].text.startsWith("The reply to UN holds no value -"));
    // IM answered, IC silent: a serial 16-bit output.
    QCOMPARE(b.text("lblIM"), QStringLiteral("On"));
    QCOMPARE(b.text("lblIC"), QStringLiteral("-"));
    QCOMPARE(b.w<QGroupBox>("frmOutputtype")->title(), QStringLiteral("16-Bit Output ( Serial )"));
    QCOMPARE(b.text("lblserialNum"), QStringLiteral("5"));
    QCOMPARE(b.text("lblCommand"), QStringLiteral("*0100"));
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
    b.press("cmdConfigurationStart"); // the port works again: the page is read
    QVERIFY(!b.enabled("cmdConfigurationStart"));
    QCOMPARE(b.op.messages.size(), 2); // the silent script: SN warning
}

void TestConfiguration::updateReadsTaring_data() {
    QTest::addColumn<QString>("zs");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("offsetShown");
    QTest::addColumn<QStringList>("reads");
    QTest::newRow("off") << "0"
                         << "Off" << false << QStringList{"ZS"};
    QTest::newRow("on") << "2"
                        << "On" << true << QStringList{"ZS", "ZV"};
    QTest::newRow("requested") << "1"
                               << "Requested" << true << QStringList{"ZS", "ZV"};
    QTest::newRow("unknown") << "4"
                             << "???" << false << QStringList{"ZS"};
}

void TestConfiguration::updateReadsTaring() {
    QFETCH(QString, zs);
    QFETCH(QString, shown);
    QFETCH(bool, offsetShown);
    QFETCH(QStringList, reads);
    PageBench b(PageBench::withParams({{"ZV", "1.2500"}}));
    b.startConfiguration();
    b.inst("01").setParam("ZS", zs);
    b.press("cmdUpdate");
    QStringList expected{"*"};
    expected << readLines("01", reads);
    QCOMPARE(b.lines(), expected);
    QCOMPARE(b.text("lblZS"), shown);
    QCOMPARE(b.w<QLabel>("lblZV")->isHidden(), !offsetShown);
    if (offsetShown) QCOMPARE(b.text("lblZV"), QStringLiteral("1.2500"));
    QVERIFY(b.enabled("cmdUpdate"));
    QVERIFY(
        b.log("txtResponseBox").endsWith(reads.size() == 2 ? "*0001ZV=1.2500\n" : "*0001ZS=" + zs + "\n"));
}

void TestConfiguration::choosingAnIdClearsEveryPage_data() {
    QTest::addColumn<QString>("list");
    QTest::newRow("on the Configuration page") << "cboConfiguration";
    QTest::newRow("on the Calibration page") << "cboCalibration";
}

void TestConfiguration::choosingAnIdClearsEveryPage() {
    QFETCH(QString, list);
    PageBench b;
    b.startConfiguration(0);
    b.startCalibration(0);
    b.state.ConfigLineCount = 30;
    b.choose(list, 2);
    QCOMPARE(b.w<QComboBox>("cboConfiguration")->currentIndex(), 2);
    QCOMPARE(b.w<QComboBox>("cboCalibration")->currentIndex(), 2);
    QCOMPARE(b.state.AddressPrefix, QStringLiteral("*0300"));
    QVERIFY(b.enabled("cmdConfigurationStart"));
    QVERIFY(b.enabled("cmdCalibrationStart"));
    for (const char* box : {"lblserialNum", "lblPR", "lblBL", "lblIntegrationTime", "lblDisplay", "lblSN",
                            "lblVer", "lblPA", "lblC1", "lblY3", "lblCommand", "lblCmd"})
        QVERIFY2(b.text(box).isEmpty(), box);
    QCOMPARE(b.text("lblBaudRate"), QStringLiteral("9600")); // the link's, not the instrument's
    QVERIFY(b.log("txtResponseBox").isEmpty());
    QVERIFY(b.log("txtCalResponse").isEmpty());
    QCOMPARE(b.state.ConfigLineCount, qint16(0));
    QCOMPARE(b.state.CalLineCount, qint16(0));
    QVERIFY(b.state.CurrentSN.isEmpty() && b.state.CurrentVR.isEmpty());
    QVERIFY(!b.actionEnabled("mnuPrint"));
    QVERIFY(!b.enabled("cmdUpdate"));
    QCOMPARE(b.w<QGroupBox>("frmOutputtype")->title(), QStringLiteral("16-Bit Output (---------)"));
    QCOMPARE(b.left(), QStringLiteral("Please push the Start button"));
    QVERIFY(b.lines().isEmpty()); // choosing sends nothing
}

void TestConfiguration::calibrationStartOrder() {
    PageBench b;
    b.choose("cboCalibration", 0);
    b.wire().clear();
    b.press("cmdCalibrationStart");
    QStringList expected{"*", "*0100SN\r\n"};
    expected << readLines("01", {"VR", "PA", "PM", "TC", "C1", "C2", "C3", "D1", "D2", "T1", "T2", "T3", "T4",
                                 "T5", "U0", "Y1", "Y2", "Y3"});
    QCOMPARE(b.lines(), expected);
    QCOMPARE(b.text("lblSN"), QStringLiteral("104512"));
    QCOMPARE(b.text("lblVer"), QStringLiteral("5.10"));
    QCOMPARE(b.text("lblPA"), QStringLiteral("0.0000"));
    QCOMPARE(b.text("lblTC"), QStringLiteral("0.9998542"));
    QCOMPARE(b.text("lblC1"), QStringLiteral("120"));
    QCOMPARE(b.text("lblY1"), QStringLiteral("-3900"));
    QCOMPARE(b.text("lblCmd"), QString());
    QCOMPARE(b.middle(), QString());
    QVERIFY(b.actionEnabled("mnuPrint"));
    QVERIFY(!b.enabled("cmdCalibrationStart"));
    QCOMPARE(b.log("txtCalResponse").count('\n'), 19);
    QCOMPARE(b.state.CurrentSN, QStringLiteral("104512"));
}

void TestConfiguration::calibrationMissingReplies() {
    // VR answers late (after the 0.5 s wait but within the read time-out); only some
    // coefficients answer at all.
    PageBench b(sim::LoopConfig::demo(), PageBench::Line::Script);
    b.script = {{"SN", "*0001SN=77\r\n"}, {"PA", "*0001PA=0.5\r\n"}, {"C2", "*0001C2=1.5\r\n"}};
    b.scripted->onWrite = [&b](const QByteArray& bytes, double t) {
        if (bytes == "**0100VR\r\n")
            b.scripted->arrive(t + 1.2, "*0001VR=9.1\r\n");
        else
            b.answer(bytes, t);
    };
    b.choose("cboCalibration", 0);
    b.press("cmdCalibrationStart");
    QCOMPARE(b.text("lblVer"), QStringLiteral("9.1"));
    QCOMPARE(b.text("lblPA"), QStringLiteral("0.5"));
    QCOMPARE(b.text("lblC2"), QStringLiteral("1.5"));
    for (const char* box : {"lblPM", "lblTC", "lblC1", "lblD2", "lblT5", "lblU0", "lblY3"})
        QVERIFY2(b.text(box) == "-", box);
    QVERIFY(b.op.messages.isEmpty());

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

void TestConfiguration::linkSettingsFollowTheLink() {
    PageBench b;
    QCOMPARE(b.text("lblBaudRate"), QStringLiteral("9600"));
    QCOMPARE(b.text("lblParity"), QStringLiteral("N"));
    b.state.BaudRate = "2400";
    b.state.Parity = "E";
    emit b.main->linkSettingsChanged();
    QCOMPARE(b.text("lblBaudRate"), QStringLiteral("2400"));
    QCOMPARE(b.text("lblParity"), QStringLiteral("E"));
}

void TestConfiguration::responseLogIsReadOnlyAndBounded() {
    PageBench b;
    b.startConfiguration();
    auto* box = b.w<QPlainTextEdit>("txtResponseBox");
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

    // The calibration log also speaks when it gets the focus.
    b.startCalibration();
    auto* cal = b.w<QPlainTextEdit>("txtCalResponse");
    QFocusEvent in(QEvent::FocusIn);
    QCoreApplication::sendEvent(cal, &in);
    QCOMPARE(b.left(), QStringLiteral("To copy select and press Ctrl+C"));

    // After an instrument is chosen the first nine changes leave the view alone; every later
    // one brings the newest line into view.
    b.choose("cboConfiguration", 1);
    auto* log = b.w<ResponseLog>("txtResponseBox");
    const int scrolled = log->scrolls();
    for (int i = 0; i < 9; ++i)
        log->appendReply("*0002PR=238\r\n");
    QCOMPARE(log->scrolls(), scrolled);
    log->appendReply("*0002PR=238\r\n");
    QCOMPARE(log->scrolls(), scrolled + 1);

    // Thousands of replies keep a bounded log and the newest line in view; the counter stops at
    // its top instead of wrapping.
    for (int i = 0; i < 40000; ++i)
        appendReply(box, QStringLiteral("*0001PR=%1\r\n").arg(i));
    QVERIFY(box->document()->blockCount() <= 5001);
    QVERIFY(box->toPlainText().endsWith("*0001PR=39999\n"));
    QCOMPARE(b.state.ConfigLineCount, qint16(32767));
    QCOMPARE(box->verticalScrollBar()->value(), box->verticalScrollBar()->maximum());
}

void TestConfiguration::hints() {
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
    b.choose("cboCalibration", 0);
    b.w<QLabel>("lblC1")->setText("-");
    b.main->setLeftMessage("kept");
    b.hover("lblC1");
    QCOMPARE(b.left(), QStringLiteral("kept"));
    b.w<QLabel>("lblC1")->setText("1.5");
    b.hover("lblC1");
    QCOMPARE(b.left(), QStringLiteral("Click to change !"));
    b.hover("lblTC"); // read-only: no hint of its own
    QCOMPARE(b.left(), QStringLiteral("Click to change !"));
}

QTEST_MAIN(TestConfiguration)
#include "tst_configuration.moc"
