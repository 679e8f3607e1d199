// The measurement time-out: the formula of both forms as tables, and the Sampling page's PR, TR
// and T1 reads on a scripted port (bytes on the wire, values, failures, the bounded line).
#include "CoreBench.h"
#include "MeasureTimeout.h"
#include "ScriptedPort.h"
#include "Tables.h"

#include <QTest>

using namespace cvi;

class TestMeasureTimeout : public QObject {
    Q_OBJECT
private slots:
    // PR, TR and T1 as held (T1 empty: not read; "R=" a measurement time given directly), the
    // communication time-out, and the results of both forms with the pressure-period factor.
    void formula_data() {
        for (const char* c : {"pr", "tr", "t1", "comm", "sampling", "live", "factor"})
            QTest::addColumn<QString>(c);
        const QList<QPair<const char*, QString>> rows{{"worked example, T1 30.1", "238|956|30.1|1|4|3|33"},
                                                      {"T1 35.2: R 2.0016", "238|956|35.2|1|4|4|60"},
                                                      {"T1 33.5 rounds to 34", "1000|956|33.5|1|8|8|60"},
                                                      {"T1 33.4 rounds to 33", "1000|956|33.4|1|5|5|33"},
                                                      {"PR 909.5 rounds up", "909.5|0|30|0|4|4|33"},
                                                      {"PR 500.5 rounds to even", "500.5|0|40|0|4|3|60"},
                                                      {"T1 not read", "238|956||5|4|3|0"},
                                                      {"C 1.5, R 0.5", "R=0.5|||1.5|4|4|0"},
                                                      {"C 1, R exactly 2.0", "R=2.0|||1|4|3|0"},
                                                      {"C 0, R 0", "R=0|||0|3|2|0"}};
        for (const auto& [name, cells] : rows) {
            QTestData& row = QTest::newRow(name);
            for (const QString& cell : cells.split('|'))
                row << cell;
        }
    }
    void formula() {
        const auto [pr, t1, comm] = test::fetch<QString, QString, QString>("pr", "t1", "comm");
        const double c = comm.toDouble();
        if (pr.startsWith("R=")) {
            const float r = pr.mid(2).toFloat();
            QTEST(QString::number(measure::samplingTimeout(c, r)), "sampling");
            QTEST(QString::number(measure::liveTimeout(c, r)), "live");
            return;
        }
        QFETCH(QString, tr);
        const measure::Inputs in{pr, tr, t1.isEmpty() ? std::nullopt : std::optional<double>(t1.toDouble()),
                                 c};
        QTEST(QString::number(measure::sampling(in).timeout), "sampling");
        QTEST(QString::number(measure::live(in).timeout), "live");
        QTEST(QString::number(measure::sampling(in).periodFactor), "factor");
        QCOMPARE(measure::live(in).periodFactor, measure::sampling(in).periodFactor);
    }

    // The instrument's answer (20 ms after the command, its characters `spacing` apart) and what
    // the read makes of it within a read time-out of 1.25 s.
    void reads_data() {
        // value: "none": no value; took: seconds from the write to the port's close
        test::columns<QString, QByteArray, double, QString, double>("mnemonic", "reply", "spacing", "value",
                                                                    "took");
        QTest::newRow("PR") << "PR" << QByteArray("*0001PR=238\r\n") << 0.0 << "238" << 0.02;
        QTest::newRow("slow, within the time-out")
            << "TR" << QByteArray("*0001TR=952\r\n") << 0.05 << "952" << 0.62;
        QTest::newRow("a line that never ends") << "PR" << QByteArray("*0001PR=23") << 0.0 << "none" << 1.27;
        QTest::newRow("too slow to end in time")
            << "PR" << QByteArray("*0001PR=238\r\n") << 0.2 << "none" << 1.27;
        QTest::newRow("PR no number") << "PR" << QByteArray("*0001PR=abc\r\n") << 0.0 << "none" << 0.02;
        QTest::newRow("PR silent") << "PR" << QByteArray() << 0.0 << "none" << 3.25;
        QTest::newRow("T1") << "T1" << QByteArray("*0001T1=35.2\r\n") << 0.0 << "35.2" << 0.02;
        QTest::newRow("T1 no number") << "T1" << QByteArray("*0001T1=x\r\n") << 0.0 << "none" << 0.02;
        QTest::newRow("T1 silent") << "T1" << QByteArray() << 0.0 << "none" << 1.25;
    }
    void reads() {
        const auto [mnemonic, reply, spacing] =
            test::fetch<QString, QByteArray, double>("mnemonic", "reply", "spacing");
        test::CoreBench b;
        auto owned = std::make_unique<test::ScriptedPort>(b.clock);
        test::ScriptedPort* port = owned.get();
        Link link(b.runtime, b.ports.map, std::move(owned));
        port->onWrite = [&](const QByteArray&, double t) {
            if (!reply.isEmpty()) port->arrive(t + 0.02, reply, spacing);
        };
        const double start = b.clock.now();
        const Channel channel{link, b.state.Link, "*0100"};
        std::optional<QString> value;
        if (mnemonic == "T1") {
            if (const auto t1 = measure::readT1(channel, 1.25)) value = QString::number(*t1);
        } else {
            value = measure::readResolution(channel, mnemonic, 1.25);
        }
        QTEST(value.value_or("none"), "value");
        // PR and TR with two stars, T1 with one.
        QCOMPARE(port->writtenBytes(),
                 (mnemonic == "T1" ? "*0100" : "**0100") + mnemonic.toLatin1() + "\r\n");
        QVERIFY(!port->isOpen());
        QFETCH(double, took);
        QCOMPARE_LT(qAbs(b.clock.now() - start - took), 0.015);
    }
};

QTEST_GUILESS_MAIN(TestMeasureTimeout)
#include "tst_measuretimeout.moc"
