#pragma once

#include "AppState.h"
#include "Journal.h"
#include "WindowOperator.h"

#include <QDialog>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QTableWidget;

namespace cvi {

// "Change Journal": the rows of Journal.db, newest first, filtered by serial number and by the
// day they were made from, exported as comma-separated values.
class JournalWindow : public QDialog {
    Q_OBJECT
public:
    JournalWindow(const QString& folder, Operator& op, QWidget* parent = nullptr);

    // Reads the journal again with the filters as they stand.
    void refresh();
    void exportCsv();
    const QList<journal::Row>& rows() const { return rows_; }

private:
    QString folder_;
    Operator& op_;
    QLineEdit* serial_;
    QCheckBox* sinceOn_;
    QDateEdit* since_;
    QTableWidget* table_;
    QList<journal::Row> rows_;
};

void showJournal(QWidget* parent, AppState& state, WindowOperator& op);

} // namespace cvi
