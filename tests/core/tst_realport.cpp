// The real QSerialPort path on a pseudo-terminal: settings, exchange, and a vanished device.
#include "Link.h"
#include "PtyPair.h"
#include "RealSerialPort.h"
#include "Tables.h"

#include <QSerialPort>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace cvi;

namespace {
struct RealBench {
    PtyPair pty;
    QtRuntime runtime;
    LinkSettings settings;
    PortMap map;
    RealSerialPort* port;
    std::unique_ptr<Link> link;

    explicit RealBench(char parity, RealSerialPort* p = new RealSerialPort)
        : settings(LinkSettings::of("COM 1", 4800, parity)), port(p),
          link(std::make_unique<Link>(runtime, map, std::unique_ptr<RealSerialPort>(p))) {
        map.setDevice(1, pty.slavePath);
    }
};

// Notes what close() leaves for the drain: the port must still be open and Qt's own write buffer
// already handed to the driver, or the queued bytes would leave at the old line settings.
class DrainWatcher : public RealSerialPort {
public:
    QList<std::pair<bool, qint64>> drains; // open, and bytes Qt still holds

protected:
    void drainOutput() override {
        drains.append({isOpen(), bytesToWrite()});
        RealSerialPort::drainOutput();
    }
};
} // namespace

class TestRealPort : public QObject {
    Q_OBJECT
private slots:
    void exchangeOnPseudoTerminal() {
        RealBench b('E');
        QVERIFY(!b.pty.slavePath.isEmpty());
        b.link->OpenPort(b.settings); // parity and 7 data bits set before opening are accepted
        b.pty.dropOwnSlave();
        b.link->WakeUp();
        b.link->Output("**0100PR\r\n");
        QByteArray got;
        QTRY_COMPARE((got += b.pty.receive()), QByteArray("***0100PR\r\n"));

        QTimer::singleShot(100, [&] { b.pty.send("noise*0001PR=238\r\n"); });
        const auto line = b.link->ReadInput(2.0);
        QCOMPARE(line.value_or("none"), "*0001PR=238\r\n");

        // Characters that arrive during a fixed delay are seen afterwards without the event loop.
        b.pty.send("*0001BL=0\r\n");
        b.link->Delay(0.2);
        QCOMPARE(b.link->InBufferCount(), 11);
        QCOMPARE(b.link->InputAll(), "*0001BL=0\r\n");

        // WaitForInput returns as soon as a character is there.
        QTimer::singleShot(0, [] {});
        b.pty.send("*");
        QElapsedTimer t;
        t.start();
        b.link->WaitForInput(2.0);
        QVERIFY(t.elapsed() < 1000);
        b.link->ClosePort();
        QVERIFY(!b.link->PortOpen());
    }

    void vanishedDeviceIsReportedOnceWithoutSpinning() {
        RealBench b('N');
        b.link->OpenPort(b.settings);
        b.pty.dropOwnSlave();
        int lostSignals = 0;
        connect(b.port, &SerialPort::deviceLost, this, [&] { ++lostSignals; });
        QTimer::singleShot(300, [&] { b.pty.closeMaster(); });

        const double cpu0 = processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        const auto e = test::thrown<PortError>([&] { b.link->ReadInput(8.0); });
        QVERIFY2(e && e->kind() == PortError::Kind::DeviceLost, "a vanished device must end the read");
        QVERIFY(e->text().contains(b.pty.slavePath));
        const qint64 readMs = wall.elapsed();
        QVERIFY2(readMs < 3000, qPrintable(QString::number(readMs))); // ends at once, not after 8 s

        // Let the event loop run a while longer: the error storm must have stopped.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 1000)
            b.runtime.pump(0.1);
        const double cpu = processCpuSeconds() - cpu0;
        QVERIFY2(cpu < 0.6, qPrintable(QStringLiteral("cpu %1 s over %2 ms").arg(cpu).arg(wall.elapsed())));

        QCOMPARE(lostSignals, 1);
        QVERIFY(!b.link->PortOpen());
        QVERIFY_THROWS_EXCEPTION(PortError, b.link->ReadInput(1.0));
        QCOMPARE(lostSignals, 1);
    }

    void refusedOpenSaysWhy() {
        RealBench b('N');
        b.map.setDevice(2, "/tmp/cvi-no-such-device");
        const auto missing =
            test::thrown<PortError>([&] { b.link->OpenPort(LinkSettings::of("COM 2", 4800, 'N')); });
        QVERIFY2(missing && missing->kind() == PortError::Kind::Unavailable, "a missing device opened");
        QCOMPARE(missing->code(), 8010);
        QVERIFY(!b.link->PortOpen());
        // A port held by another program is in use, not forbidden; one held by another window of
        // this program is named as such.
        QSerialPort elsewhere(b.pty.slavePath);
        QVERIFY(elsewhere.open(QIODevice::ReadWrite));
        Link other(b.runtime, b.map, std::make_unique<RealSerialPort>());
        for (Link* link : {b.link.get(), &other}) {
            const auto held = test::thrown<PortError>([&] { link->OpenPort(b.settings); });
            QVERIFY2(held, "a port open elsewhere must not open again");
            QCOMPARE(held->text(), link == &other
                                       ? Link::heldText(b.pty.slavePath, {})
                                       : b.pty.slavePath + " is in use by another program. Close the "
                                                           "port there, then retry.");
            if (link == b.link.get()) {
                elsewhere.close();
                b.link->OpenPort(b.settings);
            }
        }
        b.link->ClosePort();
        if (geteuid() == 0) QSKIP("root may open any device");
        ::chmod(qPrintable(b.pty.slavePath), 0);
        const auto forbidden = test::thrown<PortError>([&] { b.link->OpenPort(b.settings); });
        QVERIFY2(forbidden && forbidden->kind() == PortError::Kind::PermissionDenied,
                 "a forbidden device opened");
        QVERIFY(forbidden->text().contains("dialout"));
    }

    void closeDrainsWhileStillOpen() {
        auto* watcher = new DrainWatcher;
        RealBench b('N', watcher);
        b.link->OpenPort(b.settings);
        b.pty.dropOwnSlave();
        const QByteArray block = QByteArray(600, 'x') + "\r\n";
        b.link->Output(QString::fromLatin1(block));
        b.link->ClosePort();
        b.link->ClosePort(); // a closed port has nothing to drain
        QCOMPARE(watcher->drains, (QList<std::pair<bool, qint64>>{{true, 0}}));
        QVERIFY(!b.link->PortOpen());
        QByteArray got;
        QTRY_COMPARE((got += b.pty.receive()), block);
    }
};

QTEST_GUILESS_MAIN(TestRealPort)
#include "tst_realport.moc"
