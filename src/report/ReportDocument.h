#pragma once

#include "Journal.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

class QPagedPaintDevice;

namespace cvi::report {

inline const QString Title = QStringLiteral("Corvanel® Intelligent Instrument Configuration Report");
inline const QString TemplateName = QStringLiteral("report.rpt");

// The report template: HTML in which {{Field}} stands for the value of a report field
// ("{{Customer}}", "{{Pressure Range}}", "{{C1}}"). The file report.rpt in the program's folder is
// used when it is there, else the one beside the executable, else the installed one in
// <bin>/../share/cvi, else the copy built into the program (a resource path).
QString templatePath(const QString& programFolder);

// The template's text, or nothing with `why` when the file cannot be read, holds no text or is
// not a text file.
std::optional<QString> loadTemplate(const QString& path, QString* why);

// The template's HTML with every placeholder replaced by its field's value (as plain text);
// nothing with `why` when a placeholder names no field or there is no placeholder at all.
std::optional<QString> fill(const QString& html, const QStringList& values, QString* why);

// The filled report with, under its tables, the journal's changes of the reported instrument made
// since `since` (oldest first: parameter, value before, value after, time). The fields stay as
// filled.
QString withChanges(const QString& html, const QList<journal::Row>& rows, const QDateTime& since);
// The line at the foot of every page: when the report was made and by which version.
QString footer(const QDateTime& made);

// Lays the filled report out on the device's pages and paints it there: a printer, a PDF
// writer or a preview. False when the device cannot be painted on (a printer that cannot be
// reached, a file that cannot be written) or reports an error afterwards.
bool paint(const QString& html, QPagedPaintDevice& device, const QString& footer = {});

// Writes the report as a PDF file of its own (no printer needed). False with `why` when the file
// cannot be written.
bool writePdf(const QString& html, const QString& fileName, QString* why, const QString& footer = {});

} // namespace cvi::report
