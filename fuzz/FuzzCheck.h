#pragma once

// What every fuzz target shares: a failed property aborts with its text, so libFuzzer keeps the
// input and the replay driver stops on it.
#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace cvi::fuzz {

inline void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz property failed: %s\n", what);
        std::abort();
    }
}

inline QByteArray bytesOf(const std::uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Where a target writes the file it reads back: memory when the machine has /dev/shm.
inline QString scratchTemplate() {
    return QFileInfo::exists(QStringLiteral("/dev/shm"))
               ? QStringLiteral("/dev/shm/cvi-fuzz-XXXXXX")
               : QDir::tempPath() + QStringLiteral("/cvi-fuzz-XXXXXX");
}

} // namespace cvi::fuzz
