// The parameter pages with the real option dialogs on the simulated loop: every kind of change
// reaches the instrument, shows on the page, survives the next Start and shows in the readings.
#include "PageBench.h"

#include <QDialog>
#include <QRadioButton>

using namespace cvi;
using namespace cvi::test;

namespace {
// Answers the next dialog by choosing an option (or pressing a toggle) and OK.
void answerWith(PageBench& b, const QString& control) {
    b.op.dialogs.enqueue([control](QDialog& d) {
        if (auto* option = d.findChild<QAbstractButton*>(control)) option->click();
        if (auto* ok = d.findChild<QAbstractButton*>("CmdOK")) ok->click();
        return int(QDialog::Accepted);
    });
}
double pressureOf(PageBench& b, const QString& id) {
    return b.inst(id).pressureReading(b.clock.now());
}
} // namespace

class TestIntegration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setEndProgramHook([] {}); }
    void optionDialogsChangeTheInstrument_data();
    void optionDialogsChangeTheInstrument();
    void unitsDialogOnTheRealPages();
    void baudLockAndBackgroundModeBroadcasts();
    void coefficientEditChangesReadings();
};

void TestIntegration::optionDialogsChangeTheInstrument_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("mnemonic");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("DD") << "lblDD" << "OptDD1" << "DD" << "1" << "Long";
    QTest::newRow("AR") << "lblAR" << "OptAR1" << "AR" << "1" << "High";
    QTest::newRow("DP") << "lblDP" << "OptDp2" << "DP" << "2" << "2";
    QTest::newRow("IC") << "lblIC" << "OptIC2" << "IC" << "2" << "Ground enable";
    QTest::newRow("IM") << "lblIM" << "OptIM2" << "IM" << "2" << "Paralel On";
    QTest::newRow("ZL") << "lblZL" << "OptZL1" << "ZL" << "1" << "Locked";
}

void TestIntegration::optionDialogsChangeTheInstrument() {
    QFETCH(QString, box);
    QFETCH(QString, option);
    QFETCH(QString, mnemonic);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    PageBench b;
    b.startConfiguration();
    answerWith(b, option);
    b.click(box);
    QCOMPARE(b.op.dialogsRun.size(), 1);
    QCOMPARE(b.inst("01").param(mnemonic), stored);
    QCOMPARE(b.text(box), shown);
    QVERIFY(b.lines().contains("**0100EW*0100" + mnemonic + "=" + stored + "\r\n"));
    QCOMPARE(b.text("lblCommand"), "*0100EW*0100" + mnemonic + "=" + stored);
    QVERIFY(b.log("txtResponseBox").contains("*0001" + mnemonic + "=" + stored));
    QVERIFY(b.op.messages.isEmpty());
    // Choosing the instrument again and Start read it back (IM 2 reads "On").
    emit b.w<QComboBox>("cboConfiguration")->activated(0);
    QVERIFY(b.enabled("cmdConfigurationStart"));
    QCOMPARE(b.text(box), QString());
    b.press("cmdConfigurationStart");
    QCOMPARE(b.text(box), mnemonic == "IM" ? QStringLiteral("On") : shown);
}

void TestIntegration::unitsDialogOnTheRealPages() {
    PageBench b;
    b.startCalibration();
    b.startConfiguration();
    const double psi = pressureOf(b, "01");
    answerWith(b, "OptUN2");
    b.click("lblUnit");
    QCOMPARE(b.inst("01").param("UN"), QStringLiteral("2"));
    QCOMPARE(b.text("lblUnit"), QStringLiteral("mbar or hPa"));
    QCOMPARE(b.text("lblPA"), b.inst("01").param("PA"));
    QCOMPARE(b.text("lblOverpressure"), b.inst("01").param("OP"));
    QVERIFY(qAbs(pressureOf(b, "01") / psi - 68.94757) < 0.01);
    // LL and LH hold values: the operator is reminded to enter them again.
    QCOMPARE(b.op.messageTexts(),
             QStringList{"For 16-bit output, re-enter LL and LH parameters in selected pressure units."});
    emit b.w<QComboBox>("cboConfiguration")->activated(0);
    b.press("cmdConfigurationStart");
    QCOMPARE(b.text("lblUnit"), QStringLiteral("mbar or hPa"));
}

void TestIntegration::baudLockAndBackgroundModeBroadcasts() {
    PageBench b;
    b.startConfiguration();
    answerWith(b, "OptBL1");
    b.click("lblBL");
    for (const QString id : {"01", "02", "03"}) QCOMPARE(b.inst(id).param("BL"), QStringLiteral("1"));
    QCOMPARE(b.text("lblBL"), QStringLiteral("Locked"));
    QCOMPARE(b.lines().count("**9900EW*9900BL=1\r\n") + b.lines().count("*9900EW*9900BL=1\r\n"), 1);
    QVERIFY(b.op.messages.isEmpty());

    // Continuous RS-232 on: the page sends the write and reads the answer back.
    answerWith(b, "cmdRS232");
    b.click("lblRS232");
    QCOMPARE(b.inst("01").param("MD"), QStringLiteral("2"));
    QCOMPARE(b.text("lblMD"), QStringLiteral("2"));
    QCOMPARE(b.text("lblRS232"), QStringLiteral("On"));
    QCOMPARE(b.text("lblDisplay"), QStringLiteral("Off"));
    QVERIFY(b.inst("01").streaming());
    answerWith(b, "cmdRS232");
    b.click("lblRS232");
    QCOMPARE(b.inst("01").param("MD"), QStringLiteral("0"));
    QCOMPARE(b.text("lblRS232"), QStringLiteral("Off"));
}

void TestIntegration::coefficientEditChangesReadings() {
    PageBench b;
    b.startCalibration();
    const double before = pressureOf(b, "01");
    b.op.answers.enqueue("0.5");
    b.click("lblPA");
    QCOMPARE(b.text("lblPA"), QStringLiteral("0.5"));
    QVERIFY(qAbs(pressureOf(b, "01") - before - 0.5) < 0.01);
    b.op.answers.enqueue("125");
    b.click("lblC1");
    QCOMPARE(b.inst("01").param("C1"), QStringLiteral("125"));
    QVERIFY(pressureOf(b, "01") > before + 1.0);
    emit b.w<QComboBox>("cboCalibration")->activated(0);
    QCOMPARE(b.text("lblC1"), QString()); // choosing the instrument clears the page
    b.press("cmdCalibrationStart");
    QCOMPARE(b.text("lblC1"), QStringLiteral("125"));
    QCOMPARE(b.text("PnlMiddleMessage"), QString());
}

QTEST_MAIN(TestIntegration)
#include "tst_integration.moc"
