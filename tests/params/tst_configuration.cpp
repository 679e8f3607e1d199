// The Configuration and Calibration pages on the simulated loop: instrument choice, what Start
// reads and in which order, what the pages show, the taring refresh, the reply logs and the hints.
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
    // reads: after the wake-up and SN; flags: cmdUpdate enabled, lblZV, lblZVName and lblUF shown;
    // current: SN, VR, PR and TR as kept for the other pages; logged: lines in the page's log.
    void startReads_data() {
        table({"list", "index", "reads", "shown", "title", "flags", "current", "logged"},
              {{"Configuration", "cboConfiguration", "0",
                "VR|BL|DD|DP|LL|LH|IM|IC|MD|OP|PR|TR|AR|T1|UN|UF|ZS|ZV|ZL",
                "lblserialNum=104512|lblSoftwareVersion=5.10|lblBaudRate=9600|lblParity=N|lblBL=Unlocked|"
                "lblDD=Short|lblDP=4|lblLL=0.0000|lblLH=30.0000|lblIM=Off|lblIC=Ignore line|lblMD=0|"
                "lblDisplay=Off|lblRS232=Off|lblOverpressure=35.0000|lblPR=238|lblTR=952|lblAR=Low|"
                "lblIntegrationTime=0.79|lblUnit=psi|lblUF=1.000000|lblZS=Off|lblZV=0.0000|lblZL=Unlocked|"
                "lblCommand=*0100|PnlMiddleMessage=",
                "16-Bit Output ( Parallel )", "1000", "104512|5.10|238|952", "20"},
               {"Configuration, model M", "cboConfiguration", "1", "VR|BL|MD|PR|TR|AR|T1|UN|UF",
                "lblDD=-|lblDP=-|lblLL=-|lblLH=-|lblIM=-|lblIC=-|lblOverpressure=-|lblZS=-|lblZV=-|lblZL=-|"
                "lblserialNum=87120|lblSoftwareVersion=M2.04|lblCommand=*0200|PnlMiddleMessage=",
                "16-Bit Output (---------)", "0110", "87120|M2.04|238|952", "10"},
               {"Calibration", "cboCalibration", "0", "VR|PA|PM|TC|C1|C2|C3|D1|D2|T1|T2|T3|T4|T5|U0|Y1|Y2|Y3",
                "lblSN=104512|lblVer=5.10|lblPA=0.0000|lblTC=0.9998542|lblC1=120|lblY1=-3900|lblCmd=|"
                "PnlMiddleMessage=",
                "16-Bit Output (---------)", "0110", "104512|5.10||", "19"}});
    }
    void startReads() {
        const auto [list, index, reads, shown, current] = cells("list", "index", "reads", "shown", "current");
        const bool calibration = list == "cboCalibration";
        const QString start = calibration ? "cmdCalibrationStart" : "cmdConfigurationStart";
        PageBench b;
        b.choose(list, index.toInt());
        b.press(start);
        const QString id = index == "0" ? "01" : "02";
        QCOMPARE(b.lines(), QStringList({"*", "*" + id + "00SN\r\n"}) + readLines(id, reads));
        QCOMPARE(b.mismatches(shown), QString());
        QTEST(b.w<QGroupBox>("frmOutputtype")->title(), "title");
        QTEST(QString::number(b.enabled("cmdUpdate")) + b.shownFlags({"lblZV", "lblZVName", "lblUF"}),
              "flags");
        QVERIFY(!b.enabled(start) && b.actionEnabled("mnuPrint"));
        QCOMPARE(QStringList({b.state.CurrentSN, b.state.CurrentVR, b.state.CurrentPR, b.state.CurrentTR}),
                 items(current));
        QCOMPARE(b.state.ReadTimeout, 1.25); // the link's time-out (0.25 s) and a second
        const QString log = b.log(calibration ? "txtCalResponse" : "txtResponseBox");
        QTEST(QString::number(log.count('\n')), "logged");
        const QString heard =
            "*00" + id + "SN=" + items(current)[0] + "\n*00" + id + "VR=" + items(current)[1];
        QVERIFY(log.startsWith(heard + "\n") && !log.contains('\r'));
        QVERIFY(b.op.messages.isEmpty());
    }

    // params: mnemonic=value held by the instrument; shown: box=text.
    void shownValues_data() {
        table({"params", "shown"},
              {{"UN 8, digit zero", "UN=8", "lblUnit=m H20"},
               {"UN 0", "UN=0", "lblUnit=User defined"},
               {"UN 7", "UN=7", "lblUnit=mm Hg or torr"},
               {"BL other than 0", "BL=5", "lblBL=Locked"},
               {"IM 2 reads as On", "IM=2", "lblIM=On"},
               {"IM unknown leaves the box", "IM=7", "lblIM="},
               {"MD unknown leaves the mode boxes", "MD=7", "lblRS232="},
               {"IC 2", "IC=2", "lblIC=Ground enable"},
               {"time, PR 1000, T1 35", "PR=1000|T1=35", "lblIntegrationTime=6"},
               {"time, T1 33.4 is above 33", "T1=33.4", "lblIntegrationTime=1.4"},
               {"time, T1 exactly 33", "PR=1000|T1=33", "lblIntegrationTime=3.3"},
               {"time, one decimal above 1, half up", "PR=500", "lblIntegrationTime=1.7"},
               {"time, two decimals, half up", "PR=50", "lblIntegrationTime=0.17"},
               {"time, four decimals below 0.1", "PR=1", "lblIntegrationTime=0.0033"}});
    }
    void shownValues() {
        const auto [params, shown] = cells("params", "shown");
        PageBench b(PageBench::withParams(params));
        b.startConfiguration();
        QCOMPARE(b.mismatches(shown), QString());
        QCOMPARE(b.shownFlags({"lblUFHeading", "lblUF", "lblUFUnit"}), params == "UN=0" ? "111" : "000");
        // Without T1 the factor is 33; a PR that is no number gives no time.
        QCOMPARE(integrationTimeText("238", std::nullopt), "0.79");
        QCOMPARE(integrationTimeText("abc", "30"), "-");
    }

    // Replies the loop cannot make: too short to hold a value (PR), none at all (UN), late (VR: past
    // the read time-out, but the Calibration page waits 0.5 s before it); nothing for the rest.
    void scriptedReplies_data() {
        const QString corrupted =
            " holds no value - This may be due to a corrupted parameter.  Please try to "
            "overwrite this parameter via the terminal.";
        table({"list", "replies", "shown", "title", "told"},
              {{"Configuration", "cboConfiguration",
                "SN>*0001SN=5|PR>*0001P|TR>*0001TR=952|IM>*0001IM=1|UN>*0001",
                "lblPR=-|lblUnit=-|lblTR=952|lblIntegrationTime=-|lblIM=On|lblIC=-|"
                "lblserialNum=5|lblCommand=*0100",
                "16-Bit Output ( Serial )",
                "Error: The reply to PR" + corrupted + "|Error: The reply to UN" + corrupted},
               {"Calibration", "cboCalibration",
                "SN>*0001SN=77|VR>*0001VR=9.1>1.48|PA>*0001PA=0.5|C2>*0001C2=1.5",
                "lblVer=9.1|lblPA=0.5|lblC2=1.5|lblPM=-|lblTC=-|lblC1=-|lblT5=-|lblY3=-",
                "16-Bit Output (---------)", ""}});
    }
    void scriptedReplies() {
        const auto [list, replies, shown] = cells("list", "replies", "shown");
        PageBench b(sim::LoopConfig::demo(), PageBench::Line::Script);
        b.replyWith(replies);
        b.choose(list, 0);
        b.press(list == "cboConfiguration" ? "cmdConfigurationStart" : "cmdCalibrationStart");
        QCOMPARE(b.mismatches(shown), QString());
        QTEST(b.w<QGroupBox>("frmOutputtype")->title(), "title");
        QTEST(b.told(), "told");
        for (const auto& m : b.op.messages)
            QCOMPARE(m.icon, Operator::Icon::Information);
    }

    // offset: lblZV and lblZVName shown (1) or not; logged: the end of the page's log.
    void updateReadsTaring_data() {
        table({"zs", "reads", "shown", "offset", "logged"},
              {{"off", "0", "ZS", "lblZS=Off", "00", "*0001ZS=0\n"},
               {"on", "2", "ZS|ZV", "lblZS=On|lblZV=1.2500", "11", "*0001ZV=1.2500\n"},
               {"requested", "1", "ZS|ZV", "lblZS=Requested|lblZV=1.2500", "11", "*0001ZV=1.2500\n"},
               {"unknown", "4", "ZS", "lblZS=???", "00", "*0001ZS=4\n"}});
    }
    void updateReadsTaring() {
        const auto [zs, reads, shown, logged] = cells("zs", "reads", "shown", "logged");
        PageBench b(PageBench::withParams("ZV=1.2500"));
        b.startConfiguration();
        b.inst("01").setParam("ZS", zs);
        b.press("cmdUpdate");
        QCOMPARE(b.lines(), QStringList{"*"} + readLines("01", reads));
        QCOMPARE(b.mismatches(shown), QString());
        QTEST(b.shownFlags({"lblZV", "lblZVName"}), "offset");
        QVERIFY(b.enabled("cmdUpdate") && b.log().endsWith(logged));
    }

    void choosingAnIdClearsEveryPage_data() {
        table({"list"}, {{"on the Configuration page", "cboConfiguration"},
                         {"on the Calibration page", "cboCalibration"}});
    }
    void choosingAnIdClearsEveryPage() {
        const auto [list] = cells("list");
        PageBench b;
        b.startConfiguration(0);
        b.startCalibration(0);
        b.choose(list, 2);
        QCOMPARE(b.w<QComboBox>("cboConfiguration")->currentIndex(), 2);
        QCOMPARE(b.w<QComboBox>("cboCalibration")->currentIndex(), 2);
        QCOMPARE(b.state.AddressPrefix, "*0300");
        QVERIFY(b.enabled("cmdConfigurationStart") && b.enabled("cmdCalibrationStart"));
        // The link's settings are shown again by Start.
        QCOMPARE(
            b.mismatches("lblserialNum=|lblPR=|lblBL=|lblIntegrationTime=|lblDisplay=|lblSN=|lblVer=|lblPA=|"
                         "lblC1=|lblY3=|lblCommand=|lblCmd=|lblBaudRate=|lblParity=|"
                         "PnlLeftMessage=Please push the Start button"),
            QString());
        QVERIFY(b.log().isEmpty() && b.log("txtCalResponse").isEmpty() && b.state.ConfigLineCount == 0);
        QVERIFY(b.state.CalLineCount == 0 && b.state.CurrentSN.isEmpty() && b.state.CurrentVR.isEmpty());
        QVERIFY(!b.actionEnabled("mnuPrint") && !b.enabled("cmdUpdate"));
        QCOMPARE(b.w<QGroupBox>("frmOutputtype")->title(), "16-Bit Output (---------)");
        QVERIFY(b.lines().isEmpty()); // choosing sends nothing
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
        QCOMPARE(QGuiApplication::clipboard()->text().left(14), "*0001SN=104512");
        QTest::mouseClick(box->viewport(), Qt::LeftButton);
        QCOMPARE(b.left(), "To copy select and press Ctrl + C");
        QFocusEvent out(QEvent::FocusOut), in(QEvent::FocusIn);
        QCoreApplication::sendEvent(box, &out);
        QCOMPARE(b.left(), QString());
        b.startCalibration();
        QCoreApplication::sendEvent(b.w<QWidget>("txtCalResponse"), &in);
        QCOMPARE(b.left(), "To copy select and press Ctrl+C");

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
        b.setTexts("lblC1=-"); // Calibration boxes hint unless they hold a single character
        QCOMPARE(b.hover("lblC1"), "kept");
        b.setTexts("lblC1=12");
        QCOMPARE(b.hover("lblC1"), change);

        QSignalSpy renumber(&b.host(), &PageHost::renumberRequested);
        b.press("cmdAutoNumber");
        QCOMPARE(renumber.count(), 1);
        b.state.Link = LinkSettings::of("COM 1", 2400, 'E');
        emit b.host().linkSettingsChanged();
        QCOMPARE(b.mismatches("lblBaudRate=2400|lblParity=E"), QString());
    }
};

QTEST_MAIN(TestConfiguration)
#include "tst_configuration.moc"
