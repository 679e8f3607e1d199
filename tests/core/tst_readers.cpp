// The link's readers and port handling on simulated time: what each reader returns, when, and
// what the observer hears.
#include "Link.h"
#include "ScriptedPort.h"
#include "SimRuntime.h"
#include "Tables.h"
#include "Transactions.h"

#include <QTest>

using namespace cvi;
using cvi::test::ScriptedPort;

namespace {
struct Heard : ExchangeObserver {
    int broken = 0;
    QStringList lines;
    void brokenLine() override { ++broken; }
    void received(const QString& line) override { lines << line; }
};

struct Bench {
    sim::VirtualClock clock;
    sim::SimRuntime runtime{clock};
    PortMap map;
    Heard heard;
    ScriptedPort* port = new ScriptedPort(clock);
    std::unique_ptr<Link> link = std::make_unique<Link>(runtime, map, std::unique_ptr<ScriptedPort>(port));
    Bench() {
        link->setObserver(&heard);
        link->OpenPort(LinkSettings::of("COM 1", 9600, 'N'));
    }
};
} // namespace

class TestReaders : public QObject {
    Q_OBJECT
private slots:
    void readInputLines_data() {
        test::columns<QByteArray, QString, int>("arriving", "result", "brokenLines");
        QTest::newRow("plain reply") << QByteArray("*0001PR=238\r\n") << "*0001PR=238\r\n" << 0;
        QTest::newRow("star discards what came before")
            << QByteArray("xx*0001PR=238\r\n") << "*0001PR=238\r\n"
            << 0;
        QTest::newRow("second star restarts") << QByteArray("*00*0001PR=238\r\n") << "*0001PR=238\r\n" << 0;
        QTest::newRow("LF without CR") << QByteArray("*0001PR=238\n") << "" << 1;
        QTest::newRow("high and NUL bytes kept") << QByteArray("*0001VR=\xB0\xD2\0\r\n", 13)
                                                 << QString::fromLatin1("*0001VR=\xB0\xD2\0\r\n", 13) << 0;
        QTest::newRow("endless line is broken") << QByteArray(20000, 'x') << "" << 1;
    }

    void readInputLines() {
        const auto [arriving, result, brokenLines] =
            test::fetch<QByteArray, QString, int>("arriving", "result", "brokenLines");
        Bench b;
        b.port->arrive(0.1, arriving);
        // Read as a page reads an answer: a broken line ends the read, it is not passed over.
        QCOMPARE(b.link->ReadInputFor(1.0, [](const QString& l) { return l.startsWith("*0001"); })
                     .value_or("none"),
                 result);
        QCOMPARE(b.heard.broken, brokenLines);
        QVERIFY(b.port->charsRead <= Link::MaxLine + 1);
        QVERIFY(b.runtime.pumps() >= b.port->charsRead); // the interface runs while it waits and reads
    }

    void readInputTimesOut() {
        for (double timeout : {2.5, 0.0}) {
            Bench b;
            QVERIFY(!b.link->ReadInput(timeout).has_value());
            QVERIFY2(b.clock.now() > timeout && b.clock.now() < timeout + 0.01,
                     qPrintable(QString::number(b.clock.now())));
            QCOMPARE(b.heard.broken, 0);
        }
        // A reply that starts in time but ends after the time-out is no reply.
        Bench b;
        b.port->arrive(0.5, "*0001PR=238\r\n", 0.1);
        QVERIFY(!b.link->ReadInput(1.0).has_value());
    }

    void readContinuous() {
        Bench b; // up to 900 characters waiting are read, and a line without CR is a line here
        b.port->arrive(0.0, QByteArray(880, 'x') + "*0001 14.7\n");
        b.clock.runDue();
        QCOMPARE(b.link->ReadContinuous(1.0), "*0001 14.7\n");
        QCOMPARE(b.link->ReadContinuous(1.0), QString()); // time-out
        QVERIFY(b.clock.now() > 1.0 && b.clock.now() < 1.01);
        b.port->arrive(b.clock.now(), QByteArray(901, 'x'));
        b.clock.runDue();
        QCOMPARE(b.link->ReadContinuous(1.0), "Overflow");
        QCOMPARE(b.port->charsRead, 891L); // none of them read
        QCOMPARE(b.heard.broken, 0);
    }

    void readTerminalInput() {
        Bench b;
        b.port->arrive(0.1, "*0001VR=1.0\r\nab*cd\r\n\r\n", 0.001);
        QCOMPARE(b.link->ReadTerminalInput(1.0).value_or("none"), "*0001VR=1.0");
        QCOMPARE(b.link->ReadTerminalInput(1.0).value_or("none"), "ab*cd");
        QCOMPARE(b.link->ReadTerminalInput(1.0).value_or("none"), QString());
        QVERIFY(!b.link->ReadTerminalInput(1.0).has_value());
    }

    void readReplyPerCharacterTimeout() {
        Bench b;
        // 40 characters 0.5 s apart with a one-second time-out: the whole line, 20 s long.
        const QByteArray slow = QByteArray(38, 'a') + "\r\n";
        b.port->arrive(0.5, slow, 0.5);
        const long pumps = b.runtime.pumps();
        QCOMPARE(b.link->ReadReply(1.0), QString::fromLatin1(slow));
        QCOMPARE(b.runtime.pumps(), pumps); // it does not run the interface
        // A gap longer than the time-out: the characters so far.
        const double t = b.clock.now();
        b.port->arrive(t + 0.2, "*0001DD");
        b.port->arrive(t + 2.0, "=1\r\n");
        QCOMPARE(b.link->ReadReply(1.0), "*0001DD");
        QCOMPARE(b.link->ReadReply(1.0), "=1\r\n");
        // Another instrument's whole line is no answer: passed over, the reply after it is read.
        b.port->arrive(b.clock.now() + 0.1, "*0002PR=5\r\n*0001PR=6\r\n");
        QCOMPARE(b.link->ReadReply(1.0, [](const QString& l) { return l.startsWith("*0001"); }),
                 QStringLiteral("*0001PR=6\r\n"));
    }

    void collectBroadcastEndlessLineIsBounded_data() {
        // Replies that begin just before the three-second window closes (the broadcast is written at
        // 0.01 s): a line still coming in is followed until one second after its last character.
        test::columns<QByteArray, double, QStringList, double>("arriving", "spacing", "lines", "end");
        QTest::newRow("endless line") << QByteArray(3000, 'x') << 0.002 << QStringList() << 9.958;
        QTest::newRow("line stops half-way")
            << QByteArray("*0001BL=1\r\n*0002BL=1") << 0.0 << QStringList{"*0001BL=1\r\n"} << 3.96;
    }

    void collectBroadcastEndlessLineIsBounded() {
        const auto [arriving, spacing, lines, end] =
            test::fetch<QByteArray, double, QStringList, double>("arriving", "spacing", "lines", "end");
        Bench b;
        b.link->ClosePort();
        b.port->onWrite = [&](const QByteArray& w, double t) {
            if (w.endsWith("\r\n")) b.port->arrive(t + 2.95, arriving, spacing);
        };
        const BroadcastReplies r = collectBroadcastReplies(
            Channel{*b.link, LinkSettings::of("COM 1", 9600, 'N'), {}}, QStringLiteral("*9900EW*9900BL=1"));
        QCOMPARE(r.lines, lines);
        QCOMPARE(b.heard.lines, lines);
        QVERIFY2(qAbs(b.clock.now() - end) < 0.005, qPrintable(QString::number(b.clock.now())));
        QVERIFY(!b.port->isOpen());
    }

    void deviceLostEndsEveryReader() {
        // At once, with the lost device's error (its text is checked with the transactions).
        const std::function<void(Link&)> reads[] = {
            [](Link& l) { l.ReadInput(10); }, [](Link& l) { l.ReadContinuous(10); },
            [](Link& l) { l.ReadTerminalInput(10); }, [](Link& l) { l.ReadReply(10); }};
        for (const auto& read : reads) {
            Bench b;
            b.port->loseAt(0.5);
            const auto e = test::thrown<PortError>([&] { read(*b.link); });
            QVERIFY2(e && e->kind() == PortError::Kind::DeviceLost, "a lost device must end the read");
            QVERIFY2(b.clock.now() < 0.51 && !b.link->PortOpen(), qPrintable(QString::number(b.clock.now())));
            QVERIFY_THROWS_EXCEPTION(PortError, b.link->Output("*"));
            QVERIFY(b.port->writes.isEmpty());
        }
    }

    void openAndClose() {
        Bench b;
        b.link->ClosePort();
        b.link->OpenPort(LinkSettings::of("COM 3", 2400, 'E'));
        QCOMPARE(b.port->settings.settingsText(), "2400,E,7,1");
        QCOMPARE(b.port->settings.device, "/dev/ttyS2");
        b.link->ClosePort();
        b.link->ClosePort(); // closing a closed port does nothing
        QVERIFY_THROWS_EXCEPTION(PortError, b.link->Output("x"));
        // Before detection there is no baud rate to open with.
        const auto e = test::thrown<PortError>([&] { b.link->OpenPort(LinkSettings{}); });
        QVERIFY(e && e->kind() == PortError::Kind::BadSettings);
        QCOMPARE(b.port->opens, 2);
    }

    // What the line is owed ("deadline/lines" as a release leaves it, or "await deadline" for a
    // request whose answer is still awaited), the lines that come ("time text"), how the port is
    // opened again, then the line the next read gets and when the open let go.
    void owedLines_data() {
        test::columns<QString, QString, bool, QString, double>("owed", "arriving", "again", "next",
                                                               "openDone");
        QTest::newRow("one owed line lets go as it ends") << "2.0/1"
                                                          << "0.3 A|0.5 B" << false << "B" << 0.3;
        QTest::newRow("owed lines add up, the later deadline holds")
            << "2.0/1 1.0/1"
            << "0.3 A|1.5 C|1.8 B" << false << "B" << 1.5;
        QTest::newRow("no count: owed until the deadline") << "1.0/0"
                                                           << "0.3 A|0.6 C|1.2 B" << false << "B" << 1.0;
        QTest::newRow("what comes after the deadline is not owed") << "0.5/1"
                                                                   << "0.8 B" << false << "B" << 0.5;
        QTest::newRow("opened again by its holder, the answer is its own") << "await 2.0"
                                                                           << "0.3 B" << true << "B" << 0.0;
    }

    void owedLines() {
        const auto [owed, arriving, again, next, openDone] =
            test::fetch<QString, QString, bool, QString, double>("owed", "arriving", "again", "next",
                                                                 "openDone");
        Bench b;
        for (const QString& arrival : arriving.split('|'))
            b.port->arrive(arrival.section(' ', 0, 0).toDouble(),
                           "*0001" + arrival.section(' ', 1).toLatin1() + "\r\n");
        for (const QString& o : owed.split(' ', Qt::SkipEmptyParts))
            if (o != "await") {
                if (o.contains('/'))
                    b.link->owe(o.section('/', 0, 0).toDouble(), o.section('/', 1).toInt());
                else
                    b.link->awaitAnswer(o.toDouble());
            }
        if (!again) b.link->ClosePort();
        b.link->OpenPort(LinkSettings::of("COM 1", 9600, 'N'));
        QVERIFY2(qAbs(b.clock.now() - openDone) < 0.01, qPrintable(QString::number(b.clock.now())));
        QCOMPARE(b.link->ReadInput(2.0).value_or("none"), "*0001" + next + "\r\n");
    }
};

QTEST_GUILESS_MAIN(TestReaders)
#include "tst_readers.moc"
