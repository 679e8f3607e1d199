#include "ReadingLog.h"

#include "FileFault.h"

#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include <algorithm>

namespace cvi::live {

std::optional<double> shownNumber(const QString& shown) {
    static const QRegularExpression number(
        QStringLiteral(R"(^\s*[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?\s*$)"));
    if (!number.match(shown).hasMatch()) return std::nullopt;
    return shown.trimmed().toDouble();
}

void ReadingStats::add(double value, const QString& shown) {
    const QString text = shown.trimmed();
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    decimals = std::max(decimals, point < 0 ? 0 : int(text.size() - point - 1));
    if (count == 0 || value < min) {
        min = value;
        minText = text;
    }
    if (count == 0 || value > max) {
        max = value;
        maxText = text;
    }
    sum += value;
    ++count;
}

QString ReadingStats::mean() const {
    return count == 0 ? QString() : QString::number(sum / double(count), 'f', decimals);
}

namespace {
QString field(const QString& text) {
    if (!text.contains(QRegularExpression(QStringLiteral("[,\"\r\n]")))) return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
} // namespace

QString csvLine(const QDateTime& at, const QString& id, const QString& quantity, const QString& value,
                const QString& unit) {
    const QDateTime local = at.toOffsetFromUtc(at.offsetFromUtc());
    return QStringList{local.toString(Qt::ISODateWithMs), field(id), field(quantity), field(value.trimmed()),
                       field(unit.trimmed())}
        .join(QLatin1Char(','));
}

QString CsvRecorder::open(const QString& path) {
    file_.close();
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text | QIODevice::Unbuffered))
        return error_ = writeFault(path, file_.errorString());
    if (!append(CsvHeader)) return error_;
    return {};
}

bool CsvRecorder::append(const QString& line) {
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    const qint64 at = file_.pos();
    const qint64 written = file_.write(bytes);
    if (written == bytes.size()) {
        if (!removed()) return true;
        error_ = QStringLiteral("the file was deleted or its folder removed");
        file_.close();
        return false;
    }
    // A disk that fills up mid-line takes the part that fits without a word; the rest tells why.
    if (written > 0) file_.write(bytes.constData() + written, bytes.size() - written);
    error_ = writeFault(file_.fileName(), file_.errorString());
    // The file ends with the last whole line: no reading is left cut.
    if (written > 0) file_.resize(at);
    file_.close();
    return false;
}

bool CsvRecorder::removed() const {
#ifdef Q_OS_UNIX
    // Still open, the file takes lines after its folder is gone, and they go nowhere.
    struct stat st {};
    return ::fstat(file_.handle(), &st) == 0 && st.st_nlink == 0;
#else
    return false; // an open file cannot be deleted
#endif
}

} // namespace cvi::live
