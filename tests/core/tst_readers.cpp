// The link's readers on simulated time: what each returns, when, and what the operator sees.
#include "Link.h"
#include "ScriptedOperator.h"
#include "ScriptedPort.h"
#include "SimRuntime.h"

#include <QTest>

using namespace cvi;
using cvi::test::ScriptedOperator;
using cvi::test::ScriptedPort;

namespace {
struct Bench {
    sim::VirtualClock clock;
    sim::SimRuntime runtime{clock};
    ScriptedOperator op;
    AppState state;
    PortMap map;
    ScriptedPort* port = nullptr;
    std::unique_ptr<Link> link;

    Bench() {
        state.PortName = "COM 1";
        state.BaudRate = "9600";
        state.Parity = "N";
        state.DataBits = "8";
        state.ReadTimeout = 1.0;
        auto p = std::make_unique<ScriptedPort>(clock);
        port = p.get();
        link = std::make_unique<Link>(state, runtime, op, map, std::move(p));
        link->OpenPort();
    }
};
} // namespace

class TestReaders : public QObject {
    Q_OBJECT
private slots:
    void readInputLines_data();
    void readInputLines();
    void readInputTimesOut();
    void readInputLetsInterfaceRun();
    void readInputEndlessLineIsBroken();
    void readContinuous();
    void readTerminalInput();
    void readReplyPerCharacterTimeout();
    void collectBroadcastReplies();
    void collectBroadcastWithoutAnswer();
    void collectBroadcastWrongMnemonic();
    void collectBroadcastEndlessLineIsBounded();
    void deviceLostEndsReadAtOnce();
    void openAndWakeUp();
    void waitForInput();
};

void TestReaders::readInputLines_data() {
    QTest::addColumn<QByteArray>("arriving");
    QTest::addColumn<QString>("result");
    QTest::addColumn<bool>("dataError");
    QTest::newRow("plain reply") << QByteArray("*0001PR=238\r\n") << "*0001PR=238\r\n" << false;
    QTest::newRow("star discards what came before") << QByteArray("xx*0001PR=238\r\n") << "*0001PR=238\r\n" << false;
    QTest::newRow("second star restarts") << QByteArray("*00*0001PR=238\r\n") << "*0001PR=238\r\n" << false;
    QTest::newRow("LF without CR") << QByteArray("*0001PR=238\n") << "" << true;
    QTest::newRow("high bytes kept") << QByteArray("*0001VR=\xB0\xD2\r\n") << QString::fromLatin1("*0001VR=\xB0\xD2\r\n") << false;
    QTest::newRow("NUL bytes kept") << QByteArray("*0001VR=\0\0\r\n", 12) << QString::fromLatin1("*0001VR=\0\0\r\n", 12) << false;
}

void TestReaders::readInputLines() {
    QFETCH(QByteArray, arriving);
    QFETCH(QString, result);
    QFETCH(bool, dataError);
    Bench b;
    b.port->arrive(0.1, arriving, 0.001);
    const auto line = b.link->ReadInput();
    QVERIFY(line.has_value());
    QCOMPARE(*line, result);
    QCOMPARE(b.op.messages.size(), dataError ? 1 : 0);
    if (dataError) {
        QCOMPARE(b.op.messages[0].text, QStringLiteral("CR and LF can not be detected !"));
        QCOMPARE(b.op.messages[0].title, QStringLiteral("Data Error"));
        QCOMPARE(b.op.messages[0].icon, Operator::Icon::Exclamation);
    }
}

void TestReaders::readInputTimesOut() {
    for (double timeout : {2.5, 0.0}) {
        Bench b;
        b.state.ReadTimeout = timeout;
        const double start = b.clock.now();
        QVERIFY(!b.link->ReadInput().has_value());
        const double waited = b.clock.now() - start;
        QVERIFY2(waited > timeout && waited < timeout + 0.01, qPrintable(QString::number(waited)));
        QVERIFY(b.op.messages.isEmpty());
    }
    // A reply that starts in time but ends after the time-out is no reply.
    Bench b;
    b.port->arrive(0.5, "*0001PR=238\r\n", 0.1);
    QVERIFY(!b.link->ReadInput().has_value());
}

void TestReaders::readInputLetsInterfaceRun() {
    Bench b;
    b.port->arrive(0.8, "*0001PR=238\r\n");
    bool clickedDuringRead = false;
    b.clock.at(0.4, [&] { clickedDuringRead = true; });
    const long before = b.runtime.pumps();
    QVERIFY(b.link->ReadInput().has_value());
    QVERIFY(clickedDuringRead);
    QVERIFY(b.runtime.pumps() > before);
}

void TestReaders::readInputEndlessLineIsBroken() {
    Bench b;
    b.state.ReadTimeout = 100;
    b.port->arrive(0.01, QByteArray(20000, 'x'));
    const auto line = b.link->ReadInput();
    QVERIFY(line.has_value());
    QCOMPARE(*line, QString());
    QVERIFY(b.port->charsRead <= Link::MaxLine + 1);
    QCOMPARE(b.op.messageTexts(), QStringList{"CR and LF can not be detected !"});
}

void TestReaders::readContinuous() {
    {
        Bench b;
        b.port->arrive(0.0, QByteArray(901, 'x'));
        b.clock.runDue();
        QCOMPARE(b.link->ReadContinuous(), QStringLiteral("Overflow"));
        QCOMPARE(b.port->charsRead, 0L);
    }
    {
        Bench b;
        b.port->arrive(0.0, QByteArray(880, 'x') + "*0001 14.7\r\n");
        b.clock.runDue();
        QCOMPARE(b.link->ReadContinuous(), QStringLiteral("*0001 14.7\r\n"));
    }
    {
        Bench b; // a line without CR is still a line here, and time-out gives empty text
        b.port->arrive(0.1, "*0001 14.7\n");
        QCOMPARE(b.link->ReadContinuous(), QStringLiteral("*0001 14.7\n"));
        QCOMPARE(b.link->ReadContinuous(), QString());
        QVERIFY(b.op.messages.isEmpty());
    }
}

void TestReaders::readTerminalInput() {
    Bench b;
    b.port->arrive(0.1, "*0001VR=1.0\r\nab*cd\r\n\r\n", 0.001);
    QCOMPARE(b.link->ReadTerminalInput().value_or("none"), QStringLiteral("*0001VR=1.0"));
    QCOMPARE(b.link->ReadTerminalInput().value_or("none"), QStringLiteral("ab*cd"));
    QCOMPARE(b.link->ReadTerminalInput().value_or("none"), QString());
    QVERIFY(!b.link->ReadTerminalInput().has_value());
}

void TestReaders::readReplyPerCharacterTimeout() {
    Bench b;
    // 40 characters 0.5 s apart with a one-second time-out: the whole line, 20 s long.
    const QByteArray slow = QByteArray(38, 'a') + "\r\n";
    b.port->arrive(0.5, slow, 0.5);
    const long pumps = b.runtime.pumps();
    QCOMPARE(b.link->ReadReply(), QString::fromLatin1(slow));
    QCOMPARE(b.runtime.pumps(), pumps); // it does not run the interface
    // A gap longer than the time-out: the characters so far.
    const double t = b.clock.now();
    b.port->arrive(t + 0.2, "*0001DD");
    b.port->arrive(t + 2.0, "=1\r\n");
    QCOMPARE(b.link->ReadReply(), QStringLiteral("*0001DD"));
    QCOMPARE(b.link->ReadReply(), QStringLiteral("=1\r\n"));
}

void TestReaders::collectBroadcastReplies() {
    Bench b;
    b.link->ClosePort();
    b.port->onWrite = [&](const QByteArray& w, double t) {
        if (!w.endsWith("\r\n")) return;
        b.port->arrive(t + 0.05, "*0001BL=1\r\n*0002BL=1\r\n*0003BL=1\r\n*9900EW*9900BL=1\r\n", 0.001);
    };
    QStringList appended;
    const double start = b.clock.now();
    const QString value =
        b.link->CollectBroadcastReplies("*9900EW*9900BL=1", [&](const QString& line) { appended << line; });
    QCOMPARE(value, QStringLiteral("1"));
    QCOMPARE(appended, (QStringList{"*0001BL=1\r\n", "*0002BL=1\r\n", "*0003BL=1\r\n"}));
    QCOMPARE(b.port->writes.size(), 2);
    QCOMPARE(b.port->writes[0].bytes, QByteArray("*"));
    QCOMPARE(b.port->writes[1].bytes, QByteArray("**9900EW*9900BL=1\r\n"));
    QVERIFY(b.port->writes[1].time - b.port->writes[0].time >= 0.010);
    QVERIFY(!b.port->isOpen());
    QVERIFY(b.clock.now() - start < 3.2);
    QVERIFY(b.op.messages.isEmpty());
}

void TestReaders::collectBroadcastWithoutAnswer() {
    Bench b;
    b.link->ClosePort();
    const double start = b.clock.now();
    QCOMPARE(b.link->CollectBroadcastReplies("*9900EW*9900BL=0", {}), QString());
    QVERIFY(b.clock.now() - start >= 3.0 && b.clock.now() - start < 3.1);
}

void TestReaders::collectBroadcastWrongMnemonic() {
    Bench b;
    b.link->ClosePort();
    b.port->onWrite = [&](const QByteArray& w, double t) {
        if (w.endsWith("\r\n")) b.port->arrive(t + 0.05, "*0001BL=1\r\n*0002MD=0\r\n*0003BL=1\r\n");
    };
    QStringList appended;
    QCOMPARE(b.link->CollectBroadcastReplies("*9900EW*9900BL=1", [&](const QString& l) { appended << l; }),
             QStringLiteral("1"));
    QCOMPARE(appended, QStringList{"*0001BL=1\r\n"});
    QCOMPARE(b.op.messages.size(), 1);
    QCOMPARE(b.op.messages[0].text, QStringLiteral("The responce is not an expected responce!"));
    QCOMPARE(b.op.messages[0].title, QStringLiteral("Error!"));
    QCOMPARE(b.op.messages[0].icon, Operator::Icon::Information);
}

void TestReaders::collectBroadcastEndlessLineIsBounded() {
    Bench b;
    b.link->ClosePort();
    // Characters keep coming, never a line end: the collection still ends.
    b.port->onWrite = [&](const QByteArray& w, double t) {
        if (w.endsWith("\r\n")) b.port->arrive(t + 2.9, QByteArray(3000, 'x'), 0.002);
    };
    const double start = b.clock.now();
    QCOMPARE(b.link->CollectBroadcastReplies("*9900EW*9900BL=1", {}), QString());
    QVERIFY2(b.clock.now() - start < 12.0, qPrintable(QString::number(b.clock.now() - start)));
    // And a line that stops half-way after the window is abandoned after the gap.
    Bench c;
    c.link->ClosePort();
    c.port->onWrite = [&](const QByteArray& w, double t) {
        if (w.endsWith("\r\n")) c.port->arrive(t + 2.95, "*0001BL=1\r\n*0002B");
    };
    const double s2 = c.clock.now();
    QStringList appended;
    QCOMPARE(c.link->CollectBroadcastReplies("*9900EW*9900BL=1", [&](const QString& l) { appended << l; }),
             QStringLiteral("1"));
    QCOMPARE(appended.size(), 1);
    QVERIFY(c.clock.now() - s2 < 4.5);
}

void TestReaders::deviceLostEndsReadAtOnce() {
    Bench b;
    b.state.ReadTimeout = 10;
    b.port->loseAt(0.5);
    QVERIFY(!b.link->ReadInput().has_value());
    QVERIFY(b.clock.now() < 0.6);
    QCOMPARE(b.op.messages.size(), 1);
    QVERIFY(b.op.messages[0].text.contains("lost"));
    QVERIFY(b.link->lostDuringRead());
    // Further reads end at once and say nothing more.
    QVERIFY(!b.link->ReadTerminalInput().has_value());
    QCOMPARE(b.link->ReadContinuous(), QString());
    QCOMPARE(b.op.messages.size(), 1);
    QVERIFY_THROWS_EXCEPTION(PortError, b.link->Output("*"));
}

void TestReaders::openAndWakeUp() {
    Bench b;
    b.link->ClosePort();
    b.state.PortName = "COM 3";
    b.state.BaudRate = "2400";
    b.state.Parity = "E";
    b.state.DataBits = "7";
    b.link->OpenPort();
    QCOMPARE(b.port->settings.portNumber, 3);
    QCOMPARE(b.port->settings.settingsText(), QStringLiteral("2400,E,7,1"));
    QCOMPARE(b.port->settings.device, b.map.device(3));
    b.link->WakeUp();
    b.link->Output("**0100PR\r\n");
    QCOMPARE(b.port->writtenBytes(), QByteArray("***0100PR\r\n"));
    QVERIFY(b.port->writes[1].time - b.port->writes[0].time >= 0.010);
    b.link->ClosePort();
    b.link->ClosePort(); // closing a closed port does nothing
    QVERIFY_THROWS_EXCEPTION(PortError, b.link->Output("x"));
    b.port->openFailure = PortError::Kind::Unavailable;
    try {
        b.link->OpenPort();
        QFAIL("open should fail");
    } catch (const PortError& e) {
        QCOMPARE(e.code(), 8010);
    }
}

void TestReaders::waitForInput() {
    Bench b;
    b.port->arrive(0.3, "*");
    b.link->WaitForInput(2.0);
    QVERIFY(qAbs(b.clock.now() - 0.3) < 1e-9);
    b.link->InputAll();
    const double t = b.clock.now();
    b.link->WaitForInput(0.5);
    QVERIFY(b.clock.now() - t > 0.5 && b.clock.now() - t < 0.51);
    const double d = b.clock.now();
    b.link->Delay(1.5);
    QVERIFY(qAbs(b.clock.now() - d - 1.5) < 1e-9);
}

QTEST_GUILESS_MAIN(TestReaders)
#include "tst_readers.moc"
