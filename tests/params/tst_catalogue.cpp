// The parameter table the pages and dialogs take their words from: composed prompts, the texts
// each member carries with its own mnemonic, the display mappings and the boxes.
#include "Catalogue.h"

#include <QTest>

using namespace cvi;
using namespace cvi::catalogue;

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    void prompts_data();
    void prompts();
    void shown_data();
    void shown();
    void members_data();
    void members();
    void boxes();
};

void TestCatalogue::prompts_data() {
    QTest::addColumn<QString>("mnemonic");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("success");
    QTest::newRow("LH pieces keep their blanks") << "LH"
                                                 << "Enter the upper limit scaling value for the 16-bit "
                                                    "output in the current pressure units.  If the pressure "
                                                    "units are changed, LH must be re-entered in the new "
                                                    "pressure units.  LH defines the upper pressure limit "
                                                    "to be set to binary output 65535."
                                                 << "16-Bit Upper Limit Parameter"
                                                 << "Upper limit has been changed.";
    QTest::newRow("OP piece opening with a blank")
        << "OP"
        << "Enter the overpressure warning limit.  For instruments supporting this feature, an overpressure "
           "warning "
           "is triggered when a pressure reading exceeds the OP value. Model 410/420: Enter new value in psi."
        << "Overpressure Warning Limit"
        << "Overpressure limit has been changed.";
    QTest::newRow("ZV")
        << "ZV"
        << "Enter the new ZV value.  ZV is subtracted from subsequent pressure readings when tare is "
           "activated.  ZV is stored in RAM and it is lost if power is turned off. Model 410/420: Set "
           "ZV in psi."
        << "Zero Value Parameter"
        << "Zero value has been changed";
    QTest::newRow("PA")
        << "PA"
        << "Enter the new PA value in the current pressure units defined by UN.  The PA is subsequently "
           "added to the measurement. Changing this value may cause incorrect pressure readings."
        << "Pressure Adder"
        << "PA coefficient has been changed.";
    QTest::newRow("T4 in the C1 pattern") << "T4"
                                          << "Enter the T4 Calibration Coefficient. Caution! Changing this "
                                             "value may cause incorrect pressure readings."
                                          << "T4 Calibration Coefficient"
                                          << "T4 coefficient has been changed.";
    QTest::newRow("Y3 in the Y1 pattern") << "Y3"
                                          << "Enter the Y3 Calibration Coefficient. Caution! Changing this "
                                             "value may cause incorrect temperature "
                                             "readings."
                                          << "Y3 Calibration Coefficient"
                                          << "Y3 coefficient has been changed.";
    QTest::newRow("M2 in the E1 pattern, two blanks")
        << "M2"
        << "Enter the M2 Calibration Coefficient.  Caution! Changing this value may cause incorrect readings."
        << "M2 Calibration Coefficient"
        << "M2 coefficient has been changed.";
}

void TestCatalogue::prompts() {
    QFETCH(QString, mnemonic);
    QFETCH(QString, prompt);
    QFETCH(QString, title);
    QFETCH(QString, success);
    const Parameter* p = find(mnemonic);
    QVERIFY(p);
    QCOMPARE(p->prompt(), prompt);
    QCOMPARE(p->promptTitle, title);
    QCOMPARE(p->success, success);
}

void TestCatalogue::shown_data() {
    QTest::addColumn<QString>("mnemonic");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("afterRead"); // "<none>": the code is unknown
    QTest::addColumn<QString>("afterWrite");
    QTest::newRow("IM 2") << "IM"
                          << "2"
                          << "On"
                          << "Paralel On";
    QTest::newRow("IM 1") << "IM"
                          << "1"
                          << "On"
                          << "On";
    QTest::newRow("UN 8") << "UN"
                          << "8"
                          << "m H20"
                          << "m H2O";
    QTest::newRow("UN 0") << "UN"
                          << "0"
                          << "User defined"
                          << "User Defined";
    QTest::newRow("UN 9") << "UN"
                          << "9"
                          << "<none>"
                          << "<none>";
    QTest::newRow("BL 7 still locked") << "BL"
                                       << "7"
                                       << "Locked"
                                       << "Locked";
    QTest::newRow("DD 0") << "DD"
                          << "0"
                          << "Short"
                          << "Short";
    QTest::newRow("IC 3") << "IC"
                          << "3"
                          << "<none>"
                          << "<none>";
    QTest::newRow("ZS 1") << "ZS"
                          << "1"
                          << "Requested"
                          << "Requested";
    QTest::newRow("DP as read") << "DP"
                                << "5"
                                << "5"
                                << "5";
    QTest::newRow("coefficient as read") << "C1"
                                         << "1.5E-3"
                                         << "1.5E-3"
                                         << "1.5E-3";
}

void TestCatalogue::shown() {
    QFETCH(QString, mnemonic);
    QFETCH(QString, value);
    QFETCH(QString, afterRead);
    QFETCH(QString, afterWrite);
    const Parameter* p = find(mnemonic);
    QCOMPARE(p->show(value).value_or("<none>"), afterRead);
    QCOMPARE(p->showWritten(value).value_or("<none>"), afterWrite);
}

void TestCatalogue::members_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("wait");
    QTest::addColumn<bool>("defaultIsCurrent");
    QTest::addColumn<int>("page");
    QTest::newRow("lblD2") << "lblD2"
                           << "Please wait ..." << true << int(Page::Calibration);
    QTest::newRow("lblT5") << "lblT5"
                           << "Please wait..." << true << int(Page::Calibration);
    QTest::newRow("lblK1") << "lblK1"
                           << "" << true << int(Page::Atmo3);
    QTest::newRow("lblZ1") << "lblZ1"
                           << "Please wait..." << true << int(Page::Atmo3);
    QTest::newRow("lblZ2") << "lblZ2"
                           << "Please wait ..." << true << int(Page::Atmo3);
    QTest::newRow("lblLH") << "lblLH"
                           << "" << false << int(Page::Configuration);
    QTest::newRow("lblUF") << "lblUF"
                           << "" << false << int(Page::Configuration);
    QTest::newRow("lblLL") << "lblLL"
                           << "" << true << int(Page::Configuration);
}

void TestCatalogue::members() {
    QFETCH(QString, box);
    QFETCH(QString, wait);
    QFETCH(bool, defaultIsCurrent);
    QFETCH(int, page);
    const Parameter* p = forBox(box);
    QVERIFY(p);
    QCOMPARE(p->waitText, wait);
    QCOMPARE(p->defaultIsCurrent, defaultIsCurrent);
    QCOMPARE(int(p->page), page);
    QCOMPARE(p->edit, Edit::Prompt);
}

void TestCatalogue::boxes() {
    // MD is edited from its two mode boxes; its number box is read-only.
    QCOMPARE(forBox("lblDisplay")->mnemonic, QStringLiteral("MD"));
    QCOMPARE(forBox("lblRS232")->dialog, QStringLiteral("frmMD"));
    QVERIFY(!forBox("lblMD")->editBoxes.contains("lblMD"));
    QCOMPARE(forBox("lblUnit")->dialog, QStringLiteral("frmUnits"));
    QCOMPARE(forBox("lblOverpressure")->mnemonic, QStringLiteral("OP"));
    for (const char* readOnly : {"lblTC", "lblserialNum", "lblSoftwareVersion", "lblBaudRate"})
        QVERIFY2(!forBox(readOnly)->editable(), readOnly);
    QVERIFY(!forBox("lblIntegrationTime"));
    QVERIFY(!find("XX"));
    // Every coefficient the pages read has its box, and only H1 has a check beyond non-empty.
    for (const QString& m : calibrationOrder() + atmo3Order()) {
        const Parameter* p = find(m);
        QVERIFY2(p, qPrintable(m));
        QCOMPARE(p->box, "lbl" + m);
        QCOMPARE(p->check, m == "H1" ? Check::Humidity : m == "TC" ? Check::None : Check::NonEmpty);
    }
    QCOMPARE(onPage(Page::Atmo3).size(), 14);
    QCOMPARE(onPage(Page::Calibration).size(), 17);
}

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
