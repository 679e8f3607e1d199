#include "TerminalModel.h"

#include <QDateTime>

#include <algorithm>

namespace cvi {

int TerminalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(packed_.size() * BlockRows + open_.size());
}

int TerminalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant TerminalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const TerminalRow r = row(index.row());
    return index.column() == 0 ? r.first : r.second;
}

QVariant TerminalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == 0 ? QStringLiteral("Command") : QStringLiteral("Response");
}

TerminalRow TerminalModel::row(int index) const {
    if (index < 0 || index >= rowCount()) return {};
    const qsizetype block = index / BlockRows;
    if (block == packed_.size()) return open_[index % BlockRows];
    if (block != cachedBlock_) {
        cached_ = unpack(packed_[block]);
        cachedBlock_ = block;
    }
    return cached_.value(index % BlockRows);
}

void TerminalModel::append(const QList<TerminalRow>& rows) {
    if (rows.isEmpty()) return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    for (const TerminalRow& r : rows) {
        open_.append(r);
        if (open_.size() < BlockRows) continue;
        packed_.append(pack(open_));
        open_.clear();
    }
    endInsertRows();
}

qsizetype TerminalModel::packedBytes() const {
    qsizetype bytes = 0;
    for (const QByteArray& block : packed_)
        bytes += block.capacity();
    return bytes;
}

void TerminalModel::clear() {
    beginResetModel();
    packed_.clear();
    packed_.squeeze();
    open_.clear();
    open_.squeeze();
    cachedBlock_ = -1;
    cached_.clear();
    endResetModel();
}

namespace {
void putCell(QByteArray& out, const QString& cell) {
    const QByteArray utf8 = cell.toUtf8();
    // The length as 7-bit groups, lowest first, the top bit telling that more follow.
    for (auto n = static_cast<quint32>(utf8.size());; n >>= 7) {
        out += static_cast<char>((n & 0x7F) | (n > 0x7F ? 0x80 : 0));
        if (n <= 0x7F) break;
    }
    out += utf8;
}

QString takeCell(const QByteArray& in, qsizetype& at) {
    quint32 n = 0;
    for (int shift = 0; at < in.size() && shift < 32; shift += 7) {
        const auto byte = static_cast<unsigned char>(in[at++]);
        n |= static_cast<quint32>(byte & 0x7F) << shift;
        if (!(byte & 0x80)) break;
    }
    const qsizetype size = std::min<qsizetype>(n, in.size() - at);
    const QString cell = QString::fromUtf8(in.constData() + at, size);
    at += size;
    return cell;
}
} // namespace

QByteArray TerminalModel::pack(const QList<TerminalRow>& rows) {
    QByteArray raw;
    for (const TerminalRow& r : rows) {
        putCell(raw, r.first);
        putCell(raw, r.second);
    }
    // qCompress sizes its buffer for the worst case and keeps that capacity: give it back, or
    // a packed block costs as much as the rows did.
    QByteArray packed = qCompress(raw, 6);
    packed.squeeze();
    return packed;
}

QList<TerminalRow> TerminalModel::unpack(const QByteArray& block) {
    const QByteArray raw = qUncompress(block);
    QList<TerminalRow> rows;
    rows.reserve(BlockRows);
    for (qsizetype at = 0; at < raw.size();) {
        TerminalRow r;
        r.first = takeCell(raw, at);
        r.second = takeCell(raw, at);
        rows.append(r);
    }
    return rows;
}

QString terminalStamp(const QDateTime& when) {
    return when.toString(QStringLiteral("MM/dd/yyyy hh:mm:ss.zzz"));
}

QByteArray terminalTranscript(const TerminalModel& rows, const QString& date) {
    QByteArray out;
    out.reserve(64 + rows.rowCount() * qsizetype(40));
    out += QStringLiteral("Corvanel\u00AE Terminal Data Output\r\n\r\nDate:").toLatin1();
    out += date.toLatin1();
    out += "\r\n\r\n";
    rows.forEach([&](const TerminalRow& r) {
        out += r.first.toLatin1();
        out += ',';
        out += r.second.toLatin1();
        out += "\r\n";
    });
    return out;
}

} // namespace cvi
