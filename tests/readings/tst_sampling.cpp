// The Sampling page on the simulated loop and clock (and on a scripted port where the loop cannot
// make the case): choice and list sync, Start with the measurement time-out, the option guard,
// single, hold and continuous readings with their endings, the response box.
#include "../params/PageBench.h"
#include "ResponseLog.h"
#include "SamplingPage.h"

#include <QButtonGroup>
#include <QTabWidget>

using namespace cvi;
using namespace cvi::test;

namespace {
// The Sampling page beside the parameter pages, the first instrument chosen.
struct SamplingBench : PageBench {
    explicit SamplingBench(const sim::LoopConfig& config = sim::LoopConfig::demo(), Line line = Line::Loop)
        : PageBench(config, line) {
        installSamplingPage(host());
        main->RefreshIdLists();
        wire().clear();
    }
    QString log() const { return PageBench::log("txtResponse"); }
    QString flag() const { return static_cast<SamplingPage*>(main->page(0))->continuousFlag(); }
    void option(const QString& name) { w<QAbstractButton>(name)->click(); }
    void tab(int index) { w<QTabWidget>("tabSampling")->setCurrentIndex(index); }
    bool noneChecked() const { return !main->findChild<QButtonGroup*>()->checkedButton(); }
    // Start read and `chosen` clicked; the wire and the messages forgotten.
    void ready(const QString& chosen) {
        press("cmdSamplingStart");
        option(chosen);
        wire().clear();
        op.messages.clear();
    }
    // The log's lines by kind, runs collapsed: "V" a reading of 01, "C" "Corrupted Data".
    QString logShape() const {
        QString shape;
        for (const QString& l : log().split('\n', Qt::SkipEmptyParts)) {
            const QChar k = l == "Corrupted Data" ? 'C' : l.startsWith("*0001 ") ? 'V' : '?';
            if (!shape.endsWith(k)) shape += k;
        }
        return shape;
    }
    // Send on, Stop off, options and menus on, the port closed, the normal pointer.
    bool usable() const {
        return enabled("cmdSend") && !enabled("cmdStop") && enabled("OptP1") && enabled("OptN1") &&
               enabled("OptTempDB") && actionEnabled("mnuFile") && actionEnabled("mnuHelp") &&
               !main->link().PortOpen() && !pointerIsBusy();
    }
    bool paused(int write) { return wire().writes()[write].time - wire().writes()[write - 1].time >= 0.0099; }
};
} // namespace

class TestSampling : public QObject {
    Q_OBJECT
private slots:

    void choiceAndGuard() {
        PageBench bare;
        installSamplingPage(bare.host());
        QVERIFY(!bare.enabled("cmdSend") && !bare.enabled("cmdStop")); // as loaded
        SamplingBench b;
        b.option("OptP3"); // before Start
        QCOMPARE(b.left(), "Please click the start button first !");
        QVERIFY(b.noneChecked() && !b.enabled("cmdSend") && b.text("lblCommandBox").isEmpty());
        b.ready("OptP3");
        b.main->panel()->setCurrentIndex(1);
        b.main->panel()->setCurrentIndex(0);
        QCOMPARE(b.mismatches("lblSerialNumber=104512|lblSoftVer=5.10|lblSN=104512"), "");
        b.press("cmdSend");
        emit b.w<QComboBox>("cboSampling")->activated(0); // the entry already shown starts afresh
        QCOMPARE(b.mismatches("lblSerialNumber=|lblSoftVer=|lblValue=|lblCommandBox=|lblSN=|PnlLeftMessage="
                              "Please push the start button !"),
                 "");
        QVERIFY(b.log().isEmpty() && b.state.SamplingLineCount == 0 && b.state.CurrentSN.isEmpty());
        QVERIFY(b.enabled("cmdSamplingStart") && !b.enabled("cmdSend") && b.noneChecked());
        b.wire().clear();
        b.choose("cboSampling", 2); // every list follows; nothing is sent
        QVERIFY(b.w<QComboBox>("cboCalibration")->currentIndex() == 2 && b.lines().isEmpty());
        QCOMPARE(b.state.AddressPrefix, "*0300");
        b.ready("OptP3");
        emit b.host().samplingResetRequested(); // after Communication Setup or a PR edit
        QVERIFY(b.noneChecked() && b.enabled("cmdSamplingStart") && !b.enabled("cmdSend"));
        QCOMPARE(b.text("lblCommandBox"), "");
        b.press("cmdSamplingStart");
        b.choose("cboConfiguration", 0); // another page's choice clears this one
        QCOMPARE(b.mismatches("lblSerialNumber=|PnlLeftMessage=Please push the start button !"), "");
        QVERIFY(b.enabled("cmdSamplingStart"));
    }

    // Answers (scripted by command body; "T1?" a T1 that is no number), messages, time-out, PR.
    void start_data() {
        table({"answers", "messages", "timeout", "pr"},
              {{"all answered, T1 above 33", "SN|VR|PR|TR|T1", "", "7", "1000"},
               {"SN silent", "", "Can't read SN! Increase timeout and check connections.", "0.25", ""},
               {"VR silent", "SN|PR|TR|T1", "Can't read software version!", "7", "1000"},
               {"PR, TR and T1 silent", "SN|VR",
                "Can't read PR value! Default is 238.|Can't read TR value! Default is 956.", "4", "238"},
               {"T1 no number", "SN|VR|PR|TR|T1?", "", "4", "1000"}});
    }
    void start() {
        QFETCH(QString, answers);
        SamplingBench b(sim::LoopConfig::demo(), PageBench::Line::Script);
        const QMap<QString, QString> replies{{"SN", "*0001SN=77"},   {"VR", "*0001VR=5.10"},
                                             {"PR", "*0001PR=1000"}, {"TR", "*0001TR=952"},
                                             {"T1", "*0001T1=35.2"}, {"T1?", "*0001T1=?"}};
        for (const QString& a : items(answers))
            b.script.insert(a.left(2), replies[a]);
        b.state.MeasureTimeout = b.state.ReadTimeout = 0.25;
        b.press("cmdSamplingStart");
        const QByteArray sent = "**0100SN\r\n*0100VR\r\n**0100PR\r\n**0100TR\r\n*0100T1\r\n";
        QCOMPARE(b.scripted->writtenBytes(), sent.left(answers.isEmpty() ? 10 : sent.size()));
        QVERIFY(b.scripted->writes[1].time - b.scripted->writes[0].time >= 0.0099);
        QTEST(b.op.messageTexts().join('|'), "messages");
        for (const auto& m : b.op.messages)
            QCOMPARE(m.title, QString(m.text.contains(" value! Default") ? "Info" : "Warning"));
        // T1 35.2: (60 x 1000 + 6 x 952) / 10000 = 6.5712 s, floor(0.25 + 6.5712) + 1 = 7.
        const auto [timeout, pr] = fetch<QString, QString>("timeout", "pr");
        QCOMPARE(b.state.MeasureTimeout, timeout.toDouble());
        QCOMPARE(b.state.CurrentPR, pr);
        QCOMPARE(b.state.CurrentTR, pr == "238" ? "956" : pr.isEmpty() ? "" : "952");
        QVERIFY(!b.enabled("cmdSamplingStart") && !b.enabled("cmdSend") && !b.scripted->isOpen());
        QCOMPARE(b.middle(), "");
        if (answers.isEmpty()) { // choosing the instrument again is the way out
            b.choose("cboSampling", 1);
            QVERIFY(b.enabled("cmdSamplingStart"));
            return;
        }
        QCOMPARE(b.state.ReadTimeout, timeout.toDouble());
        QCOMPARE(b.mismatches("lblSerialNumber=77|PnlLeftMessage=Select a command and send it..."), "");
    }

    void singleHoldAndUnknown() {
        SamplingBench b;
        b.ready("OptP3");
        b.press("cmdSend");
        QVERIFY(b.lines() == QStringList({"*", "**0100P3\r\n"}) && b.paused(1) && b.usable());
        QCOMPARE(b.log(), "*0001 14.6961\n");
        QCOMPARE(b.mismatches("lblValue=14.6961|PnlMiddleMessage="), "");

        // A hold reads nothing; a DB or DS after it keeps the flag and clears the value.
        b.option("OptP4");
        const QString afterP4 = b.flag();
        b.option("OptP5");
        QCOMPARE(afterP4 + b.flag(), "YesNo");
        b.wire().clear();
        b.press("cmdSend");
        QCOMPARE(b.lines(), QStringList({"*", "**0100P5\r\n"}));
        QCOMPARE(b.mismatches("PnlLeftMessage=Send a DB or DS command !|lblValue=|PnlMiddleMessage="), "");
        b.option("OptP4");
        b.tab(1);
        b.setTexts("lblValue=7|PnlLeftMessage=kept");
        b.option("OptTempDB");
        QCOMPARE(b.flag(), "Yes");
        QCOMPARE(b.mismatches("lblValue=|PnlLeftMessage=|lblCommandBox=*0100DB"), "");
        b.wire().clear();
        b.press("cmdSend");
        QCOMPARE(b.lines(), QStringList({"*", "**0100DB\r\n"}));
        QCOMPARE(b.text("lblValue"), "14.6963");
        b.inst("01").faults().silent = true;
        b.option("OptTempDS");
        b.press("cmdSend");
        QVERIFY(b.middle() == "There is no response !" && b.log().count('\n') == 2 && b.usable());

        // The tab change clears the command but leaves Send on: a command the page does not know.
        b.tab(0);
        QCOMPARE(b.mismatches("lblCommandBox=|PnlLeftMessage=Please push the start button !"), "");
        b.wire().clear();
        b.press("cmdSend");
        QCOMPARE(b.lines(), QStringList({"*", "*\r\n"}));
        QCOMPARE(b.op.messageTexts(), QStringList{"Can't recognize the command !"});
        QCOMPARE(b.op.messages[0].title, "Error");
        QVERIFY(b.usable());
    }

    void responseBoxScrollsFromTheNineteenthChange() {
        SamplingBench b;
        b.ready("OptP3");
        auto* box = b.w<ResponseLog>("txtResponse");
        const int before = box->scrolls();
        for (int i = 0; i < 18; ++i)
            b.press("cmdSend");
        QCOMPARE(b.state.SamplingLineCount, 18.0);
        QCOMPARE(box->scrolls(), before);
        b.press("cmdSend");
        QCOMPARE(box->scrolls(), before + 1);
        // A batch of a continuous reading counts one change per line and scrolls once.
        box->appendReplies("*0001 1\r\n*0001 2\r\n*0001 3\r\n", 3);
        QCOMPARE(b.state.SamplingLineCount, 22.0);
        QCOMPARE(box->scrolls(), before + 2);
        QVERIFY(b.log().endsWith("\n*0001 1\n*0001 2\n*0001 3\n") && b.log().count('\n') == 22);
        QTest::mouseClick(box->viewport(), Qt::LeftButton);
        QCOMPARE(b.left(), "To copy select and press Ctrl + C");
    }

    // P4 on 01 (a reading every 1.09 s, read time-out 3 s), with events at seconds after Send:
    // stop (the operator clicks Stop), silent / speak (01 stops and resumes sending), qm / clean
    // (its readings carry "?" or not), lose (the adapter is pulled), leave (another page is shown).
    void continuous_data() {
        table(
            {"events", "shape", "value", "left", "middle", "tail"},
            {{"Stop mid-run", "5.5 stop", "V", "last", "", "", "*|*9900VR\r\n"},
             {"silence before any ? keeps running", "3 silent|10 speak|14 stop", "V", "last", "", "",
              "*|*9900VR\r\n"},
             {"a streaming instrument goes silent", "3 silent|20 stop", "V", "last", "", "", "*|*9900VR\r\n"},
             {"? then silence ends the run", "3 qm|6 silent", "VC", "Corrupted Data", "No Response !",
              "Check the connections !", ""},
             {"? then good lines resume", "3 qm|6 clean|10 stop", "VCV", "last", "", "", "*|*9900VR\r\n"},
             {"device lost", "4.5 lose", "V", "last", "", "", ""},
             {"page left", "4.5 leave", "V", "last", "Please click on the start button !", "",
              "*|*9900VR\r\n"},
             {"no first line", "0 silent", "", "", "", "There is no response !", ""}});
    }
    void continuous() {
        QFETCH(QString, events);
        SamplingBench b;
        b.ready("OptP4");
        const double sent = b.clock.now();
        int linesAtStop = -1;
        for (const QString& e : items(events)) {
            const QString what = e.section(' ', 1);
            sim::Faults& f = b.inst("01").faults();
            b.clock.at(sent + e.section(' ', 0, 0).toDouble(), [&b, &f, &linesAtStop, what] {
                if (what == "stop") linesAtStop = int(b.log().count('\n'));
                if (what == "stop") b.press("cmdStop");
                if (what == "silent" || what == "speak") f.silent = what == "silent";
                if (what == "qm" || what == "clean") f.questionMark = what == "qm";
                if (what == "lose") b.loop->loseDevice();
                if (what == "leave") b.main->panel()->setCurrentIndex(1);
            });
        }
        b.press("cmdSend");
        QCOMPARE(b.lines().mid(0, 2), QStringList({"*", "**0100P4\r\n"}));
        QTEST(b.lines().mid(2).join('|'), "tail");
        QTEST(b.logShape(), "shape");
        QFETCH(QString, value); // "last": the number in the box's last line
        QCOMPARE(b.text("lblValue"),
                 value == "last" ? b.log().section('\n', -2, -2).mid(6).trimmed() : value);
        QTEST(b.left(), "left");
        QTEST(b.middle(), "middle");
        QCOMPARE(b.op.messageTexts().join(""), events.contains("lose") ? b.main->link().lostText("sim") : "");
        QVERIFY(b.usable());
        if (b.lines().size() > 2) QVERIFY(b.paused(3) && !b.inst("01").continuous()); // the stop sequence
        // Stop takes effect within one line: the reading under way is still shown. Readings come
        // at about 1.1, 2.2, 3.3, 4.4, 5.5 and 6.5 s; the first only tells that reading began.
        if (linesAtStop >= 0) QVERIFY(b.log().count('\n') <= linesAtStop + 1);
        if (events == "5.5 stop") QCOMPARE(b.log().count('\n'), 5);
    }

    // A thousand characters waiting at once: the reading is abandoned with the stop command. Five
    // lines at once, then the adapter pulled: the lines collected for the box still reach it.
    void overflowAndBurst() {
        SamplingBench b(sim::LoopConfig::demo(), PageBench::Line::Script);
        b.script = {{"SN", "*0001SN=77"}, {"VR", "*0001VR=5.10"}, {"T1", "*0001T1=30.1"}};
        b.ready("OptP4");
        b.scripted->onWrite = [&b](const QByteArray& bytes, double t) {
            if (bytes != "**0100P4\r\n") return;
            b.scripted->arrive(t + 0.5, "*0001 14.6959\r\n");
            b.scripted->arrive(t + 1.5, "*0001 14.6959\r\n");
            b.scripted->arrive(t + 3.0, QByteArray("*0001 14.6959\r\n").repeated(70));
        };
        b.press("cmdSend");
        QCOMPARE(b.scripted->writtenBytes().right(20), QByteArray("***0100P4\r\n*9900VR\r\n"));
        QCOMPARE(b.op.messageTexts(), QStringList{"Data buffer is full !"});
        QCOMPARE(b.op.messages[0].title, "Buffer Overflow");
        QCOMPARE(b.log(), "*0001 14.6959\n");
        QVERIFY(b.usable());
        b.scripted->discardInput(); // what the overflow left behind (a real port is cleared at open)
        b.scripted->onWrite = [&b](const QByteArray& bytes, double t) {
            if (bytes != "**0100P4\r\n") return;
            b.scripted->arrive(t + 0.5, QByteArray("*0001 1.5\r\n").repeated(6));
            b.scripted->loseAt(t + 0.6);
        };
        b.press("cmdSend");
        QCOMPARE(b.log().count("*0001 1.5\n"), 5);
        QVERIFY(b.usable() && b.op.messages.size() == 2);
    }
};

QTEST_MAIN(TestSampling)
#include "tst_sampling.moc"
