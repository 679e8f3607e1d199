// The Atmo3 and System pages, the Configuration page's Beep button and every Start without a serial
// number, on the simulated loop (or on scripted replies where the loop cannot make them), on
// simulated time.
#include "../params/PageBench.h"

#include "Atmo3Page.h"
#include "ResponseLog.h"
#include "SystemPage.h"

#include <QRadioButton>
#include <QTabWidget>

using namespace cvi;
using namespace cvi::test;

namespace {
// The parameter pages with the Atmo3 and System pages, every list on its first instrument.
struct ReadingBench : PageBench {
    explicit ReadingBench(Line line = Line::Loop) : PageBench(sim::LoopConfig::demo(), line) {
        installSystemPage(host(), installAtmo3Page(host()));
        main->RefreshIdLists();
        wire().clear();
    }
    void scriptReplies(const QStringList& pairs) {
        for (const QString& r : pairs)
            script.insert(r.section('>', 0, 0), r.section('>', 1));
    }
    void pick(const QString& options) {
        for (const QString& o : items(options))
            w<QRadioButton>(o)->click();
    }
    bool settled() const { return !main->link().PortOpen() && !pointerIsBusy(); }
};
} // namespace

class TestAtmo3System : public QObject {
    Q_OBJECT
private slots:

    void atmo3StartReadsBothChannels() {
        ReadingBench b;
        b.choose("cboAnalog", 2);
        QCOMPARE(b.state.AddressPrefix, "*0300");
        QCOMPARE(b.w<QComboBox>("cboSystem")->currentIndex(), 2);
        QCOMPARE(b.hover("cmdAnalogSend"), "Click to start !");
        b.press("cmdAnalogSend");

        const QStringList order = catalogue::atmo3Order();
        QCOMPARE(b.lines(), QStringList({"*99", "*0300SN\r\n"}) +
                                readLines("03", (QStringList{"VR"} + order).join('|')));
        QVERIFY(b.wire().timeOfWrite("*0300SN\r\n") - b.wire().timeOfWrite("*99") >= 0.010 - 1e-9);
        QCOMPARE(b.mismatches("lblSerNum=300417|lblVersion=A3-1.20|lblE1=-40|lblH1=RHT-2|PnlCmdBox=*0300M2|"
                              "PnlLeftMessage=|PnlMiddleMessage="),
                 QString());
        for (const QString& m : order)
            QCOMPARE(b.text("lbl" + m), b.inst("03").param(m));
        QVERIFY(b.log("txtAnalogResponse").startsWith("*0003SN=300417\n*0003VR=A3-1.20\n*0003E1=-40\n"));
        QCOMPARE(QString("%1|%2|%3").arg(b.state.AnalogLineCount).arg(b.state.CurrentSN, b.state.CurrentVR),
                 "16|300417|A3-1.20");
        QVERIFY(!b.enabled("cmdAnalogSend") && b.actionEnabled("mnuPrint") && b.op.messages.isEmpty() &&
                b.settled());
        QTest::mouseClick(b.w<ResponseLog>("txtAnalogResponse")->viewport(), Qt::LeftButton);
        QCOMPARE(b.left(), "To copy select and press Ctrl+C");

        // Boxes edit through the prompt edit; the log scrolls from its 22nd change on.
        auto* log = b.w<ResponseLog>("txtAnalogResponse");
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(log->scrolls(), 0);
            b.edit("lblK1", QString::number(i));
        }
        QCOMPARE(log->scrolls(), 1);
        QCOMPARE(b.mismatches("lblK1=5|PnlCmdBox=*0300EW*0300K1=5"), QString());

        // Another page shows what was read; choosing the instrument again empties every page.
        b.main->panel()->setCurrentIndex(MainWindow::PageSystem);
        QCOMPARE(b.mismatches("lblSystemSN=300417|lblSystemsoftver=A3-1.20|lblserialNum=300417"), QString());
        emit b.w<QComboBox>("cboAnalog")->activated(2);
        QCOMPARE(b.mismatches("lblSystemSN=|lblserialNum=|lblSN=|lblSerNum=|lblK1=|PnlCmdBox="), QString());
        QVERIFY(b.enabled("cmdAnalogSend") && b.log("txtAnalogResponse").isEmpty() &&
                b.state.CurrentSN.isEmpty() && b.state.AnalogLineCount == 0);
    }

    // H1 takes a sensor name, with its caution; before Start the guard holds.
    void humidityCoefficient() {
        ReadingBench b;
        b.choose("cboAnalog", 2);
        b.click("lblH1");
        QVERIFY(b.left() == "Please click the start button first !" && b.op.asked.isEmpty());
        b.press("cmdAnalogSend");
        b.wire().clear();
        b.edit("lblH1", "XYZ");
        QVERIFY(b.middle() == "Invalid Entry" && b.lines().isEmpty());
        QCOMPARE(b.op.asked[0].title + ": " + b.op.asked[0].prompt + " (" + b.op.asked[0].defaultAnswer + ")",
                 "H1 Calibration Coefficient: Enter the H1 Calibration Coefficient.  Caution! "
                 "Changing this value may cause incorrect readings. (RHT-2)");
        b.edit("lblH1", "rht-9");
        QCOMPARE(b.lines(), (QStringList{"*", "**0300EW*0300H1=rht-9\r\n"}));
        QCOMPARE(b.mismatches("lblH1=rht-9|PnlCmdBox=*0300EW*0300H1=rht-9|"
                              "PnlMiddleMessage=H1 coefficient has been changed."),
                 QString());
        QVERIFY(b.log("txtAnalogResponse").endsWith("*0003H1=rht-9\n") &&
                b.inst("03").param("H1") == "rht-9");
    }

    void atmo3MissingAndShortCoefficients() {
        ReadingBench b(PageBench::Line::Script);
        b.scriptReplies({"SN>*0003SN=300417", "VR>*0003VR=A3-1.20"});
        for (const QString& m : catalogue::atmo3Order()) // Z1 unanswered, G2 too short to hold a value
            if (m != "Z1") b.scriptReplies({m + ">*0003" + (m == "G2" ? "G2" : m + "=1.5")});
        b.choose("cboAnalog", 2);
        b.press("cmdAnalogSend");
        QCOMPARE(b.lines().size(), 17);
        QCOMPARE(b.mismatches("lblZ1=-|lblG2=-|lblE1=1.5|lblM2=1.5|lblVersion=A3-1.20"), QString());
        QCOMPARE(b.op.messageTexts(),
                 QStringList{"The reply to G2 holds no value - This may be due to a corrupted "
                             "parameter.  Please try to overwrite this parameter via the terminal."});
        QVERIFY(b.op.messages[0].title == "Error" && b.settled());
    }

    // Every page that begins with the serial number, when it does not come: the instrument is
    // silent (one warning, nothing shown, the button off until another choice) or the adapter is
    // pulled in the wake-up pause or while Start reads (one error; the button is back, and a
    // second press meets the line as it is then). lines: "-" when not checked.
    void startWithoutASerialNumber_data() {
        const QString sn = "Warning: Can't read SN!Increase Timeout and check connections.",
                      lost = "Error: " + Link::lostText("sim"), gone = "sim does not exist.";
        const char* system = "PnlCmdBox=*0300SN|PnlMiddleMessage=|lblSerNum=|lblSystemSN=";
        table({"list", "index", "button", "options", "fault", "lines", "told", "empty", "then"},
              {{"Configuration silent", "cboConfiguration", "0", "cmdConfigurationStart", "", "silent",
                "*|*0100SN\r\n", sn, "lblserialNum=|lblSoftwareVersion=|lblBL=|lblPR=|lblUnit=|lblMD=", ""},
               {"Calibration silent", "cboCalibration", "0", "cmdCalibrationStart", "", "silent",
                "*|*0100SN\r\n", sn, "lblSN=|lblVer=|lblPA=|lblC1=|lblY3=|PnlMiddleMessage=", ""},
               {"Configuration lost while reading", "cboConfiguration", "0", "cmdConfigurationStart", "",
                "0.3", "-", lost, "PnlMiddleMessage=", gone},
               {"Atmo3 silent", "cboSystem", "2", "cmdAnalogSend", "", "silent", "*99|*0300SN\r\n", sn,
                system, ""},
               {"System silent", "cboSystem", "2", "cmdSysSend", "OptMC", "silent", "*|**0300SN\r\n", sn,
                system + QString("|lblCmdSys=*0300MC"), ""},
               {"Atmo3 lost", "cboSystem", "2", "cmdAnalogSend", "", "0.005", "*99", lost, system, gone},
               {"System lost", "cboSystem", "2", "cmdSysSend", "OptMC", "0.005", "*", lost,
                system + QString("|lblCmdSys=*0300MC"), gone}});
    }
    void startWithoutASerialNumber() {
        const auto [list, index, button, options, fault, lines] =
            cells("list", "index", "button", "options", "fault", "lines");
        ReadingBench b;
        b.choose(list, index.toInt());
        b.pick(options);
        b.breakLoop(fault);
        if (fault != "silent") b.clock.at(b.clock.now() + fault.toDouble(), [&b] { b.loop->loseDevice(); });
        b.wire().clear();
        b.press(button);
        if (lines != "-") QCOMPARE(b.lines().join('|'), lines);
        QTEST(b.told(), "told");
        QCOMPARE(b.op.messages[0].icon, Operator::Icon::Exclamation);
        QCOMPARE(b.mismatches(cells("empty")[0]), QString());
        QVERIFY(b.enabled(button) == (fault != "silent") && b.settled());
        QCOMPARE(b.actionEnabled("mnuPrint"), button == "cmdAnalogSend"); // the Atmo3 page enables it first
        b.press(button);
        QTEST(b.op.messageTexts().mid(1).join('|'), "then");
    }

    // script: replies beside SN and VR ("" runs on the loop); hint: the panels after the choice.
    void systemSend_data() {
        table({"options", "script", "hint", "shown", "logged"},
              {{"MC", "OptMC", "", "Please click the Send button !/", "lblMC=Y|lblCS=", "*0003MC=Y\n"},
               {"CS", "OptCS", "", "Please click the Send button !/", "lblCS=2205|lblMC=", "*0003CS=2205\n"},
               {"CS answered Y", "OptCS", "CS>*0003CS=Y", "Please click the Send button !/",
                "lblMC=Y|lblCS=", "*0003CS=Y\n"},
               {"DC after CS", "OptCS|OptDC", "DC>*0003DC=1",
                "Please click the Send button!/Watch the display...", "lblCS=1|lblMC=", "*0003DC=1\n"},
               {"DC alone", "OptDC", "DC>*0003DC=1", "Please click the Send button!/Watch the display...",
                "lblCS=|lblMC=", ""}});
    }
    void systemSend() {
        QFETCH(QString, script);
        ReadingBench b(script.isEmpty() ? PageBench::Line::Loop : PageBench::Line::Script);
        b.scriptReplies({"SN>*0003SN=300417", "VR>*0003VR=A3-1.20", script});
        b.choose("cboSystem", 2);
        QCOMPARE(b.left(), "Select a command !");
        QFETCH(QString, options);
        b.pick(options);
        QTEST(b.left() + "/" + b.middle(), "hint");
        QVERIFY(b.enabled("cmdSysSend"));
        const QString command = "*0300" + options.right(2);
        b.press("cmdSysSend");
        QCOMPARE(b.lines(), QStringList({"*", "**0300SN\r\n", "**0300VR\r\n", "*" + command + "\r\n"}));
        QCOMPARE(
            b.mismatches(QStringList{"lblSystemSN=300417", "lblSystemsoftver=A3-1.20", "PnlCmdBox=*0300VR",
                                     "lblCmdSys=" + command, "PnlLeftMessage=", "PnlMiddleMessage="}
                             .join('|')),
            QString());
        QFETCH(QString, shown);
        QCOMPARE(b.mismatches(shown), QString());
        QTEST(b.log("txtSysResponse"), "logged");
        QVERIFY(b.op.messages.isEmpty() && !b.w<QRadioButton>(options.right(5))->isChecked() &&
                !b.enabled("cmdSysSend") && b.settled());
        b.pick(options); // a command chosen for one instrument is not sent to the next
        b.choose("cboSystem", 0);
        QVERIFY(b.text("lblCmdSys").isEmpty() && !b.enabled("cmdSysSend") &&
                !b.w<QRadioButton>(options.right(5))->isChecked());
    }

    void displayValue_data() {
        const char* left = "Display Left-Adjusted Value";
        table(
            {"option", "title", "answer", "lines", "shown"},
            {{"DV cancelled", "OptDV", left, "", "", "lblDV=|lblCmdSys=|PnlMiddleMessage="},
             {"DV", "OptDV", left, "12.5", "*|**0300DV=12.5\r\n", "lblDV=12.5|lblCmdSys=*0300DV=12.5"},
             {"DR", "OptDR", "Display Right-Adjusted Value", "-7", "*|**0300DR=-7\r\n",
              "lblDR=-7|lblCmdSys=*0300DR=-7"},
             {"DV line break", "OptDV", left, "1\r\n*0300EW", "", "lblDV=|PnlMiddleMessage=Invalid Entry"}});
    }
    void displayValue() {
        ReadingBench b;
        b.choose("cboSystem", 2);
        b.pick("OptCS");
        QFETCH(QString, answer);
        b.op.answers.enqueue(answer);
        QFETCH(QString, option);
        b.pick(option);
        QCOMPARE(b.op.asked[0].prompt, "Enter the value you would like to display. (For lasting "
                                       "display, set MD=0 on the configuration page.)");
        QTEST(b.op.asked[0].title, "title");
        QFETCH(QString, lines);
        QCOMPARE(b.lines(), items(lines));
        if (!lines.isEmpty()) QVERIFY(b.wire().writes()[1].time - b.wire().writes()[0].time >= 0.010 - 1e-9);
        QFETCH(QString, shown);
        QCOMPARE(b.mismatches(shown), QString());
        QVERIFY(!b.w<QRadioButton>(option)->isChecked() && !b.enabled("cmdSysSend") && b.settled());
    }

    void beepNeedsStartAndSendsOneLine() {
        ReadingBench b;
        b.choose("cboConfiguration", 0);
        b.main->setMiddleMessage("kept");
        b.press("cmdOverpressure");
        QCOMPARE(
            b.mismatches(
                "PnlLeftMessage=Please click the start button first !|PnlMiddleMessage=kept|lblCommand="),
            QString());
        QVERIFY(b.wire().written().isEmpty());
        b.startConfiguration();
        b.press("cmdOverpressure");
        QCOMPARE(b.wire().written(), QByteArray("**0100BP\r\n"));
        QCOMPARE(b.text("lblCommand"), "*0100BP");
        QVERIFY(b.op.messages.isEmpty() && b.settled());
    }
};

QTEST_MAIN(TestAtmo3System)
#include "tst_atmo3system.moc"
