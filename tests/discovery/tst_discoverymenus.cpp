// What the Communication menu and the renumbering button do: the Startup item, Communication
// Setup from Settings and Timeout (the options, when the program adopts the new settings, the
// time-out arrows), and renumbering.
#include "CommsSetup.h"
#include "DiscoveryBench.h"
#include "Pointer.h"
#include "Renumbering.h"
#include "ScratchMount.h"

#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace cvi;
using namespace cvi::test;

namespace {
struct SettingsCase {
    sim::LoopConfig config;
    QString options, button; // pressed in this order
    QString chosen;          // the settings chosen, and the options checked, before the button
    double commTimeout;
    QString message = {};
};
struct TimeoutCase {
    QString spin, from, presses, shown; // from as shown; presses: + up, - down
    QString button = "cmdTimeoutOK", idList = "010203";
};
struct RenumberCase {
    int count;
    QStringList answers;
    QString line, idList, message = {}; // line empty: nothing sent
    bool lost = false;
};
} // namespace
Q_DECLARE_METATYPE(SettingsCase)
Q_DECLARE_METATYPE(TimeoutCase)
Q_DECLARE_METATYPE(RenumberCase)

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
} // namespace

class TestDiscoveryMenus : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setEndProgramHook([] {});
    }

    void startupMenu_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("detection on COM 2, OK") << "OK"; // cvi.ini names COM 3
        QTest::newRow("OK, cvi.ini cannot be written") << "OK unwritable";
        QTest::newRow("OK, cvi.ini in a read-only folder") << "OK read-only";
        QTest::newRow("Cancel") << "CmdCancel";
        QTest::newRow("closed without a button") << "";
    }
    void startupMenu() {
        QFETCH(QString, how);
        DiscoveryBench t;
        connectDemo(t);
        t.state().IDList = "0405";
        t.writeIni("3\r\n");
        const bool found = how.startsWith("OK"), readOnly = how.endsWith("read-only"),
                   unwritable = how.endsWith("unwritable") || readOnly;
        std::unique_ptr<ScratchMount> disk;
        if (readOnly) { // the old file stays, the reason is said
            disk = std::make_unique<ScratchMount>(16);
            if (!disk->ok()) QSKIP(qPrintable(disk->why()));
            QVERIFY(QFile::copy(settings_file::path(t.folder.path()), disk->filePath("cvi.ini")) &&
                    disk->readOnly());
            t.state().ProgramFolder = disk->path();
        } else if (unwritable) { // a folder that cannot exist: its parent is a file
            QVERIFY(QFile(t.folder.filePath("plain-file")).open(QIODevice::WriteOnly));
            t.state().ProgramFolder = t.folder.filePath("plain-file/cvi");
        }
        auto loopItems = [&t](bool on) {
            for (const char* name : {"mnuMeasure", "mnuSettings", "mnuTimeout"})
                QVERIFY2(t.main->action(name)->isEnabled() == on, name);
        };
        t.onDialog([&](QDialog& d) {
            // While the dialog runs the pages are out of reach.
            QVERIFY(t.state().IDList.isEmpty() && t.main->panel()->isHidden() && t.left()->text().isEmpty());
            loopItems(false);
            if (how == "CmdCancel") click(d, how);
            if (!found) return;
            child<QComboBox>(d, "LstPortID")->setCurrentIndex(1);
            click(d, "cmdStart");
            click(d, "CmdOK");
        });
        t.main->action("mnuStartup")->trigger();
        QCOMPARE(t.b.op.dialogsRun, QStringList{"frmSystemCheck"});
        QCOMPARE(t.readIni(readOnly ? disk->path() : QString()),
                 QByteArray(found && !unwritable ? "2\r\n" : "3\r\n"));
        QCOMPARE(t.state().StartupFlag + "|" + t.state().IDList, found ? "Yes|010203" : "Yes|");
        QCOMPARE(t.main->panel()->isHidden(), !found);
        loopItems(found);
        QCOMPARE(t.left()->text(), found ? QStringLiteral("Push the start button!")
                                         : QStringLiteral("Select startup to establish communication!"));
        // The run goes on with what was found; an unwritable cvi.ini is reported.
        const QString told = t.messages().join('|');
        if (readOnly)
            QCOMPARE(told,
                     "Warning [!] The settings file " + disk->filePath("cvi.ini") +
                         " could not be written (Read-only file system). The port will not be remembered at "
                         "the next start.");
        else
            QCOMPARE(told.section(" (", 0, 0), unwritable ? "Warning [!] The settings file " +
                                                                t.folder.filePath("plain-file/cvi/cvi.ini") +
                                                                " could not be written"
                                                          : QString());
        QVERIFY(!t.main->findChild<QDialog*>("frmSystemCheck") && !t.b.loop->attached()); // gone, port closed
        if (!found) return;
        for (int i = 0; i < 5; ++i) // the entries, then the one shown
            QCOMPARE(t.listItems(i).join(' ') + " " + t.lists[i]->currentText(), "01 02 03 01");
        QCOMPARE(t.main->panel()->currentIndex(), int(MainWindow::PageConfiguration));
    }

    // What the options choose: 150 baud is offered but never used; the parity sets the data bits.
    void settingsMenu_data() {
        QTest::addColumn<SettingsCase>("c");
        const sim::LoopConfig demo = sim::LoopConfig::demo();
        // 500 / 4800 x 3 + 0.2.
        QTest::newRow("4800 even") << SettingsCase{demo, "Opt4800 OptEvenParity", "CmdOK", "4800,E,7", 0.51};
        QTest::newRow("OK without a choice") << SettingsCase{demo, "", "CmdOK", "9600,N,8", 0.36};
        sim::LoopConfig locked = numbered(2);
        locked.instruments[1].params.insert("BL", "1");
        QTest::newRow("locked") << SettingsCase{locked,  "Opt2400 OptOddParity",
                                                "CmdOK", "2400,O,7",
                                                0.25,    "Baud is Locked.  Can't change Baud Rate!"};
        sim::LoopConfig silent = numbered(2);
        silent.broken = true;
        for (auto& i : silent.instruments)
            i.faults.silent = true;
        QTest::newRow("no response") << SettingsCase{
            silent, "Opt2400 OptOddParity OptNoParity", "CmdOK", "2400,N,8", 0.25, "There is no response !"};
        QTest::newRow("Cancel") << SettingsCase{demo, "Opt19200 OptOddParity Opt150", "CmdCancel",
                                                "19200,O,7", 0.25};
        QTest::newRow("closed without a button") << SettingsCase{demo, "", "", "9600,N,8", 0.25};
    }
    void settingsMenu() {
        QFETCH(SettingsCase, c);
        const auto& [config, options, button, chosen, commTimeout, message] = c;
        DiscoveryBench t(config);
        connectDemo(t);
        // The Sampling page starts over; the pages showing the link's settings refresh from them.
        QSignalSpy reset(&t.host(), &PageHost::samplingResetRequested);
        QStringList refreshed;
        connect(&t.host(), &PageHost::linkSettingsChanged, this,
                [&] { refreshed << t.state().BaudRate() + "," + t.state().Parity(); });
        t.lists[1]->setCurrentIndex(2);
        QStringList left;
        t.onDialog([&](QDialog& d) {
            QVERIFY(t.main->panel()->isHidden());
            QCOMPARE(child<QTabWidget>(d, "tabComSettings")->currentIndex(), 0);
            auto& setup = static_cast<CommsSetup&>(d);
            connect(&setup, &CommsSetup::leftMessageChanged, [&](const QString& m) { left << m; });
            for (const QString& option : options.split(' ', Qt::SkipEmptyParts))
                click(d, option);
            QCOMPARE(setup.chosenBaudRate() + "," + setup.chosenParity() + "," + setup.chosenDataBits(),
                     chosen);
            QStringList on;
            for (const auto* radio : d.findChildren<QRadioButton*>())
                if (radio->isChecked()) on << radio->objectName();
            const QString parityOption =
                QStringList{"OptNoParity", "OptEvenParity",
                            "OptOddParity"}[QStringLiteral("NEO").indexOf(chosen.section(',', 1, 1))];
            QCOMPARE(on, QStringList({"Opt" + chosen.section(',', 0, 0), parityOption}));
            if (!button.isEmpty()) click(d, button);
        });
        t.main->action("mnuSettings")->trigger();
        QCOMPARE(t.b.op.dialogsRun, QStringList{"CommsSetup"});
        QVERIFY(!t.main->panel()->isHidden() && !pointerIsBusy() && !t.b.loop->attached());
        QCOMPARE(t.left()->text(), QString());
        QCOMPARE(t.lists[1]->currentIndex(), 0); // the lists were refilled

        // OK checks the baud lock (two writes); unless it refuses, two broadcasts adopt the settings.
        const bool checked = button == "CmdOK", adopted = checked && message.isEmpty();
        QCOMPARE(t.b.wire().writes().size(), adopted ? 4 : checked ? 2 : 0);
        QCOMPARE(left.join('|'), !checked  ? ""
                                 : adopted ? "Checking Baud Lock parameter|Baud is unlocked!|"
                                           : "Checking Baud Lock parameter|");
        QCOMPARE(t.messages(), message.isEmpty() ? QStringList() : QStringList{"Warning [!] " + message});

        // Instruments and program use the same settings afterwards, and only new ones reach the pages.
        const QString settings = adopted ? chosen : QStringLiteral("9600,N,8");
        const QString line = settings.section(',', 0, 1); // baud rate and parity
        QCOMPARE(t.linkText(), settings);
        for (int i = 0; i < t.b.loop->size(); ++i)
            QCOMPARE(QString::number(t.b.loop->at(i).baud()) + "," + t.b.loop->at(i).parity(), line);
        QCOMPARE(QList<double>({t.state().CommTimeout, t.state().ReadTimeout}),
                 QList<double>({commTimeout, adopted ? commTimeout : 2.25}));
        QCOMPARE(refreshed.join(' ') + " " + QString::number(reset.count()), adopted ? line + " 1" : " 0");
    }

    void timeoutMenu_data() {
        QTest::addColumn<TimeoutCase>("c");
        QTest::newRow("comm down at 0.05") << TimeoutCase{"SpinButton2", "0.05", "-", "0.00"};
        QTest::newRow("comm down from 0.3, three times") << TimeoutCase{"SpinButton2", "0.30", "---", "0.00"};
        QTest::newRow("comm up at 0.36") << TimeoutCase{"SpinButton2", "0.36", "++", "0.56"};
        QTest::newRow("measure down at 0.3") << TimeoutCase{"SpinButton1", "0.30", "-", "0.00"};
        QTest::newRow("measure up, no limit")
            << TimeoutCase{"SpinButton1", "998.00", "++++++++++", "1003.00"};
        // Cancel does not undo the arrows either.
        QTest::newRow("OK, no instruments")
            << TimeoutCase{"SpinButton1", "4.00", "+", "4.50", "cmdTimeoutOK", ""};
        QTest::newRow("Cancel, no instruments")
            << TimeoutCase{"SpinButton1", "4.00", "+", "4.50", "cmdTimeoutCancel", ""};
    }
    void timeoutMenu() {
        QFETCH(TimeoutCase, c);
        const auto& [spin, from, presses, shown, button, idList] = c;
        DiscoveryBench t;
        connectDemo(t); // time-outs 0.25 and 2.25
        t.state().IDList = idList;
        const bool comm = spin == "SpinButton2";
        double& value = comm ? t.state().CommTimeout : t.state().MeasureTimeout;
        value = from.toDouble();
        t.onDialog([&](QDialog& d) {
            QCOMPARE(child<QTabWidget>(d, "tabComSettings")->currentIndex(), 1);
            QCOMPARE(text(d, "PnlCT PnlMT"), comm ? from + "|2.25" : "0.25|" + from);
            auto* arrows = child<SpinButton>(d, spin);
            for (const QChar p : presses)
                (p == '+' ? arrows->upArrow() : arrows->downArrow())->click();
            QCOMPARE(text(d, comm ? "PnlCT" : "PnlMT"), shown);
            click(d, button);
        });
        t.main->action("mnuTimeout")->trigger();
        QCOMPARE(value, shown.toDouble());
        QCOMPARE(t.state().ReadTimeout, shown.toDouble());
        QCOMPARE(comm ? t.state().MeasureTimeout : t.state().CommTimeout, comm ? 2.25 : 0.25);
        // The main window's tabs come back, except after OK with no instruments.
        QCOMPARE(!t.main->panel()->isHidden(), button == "cmdTimeoutCancel" || !idList.isEmpty());
    }

    void renumber_data() {
        QTest::addColumn<RenumberCase>("c");
        const QString refused = "Warning [!] There isn't enough numbers to renumber the instruments!...";
        QTest::newRow("three from 1") << RenumberCase{3, {"1"}, "**9900ID\r\n", "010203"};
        QTest::newRow("three from 96") << RenumberCase{3, {"96"}, "**9995ID\r\n", "969798"};
        QTest::newRow("three from 97") << RenumberCase{3, {"97"}, "", "010203", refused};
        QTest::newRow("two from 05") << RenumberCase{2, {"05"}, "**9904ID\r\n", "0506"};
        QTest::newRow("abc, 0, 120, 2.5, then 21")
            << RenumberCase{3, {"abc", "0", "120", "2.5", "21"}, "**9920ID\r\n", "212223"};
        QTest::newRow("abc, then cancelled") << RenumberCase{3, {"abc", ""}, "", "010203"};
        QTest::newRow("no discovery yet") << RenumberCase{0, {"1"}, "**9900ID\r\n", ""};
        // Reported once, not thrown into the event loop; no command label to show the command in.
        QTest::newRow("port lost") << RenumberCase{
            3, {"1"}, "", "010203", "Communication Error [!] sim does not exist.", true};
    }
    void renumber() {
        QFETCH(RenumberCase, c);
        const auto& [count, answers, line, idList, message, lost] = c;
        DiscoveryBench t;
        connectDemo(t);
        t.state().InstrumentCount = static_cast<qint16>(count);
        QLabel command("*0100PR");
        t.main->setMiddleMessage("old");
        for (const QString& a : answers)
            t.b.op.answers.enqueue(a);
        if (lost) t.b.loop->loseDevice();

        t.host().requestRenumbering(lost ? nullptr : &command);

        QCOMPARE(t.b.op.asked.size(), qMax<qsizetype>(answers.size(), 1));
        QCOMPARE(
            t.b.op.asked[0].prompt,
            "Enter the ID of the first instrument in the serial loop. Corvanel Interactive will "
            "automatically renumber the instruments sequentially beginning with the ID entered. The ID can "
            "be a number 1-98.");
        QCOMPARE(t.b.op.asked[0].title + " " + t.b.op.asked.last().defaultAnswer,
                 "Renumbering Instruments 01");
        QCOMPARE(t.state().IDList, idList);
        QCOMPARE(t.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(t.b.wire().writtenTexts(), (line.isEmpty() ? QStringList() : QStringList{"*", line}));
        QCOMPARE(t.main->middleMessage()->text(), line.isEmpty() ? "" : "Instrument IDs have been changed !");
        if (line.isEmpty()) return;
        QCOMPARE(command.text(), line.mid(1, 7));
        QCOMPARE(t.listItems(0).join(""), idList);
        QCOMPARE(t.lists[3]->currentIndex(), idList.isEmpty() ? -1 : 0);
        QVERIFY(!t.b.loop->attached());
    }
};

QTEST_MAIN(TestDiscoveryMenus)
#include "tst_discoverymenus.moc"
