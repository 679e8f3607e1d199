// The Startup dialog on the real clock and the real serial port: a pseudo-terminal whose far end
// answers like a loop of one instrument.
#include "../link/PtyPair.h"
#include "Discovery.h"
#include "MainWindow.h"
#include "ScriptedOperator.h"
#include "SettingsFile.h"
#include "SystemCheck.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace cvi;
using cvi::test::ScriptedOperator;

namespace {
// The far end of the line: echoes the baud probe and answers the version broadcast, then sends
// the broadcast back as the last instrument of a loop would.
class OneInstrument : public QObject {
public:
    explicit OneInstrument(PtyPair& pty) : pty_(pty) {
        connect(&poll_, &QTimer::timeout, this, [this] { serve(); });
        poll_.start(2);
    }
    QByteArray heard;

private:
    void serve() {
        const QByteArray got = pty_.receive();
        if (got.isEmpty()) return;
        heard += got;
        pending_ += got;
        if (pending_.contains("**9900VR\r\n")) {
            pty_.send("*0001VR=5.10\r\n*9900VR\r\n");
            pending_.clear();
        } else if (pending_.endsWith("*00")) {
            pty_.send("*00");
            pending_.clear();
        }
    }
    PtyPair& pty_;
    QTimer poll_;
    QByteArray pending_;
};
} // namespace

class TestRealDetect : public QObject {
    Q_OBJECT
private slots:
    void detectsOnPseudoTerminal();
};

void TestRealDetect::detectsOnPseudoTerminal() {
    PtyPair pty;
    QVERIFY(!pty.slavePath.isEmpty());
    QTemporaryDir folder;
    QtRuntime runtime;
    ScriptedOperator op;
    AppState state;
    state.ProgramFolder = folder.path();
    PortFactory ports;
    ports.map.setDevice(1, pty.slavePath);
    MainWindow main(state, runtime, op, ports);
    OneInstrument far(pty);

    QString report;
    op.dialogs.enqueue([&](QDialog& d) {
        d.findChild<QAbstractButton*>("cmdStart")->click();
        report = d.findChild<QLabel*>("PnlBaudRate")->text();
        d.findChild<QAbstractButton*>("CmdOK")->click();
        return d.result();
    });
    QElapsedTimer elapsed;
    elapsed.start();
    showStartupDialog(main);

    QCOMPARE(report, QStringLiteral("19200"));
    QCOMPARE(state.BaudRate, QStringLiteral("19200"));
    QCOMPARE(state.Parity, QStringLiteral("N"));
    QCOMPARE(state.IDList, QStringLiteral("01"));
    QCOMPARE(state.InstrumentCount, qint16(1));
    QCOMPARE(state.StartupFlag, QStringLiteral("Yes"));
    QVERIFY(far.heard.startsWith("*9900VR*00**9900VR\r\n"));
    QVERIFY(op.messages.isEmpty());
    // The mode check listened for its two seconds of real time.
    QVERIFY(elapsed.elapsed() >= 2000);
    QFile ini(settings_file::path(folder.path()));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QCOMPARE(ini.readAll(), QByteArray("1\r\n"));
}

QTEST_MAIN(TestRealDetect)
#include "tst_realdetect.moc"
