#pragma once

#include <QString>

namespace cvi {

// cvi.ini in the program's folder: one line, the number of the last port ("1".."4") and CR LF.
// Only the first line is read; a writer replaces the whole file.
namespace settings_file {

inline const QString FileName = QStringLiteral("cvi.ini");

QString path(const QString& programFolder);
// Position in the port list (0 for "COM 1" .. 3 for "COM 4"); 0 when the file is missing or its
// first line is not a whole number from 1 to 4.
int storedPortIndex(const QString& programFolder);
// Writes the last character of the port name and CR LF. Returns false with the reason in `why`.
bool storePort(const QString& programFolder, const QString& portName, QString* why = nullptr);

} // namespace settings_file

// The folder for cvi.ini, the report database and template: the program's own folder when it can
// be written, else the user's application-data folder (created when needed).
QString chooseProgramFolder(const QString& executableFolder);

// The installed read-only data beside an executable in <prefix>/bin: <prefix>/share/cvi, where the
// package puts the report template and the help. An unpacked package finds it from any folder.
QString installedDataFolder(const QString& executableFolder);

} // namespace cvi
