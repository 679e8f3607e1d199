// Configuration snapshots and the change journal through the main window and cvictl on the
// simulated loop: Save, Compare and Restore in turn, the saved document against the one cvictl
// reads, and the journal's row of every kind of write.
#include "Cli.h"
#include "Discovery.h"
#include "Journal.h"
#include "PageBench.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace cvi;
using namespace cvi::test;

namespace {
struct SnapshotBench : PageBench {
    QTemporaryDir dir;
    QString file = dir.filePath("01.json");
    SnapshotBench() {
        state.ProgramFolder = dir.path();
        op.saveAnswer = op.openAnswer = file;
        startConfiguration();
    }
    // Compare With File: the rows that differ, "name=instrument/file" each.
    QString differences() {
        QStringList out;
        op.dialogs.enqueue([&out](QDialog& d) {
            auto* t = d.findChild<QTableWidget*>("tblCompare");
            for (int r = 0; r < t->rowCount(); ++r)
                if (t->item(r, 3)->text() != "No")
                    out << t->item(r, 0)->text() + "=" + t->item(r, 1)->text() + "/" + t->item(r, 2)->text();
            return int(QDialog::Rejected);
        });
        main->action("mnuCompareConfig")->trigger();
        return out.join('|');
    }
    // cvictl in process on the same loop and folder; what it prints.
    QString cvictl(const QStringList& args, int status = 0) {
        QString out;
        ctl::Context context{runtime, {}, QProcessEnvironment(), dir.path()};
        context.makePort = [this](const QString&) { return std::make_unique<sim::SimPort>(*loop); };
        const ctl::Io io{[&out](const QString& t) { out += t; }, [](const QString&) {}};
        const int ended = ctl::run(QStringList{"--device", "sim", "--baud", "9600"} + args, context, io);
        if (ended != status) qWarning("cvictl %s ended %d", qPrintable(args.join(' ')), ended);
        return out;
    }
    // The journal's newest rows, oldest of them first: "tool id serial parameter before>written
    // echo confirmed", "|" between rows.
    QString journalRows(int newest) {
        QStringList out;
        for (const journal::Row& r :
             journal::load(dir.path(), {}, {}, nullptr).value_or(QList<journal::Row>()))
            out.prepend(QStringList{r.tool, r.id, r.serial, r.parameter, r.before + ">" + r.written, r.echo,
                                    r.confirmed ? "yes" : "no"}
                            .join(' '));
        return out.mid(qMax<qsizetype>(0, out.size() - newest)).join('|');
    }
    QJsonObject saved() {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
    }
};
} // namespace

class TestSnapshots : public QObject {
    Q_OBJECT
private slots:
    // Save, compare clean, change a value box, compare shows it, restore (the lines shown, then
    // sent and confirmed), compare clean again and the instrument holds the file's value.
    void saveCompareRestore() {
        SnapshotBench b;
        b.main->action("mnuSaveConfig")->trigger();
        QVERIFY(b.op.messages.isEmpty() && !b.saved().isEmpty());
        QCOMPARE(b.differences(), QString());
        b.edit("lblLH", "25.5");
        QCOMPARE(b.differences(), "LH=25.5/30.0000");
        QString shown;
        b.op.dialogs.enqueue([&shown](QDialog& d) {
            shown = d.findChild<QPlainTextEdit*>("txtRestoreLines")->toPlainText();
            d.findChild<QAbstractButton*>("cmdRestoreOK")->click();
            return d.result();
        });
        b.wire().clear();
        b.op.messages.clear();
        b.main->action("mnuRestoreConfig")->trigger();
        QCOMPARE(shown, "LH: *\nLH: **0100EW*0100LH=30.0000<CR><LF>");
        QCOMPARE(b.lines(), (QStringList{"*", "**0100EW*0100LH=30.0000\r\n"}));
        QCOMPARE(b.told(), "Restore From File: LH=30.0000 confirmed (*0001LH=30.0000<CR><LF>)");
        QCOMPARE(b.inst("01").param("LH"), "30.0000");
        QCOMPARE(b.text("lblLH"), "30.0000");
        QCOMPARE(b.differences(), QString());
    }

    // The window's document is the one 'cvictl read --json' prints of the same instrument, but
    // for the port it names; each tool's Compare and apply read the other's.
    void sameDocumentAsCvictl() {
        SnapshotBench b;
        b.main->action("mnuSaveConfig")->trigger();
        QJsonObject cvictl =
                        QJsonDocument::fromJson(b.cvictl({"read", "--id", "01", "--json"}).toUtf8()).object(),
                    window = b.saved();
        QVERIFY(cvictl.take("port").isObject() && window.take("port").isObject());
        QCOMPARE(QJsonDocument(window).toJson(), QJsonDocument(cvictl).toJson());
    }

    // One row for each kind of write, committed as it went out, with the value shown before, the
    // echo and the tool; a write without a confirming echo is kept as not confirmed.
    void journalRows_data() {
        table({"rows"}, {{"value box", "cvi 01 104512 LH 30.0000>25.5 *0001LH=25.5 yes"},
                         {"option dialog", "cvi 01 104512 DP 4>2 *0001DP=2 yes"},
                         {"Units", "cvi 01 104512 UN psi>4 *0001UN=4 yes"},
                         {"Communication Setup", "cvi 99  PT N>N  no|cvi 99  BR 9600>4800  no"},
                         {"Renumber", "cvi 99  ID 01>05  no"},
                         {"restore", "cvi 01 104512 LH 25.5>30.0000 *0001LH=30.0000 yes"},
                         {"cvictl set", "cvictl 01  PR >400 *0001PR=400 yes|cvictl 01  DD >1 *0001DD=1 yes"},
                         {"cvictl apply", "cvictl 01 104512 LH 20>30.0000 *0001LH=30.0000 yes"},
                         {"cvictl link", "cvictl 99  PT N>N  no|cvictl 99  BR 9600>4800  no"},
                         {"cvictl renumber", "cvictl 99  ID 01>20  no"}});
    }
    void journalRows() {
        const QString write = QTest::currentDataTag();
        SnapshotBench b;
        installDiscovery(b.host());
        int rows = 1;
        if (write == "restore" || write == "cvictl apply") b.main->action("mnuSaveConfig")->trigger();
        if (write == "value box" || write == "restore") b.edit("lblLH", "25.5");
        if (write == "option dialog" || write == "Units") {
            b.answerDialog(write == "Units" ? "OptUN4" : "OptDp2");
            b.click(write == "Units" ? "lblUnit" : "lblDP");
        }
        if (write == "Communication Setup") {
            b.op.dialogs.enqueue([](QDialog& d) {
                d.findChild<QAbstractButton*>("Opt4800")->click();
                d.findChild<QAbstractButton*>("CmdOK")->click();
                return d.result();
            });
            b.main->setActionEnabled("mnuSettings", true); // as after a detection
            b.main->action("mnuSettings")->trigger();
            rows = 2;
        }
        if (write == "Renumber") {
            b.op.answers.enqueue("5");
            b.host().requestRenumbering(nullptr);
        }
        if (write == "restore") {
            b.op.dialogs.enqueue([](QDialog&) { return int(QDialog::Accepted); });
            b.main->action("mnuRestoreConfig")->trigger();
        }
        if (write == "cvictl set") b.cvictl({"set", "--id", "01", "PR=400", "DD=1"}), rows = 2;
        if (write == "cvictl apply")
            b.cvictl({"set", "--id", "01", "LH=20"}), b.cvictl({"apply", "--id", "01", b.file});
        if (write == "cvictl link") b.cvictl({"link", "--current-baud", "9600", "--baud", "4800"}), rows = 2;
        if (write == "cvictl renumber") b.cvictl({"renumber", "--to", "20"});
        QTEST(b.journalRows(rows), "rows");
    }

    // cvictl journal: newest first, of one serial number, from a date, as CSV and JSON.
    void cvictlJournal() {
        SnapshotBench b;
        b.edit("lblLH", "25.5");
        b.cvictl({"set", "--id", "02", "PR=400"});
        const QStringList csv =
            b.cvictl({"journal", "--sn", "104512", "--csv"}).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(csv.size(), 2);
        QCOMPARE(csv[0], "Time,Port,ID,Serial,Parameter,Before,Written,Echo,Confirmed,Tool");
        QVERIFY2(csv[1].endsWith(",01,104512,LH,30.0000,25.5,*0001LH=25.5,yes,cvi"), qPrintable(csv[1]));
        const QJsonArray rows =
            QJsonDocument::fromJson(b.cvictl({"journal", "--json"}).toUtf8())["rows"].toArray();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0]["tool"].toString() + rows[0]["id"].toString() + rows[1]["tool"].toString(),
                 "cvictl02cvi");
        QCOMPARE(b.cvictl({"journal", "--since", "2099-01-01"}), "# no changes recorded");
        QCOMPARE(b.cvictl({"journal", "--since", QDate::currentDate().toString(Qt::ISODate)}).count('\t'),
                 18);
        b.cvictl({"journal", "--since", "yesterday"}, 2);
    }

    // The journal's times carry their offset in digits, UTC too; a CSV field quotes what would
    // split or end it.
    void timesAndCsv() {
        const QDateTime t(QDate(2026, 12, 7), QTime(9, 5, 3), Qt::UTC);
        QCOMPARE(journal::isoTime(t) + journal::isoTime(t.toOffsetFromUtc(-16200)),
                 "2026-12-07T09:05:03+00:002026-12-07T04:35:03-04:30");
        journal::Row r;
        r.echo = "*0001UM=\"in\",x";
        QVERIFY2(journal::csv({r}).contains(",\"*0001UM=\"\"in\"\",x\","), qPrintable(journal::csv({r})));
    }

    // A journal that cannot be written: one warning a session, and every write still goes out.
    void unwritableJournal() {
        SnapshotBench b;
        QVERIFY(QDir(b.dir.path()).mkdir("Journal.db"));
        b.edit("lblLH", "25.5");
        b.edit("lblLL", "-5");
        QCOMPARE(b.op.messages.size(), 1);
        QVERIFY2(b.told().startsWith("Warning: The change journal " + b.dir.filePath("Journal.db") +
                                     " could not be written ("),
                 qPrintable(b.told()));
        QCOMPARE(b.inst("01").param("LH") + " " + b.inst("01").param("LL"), "25.5 -5");
        QCOMPARE(b.text("lblLL"), "-5");
    }
};

QTEST_MAIN(TestSnapshots)
#include "tst_snapshots.moc"
