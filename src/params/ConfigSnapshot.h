#pragma once

#include "Snapshot.h"

#include <QDialog>

class QPlainTextEdit;
class QTableWidget;

namespace cvi {

class PageHost;

// The File menu's configuration snapshots of the chosen instrument: save what the pages read as
// the document 'cvictl read --json' writes, compare it with a file, restore a file's values.
void installSnapshots(PageHost& host);

// "Compare With File": parameter, the instrument's value as the pages read it, the file's, and
// whether they differ.
class CompareWindow : public QDialog {
    Q_OBJECT
public:
    CompareWindow(const QList<snapshot::Parameter>& instrument, const QJsonObject& file, QWidget* parent);
    // Rows whose values differ.
    int differing() const { return differing_; }

private:
    QTableWidget* table_;
    int differing_ = 0;
};

// Shows the lines a restore will send and the values it skips; OK goes on.
class RestoreDialog : public QDialog {
    Q_OBJECT
public:
    RestoreDialog(const QString& heading, const QStringList& lines, QWidget* parent);
};

} // namespace cvi
