#include "JournalWindow.h"

#include "FileFault.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace cvi {

JournalWindow::JournalWindow(const QString& folder, Operator& op, QWidget* parent)
    : QDialog(parent), folder_(folder), op_(op) {
    setObjectName(QStringLiteral("frmJournal"));
    setWindowTitle(QStringLiteral("Change Journal"));
    auto* layout = new QVBoxLayout(this);
    auto* filters = new QHBoxLayout;
    auto* serialLabel = new QLabel(QStringLiteral("&Serial number:"));
    serial_ = new QLineEdit;
    serial_->setObjectName(QStringLiteral("txtJournalSerial"));
    serial_->setPlaceholderText(QStringLiteral("all instruments"));
    serialLabel->setBuddy(serial_);
    sinceOn_ = new QCheckBox(QStringLiteral("Changes &since"));
    sinceOn_->setObjectName(QStringLiteral("chkJournalSince"));
    since_ = new QDateEdit(QDate::currentDate());
    since_->setObjectName(QStringLiteral("dtpJournalSince"));
    since_->setCalendarPopup(true);
    since_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    since_->setEnabled(false);
    filters->addWidget(serialLabel);
    filters->addWidget(serial_);
    filters->addWidget(sinceOn_);
    filters->addWidget(since_);
    filters->addStretch();
    layout->addLayout(filters);

    table_ = new QTableWidget(0, static_cast<int>(journal::headings().size()));
    table_->setObjectName(QStringLiteral("tblJournal"));
    table_->setHorizontalHeaderLabels(journal::headings());
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_);

    auto* buttons = new QHBoxLayout;
    auto* exportButton = new QPushButton(QStringLiteral("&Export CSV\u2026"));
    exportButton->setObjectName(QStringLiteral("cmdJournalExport"));
    auto* close = new QPushButton(QStringLiteral("&Close"));
    close->setObjectName(QStringLiteral("cmdJournalClose"));
    close->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(exportButton);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(serial_, &QLineEdit::textChanged, this, &JournalWindow::refresh);
    connect(sinceOn_, &QCheckBox::toggled, this, [this](bool on) {
        since_->setEnabled(on);
        refresh();
    });
    connect(since_, &QDateEdit::dateChanged, this, &JournalWindow::refresh);
    connect(exportButton, &QPushButton::clicked, this, &JournalWindow::exportCsv);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    resize(900, 420);
    refresh();
}

void JournalWindow::refresh() {
    QString why;
    const QDateTime since = sinceOn_->isChecked() ? since_->date().startOfDay() : QDateTime();
    const auto rows = journal::load(folder_, serial_->text(), since, &why);
    rows_ = rows.value_or(QList<journal::Row>());
    table_->setRowCount(static_cast<int>(rows_.size()));
    for (int i = 0; i < rows_.size(); ++i) {
        const journal::Row& r = rows_[i];
        const QStringList cells{
            r.time,    r.port,      r.id,
            r.serial,  r.parameter, r.before,
            r.written, r.echo,      r.confirmed ? QStringLiteral("Yes") : QStringLiteral("No"),
            r.tool};
        for (int c = 0; c < cells.size(); ++c)
            table_->setItem(i, c, new QTableWidgetItem(cells[c]));
    }
    table_->resizeColumnsToContents();
    if (!rows)
        op_.message(QStringLiteral("The change journal %1 cannot be read (%2).")
                        .arg(QDir::toNativeSeparators(journal::path(folder_)), why),
                    QStringLiteral("Warning"), Operator::Icon::Exclamation);
}

void JournalWindow::exportCsv() {
    const QString file = op_.saveFileName(QStringLiteral("Export Change Journal"),
                                          QStringLiteral("CSV files (*.csv)"), folder_);
    if (file.isEmpty()) return;
    QString why;
    if (!replaceFile(file, journal::csv(rows_).toUtf8(), &why))
        op_.message(QStringLiteral("%1 could not be written (%2).").arg(QDir::toNativeSeparators(file), why),
                    QStringLiteral("Warning"), Operator::Icon::Exclamation);
}

void showJournal(QWidget* parent, AppState& state, WindowOperator& op) {
    JournalWindow window(state.ProgramFolder, op, parent);
    op.runModal(window);
}

} // namespace cvi
