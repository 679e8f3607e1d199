#include "PtyHost.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace cvi::sim {

namespace {
int baudOf(speed_t s) {
    switch (s) {
    case B150:
        return 150;
    case B300:
        return 300;
    case B600:
        return 600;
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return 0;
    }
}
} // namespace

PtyHost::PtyHost(LoopConfig config, QString linkPath, FrameRule rule, bool verbose, QObject* parent)
    : QObject(parent), config_(std::move(config)), linkPath_(std::move(linkPath)), rule_(rule),
      verbose_(verbose) {
    loop_ = std::make_unique<Loop>(scheduler_, config_);
    poller_.setInterval(5);
    connect(&poller_, &QTimer::timeout, this, &PtyHost::poll);
    loop_->onDeviceLost = [this] { unplug(); };
}

PtyHost::~PtyHost() {
    loop_->onDeviceLost = nullptr;
    unplug();
}

void PtyHost::unplug() {
    if (master_ < 0) return;
    poller_.stop();
    if (notifier_) {
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    if (!linkPath_.isEmpty()) {
        const QFileInfo info(linkPath_);
        if (info.isSymLink() && info.symLinkTarget() == slavePath_) QFile::remove(linkPath_);
    }
    if (slaveKeep_ >= 0) ::close(std::exchange(slaveKeep_, -1));
    ::close(std::exchange(master_, -1));
    if (open_) {
        open_ = false;
        loop_->detach(this);
        emit programClosed();
    }
    if (verbose_) std::fprintf(stderr, "cvi-sim: unplugged\n");
    if (!loop_->deviceLost()) loop_->loseDevice();
}

bool PtyHost::replug(QString* error) {
    if (master_ >= 0) return true;
    loop_->restoreDevice();
    const bool ok = start(error);
    if (ok && verbose_) std::fprintf(stderr, "cvi-sim: plugged in again on %s\n", qPrintable(slavePath_));
    return ok;
}

bool PtyHost::start(QString* error) {
    char name[256] = {};
    int slave = -1;
    if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) {
        if (error)
            *error = QStringLiteral("cannot create a pseudo-terminal: %1")
                         .arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    slavePath_ = QString::fromLocal8Bit(name);
    // The idle terminal: canonical, no echo. The program's open makes it raw; its close restores
    // this, which is how we tell the two apart.
    termios t{};
    tcgetattr(slave, &t);
    t.c_lflag |= ICANON;
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(slave, TCSANOW, &t);
    slaveKeep_ = slave;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

    if (!linkPath_.isEmpty()) {
        QDir().mkpath(QFileInfo(linkPath_).absolutePath());
        const QFileInfo existing(linkPath_);
        if (existing.isSymLink() || existing.exists()) {
            if (!existing.isSymLink()) {
                if (error) *error = QStringLiteral("%1 exists and is not a link").arg(linkPath_);
                return false;
            }
            QFile::remove(linkPath_);
        }
        if (!QFile::link(slavePath_, linkPath_)) {
            if (error) *error = QStringLiteral("cannot create the link %1").arg(linkPath_);
            return false;
        }
    }

    notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &PtyHost::readProgram);
    poller_.start();
    return true;
}

HostFrame PtyHost::frameFor(int baud) const {
    HostFrame f;
    f.baud = baud;
    const bool eightNone = rule_ == FrameRule::EightNone || (rule_ == FrameRule::Auto && discoveryFrame_);
    // The loop's parity as it is now (a PT broadcast changes it), seen at the first instrument.
    const char parity = loop_->size() > 0 ? loop_->at(0).parity() : config_.parity;
    if (eightNone || parity == 'N') {
        f.parity = 'N';
        f.dataBits = 8;
    } else {
        f.parity = parity;
        f.dataBits = 7;
    }
    return f;
}

void PtyHost::poll() {
    termios t{};
    if (tcgetattr(master_, &t) != 0) return;
    const bool rawNow = (t.c_lflag & ICANON) == 0;
    const int baud = baudOf(cfgetospeed(&t));
    if (rawNow && !open_) {
        open_ = true;
        baud_ = baud;
        discoveryFrame_ = false;
        pendingLine_.clear();
        loop_->detach(this);
        loop_->attach(this, frameFor(baud_), [this](const QByteArray& b) { deliver(b); });
        if (verbose_) std::fprintf(stderr, "cvi-sim: program opened the port at %d baud\n", baud_);
        emit programOpened(baud_);
    } else if (!rawNow && open_) {
        open_ = false;
        loop_->detach(this);
        if (verbose_) std::fprintf(stderr, "cvi-sim: program closed the port\n");
        emit programClosed();
    } else if (open_ && baud != baud_) {
        baud_ = baud;
        loop_->setHostFrame(frameFor(baud_));
    }
}

void PtyHost::noteLine(const QByteArray& bytes) {
    if (rule_ != FrameRule::Auto) return;
    pendingLine_ += bytes;
    if (pendingLine_.size() > 512) pendingLine_ = pendingLine_.right(64);
    // The probe is written without a line end; the broadcast with one.
    if (pendingLine_.endsWith("*9900VR") || pendingLine_ == "*00" || pendingLine_.endsWith("*9900VR*00")) {
        discoveryFrame_ = true;
    } else if (pendingLine_.endsWith('\n')) {
        discoveryFrame_ = pendingLine_.endsWith("**9900VR\r\n");
        pendingLine_.clear();
    }
    loop_->setHostFrame(frameFor(baud_));
}

void PtyHost::readProgram() {
    char buf[1024];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) break;
        poll(); // an open may have happened just before the write
        const QByteArray bytes(buf, static_cast<int>(n));
        if (!open_) continue; // stale bytes from before an open are not a command
        if (verbose_) std::fprintf(stderr, "cvi-sim: <- %s\n", bytes.toPercentEncoding("*=_.-?").constData());
        noteLine(bytes);
        loop_->hostWrite(bytes);
    }
}

void PtyHost::deliver(const QByteArray& bytes) {
    if (!open_) {
        dropped_ += bytes.size();
        return;
    }
    const ssize_t n = ::write(master_, bytes.constData(), static_cast<size_t>(bytes.size()));
    if (n < bytes.size()) dropped_ += bytes.size() - std::max<ssize_t>(n, 0);
    if (n > 0) delivered_ += n;
}

} // namespace cvi::sim
