#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QPagedPaintDevice;

namespace cvi::report {

inline const QString Title = QStringLiteral("Corvanel® Intelligent Instrument Configuration Report");
inline const QString TemplateName = QStringLiteral("report.rpt");

// The report template: HTML in which {{Field}} stands for the value of a report field
// ("{{Customer}}", "{{Pressure Range}}", "{{C1}}"). The file report.rpt in the program's folder is
// used when it is there; otherwise the copy built into the program.
struct Template {
    QString html;
    QString origin; // the file read, or the built-in copy's resource path
};

// The template, or nothing with `why` when the file is there but cannot be read or holds no text.
std::optional<Template> loadTemplate(const QString& programFolder, QString* why);

// The template's HTML with every placeholder replaced by its field's value (as plain text);
// nothing with `why` when a placeholder names no field or there is no placeholder at all.
std::optional<QString> fill(const QString& html, const QStringList& values, QString* why);

// Lays the filled report out on the device's pages and paints it there: a printer, a PDF
// writer or a preview. False when the device cannot be painted on (a printer that cannot be
// reached, a file that cannot be written) or reports an error afterwards.
bool paint(const QString& html, QPagedPaintDevice& device);

// Writes the report as a PDF file of its own (no printer needed). False with `why` when the file
// cannot be written.
bool writePdf(const QString& html, const QString& fileName, QString* why);

} // namespace cvi::report
