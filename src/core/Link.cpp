#include "Link.h"

#include "Frames.h"

#include <algorithm>

namespace cvi {

namespace {
// A wait always reaches just past its deadline, so "more than the time-out has elapsed" holds
// when it returns empty-handed, even for a time-out of zero.
constexpr double PastDeadline = 0.001;
// How long the terminal's reader lets the rest of a line under way gather (about four characters
// at 19200 baud); too short for the interface to feel.
constexpr double TerminalGather = 0.002;
} // namespace

Link::Link(Runtime& runtime, const PortMap& ports, std::unique_ptr<SerialPort> port, QObject* parent)
    : QObject(parent), runtime_(runtime), ports_(ports), port_(std::move(port)) {
    port_->setParent(nullptr);
}

Link::~Link() {
    if (port_ && port_->isOpen()) port_->close();
    release();
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
    const PortSettings s = portSettings(settings);
    // Opened again on the same device, the object goes on holding its line: what it awaited is
    // still its own to read (the Terminal page listening where a continuous reading was).
    const bool again = line_ && s.device == device_;
    if (!again) ClosePort();
    LineState& line = runtime_.line(s.device);
    // Another window of this program has the line open. It waits in a reader further down this
    // very call chain, so waiting here for it could never end: it lets go when it can (a reading
    // winding down after Stop), else this open is refused.
    if (line.holder && line.holder != this && line.release) {
        const std::function<void()> release = std::move(line.release);
        line.release = nullptr;
        release();
    }
    if (line.holder && line.holder != this)
        throw PortError(PortError::Kind::Unavailable, heldText(s.device, line.holderName));
    try {
        port_->open(s);
    } catch (...) {
        release();
        throw;
    }
    device_ = s.device;
    line_ = &line;
    line.holder = this;
    line.holderName = holderName_;
    if (again) return;
    awaiting_ = false;
    try {
        settleOwed();
    } catch (...) {
        ClosePort();
        throw;
    }
}

QString Link::heldText(const QString& device, const QString& holder) {
    return QStringLiteral("%1 is held by another window of this program%2. Close it there, then retry.")
        .arg(device, holder.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(holder));
}

void Link::awaitAnswer(double deadline) {
    awaiting_ = true;
    awaitDeadline_ = deadline;
}

void Link::owe(double deadline, int lines) {
    if (device_.isEmpty() || deadline <= runtime_.now()) return;
    LineState& line = line_ ? *line_ : runtime_.line(device_);
    if (line.owedUntil > runtime_.now()) {
        line.owedLines = line.owedLines == 0 || lines == 0 ? 0 : line.owedLines + lines;
        line.owedUntil = std::max(line.owedUntil, deadline);
    } else {
        line.owedLines = lines;
        line.owedUntil = deadline;
    }
}

void Link::offerRelease(std::function<void()> release) {
    if (line_ && line_->holder == this) line_->release = std::move(release);
}

void Link::release() {
    // An answer of a vanished device never comes; anything else still awaited is owed.
    if (awaiting_ && !port_->isLost()) owe(awaitDeadline_, 1);
    awaiting_ = false;
    if (line_ && line_->holder == this) {
        line_->holder = nullptr;
        line_->release = nullptr;
    }
    line_ = nullptr;
}

void Link::settleOwed() {
    LineState& line = *line_;
    const double until = line.owedUntil;
    const int lines = line.owedLines;
    line.owedUntil = 0.0;
    line.owedLines = 0;
    if (until <= runtime_.now()) return;
    // The answer of an abandoned request, or its tail: read and thrown away as it comes, with the
    // user interface running, until its line has ended or its deadline has passed.
    int ended = 0;
    for (;;) {
        while (port_->bytesWaiting() > 0) {
            const QByteArray b = port_->read(1);
            if (!b.isEmpty() && b[0] == '\n' && lines > 0 && ++ended >= lines) return;
        }
        if (runtime_.now() > until) break;
        if (gone()) lost();
        runtime_.pump(until - runtime_.now() + PastDeadline);
    }
    port_->discardInput();
}

void Link::OpenPortIfClosed(const LinkSettings& settings) {
    if (!port_->isOpen()) OpenPort(settings);
}

void Link::ClosePort() {
    if (port_->isOpen()) port_->close();
    release();
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
    awaitAnswer(start + timeout);
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
        if (runtime_.now() - start > timeout) {
            answerCame();
            return std::nullopt;
        }
    }
    answerCame();
    if (!complete || !line.endsWith(CRLF)) {
        ++brokenLines_;
        if (observer_) observer_->brokenLine();
        return QString();
    }
    return line;
}

QString Link::ReadContinuous(double timeout) {
    const double start = runtime_.now();
    awaitAnswer(start + timeout);
    QString line;
    for (;;) {
        const int waiting = port_->bytesWaiting();
        if (waiting > 0) {
            if (waiting > OverflowCount) return QStringLiteral("Overflow");
            const QChar c = takeChar();
            line += c;
            if (c == '*' && line.size() >= 2) line = QStringLiteral("*");
            if (c == '\n') {
                answerCame();
                return line;
            }
            if (line.size() > MaxLine) {
                answerCame();
                return QString();
            }
            runtime_.pump();
        } else {
            if (gone()) lost();
            waitForMore(start + timeout, true);
        }
        if (runtime_.now() - start > timeout) {
            answerCame();
            return QString();
        }
    }
}

std::optional<QString> Link::ReadInputFor(double timeout, const std::function<bool(const QString&)>& accept) {
    const double deadline = runtime_.now() + timeout;
    for (;;) {
        std::optional<QString> line = ReadInput(std::max(deadline - runtime_.now(), 0.0));
        if (!line || line->isEmpty() || !accept || accept(*line)) return line;
        // Not the answer (another instrument's, another parameter's, a fragment): read on.
        if (runtime_.now() > deadline) return std::nullopt;
    }
}

std::optional<QString> Link::ReadTerminalInput(double timeout) {
    const double start = runtime_.now();
    QString line;
    for (;;) {
        // One polling pass: what is waiting is taken up to the line's end, then the interface runs.
        for (int n = port_->bytesWaiting(); n > 0; --n) {
            const QChar c = takeChar();
            if (c == '\n') return line;
            if (c != '\r') line += c;
            if (line.size() >= MaxLine) return line; // cut a line that never ends
        }
        if (gone()) lost();
        // A line under way lets a few more characters gather before the next pass: on a busy line
        // every character would otherwise wake the program on its own.
        if (!line.isEmpty()) runtime_.sleep(TerminalGather);
        if (port_->bytesWaiting() > 0)
            runtime_.pump();
        else
            waitForMore(start + timeout, true);
        if (runtime_.now() - start > timeout) return std::nullopt;
    }
}

QString Link::ReadReply(double timeout, const std::function<bool(const QString&)>& accept) {
    double start = runtime_.now();
    awaitAnswer(start + timeout);
    QString result;
    for (;;) {
        while (port_->bytesWaiting() == 0) {
            if (runtime_.now() - start > timeout) {
                answerCame();
                return result;
            }
            if (gone()) lost();
            waitForMore(start + timeout, false);
        }
        const QChar c = takeChar();
        result += c;
        start = runtime_.now();
        awaitAnswer(start + timeout);
        if (c == '\n' && accept && !accept(result)) {
            // A whole line that cannot be the answer: passed over, the reading goes on.
            result.clear();
            continue;
        }
        if (c == '\n' || result.size() >= MaxLine) {
            answerCame();
            return result;
        }
    }
}

} // namespace cvi
