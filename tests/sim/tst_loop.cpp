// The simulated loop as the windows rely on it: addressing, enable-write, pass-through, line
// settings, sampling, readings and the fault switches. The exchanges built on it are tested with
// the transactions.
#include "CoreBench.h"
#include "Frames.h"
#include "RealScheduler.h"

#include <QThread>

#include <QTest>

using namespace cvi;
using cvi::test::CoreBench;

namespace {
// One transaction as the pages make it: open, wake-up star, the line, one reply.
QString ask(CoreBench& b, Link& link, const QString& line) {
    link.OpenPort(b.state.Link);
    link.WakeUp();
    link.Output(line);
    const auto reply = link.ReadInput(b.state.ReadTimeout);
    link.ClosePort();
    return reply.value_or(QString());
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

PortSettings settings(int baud, char parity, int dataBits) {
    PortSettings s;
    s.device = "sim";
    s.baudRate = baud;
    s.parity = parity;
    s.dataBits = dataBits;
    return s;
}
} // namespace

class TestLoop : public QObject {
    Q_OBJECT
private slots:
    void addressedReadAndTiming();
    void writesNeedEnableWrite();
    void unknownIdentifierPassesAround();
    void lineSettings_data();
    void lineSettings();
    void wrongBaudIsNoise();
    void samplingKinds();
    void readingsFollowCoefficients();
    void modelMAndAtmo3();
    void faults();
    void brokenLoopAndWrongMnemonic();
    void refusedWrites();
    void portIsOneHolderAndLosesClosedOutput();
    void closedOutputIsLostOnTheRealClockToo();
};

void TestLoop::addressedReadAndTiming() {
    CoreBench b;
    auto link = b.makeLink();
    QCOMPARE(ask(b, *link, "**0100PR\r\n"), QStringLiteral("*0001PR=238\r\n"));
    const auto writes = b.wire().writes();
    QCOMPARE(writes.size(), 2);
    QCOMPARE(writes[0].bytes, QByteArray("*"));
    QCOMPARE(writes[1].bytes, QByteArray("**0100PR\r\n"));
    QVERIFY(writes[1].time - writes[0].time >= 0.010);
    // The command's 10 characters go out, then the 13-character reply comes back, at 10 bits a
    // character, plus one character in each of the three instruments.
    const double charTime = 10.0 / 9600;
    const auto events = b.wire().events();
    const double lastByte = events.last().time;
    const double expected = writes[1].time + (10 + 13 + 3) * charTime;
    QVERIFY2(qAbs(lastByte - expected) < 2 * charTime, qPrintable(QString::number(lastByte - expected)));
    QCOMPARE(ask(b, *link, "**0300SN\r\n"), QStringLiteral("*0003SN=300417\r\n"));
}

void TestLoop::writesNeedEnableWrite() {
    CoreBench b;
    auto link = b.makeLink();
    QCOMPARE(ask(b, *link, "**0100EW*0100PR=300\r\n"), QStringLiteral("*0001PR=300\r\n"));
    QCOMPARE(b.inst("01").param("TR"), QStringLiteral("1200"));                     // TR follows as 4 x PR
    QCOMPARE(ask(b, *link, "**0100PR=500\r\n"), QStringLiteral("*0001PR=300\r\n")); // no EW: unchanged
    QCOMPARE(ask(b, *link, "**0100EW*0200PR=500\r\n"), QStringLiteral("*0001PR=300\r\n"));   // EW for another
    QCOMPARE(ask(b, *link, "**0100EW*0100PR=16384\r\n"), QStringLiteral("*0001PR=300\r\n")); // out of range
    QCOMPARE(ask(b, *link, "**0100EW*0100C1=1.5\r\n"), QStringLiteral("*0001C1=1.5\r\n"));
    QCOMPARE(b.inst("01").param("C1"), QStringLiteral("1.5"));
    QCOMPARE(ask(b, *link, "**0100EW*0100SN=1\r\n"), QStringLiteral("*0001SN=104512\r\n")); // read-only
}

void TestLoop::unknownIdentifierPassesAround() {
    CoreBench b;
    auto link = b.makeLink();
    QCOMPARE(ask(b, *link, "**0700PR\r\n"), QStringLiteral("*0700PR\r\n"));
    QCOMPARE(b.inst("01").linesHandled(), 0);
}

void TestLoop::lineSettings_data() {
    // An 8-bit listener on a 7-bit loop sees each character's parity bit in bit 7.
    QTest::addColumn<char>("parity");
    QTest::addColumn<QByteArray>("probeEcho");
    QTest::addColumn<QByteArray>("mnemonic");
    QTest::newRow("no parity") << 'N' << QByteArray("*00") << QByteArray("VR");
    QTest::newRow("even") << 'E'
                          << QByteArray("\xAA"
                                        "00")
                          << QByteArray("V\xD2");
    QTest::newRow("odd") << 'O' << QByteArray("*\xB0\xB0") << QByteArray("\xD6R");
}

void TestLoop::lineSettings() {
    QFETCH(char, parity);
    QFETCH(QByteArray, probeEcho);
    QFETCH(QByteArray, mnemonic);
    CoreBench b(sim::LoopConfig::numbered(2, 4800, parity));
    sim::SimPort port(*b.loop);
    port.open(settings(4800, 'N', 8));
    port.write("*9900VR"); // an unfinished broadcast, restarted by the next star
    QCOMPARE(collect(b, port, "*00", 0.5), probeEcho);
    const QByteArray scan = collect(b, port, "**9900VR\r\n", 1.0);
    QCOMPARE(scan.mid(5, 2), mnemonic);
    QCOMPARE(scan.count('\n') + scan.count('\x8A'), 3); // two replies and the echo
    port.close();
    // At the loop's own settings the same lines read clean.
    port.open(settings(4800, parity, parity == 'N' ? 8 : 7));
    QCOMPARE(collect(b, port, "**0200SN\r\n", 0.5), QByteArray("*0002SN=100002\r\n"));
}

void TestLoop::wrongBaudIsNoise() {
    CoreBench b;
    sim::SimPort port(*b.loop);
    port.open(settings(19200, 'N', 8));
    const QByteArray got = collect(b, port, "**0100PR\r\n", 1.0);
    QVERIFY(!got.isEmpty());     // the noise comes back around the loop
    QVERIFY(!got.contains('*')); // but nothing an instrument said
    QVERIFY(!got.contains('\n'));
    QCOMPARE(b.inst("01").linesHandled(), 0);
}

void TestLoop::samplingKinds() {
    CoreBench b;
    auto link = b.makeLink();
    b.state.ReadTimeout = 4;
    const QString p3 = ask(b, *link, "**0100P3\r\n");
    QVERIFY2(p3.startsWith("*0001 14.69") && p3.endsWith("\r\n"), qPrintable(p3));
    QString copy = p3;
    QVERIFY(qAbs(leadingNumber(ReplyNumber(copy)) - 14.6959) < 0.01);
    QVERIFY(ask(b, *link, "**0100P1\r\n").startsWith("*0001 32."));
    QVERIFY(ask(b, *link, "**0100Q3\r\n").startsWith("*0001 22."));
    // Hold: no answer now, the dump gives the held sample.
    b.state.ReadTimeout = 0.5;
    QCOMPARE(ask(b, *link, "**0100P5\r\n"), QString());
    b.state.ReadTimeout = 4;
    QVERIFY(ask(b, *link, "**0100DB\r\n").startsWith("*0001 14.69"));
    // A pressure instrument has no analog channels.
    b.state.ReadTimeout = 1;
    QCOMPARE(ask(b, *link, "**0100TT\r\n"), QString());
    QVERIFY(ask(b, *link, "**0300TT\r\n").startsWith("*0003 18."));
    QVERIFY(ask(b, *link, "**0300RH\r\n").startsWith("*0003 45."));
    QCOMPARE(ask(b, *link, "**0100MC\r\n"), QStringLiteral("*0001MC=Y\r\n"));
}

void TestLoop::readingsFollowCoefficients() {
    CoreBench b;
    auto link = b.makeLink();
    b.state.ReadTimeout = 4;
    auto pressure = [&] {
        QString r = ask(b, *link, "**0100P3\r\n");
        return leadingNumber(ReplyNumber(r));
    };
    const double before = pressure();
    ask(b, *link, "**0100EW*0100PA=1.0000\r\n");
    QVERIFY(qAbs(pressure() - before - 1.0) < 0.01);
    ask(b, *link, "**0100EW*0100C1=130\r\n");
    const double changed = pressure();
    QVERIFY2(changed > before + 2.0, qPrintable(QString::number(changed))); // a larger C raises the reading
    ask(b, *link, "**0100EW*0100C1=120\r\n");
    ask(b, *link, "**0100EW*0100PA=0\r\n");
    // The unit: mbar, and PA follows it.
    ask(b, *link, "**0100EW*0100PA=1.0000\r\n");
    QCOMPARE(ask(b, *link, "**0100EW*0100UN=2\r\n"), QStringLiteral("*0001UN=2\r\n"));
    QCOMPARE(b.inst("01").param("PA"), QStringLiteral("68.9476"));
    const double mbar = pressure();
    QVERIFY2(qAbs(mbar - (before + 1.0) * 68.94757) < 1.0, qPrintable(QString::number(mbar)));
    // Taring: requested, then on with the zero taken.
    ask(b, *link, "**0100EW*0100ZS=1\r\n");
    b.idle(3);
    QCOMPARE(b.inst("01").param("ZS"), QStringLiteral("2"));
    QVERIFY(qAbs(pressure()) < 0.5);
    // The temperature period and Y coefficients make the temperature.
    QString q3 = ask(b, *link, "**0100Q3\r\n");
    const double t1 = leadingNumber(ReplyNumber(q3));
    ask(b, *link, "**0100EW*0100Y1=-4100\r\n");
    QString q3b = ask(b, *link, "**0100Q3\r\n");
    QVERIFY(qAbs(leadingNumber(ReplyNumber(q3b)) - t1) > 0.5);
}

void TestLoop::modelMAndAtmo3() {
    CoreBench b;
    auto link = b.makeLink();
    b.state.ReadTimeout = 0.5;
    QCOMPARE(ask(b, *link, "**0200DD\r\n"), QString()); // an "M" instrument has no DD
    QCOMPARE(ask(b, *link, "**0200OP\r\n"), QString());
    QCOMPARE(ask(b, *link, "**0100DD\r\n"), QStringLiteral("*0001DD=0\r\n"));
    QCOMPARE(ask(b, *link, "**0300H1\r\n"), QStringLiteral("*0003H1=RHT-2\r\n"));
    b.state.ReadTimeout = 2;
    QString rh = ask(b, *link, "**0300RH\r\n");
    const double before = leadingNumber(ReplyNumber(rh));
    ask(b, *link, "**0300EW*0300E2=5\r\n");
    QString rh2 = ask(b, *link, "**0300RH\r\n");
    QVERIFY(qAbs(leadingNumber(ReplyNumber(rh2)) - before - 5.0) < 0.3);
}

void TestLoop::faults() {
    sim::LoopConfig c = sim::LoopConfig::numbered(6);
    c.instruments[0].faults.silent = true;
    c.instruments[1].faults.slowSeconds = 1.5;
    c.instruments[2].faults.garbage = true;
    c.instruments[3].faults.missingCR = true;
    c.instruments[4].faults.questionMark = true;
    CoreBench b(c);
    auto link = b.makeLink();
    b.state.ReadTimeout = 1.0;
    QCOMPARE(ask(b, *link, "**0100SN\r\n"), QString()); // silent
    QCOMPARE(ask(b, *link, "**0200SN\r\n"), QString()); // slower than the wait
    b.state.ReadTimeout = 2.0;
    QCOMPARE(ask(b, *link, "**0200SN\r\n"), QStringLiteral("*0002SN=100002\r\n")); // but it answers
    b.idle(2.0); // the late answer to the second request goes by unheard
    {
        sim::SimPort port(*b.loop);
        port.open(settings(9600, 'N', 8));
        const QByteArray junk = collect(b, port, "**0300SN\r\n", 0.5);
        QVERIFY(!junk.isEmpty() && !junk.contains('*') && !junk.contains('\n'));
        const QByteArray noCr = collect(b, port, "**0400SN\r\n", 0.5);
        QVERIFY2(noCr.endsWith("=100004\n") && !noCr.contains('\r'), noCr.toHex().constData());
        port.close();
    }
    b.state.ReadTimeout = 4.0;
    QVERIFY(ask(b, *link, "**0500P3\r\n").contains('?'));
    // An instrument streaming from power-up sends readings unasked.
    sim::LoopConfig s = sim::LoopConfig::numbered(2);
    s.instruments[1].streamingFromStart = true;
    CoreBench streaming(s);
    auto l2 = streaming.makeLink();
    l2->OpenPort(streaming.state.Link);
    streaming.idle(3.0);
    QVERIFY(l2->InBufferCount() > 0);
    QVERIFY(l2->InputAll().contains("*0002 14.6"));
    l2->ClosePort();
}

void TestLoop::brokenLoopAndWrongMnemonic() {
    sim::LoopConfig c = sim::LoopConfig::numbered(3);
    c.broken = true;
    c.instruments[1].faults.wrongMnemonic = true;
    CoreBench b(c);
    auto link = b.makeLink();
    link->OpenPort(b.state.Link);
    link->Output("**9900BL\r\n");
    QStringList lines;
    for (auto l = link->ReadInput(b.state.ReadTimeout); l; l = link->ReadInput(b.state.ReadTimeout))
        lines << *l;
    QCOMPARE(lines, (QStringList{"*0001BL=0\r\n", "*0002XX=0\r\n", "*0003BL=0\r\n"})); // no echo
}

void TestLoop::refusedWrites() {
    sim::LoopConfig c;
    QString error;
    QVERIFY2(sim::LoopConfig::fromJson(
                 R"({"instruments": [{}, {"faults": {"refusedWrites": ["BL", "PT"]}}]})", c, &error),
             qPrintable(error));
    QCOMPARE(c.instruments[1].faults.refusedWrites, (QStringList{"BL", "PT"}));
    CoreBench b(c);
    auto link = b.makeLink();
    link->OpenPort(b.state.Link);
    link->Output("**9900EW*9900BL=1\r\n");
    QStringList lines;
    for (auto l = link->ReadInput(b.state.ReadTimeout); l; l = link->ReadInput(b.state.ReadTimeout))
        lines << *l;
    // The refusing instrument echoes the value it keeps; the returning broadcast is cut at its
    // second star by the reader.
    QCOMPARE(lines, (QStringList{"*0001BL=1\r\n", "*0002BL=0\r\n", "*9900BL=1\r\n"}));
    QCOMPARE(b.inst("02").param("BL"), QStringLiteral("0"));
    // Other parameters are still written.
    QCOMPARE(ask(b, *link, "**0200EW*0200DD=1\r\n"), QStringLiteral("*0002DD=1\r\n"));
}

void TestLoop::portIsOneHolderAndLosesClosedOutput() {
    CoreBench b;
    sim::SimPort first(*b.loop), second(*b.loop);
    first.open(settings(9600, 'N', 8));
    QVERIFY_THROWS_EXCEPTION(PortError, second.open(settings(9600, 'N', 8)));
    first.write("**0100SN\r\n");
    first.close(); // the answer comes while nobody listens
    b.idle(0.5);
    second.open(settings(9600, 'N', 8));
    QCOMPARE(second.bytesWaiting(), 0);
}

void TestLoop::closedOutputIsLostOnTheRealClockToo() {
    // The program's loop on the real clock: a reply that comes while the port is closed and the
    // event loop does not run (a fixed delay) must not reach the next open.
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
    port.close();
}

QTEST_GUILESS_MAIN(TestLoop)
#include "tst_loop.moc"
