#include "Transactions.h"

#include "Frames.h"
#include "Journal.h"

#include <algorithm>

namespace cvi {

namespace {
// Closes a port opened outside a Transaction on every way out.
struct PortCloser {
    Link& link;
    ~PortCloser() { link.ClosePort(); }
};
} // namespace

QString Reply::value() const {
    return ParameterValue(line);
}

std::optional<QString> Reply::valueIfAny() const {
    if (!holdsValue()) return std::nullopt;
    return value();
}

// ---- the transaction ------------------------------------------------------------------------

Transaction::Transaction(const Channel& channel, bool wakeUp) : channel_(channel) {
    channel_.link.OpenPort(channel_.settings);
    // The destructor does not run for a constructor that throws: close here.
    try {
        if (wakeUp) channel_.link.WakeUp();
    } catch (...) {
        channel_.link.ClosePort();
        throw;
    }
}

Transaction::~Transaction() {
    channel_.link.ClosePort();
}

void Transaction::show(const QString& commandText) const {
    if (ExchangeObserver* o = channel_.observer()) o->command(commandText);
}

void Transaction::send(const QString& commandText) const {
    show(commandText);
    channel_.link.Output(pageLine(commandText));
}

void Transaction::write(const QString& text) const {
    channel_.link.Output(text);
}

void Transaction::received(const QString& line) const {
    if (line.isEmpty()) return;
    if (ExchangeObserver* o = channel_.observer()) o->received(line);
}

Reply Transaction::read(double timeout, double waitFirst) const {
    if (waitFirst > 0) channel_.link.WaitForInput(waitFirst);
    Reply reply{channel_.link.ReadInput(timeout).value_or(QString())};
    received(reply.line);
    return reply;
}

std::function<bool(const QString&)> Transaction::answerOf(const QString& mnemonic) const {
    return
        [prefix = channel_.prefix, mnemonic](const QString& line) { return answers(line, prefix, mnemonic); };
}

Reply Transaction::readAnswer(const QString& mnemonic, double timeout, double waitFirst) const {
    if (waitFirst > 0) channel_.link.WaitForInput(waitFirst);
    Reply reply{channel_.link.ReadInputFor(timeout, answerOf(mnemonic)).value_or(QString())};
    received(reply.line);
    return reply;
}

QString Transaction::readReply(double timeout, double pause, const QString& mnemonic) const {
    if (pause > 0) channel_.link.Delay(pause);
    const QString line = channel_.link.ReadReply(
        timeout, mnemonic.isEmpty() ? std::function<bool(const QString&)>{} : answerOf(mnemonic));
    received(line);
    return line;
}

// ---- parameters ---------------------------------------------------------------------------

Reply readParameter(const Channel& channel, const QString& mnemonic, double timeout, ReadStep step) {
    Reply reply;
    {
        const Transaction t(channel, false);
        const QString command = readCommand(channel.prefix, mnemonic);
        t.show(command);
        if (step.wakeUp) channel.link.WakeUp();
        t.write(step.wakeUp && !step.twoStars ? command + CRLF : pageLine(command));
        if (step.waitFirst > 0) channel.link.WaitForInput(step.waitFirst);
        if (step.runInterfaceFirst) channel.link.runtime().pump();
        reply = t.readAnswer(mnemonic, timeout);
    }
    channel.link.runtime().pump();
    return reply;
}

Reply writeParameter(const Channel& channel, const catalogue::Parameter& p, const QString& value,
                     double timeout, const std::function<void(const Transaction&, const Reply&)>& whileOpen) {
    const QString before = journal::shownBefore(channel, p.mnemonic);
    const Transaction t(channel, true);
    const QString command = writeCommand(channel.prefix, p.mnemonic, value);
    if (p.bareCommandShown)
        t.show(channel.prefix + p.mnemonic + QStringLiteral("=") + value);
    else if (!p.commandShownLate)
        t.show(command);
    if (p.secondWakeUp) channel.link.WakeUp();
    t.write(pageLine(command));
    if (p.commandShownLate) t.show(command);
    channel.link.WaitForInput(p.replyWait);
    const Reply reply{channel.link
                          .ReadInputFor(timeout,
                                        [&channel, &p](const QString& line) {
                                            return answers(line, channel.prefix, p.mnemonic);
                                        })
                          .value_or(QString())};
    // The limits' echo is logged with a line end of its own.
    if (reply.answered())
        if (ExchangeObserver* o = channel.observer())
            o->received(p.echoLine ? reply.line + CRLF : reply.line);
    journal::record(channel, p.mnemonic, before, value, reply.line,
                    p.showsAnswer ? reply.answered() : reply.holdsValue());
    if (whileOpen) whileOpen(t, reply);
    return reply;
}

// ---- broadcasts ---------------------------------------------------------------------------

QString BroadcastReplies::value() const {
    return lines.isEmpty() ? QString() : lines.last().mid(8, 1);
}

BroadcastReplies collectBroadcastReplies(const Channel& channel, const QString& caption) {
    constexpr double Window = 3.0;
    // Once a line has begun after the window, its next character may take at most this long.
    constexpr double LineGap = 1.0;
    constexpr double PastDeadline = 0.001;

    Link& link = channel.link;
    SerialPort& port = link.port();
    const QString mnemonic = caption.mid(12, 2);
    const bool writes = caption.mid(5, 2) == QLatin1String("EW");
    const QString before = journal::shownBefore(channel, mnemonic);
    const Transaction t(channel, true);
    t.write(QStringLiteral("*") + caption + CRLF);
    const double start = link.SecondsNow();
    BroadcastReplies result;

    auto takeChar = [&port] {
        const QByteArray b = port.read(1);
        return b.isEmpty() ? QChar() : QChar(static_cast<uchar>(b[0]));
    };
    bool stop = false;
    while (!stop) {
        if (link.SecondsNow() - start >= Window) break;
        if (port.bytesWaiting() < 9) {
            link.checkNotLost();
            if (!port.isOpen()) break;
            // Always a little past the window: a remainder that rounds to nothing would otherwise
            // never move a simulated clock.
            const double left = std::max(start + Window - link.SecondsNow(), 0.0);
            port.waitForInput(left + PastDeadline, 8);
            continue;
        }
        // Whole lines; the broadcast coming back around the loop is skipped.
        for (;;) {
            QString line;
            double lastChar = link.SecondsNow();
            bool complete = false;
            while (!complete) {
                if (port.bytesWaiting() > 0) {
                    const QChar c = takeChar();
                    line += c;
                    lastChar = link.SecondsNow();
                    if (c == '\n') complete = true;
                    if (line.size() > Link::MaxLine) break;
                    continue;
                }
                const double deadline = std::max(start + Window, lastChar + LineGap);
                link.checkNotLost();
                if (link.SecondsNow() >= deadline || !port.isOpen()) break;
                port.waitForInput(deadline - link.SecondsNow() + PastDeadline);
            }
            if (!complete) {
                stop = true;
                break;
            }
            if (line.mid(1, 2) == QStringLiteral("99")) continue;
            if (line.mid(5, 2) != mnemonic) {
                result.unexpected = true;
                if (ExchangeObserver* o = channel.observer()) o->unexpectedReply();
                stop = true;
                break;
            }
            if (ExchangeObserver* o = channel.observer()) o->received(line);
            result.lines << line;
            break;
        }
    }
    // The journal's row: the instrument (or the whole loop) the caption addresses, the value
    // after its "=".
    if (writes) {
        Channel addressed = channel;
        addressed.prefix = caption.left(5);
        journal::record(addressed, mnemonic, before, caption.section(QLatin1Char('='), 1),
                        result.lines.join(QString()), !result.value().isEmpty());
    }
    return result;
}

bool BaudLock::locked() const {
    // Each answer is "*00" + ID + "BL=" + value + CR LF: the value is every 11th character from
    // the 9th on.
    for (int i = 8; i < replies.size(); i += 11)
        if (replies.at(i) == QLatin1Char('1')) return true;
    return false;
}

BaudLock checkBaudLock(const Channel& channel) {
    constexpr double Settle = 1.5;
    const Transaction t(channel, true);
    t.write(QStringLiteral("*9900BL") + CRLF);
    channel.link.Delay(Settle);
    channel.link.checkNotLost();
    return BaudLock{channel.link.InputAll()};
}

void broadcastLinkSettings(const Channel& channel, const LinkSettings& next) {
    constexpr double Pause = 1.0;
    const Transaction t(channel, false);
    t.write(QStringLiteral("**9900PT=") + next.parityText() + CRLF);
    journal::record(channel, QStringLiteral("PT"), channel.settings.parityText(), next.parityText(), {},
                    false);
    channel.link.Delay(Pause);
    t.write(QStringLiteral("**9900BR=") + next.baudText() + CRLF);
    journal::record(channel, QStringLiteral("BR"), channel.settings.baudText(), next.baudText(), {}, false);
    channel.link.Delay(Pause);
}

QString renumberCommand(int firstId) {
    return QStringLiteral("*99%1ID").arg(firstId - 1, 2, 10, QLatin1Char('0'));
}

QString renumberRefusal(int firstId, int instrumentCount) {
    if (firstId < 1 || firstId > HighestInstrumentId) return QStringLiteral("The ID can be a number 1-98.");
    if (firstId + instrumentCount - 1 > HighestInstrumentId)
        return QStringLiteral("There isn't enough numbers to renumber the instruments!...");
    return {};
}

void renumberLoop(const Channel& channel, int firstId) {
    const QString text = renumberCommand(firstId);
    const Transaction t(channel, true);
    t.send(text);
    // Nothing answers a renumbering: the row says what the loop was told.
    Channel loop = channel;
    loop.prefix.clear();
    journal::record(loop, QStringLiteral("ID"), channel.state ? channel.state->idAt(0) : QString(),
                    QStringLiteral("%1").arg(firstId, 2, 10, QLatin1Char('0')), {}, false);
    channel.link.WaitForInput(1.0);
    channel.link.checkNotLost();
}

// ---- the option dialogs' writes ---------------------------------------------------------------

QString writeOption(const Channel& channel, const QString& mnemonic, const QString& code, double timeout) {
    const QString command = writeCommand(channel.prefix, mnemonic, code);
    const QString before = journal::shownBefore(channel, mnemonic);
    const Transaction t(channel, true);
    t.send(command);
    const QString echo = t.readReply(timeout, 0.5, mnemonic);
    journal::record(channel, mnemonic, before, code, echo, !ParameterValue(echo).isEmpty());
    return echo;
}

QStringList writeBaudLock(const Channel& channel, const QString& code, int instrumentCount, double timeout) {
    const QString command = broadcastWrite(QStringLiteral("BL"), code);
    if (ExchangeObserver* o = channel.observer()) o->command(command);
    channel.link.OpenPortIfClosed(channel.settings);
    const PortCloser closer{channel.link};
    channel.link.Output(pageLine(command));
    channel.link.Delay(1.0);

    // Every instrument answers in loop order, then the broadcast itself comes back around the
    // loop; a quiet read time-out means nothing more is on its way.
    const int most = std::max(instrumentCount, 0) + 2;
    QStringList lines;
    for (int i = 0; i < most; ++i) {
        const QString line = channel.link.ReadReply(timeout);
        if (line.isEmpty()) break;
        if (line.mid(1, 2) == QStringLiteral("99")) continue;
        if (ExchangeObserver* o = channel.observer()) o->received(line);
        lines << line;
    }
    bool confirmed = false;
    for (const QString& line : lines)
        confirmed = confirmed || ParameterValue(line) == code;
    Channel loop = channel;
    loop.prefix = QStringLiteral("*9900");
    journal::record(loop, QStringLiteral("BL"), journal::shownBefore(channel, QStringLiteral("BL")), code,
                    lines.join(QString()), confirmed);
    return lines;
}

ZeroSet writeZeroSet(const Channel& channel, const QString& code, double timeout) {
    ZeroSet result;
    const QString command = writeCommand(channel.prefix, QStringLiteral("ZS"), code);
    const QString before = journal::shownBefore(channel, QStringLiteral("ZS"));
    if (code == QStringLiteral("0")) {
        const Transaction t(channel, true);
        t.send(command);
        result.writeEcho = t.readReply(timeout, 0.5, QStringLiteral("ZS"));
        journal::record(channel, QStringLiteral("ZS"), before, code, result.writeEcho,
                        !ParameterValue(result.writeEcho).isEmpty());
        return result;
    }
    {
        // Taring requested: the instrument takes its zero with the next measurement; ask how
        // far it has got once that had time to finish.
        const Transaction t(channel, true);
        t.send(command);
        channel.link.Delay(1.0);
    }
    channel.link.Delay(1.0);
    {
        const Transaction t(channel, false);
        t.send(readCommand(channel.prefix, QStringLiteral("ZS")));
        result.state = t.readReply(timeout, 0.0, QStringLiteral("ZS"));
    }
    // The request is confirmed by the state read after it.
    journal::record(channel, QStringLiteral("ZS"), before, code, result.state,
                    !ParameterValue(result.state).isEmpty());
    const QString state = ParameterValue(result.state);
    if (state != QStringLiteral("1") && state != QStringLiteral("2")) return result;
    const Transaction t(channel, false);
    t.send(readCommand(channel.prefix, QStringLiteral("ZV")));
    result.offset = t.readReply(timeout, 1.0, QStringLiteral("ZV"));
    return result;
}

UnitsChange writeUnits(const Channel& channel, const QString& code, const QStringList& rereads,
                       double timeout) {
    UnitsChange result;
    const QString before = journal::shownBefore(channel, QStringLiteral("UN"));
    const Transaction t(channel, true);
    t.send(writeCommand(channel.prefix, QStringLiteral("UN"), code));
    result.echo = t.readReply(timeout, 0.5, QStringLiteral("UN"));
    // What a time-out leaves (noise at a wrong baud rate, a fragment) confirms nothing; the
    // journal keeps what came all the same.
    const bool echoed = answers(result.echo, channel.prefix, QStringLiteral("UN"));
    journal::record(channel, QStringLiteral("UN"), before, code, result.echo,
                    echoed && !ParameterValue(result.echo).isEmpty());
    if (!echoed) result.echo.clear();
    // Without a confirmed write the instrument keeps its old unit: nothing to read again.
    if (ParameterValue(result.echo).isEmpty()) return result;
    for (const QString& mnemonic : rereads) {
        t.send(readCommand(channel.prefix, mnemonic));
        result.rereads.append({mnemonic, t.readReply(timeout, 0.5, mnemonic)});
    }
    return result;
}

// ---- readings ---------------------------------------------------------------------------

namespace {
void openForSampling(const Channel& channel, const QString& commandText) {
    channel.link.SetInBufferSize(1024);
    channel.link.OpenPort(channel.settings);
    channel.link.WakeUp();
    if (ExchangeObserver* o = channel.observer()) o->command(commandText);
    channel.link.Output(pageLine(commandText));
    channel.link.WaitForInput(0.2);
}
} // namespace

Reply sampleOnce(const Channel& channel, const QString& commandText, double timeout, bool readReply) {
    const PortCloser closer{channel.link};
    openForSampling(channel, commandText);
    if (!readReply) return {};
    // A data reply of the addressed instrument; a fragment or a parameter reply is not one.
    Reply reply{
        channel.link
            .ReadInputFor(timeout, [&channel](const QString& line) { return answers(line, channel.prefix); })
            .value_or(QString())};
    if (reply.answered())
        if (ExchangeObserver* o = channel.observer()) o->received(reply.line);
    return reply;
}

ContinuousReading::ContinuousReading(const Channel& channel) : channel_(channel) {}

ContinuousReading::~ContinuousReading() {
    channel_.link.ClosePort();
}

bool ContinuousReading::running() const {
    return channel_.link.PortOpen();
}

std::optional<QString> ContinuousReading::start(const QString& commandText, double timeout) {
    timeout_ = timeout; // a Stop before the first next() owes the line this wait too
    try {
        openForSampling(channel_, commandText);
        const std::optional<QString> first = channel_.link.ReadInputFor(
            timeout, [this](const QString& line) { return answers(line, channel_.prefix); });
        // The first line only tells that the instrument has begun; it is not reported.
        if (!first) channel_.link.ClosePort();
        return first;
    } catch (...) {
        channel_.link.ClosePort();
        throw;
    }
}

QString ContinuousReading::next(double timeout) {
    timeout_ = timeout;
    try {
        const QString line = channel_.link.ReadContinuous(timeout);
        if (!line.isEmpty() && line != QStringLiteral("Overflow"))
            if (ExchangeObserver* o = channel_.observer()) o->received(line);
        return line;
    } catch (...) {
        channel_.link.ClosePort();
        throw;
    }
}

void ContinuousReading::stop() {
    const PortCloser closer{channel_.link};
    if (!channel_.link.PortOpen()) return;
    channel_.link.WakeUp();
    channel_.link.Output(StopAll + CRLF);
    channel_.link.WaitForInput(0.2);
    channel_.link.ClearInBuffer();
    // Every instrument answers the version request, and a reading may still be on its way: the
    // line is owed what comes within the readings' wait.
    channel_.link.answerCame();
    channel_.link.owe(channel_.link.SecondsNow() + timeout_);
}

void ContinuousReading::abandon() {
    const PortCloser closer{channel_.link};
    if (!channel_.link.PortOpen()) return;
    channel_.link.Output(StopAll + CRLF);
    channel_.link.answerCame();
    channel_.link.owe(channel_.link.SecondsNow() + timeout_);
}

} // namespace cvi
