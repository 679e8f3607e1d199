// The cvictl executable against cvi-sim through the real serial port on a pseudo-terminal.
#include "Journal.h"
#include "SimProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {
struct Run {
    int status = -1;
    QJsonObject json;
    QByteArray err;
};

Run cvictl(const QString& link, const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(CVICTL_PATH), QStringList{"--port", link, "--json"} + args);
    Run r;
    if (!p.waitForFinished(60000)) return r;
    r.status = p.exitCode();
    r.json = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    r.err = p.readAllStandardError();
    return r;
}
} // namespace

class TestCvictlEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void detectSetAndReadThroughThePort() {
        SimProcess sim;
        QVERIFY(sim.start({"--baud", "2400", "--parity", "E", "--ids", "04,05"}));
        const Run detect = cvictl(sim.link, {"detect"});
        QCOMPARE(detect.status, 0);
        QCOMPARE(detect.json["port"]["baud"].toInt(), 2400);
        QCOMPARE(detect.json["port"]["parity"].toString(), "E");
        QCOMPARE(detect.json["instruments"].toArray().size(), 2);
        QVERIFY(detect.err.contains("probing at 2400 baud"));

        const QStringList at{"--baud", "2400", "--parity", "E"};
        QCOMPARE(cvictl(sim.link, at + QStringList{"set", "--id", "05", "DP=2"}).status, 0);
        const Run read = cvictl(sim.link, at + QStringList{"read", "--id", "05"});
        QCOMPARE(read.status, 0);
        QString dp;
        for (const QJsonValue& p : read.json["parameters"].toArray())
            if (p["name"] == "DP") dp = p["value"].toString();
        QCOMPARE(dp, "2");
        QCOMPARE(cvictl(sim.link + "-missing", {"read", "--id", "05"}).status, 4);

        SimProcess pulled; // the adapter goes in the middle of the exchange: exit 4, one line
        QVERIFY(
            pulled.startWithConfig(R"({"baud": 9600, "lostAfterWrites": 2, "instruments": [{"id": "01"}]})"));
        const Run lost = cvictl(pulled.link, {"--baud", "9600", "read", "--id", "01"});
        QCOMPARE(lost.status, 4);
        QCOMPARE(lost.err.count('\n'), 1);
    }

    // cvictl killed (SIGKILL) as soon as its second write is in the journal, with more to come: both
    // rows are there, whole, and the journal still takes rows afterwards.
    void killedBetweenTwoWrites() {
        SimProcess sim;
        QVERIFY(sim.start({"--baud", "2400", "--ids", "05"}));
        QTemporaryDir folder;
        QProcess p;
        p.start(QStringLiteral(CVICTL_PATH),
                {"--port", sim.link, "--folder", folder.path(), "--baud", "2400", "set", "--id", "05", "DP=2",
                 "LL=5", "LH=25", "OP=40", "PR=400", "DD=1"});
        QVERIFY(p.waitForStarted(5000));
        QList<cvi::journal::Row> rows;
        QElapsedTimer t;
        t.start();
        while (rows.size() < 2 && p.state() == QProcess::Running && t.elapsed() < 30000)
            rows = cvi::journal::load(folder.path(), {}, {}, nullptr).value_or(rows);
        QVERIFY2(p.state() == QProcess::Running, "cvictl ended before it could be killed");
        p.kill();
        QVERIFY(p.waitForFinished(5000) && p.exitStatus() == QProcess::CrashExit);
        rows = *cvi::journal::load(folder.path(), {}, {}, nullptr);
        QVERIFY(rows.size() >= 2 && rows.size() < 6);
        for (int i = 0; i < 2; ++i) {
            const cvi::journal::Row& r = rows[rows.size() - 1 - i];
            QCOMPARE(r.parameter + "=" + r.written + " " + r.echo,
                     (QStringList{"DP=2 *0005DP=2", "LL=5 *0005LL=5"}[i]));
            QVERIFY(r.confirmed && r.tool == "cvictl" && r.id == "05" &&
                    cvi::journal::parseSince(r.time).isValid());
        }
        QCOMPARE(cvictl(sim.link, {"--folder", folder.path(), "--baud", "2400", "set", "--id", "05", "DP=3"})
                     .status,
                 0);
        QCOMPARE(cvi::journal::load(folder.path(), {}, {}, nullptr)->first().written, "3");
    }
};

QTEST_GUILESS_MAIN(TestCvictlEndToEnd)
#include "tst_cvictl_e2e.moc"
