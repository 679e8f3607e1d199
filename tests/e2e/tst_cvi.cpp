// The cvi executable itself: its command line, and that it comes up on the simulated loop and
// on a missing device without falling over.
#include "Tables.h"

#include <QProcess>
#include <QTest>

class TestCvi : public QObject {
    Q_OBJECT
private slots:
    void commandLine_data() {
        cvi::test::columns<QStringList, int, QString>("args", "exitCode", "output");
        QTest::newRow("version") << QStringList{"--version"} << 0 << "Corvanel Interactive 1.2";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--com N=DEVICE";
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << "unknown option";
        QTest::newRow("bad slot") << QStringList{"--com", "7=/dev/ttyS0"} << 2 << "N from 1 to 4";
        QTest::newRow("missing device") << QStringList{"--com"} << 2 << "needs N=DEVICE";
    }

    void commandLine() {
        const auto [args, exitCode, output] =
            cvi::test::fetch<QStringList, int, QString>("args", "exitCode", "output");
        // No display anywhere (as over SSH on a bench PC): the command line must answer without one.
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "xcb");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(CVI_PATH), args);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), exitCode);
        const QString all = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
        QVERIFY2(all.contains(output), qPrintable(all));
    }

    void startsAndStaysUp_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("simulated loop") << QStringList{"--simulate", "--no-splash"};
        QTest::newRow("device that does not exist")
            << QStringList{"--com", "1=/tmp/cvi-none/COM1", "--no-splash"};
    }

    void startsAndStaysUp() {
        QFETCH(QStringList, args);
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral(CVI_PATH), args + QStringList{"-platform", "offscreen"});
        QVERIFY(p.waitForStarted(10000));
        QVERIFY2(!p.waitForFinished(3000), qPrintable(QString::fromLocal8Bit(p.readAll())));
        p.terminate();
        p.waitForFinished(5000);
        const QString all = QString::fromLocal8Bit(p.readAll());
        QVERIFY2(!all.contains("ERROR: AddressSanitizer") && !all.contains("runtime error"), qPrintable(all));
    }
};

QTEST_GUILESS_MAIN(TestCvi)
#include "tst_cvi.moc"
