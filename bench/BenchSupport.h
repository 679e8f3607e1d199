#pragma once

#include "RealSerialPort.h"
#include "WindowOperator.h"

#include <QFile>
#include <QList>
#include <QString>

#include <cstdio>
#include <sys/resource.h>

namespace cvi::bench {

// The benchmarks run unattended: every message goes to stderr, every question is cancelled.
class QuietOperator : public WindowOperator {
public:
    void message(const QString& text, const QString&, Icon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    QString input(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    bool openHelp(const QString&) override { return false; }
    int runModal(QDialog&) override { return 0; }
};

// The real port, counting the characters that cross it each way.
class ByteCountingPort : public RealSerialPort {
public:
    static inline long written = 0;
    static inline long received = 0;
    void write(const QByteArray& bytes) override {
        written += bytes.size();
        RealSerialPort::write(bytes);
    }
    QByteArray read(int maxBytes) override {
        const QByteArray b = RealSerialPort::read(maxBytes);
        received += b.size();
        return b;
    }
};

// The process's resident memory, from /proc.
inline long residentKiB() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4 : 0; // pages of 4 KiB
}

// Processor time the process has used, user and system.
inline double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace cvi::bench
