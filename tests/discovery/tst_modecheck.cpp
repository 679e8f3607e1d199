// The mode check at the end of a detection: listening for readings nobody asked for, the MD
// reads, the warning and what its buttons write.
#include "DiscoveryBench.h"
#include "ModeWarning.h"

#include <QFile>
#include <QTest>

using namespace cvi;
using namespace cvi::test;

Q_DECLARE_METATYPE(sim::LoopConfig)

namespace {
QString warningFor(const QString& records) {
    return "Corvanel Interactive detected unexpected data !...\n"
           "The mode (MD) parameter(s) for the instrument(s) in continuous mode; " +
           records + "\n To use CVI reliably, you should choose one of the options below.";
}

// The writes whose text starts with `prefix`, with their times.
QList<sim::WireEvent> writesStarting(SimBench& b, const QByteArray& prefix) {
    QList<sim::WireEvent> out;
    for (const auto& w : b.wire().writes())
        if (w.bytes.startsWith(prefix)) out.append(w);
    return out;
}
} // namespace

class TestModeCheck : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setEndProgramHook([this] { ++programEnds; });
    }
    void quietLoop();
    void streaming_data();
    void streaming();
    void mdReplyWithoutMD();
    void exitLeavesInstrumentsAlone();
    void portLostWhileWriting();
    void warningText_data();
    void warningText();
    void hoverTurnsOptionRed();

private:
    int programEnds = 0;
};

void TestModeCheck::quietLoop() {
    DiscoveryBench t;
    frmSystemCheck dlg(*t.main);
    click(dlg, "cmdStart");
    const double scanned = t.b.wire().timeOfWrite("**9900VR\r\n");
    // The broadcast comes back within a few characters; then two seconds of listening.
    QVERIFY(t.b.clock.now() - scanned >= 2.0);
    QVERIFY(t.b.clock.now() - scanned < 2.2);
    QCOMPARE(t.b.wire().writtenTexts().last(), QStringLiteral("**9900VR\r\n"));
    QVERIFY(t.b.op.dialogsRun.isEmpty());
    QCOMPARE(t.state().ModeList, QString());
    QCOMPARE(text(dlg, "lblMessage"),
             QStringLiteral("Checking the mode of the instrument(s).  Please Wait !..."));
    QVERIFY(child(dlg, "CmdOK")->isEnabled());
}

void TestModeCheck::streaming_data() {
    QTest::addColumn<sim::LoopConfig>("config");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("modeList");
    QTest::addColumn<QString>("records");
    QTest::addColumn<QStringList>("mdWrites");

    // 01 answers MD=1 and does not stream: it is not listed.
    sim::LoopConfig one = sim::LoopConfig::numbered(3);
    one.instruments[0].params.insert("MD", "1");
    one.instruments[1].streamingFromStart = true;
    QTest::newRow("02 streams, MD=0") << one << "cmdMD0Accept"
                                      << "022"
                                      << "ID=02-->MD=2  " << QStringList{"**0200EW*0200MD=0\r\n"};

    sim::LoopConfig two = sim::LoopConfig::numbered(3);
    two.instruments[0].streamingFromStart = true;
    two.instruments[2].params.insert("MD", "3");
    QTest::newRow("01 and 03 stream, MD=1")
        << two << "cmdMD1Accept"
        << "012033"
        << "ID=01-->MD=2  ID=03-->MD=3  " << QStringList{"**0100EW*0100MD=1\r\n", "**0300EW*0300MD=1\r\n"};

    // The mode check talks at the parity the scan found.
    sim::LoopConfig even = sim::LoopConfig::numbered(3, 4800, 'E');
    even.instruments[1].streamingFromStart = true;
    QTest::newRow("even parity") << even << "cmdMD0Accept"
                                 << "022"
                                 << "ID=02-->MD=2  " << QStringList{"**0200EW*0200MD=0\r\n"};
}

void TestModeCheck::streaming() {
    QFETCH(sim::LoopConfig, config);
    QFETCH(QString, button);
    QFETCH(QString, modeList);
    QFETCH(QString, records);
    QFETCH(QStringList, mdWrites);
    DiscoveryBench t(config);
    frmSystemCheck dlg(*t.main);
    QString warning;
    QString title;
    t.b.op.dialogs.enqueue([&](QDialog& d) {
        warning = text(d, "txtWarning");
        title = d.windowTitle();
        click(d, button.toLatin1().constData());
        return d.result();
    });
    click(dlg, "cmdStart");

    QCOMPARE(t.state().IDList, QStringLiteral("010203"));
    QVERIFY(t.b.op.messages.isEmpty());
    // Every instrument found is asked, 0.7 s apart.
    const auto reads = writesStarting(t.b, "**0");
    QStringList readTexts;
    for (const auto& r : reads)
        if (r.bytes.endsWith("MD\r\n")) readTexts << QString::fromLatin1(r.bytes);
    QCOMPARE(readTexts, (QStringList{"**0100MD\r\n", "**0200MD\r\n", "**0300MD\r\n"}));
    for (int i = 1; i < 3; ++i)
        QVERIFY(reads[i].time - reads[i - 1].time >= 0.7 - 1e-9);

    QCOMPARE(t.b.op.dialogsRun, QStringList{"frmModeWarning"});
    QCOMPARE(title, QStringLiteral("Warning: Unexpected Data"));
    QCOMPARE(warning, warningFor(records));
    QCOMPARE(t.state().ModeList, modeList); // kept after the new values are written

    // One enable-write and set line for each listed instrument, 0.2 s apart, nothing else.
    const auto sets = writesStarting(t.b, "**");
    QList<sim::WireEvent> mdSets;
    for (const auto& w : sets)
        if (w.bytes.contains("EW")) mdSets.append(w);
    QStringList setTexts;
    for (const auto& w : mdSets)
        setTexts << QString::fromLatin1(w.bytes);
    QCOMPARE(setTexts, mdWrites);
    for (int i = 1; i < mdSets.size(); ++i)
        QCOMPARE(qRound((mdSets[i].time - mdSets[i - 1].time) * 1000), 200);
    const QString value = button == "cmdMD0Accept" ? "0" : "1";
    for (int i = 0; i < modeList.size(); i += 3)
        QCOMPARE(t.b.inst(modeList.mid(i, 2)).param("MD"), value);
    t.b.idle(5);
    QVERIFY(!t.b.inst(modeList.left(2)).streaming());

    QCOMPARE(text(dlg, "lblMessage"), QStringLiteral("Changing instrument parameters.  Please Wait !..."));
    QVERIFY(!child(dlg, "txtReport")->isHidden());
    QVERIFY(child(dlg, "CmdOK")->isEnabled());
    QVERIFY(!t.b.loop->attached());
}

void TestModeCheck::mdReplyWithoutMD() {
    sim::LoopConfig c = sim::LoopConfig::numbered(3);
    c.instruments[1].streamingFromStart = true;
    c.instruments[2].faults.slowSeconds = 1.0; // answers, but after the 0.7 s the mode read waits
    DiscoveryBench t(c);
    frmSystemCheck dlg(*t.main);
    QString warning;
    t.b.op.dialogs.enqueue([&](QDialog& d) {
        warning = text(d, "txtWarning");
        click(d, "cmdMD0Accept");
        return 1;
    });
    click(dlg, "cmdStart");
    QCOMPARE(t.state().IDList, QStringLiteral("010203"));
    QCOMPARE(t.b.op.messages.size(), 1);
    QCOMPARE(t.b.op.messages[0].text,
             QStringLiteral(
                 "Can't detect the MD value for ID=03. If MD=2,3 for this ID, you should change it to 1,2."));
    QCOMPARE(t.b.op.messages[0].title, ProgramTitle);
    QVERIFY(t.b.op.messages[0].icon == Operator::Icon::Exclamation);
    QCOMPARE(t.state().ModeList, QStringLiteral("022"));
    QCOMPARE(warning, warningFor("ID=02-->MD=2  "));
    QVERIFY(child(dlg, "CmdOK")->isEnabled());
}

void TestModeCheck::exitLeavesInstrumentsAlone() {
    sim::LoopConfig c = sim::LoopConfig::numbered(2);
    c.instruments[0].streamingFromStart = true;
    DiscoveryBench t(c);
    frmSystemCheck dlg(*t.main);
    t.b.op.dialogs.enqueue([](QDialog& d) {
        click(d, "CmdExit");
        return d.result();
    });
    const int before = programEnds;
    click(dlg, "cmdStart");
    QCOMPARE(programEnds, before + 1);
    QVERIFY(!t.b.wire().writtenTexts().join("").contains("EW"));
    QCOMPARE(t.b.inst("01").param("MD"), QStringLiteral("2"));
    QVERIFY(!QFile::exists(t.folder.filePath("cvi.ini")));
}

void TestModeCheck::portLostWhileWriting() {
    sim::LoopConfig c = sim::LoopConfig::numbered(2);
    c.instruments[1].streamingFromStart = true;
    DiscoveryBench t(c);
    frmSystemCheck dlg(*t.main);
    t.b.op.dialogs.enqueue([&t](QDialog& d) {
        t.b.loop->loseDevice();
        click(d, "cmdMD0Accept");
        return 1;
    });
    click(dlg, "cmdStart");
    // The failure reaches the detection once the warning is gone.
    QCOMPARE(text(dlg, "lblMessage"), QStringLiteral("There is no instrument at this port!"));
    QCOMPARE(t.left()->text(), QStringLiteral("Please choose a different port !"));
    QVERIFY(child(dlg, "cmdStart")->isEnabled());
    QVERIFY(!dlg.detecting());
}

void TestModeCheck::warningText_data() {
    QTest::addColumn<QString>("modeList");
    QTest::addColumn<QString>("records");
    QTest::newRow("two") << "013052"
                         << "ID=01-->MD=3  ID=05-->MD=2  ";
    QTest::newRow("one") << "982"
                         << "ID=98-->MD=2  ";
    QTest::newRow("broken record ignored") << "0130"
                                           << "ID=01-->MD=3  ";
}

void TestModeCheck::warningText() {
    QFETCH(QString, modeList);
    QFETCH(QString, records);
    QString expected = warningFor(records);
    QCOMPARE(frmModeWarning::warningText(modeList), expected.replace("\n", "\r\n"));
}

void TestModeCheck::hoverTurnsOptionRed() {
    DiscoveryBench t;
    t.state().ModeList = "012";
    frmModeWarning w(t.state(), t.b.runtime, t.b.makeLink(), "9600,N,8,1", {});
    auto colourOf = [&](const char* label, const char* button) {
        const QColor l = child(w, label)->palette().color(QPalette::WindowText);
        const QColor b = child(w, button)->palette().color(QPalette::ButtonText);
        return l == b ? l : QColor();
    };
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(child(w, "lblMD1"), &enter);
    QCOMPARE(colourOf("lblMD1", "cmdMD1Accept"), QColor(255, 0, 0));
    QCOMPARE(colourOf("lblMD0", "cmdMD0Accept"), QColor(0, 0, 0));
    QCOMPARE(colourOf("lblExit", "CmdExit"), QColor(0, 0, 0));
    QCoreApplication::sendEvent(child(w, "CmdExit"), &enter);
    QCOMPARE(colourOf("lblExit", "CmdExit"), QColor(255, 0, 0));
    QCOMPARE(colourOf("lblMD1", "cmdMD1Accept"), QColor(0, 0, 0));
    // Typing into the explanation changes nothing.
    auto* box = child<QPlainTextEdit>(w, "txtWarning");
    const QString before = box->toPlainText();
    QTest::keyClicks(box, "abc");
    QTest::keyClick(box, Qt::Key_Delete);
    QCOMPARE(box->toPlainText(), before);
}

QTEST_MAIN(TestModeCheck)
#include "tst_modecheck.moc"
