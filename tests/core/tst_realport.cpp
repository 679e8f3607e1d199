// The real QSerialPort path on a pseudo-terminal: settings, exchange, and a vanished device.
#include "Link.h"
#include "PtyPair.h"
#include "RealSerialPort.h"
#include "ScriptedOperator.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace cvi;
using cvi::test::ScriptedOperator;

class TestRealPort : public QObject {
    Q_OBJECT
private slots:
    void exchangeOnPseudoTerminal();
    void vanishedDeviceIsReportedOnceWithoutSpinning();
    void missingDeviceIsUnavailable();
    void forbiddenDeviceSaysWhatToDo();
};

namespace {
struct RealBench {
    PtyPair pty;
    QtRuntime runtime;
    ScriptedOperator op;
    AppState state;
    PortMap map;
    RealSerialPort* port = nullptr;
    std::unique_ptr<Link> link;

    explicit RealBench(const char* parity = "E") {
        map.setDevice(1, pty.slavePath);
        state.PortName = "COM 1";
        state.BaudRate = "4800";
        state.Parity = parity;
        state.DataBits = QString(parity) == "N" ? "8" : "7";
        auto p = std::make_unique<RealSerialPort>();
        port = p.get();
        link = std::make_unique<Link>(state, runtime, op, map, std::move(p));
    }
};
} // namespace

void TestRealPort::exchangeOnPseudoTerminal() {
    RealBench b("E");
    QVERIFY(!b.pty.slavePath.isEmpty());
    b.link->OpenPort(); // parity and 7 data bits set before opening are accepted
    b.pty.dropOwnSlave();
    b.link->WakeUp();
    b.link->Output("**0100PR\r\n");
    QByteArray got;
    QTRY_COMPARE((got += b.pty.receive()), QByteArray("***0100PR\r\n"));

    b.state.ReadTimeout = 2.0;
    QTimer::singleShot(100, [&] { b.pty.send("noise*0001PR=238\r\n"); });
    const auto line = b.link->ReadInput();
    QCOMPARE(line.value_or("none"), QStringLiteral("*0001PR=238\r\n"));

    // Characters that arrive during a fixed delay are seen afterwards without the event loop.
    b.pty.send("*0001BL=0\r\n");
    b.link->Delay(0.2);
    QCOMPARE(b.link->InBufferCount(), 11);
    QCOMPARE(b.link->InputAll(), QStringLiteral("*0001BL=0\r\n"));

    // WaitForInput returns as soon as a character is there.
    QTimer::singleShot(0, [] {});
    b.pty.send("*");
    QElapsedTimer t;
    t.start();
    b.link->WaitForInput(2.0);
    QVERIFY(t.elapsed() < 1000);
    b.link->ClosePort();
    QVERIFY(!b.link->PortOpen());
    QVERIFY(b.op.messages.isEmpty());
}

void TestRealPort::vanishedDeviceIsReportedOnceWithoutSpinning() {
    RealBench b("N");
    b.link->OpenPort();
    b.pty.dropOwnSlave();
    int lostSignals = 0;
    connect(b.port, &SerialPort::deviceLost, this, [&] { ++lostSignals; });
    b.state.ReadTimeout = 8.0;
    QTimer::singleShot(300, [&] { b.pty.closeMaster(); });

    const double cpu0 = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    const auto line = b.link->ReadInput();
    const qint64 readMs = wall.elapsed();
    QVERIFY(!line.has_value());
    QVERIFY2(readMs < 3000, qPrintable(QString::number(readMs))); // ends at once, not after 8 s

    // Let the event loop run a while longer: the error storm must have stopped.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1000) b.runtime.pump(0.1);
    const double cpu = processCpuSeconds() - cpu0;
    QVERIFY2(cpu < 0.6, qPrintable(QStringLiteral("cpu %1 s over %2 ms").arg(cpu).arg(wall.elapsed())));

    QCOMPARE(lostSignals, 1);
    QCOMPARE(b.op.messages.size(), 1);
    QVERIFY(b.op.messages[0].text.contains(b.pty.slavePath));
    QVERIFY(!b.link->PortOpen());
    QVERIFY(!b.link->ReadInput().has_value());
    QCOMPARE(b.op.messages.size(), 1);
}

void TestRealPort::missingDeviceIsUnavailable() {
    RealBench b("N");
    b.map.setDevice(2, "/tmp/cvi-no-such-device");
    b.state.PortName = "COM 2";
    try {
        b.link->OpenPort();
        QFAIL("opening a missing device must fail");
    } catch (const PortError& e) {
        QCOMPARE(e.kind(), PortError::Kind::Unavailable);
        QCOMPARE(e.code(), 8010);
    }
    QVERIFY(!b.link->PortOpen());
}

void TestRealPort::forbiddenDeviceSaysWhatToDo() {
    if (geteuid() == 0) QSKIP("root may open any device");
    RealBench b("N");
    ::chmod(qPrintable(b.pty.slavePath), 0);
    try {
        b.link->OpenPort();
        QFAIL("opening a forbidden device must fail");
    } catch (const PortError& e) {
        QCOMPARE(e.kind(), PortError::Kind::PermissionDenied);
        QVERIFY(e.text().contains("dialout"));
    }
}

QTEST_GUILESS_MAIN(TestRealPort)
#include "tst_realport.moc"
