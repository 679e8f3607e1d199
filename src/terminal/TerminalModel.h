#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QString>

namespace cvi {

// One row of the terminal's list: a command row holds the command and an empty second cell, a
// reply row an empty first cell (or its time stamp) and the reply line.
struct TerminalRow {
    QString first;
    QString second;
};

// The rows of the terminal's list, "Command" and "Response". Every row is kept for saving however
// long the page listens; the view shows them from here without copying them.
class TerminalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Appends the rows in one insertion.
    void append(const QList<TerminalRow>& rows);
    void clear();
    const QList<TerminalRow>& rows() const { return rows_; }

private:
    QList<TerminalRow> rows_;
};

// The time stamp of a reply row: local "MM/dd/yyyy hh:mm:ss.zzz".
QString terminalStamp(const QDateTime& when);

// The transcript file: the title line, an empty line, "Date:" and the date, an empty line, then
// "first,second" for every row; CR LF after each line, one byte per character (Latin-1).
QByteArray terminalTranscript(const QList<TerminalRow>& rows, const QString& date);

} // namespace cvi
