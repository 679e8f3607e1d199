// The measurement time-out: the formula of both forms as tables, and the Sampling page's PR, TR
// and T1 reads on a scripted port (bytes on the wire, values, failures, the bounded line).
#include "CoreBench.h"
#include "MeasureTimeout.h"
#include "ScriptedPort.h"

#include <QTest>

using namespace cvi;
using cvi::test::ScriptedPort;

class TestMeasureTimeout : public QObject {
    Q_OBJECT
private slots:
    // PR, TR and T1 as held (T1 empty: not read) and the communication time-out.
    void fromHeldValues_data() {
        QTest::addColumn<QString>("pr");
        QTest::addColumn<QString>("tr");
        QTest::addColumn<QString>("t1");
        QTest::addColumn<double>("comm");
        QTest::addColumn<int>("sampling");
        QTest::addColumn<int>("live");
        QTest::addColumn<int>("factor");
        QTest::newRow("worked example, T1 30.1") << "238"
                                                 << "956"
                                                 << "30.1" << 1.0 << 4 << 3 << 33;
        QTest::newRow("T1 35.2: R 2.0016") << "238"
                                           << "956"
                                           << "35.2" << 1.0 << 4 << 4 << 60;
        QTest::newRow("T1 33.5 rounds to 34") << "1000"
                                              << "956"
                                              << "33.5" << 1.0 << 8 << 8 << 60;
        QTest::newRow("T1 33.4 rounds to 33") << "1000"
                                              << "956"
                                              << "33.4" << 1.0 << 5 << 5 << 33;
        QTest::newRow("the largest resolutions") << "16383"
                                                 << "16383"
                                                 << "40" << 10.0 << 119 << 119 << 60;
        QTest::newRow("fractional time-out") << "238"
                                             << "956"
                                             << "30.1" << 0.36 << 3 << 3 << 33;
        QTest::newRow("PR held with a fraction rounds") << "909.5"
                                                        << "0"
                                                        << "30" << 0.0 << 4 << 4 << 33;
        QTest::newRow("T1 not read") << "238"
                                     << "956"
                                     << "" << 5.0 << 4 << 3 << 0;
    }
    void fromHeldValues() {
        QFETCH(QString, pr);
        QFETCH(QString, tr);
        QFETCH(QString, t1);
        QFETCH(double, comm);
        const measure::Inputs in{pr, tr, t1.isEmpty() ? std::nullopt : std::optional<double>(t1.toDouble()),
                                 comm};
        const measure::Result s = measure::sampling(in);
        const measure::Result l = measure::live(in);
        QTEST(s.timeout, "sampling");
        QTEST(l.timeout, "live");
        QTEST(s.periodFactor, "factor");
        QCOMPARE(l.periodFactor, s.periodFactor);
    }

    // The two roundings on R itself, where no whole PR and TR give it.
    void fromSeconds_data() {
        QTest::addColumn<double>("comm");
        QTest::addColumn<float>("r");
        QTest::addColumn<int>("sampling");
        QTest::addColumn<int>("live");
        QTest::newRow("C 1.5, R 0.5") << 1.5 << 0.5f << 4 << 4;
        QTest::newRow("C 1, R exactly 2.0") << 1.0 << 2.0f << 4 << 3;
        QTest::newRow("C 1, R 2.5") << 1.0 << 2.5f << 4 << 4;
        QTest::newRow("C 0, R 0") << 0.0 << 0.0f << 3 << 2;
    }
    void fromSeconds() {
        QFETCH(double, comm);
        QFETCH(float, r);
        QTEST(measure::samplingTimeout(comm, r), "sampling");
        QTEST(measure::liveTimeout(comm, r), "live");
    }

    void measurementSecondsAndRounding() {
        QCOMPARE(measure::measurementSeconds(33, 238, 956), 1.359f);
        QCOMPARE(measure::measurementSeconds(60, 238, 956), 2.0016f);
        QCOMPARE(QList<long long>({measure::roundHalfEven(32.5), measure::roundHalfEven(33.5),
                                   measure::roundHalfEven(-0.5), measure::roundHalfEven(2.51)}),
                 QList<long long>({32, 34, 0, 3}));
        QVERIFY(!measure::numberIn("") && !measure::numberIn("12a") &&
                measure::numberIn(" 238\r\n") == 238.0);
    }

    // The instrument's answer to PR (arriving 20 ms after the command, or never) and what the
    // read makes of it within a read time-out of 1.25 s.
    void readResolution_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<double>("spacing"); // seconds between its characters
        QTest::addColumn<QString>("value");  // "none": no value
        QTest::addColumn<double>("took");    // seconds from the write to the port's close
        QTest::newRow("three digits") << QByteArray("*0001PR=238\r\n") << 0.0 << "238" << 0.02;
        QTest::newRow("five digits") << QByteArray("*0001PR=16383\r\n") << 0.0 << "16383" << 0.02;
        QTest::newRow("slow characters within the time-out")
            << QByteArray("*0001PR=238\r\n") << 0.05 << "238" << 0.62;
        QTest::newRow("a line that never ends") << QByteArray("*0001PR=23") << 0.0 << "none" << 1.27;
        QTest::newRow("too slow to end in time") << QByteArray("*0001PR=238\r\n") << 0.2 << "none" << 1.27;
        QTest::newRow("not a number") << QByteArray("*0001PR=abc\r\n") << 0.0 << "none" << 0.02;
        QTest::newRow("silent") << QByteArray() << 0.0 << "none" << 3.25;
    }
    void readResolution() {
        QFETCH(QByteArray, reply);
        QFETCH(double, spacing);
        QFETCH(double, took);
        test::CoreBench b;
        auto owned = std::make_unique<ScriptedPort>(b.clock);
        ScriptedPort* port = owned.get();
        Link link(b.runtime, b.ports.map, std::move(owned));
        port->onWrite = [&](const QByteArray&, double t) {
            if (!reply.isEmpty()) port->arrive(t + 0.02, reply, spacing);
        };
        const double start = b.clock.now();
        const auto value = measure::readResolution(Channel{link, b.state.Link, "*0100"}, "PR", 1.25);
        QTEST(value.value_or("none"), "value");
        QCOMPARE(port->writtenBytes(), QByteArray("**0100PR\r\n"));
        QVERIFY(!port->isOpen());
        QVERIFY2(qAbs(b.clock.now() - start - took) < 0.015,
                 qPrintable(QString::number(b.clock.now() - start)));
    }

    void readT1() {
        test::CoreBench b;
        auto owned = std::make_unique<ScriptedPort>(b.clock);
        ScriptedPort* port = owned.get();
        Link link(b.runtime, b.ports.map, std::move(owned));
        QByteArray reply = "*0001T1=35.2\r\n";
        port->onWrite = [&](const QByteArray&, double t) {
            if (!reply.isEmpty()) port->arrive(t + 0.02, reply);
        };
        const Channel channel{link, b.state.Link, "*0100"};
        QCOMPARE(measure::readT1(channel, 1.0), std::optional<double>(35.2));
        QCOMPARE(port->writtenBytes(), QByteArray("*0100T1\r\n")); // one star only
        for (QByteArray bad : {QByteArray("*0001T1=x\r\n"), QByteArray("*0001T1=30\n"), QByteArray()}) {
            reply = bad;
            QCOMPARE(measure::readT1(channel, 1.0), std::nullopt);
            QVERIFY(!port->isOpen());
        }
    }
};

QTEST_GUILESS_MAIN(TestMeasureTimeout)
#include "tst_measuretimeout.moc"
