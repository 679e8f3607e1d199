// cvi-sim through the real QSerialPort on a pseudo-terminal: continuous readings arrive, what the
// loop sends while the port is closed is dropped, a program at the wrong rate hears noise, and an
// adapter pulled mid-exchange and plugged back.
// (Detection and the pages against cvi-sim are the program's own end-to-end test.)
#include "Link.h"
#include "RealSerialPort.h"
#include "SimProcess.h"
#include "Tables.h"

#include <QTest>

#include <csignal>

using namespace cvi;

namespace {
struct Host {
    QtRuntime runtime;
    PortMap map;
    std::unique_ptr<Link> link;
    explicit Host(const QString& device) {
        map.setDevice(1, device);
        link = std::make_unique<Link>(runtime, map, std::make_unique<RealSerialPort>());
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

class TestCviSim : public QObject {
    Q_OBJECT
private slots:
    void quietWhileClosedAndWrongBaudIsNoise() {
        SimProcess sim;
        QVERIFY(sim.start({"--baud", "9600", "--ids", "01"}));
        Host h(sim.link);
        const LinkSettings loop = LinkSettings::of("COM 1", 9600, 'N');
        h.link->OpenPort(loop);
        h.link->Output("**0100P4\r\n"); // continuous readings
        QVERIFY(h.collect(2.0).contains("*0001 14.6"));
        h.link->ClosePort();
        QThread::msleep(1500); // readings go on while the port is closed, and are dropped
        h.link->OpenPort(loop);
        QCOMPARE(h.link->InBufferCount(), 0);
        h.link->Output("*9900VR\r\n"); // any command stops the readings
        h.collect(0.5);
        QVERIFY(!h.collect(1.5).contains("*0001 14.6"));
        h.link->ClosePort();

        h.link->OpenPort(LinkSettings::of("COM 1", 19200, 'N'));
        h.link->Output("**0100SN\r\n");
        const QString noise = h.collect(0.5);
        h.link->ClosePort();
        QVERIFY(!noise.isEmpty());
        QVERIFY(!noise.contains('*'));

        // The adapter vanishes mid-exchange, link and all: the reader says the device was lost; once
        // the adapter is back behind the same link the next open works, no restart.
        h.link->OpenPort(loop);
        h.link->Output("**0100P4\r\n");
        QVERIFY(h.collect(2.0).contains("*0001 14.6"));
        ::kill(sim.process.processId(), SIGUSR1);
        QTRY_VERIFY(!QFileInfo::exists(sim.link));
        const auto e = test::thrown<PortError>(
            [&] { h.collect(1.0), h.link->Output("*0100SN\r\n"), h.link->ReadInput(1.0); });
        QVERIFY2(e && e->kind() == PortError::Kind::DeviceLost, "the pulled adapter went unnoticed");
        h.link->ClosePort();
        ::kill(sim.process.processId(), SIGUSR2);
        QTRY_VERIFY(QFileInfo(sim.link).isSymLink());
        h.link->OpenPort(loop);
        h.link->Output("*9900VR\r\n*0100SN\r\n");
        QVERIFY(h.collect(1.0).contains("*0001SN="));
    }
};

QTEST_GUILESS_MAIN(TestCviSim)
#include "tst_cvisim.moc"
