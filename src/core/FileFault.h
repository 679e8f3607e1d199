#pragma once

#include <QString>

namespace cvi {

// Why a file could not be written, in words an operator can act on. Qt often has none to give
// (a short write on a full disk leaves "Unknown error"; a read-only file system is reported as a
// file that "is not writable"), so the file system behind `path` is asked first: its folder gone,
// read-only, or out of space. Otherwise `reported`, the library's own words.
QString writeFault(const QString& path, const QString& reported);

// Puts `bytes` in place of the file at `path` only once they are all written: on failure the old
// file stays as it was, and `why` (when given) says what went wrong. `directFallback`: a folder
// that only lets the existing file be rewritten is good enough (the file is then written in place).
bool replaceFile(const QString& path, const QByteArray& bytes, QString* why, bool directFallback = false);

} // namespace cvi
