// Every entry point against every line fault, one row per entry point: no crash, the action over
// within its bound, one message at most and a documented one, the port released, and the same
// action working again once the fault is cleared.
#include "FaultMatrix.h"

using namespace cvi::test::matrix;

class TestFaultMatrix : public QObject {
    Q_OBJECT
private slots:
    void cells_data() {
        QTest::addColumn<int>("entry");
        const auto all = entries();
        for (int i = 0; i < all.size(); ++i)
            QTest::newRow(qPrintable(all[i].name)) << i;
    }
    void cells() {
        QFETCH(int, entry);
        const Entry e = entries()[entry];
        Bench b;
        if (e.prepare) e.prepare(b);
        QStringList failed;
        for (int f = 0; f < FaultNames.size(); ++f) {
            const Cell c = runCell(b, e, Fault(f));
            if (!c.problems.isEmpty()) failed << FaultNames[f] + ": " + (c.told + c.problems).join("; ");
        }
        QVERIFY2(failed.isEmpty(), qPrintable(failed.join("\n")));
    }
};

QTEST_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
