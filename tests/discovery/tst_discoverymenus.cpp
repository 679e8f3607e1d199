// What the Communication menu and the renumbering button do to the main window: the Startup
// item, Settings and Timeout, renumbering, and start-up with the real Startup dialog.
#include "CommsSetup.h"
#include "DiscoveryBench.h"
#include "Frames.h"
#include "Renumbering.h"
#include "ScriptedPort.h"
#include "Startup.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace cvi;
using namespace cvi::test;

namespace {
// A main window that has already found the demo loop (01, 02, 03 at 9600, no parity).
void connectDemo(DiscoveryBench& t) {
    t.b.connectAt(9600, 'N');
    t.state().IDList = "010203";
    t.state().InstrumentCount = 3;
    t.state().StartupFlag = "Yes";
    t.main->RefreshIdLists();
    for (const char* name : {"mnuMeasure", "mnuSettings", "mnuTimeout"})
        t.main->setActionEnabled(name, true);
}

QLabel* addLabel(DiscoveryBench& t, int page, const char* name, const QString& content) {
    auto* label = new QLabel(content, t.main->page(page));
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

void detectAndAccept(QDialog& d) {
    click(d, "cmdStart");
    click(d, "CmdOK");
}
} // namespace

class TestDiscoveryMenus : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setEndProgramHook([] {});
    }
    void startupMenuFindsLoop();
    void startupMenuCancelled();
    void startupWaitsForALaterDetection();
    void settingsMenuAdoptsNewSettings();
    void settingsMenuCancelKeepsEverything();
    void settingsMenuClosedAnotherWay();
    void timeoutMenu_data();
    void timeoutMenu();
    void renumber_data();
    void renumber();
    void renumberOnLostPort();
    void renumberHint();
};

void TestDiscoveryMenus::startupMenuFindsLoop() {
    DiscoveryBench t;
    connectDemo(t);
    t.state().IDList = "0405";
    bool checked = false;
    t.b.op.dialogs.enqueue([&](QDialog& d) {
        // While the dialog runs the pages are out of reach.
        checked = t.state().IDList.isEmpty() && t.main->panel()->isHidden() && !t.enabled("mnuMeasure") &&
                  !t.enabled("mnuSettings") && !t.enabled("mnuTimeout") && t.left()->text().isEmpty() &&
                  text(d, "lblMessage") == QStringLiteral("Please start the system check!");
        detectAndAccept(d);
        return d.result();
    });
    t.main->action("mnuStartup")->trigger();
    QVERIFY(checked);
    QCOMPARE(t.b.op.dialogsRun, QStringList{"frmSystemCheck"});
    QVERIFY(!t.main->panel()->isHidden());
    QVERIFY(t.enabled("mnuMeasure"));
    QVERIFY(t.enabled("mnuSettings"));
    QVERIFY(t.enabled("mnuTimeout"));
    QCOMPARE(t.left()->text(), QStringLiteral("Push the start button!"));
    QCOMPARE(t.listItems(4), (QStringList{"01", "02", "03"}));
    QCOMPARE(t.state().StartupFlag, QStringLiteral("Yes"));
    // The dialog is gone and its port closed.
    QVERIFY(!t.main->findChild<QDialog*>("frmSystemCheck"));
    QVERIFY(!t.b.loop->attached());
}

void TestDiscoveryMenus::startupMenuCancelled() {
    DiscoveryBench t;
    connectDemo(t);
    t.b.op.dialogs.enqueue([](QDialog& d) {
        click(d, "CmdCancel");
        return d.result();
    });
    t.main->action("mnuStartup")->trigger();
    QVERIFY(t.main->panel()->isHidden());
    QVERIFY(!t.enabled("mnuMeasure"));
    QVERIFY(!t.enabled("mnuSettings"));
    QVERIFY(!t.enabled("mnuTimeout"));
    QCOMPARE(t.state().IDList, QString());
    QCOMPARE(t.left()->text(), QStringLiteral("Select startup to establish communication!"));
    QVERIFY(!QFile::exists(t.folder.filePath("cvi.ini")));
}

void TestDiscoveryMenus::startupWaitsForALaterDetection() {
    DiscoveryBench t;
    // Nothing on the port at first: the detection fails and is closed with the problem OK.
    t.b.ports.maker = [&t](const QString&) -> std::unique_ptr<SerialPort> {
        return std::make_unique<ScriptedPort>(t.b.clock);
    };
    t.b.op.dialogs.enqueue([](QDialog& d) {
        click(d, "cmdStart");
        click(d, "cmdProblemOK");
        return d.result();
    });
    // A minute later the loop is plugged in and the operator runs Startup from the menu.
    t.b.clock.at(60.0, [&t] {
        t.b.ports.maker = [&t](const QString&) -> std::unique_ptr<SerialPort> {
            return std::make_unique<sim::SimPort>(*t.b.loop);
        };
        t.b.op.dialogs.enqueue([](QDialog& d) {
            detectAndAccept(d);
            return d.result();
        });
        t.main->action("mnuStartup")->trigger();
    });
    StartupSequence startup{*t.main, [&t] { showStartupDialog(*t.main); }, false};
    QVERIFY(startup.run());
    QVERIFY(t.b.clock.now() >= 60.0);
    QCOMPARE(t.b.op.dialogsRun, (QStringList{"frmSystemCheck", "frmSystemCheck"}));
    QCOMPARE(t.state().IDList, QStringLiteral("010203"));
    QVERIFY(t.enabled("mnuMeasure"));
    QVERIFY(t.enabled("mnuSettings"));
    QCOMPARE(t.left()->text(), QStringLiteral("Click the start button!"));
}

void TestDiscoveryMenus::settingsMenuAdoptsNewSettings() {
    DiscoveryBench t;
    connectDemo(t);
    QLabel* baud = addLabel(t, MainWindow::PageConfiguration, "lblBaudRate", "9600");
    QLabel* parity = addLabel(t, MainWindow::PageConfiguration, "lblParity", "N");
    QLabel* command = addLabel(t, MainWindow::PageSampling, "lblCommandBox", "*0100P3");
    QSignalSpy reset(t.main.get(), &MainWindow::samplingResetRequested);
    t.lists[1]->setCurrentIndex(2);
    bool hidden = false;
    int tab = -1;
    t.b.op.dialogs.enqueue([&](QDialog& d) {
        hidden = t.main->panel()->isHidden();
        tab = child<QTabWidget>(d, "tabComSettings")->currentIndex();
        click(d, "Opt4800");
        click(d, "OptEvenParity");
        click(d, "CmdOK");
        return d.result();
    });
    t.main->action("mnuSettings")->trigger();
    QVERIFY(hidden);
    QCOMPARE(tab, 0);
    QCOMPARE(t.b.op.dialogsRun, QStringList{"CommsSetup"});
    QVERIFY(!t.main->panel()->isHidden());
    QCOMPARE(baud->text(), QStringLiteral("4800"));
    QCOMPARE(parity->text(), QStringLiteral("E"));
    QCOMPARE(command->text(), QString());
    QCOMPARE(reset.count(), 1);
    QCOMPARE(t.left()->text(), QString());
    QCOMPARE(t.lists[1]->currentIndex(), 0); // the lists were refilled
    QCOMPARE(t.state().BaudRate, QStringLiteral("4800"));
    QCOMPARE(t.state().Parity, QStringLiteral("E"));
    QCOMPARE(t.state().DataBits, QStringLiteral("7"));
}

void TestDiscoveryMenus::settingsMenuCancelKeepsEverything() {
    DiscoveryBench t;
    connectDemo(t);
    QLabel* baud = addLabel(t, MainWindow::PageConfiguration, "lblBaudRate", "9600");
    t.b.op.dialogs.enqueue([&](QDialog& d) {
        click(d, "Opt19200");
        click(d, "OptOddParity");
        click(d, "CmdCancel");
        return d.result();
    });
    t.main->action("mnuSettings")->trigger();
    QVERIFY(!t.main->panel()->isHidden());
    QCOMPARE(baud->text(), QStringLiteral("9600"));
    QCOMPARE(t.state().BaudRate, QStringLiteral("9600"));
    QCOMPARE(t.state().Parity, QStringLiteral("N"));
    QCOMPARE(t.state().DataBits, QStringLiteral("8"));
    QVERIFY(t.b.wire().writes().isEmpty());
}

void TestDiscoveryMenus::settingsMenuClosedAnotherWay() {
    DiscoveryBench t;
    connectDemo(t);
    t.main->action("mnuSettings")->trigger(); // nobody presses anything
    QCOMPARE(t.b.op.dialogsRun, QStringList{"CommsSetup"});
    QVERIFY(!t.main->panel()->isHidden());
}

void TestDiscoveryMenus::timeoutMenu_data() {
    QTest::addColumn<QString>("idList");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("panelShown");
    QTest::newRow("OK") << "010203"
                        << "cmdTimeoutOK" << true;
    QTest::newRow("OK, no instruments") << ""
                                        << "cmdTimeoutOK" << false;
    QTest::newRow("Cancel, no instruments") << ""
                                            << "cmdTimeoutCancel" << true;
}

void TestDiscoveryMenus::timeoutMenu() {
    QFETCH(QString, idList);
    QFETCH(QString, button);
    QFETCH(bool, panelShown);
    DiscoveryBench t;
    connectDemo(t);
    t.state().IDList = idList;
    t.state().CommTimeout = 0.36;
    t.state().MeasureTimeout = 4;
    QStringList shown;
    int tab = -1;
    t.b.op.dialogs.enqueue([&](QDialog& d) {
        tab = child<QTabWidget>(d, "tabComSettings")->currentIndex();
        shown << text(d, "PnlCT") << text(d, "PnlMT");
        child<SpinButton>(d, "SpinButton1")->upArrow()->click();
        click(d, button.toLatin1().constData());
        return d.result();
    });
    t.main->action("mnuTimeout")->trigger();
    QCOMPARE(tab, 1);
    QCOMPARE(shown, (QStringList{"0.36", "4.00"}));
    // Cancel does not undo the arrows.
    QCOMPARE(t.state().MeasureTimeout, 4.5);
    QCOMPARE(t.state().ReadTimeout, 4.5);
    QCOMPARE(!t.main->panel()->isHidden(), panelShown);
}

void TestDiscoveryMenus::renumber_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("idList");
    QTest::addColumn<bool>("refused");

    QTest::newRow("three from 1") << 3 << QStringList{"1"} << "**9900ID\r\n"
                                  << "010203" << false;
    QTest::newRow("three from 96") << 3 << QStringList{"96"} << "**9995ID\r\n"
                                   << "969798" << false;
    QTest::newRow("three from 97") << 3 << QStringList{"97"} << ""
                                   << "010203" << true;
    QTest::newRow("two from 05") << 2 << QStringList{"05"} << "**9904ID\r\n"
                                 << "0506" << false;
    QTest::newRow("abc, 0, 120, 2.5, then 21")
        << 3 << QStringList{"abc", "0", "120", "2.5", "21"} << "**9920ID\r\n"
        << "212223" << false;
    QTest::newRow("cancelled") << 3 << QStringList{} << ""
                               << "010203" << false;
    QTest::newRow("abc, then cancelled") << 3 << QStringList{"abc", ""} << ""
                                         << "010203" << false;
    QTest::newRow("no discovery yet") << 0 << QStringList{"1"} << "**9900ID\r\n"
                                      << "" << false;
}

void TestDiscoveryMenus::renumber() {
    QFETCH(int, count);
    QFETCH(QStringList, answers);
    QFETCH(QString, line);
    QFETCH(QString, idList);
    QFETCH(bool, refused);
    DiscoveryBench t;
    connectDemo(t);
    t.state().InstrumentCount = static_cast<qint16>(count);
    if (count == 0) t.state().IDList = "010203";
    QLabel* command = addLabel(t, MainWindow::PageConfiguration, "lblCommand", "*0100PR");
    t.main->setMiddleMessage("old");
    for (const QString& a : answers)
        t.b.op.answers.enqueue(a);

    t.main->requestRenumbering();

    QCOMPARE(t.b.op.asked.size(), qMax<qsizetype>(answers.size(), 1));
    QCOMPARE(t.b.op.asked[0].prompt, renumberPrompt());
    QCOMPARE(t.b.op.asked[0].title, QStringLiteral("Renumbering Instruments"));
    QCOMPARE(t.b.op.asked.last().defaultAnswer, QStringLiteral("01"));
    QCOMPARE(t.state().IDList, idList);
    if (refused) {
        QCOMPARE(t.b.op.messages.size(), 1);
        QCOMPARE(t.b.op.messages[0].text,
                 QStringLiteral("There isn't enough numbers to renumber the instruments!..."));
        QCOMPARE(t.b.op.messages[0].title, QStringLiteral("Warning"));
    } else {
        QVERIFY(t.b.op.messages.isEmpty());
    }
    if (line.isEmpty()) {
        QVERIFY(t.b.wire().writes().isEmpty());
        QCOMPARE(t.main->middleMessage()->text(), QString());
        return;
    }
    QCOMPARE(t.b.wire().writtenTexts(), (QStringList{"*", line}));
    const auto writes = t.b.wire().writes();
    QVERIFY(writes[1].time - writes[0].time >= 0.010);
    QCOMPARE(command->text(), line.mid(1, 7));
    QCOMPARE(t.main->middleMessage()->text(), QStringLiteral("Instrument IDs have been changed !"));
    QCOMPARE(t.listItems(0).join(""), idList);
    QCOMPARE(t.lists[3]->currentIndex(), idList.isEmpty() ? -1 : 0);
    QVERIFY(!t.b.loop->attached());
    if (count == 3) {
        // The loop did renumber itself as the program now assumes.
        for (int i = 0; i < 3; ++i)
            QCOMPARE(t.b.loop->at(i).id(), idList.mid(2 * i, 2));
    }
}

void TestDiscoveryMenus::renumberOnLostPort() {
    DiscoveryBench t;
    connectDemo(t);
    t.b.loop->loseDevice();
    t.b.op.answers.enqueue("1");
    t.main->requestRenumbering();
    QCOMPARE(t.b.op.messages.size(), 1); // reported, not thrown into the event loop
    QCOMPARE(t.state().IDList, QStringLiteral("010203"));
}

void TestDiscoveryMenus::renumberHint() {
    QPushButton* autoNumber = nullptr;
    QPushButton* start = nullptr;
    DiscoveryBench t(sim::LoopConfig::demo(), [&](MainWindow& m) {
        autoNumber = new QPushButton(m.page(MainWindow::PageConfiguration));
        autoNumber->setObjectName("cmdAutoNumber");
        start = new QPushButton(m.page(MainWindow::PageConfiguration));
        start->setObjectName("cmdConfigurationStart");
    });
    QEvent enter(QEvent::Enter);
    t.main->setLeftMessage("Please click on the start button !");
    QCoreApplication::sendEvent(autoNumber, &enter);
    QCOMPARE(t.left()->text(), QStringLiteral("Please click on the start button !")); // page not started
    start->setEnabled(false);
    QCoreApplication::sendEvent(autoNumber, &enter);
    QCOMPARE(t.left()->text(), QStringLiteral("Click to change !"));
}

QTEST_MAIN(TestDiscoveryMenus)
#include "tst_discoverymenus.moc"
