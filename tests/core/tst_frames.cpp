#include "Frames.h"
#include "LinkSettings.h"
#include "PortMap.h"
#include "Tables.h"

#include <QLocale>
#include <QTest>

using namespace cvi;

class TestFrames : public QObject {
    Q_OBJECT
private slots:
    void composition() {
        QCOMPARE(addressPrefixFor("07"), "*0700");
        QCOMPARE(pageLine(readCommand("*0700", "PR")), "**0700PR\r\n");
        QCOMPARE(pageLine(writeCommand("*0100", "PR", "238")), "**0100EW*0100PR=238\r\n");
        QCOMPARE(writeCommand("*0100", "C1", " 1.50 "), "*0100EW*0100C1= 1.50 "); // as typed
        QCOMPARE(broadcastWrite("BL", "1"), "*9900EW*9900BL=1");
        QCOMPARE(broadcastRead("VR"), "*9900VR");
    }

    void parameterValue() {
        QCOMPARE(ParameterValue("*0001PR=238\r\n"), "238");
        QCOMPARE(ParameterValue("*0001PR=\r\n"), QString());
        QCOMPARE(ParameterValue(""), QString());
        QCOMPARE(ParameterValue("*0001VR= V2.1 \r\n"), " V2.1 ");
        QCOMPARE(ParameterValue("*0001SN=123456"), "1234"); // without line end, still cut
    }

    void replyNumber_data() {
        test::columns<QString, QString, QString>("reply", "number", "cut");
        auto row = [](const char* name, const QString& reply, const QString& number, const QString& cut) {
            QTest::newRow(name) << reply << number << cut;
        };
        row("blank then number", "*0001 14.7362\r\n", "14.7362", " 14.7362");
        row("underscore", "*0001P3_12.5\r\n", "12.5", "12.5\r\n");
        row("anything before underscore", "xx_yy_12.5\r\n", "0", "yy_12.5\r\n");
        row("empty", "", "", "");
        row("negative", "*0001-0.5\r\n", "-0.5", "-0.5");
        row("text without number", "*0001abc\r\n", "0", "abc");
        row("stops at second point", "*000114.7.3\r\n", "14.7", "14.7.3");
        row("exponent", "*00011.5E3\r\n", "1500", "1.5E3");
        row("trailing zeros dropped", "*000114.7000\r\n", "14.7", "14.7000");
        row("short reply", "*00\r\n", "0", "");
        row("period reply", "*0001 28123.456\r\n", "28123.456", " 28123.456");
    }

    void replyNumber() {
        auto [reply, number, cut] = test::fetch<QString, QString, QString>("reply", "number", "cut");
        QCOMPARE(ReplyNumber(reply), number);
        QCOMPARE(reply, cut);
    }

    void numbers_data() {
        test::columns<QString, double, bool>("text", "leading", "numeric");
        QTest::newRow("integer") << "16383" << 16383.0 << true;
        QTest::newRow("blanks around") << "  12 " << 12.0 << true;
        QTest::newRow("text") << "abc" << 0.0 << false;
        QTest::newRow("number then text") << "12abc" << 12.0 << false;
        QTest::newRow("decimal") << "0.79" << 0.79 << true;
        QTest::newRow("bare point") << "." << 0.0 << false;
        QTest::newRow("sign only") << "-" << 0.0 << false;
        QTest::newRow("leading point") << ".5" << 0.5 << true;
        QTest::newRow("empty") << "" << 0.0 << false;
        QTest::newRow("huge exponent is not infinity") << "1e99999" << 0.0 << false;
    }

    void numbers() {
        const auto [text, leading, numeric] =
            test::fetch<QString, double, bool>("text", "leading", "numeric");
        QCOMPARE(leadingNumber(text), leading);
        QCOMPARE(isNumeric(text), numeric);
    }

    void numberTextsFollowLocale() {
        QCOMPARE(fixedText(0.356), "0.36");
        QCOMPARE(fixedText(0), "0.00");
        QCOMPARE(fixedText(-0.001), "0.00");
        QCOMPARE(fixedText(4.5), "4.50");
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QString reply = QStringLiteral("*0001 14.7362\r\n");
        const QString number = ReplyNumber(reply);
        const QString fixed = fixedText(1234.5);
        QLocale::setDefault(before);
        QCOMPARE(number, "14,7362");
        QCOMPARE(fixed, "1234,50");
    }

    void settingsAndPorts() {
        // The loop's frame: 7 data bits with parity, 8 without; nothing shown before detection.
        QCOMPARE(LinkSettings::of("COM 2", 4800, 'O').settingsText(), "4800,O,7,1");
        QCOMPARE(LinkSettings::of("COM 2", 19200, 'N').settingsText(), "19200,N,8,1");
        const LinkSettings none;
        QCOMPARE(none.baudText() + none.parityText() + none.dataBitsText(), QString());

        const QList<QPair<QString, int>> names{
            {"COM 1", 1}, {"COM 3", 3}, {"COM 12", 12}, {"COM", 0}, {"", 0}};
        for (const auto& [name, slot] : names)
            QCOMPARE(PortMap::slotOf(name), slot);
        QProcessEnvironment env;
        env.insert("CVI_COM2", "/tmp/cvi/COM2");
        PortMap map = PortMap::fromEnvironment(env);
        QCOMPARE(map.device(1), "/dev/ttyS0");
        QCOMPARE(map.device(2), "/tmp/cvi/COM2");
        QVERIFY(map.applyOverride("2=/dev/ttyUSB0"));
        QCOMPARE(map.device(2), "/dev/ttyUSB0");
        QVERIFY(!map.applyOverride("5=/dev/x"));
        QVERIFY(!map.applyOverride("1="));
        QCOMPARE(map.device(5), QString());
    }
};

QTEST_APPLESS_MAIN(TestFrames)
#include "tst_frames.moc"
