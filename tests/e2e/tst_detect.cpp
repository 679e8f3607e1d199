// The program as it starts, on the real serial port, against cvi-sim serving a loop at 4800 baud
// with even parity: the Startup dialog finds the loop, OK fills the instrument lists, the
// Configuration page reads an instrument, Communication Setup moves the loop to 9600 baud without
// parity and the program keeps talking to it, down to single and continuous readings.
#include "Program.h"
#include "ScriptedOperator.h"
#include "SimProcess.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

using namespace cvi;

class TestDetect : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setEndProgramHook([] {});
    }
    void detectsEvenParityLoop();
};

namespace {
QString textOf(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText();
    if (auto* t = qobject_cast<QTextEdit*>(w)) return t->toPlainText();
    return {};
}
} // namespace

void TestDetect::detectsEvenParityLoop() {
    SimProcess sim;
    QVERIFY(sim.start({"--baud", "4800", "--parity", "E", "--ids", "01,02,03"}));
    QTemporaryDir folder;
    QtRuntime runtime;
    test::ScriptedOperator op;
    CommandLine options = CommandLine::parse({"--com", "1=" + sim.link, "--no-splash"});
    Program program(options, runtime, op, folder.path());

    QString report, baud, parity;
    op.dialogs.enqueue([&](QDialog& dialog) {
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
    QVERIFY(program.start(false));
    QCOMPARE(op.dialogsRun.value(0), QStringLiteral("frmSystemCheck"));
    QCOMPARE(baud, QStringLiteral("4800"));
    QCOMPARE(parity, QStringLiteral("Even"));
    QVERIFY2(report.contains("01") && report.contains("03") && report.contains("E"), qPrintable(report));
    QCOMPARE(program.state().IDList, QStringLiteral("010203"));
    QCOMPARE(program.state().BaudRate(), QStringLiteral("4800"));
    QCOMPARE(program.state().Parity(), QStringLiteral("E"));
    QCOMPARE(program.state().DataBits(), QStringLiteral("7"));
    auto* list = program.main().findChild<QComboBox*>("cboConfiguration");
    QVERIFY(list);
    QCOMPARE(list->count(), 3);
    QVERIFY(program.main().action("mnuMeasure")->isEnabled());
    QVERIFY2(op.messages.isEmpty(), qPrintable(op.messageTexts().join(" | ")));

    auto* start = program.main().findChild<QPushButton*>("cmdConfigurationStart");
    auto* serial = program.main().findChild<QLabel*>("lblserialNum");
    QVERIFY(start && serial);
    start->click();
    QCOMPARE(serial->text(), QStringLiteral("100001"));

    // Communication Setup: 9600 baud, no parity, for the whole loop.
    op.dialogs.enqueue([&](QDialog& dialog) {
        dialog.findChild<QAbstractButton*>("Opt9600")->click();
        dialog.findChild<QAbstractButton*>("OptNoParity")->click();
        dialog.findChild<QAbstractButton*>("CmdOK")->click();
        return int(QDialog::Accepted);
    });
    program.main().action("mnuSettings")->trigger();
    QCOMPARE(program.state().BaudRate(), QStringLiteral("9600"));
    QCOMPARE(program.state().Parity(), QStringLiteral("N"));
    QCOMPARE(program.state().DataBits(), QStringLiteral("8"));
    QVERIFY2(op.messages.isEmpty(), qPrintable(op.messageTexts().join(" | ")));
    list->setCurrentIndex(2);
    QVERIFY(start->isEnabled());
    start->click();
    QCOMPARE(serial->text(), QStringLiteral("100003"));
    QCOMPARE(program.main().findChild<QLabel*>("lblBaudRate")->text(), QStringLiteral("9600"));

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
    const QStringList lines = textOf(w->findChild<QWidget*>("txtResponse")).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() >= 2 && lines.last().startsWith("*0001 14."), qPrintable(lines.join('|')));
    QVERIFY(!program.main().link().PortOpen() && op.messages.isEmpty());
}

QTEST_MAIN(TestDetect)
#include "tst_detect.moc"
