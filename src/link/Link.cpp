#include "Link.h"

#include "Frames.h"

#include <algorithm>

namespace cvi {

namespace {
// A wait always reaches just past its deadline, so "more than the time-out has elapsed" holds
// when it returns empty-handed, even for a time-out of zero.
constexpr double PastDeadline = 0.001;
} // namespace

Link::Link(AppState& state, Runtime& runtime, Operator& op, const PortMap& ports, std::unique_ptr<SerialPort> port,
           QObject* parent)
    : QObject(parent), state_(state), runtime_(runtime), op_(op), ports_(ports), port_(std::move(port)) {
    port_->setParent(nullptr);
    connect(port_.get(), &SerialPort::deviceLost, this, [this] { lossNoticed_ = true; });
}

Link::~Link() {
    if (port_ && port_->isOpen()) port_->close();
}

PortSettings Link::sharedSettings() const {
    PortSettings s;
    s.portNumber = PortMap::slotOf(state_.PortName);
    s.device = ports_.device(s.portNumber);
    s.baudRate = state_.BaudRate.trimmed().toInt();
    s.parity = state_.Parity.isEmpty() ? 'N' : state_.Parity.at(0).toLatin1();
    s.dataBits = state_.DataBits.trimmed().toInt();
    if (s.dataBits != 7 && s.dataBits != 8) s.dataBits = (s.parity == 'N') ? 8 : 7;
    s.stopBits = 1;
    return s;
}

void Link::OpenPort() {
    const PortSettings s = sharedSettings();
    if (s.baudRate <= 0)
        throw PortError(PortError::Kind::BadSettings, QStringLiteral("No baud rate has been detected yet."));
    lossNoticed_ = false;
    lossReported_ = false;
    port_->open(s);
}

void Link::OpenPortIfClosed() {
    if (!port_->isOpen()) OpenPort();
}

void Link::OpenPortWith(const QString& portName, const QString& settingsText) {
    PortSettings s;
    if (!PortSettings::parseSettingsText(settingsText, s))
        throw PortError(PortError::Kind::BadSettings, QStringLiteral("Invalid settings: %1").arg(settingsText));
    s.portNumber = PortMap::slotOf(portName);
    s.device = ports_.device(s.portNumber);
    lossNoticed_ = false;
    lossReported_ = false;
    port_->open(s);
}

void Link::ClosePort() {
    if (port_->isOpen()) port_->close();
}

void Link::Output(const QString& text) {
    if (!port_->isOpen()) throw PortError(PortError::Kind::NotOpen, QStringLiteral("The port is not open."));
    port_->write(text.toLatin1());
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

void Link::noticeLoss() {
    lossNoticed_ = true;
    if (lossReported_) return;
    lossReported_ = true;
    const QString device = port_->deviceName();
    emit portLost(device);
    op_.message(QStringLiteral("The serial port %1 has been lost (the adapter was unplugged or the line closed). "
                               "Check the connection, then run Startup again.")
                    .arg(device),
                QStringLiteral("Error"), Operator::Icon::Exclamation);
}

void Link::waitForMore(double deadline, int moreThan, bool runInterface) {
    const double left = std::max(deadline - runtime_.now(), 0.0) + PastDeadline;
    if (runInterface)
        runtime_.pump(left);
    else
        port_->waitForInput(left, moreThan);
}

void Link::WaitForInput(double seconds) {
    if (!port_->isOpen() || port_->bytesWaiting() > 0) return;
    port_->waitForInput(std::max(seconds, 0.0) + PastDeadline);
}

std::optional<QString> Link::ReadInput() {
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
            if (gone()) {
                noticeLoss();
                return std::nullopt;
            }
            waitForMore(start + state_.ReadTimeout, 0, true);
        }
        if (runtime_.now() - start > state_.ReadTimeout) return std::nullopt;
    }
    if (!complete || !line.endsWith(CRLF)) {
        op_.message(QStringLiteral("CR and LF can not be detected !"), QStringLiteral("Data Error"),
                    Operator::Icon::Exclamation);
        return QString();
    }
    return line;
}

QString Link::ReadContinuous() {
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
            if (gone()) {
                noticeLoss();
                return QString();
            }
            waitForMore(start + state_.ReadTimeout, 0, true);
        }
        if (runtime_.now() - start > state_.ReadTimeout) return QString();
    }
}

std::optional<QString> Link::ReadTerminalInput() {
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
            if (gone()) {
                noticeLoss();
                return std::nullopt;
            }
            waitForMore(start + state_.ReadTimeout, 0, true);
        }
        if (runtime_.now() - start > state_.ReadTimeout) return std::nullopt;
    }
}

QString Link::ReadReply() {
    double start = runtime_.now();
    QString result;
    for (;;) {
        while (port_->bytesWaiting() == 0) {
            if (runtime_.now() - start > state_.ReadTimeout) return result;
            if (gone()) {
                noticeLoss();
                return result;
            }
            waitForMore(start + state_.ReadTimeout, 0, false);
        }
        const QChar c = takeChar();
        result += c;
        start = runtime_.now();
        if (c == '\n' || result.size() >= MaxLine) return result;
    }
}

QString Link::CollectBroadcastReplies(const QString& caption, const std::function<void(const QString&)>& append) {
    constexpr double Window = 3.0;
    // Once a line has begun after the window, its next character may take at most this long.
    constexpr double LineGap = 1.0;

    OpenPort();
    WakeUp();
    Output(QStringLiteral("*") + caption + CRLF);
    const double start = runtime_.now();
    const QString mnemonic = caption.mid(12, 2);
    QString lastReply;
    bool stop = false;

    while (!stop) {
        if (runtime_.now() - start >= Window) break;
        if (port_->bytesWaiting() < 9) {
            if (gone()) {
                noticeLoss();
                break;
            }
            const double left = std::max(start + Window - runtime_.now(), 0.0);
            port_->waitForInput(left, 8);
            continue;
        }
        // Read whole lines; the broadcast coming back around the loop is skipped.
        for (;;) {
            QString line;
            double lastChar = runtime_.now();
            bool complete = false;
            while (!complete) {
                if (port_->bytesWaiting() > 0) {
                    const QChar c = takeChar();
                    line += c;
                    lastChar = runtime_.now();
                    if (c == '\n') complete = true;
                    if (line.size() > MaxLine) break;
                    continue;
                }
                const double deadline = std::max(start + Window, lastChar + LineGap);
                if (runtime_.now() >= deadline || gone()) break;
                port_->waitForInput(deadline - runtime_.now() + PastDeadline);
            }
            if (!complete) {
                if (gone()) noticeLoss();
                stop = true;
                break;
            }
            if (line.mid(1, 2) == QStringLiteral("99")) continue;
            if (line.mid(5, 2) != mnemonic) {
                op_.message(QStringLiteral("The responce is not an expected responce!"), QStringLiteral("Error!"),
                            Operator::Icon::Information);
                stop = true;
                break;
            }
            if (append) append(line);
            lastReply = line;
            break;
        }
    }
    ClosePort();
    return lastReply.isEmpty() ? QString() : lastReply.mid(8, 1);
}

} // namespace cvi
