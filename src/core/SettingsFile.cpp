#include "SettingsFile.h"

#include "FileFault.h"
#include "Frames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cmath>

namespace cvi::settings_file {

namespace {
// Longest first line looked at; the rest of a strange file is never read.
constexpr qint64 LineLimit = 256;
} // namespace

QString path(const QString& programFolder) {
    return QDir(programFolder).filePath(FileName);
}

int storedPortIndex(const QString& programFolder) {
    QFile file(path(programFolder));
    if (!file.open(QIODevice::ReadOnly)) return 0;
    const QString line =
        QString::fromLatin1(file.readLine(LineLimit)).remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    file.close();
    if (!isNumeric(line)) return 0;
    const double value = leadingNumber(line.trimmed());
    if (value < 1 || value > 4 || std::floor(value) != value) return 0;
    return static_cast<int>(value) - 1;
}

bool storePort(const QString& programFolder, const QString& portName, QString* why) {
    // A folder that only lets the existing file be rewritten is still good enough.
    return replaceFile(path(programFolder), portName.right(1).toLatin1() + "\r\n", why, true);
}

} // namespace cvi::settings_file

namespace cvi {

QString chooseProgramFolder(const QString& executableFolder) {
    const QFileInfo info(executableFolder);
    if (info.isDir() && info.isWritable()) {
        // isWritable() can be optimistic (read-only mounts); try it.
        QTemporaryFile probe(QDir(executableFolder).filePath(QStringLiteral(".cvi-write-XXXXXX")));
        if (probe.open()) return executableFolder;
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty()) folder = QDir::homePath() + QStringLiteral("/.corvanel-interactive");
    QDir().mkpath(folder);
    return folder;
}

QString installedDataFolder(const QString& executableFolder) {
    return QDir::cleanPath(executableFolder + QStringLiteral("/../share/cvi"));
}

} // namespace cvi
