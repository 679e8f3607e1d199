#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>

#include <optional>

namespace cvi::live {

// The number in a value as a live window shows it ("14.701", "-0.5", "100"); nothing for
// "----------", an empty panel or any other text.
std::optional<double> shownNumber(const QString& shown);

// Minimum, maximum, mean and count of the values shown since the window opened or was reset.
// Minimum and maximum keep the text as shown; the mean has as many decimals as the longest value.
struct ReadingStats {
    qint64 count = 0;
    double min = 0;
    double max = 0;
    double sum = 0;
    QString minText;
    QString maxText;
    int decimals = 0;

    void add(double value, const QString& shown);
    QString mean() const;
};

// One reading as a CSV line: ISO 8601 local time with milliseconds and the offset from UTC,
// instrument ID, quantity, value as shown and unit; fields quoted where they need it.
QString csvLine(const QDateTime& at, const QString& id, const QString& quantity, const QString& value,
                const QString& unit);
inline const QString CsvHeader = QStringLiteral("Time,ID,Quantity,Value,Unit");

// A CSV file of readings, written a line at a time straight to the system (no buffer in the
// program), so a crash or an unplugged instrument loses no line already read.
class CsvRecorder {
public:
    // Starts the file afresh with its header. Empty text when it could be written, else why not.
    QString open(const QString& path);
    // False (and the file closed) when the line could not be written whole, or the file has been
    // deleted under it; error() says why. A line cut short by a full disk is taken back.
    bool append(const QString& line);
    void close() { file_.close(); }
    bool isOpen() const { return file_.isOpen(); }
    const QString& error() const { return error_; }
    QString path() const { return file_.fileName(); }

private:
    bool removed() const;

    QFile file_;
    QString error_;
};

} // namespace cvi::live
