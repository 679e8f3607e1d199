#include "TerminalModel.h"

#include <QDateTime>

namespace cvi {

int TerminalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TerminalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant TerminalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size()) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const TerminalRow& row = rows_[index.row()];
    return index.column() == 0 ? row.first : row.second;
}

QVariant TerminalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == 0 ? QStringLiteral("Command") : QStringLiteral("Response");
}

void TerminalModel::append(const QList<TerminalRow>& rows) {
    if (rows.isEmpty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    rows_ += rows;
    endInsertRows();
}

void TerminalModel::clear() {
    beginResetModel();
    rows_.clear();
    rows_.squeeze();
    endResetModel();
}

QString terminalStamp(const QDateTime& when) {
    return when.toString(QStringLiteral("MM/dd/yyyy hh:mm:ss.zzz"));
}

QByteArray terminalTranscript(const QList<TerminalRow>& rows, const QString& date) {
    QByteArray out;
    qsizetype size = 64;
    for (const TerminalRow& r : rows)
        size += r.first.size() + r.second.size() + 3;
    out.reserve(size);
    out += QStringLiteral("Corvanel\u00AE Terminal Data Output\r\n\r\nDate:").toLatin1();
    out += date.toLatin1();
    out += "\r\n\r\n";
    for (const TerminalRow& r : rows) {
        out += r.first.toLatin1();
        out += ',';
        out += r.second.toLatin1();
        out += "\r\n";
    }
    return out;
}

} // namespace cvi
