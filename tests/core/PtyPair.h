#pragma once

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

// A pseudo-terminal: the program opens the slave by name, the test plays the far end on the
// master.
struct PtyPair {
    int master = -1;
    int slave = -1;
    QString slavePath;

    PtyPair() {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
        slavePath = QString::fromLocal8Bit(name);
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() {
        closeMaster();
        dropOwnSlave();
    }
    // The test keeps its own slave descriptor open only until the program has the port.
    void dropOwnSlave() {
        if (slave >= 0) ::close(std::exchange(slave, -1));
    }
    void closeMaster() {
        if (master >= 0) ::close(std::exchange(master, -1));
    }
    bool send(const QByteArray& bytes) const {
        return master >= 0 && ::write(master, bytes.constData(), bytes.size()) == bytes.size();
    }
    QByteArray receive() const {
        QByteArray out;
        char buf[512];
        for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;)
            out.append(buf, static_cast<int>(n));
        return out;
    }
};

inline double processCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
