// The simulated loop as the other tests rely on it: addressing, enable-write, pass-through, the
// instrument models, the fault switches, line settings and the line lost while closed. Timing and
// readings are checked end to end with the transactions.
#include "CoreBench.h"
#include "RealScheduler.h"
#include "Tables.h"

#include <QTest>
#include <QThread>

using namespace cvi;
using cvi::test::CoreBench;

namespace {
PortSettings settings(int baud, char parity, int dataBits) {
    return {.device = "sim", .baudRate = baud, .parity = parity, .dataBits = dataBits};
}

// Everything arriving within `seconds` after writing `bytes` on a raw port.
QByteArray collect(CoreBench& b, SerialPort& port, const QByteArray& bytes, double seconds) {
    port.write(bytes);
    const double end = b.clock.now() + seconds;
    QByteArray got;
    while (b.clock.now() < end) {
        port.waitForInput(end - b.clock.now());
        got += port.read(port.bytesWaiting());
    }
    return got;
}
} // namespace

class TestLoop : public QObject {
    Q_OBJECT
private slots:
    void answers_data() {
        // Each line goes out as a page writes it (open, wake-up star, the line, close); what came
        // back within the time given is one entry. Loops are given as cvi-sim's JSON; empty: the demo.
        test::columns<QByteArray, QStringList, double, QStringList>("json", "lines", "seconds", "replies");
        auto row = [](const char* name, const QByteArray& json, const QStringList& lines, double seconds,
                      const QStringList& replies) {
            QTest::newRow(name) << json << lines << seconds << replies;
        };
        row("addressing", "", {"*0100PR", "*0300SN", "*0700PR"}, 0.5,
            {"*0001PR=238\r\n", "*0003SN=300417\r\n", "*0700PR\r\n"});
        row("writes need enable-write", "",
            {"*0100PR=500", "*0100EW*0200PR=500", "*0100EW*0100PR=16384", "*0100EW*0100SN=1",
             "*0100EW*0100PR=300", "*0100TR"},
            0.5,
            {"*0001PR=238\r\n", "*0001PR=238\r\n", "*0001PR=238\r\n", "*0001SN=104512\r\n", "*0001PR=300\r\n",
             "*0001TR=1200\r\n"});
        row("model M without display, Atmo 3 with H1", "", {"*0200DD", "*0200OP", "*0100DD", "*0300H1"}, 0.5,
            {"", "", "*0001DD=0\r\n", "*0003H1=RHT-2\r\n"});
        row("silent still passes on", R"({"instruments": [{"faults": {"silent": true}}, {}]})",
            {"*0100SN", "*0200SN", "*9900SN"}, 0.5,
            {"", "*0002SN=100002\r\n", "*0002SN=100002\r\n*9900SN\r\n"});
        row("slow, given up", R"({"instruments": [{"faults": {"slowSeconds": 1.5}}]})", {"*0100SN"}, 1.0,
            {""});
        row("slow, waited for", R"({"instruments": [{"faults": {"slowSeconds": 1.5}}]})", {"*0100SN"}, 2.0,
            {"*0001SN=100001\r\n"});
        row("missing CR", R"({"instruments": [{"faults": {"missingCR": true}}]})", {"*0100SN"}, 0.5,
            {"*0001SN=100001\n"});
        row("broken loop, wrong mnemonic",
            R"({"broken": true, "instruments": [{}, {"faults": {"wrongMnemonic": true}}, {}]})", {"*9900BL"},
            1.0, {"*0001BL=0\r\n*0002XX=0\r\n*0003BL=0\r\n"});
        row("refused write", R"({"instruments": [{}, {"faults": {"refusedWrites": ["BL"]}}]})",
            {"*9900EW*9900BL=1", "*0200EW*0200DD=1"}, 1.0,
            {"*0001BL=1\r\n*0002BL=0\r\n*9900EW*9900BL=1\r\n", "*0002DD=1\r\n"});
    }

    void answers() {
        const auto [json, lines, seconds, replies] =
            test::fetch<QByteArray, QStringList, double, QStringList>("json", "lines", "seconds", "replies");
        sim::LoopConfig config = sim::LoopConfig::demo();
        QString error;
        QVERIFY2(json.isEmpty() || sim::LoopConfig::fromJson(json, config, &error), qPrintable(error));
        CoreBench b(config);
        sim::SimPort port(*b.loop);
        QStringList got;
        for (const QString& line : lines) {
            port.open(settings(9600, 'N', 8));
            port.write("*");
            b.idle(0.01);
            got << QString::fromLatin1(collect(b, port, "*" + line.toLatin1() + "\r\n", seconds));
            port.close();
        }
        QCOMPARE(got, replies);
    }

    void lineSettings_data() {
        // An 8-bit listener on a 7-bit loop sees each character's parity bit in bit 7.
        test::columns<char, QByteArray, QByteArray>("parity", "probeEcho", "mnemonic");
        QTest::newRow("no parity") << 'N' << QByteArray("*00") << QByteArray("VR");
        QTest::newRow("even") << 'E' << QByteArray("\xAA\x30\x30") << QByteArray("V\xD2");
        QTest::newRow("odd") << 'O' << QByteArray("*\xB0\xB0") << QByteArray("\xD6R");
    }

    void lineSettings() {
        const auto [parity, probeEcho, mnemonic] =
            test::fetch<char, QByteArray, QByteArray>("parity", "probeEcho", "mnemonic");
        CoreBench b(sim::LoopConfig::numbered(2, 4800, parity));
        sim::SimPort port(*b.loop);
        port.open(settings(4800, 'N', 8));
        port.write("*9900VR"); // an unfinished broadcast, restarted by the next star
        QCOMPARE(collect(b, port, "*00", 0.5), probeEcho);
        const QByteArray scan = collect(b, port, "**9900VR\r\n", 1.0);
        QCOMPARE(scan.mid(5, 2), mnemonic);
        QCOMPARE(scan.count('\n') + scan.count('\x8A'), 3); // two replies and the echo
        port.close();
        port.open(settings(4800, parity, parity == 'N' ? 8 : 7)); // at the loop's own settings: clean
        QCOMPARE(collect(b, port, "**0200SN\r\n", 0.5), QByteArray("*0002SN=100002\r\n"));
        port.write("**0100SN\r\n");
        port.close();
        // At another baud rate: noise, of the reply on its way and of what the instruments heard.
        port.open(settings(19200, 'N', 8));
        const QByteArray noise = collect(b, port, "**0100SN\r\n", 1.0);
        QVERIFY(!noise.isEmpty() && !noise.contains('*') && !noise.contains('\n'));
        QCOMPARE(b.inst("01").linesHandled(), 2);
    }

    void streamingFromStart() {
        sim::LoopConfig c = sim::LoopConfig::numbered(2);
        c.instruments[1].streamingFromStart = true;
        CoreBench b(c);
        sim::SimPort port(*b.loop);
        port.open(settings(9600, 'N', 8));
        const QByteArray got = collect(b, port, "", 3.0);
        QVERIFY2(got.startsWith("*0002 14.6") && got.count("*0002 14.6") >= 2, got.constData());
    }

    void closedOutputIsLostOnTheRealClock() {
        // The program's embedded loop: a reply that comes while the port is closed and the event loop
        // does not run (a fixed delay) must not reach the next open.
        sim::RealScheduler scheduler;
        sim::Loop loop(scheduler, sim::LoopConfig::numbered(2));
        sim::SimPort port(loop);
        port.open(settings(9600, 'N', 8));
        port.write("**0200SN\r\n");
        port.close();
        QThread::usleep(100000);
        port.open(settings(9600, 'N', 8));
        QCOMPARE(port.bytesWaiting(), 0);
        port.write("**0100SN\r\n");
        QVERIFY(port.waitForInput(1.0, 15));
        QCOMPARE(port.read(100), QByteArray("*0001SN=100001\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestLoop)
#include "tst_loop.moc"
