#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace cvi::test {

// A small file system of its own for the file-fault tests: a size-limited tmpfs on a temporary
// folder, made read-only or filled up on demand, unmounted when the test is done. Needs root.
class ScratchMount {
public:
    explicit ScratchMount(int kib = 64) {
        if (::geteuid() != 0) {
            why_ = "mounting a small file system needs root";
        } else if (!dir_.isValid()) {
            why_ = "no temporary folder";
        } else if (::mount("tmpfs", path().toLocal8Bit(), "tmpfs", 0,
                           QByteArray("size=" + QByteArray::number(kib) + "k").constData()) != 0) {
            why_ = QString("tmpfs cannot be mounted here: ") + std::strerror(errno);
        } else {
            mounted_ = true;
        }
    }
    ~ScratchMount() {
        if (mounted_) ::umount2(path().toLocal8Bit(), MNT_DETACH);
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool ok() const { return mounted_; }
    const QString& why() const { return why_; }
    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return QDir(path()).filePath(name); }

    bool readOnly() {
        return ::mount(nullptr, path().toLocal8Bit(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    // Writes a filler until not a byte more fits, then gives `pages` pages of it back.
    bool fill(int pages = 0) {
        QFile filler(filePath(".filler"));
        if (!filler.open(QIODevice::Append | QIODevice::Unbuffered)) return false;
        const QByteArray page(4096, '#');
        while (filler.write(page) == page.size()) {
        }
        return filler.resize(qMax<qint64>(0, (filler.size() / 4096 - pages) * 4096));
    }

private:
    QTemporaryDir dir_;
    QString why_;
    bool mounted_ = false;
};

} // namespace cvi::test

// Skips the test when the machine cannot give it a file system of its own.
#define SCRATCH_MOUNT(name, kib)                                                                             \
    cvi::test::ScratchMount name(kib);                                                                       \
    if (!name.ok()) QSKIP(qPrintable(name.why()))
