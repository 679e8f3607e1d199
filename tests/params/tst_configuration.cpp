// The Configuration and Calibration pages on the simulated loop: instrument choice, the Start
// routines with their exact command order, the taring refresh and the reply logs.
#include "PageBench.h"
#include "ResponseLog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>
#include <QSignalSpy>

using namespace cvi;
using namespace cvi::test;

class TestConfiguration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setEndProgramHook([] {});
    }

    void startReadsEveryParameterInOrder() {
        PageBench b;
        b.choose("cboConfiguration", 0);
        b.wire().clear();
        b.press("cmdConfigurationStart");
        QCOMPARE(b.lines(), QStringList({"*", "*0100SN\r\n"}) +
                                readLines("01", {"VR", "BL", "DD", "DP", "LL", "LH", "IM", "IC", "MD", "OP",
                                                 "PR", "TR", "AR", "T1", "UN", "UF", "ZS", "ZV", "ZL"}));
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
        QVERIFY(!b.shown("lblZV") && !b.shown("lblUF")); // ZS "0": no offset; no user factor
        QCOMPARE(QStringList({b.state.CurrentSN, b.state.CurrentVR, b.state.CurrentPR, b.state.CurrentTR}),
                 QStringList({"104512", "5.10", "238", "952"}));
        QCOMPARE(b.state.ReadTimeout, b.state.CommTimeout + 1.0);
        const QString log = b.log();
        QCOMPARE(log.count('\n'), 20);
        QVERIFY(log.startsWith("*0001SN=104512\n*0001VR=5.10\n") && !log.contains('\r'));
        QVERIFY(b.op.messages.isEmpty());
    }

    void modelMSkipsItsMissingParameters() {
        PageBench b;
        b.choose("cboConfiguration", 1);
        b.wire().clear();
        b.press("cmdConfigurationStart");
        QCOMPARE(b.lines(), QStringList({"*", "*0200SN\r\n"}) +
                                readLines("02", {"VR", "BL", "MD", "PR", "TR", "AR", "T1", "UN", "UF"}));
        QCOMPARE(
            b.mismatches({"lblDD=-", "lblDP=-", "lblLL=-", "lblLH=-", "lblIM=-", "lblIC=-",
                          "lblOverpressure=-", "lblZS=-", "lblZV=-", "lblZL=-", "lblSoftwareVersion=M2.04"}),
            QString());
        QCOMPARE(b.w<QGroupBox>("frmOutputtype")->title(), QStringLiteral("16-Bit Output (---------)"));
        QVERIFY(!b.enabled("cmdUpdate"));
    }

    void silentInstrumentStopsAfterSN_data() {
        table({"list", "start", "empty"},
              {{"Configuration", "cboConfiguration", "cmdConfigurationStart",
                "lblserialNum=|lblSoftwareVersion=|lblBL=|lblPR=|lblUnit=|lblMD=|PnlMiddleMessage="},
               {"Calibration", "cboCalibration", "cmdCalibrationStart",
                "lblSN=|lblVer=|lblPA=|lblC1=|lblY3="}});
    }
    void silentInstrumentStopsAfterSN() {
        QFETCH(QString, list);
        QFETCH(QString, start);
        PageBench b;
        b.inst("01").faults().silent = true;
        b.choose(list, 0);
        b.wire().clear();
        b.press(start);
        QCOMPARE(b.lines(), (QStringList{"*", "*0100SN\r\n"}));
        QCOMPARE(b.op.messageTexts(), QStringList{"Can't read SN!Increase Timeout and check connections."});
        QCOMPARE(b.op.messages[0].title, QStringLiteral("Warning"));
        QCOMPARE(b.op.messages[0].icon, Operator::Icon::Exclamation);
        QFETCH(QString, empty);
        QCOMPARE(b.mismatches(items(empty)), QString());
        QVERIFY(!b.enabled(start) && !b.actionEnabled("mnuPrint"));
        QVERIFY(!b.main->link().PortOpen());
    }

    // param: mnemonic=value held by the instrument; shown: box=text.
    void shownValues_data() {
        table({"param", "shown"}, {{"UN 8, digit zero", "UN=8", "lblUnit=m H20"},
                                   {"UN 0", "UN=0", "lblUnit=User defined"},
                                   {"UN 7", "UN=7", "lblUnit=mm Hg or torr"},
                                   {"BL other than 0", "BL=5", "lblBL=Locked"},
                                   {"IM 2 reads as On", "IM=2", "lblIM=On"},
                                   {"IM unknown leaves the box", "IM=7", "lblIM="},
                                   {"MD unknown leaves the mode boxes", "MD=7", "lblRS232="},
                                   {"IC 2", "IC=2", "lblIC=Ground enable"},
                                   {"ZS 2", "ZS=2", "lblZS=On"},
                                   {"MD 2", "MD=2", "lblRS232=On"},
                                   {"MD 1", "MD=1", "lblDisplay=On"}});
    }
    void shownValues() {
        QFETCH(QString, param);
        QFETCH(QString, shown);
        PageBench b(PageBench::withParams({{param.section('=', 0, 0), param.section('=', 1)}}));
        b.startConfiguration();
        QCOMPARE(b.mismatches({shown}), QString());
        QCOMPARE(b.shownFlags({"lblUFHeading", "lblUF", "lblUFUnit"}), param == "UN=0" ? "111" : "000");
        QCOMPARE(b.shown("lblZVName"), param == "ZS=2");
    }

    void integrationTime_data() {
        table({"pr", "t1", "shown"}, {{"PR 238, T1 30", "238", "30", "0.79"},
                                      {"PR 1000, T1 35", "1000", "35", "6"},
                                      {"T1 33.4 is above 33", "238", "33.4", "1.4"},
                                      {"T1 exactly 33", "1000", "33", "3.3"},
                                      {"one decimal above 1, half up", "500", "30", "1.7"},
                                      {"two decimals, half up", "50", "30", "0.17"},
                                      {"four decimals below 0.1", "1", "30", "0.0033"}});
    }
    void integrationTime() {
        QFETCH(QString, pr);
        QFETCH(QString, t1);
        PageBench b(PageBench::withParams({{"PR", pr}, {"T1", t1}}));
        b.startConfiguration();
        QTEST(b.text("lblIntegrationTime"), "shown");
        // Without T1 the factor is 33; a PR that is no number gives no time.
        QCOMPARE(integrationTimeText("238", std::nullopt), QStringLiteral("0.79"));
        QCOMPARE(integrationTimeText("abc", t1), QStringLiteral("-"));
    }

    void shortRepliesAreCorruptedParameters() {
        // Replies the loop cannot make: PR too short to hold a value, UN with none, IC silent.
        PageBench b(sim::LoopConfig::demo(), PageBench::Line::Script);
        b.script = {{"SN", "*0001SN=5\r\n"},
                    {"PR", "*0001P\r\n"},
                    {"TR", "*0001TR=952\r\n"},
                    {"IM", "*0001IM=1\r\n"},
                    {"UN", "*0001\r\n"}};
        b.choose("cboConfiguration", 0);
        b.press("cmdConfigurationStart");
        QCOMPARE(b.mismatches({"lblPR=-", "lblUnit=-", "lblTR=952", "lblIntegrationTime=-", "lblIM=On",
                               "lblIC=-", "lblserialNum=5", "lblCommand=*0100"}),
                 QString());
        QCOMPARE(b.w<QGroupBox>("frmOutputtype")->title(), QStringLiteral("16-Bit Output ( Serial )"));
        const QString corrupted =
            " holds no value - This may be due to a corrupted parameter.  Please try to "
            "overwrite this parameter via the terminal.";
        QCOMPARE(b.op.messageTexts(),
                 QStringList({"The reply to PR" + corrupted, "The reply to UN" + corrupted}));
        QCOMPARE(b.op.messages[0].title, QStringLiteral("Error"));
        QCOMPARE(b.op.messages[0].icon, Operator::Icon::Information);
    }

    void failingPortIsReportedOnce() {
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

    // The adapter is pulled while Start reads: one message ends the whole routine, and the next
    // Start says once that the port is missing.
    void lostPortEndsStartWithOneMessage() {
        PageBench b;
        b.choose("cboConfiguration", 0);
        b.clock.at(b.clock.now() + 0.3, [&b] { b.loop->loseDevice(); });
        b.press("cmdConfigurationStart");
        QCOMPARE(b.op.messageTexts(),
                 QStringList{"The serial port sim has been lost (the adapter was unplugged or "
                             "the line closed). Check the connection, then run Startup again."});
        QCOMPARE(b.op.messages[0].title, QStringLiteral("Error"));
        QVERIFY(b.enabled("cmdConfigurationStart"));
        QVERIFY(!b.main->link().PortOpen());
        QVERIFY(!pointerIsBusy());
        b.press("cmdConfigurationStart");
        QCOMPARE(b.op.messageTexts().mid(1), QStringList{"sim does not exist."});
        QVERIFY(b.enabled("cmdConfigurationStart"));
    }

    void updateReadsTaring_data() {
        table({"zs", "shown", "reads"}, {{"off", "0", "Off", "ZS"},
                                         {"on", "2", "On", "ZS|ZV"},
                                         {"requested", "1", "Requested", "ZS|ZV"},
                                         {"unknown", "4", "???", "ZS"}});
    }
    void updateReadsTaring() {
        QFETCH(QString, zs);
        QFETCH(QString, reads);
        PageBench b(PageBench::withParams({{"ZV", "1.2500"}}));
        b.startConfiguration();
        b.inst("01").setParam("ZS", zs);
        b.press("cmdUpdate");
        QCOMPARE(b.lines(), QStringList{"*"} + readLines("01", items(reads)));
        QTEST(b.text("lblZS"), "shown");
        const bool offset = reads.contains("ZV");
        QCOMPARE(b.shown("lblZV"), offset);
        if (offset) QCOMPARE(b.text("lblZV"), QStringLiteral("1.2500"));
        QVERIFY(b.enabled("cmdUpdate"));
        QVERIFY(b.log().endsWith(offset ? "*0001ZV=1.2500\n" : "*0001ZS=" + zs + "\n"));
    }

    void choosingAnIdClearsEveryPage_data() {
        table({"list"}, {{"on the Configuration page", "cboConfiguration"},
                         {"on the Calibration page", "cboCalibration"}});
    }
    void choosingAnIdClearsEveryPage() {
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
                               "lblBaudRate=", "lblParity=", // until Start shows the link's again
                               "PnlLeftMessage=Please push the Start button"}),
                 QString());
        QVERIFY(b.log().isEmpty() && b.log("txtCalResponse").isEmpty());
        QVERIFY(b.state.ConfigLineCount == 0 && b.state.CalLineCount == 0);
        QVERIFY(b.state.CurrentSN.isEmpty() && b.state.CurrentVR.isEmpty());
        QVERIFY(!b.actionEnabled("mnuPrint") && !b.enabled("cmdUpdate"));
        QCOMPARE(b.w<QGroupBox>("frmOutputtype")->title(), QStringLiteral("16-Bit Output (---------)"));
        QVERIFY(b.lines().isEmpty()); // choosing sends nothing
    }

    void calibrationStart() {
        PageBench b;
        b.choose("cboCalibration", 0);
        b.wire().clear();
        b.press("cmdCalibrationStart");
        QCOMPARE(b.lines(), QStringList({"*", "*0100SN\r\n"}) +
                                readLines("01", {"VR", "PA", "PM", "TC", "C1", "C2", "C3", "D1", "D2", "T1",
                                                 "T2", "T3", "T4", "T5", "U0", "Y1", "Y2", "Y3"}));
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
        QCOMPARE(s.mismatches({"lblVer=9.1", "lblPA=0.5", "lblC2=1.5", "lblPM=-", "lblTC=-", "lblC1=-",
                               "lblT5=-", "lblY3=-"}),
                 QString());
        QVERIFY(s.op.messages.isEmpty());
    }

    void responseLog() {
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

    void hintsAndButtons() {
        PageBench b;
        b.choose("cboConfiguration", 0);
        const QString start = "Please click the start button!", change = "Click to change !";
        QCOMPARE(b.hover("cmdConfigurationStart"), start);
        QCOMPARE(b.hover("lblPR"), start); // empty before Start: no hint
        QCOMPARE(b.hover("cmdAutoNumber"), start);
        b.startConfiguration();
        QCOMPARE(b.hover("cmdConfigurationStart"), QString()); // read: no hint
        QCOMPARE(b.hover("lblPR"), change);
        QCOMPARE(b.hover("frmOutputtype"), QString());
        QCOMPARE(b.hover("lblUF"), QString()); // user factor turned off: no hint
        QCOMPARE(b.hover("cmdAutoNumber"), change);
        b.main->setLeftMessage("kept");
        b.setTexts({"lblC1=-"}); // Calibration boxes hint unless they hold a single character
        QCOMPARE(b.hover("lblC1"), QStringLiteral("kept"));
        b.setTexts({"lblC1=12"});
        QCOMPARE(b.hover("lblC1"), change);

        QSignalSpy renumber(&b.host(), &PageHost::renumberRequested);
        b.press("cmdAutoNumber");
        QCOMPARE(renumber.count(), 1);
        b.state.Link = LinkSettings::of("COM 1", 2400, 'E');
        emit b.host().linkSettingsChanged();
        QCOMPARE(b.mismatches({"lblBaudRate=2400", "lblParity=E"}), QString());
    }
};

QTEST_MAIN(TestConfiguration)
#include "tst_configuration.moc"
