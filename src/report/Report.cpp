#include "Report.h"

#include "Centre.h"
#include "Guard.h"
#include "Journal.h"
#include "PageHost.h"
#include "Pointer.h"
#include "ReportDatabase.h"
#include "ReportDocument.h"

#include <QDateTimeEdit>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace cvi {

namespace {
const QString ErrorTitle = QStringLiteral("Error");

QPushButton* button(QDialog& dialog, const QString& text, const char* name) {
    auto* b = new QPushButton(text, &dialog);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

void fail(PageHost& main, const QString& text) {
    normalPointer();
    main.op().message(text, ErrorTitle, Operator::Icon::Exclamation);
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// The filled template, from the record the database now holds; empty after a failure, which the
// operator has been told of.
QString composeReport(PageHost& main, const report::Heading& heading, const QDateTime& since) {
    const QString folder = main.state().ProgramFolder;
    const QString database = native(report::database::path(folder));
    QString why;
    if (!report::database::store(folder, report::collect(main.state(), heading), &why)) {
        fail(main, QStringLiteral("The report could not be stored in %1:\n%2.").arg(database, why));
        return {};
    }
    const auto record = report::database::load(folder, &why);
    if (!record) {
        fail(main, QStringLiteral("The report could not be read back from %1:\n%2.").arg(database, why));
        return {};
    }
    const QString templatePath = report::templatePath(folder);
    const auto layout = report::loadTemplate(templatePath, &why);
    const auto html = layout ? report::fill(*layout, *record, &why) : std::nullopt;
    if (!html) {
        fail(main,
             QStringLiteral("The report template %1 cannot be used:\n%2.").arg(native(templatePath), why));
        return {};
    }
    // As found and as left: the journal's rows for this serial number. No serial number, no rows
    // (another instrument's changes must never be listed as this one's).
    const QString serial = main.state().Record.serialNumber().trimmed();
    QList<journal::Row> rows;
    if (!serial.isEmpty() && serial != texts::NoValue) {
        const auto found = journal::load(folder, serial, since, &why);
        if (!found) {
            fail(main, QStringLiteral("The change journal %1 cannot be read:\n%2.")
                           .arg(native(journal::path(folder)), why));
            return {};
        }
        rows = *found;
    }
    return report::withChanges(*html, rows, since);
}

void printOn(PageHost& main, QPrinter& printer, const QString& html) {
    hourglass();
    printer.setDocName(report::Title);
    const bool printed = report::paint(html, printer, report::footer(QDateTime::currentDateTime()));
    normalPointer();
    if (!printed) {
        QString where =
            printer.outputFileName().isEmpty() ? printer.printerName() : native(printer.outputFileName());
        if (where.isEmpty()) where = QStringLiteral("the printer");
        main.op().message(QStringLiteral("The report could not be printed on %1.").arg(where), ErrorTitle,
                          Operator::Icon::Exclamation);
    }
}

void savePdf(PageHost& main, const QString& html) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QString name =
        main.op().saveFileName(QStringLiteral("Save as PDF"), QStringLiteral("PDF files (*.pdf)|*.pdf"),
                               QDir(folder).filePath(QStringLiteral("report.pdf")));
    if (name.isEmpty()) return;
    if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".pdf");
    hourglass();
    QString why;
    if (!report::writePdf(html, name, &why, report::footer(QDateTime::currentDateTime())))
        fail(main, QStringLiteral("The report could not be written to %1:\n%2.").arg(native(name), why));
    normalPointer();
}

void output(PageHost& main, const QString& html) {
    ReportOutputDialog choose(main.state(), main.window());
    main.op().runModal(choose);
    switch (choose.choice()) {
    case ReportOutputDialog::Choice::None:
        return;
    case ReportOutputDialog::Choice::Pdf:
        savePdf(main, html);
        return;
    case ReportOutputDialog::Choice::Print: {
        QPrinter printer(QPrinter::HighResolution);
        QPrintDialog dialog(&printer, main.window());
        dialog.setObjectName(QStringLiteral("dlgPrint"));
        if (main.op().runModal(dialog) == QDialog::Accepted) printOn(main, printer, html);
        return;
    }
    case ReportOutputDialog::Choice::Preview: {
        QPrinter printer(QPrinter::HighResolution);
        QPrintPreviewDialog preview(&printer, main.window());
        preview.setObjectName(QStringLiteral("dlgPreview"));
        preview.setWindowTitle(report::Title);
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&html](QPrinter* p) {
            report::paint(html, *p, report::footer(QDateTime::currentDateTime()));
        });
        main.op().runModal(preview);
        return;
    }
    }
}
} // namespace

// ---------------------------------------------------------------------------------------------

ReportInfoDialog::ReportInfoDialog(const AppState& state, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmReportInfo"));
    setWindowTitle(QStringLiteral("Report Information"));
    auto* grid = new QGridLayout;
    auto addRow = [this, grid](int row, const char* caption, const char* name) {
        grid->addWidget(new QLabel(QString::fromLatin1(caption), this), row, 0);
        auto* box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setMinimumWidth(260);
        grid->addWidget(box, row, 1);
        return box;
    };
    company_ = addRow(0, "Company Name   :", "txtCompanyName");
    model_ = addRow(1, "Instrument Model :", "txtInstrumentModel");
    range_ = addRow(2, "Pressure Range  :", "txtPressureRange");
    grid->addWidget(new QLabel(QStringLiteral("Changes since  :"), this), 3, 0);
    since_ = new QDateTimeEdit(journal::programStarted(), this);
    since_->setObjectName(QStringLiteral("dtpChangesSince"));
    since_->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    since_->setCalendarPopup(true);
    grid->addWidget(since_, 3, 1);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("CmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] {
        confirmed_ = true;
        accept();
    });
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(row);
    adjustSize();
    setFixedSize(size());
    centreOnScreen(*this, state);
}

report::Heading ReportInfoDialog::heading() const {
    return {company_->text(), model_->text(), range_->text()};
}

QDateTime ReportInfoDialog::changesSince() const {
    // The edit shows whole seconds: the program's own start is taken to the millisecond.
    const QDateTime shown = since_->dateTime();
    const QDateTime started = journal::programStarted();
    return shown.toSecsSinceEpoch() == started.toSecsSinceEpoch() ? started.addMSecs(-started.time().msec())
                                                                  : shown;
}

ReportOutputDialog::ReportOutputDialog(const AppState& state, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmPrintReport"));
    setWindowTitle(QStringLiteral("Print Report"));
    auto* row = new QHBoxLayout(this);
    const struct {
        const char* text;
        const char* name;
        Choice choice;
    } choices[] = {{"&Print…", "cmdPrint", Choice::Print},
                   {"Pre&view…", "cmdPreview", Choice::Preview},
                   {"Save as P&DF…", "cmdSavePdf", Choice::Pdf},
                   {"Cancel", "CmdCancel", Choice::None}};
    for (const auto& c : choices) {
        QPushButton* b = button(*this, QString::fromUtf8(c.text), c.name);
        // Enter prints (through the print dialog); Escape is Cancel.
        if (c.choice == Choice::Print) b->setDefault(true);
        row->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, choice = c.choice] {
            choice_ = choice;
            if (choice == Choice::None)
                reject();
            else
                accept();
        });
    }
    adjustSize();
    centreOnScreen(*this, state);
}

// ---------------------------------------------------------------------------------------------

void printReport(PageHost& main) {
    hourglass();
    main.setLeftMessage(QString());
    main.setMiddleMessage(QString());
    ReportInfoDialog info(main.state(), main.window());
    normalPointer();
    main.op().runModal(info);
    // Closed without OK: no record is written and nothing is printed.
    if (!info.confirmed()) return;
    hourglass();
    info.hide();
    main.runtime().pump();
    const QString html = composeReport(main, info.heading(), info.changesSince());
    normalPointer();
    if (!html.isEmpty()) output(main, html);
}

void installReport(PageHost& main) {
    main.onAction(QStringLiteral("mnuPrint"), [&main] {
        guarded(main.op(), [&main] { printReport(main); });
        normalPointer();
    });
}

} // namespace cvi
