// The program as it starts, on the real serial port, against cvi-sim serving a loop at 4800 baud
// with even parity: the Startup dialog finds the loop, OK fills the instrument lists, the
// Configuration page reads an instrument, Communication Setup moves the loop to 9600 baud without
// parity and the program keeps talking to it, down to single and continuous readings. Then each
// live window on the simulator's own loop (a pressure instrument, an "M" one and an Atmo 3), and
// the adapter pulled under the Terminal and a window and plugged back.
#include "LiveWindow.h"
#include "Program.h"
#include "ReadingLog.h"
#include "ScriptedOperator.h"
#include "SimProcess.h"
#include "TerminalPage.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <csignal>

using namespace cvi;

namespace {
QString textOf(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText();
    if (auto* t = qobject_cast<QTextEdit*>(w)) return t->toPlainText();
    return {};
}

// The program on cvi-sim's loop through the real serial port, started with the Startup dialog's
// detection and OK; what the dialog showed is kept.
struct Started {
    SimProcess sim;
    QTemporaryDir folder;
    QtRuntime runtime;
    test::ScriptedOperator op;
    CommandLine options;
    std::unique_ptr<Program> program;
    QString report, baud, parity;

    bool start(const QStringList& simOptions) {
        if (!sim.start(simOptions)) return false;
        options = CommandLine::parse({"--com", "1=" + sim.link, "--no-splash"});
        program = std::make_unique<Program>(options, runtime, op, folder.path());
        op.dialogs.enqueue([this](QDialog& dialog) {
            auto* detect = dialog.findChild<QAbstractButton*>("cmdStart");
            auto* ok = dialog.findChild<QAbstractButton*>("CmdOK");
            if (!detect || !ok) return int(QDialog::Rejected);
            detect->click(); // runs the whole detection on the real clock
            baud = textOf(dialog.findChild<QWidget*>("PnlBaudRate"));
            parity = textOf(dialog.findChild<QWidget*>("PnlParity"));
            report = textOf(dialog.findChild<QWidget*>("txtReport"));
            if (!ok->isEnabled()) return int(QDialog::Rejected);
            ok->click();
            return int(QDialog::Accepted);
        });
        return program->start(false);
    }
};
} // namespace

class TestDetect : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setEndProgramHook([] {});
    }

    void detectsEvenParityLoop() {
        Started s;
        QVERIFY(s.start({"--baud", "4800", "--parity", "E", "--ids", "01,02,03"}));
        auto& [sim, folder, runtime, op, options, started, report, baud, parity] = s;
        Program& program = *started;
        QCOMPARE(op.dialogsRun.value(0), "frmSystemCheck");
        QCOMPARE(baud, "4800");
        QCOMPARE(parity, "Even");
        QVERIFY2(report.contains("01") && report.contains("03") && report.contains("E"), qPrintable(report));
        QCOMPARE(program.state().IDList, "010203");
        const auto link = [&program] {
            return program.state().BaudRate() + "," + program.state().Parity() + "," +
                   program.state().DataBits();
        };
        QCOMPARE(link(), "4800,E,7");
        auto* list = program.main().findChild<QComboBox*>("cboConfiguration");
        QVERIFY(list);
        QCOMPARE(list->count(), 3);
        QVERIFY(program.main().action("mnuMeasure")->isEnabled());
        QVERIFY2(op.messages.isEmpty(), qPrintable(op.messageTexts().join(" | ")));

        auto* start = program.main().findChild<QPushButton*>("cmdConfigurationStart");
        auto* serial = program.main().findChild<QLabel*>("lblserialNum");
        QVERIFY(start && serial);
        start->click();
        QCOMPARE(serial->text(), "100001");

        // Communication Setup: 9600 baud, no parity, for the whole loop.
        op.dialogs.enqueue([&](QDialog& dialog) {
            dialog.findChild<QAbstractButton*>("Opt9600")->click();
            dialog.findChild<QAbstractButton*>("OptNoParity")->click();
            dialog.findChild<QAbstractButton*>("CmdOK")->click();
            return int(QDialog::Accepted);
        });
        program.main().action("mnuSettings")->trigger();
        QCOMPARE(link(), "9600,N,8");
        QVERIFY2(op.messages.isEmpty(), qPrintable(op.messageTexts().join(" | ")));
        list->setCurrentIndex(2);
        QVERIFY(start->isEnabled());
        start->click();
        QCOMPARE(serial->text(), "100003");
        QCOMPARE(program.main().findChild<QLabel*>("lblBaudRate")->text(), "9600");

        // The Sampling page on instrument 01: one P3, then P4 (its first line is not shown) until Stop.
        auto* w = &program.main();
        const auto click = [w](const char* name) { w->findChild<QAbstractButton*>(name)->click(); };
        w->findChild<QComboBox*>("cboSampling")->setCurrentIndex(0);
        click("cmdSamplingStart");
        click("OptP3");
        click("cmdSend");
        QVERIFY2(textOf(w->findChild<QWidget*>("lblValue")).startsWith("14."),
                 qPrintable(op.messageTexts().join('|')));
        click("OptP4");
        QTimer::singleShot(2600, w, [click] { click("cmdStop"); });
        click("cmdSend"); // returns once Stop has ended the reading
        const QStringList lines =
            textOf(w->findChild<QWidget*>("txtResponse")).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() >= 2 && lines.last().startsWith("*0001 14."), qPrintable(lines.join('|')));
        QVERIFY(!program.main().link().PortOpen() && op.messages.isEmpty());
    }

    void liveWindowsAndReplug() {
        Started s;
        QVERIFY(s.start({}));
        auto& [sim, folder, runtime, op, options, started, report, baud, parity] = s;
        Program& program = *started;
        QCOMPARE(program.state().IDList, "010203");
        // Menu item, ID, window, panels, and the milliseconds it runs (a pass of the Sensor window
        // reads four values, a second each).
        const char* windows[][5] = {
            {"mnuPressure", "01", "frmPressure", "PnlPressure", "4000"},
            {"mnuSensor", "02", "frmSensor", "PnlPressure|PnlTemperature|PnlPper|PnlTper", "10000"},
            {"mnuAtmo3", "03", "frmAtmo3Display", "PnlPressure|PnlTemperature|PnlHumidity", "8000"}};
        for (const auto& win : windows) {
            op.answers.enqueue(win[1]);
            op.saveAnswer = folder.filePath(QString(win[2]) + ".csv");
            QStringList seen;
            auto* w = &program.main();
            QTimer::singleShot(1000, w, [w, &win] { w->findChild<QPushButton*>("cmdRecord")->click(); });
            QTimer::singleShot(QString(win[4]).toInt(), w, [w, &win, &seen] {
                auto* window = w->findChild<LiveWindow*>(win[2]);
                for (const QString& panel : QString(win[3]).split('|'))
                    seen << window->findChild<QLabel*>(panel)->text();
                window->close(); // the frame's close button is Exit
            });
            program.main().action(win[0])->trigger();
            for (const QString& value : seen)
                QVERIFY2(live::shownNumber(value), qPrintable(seen.join('|')));
            QFile csv(op.saveAnswer);
            QVERIFY(csv.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
            QVERIFY2(lines.size() > 2 && lines.last().contains(QString(",%1,").arg(win[1])),
                     qPrintable(lines.join('|')));
            QVERIFY(!w->findChild<LiveWindow*>() && w->action("mnuFile")->isEnabled());
            // The instrument still answers the read the window stopped waiting for: the next window
            // opens once that reply has gone by, as an operator's would.
            QTest::qWait(1500);
        }
        QVERIFY2(op.messages.isEmpty(), qPrintable(op.messageTexts().join(" | ")));

        // The adapter pulled (cvi-sim's link and pseudo-terminal vanish) while the Terminal listens
        // and while a window reads, and put back at the same path: one message, the port released,
        // the menus back; the same action then works without a restart. (The pages meet a lost
        // device on the simulated loop.)
        auto* w = &program.main();
        auto* panel = w->findChild<QTabWidget*>("Panel");
        const auto click = [w](const char* button) { w->findChild<QPushButton*>(button)->click(); };
        QString shown; // what the action showed last
        const std::pair<const char*, std::function<void()>> actions[] = {
            {"Terminal",
             [&] {
                 w->findChild<QLineEdit*>("txtCmd")->setText("*0100SN");
                 QTimer::singleShot(100, w, [&] { click("Send"); });
                 QTimer::singleShot(1500, w, [&] {
                     const TerminalModel& rows = w->findChild<TerminalPage*>()->model();
                     shown = rows.row(rows.rowCount() - 1).second;
                     panel->setCurrentIndex(MainWindow::PageConfiguration);
                 });
                 panel->setCurrentIndex(MainWindow::PageTerminal);
                 QTest::qWait(2000);
             }},
            {"Pressure window", [&] {
                 op.answers.enqueue("01");
                 QTimer::singleShot(2500, w, [&] {
                     if (auto* window = w->findChild<LiveWindow*>())
                         shown = textOf(window->findChild<QLabel*>("PnlPressure")), window->close();
                 });
                 w->action("mnuPressure")->trigger();
             }}};
        const qint64 pid = sim.process.processId();
        for (const auto& [name, act] : actions) { // the adapter pulled 0.3 s into the action
            op.messages.clear();
            QTimer::singleShot(300, [pid] { ::kill(pid, SIGUSR1); });
            act();
            QTRY_VERIFY(!QFileInfo::exists(sim.link));
            QVERIFY2(op.messages.size() == 1 && !w->link().PortOpen() && w->action("mnuFile")->isEnabled(),
                     qPrintable(QString(name) + ": " + op.messageTexts().join(" | ")));
            QTest::qWait(2600); // what the action had scheduled goes by
            ::kill(pid, SIGUSR2);
            QTRY_VERIFY(QFileInfo(sim.link).isSymLink());
            shown.clear();
            act();
            QVERIFY2(op.messages.size() == 1 && !w->link().PortOpen() &&
                         (shown.startsWith("*0001SN=") || live::shownNumber(shown)),
                     qPrintable(QString(name) + ": " + shown + " " + op.messageTexts().join(" | ")));
        }
    }
};

QTEST_MAIN(TestDetect)
#include "tst_detect.moc"
