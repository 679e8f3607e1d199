// The cvictl executable against cvi-sim through the real serial port on a pseudo-terminal.
#include "SimProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

class TestCvictlEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void detectSetAndReadThroughThePort();
};

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

void TestCvictlEndToEnd::detectSetAndReadThroughThePort() {
    SimProcess sim;
    QVERIFY(sim.start({"--baud", "2400", "--parity", "E", "--ids", "04,05"}));
    const Run detect = cvictl(sim.link, {"detect"});
    QCOMPARE(detect.status, 0);
    QCOMPARE(detect.json["port"]["baud"].toInt(), 2400);
    QCOMPARE(detect.json["port"]["parity"].toString(), QStringLiteral("E"));
    QCOMPARE(detect.json["instruments"].toArray().size(), 2);
    QVERIFY(detect.err.contains("probing at 2400 baud"));

    const QStringList at{"--baud", "2400", "--parity", "E"};
    QCOMPARE(cvictl(sim.link, at + QStringList{"set", "--id", "05", "DP=2"}).status, 0);
    const Run read = cvictl(sim.link, at + QStringList{"read", "--id", "05"});
    QCOMPARE(read.status, 0);
    QString dp;
    for (const QJsonValue& p : read.json["parameters"].toArray())
        if (p["name"] == "DP") dp = p["value"].toString();
    QCOMPARE(dp, QStringLiteral("2"));
    QCOMPARE(cvictl(sim.link + "-missing", {"read", "--id", "05"}).status, 4);

    SimProcess pulled; // the adapter goes in the middle of the exchange: exit 4, one line
    QVERIFY(pulled.startWithConfig(R"({"baud": 9600, "lostAfterWrites": 2, "instruments": [{"id": "01"}]})"));
    const Run lost = cvictl(pulled.link, {"--baud", "9600", "read", "--id", "01"});
    QCOMPARE(lost.status, 4);
    QCOMPARE(lost.err.count('\n'), 1);
}

QTEST_GUILESS_MAIN(TestCvictlEndToEnd)
#include "tst_cvictl_e2e.moc"
