// The exchanges written once (transactions and loop detection) against the simulated loop, and
// against a scripted port where the loop cannot produce the case: the bytes on the wire, what
// comes back, the pauses, the typed errors, and the port released on every way out.
#include "Catalogue.h"
#include "CoreBench.h"
#include "Detection.h"
#include "Frames.h"
#include "ScriptedPort.h"
#include "Tables.h"
#include "Transactions.h"

#include <QTest>

using namespace cvi;
using cvi::test::ScriptedPort;

namespace {
struct Abandoned {};

// What the exchanges tell their observer; throws on the chosen write, as a window closing
// mid-exchange would.
struct Heard : ExchangeObserver {
    QStringList lines;
    int unexpected = 0;
    int writes = 0;
    int failAtWrite = 0;
    void sent(const QString&) override {
        if (++writes == failAtWrite) throw Abandoned{};
    }
    void received(const QString& line) override { lines << line; }
    void unexpectedReply() override { ++unexpected; }
};

// The loop, a window's serial object on it, and what a detection dialog would do while it waits.
struct Bench : test::CoreBench, detection::DetectionObserver {
    std::unique_ptr<Link> link = makeLink();
    Heard heard;
    QList<int> rates; // probed, in order
    void breathe(double maxWait) override { runtime.pump(maxWait); }
    void probing(int baudRate, double) override { rates << baudRate; }
    // Three instruments at 4800 baud, even parity. 01 holds PR=100 (so a PR write shows) and an
    // adder of 1 psi; 02 has its baud lock on.
    Bench() : CoreBench(sim::LoopConfig::numbered(3, 4800, 'E')) {
        inst("01").setParam("PR", "100");
        inst("01").setParam("TR", "400");
        inst("01").setParam("PA", "1.0000");
        inst("02").setParam("BL", "1");
        state.AddressPrefix = "*0100";
        link->setObserver(&heard);
    }
    Channel channel() { return channelOf(*link, state); }
    bool released() const { return !link->PortOpen() && !loop->attached(); }
};

// Two readings and the stop, or one reading abandoned; whether 01 still streams afterwards.
QString continuous(Bench& b, bool stop) {
    ContinuousReading r(b.channel());
    QString lines = r.start("*0100P4", 2.0).value_or("none").left(10);
    if (stop) {
        lines += "|" + r.next(2.0).left(10);
        r.stop();
    } else {
        r.abandon();
        b.idle(0.1); // the stop command on its way
    }
    return lines + (r.running() || b.inst("01").continuous() ? " running" : " stopped");
}

using Exchange = std::function<QString(Bench&)>;

const QMap<QString, Exchange>& exchanges() {
    static const QMap<QString, Exchange> all{
        {"read PR", [](Bench& b) { return readParameter(b.channel(), "PR", 1.0).line; }},
        {"read PR after wake-up",
         [](Bench& b) { return readParameter(b.channel(), "PR", 1.0, {.wakeUp = true}).line; }},
        {"write PR, TR read on the same open",
         [](Bench& b) {
             QString tr;
             const Reply r = writeParameter(b.channel(), *catalogue::find("PR"), "238", 1.0,
                                            [&](const Transaction& t, const Reply&) {
                                                t.send("*0100TR");
                                                tr = t.read(1.0).line;
                                            });
             return r.line + tr;
         }},
        {"write PA",
         [](Bench& b) { return writeParameter(b.channel(), *catalogue::find("PA"), "2.5", 1.0).line; }},
        {"broadcast BL",
         [](Bench& b) {
             const BroadcastReplies r = collectBroadcastReplies(b.channel(), "*9900EW*9900BL=1");
             return r.lines.join('|') + " " + r.value();
         }},
        {"broadcast, wrong mnemonic",
         [](Bench& b) {
             b.inst("02").faults().wrongMnemonic = true;
             const BroadcastReplies r = collectBroadcastReplies(b.channel(), "*9900EW*9900BL=0");
             return r.lines.join('|') + (r.unexpected ? " unexpected " : " ") +
                    QString::number(b.heard.unexpected);
         }},
        {"baud lock check",
         [](Bench& b) {
             const BaudLock l = checkBaudLock(b.channel());
             return l.replies + (l.locked() ? "locked" : "free");
         }},
        {"line settings",
         [](Bench& b) {
             broadcastLinkSettings(b.channel(), LinkSettings::of("COM 1", 9600, 'O'));
             QString out;
             for (int i = 0; i < 3; ++i)
                 out += QString::number(b.loop->at(i).baud()) + b.loop->at(i).parity() + " ";
             return out;
         }},
        {"renumber from 05",
         [](Bench& b) {
             renumberLoop(b.channel(), 5);
             return b.loop->at(0).id() + b.loop->at(1).id() + b.loop->at(2).id();
         }},
        {"option DD", [](Bench& b) { return writeOption(b.channel(), "DD", "1", 1.0); }},
        {"baud lock write", [](Bench& b) { return writeBaudLock(b.channel(), "1", 3, 1.0).join('|'); }},
        {"taring off", [](Bench& b) { return writeZeroSet(b.channel(), "0", 1.0).writeEcho; }},
        {"taring on",
         [](Bench& b) {
             const ZeroSet z = writeZeroSet(b.channel(), "1", 1.0);
             return z.writeEcho + "|" + z.state + "|" + z.offset.left(11);
         }},
        {"units",
         [](Bench& b) {
             const UnitsChange u = writeUnits(b.channel(), "2", {"PA"}, 1.0);
             return u.echo + "|" + u.rereads.value(0).first + " " + u.rereads.value(0).second;
         }},
        {"units unanswered",
         [](Bench& b) {
             b.inst("01").faults().silent = true;
             const UnitsChange u = writeUnits(b.channel(), "2", {"PA"}, 1.0);
             return u.echo + "|" + QString::number(u.rereads.size());
         }},
        {"sample P3", [](Bench& b) { return sampleOnce(b.channel(), "*0100P3", 2.0).line.left(10); }},
        {"hold P5", [](Bench& b) { return sampleOnce(b.channel(), "*0100P5", 2.0, false).line; }},
        {"continuous P4 stopped", [](Bench& b) { return continuous(b, true); }},
        {"continuous P4 abandoned", [](Bench& b) { return continuous(b, false); }},
        {"probe",
         [](Bench& b) {
             const auto rate = detection::probeBaudRate(*b.link, "COM 1", b);
             QString out = QString::number(rate.value_or(0)) + " after";
             for (int r : b.rates)
                 out += " " + QString::number(r);
             return out;
         }},
        {"scan",
         [](Bench& b) {
             const detection::Scan s = detection::scanLoop(*b.link, "COM 1", 4800, b);
             return s.ids + " " + QString::number(s.count) + " " + s.letters + " " + QChar(s.parity) +
                    (s.mixed() ? " mixed" : "");
         }},
        {"ask and set mode",
         [](Bench& b) {
             b.inst("02").setParam("MD", "2");
             auto listen = [&] {
                 return detection::listenForUnasked(*b.link, b.state.Link) > 0 ? " streaming" : " quiet";
             };
             QString out =
                 detection::modeIn(detection::askMode(*b.link, b.state.Link, "02")).value_or("none");
             out += listen();
             detection::setMode(*b.link, b.state.Link, "02", '0');
             return out + " " + b.inst("02").param("MD") + listen();
         }},
    };
    return all;
}

QString run(Bench& b) {
    return exchanges().value(QString::fromLatin1(QTest::currentDataTag()))(b);
}

// The window's serial object on a scripted port instead, for what the loop never does.
struct Scripted : Bench {
    ScriptedPort* port = new ScriptedPort(clock);
    Scripted() {
        link = std::make_unique<Link>(runtime, ports.map, std::unique_ptr<ScriptedPort>(port));
        link->setObserver(&heard);
    }
};
} // namespace

class TestTransactions : public QObject {
    Q_OBJECT
private slots:
    void abandonedAtEveryStep_data() { exchanges_data(); }

    void exchanges_data() {
        // heard: each reply reported begins so
        test::columns<QStringList, QString, QStringList, double>("wire", "result", "heard", "seconds");
        auto row = [](const char* name, const QStringList& wire, const QString& result,
                      const QStringList& heard,
                      double seconds) { QTest::newRow(name) << wire << result << heard << seconds; };
        const QString pr = "*0001PR=100\r\n";
        row("read PR", {"**0100PR\r\n"}, pr, {pr}, 0.054);
        row("read PR after wake-up", {"*", "*0100PR\r\n"}, pr, {pr}, 0.062);
        row("write PR, TR read on the same open", {"*", "**0100EW*0100PR=238\r\n", "**0100TR\r\n"},
            "*0001PR=238\r\n*0001TR=952\r\n", {"*0001PR=238\r\n", "*0001TR=952\r\n"}, 0.141);
        row("write PA", {"*", "*", "**0100EW*0100PA=2.5\r\n"}, "*0001PA=2.5\r\n", {"*0001PA=2.5\r\n"}, 0.097);
        row("broadcast BL", {"*", "**9900EW*9900BL=1\r\n"}, "*0001BL=1\r\n|*0002BL=1\r\n|*0003BL=1\r\n 1",
            {"*0001BL=1\r\n", "*0002BL=1\r\n", "*0003BL=1\r\n"}, 3.01);
        row("broadcast, wrong mnemonic", {"*", "**9900EW*9900BL=0\r\n"}, "*0001BL=0\r\n unexpected 1",
            {"*0001BL=0\r\n"}, 0.1);
        row("baud lock check", {"*", "*9900BL\r\n"},
            "*0001BL=0\r\n*0002BL=1\r\n*0003BL=0\r\n*9900BL\r\nlocked", {}, 1.51);
        row("line settings", {"**9900PT=O\r\n", "**9900BR=9600\r\n"}, "9600O 4800E 9600O ", {}, 2.0);
        row("renumber from 05", {"*", "**9904ID\r\n"}, "050607", {}, 0.039);
        row("option DD", {"*", "**0100EW*0100DD=1\r\n"}, "*0001DD=1\r\n", {"*0001DD=1\r\n"}, 0.51);
        row("baud lock write", {"**9900EW*9900BL=1\r\n"}, "*0001BL=1\r\n|*0002BL=1\r\n|*0003BL=1\r\n",
            {"*0001BL=1\r\n", "*0002BL=1\r\n", "*0003BL=1\r\n"}, 2.0);
        row("taring off", {"*", "**0100EW*0100ZS=0\r\n"}, "*0001ZS=0\r\n", {"*0001ZS=0\r\n"}, 0.51);
        row("taring on", {"*", "**0100EW*0100ZS=1\r\n", "**0100ZS\r\n", "**0100ZV\r\n"},
            "|*0001ZS=2\r\n|*0001ZV=15.", {"*0001ZS=2\r\n", "*0001ZV=15."}, 3.06);
        row("units", {"*", "**0100EW*0100UN=2\r\n", "**0100PA\r\n"}, "*0001UN=2\r\n|PA *0001PA=68.9476\r\n",
            {"*0001UN=2\r\n", "*0001PA=68.9476\r\n"}, 1.01);
        row("units unanswered", {"*", "**0100EW*0100UN=2\r\n"}, "|0", {}, 1.511);
        row("sample P3", {"*", "**0100P3\r\n"}, "*0001 15.6", {"*0001 15.6"}, 0.524);
        row("hold P5", {"*", "**0100P5\r\n"}, "", {}, 0.211);
        // The first continuous line only tells that the reading has begun: it is not reported.
        row("continuous P4 stopped", {"*", "**0100P4\r\n", "*", "*9900VR\r\n"},
            "*0001 15.6|*0001 15.6 stopped", {"*0001 15.6"}, 1.017);
        row("continuous P4 abandoned", {"*", "**0100P4\r\n", "*9900VR\r\n"}, "*0001 15.6 stopped", {}, 0.62);
        row("probe", {"*9900VR", "*00", "*9900VR", "*00", "*9900VR", "*00"}, "4800 after 19200 9600 4800", {},
            0.95);
        row("scan", {"**9900VR\r\n"}, "010203 3 EEE E", {}, 0.13);
        row("ask and set mode", {"**0200MD\r\n", "**0200EW*0200MD=0\r\n"}, "2 streaming 0 quiet", {}, 4.9);
    }

    void exchanges() {
        const auto [wire, result, heard, seconds] =
            test::fetch<QStringList, QString, QStringList, double>("wire", "result", "heard", "seconds");
        Bench b;
        QCOMPARE(run(b), result);
        QCOMPARE(b.wire().writtenTexts(), wire);
        QCOMPARE(b.heard.lines.size(), heard.size());
        for (int i = 0; i < heard.size(); ++i)
            QVERIFY2(b.heard.lines[i].startsWith(heard[i]), qPrintable(b.heard.lines[i]));
        QVERIFY2(qAbs(b.clock.now() - seconds) < 0.01, qPrintable(QString::number(b.clock.now())));
        // Every lone wake-up star is followed by its 10 ms pause, and no more.
        const auto writes = b.wire().writes();
        for (int i = 0; i + 1 < writes.size(); ++i) {
            const double gap = writes[i + 1].time - writes[i].time;
            if (writes[i].bytes == "*")
                QVERIFY2(gap > 0.010 - 1e-9 && gap < 0.0101, qPrintable(QString::number(gap)));
        }
        QVERIFY(b.released());
    }

    void abandonedAtEveryStep() {
        // Step 0: another window holds the line and the open is refused. Step k: the k-th write is
        // the last; whatever went wrong, nothing more is written and the line is free again.
        QFETCH(QStringList, wire);
        for (int k = 0; k <= wire.size(); ++k) {
            Bench b;
            sim::SimPort holder(*b.loop);
            if (k == 0) {
                holder.open(b.link->portSettings(b.state.Link));
                const auto e = test::thrown<PortError>([&] { run(b); });
                QVERIFY2(e && e->kind() == PortError::Kind::Unavailable, "ran on a busy line");
                QVERIFY(!b.link->PortOpen());
            } else {
                b.heard.failAtWrite = k;
                QVERIFY_THROWS_EXCEPTION(Abandoned, run(b));
                QVERIFY2(b.released(), qPrintable(QStringLiteral("held after write %1").arg(k)));
            }
            QCOMPARE(b.wire().writtenTexts(), wire.mid(0, k));
        }
    }

    void deviceLostMidExchange_data() {
        QTest::addColumn<double>("at");
        QTest::newRow("read PR") << 0.02;              // the reader waits for the reply
        QTest::newRow("write PA") << 0.005;            // during the wake-up pause: the write fails
        QTest::newRow("broadcast BL") << 1.0;          // while the replies are collected
        QTest::newRow("baud lock write") << 1.5;       // between the per-character reads
        QTest::newRow("sample P3") << 0.3;             // the measurement is under way
        QTest::newRow("continuous P4 stopped") << 0.7; // between two readings
        QTest::newRow("scan") << 0.05;                 // replies still coming in
    }

    void deviceLostMidExchange() {
        QFETCH(double, at);
        Bench b;
        b.clock.at(at, [&] { b.loop->loseDevice(); });
        const auto e = test::thrown<PortError>([&] { run(b); });
        QVERIFY2(e && e->kind() == PortError::Kind::DeviceLost, "a lost device must end the exchange");
        QCOMPARE(e->text(), "The serial port sim has been lost (the adapter was unplugged or the line "
                            "closed). Check the connection, then run Startup again.");
        QCOMPARE_LE(b.clock.now() - at, 0.010); // a wake-up pause at most
        QVERIFY(b.released());
        QVERIFY_THROWS_EXCEPTION(PortError, readParameter(b.channel(), "SN", 1.0)); // the device is gone
        // The adapter back: the same serial object reaches the loop again (what was still on its way
        // went by meanwhile).
        b.loop->restoreDevice();
        b.idle(1.0);
        QCOMPARE(readParameter(b.channel(), "SN", 1.0).line, "*0001SN=100001\r\n");
    }

    void continuousEnds_data() {
        // The stop waits up to 0.2 s for the instruments to fall silent and drops what came; after an
        // overflow the reading is abandoned at once.
        // behind: waiting behind the first line; answerAfter: an answer to the stop command, this long after
        // it; ending: written to end the reading; lasts: from the last write to the port closed
        test::columns<QByteArray, double, QByteArray, double>("behind", "answerAfter", "ending", "lasts");
        QTest::newRow("stopped, answered") << QByteArray() << 0.05 << QByteArray("**9900VR\r\n") << 0.05;
        QTest::newRow("stopped, silent") << QByteArray() << 1.0 << QByteArray("**9900VR\r\n") << 0.201;
        QTest::newRow("overflow") << QByteArray(950, 'x') << 1.0 << QByteArray("*9900VR\r\n") << 0.0;
    }

    void continuousEnds() {
        const auto [behind, answerAfter, ending, lasts] =
            test::fetch<QByteArray, double, QByteArray, double>("behind", "answerAfter", "ending", "lasts");
        Scripted s;
        s.port->onWrite = [&](const QByteArray& w, double t) {
            if (w == "**0100P4\r\n") s.port->arrive(t + 0.05, "*0001 14.7\r\n" + behind);
            if (w == "*9900VR\r\n") s.port->arrive(t + answerAfter, "*0001VR=5.10\r\n");
        };
        ContinuousReading r(s.channel());
        QCOMPARE(r.start("*0100P4", 1.0).value_or("none"), "*0001 14.7\r\n");
        if (behind.isEmpty()) {
            r.stop();
        } else {
            QCOMPARE(r.next(1.0), "Overflow");
            r.abandon();
        }
        QCOMPARE(s.port->writtenBytes(), "***0100P4\r\n" + ending);
        const auto& w = s.port->writes;
        QCOMPARE_LT(qAbs(s.clock.now() - w.last().time - lasts), 1e-6);
        QVERIFY(s.heard.lines.isEmpty()); // the first line is not shown, and an overflow is no reading
        QVERIFY(!r.running());
        // Nothing of the answer is left for the next open, nor comes after it.
        s.link->OpenPort(s.state.Link);
        QCOMPARE(s.port->bytesWaiting(), 0);
        QCOMPARE(s.link->ReadInput(2.0).value_or("none"), "none");
    }

    void probeOnASilentLine() {
        // Nothing ever comes back: every rate from 19200 down to 300 is tried with its own wait.
        Scripted s;
        QVERIFY(!detection::probeBaudRate(*s.link, "COM 1", s).has_value());
        QCOMPARE(s.rates, (QList<int>{19200, 9600, 4800, 2400, 1200, 600, 300}));
        QCOMPARE(s.port->writes.size(), 14);
        QCOMPARE(s.port->settings.baudRate, 300);
        // 0.3 s after each unfinished broadcast, then the waits: 2.5 s three times, 3.5, 4, 5.5, 10.5.
        QVERIFY2(qAbs(s.clock.now() - 33.1) < 0.01, qPrintable(QString::number(s.clock.now())));
        QVERIFY(!s.port->isOpen());
    }

    void owedAnswer() {
        // A pressure abandoned mid-measurement, then a temperature read through another window: owed,
        // the pressure is let pass and the read gets the temperature; not owed, it gets the pressure.
        for (const bool owed : {true, false}) {
            Bench b;
            b.inst("01").config().measurementSeconds = 0.4;
            b.link->OpenPort(b.state.Link);
            b.link->Output("*0100P3\r\n");
            if (owed) b.link->awaitAnswer(b.clock.now() + 2.0);
            b.link->ClosePort();
            const auto other = b.makeLink();
            const Reply q3 = sampleOnce(Channel{*other, b.state.Link, "*0100"}, "*0100Q3", 2.0);
            QString line = q3.line;
            QCOMPARE(qAbs(ReplyNumber(line).toDouble() - b.inst("01").temperatureReading(b.clock.now())) <
                         1.0,
                     owed);
            QVERIFY(!other->PortOpen() && !b.loop->attached());
        }
    }

    void echoPastAStrayLine() {
        // Another instrument's reading comes before the echo of a write: the echo is what is shown.
        Scripted s;
        s.port->onWrite = [&](const QByteArray& w, double t) {
            if (w.contains("DD=1")) s.port->arrive(t + 0.02, "*0002 14.7\r\n*0001DD=1\r\n");
        };
        QCOMPARE(writeOption(s.channel(), "DD", "1", 1.0), "*0001DD=1\r\n");
    }
};

QTEST_GUILESS_MAIN(TestTransactions)
#include "tst_transactions.moc"
