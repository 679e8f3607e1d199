// The program as it starts, on the real serial port, against cvi-sim serving a loop at 4800 baud
// with even parity: the Startup dialog finds the loop and OK fills the instrument lists.
#include "Program.h"
#include "ScriptedOperator.h"
#include "SimProcess.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextEdit>

using namespace cvi;

class TestDetect : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setEndProgramHook([] {}); }
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
    QCOMPARE(program.state().BaudRate, QStringLiteral("4800"));
    QCOMPARE(program.state().Parity, QStringLiteral("E"));
    QCOMPARE(program.state().DataBits, QStringLiteral("7"));
    auto* list = program.main().findChild<QComboBox*>("cboConfiguration");
    QVERIFY(list);
    QCOMPARE(list->count(), 3);
    QVERIFY(program.main().action("mnuMeasure")->isEnabled());
    QVERIFY2(op.messages.isEmpty(), qPrintable(op.messageTexts().join(" | ")));
}

QTEST_MAIN(TestDetect)
#include "tst_detect.moc"
