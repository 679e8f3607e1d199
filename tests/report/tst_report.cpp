// The coefficient report on the parameter pages and the simulated loop: the record the table
// "report" keeps, the PDF, and what the operator is told when the database, the template or the
// printer fails.
#include "../params/PageBench.h"
#include "Journal.h"
#include "Report.h"
#include "ReportDatabase.h"
#include "ScratchMount.h"

#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

using namespace cvi;
using namespace cvi::test;

namespace {
struct ReportBench : PageBench {
    QTemporaryDir dir;
    QString folder = dir.path();
    QString opened; // the Report Information dialog as the operator last found it

    explicit ReportBench(const sim::LoopConfig& config = sim::LoopConfig::demo()) : PageBench(config) {
        state.ProgramFolder = folder;
        installReport(host());
        op.saveAnswer = folder + "/out";
        startConfiguration();
    }
    // The operator finds the dialog (see `opened`), types the heading (company|model|range|changes
    // since, ISO; "-" closes the dialog without OK) and picks an output in "Print Report"; the PDF goes
    // to out.pdf.
    void report(const QString& heading, const QString& output = "cmdSavePdf",
                std::function<int(QDialog&)> printDialog = {}) {
        op.dialogs.enqueue([this, heading](QDialog& d) {
            opened = d.objectName() + "|" + d.windowTitle();
            for (auto* l : d.findChildren<QLabel*>())
                opened += "|" + l->text();
            for (auto* e : d.findChildren<QLineEdit*>())
                opened += "|" + e->objectName() + "=" + e->text();
            const QStringList t = heading.split('|');
            if (t[0] == "-") return int(QDialog::Rejected);
            int i = 0;
            for (const char* box : {"txtCompanyName", "txtInstrumentModel", "txtPressureRange"})
                d.findChild<QLineEdit*>(box)->setText(t.value(i++));
            if (t.size() > 3)
                d.findChild<QDateTimeEdit*>("dtpChangesSince")->setDateTime(journal::parseSince(t[3]));
            d.findChild<QAbstractButton*>("CmdOK")->click();
            return d.result();
        });
        op.dialogs.enqueue([output](QDialog& d) {
            d.findChild<QAbstractButton*>(output)->click();
            return d.result();
        });
        if (printDialog) op.dialogs.enqueue(printDialog);
        main->action("mnuPrint")->trigger();
    }
    // "Customer/Model/Pressure Range/SN/PR/UN/OP/C1" of every record in the table, "|" between records.
    QString records() {
        QStringList out;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
            db.setDatabaseName(folder + "/Report.mdb");
            QSqlQuery q(db.open() ? db : QSqlDatabase());
            q.exec("SELECT Customer, Model, \"Pressure Range\", SN, PR, UN, OP, C1 FROM report");
            while (q.next()) {
                QStringList r;
                for (int i = 0; i < 8; ++i)
                    r << q.value(i).toString();
                out << r.join('/');
            }
        }
        QSqlDatabase::removeDatabase("check");
        return out.join('|');
    }
    QString pdfText(const QString& file) {
        QProcess p;
        p.start("pdftotext", {"-layout", file, "-"});
        p.waitForFinished();
        // Ligatures ("ﬁ") as plain letters; the columns' spacing does not matter.
        return QString::fromUtf8(p.readAllStandardOutput())
            .normalized(QString::NormalizationForm_KC)
            .remove(QRegularExpression("\\s"));
    }
};
} // namespace

class TestReport : public QObject {
    Q_OBJECT
private slots:
    // Two reports in a row after the Configuration page of an instrument without overpressure
    // limit was read: one record, trimmed, OP "-" as its box shows it, the coefficients of the
    // Calibration page never read empty; the dialog empty again at its second opening; the PDF,
    // from the built-in template (there is no report.rpt in the folder), holds the title and the
    // values.
    void twoReports() {
        sim::LoopConfig loop = sim::LoopConfig::numbered(1);
        loop.instruments[0].version = "M5.10";
        loop.instruments[0].serial = "104512";
        ReportBench b(loop);
        b.report("First|M1|0-1 bar");
        QCOMPARE(b.records(), "First/M1/0-1 bar/104512/238/psi/-/");
        b.report("  Acme Ltd \t| 8000-50 |  0 to 30 psia ");
        QCOMPARE(b.records(), "Acme Ltd/8000-50/0 to 30 psia/104512/238/psi/-/");
        QVERIFY(b.op.messages.isEmpty() && b.lines().isEmpty()); // no instrument is contacted
        QCOMPARE(b.opened, "frmReportInfo|Report Information|Company Name   :|Instrument Model :|"
                           "Pressure Range  :|Changes since  :|txtCompanyName=|txtInstrumentModel=|"
                           "txtPressureRange=|qt_spinbox_lineedit=" +
                               journal::programStarted().toString("yyyy-MM-dd HH:mm:ss"));
        const QString text = b.pdfText(b.folder + "/out.pdf");
        for (const char* shown :
             {"Corvanel® Intelligent Instrument Configuration Report", "Company Name Acme Ltd",
              "Serial Number (SN) 104512", "Pressure (PR) 238", "Unit (UN) psi", "Limit (OP) -"})
            QVERIFY2(text.contains(QString::fromUtf8(shown).remove(' ')), shown);
        QVERIFY(!pointerIsBusy());
    }

    // As found and as left: the values written to the reported instrument since the time the dialog
    // offers, oldest first; another instrument's rows and older ones are left out. The footer tells
    // when and by which version the report was made; the table keeps its 54 fields.
    void asFoundAsLeft_data() {
        table({"since", "listed", "left out"},
              {{"program start", "", "LL-10-5|LH30.000025.5", "YY|XX"},
               {"a later time", "2099-01-01", "Nochangeswerewrittentothisinstrument.", "LL-10|YY|XX"}});
    }
    void asFoundAsLeft() {
        const auto [since, listed, leftOut] = cells("since", "listed", "left out");
        sim::LoopConfig loop = sim::LoopConfig::numbered(1);
        loop.instruments[0].serial = "104512";
        loop.instruments[0].params.insert("LL", "-10");
        ReportBench b(loop);
        const QString now = journal::isoTime(QDateTime::currentDateTime());
        QVERIFY(journal::append(
            b.folder, {"2020-01-01T00:00:00+00:00", "", "01", "104512", "YY", "3", "7", "", true, "cvi"},
            {}));
        b.edit("lblLL", "-5");
        b.edit("lblLH", "25.5");
        QVERIFY(journal::append(b.folder, {now, "", "02", "104513", "XX", "1", "2", "", true, "cvi"}, {}));
        b.report("Acme|M|R" + (since.isEmpty() ? QString() : "|" + since));
        QCOMPARE(b.told(), QString());
        const QString text = b.pdfText(b.folder + "/out.pdf");
        if (qEnvironmentVariableIsSet("CVI_KEEP_REPORT")) // a copy of the page for the manual
            QFile::copy(b.folder + "/out.pdf", qEnvironmentVariable("CVI_KEEP_REPORT"));
        const QString from = since.isEmpty() ? journal::programStarted().toString(Qt::ISODate) : since;
        QVERIFY2(text.contains("Changessince" + from.left(16)), qPrintable(text));
        qsizetype at = 0;
        for (const QString& row : items(listed)) { // each with its time, in this order
            const qsizetype found = text.indexOf(row + (row.startsWith("L") ? now.left(13) : ""), at);
            QVERIFY2(found >= at, qPrintable(row + " in " + text));
            at = found;
        }
        for (const QString& gone : items(leftOut))
            QVERIFY2(!text.contains(gone), qPrintable(gone));
        QVERIFY(text.contains("Made" + now.left(10)));
        QVERIFY(text.contains("withCorvanelInteractive" CVI_VERSION "Page1of1"));
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fields");
        db.setDatabaseName(b.folder + "/Report.mdb");
        QSqlQuery q(db.open() ? db : QSqlDatabase());
        QVERIFY(q.exec("SELECT * FROM report") && q.next());
        QCOMPARE(q.record().count(), 54);
    }

    // A first report, then `setup` and a second one. told: the message, %F the program folder, %M
    // a small file system of its own (read-only or full: the folder, "pdf full": the PDF's);
    // records: the table afterwards; pdf: a text of the second PDF, empty when none was written.
    void settles_data() {
        table(
            {"setup", "heading", "output", "told", "records", "pdf"},
            {{"closed without OK", "", "-", "cmdSavePdf", "", "First", ""},
             {"output cancelled", "", "Acme", "CmdCancel", "", "Acme", ""},
             {"template beside the program", "local", "Acme", "cmdSavePdf", "", "Acme",
              "Local report 104512"},
             {"template names no field", "unknown", "Acme", "cmdSavePdf",
              "Error: The report template %F/report.rpt cannot be used:\nit names no report field "
              "\"Nonsense\".",
              "Acme", ""},
             {"template of another program", "binary", "Acme", "cmdSavePdf",
              "Error: The report template %F/report.rpt cannot be used:\nit is not a text file.", "Acme", ""},
             {"folder is a file", "file", "Acme", "cmdSavePdf",
              "Error: The report could not be stored in %F/x/Report.mdb:\n%F/x is not a folder.", "First",
              ""},
             {"not a database", "garbage", "Acme", "cmdSavePdf",
              "Error: The report could not be stored in %F/Report.mdb:\nfile is not a database.", "", ""},
             {"database locked", "locked", "Acme", "cmdSavePdf",
              "Error: The report could not be stored in %F/Report.mdb:\ndatabase is locked.", "First", ""},
             {"another program writing", "reserved", "Acme", "cmdSavePdf",
              "Error: The report could not be stored in %F/Report.mdb:\ndatabase is locked.", "First", ""},
             {"folder read-only", "readonly", "Acme", "cmdSavePdf",
              "Error: The report could not be stored in %M/Report.mdb:\nattempt to write a readonly "
              "database.",
              "First", ""},
             {"disk full", "full", "Acme", "cmdSavePdf",
              "Error: The report could not be stored in %M/Report.mdb:\ndatabase or disk is full.", "First",
              ""},
             {"PDF on a full disk", "pdf full", "Acme", "cmdSavePdf",
              "Error: The report could not be written to %M/out.pdf:\nNo space left on device.", "Acme", ""},
             {"PDF folder missing", "nofolder", "Acme", "cmdSavePdf",
              "Error: The report could not be written to /none/out.pdf:\nNo such file or directory.", "Acme",
              ""},
             {"printer fails", "", "Acme", "cmdPrint",
              "Error: The report could not be printed on /none/x.pdf.", "Acme", ""},
             {"printed to a file", "", "Acme", "cmdPrint", "", "Acme", "Company Name Acme"},
             {"preview", "", "Acme", "cmdPreview", "", "Acme", ""}});
    }
    void settles() {
        const auto [setup, heading, output] = cells("setup", "heading", "output");
        std::unique_ptr<ScratchMount> disk;
        if (setup == "readonly" || setup.endsWith("full")) {
            disk = std::make_unique<ScratchMount>(128);
            if (!disk->ok()) QSKIP(qPrintable(disk->why()));
        }
        ReportBench b;
        if (setup == "readonly" || setup == "full") b.state.ProgramFolder = b.folder = disk->path();
        b.report("First");
        QFile::remove(b.folder + "/out.pdf");
        QFile rpt(b.folder + "/report.rpt");
        if (setup == "local" || setup == "unknown" || setup == "binary") {
            QVERIFY(rpt.open(QIODevice::WriteOnly));
            rpt.write(setup == "local"     ? "<p>Local report {{ SN }}</p>"
                      : setup == "unknown" ? "<p>{{Nonsense}}</p>"
                                           : QByteArray("\x00\x01{{SN}}", 8));
            rpt.close();
        }
        if (setup == "file") {
            QFile f(b.folder + "/x");
            QVERIFY(f.open(QIODevice::WriteOnly));
            b.state.ProgramFolder = f.fileName();
        }
        if (setup == "nofolder") b.op.saveAnswer = "/none/out";
        if (setup == "pdf full") b.op.saveAnswer = disk->filePath("out");
        const auto onDisk = [&disk] {
            return disk ? QDir(disk->path()).entryList(QDir::Files | QDir::Hidden) : QStringList();
        };
        if (setup == "readonly") QVERIFY(disk->readOnly());
        if (setup.endsWith("full")) QVERIFY(disk->fill());
        const QStringList kept = onDisk();
        if (setup == "garbage") {
            QFile f(b.folder + "/Report.mdb");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        }
        QSqlDatabase lock = QSqlDatabase::addDatabase("QSQLITE", "lock");
        lock.setDatabaseName(b.folder + "/Report.mdb");
        if (setup == "locked" || setup == "reserved")
            QVERIFY(lock.open() &&
                    QSqlQuery(lock).exec(setup == "locked" ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE"));
        int previewPages = 0;
        b.report(heading, output, [&b, &previewPages](QDialog& d) {
            if (auto* preview = d.findChild<QPrintPreviewWidget*>()) {
                preview->updatePreview();
                previewPages = preview->pageCount();
                return 0;
            }
            const bool fails = QTest::currentDataTag() == QString("printer fails");
            static_cast<QPrintDialog&>(d).printer()->setOutputFileName(fails ? "/none/x.pdf"
                                                                             : b.folder + "/out.pdf");
            return int(QDialog::Accepted);
        });
        if (lock.isOpen()) QSqlQuery(lock).exec("ROLLBACK");
        lock.close();
        lock = QSqlDatabase();
        QSqlDatabase::removeDatabase("lock");

        QFETCH(QString, told);
        QCOMPARE(b.told(), told.replace("%F", b.folder).replace("%M", disk ? disk->path() : ""));
        QCOMPARE(onDisk(), kept); // nothing half-written left behind
        QFile mdb(b.folder + "/Report.mdb");
        if (setup == "garbage")
            QVERIFY(mdb.open(QIODevice::ReadOnly) && mdb.readAll() == QByteArray(4096, 'x'));
        QFETCH(QString, records);
        QCOMPARE(b.records().section('/', 0, 0), records);
        QFETCH(QString, pdf);
        QCOMPARE(QFile::exists(b.folder + "/out.pdf"), !pdf.isEmpty());
        if (!pdf.isEmpty()) QVERIFY(b.pdfText(b.folder + "/out.pdf").contains(pdf.remove(' ')));
        // The output is chosen once the record and the template are good.
        const bool chosen = heading != "-" && !told.contains(QRegularExpression("stored in|template"));
        QCOMPARE(b.op.dialogsRun.size(), 3 + chosen + (output == "cmdPrint" || output == "cmdPreview"));
        QCOMPARE(previewPages, output == "cmdPreview" ? 1 : 0);
        QVERIFY(!pointerIsBusy() && b.actionEnabled("mnuPrint"));
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
