#include "Detection.h"

#include "Frames.h"
#include "Journal.h"
#include "Transactions.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace cvi::detection {

namespace {
// Every wait reaches just past its deadline, so that the clock has surely got there.
constexpr double PastDeadline = 0.001;

// The probe "*00" as it comes back from a loop without parity, with even parity, with odd parity
// (7-bit characters read as 8 bits keep their parity bit in bit 7).
const QString ProbeEchoes[3] = {QStringLiteral("*00"),
                                QString::fromLatin1("\xAA"
                                                    "00"),
                                QString::fromLatin1("*\xB0\xB0")};
// "VR" in a version reply read the same way, and the parity each form tells.
const QString VersionMnemonics[3] = {QStringLiteral("VR"), QString::fromLatin1("V\xD2"),
                                     QString::fromLatin1("\xD6R")};
const char ParityLetters[3] = {'N', 'E', 'O'};

QChar low7(QChar c) {
    return QChar(static_cast<ushort>(c.unicode() & 0x7F));
}
bool isLineEnd(QChar c) {
    return c.unicode() == 0x0A || c.unicode() == 0x8A;
}
bool isCR(QChar c) {
    return c.unicode() == 0x0D || c.unicode() == 0x8D;
}

struct Opened {
    Link& link;
    Opened(Link& l, const LinkSettings& settings) : link(l) { link.OpenPort(settings); }
    ~Opened() { link.ClosePort(); }
};

bool instrumentId(const QString& id) {
    if (id.size() != 2 || id[0] < '0' || id[0] > '9' || id[1] < '0' || id[1] > '9') return false;
    return id != QLatin1String("00") && id != QLatin1String("99");
}

ScanLine parseLine(const QString& line) {
    ScanLine s;
    for (const QChar k : line.mid(3, 2))
        s.id += low7(k);
    const QString mnemonic = line.mid(5, 2);
    for (int i = 0; i < 3; ++i)
        if (mnemonic == VersionMnemonics[i]) s.parity = QString(QChar::fromLatin1(ParityLetters[i]));
    for (int i = 8; i < line.size() && !isCR(line.at(i)) && !isLineEnd(line.at(i)); ++i)
        s.version += low7(line.at(i));
    return s;
}
} // namespace

double probeWait(int baudRate) {
    if (baudRate >= 4800) return 2.5;
    if (baudRate >= 2400) return 3.5;
    if (baudRate >= 1200) return 4.0;
    if (baudRate >= 600) return 5.5;
    return 10.5;
}

double scanWait(int baudRate) {
    if (baudRate >= 4800) return 1.5;
    if (baudRate >= 2400) return 2.0;
    if (baudRate >= 1200) return 3.0;
    if (baudRate >= 600) return 5.5;
    return 10.5;
}

double commTimeoutFor(int baudRate, int instrumentCount) {
    if (baudRate <= 0) return 0.2;
    const double seconds = 500.0 / baudRate * instrumentCount + 0.2;
    return std::round(seconds * 100.0) / 100.0;
}

bool Scan::mixed() const {
    for (int i = 1; i < letters.size(); ++i)
        if (letters.at(i) != letters.at(0)) return true;
    return false;
}

std::optional<int> probeBaudRate(Link& link, const QString& port, DetectionObserver& observer) {
    bool anyReply = false;
    int candidate = 19200;
    for (;; candidate /= 2) {
        const double wait = probeWait(candidate);
        observer.probing(candidate, wait);
        observer.breathe(0.0);
        const LinkSettings settings = LinkSettings::of(port, candidate, 'N');

        // An unfinished broadcast first, so that every instrument drops whatever it was reading;
        // the probe's own star then starts a line that no instrument takes.
        {
            const Opened open(link, settings);
            link.Output(QStringLiteral("*9900VR"));
        }
        link.Delay(0.3);
        observer.breathe(0.0);
        const Opened open(link, settings);
        link.Output(QStringLiteral("*00"));

        const double start = link.SecondsNow();
        for (;;) {
            if (link.InBufferCount() >= 3) {
                anyReply = true;
                break;
            }
            const double elapsed = link.SecondsNow() - start;
            if (elapsed >= wait) break;
            link.checkNotLost();
            if (!link.PortOpen())
                throw PortError(PortError::Kind::DeviceLost, Link::lostText(link.port().deviceName()));
            observer.breathe(wait - elapsed + PastDeadline);
        }
        const QString reply = link.InputAll();
        if (std::find(std::begin(ProbeEchoes), std::end(ProbeEchoes), reply) != std::end(ProbeEchoes)) break;
        if (candidate <= 300) break;
    }
    // Some answer but never the echo itself: the loop is there, at the lowest rate tried.
    if (!anyReply) return std::nullopt;
    return candidate;
}

Scan scanLoop(Link& link, const QString& port, int baudRate, DetectionObserver& observer) {
    link.SetInBufferSize(1500);
    const Opened open(link, LinkSettings::of(port, baudRate, 'N'));
    link.Output(QStringLiteral("**9900VR") + CRLF);

    const double wait = scanWait(baudRate);
    observer.scanning(wait);
    const double start = link.SecondsNow();
    // A long loop can still be answering when the wait is over (98 instruments need more than
    // 1.5 s at 9600 baud): the scan then goes on until the line has been quiet for 20 character
    // times, and never longer than a full receive buffer takes to arrive.
    const double charTime = 10.0 / baudRate;
    const double quietGap = 20 * charTime;
    const double longest = wait + 1500 * charTime;
    double lastChar = start;

    Scan scan;
    int lines = -1;
    QString line;
    for (;;) {
        const QString got = link.InBufferCount() > 0 ? link.InputChar() : QString();
        if (!got.isEmpty()) {
            lastChar = link.SecondsNow();
            const QChar c = got.at(0);
            line += c;
            if (isLineEnd(c)) {
                const ScanLine found = parseLine(line);
                line.clear();
                ++lines;
                if (!found.echo()) {
                    // A garbled or cut line names no instrument: only "01".."98" go into the
                    // list, which holds two characters per instrument.
                    bool known = !instrumentId(found.id);
                    for (int i = 0; i + 1 < scan.ids.size(); i += 2)
                        if (scan.ids.mid(i, 2) == found.id) known = true;
                    if (!known) scan.ids += found.id;
                    if (!found.parity.isEmpty()) {
                        scan.parity = found.parity.at(0).toLatin1();
                        scan.letters += found.parity;
                    }
                }
                observer.line(found);
                if (found.echo()) break; // the broadcast, back from the last instrument
            } else if (line.size() > Link::MaxLine) {
                line.clear(); // no reply is this long: noise
            }
            observer.breathe(0.0);
            continue;
        }
        const double now = link.SecondsNow();
        const double elapsed = now - start;
        if (elapsed >= wait && (now - lastChar >= quietGap || elapsed >= longest)) break;
        link.checkNotLost();
        if (!link.PortOpen())
            throw PortError(PortError::Kind::DeviceLost, Link::lostText(link.port().deviceName()));
        const double until = elapsed < wait ? wait - elapsed : std::max(quietGap - (now - lastChar), 0.0);
        observer.breathe(until + PastDeadline);
    }
    // Every line but the returning broadcast is an instrument; a silent line means none.
    scan.count = std::max(lines, 0);
    return scan;
}

int listenForUnasked(Link& link, const LinkSettings& settings) {
    const Opened open(link, settings);
    link.Delay(2.0);
    link.checkNotLost();
    return link.InBufferCount();
}

QString askMode(Link& link, const LinkSettings& settings, const QString& id) {
    const Opened open(link, settings);
    link.Output(QStringLiteral("**") + id + QStringLiteral("00MD") + CRLF);
    link.Delay(0.7);
    link.checkNotLost();
    return link.InputAll();
}

std::optional<QString> modeIn(const QString& answer) {
    const qsizetype at = answer.indexOf(QStringLiteral("MD"));
    if (at < 0) return std::nullopt;
    return answer.mid(at + 3, 1);
}

void setMode(Link& link, const LinkSettings& settings, const QString& id, QChar value,
             const AppState* state) {
    const Opened open(link, settings);
    link.Output(QStringLiteral("**") + id + QStringLiteral("00EW*") + id + QStringLiteral("00MD=") + value +
                CRLF);
    // Nothing is read back: the row says what the instrument was told.
    journal::record(Channel{link, settings, QStringLiteral("*") + id + QStringLiteral("00"), state},
                    QStringLiteral("MD"), QString(), QString(value), {}, false);
    link.Delay(0.2);
}

} // namespace cvi::detection
