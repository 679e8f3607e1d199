#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace cvi::report {

// The report database: the SQLite file Report.mdb in the program's folder, whose table "report"
// holds the record of the last report as text fields named after report::fields(). The file and
// the table are made on first use.
namespace database {

inline const QString FileName = QStringLiteral("Report.mdb");

QString path(const QString& programFolder);

// Replaces the table's record by `values` (in field order) in one transaction: afterwards the
// table holds this record alone, or, on failure, still what it held before. `why` tells the
// failure.
bool store(const QString& programFolder, const QStringList& values, QString* why);

// The record the table holds, in field order; nothing when there is none or it cannot be read.
std::optional<QStringList> load(const QString& programFolder, QString* why);

} // namespace database
} // namespace cvi::report
