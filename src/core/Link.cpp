#include "Link.h"

#include "Frames.h"

#include <algorithm>

namespace cvi {

namespace {
// A wait always reaches just past its deadline, so "more than the time-out has elapsed" holds
// when it returns empty-handed, even for a time-out of zero.
constexpr double PastDeadline = 0.001;
} // namespace

Link::Link(Runtime& runtime, const PortMap& ports, std::unique_ptr<SerialPort> port, QObject* parent)
    : QObject(parent), runtime_(runtime), ports_(ports), port_(std::move(port)) {
    port_->setParent(nullptr);
}

Link::~Link() {
    if (port_ && port_->isOpen()) port_->close();
}

PortSettings Link::portSettings(const LinkSettings& settings) const {
    PortSettings s;
    s.portNumber = PortMap::slotOf(settings.port);
    s.device = ports_.device(s.portNumber);
    s.baudRate = settings.baud;
    s.parity = settings.parity ? settings.parity : 'N';
    s.dataBits = settings.dataBits;
    if (s.dataBits != 7 && s.dataBits != 8) s.dataBits = LinkSettings::dataBitsFor(s.parity);
    s.stopBits = settings.stopBits == 2 ? 2 : 1;
    return s;
}

void Link::OpenPort(const LinkSettings& settings) {
    if (settings.baud <= 0)
        throw PortError(PortError::Kind::BadSettings, QStringLiteral("No baud rate has been detected yet."));
    port_->open(portSettings(settings));
}

void Link::OpenPortIfClosed(const LinkSettings& settings) {
    if (!port_->isOpen()) OpenPort(settings);
}

void Link::ClosePort() {
    if (port_->isOpen()) port_->close();
}

QString Link::lostText(const QString& device) {
    return QStringLiteral("The serial port %1 has been lost (the adapter was unplugged or the line closed). "
                          "Check the connection, then run Startup again.")
        .arg(device);
}

void Link::lost() const {
    if (!port_->isLost()) throw PortError(PortError::Kind::NotOpen, QStringLiteral("The port is not open."));
    throw PortError(PortError::Kind::DeviceLost, lostText(port_->deviceName()));
}

void Link::checkNotLost() const {
    if (port_->isLost()) throw PortError(PortError::Kind::DeviceLost, lostText(port_->deviceName()));
}

void Link::Output(const QString& text) {
    checkNotLost();
    if (!port_->isOpen()) throw PortError(PortError::Kind::NotOpen, QStringLiteral("The port is not open."));
    port_->write(text.toLatin1());
    if (observer_) observer_->sent(text);
}

void Link::WakeUp() {
    Output(QStringLiteral("*"));
    runtime_.sleep(0.010);
}

QString Link::InputAll() {
    const int n = port_->bytesWaiting();
    return n > 0 ? QString::fromLatin1(port_->read(n)) : QString();
}

QString Link::InputChar() {
    if (port_->bytesWaiting() <= 0) return {};
    const QByteArray b = port_->read(1);
    return b.isEmpty() ? QString() : QString(QChar(static_cast<uchar>(b[0])));
}

QChar Link::takeChar() {
    const QByteArray b = port_->read(1);
    return b.isEmpty() ? QChar() : QChar(static_cast<uchar>(b[0]));
}

void Link::waitForMore(double deadline, bool runInterface) {
    const double left = std::max(deadline - runtime_.now(), 0.0) + PastDeadline;
    if (runInterface)
        runtime_.pump(left);
    else
        port_->waitForInput(left, 0);
}

void Link::WaitForInput(double seconds) {
    if (!port_->isOpen() || port_->bytesWaiting() > 0) return;
    port_->waitForInput(std::max(seconds, 0.0) + PastDeadline);
}

std::optional<QString> Link::ReadInput(double timeout) {
    const double start = runtime_.now();
    QString line;
    bool complete = false;
    for (;;) {
        if (port_->bytesWaiting() > 0) {
            const QChar c = takeChar();
            line += c;
            if (c == '*' && line.size() >= 2) line = QStringLiteral("*");
            if (c == '\n') {
                complete = true;
                break;
            }
            if (line.size() > MaxLine) break; // a line that never ends is a broken line
            runtime_.pump();
        } else {
            if (gone()) lost();
            waitForMore(start + timeout, true);
        }
        if (runtime_.now() - start > timeout) return std::nullopt;
    }
    if (!complete || !line.endsWith(CRLF)) {
        if (observer_) observer_->brokenLine();
        return QString();
    }
    return line;
}

QString Link::ReadContinuous(double timeout) {
    const double start = runtime_.now();
    QString line;
    for (;;) {
        const int waiting = port_->bytesWaiting();
        if (waiting > 0) {
            if (waiting > OverflowCount) return QStringLiteral("Overflow");
            const QChar c = takeChar();
            line += c;
            if (c == '*' && line.size() >= 2) line = QStringLiteral("*");
            if (c == '\n') return line;
            if (line.size() > MaxLine) return QString();
            runtime_.pump();
        } else {
            if (gone()) lost();
            waitForMore(start + timeout, true);
        }
        if (runtime_.now() - start > timeout) return QString();
    }
}

std::optional<QString> Link::ReadTerminalInput(double timeout) {
    const double start = runtime_.now();
    QString line;
    for (;;) {
        if (port_->bytesWaiting() > 0) {
            const QChar c = takeChar();
            if (c == '\n') return line;
            if (c != '\r') line += c;
            if (line.size() >= MaxLine) return line; // cut a line that never ends
            runtime_.pump();
        } else {
            if (gone()) lost();
            waitForMore(start + timeout, true);
        }
        if (runtime_.now() - start > timeout) return std::nullopt;
    }
}

QString Link::ReadReply(double timeout) {
    double start = runtime_.now();
    QString result;
    for (;;) {
        while (port_->bytesWaiting() == 0) {
            if (runtime_.now() - start > timeout) return result;
            if (gone()) lost();
            waitForMore(start + timeout, false);
        }
        const QChar c = takeChar();
        result += c;
        start = runtime_.now();
        if (c == '\n' || result.size() >= MaxLine) return result;
    }
}

} // namespace cvi
