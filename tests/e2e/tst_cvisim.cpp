// cvi-sim through the real QSerialPort on a pseudo-terminal: discovery's probe and broadcast at
// 8N1 see the parity bits, ordinary exchanges at the loop's settings read clean, writes need
// EW, and the line stays quiet while the port is closed.
#include "Link.h"
#include "RealSerialPort.h"
#include "ScriptedOperator.h"
#include "SimProcess.h"

#include <QTest>

using namespace cvi;

class TestCviSim : public QObject {
    Q_OBJECT
private slots:
    void evenParityLoopThroughTheRealPort();
    void quietWhileClosedAndWrongBaudIsNoise();
};

namespace {
struct Host {
    QtRuntime runtime;
    test::ScriptedOperator op;
    AppState state;
    PortMap map;
    std::unique_ptr<Link> link;
    explicit Host(const QString& device) {
        map.setDevice(1, device);
        state.PortName = "COM 1";
        link = std::make_unique<Link>(state, runtime, op, map, std::make_unique<RealSerialPort>());
    }
    // Everything that arrives within `seconds`.
    QString collect(double seconds) {
        const double end = runtime.now() + seconds;
        QString got;
        while (runtime.now() < end) {
            link->WaitForInput(end - runtime.now());
            got += link->InputAll();
        }
        return got;
    }
};
} // namespace

void TestCviSim::evenParityLoopThroughTheRealPort() {
    SimProcess sim;
    QVERIFY(sim.start({"--baud", "4800", "--parity", "E", "--ids", "01,02,03"}));
    Host h(sim.link);

    // The probe at 8N1: the echo carries the even parity bit of the star.
    h.link->OpenPortWith("COM 1", "4800,N,8,1");
    h.link->Output("*9900VR");
    h.link->ClosePort();
    QThread::msleep(300);
    h.link->OpenPortWith("COM 1", "4800,N,8,1");
    h.link->Output("*00");
    QCOMPARE(h.collect(0.6), QString::fromLatin1("\xAA" "00"));
    h.link->ClosePort();

    // The discovery broadcast at 8N1: three replies with parity bits, then the echo.
    h.link->OpenPortWith("COM 1", "4800,N,8,1");
    h.link->Output("**9900VR\r\n");
    const QString scan = h.collect(1.2);
    h.link->ClosePort();
    QCOMPARE(scan.count(QChar(0x8A)) + scan.count('\n'), 4);
    QCOMPARE(scan.mid(5, 2), QString::fromLatin1("V\xD2"));

    // At the loop's own settings: clean replies, and a write needs EW.
    h.state.BaudRate = "4800";
    h.state.Parity = "E";
    h.state.DataBits = "7";
    h.state.ReadTimeout = 2;
    auto ask = [&](const QString& line) {
        h.link->OpenPort();
        h.link->WakeUp();
        h.link->Output(line);
        const auto r = h.link->ReadInput();
        h.link->ClosePort();
        return r.value_or(QString());
    };
    QCOMPARE(ask("**0200SN\r\n"), QStringLiteral("*0002SN=100002\r\n"));
    QCOMPARE(ask("**0200EW*0200PR=300\r\n"), QStringLiteral("*0002PR=300\r\n"));
    QCOMPARE(ask("**0200TR\r\n"), QStringLiteral("*0002TR=1200\r\n"));
    QCOMPARE(ask("**0200PR=5\r\n"), QStringLiteral("*0002PR=300\r\n"));
    QVERIFY(h.op.messages.isEmpty());
}

void TestCviSim::quietWhileClosedAndWrongBaudIsNoise() {
    SimProcess sim;
    QVERIFY(sim.start({"--baud", "9600", "--ids", "01"}));
    Host h(sim.link);
    h.state.BaudRate = "9600";
    h.state.Parity = "N";
    h.state.DataBits = "8";
    h.link->OpenPort();
    h.link->Output("**0100P4\r\n"); // continuous readings
    QVERIFY(h.collect(2.0).contains("*0001 14.6"));
    h.link->ClosePort();
    QThread::msleep(1500); // readings go on while the port is closed, and are dropped
    h.link->OpenPort();
    QCOMPARE(h.link->InBufferCount(), 0);
    h.link->Output("*9900VR\r\n"); // any command stops the readings
    h.collect(0.5);
    QVERIFY(!h.collect(1.5).contains("*0001 14.6"));
    h.link->ClosePort();

    h.link->OpenPortWith("COM 1", "19200,N,8,1");
    h.link->Output("**0100SN\r\n");
    const QString noise = h.collect(0.5);
    h.link->ClosePort();
    QVERIFY(!noise.isEmpty());
    QVERIFY(!noise.contains('*'));
}

QTEST_GUILESS_MAIN(TestCviSim)
#include "tst_cvisim.moc"
