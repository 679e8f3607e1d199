#include "FileFault.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

namespace cvi {

namespace {
// Less than this left on the file system and a write that failed without a reason failed for
// want of space.
constexpr qint64 NearlyFull = 64 * 1024;
} // namespace

QString writeFault(const QString& path, const QString& reported) {
    const QString folder = QFileInfo(path).absolutePath();
    // What an I/O device says when nothing went wrong that it knows of.
    const bool silent = reported.isEmpty() || reported == QFile().errorString();
    if (!QFileInfo(folder).isDir()) return silent ? QStringLiteral("No such file or directory") : reported;
    const QStorageInfo storage(folder);
    if (storage.isValid() && storage.isReadOnly()) return QStringLiteral("Read-only file system");
    if (!silent) return reported;
    if (storage.isValid() && storage.bytesAvailable() < NearlyFull)
        return QStringLiteral("No space left on device");
    return QStringLiteral("the file could not be written whole");
}

bool replaceFile(const QString& path, const QByteArray& bytes, QString* why, bool directFallback) {
    QSaveFile file(path);
    file.setDirectWriteFallback(directFallback);
    // Unbuffered: Qt 6.4 commits even when the last flush of its buffer failed, putting an empty
    // or cut file in place of the old one on a full disk. Written straight through, a write that
    // fails is remembered and the commit refused.
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    ok = ok && file.write(bytes) == bytes.size();
    const QString reported = file.errorString();
    ok = ok && file.commit();
    if (ok) return true;
    if (why) *why = writeFault(path, file.error() == QFileDevice::NoError ? reported : file.errorString());
    file.cancelWriting();
    return false;
}

} // namespace cvi
