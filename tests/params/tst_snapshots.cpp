// Configuration snapshots through the main window on the simulated loop: Save, Compare and Restore
// in turn, and the saved document against the one cvictl reads.
#include "Cli.h"
#include "PageBench.h"

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
        QString out;
        ctl::Context context{b.runtime, {}, QProcessEnvironment(), b.dir.path()};
        context.makePort = [&b](const QString&) { return std::make_unique<sim::SimPort>(*b.loop); };
        const ctl::Io io{[&out](const QString& t) { out += t; }, [](const QString&) {}};
        QCOMPARE(ctl::run({"--device", "sim", "read", "--id", "01", "--json"}, context, io), 0);
        QJsonObject cvictl = QJsonDocument::fromJson(out.toUtf8()).object(), window = b.saved();
        QVERIFY(cvictl.take("port").isObject() && window.take("port").isObject());
        QCOMPARE(QJsonDocument(window).toJson(), QJsonDocument(cvictl).toJson());
    }
};

QTEST_MAIN(TestSnapshots)
#include "tst_snapshots.moc"
