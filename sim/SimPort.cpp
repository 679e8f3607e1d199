#include "SimPort.h"

#include <QPointer>

namespace cvi::sim {

SimPort::SimPort(Loop& loop, QObject* parent) : SerialPort(parent), loop_(loop) {}

SimPort::~SimPort() {
    close();
}

void SimPort::open(const PortSettings& settings) {
    if (open_) close();
    device_ = settings.device.isEmpty() ? QStringLiteral("sim") : settings.device;
    if (loop_.deviceLost())
        throw PortError(PortError::Kind::Unavailable, QStringLiteral("%1 does not exist.").arg(device_));
    // Whatever fell due while the port was closed went by unheard, even if the loop had no
    // chance to run meanwhile (a fixed delay on the real clock).
    loop_.scheduler().runDue();
    HostFrame frame;
    frame.baud = settings.baudRate;
    frame.parity = settings.parity;
    frame.dataBits = settings.dataBits;
    QPointer<SimPort> self(this);
    if (!loop_.attach(this, frame, [self](const QByteArray& b) {
            if (self) self->receive(b);
        }))
        throw PortError(PortError::Kind::Unavailable, QStringLiteral("%1 is busy.").arg(device_));
    loop_.onDeviceLost = [self] {
        if (self) self->onLoopLost();
    };
    buffer_.clear();
    open_ = true;
    lost_ = false;
}

void SimPort::close() {
    if (!open_) return;
    open_ = false;
    loop_.detach(this);
}

void SimPort::onLoopLost() {
    if (!open_) return;
    lost_ = true;
    open_ = false;
    emit deviceLost();
}

void SimPort::receive(const QByteArray& bytes) {
    if (!open_) return;
    const int room = std::max(0, std::max(inputBufferSize_, 1024) - static_cast<int>(buffer_.size()));
    if (bytes.size() > room) overflowed_ += bytes.size() - room;
    buffer_ += bytes.left(room);
    emit readyRead();
}

void SimPort::write(const QByteArray& bytes) {
    if (!open_) throw PortError(PortError::Kind::NotOpen, QStringLiteral("The port is not open."));
    loop_.hostWrite(bytes);
}

bool SimPort::lineWaiting() {
    loop_.scheduler().runDue();
    return buffer_.contains('\n');
}

int SimPort::bytesWaiting() {
    loop_.scheduler().runDue();
    return static_cast<int>(buffer_.size());
}

QByteArray SimPort::read(int maxBytes) {
    if (buffer_.size() < maxBytes) loop_.scheduler().runDue();
    const QByteArray out = buffer_.left(maxBytes);
    buffer_.remove(0, out.size());
    return out;
}

void SimPort::discardInput() {
    loop_.scheduler().runDue();
    buffer_.clear();
}

bool SimPort::waitForInput(double seconds, int moreThan) {
    Scheduler& s = loop_.scheduler();
    const double deadline = s.now() + std::max(seconds, 0.0);
    for (;;) {
        s.runDue();
        if (buffer_.size() > moreThan) return true;
        if (!open_ || lost_) return false;
        const auto due = s.nextDue();
        if (due && *due <= deadline) {
            s.waitUntil(*due);
        } else {
            s.waitUntil(deadline);
            s.runDue();
            return buffer_.size() > moreThan;
        }
    }
}

} // namespace cvi::sim
