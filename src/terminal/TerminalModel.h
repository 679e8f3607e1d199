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
// long the page listens: a full line at 19200 baud brings some 450,000 rows an hour, which as
// strings would take well over a hundred megabytes. So the rows are kept in blocks of
// `BlockRows`; the newest block as it came, every full one packed (each cell as UTF-8 behind its
// length) and compressed, which for a listening terminal's repetitive lines and stamps keeps an
// hour in a few megabytes. The view asks only for the rows it shows; the block it last asked
// from is kept unpacked.
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
    TerminalRow row(int index) const;
    // Calls `visit` for every row, first to last, unpacking one block at a time.
    template <class Visit> void forEach(Visit visit) const {
        for (qsizetype b = 0; b < packed_.size(); ++b)
            for (const TerminalRow& r : unpack(packed_[b]))
                visit(r);
        for (const TerminalRow& r : open_)
            visit(r);
    }

    // What the packed blocks hold in memory, capacity included.
    qsizetype packedBytes() const;

    static constexpr int BlockRows = 1024;

private:
    static QByteArray pack(const QList<TerminalRow>& rows);
    static QList<TerminalRow> unpack(const QByteArray& block);

    QList<QByteArray> packed_; // full blocks, compressed
    QList<TerminalRow> open_;  // the newest rows, fewer than BlockRows
    mutable qsizetype cachedBlock_ = -1;
    mutable QList<TerminalRow> cached_;
};

// The time stamp of a reply row: local "MM/dd/yyyy hh:mm:ss.zzz".
QString terminalStamp(const QDateTime& when);

// The transcript file: the title line, an empty line, "Date:" and the date, an empty line, then
// "first,second" for every row; CR LF after each line, one byte per character (Latin-1).
QByteArray terminalTranscript(const TerminalModel& rows, const QString& date);

} // namespace cvi
