// Communication Setup on a simulated loop: the options, the baud-lock check, the two broadcasts at
// the old settings, when the program adopts the new ones, and the time-out arrows.
#include "CommsSetup.h"
#include "Frames.h"
#include "Pointer.h"
#include "SimBench.h"

#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace cvi;
using cvi::test::SimBench;

Q_DECLARE_METATYPE(sim::LoopConfig)

namespace {
struct Setup {
    SimBench b;
    std::unique_ptr<CommsSetup> dialog;
    QStringList left;
    int panelShown = 0;
    int adopted = 0;

    explicit Setup(const sim::LoopConfig& config = sim::LoopConfig::demo()) : b(config) {
        b.state.PortName = "COM 1";
        dialog = std::make_unique<CommsSetup>(b.state, b.runtime, b.op, b.makeLink());
        QObject::connect(dialog.get(), &CommsSetup::leftMessageChanged,
                         [this](const QString& t) { left << t; });
        QObject::connect(dialog.get(), &CommsSetup::panelShown, [this] { ++panelShown; });
        QObject::connect(dialog.get(), &CommsSetup::settingsAdopted, [this] { ++adopted; });
    }
    template <typename T = QAbstractButton> T* find(const char* name) {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) { find(name)->click(); }
    QString panel(const char* name) { return find<QLabel>(name)->text(); }
    // One exchange at the program's current settings.
    QString ask(const QString& line) {
        auto link = b.makeLink();
        link->OpenPort();
        link->WakeUp();
        link->Output(line);
        const auto reply = link->ReadInput();
        link->ClosePort();
        return reply.value_or(QString());
    }
};
} // namespace

class TestCommsSetup : public QObject {
    Q_OBJECT
private slots:
    void openingShowsCurrentSettings();
    void optionsWaitForOk();
    void unlockedChange();
    void okWithoutChoice();
    void lockedOrSilentLoopKeepsSettings_data();
    void lockedOrSilentLoopKeepsSettings();
    void cancelKeepsSettings();
    void spinButtons_data();
    void spinButtons();
    void timeoutFormula_data();
    void timeoutFormula();
};

void TestCommsSetup::openingShowsCurrentSettings() {
    Setup s;
    QCOMPARE(s.dialog->objectName(), QStringLiteral("CommsSetup"));
    QCOMPARE(s.dialog->windowTitle(), QStringLiteral("Communication Setup"));
    auto* tabs = s.find<QTabWidget>("tabComSettings");
    QCOMPARE(tabs->tabText(0), QStringLiteral("Communication Setup"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Timeout"));
    QVERIFY(s.find("Opt9600")->isChecked());
    QVERIFY(s.find("OptNoParity")->isChecked());
    for (const char* other : {"Opt150", "Opt300", "Opt19200", "OptEvenParity", "OptOddParity"})
        QVERIFY2(!s.find(other)->isChecked(), other);
    // 150 is never used: choosing it leaves the choice as it was.
    s.click("Opt150");
    QVERIFY(!s.find("Opt150")->isChecked());
    QVERIFY(s.find("Opt9600")->isChecked());
    QCOMPARE(s.dialog->chosenBaudRate(), QStringLiteral("9600"));
}

void TestCommsSetup::optionsWaitForOk() {
    Setup s;
    s.click("Opt4800");
    s.click("OptEvenParity");
    QCOMPARE(s.dialog->chosenBaudRate(), QStringLiteral("4800"));
    QCOMPARE(s.dialog->chosenParity(), QStringLiteral("E"));
    QCOMPARE(s.dialog->chosenDataBits(), QStringLiteral("7"));
    // The instruments still run at the old settings, and so does the program.
    QCOMPARE(s.b.state.BaudRate, QStringLiteral("9600"));
    QCOMPARE(s.b.state.Parity, QStringLiteral("N"));
    QCOMPARE(s.b.state.DataBits, QStringLiteral("8"));
    s.click("OptNoParity");
    QCOMPARE(s.dialog->chosenDataBits(), QStringLiteral("8"));
}

void TestCommsSetup::unlockedChange() {
    Setup s;
    s.click("Opt4800");
    s.click("OptEvenParity");
    s.click("CmdOK");

    QCOMPARE(s.b.wire().writtenTexts(),
             (QStringList{"*", "*9900BL\r\n", "**9900PT=E\r\n", "**9900BR=4800\r\n"}));
    const auto w = s.b.wire().writes();
    QVERIFY(w[1].time - w[0].time >= 0.010);
    QCOMPARE(qRound((w[2].time - w[1].time) * 1000), 1500);
    QCOMPARE(qRound((w[3].time - w[2].time) * 1000), 1000);
    QVERIFY(s.b.clock.now() - w[3].time >= 1.0);
    // Both broadcasts went out at the old settings: every instrument heard them.
    for (const char* id : {"01", "02", "03"}) {
        QCOMPARE(s.b.inst(id).baud(), 4800);
        QCOMPARE(s.b.inst(id).parity(), 'E');
    }
    QCOMPARE(s.b.state.BaudRate, QStringLiteral("4800"));
    QCOMPARE(s.b.state.Parity, QStringLiteral("E"));
    QCOMPARE(s.b.state.DataBits, QStringLiteral("7"));
    QCOMPARE(fixedText(s.b.state.CommTimeout), QStringLiteral("0.51")); // 500 / 4800 x 3 + 0.2
    QCOMPARE(s.b.state.ReadTimeout, s.b.state.CommTimeout);
    QCOMPARE(s.left, (QStringList{"Checking Baud Lock parameter", "Baud is unlocked!", ""}));
    QCOMPARE(s.adopted, 1);
    QCOMPARE(s.panelShown, 1);
    QVERIFY(s.dialog->closedByOperator());
    QCOMPARE(s.dialog->result(), int(QDialog::Accepted));
    QVERIFY(s.b.op.messages.isEmpty());
    QVERIFY(!pointerIsBusy());
    // And the program now talks at the new settings.
    s.b.state.ReadTimeout = 1;
    QCOMPARE(s.ask("**0200SN\r\n"), QStringLiteral("*0002SN=87120\r\n"));
}

void TestCommsSetup::okWithoutChoice() {
    Setup s;
    s.b.state.CommTimeout = 1.0;
    s.click("CmdOK");
    QCOMPARE(s.b.wire().writtenTexts(),
             (QStringList{"*", "*9900BL\r\n", "**9900PT=N\r\n", "**9900BR=9600\r\n"}));
    QCOMPARE(fixedText(s.b.state.CommTimeout), QStringLiteral("0.36")); // 500 / 9600 x 3 + 0.2
    QCOMPARE(s.b.state.ReadTimeout, 0.36);
    QCOMPARE(s.b.state.BaudRate, QStringLiteral("9600"));
    QCOMPARE(s.adopted, 1);
}

void TestCommsSetup::lockedOrSilentLoopKeepsSettings_data() {
    QTest::addColumn<sim::LoopConfig>("config");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("leftMessages");
    // Answers "*0001BL=0" and "*0002BL=1": the second is locked.
    sim::LoopConfig locked = sim::LoopConfig::numbered(2);
    locked.instruments[1].params.insert("BL", "1");
    QTest::newRow("locked") << locked << "Baud is Locked.  Can't change Baud Rate!"
                            << QStringList{"Checking Baud Lock parameter", ""};
    sim::LoopConfig silent = sim::LoopConfig::numbered(2);
    silent.broken = true;
    for (auto& i : silent.instruments)
        i.faults.silent = true;
    QTest::newRow("no response") << silent << "There is no response !"
                                 << QStringList{"Checking Baud Lock parameter", ""};
}

void TestCommsSetup::lockedOrSilentLoopKeepsSettings() {
    QFETCH(sim::LoopConfig, config);
    QFETCH(QString, message);
    QFETCH(QStringList, leftMessages);
    Setup s(config);
    s.click("Opt2400");
    s.click("OptOddParity");
    s.click("CmdOK");
    QCOMPARE(s.b.wire().writtenTexts(), (QStringList{"*", "*9900BL\r\n"}));
    QCOMPARE(s.b.op.messages.size(), 1);
    QCOMPARE(s.b.op.messages[0].text, message);
    QCOMPARE(s.b.op.messages[0].title, QStringLiteral("Warning"));
    QVERIFY(s.b.op.messages[0].icon == Operator::Icon::Exclamation);
    QCOMPARE(s.left, leftMessages);
    QCOMPARE(s.panelShown, 1);
    QCOMPARE(s.adopted, 0);
    QVERIFY(s.dialog->closedByOperator());
    // The instruments still use the old settings, and so does the program.
    QCOMPARE(s.b.state.BaudRate, QStringLiteral("9600"));
    QCOMPARE(s.b.state.Parity, QStringLiteral("N"));
    QCOMPARE(s.b.state.DataBits, QStringLiteral("8"));
    QCOMPARE(s.b.inst("01").baud(), 9600);
    QVERIFY(!pointerIsBusy());
    QVERIFY(!s.b.loop->attached());
    if (message.startsWith("Baud")) {
        s.b.state.ReadTimeout = 1;
        QCOMPARE(s.ask("**0100SN\r\n"), QStringLiteral("*0001SN=100001\r\n"));
    }
}

void TestCommsSetup::cancelKeepsSettings() {
    Setup s;
    s.click("Opt19200");
    s.click("OptOddParity");
    s.click("CmdCancel");
    QVERIFY(s.b.wire().writes().isEmpty());
    QCOMPARE(s.b.state.BaudRate, QStringLiteral("9600"));
    QCOMPARE(s.b.state.Parity, QStringLiteral("N"));
    QCOMPARE(s.b.state.DataBits, QStringLiteral("8"));
    QCOMPARE(s.panelShown, 1);
    QCOMPARE(s.dialog->result(), int(QDialog::Rejected));
}

void TestCommsSetup::spinButtons_data() {
    QTest::addColumn<QString>("spin");
    QTest::addColumn<bool>("up");
    QTest::addColumn<double>("from");
    QTest::addColumn<int>("presses");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("value");

    QTest::newRow("comm down at 0.05") << "SpinButton2" << false << 0.05 << 1 << "0.00" << 0.0;
    QTest::newRow("comm down from 0.3, three times") << "SpinButton2" << false << 0.3 << 3 << "0.00" << 0.0;
    QTest::newRow("comm up at 0.36") << "SpinButton2" << true << 0.36 << 2 << "0.56" << 0.56;
    QTest::newRow("measure up at 4") << "SpinButton1" << true << 4.0 << 1 << "4.50" << 4.5;
    QTest::newRow("measure down at 0.3") << "SpinButton1" << false << 0.3 << 1 << "0.00" << 0.0;
    QTest::newRow("measure up, no limit") << "SpinButton1" << true << 998.0 << 10 << "1003.00" << 1003.0;
}

void TestCommsSetup::spinButtons() {
    QFETCH(QString, spin);
    QFETCH(bool, up);
    QFETCH(double, from);
    QFETCH(int, presses);
    QFETCH(QString, shown);
    QFETCH(double, value);
    Setup s;
    const bool comm = spin == "SpinButton2";
    (comm ? s.b.state.CommTimeout : s.b.state.MeasureTimeout) = from;
    s.dialog->selectTab(CommsSetup::TabTimeout);
    QCOMPARE(s.find<QTabWidget>("tabComSettings")->currentIndex(), 1);
    auto* button = s.dialog->findChild<SpinButton*>(spin);
    for (int i = 0; i < presses; ++i)
        (up ? button->upArrow() : button->downArrow())->click();
    QCOMPARE(s.panel(comm ? "PnlCT" : "PnlMT"), shown);
    QCOMPARE(comm ? s.b.state.CommTimeout : s.b.state.MeasureTimeout, value);
    QCOMPARE(s.b.state.ReadTimeout, value);
    // The other time-out is untouched.
    if (comm)
        QCOMPARE(s.b.state.MeasureTimeout, 2.25);
    else
        QCOMPARE(s.b.state.CommTimeout, 0.25);
}

void TestCommsSetup::timeoutFormula_data() {
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("seconds");
    QTest::newRow("9600 x 3") << 9600 << 3 << 0.36;
    QTest::newRow("300 x 98") << 300 << 98 << 163.53;
    QTest::newRow("19200 x 1") << 19200 << 1 << 0.23;
    QTest::newRow("none") << 4800 << 0 << 0.2;
}

void TestCommsSetup::timeoutFormula() {
    QFETCH(int, baud);
    QFETCH(int, count);
    QFETCH(double, seconds);
    QCOMPARE(CommsSetup::commTimeoutFor(baud, count), seconds);
}

QTEST_MAIN(TestCommsSetup)
#include "tst_commssetup.moc"
