#pragma once

#include "AppState.h"
#include "Catalogue.h"
#include "Link.h"
#include "LinkSettings.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace cvi {

// The exchanges with the instruments, written once. Each runs on a window's own serial object
// (its Link), opens the port with the loop's settings, writes and reads as the instruments'
// command language requires, and closes the port on every way out, exceptions included. They
// return what came back and throw PortError when the port cannot be used; what to show is the
// caller's business. Each line is reported through the link's observer: the command text
// (command), the bytes written (sent) and every reply the transaction accepts (received).

// Where a transaction goes: the window's serial object, the loop's settings and the chosen
// instrument's address ("*" + ID + "00").
struct Channel {
    Link& link;
    LinkSettings settings;
    QString prefix;
    // The shared state behind it, when there is one: the journal takes the instrument's serial
    // number, the values shown before a write and the program's folder from it.
    const AppState* state = nullptr;

    ExchangeObserver* observer() const { return link.observer(); }
};

// The chosen instrument of the shared state, on a window's serial object.
inline Channel channelOf(Link& link, const AppState& state) {
    return Channel{link, state.Link, state.AddressPrefix, &state};
}

// One reply as read: empty when nothing (or a broken line) came back.
struct Reply {
    QString line;

    bool answered() const { return !line.isEmpty(); }
    // A parameter reply shorter than ten characters holds no value.
    bool holdsValue() const { return line.size() >= 10; }
    // The parameter value: characters 9 to L-2.
    QString value() const;
    std::optional<QString> valueIfAny() const;
};

// A port held open for the length of one transaction; closed when it goes out of scope.
class Transaction {
public:
    // Opens the port; with `wakeUp`, writes the lone "*" and pauses 10 ms.
    Transaction(const Channel& channel, bool wakeUp);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    Link& link() const { return channel_.link; }
    // Shows a command text (the observer's command) without sending it.
    void show(const QString& commandText) const;
    // Shows the command text and writes it as a page line: "*" + text + CR LF.
    void send(const QString& commandText) const;
    // Writes a text exactly as given.
    void write(const QString& text) const;
    // Waits up to `waitFirst` seconds for a first character (the interface does not run), then
    // reads one line with ReadInput. An answer is reported as received.
    Reply read(double timeout, double waitFirst = 0.0) const;
    // The same for the answer to a command of this channel: the addressed instrument's reply
    // naming `mnemonic` (a data reply when empty). Lines that cannot be it are passed over and
    // the read goes on until its time-out.
    Reply readAnswer(const QString& mnemonic, double timeout, double waitFirst = 0.0) const;
    // Pauses, then reads one line with ReadReply (the option dialogs' reader). Whatever came is
    // reported as received. With a mnemonic, whole lines that do not answer for it are passed over.
    QString readReply(double timeout, double pause, const QString& mnemonic = {}) const;
    void close() const { channel_.link.ClosePort(); }
    void reopen() const { channel_.link.OpenPort(channel_.settings); }

private:
    void received(const QString& line) const;
    std::function<bool(const QString&)> answerOf(const QString& mnemonic) const;
    Channel channel_;
};

// ---- parameters ---------------------------------------------------------------------------

// How a page's Start routine reads one parameter.
struct ReadStep {
    bool wakeUp = false;            // a lone "*" and 10 ms first, then the line with a single star
    bool runInterfaceFirst = false; // one pass of the user interface just before the read
    double waitFirst = 0.0;         // seconds to wait for the first character before the read
    bool twoStars = false;          // with wakeUp: the line keeps the prefix's star (two stars)
};

// Open, the read command (prefix + mnemonic), one reply under `timeout`, close, one pass of the
// user interface.
Reply readParameter(const Channel& channel, const QString& mnemonic, double timeout, ReadStep step = {});

// A value typed for a parameter's prompt edit, written as its catalogue row says: open, wake-up,
// the enable-write line, the echo under `timeout`. `whileOpen` runs with the echo before the port
// closes (the PR edit re-reads TR on the same open).
Reply writeParameter(const Channel& channel, const catalogue::Parameter& parameter, const QString& value,
                     double timeout,
                     const std::function<void(const Transaction&, const Reply&)>& whileOpen = {});

// ---- broadcasts ---------------------------------------------------------------------------

// What came back from a broadcast write.
struct BroadcastReplies {
    QStringList lines;       // the instruments' replies, in loop order
    bool unexpected = false; // a reply for another mnemonic ended the collection
    // The value character of the last reply ("1" of "*0001BL=1"), or empty text.
    QString value() const;
};

// Opens, wakes, writes "*" + caption + CR LF (a broadcast write such as "*9900EW*9900BL=1") and
// gathers the replies of every instrument for three seconds; the broadcast itself coming back
// around the loop is skipped, a reply for another mnemonic ends the collection.
BroadcastReplies collectBroadcastReplies(const Channel& channel, const QString& caption);

// The baud-lock question before the loop's settings change: "*9900BL" to every instrument at
// the settings they use now, everything that came within 1.5 s.
struct BaudLock {
    QString replies;
    bool answered() const { return !replies.isEmpty(); }
    // Some instrument answered "BL=1": its baud rate must not be changed.
    bool locked() const;
};
BaudLock checkBaudLock(const Channel& channel);

// Tells every instrument the new parity, then the new baud rate ("**9900PT=", "**9900BR="), each
// followed by a one-second pause, at the settings they use now (the channel's).
void broadcastLinkSettings(const Channel& channel, const LinkSettings& next);

// Renumbers the loop: "*99" + (first - 1) + "ID"; the instruments count on from `firstId`.
QString renumberCommand(int firstId);
// The highest identifier an instrument can take.
inline constexpr int HighestInstrumentId = 98;
// Why the loop's instruments cannot count on from `firstId`; empty when they can.
QString renumberRefusal(int firstId, int instrumentCount);
void renumberLoop(const Channel& channel, int firstId);

// ---- the option dialogs' writes ---------------------------------------------------------------

// One enable-write of a coded parameter and its echo (0.5 s pause, per-character time-out).
QString writeOption(const Channel& channel, const QString& mnemonic, const QString& code, double timeout);

// The baud lock to every instrument at once; every line that came back but the broadcast itself.
QStringList writeBaudLock(const Channel& channel, const QString& code, int instrumentCount, double timeout);

// ZS: taring off is one write; taring requested is the write, a wait for the measurement that
// takes the zero, and a read of ZS (and, while taring is on, ZV).
struct ZeroSet {
    QString writeEcho; // the echo of "ZS=0"
    QString state;     // the ZS read after a request
    QString offset;    // the ZV read while taring is on
};
ZeroSet writeZeroSet(const Channel& channel, const QString& code, double timeout);

// UN: the write and, when it was confirmed, the values kept in pressure units read again.
struct UnitsChange {
    QString echo;
    QList<QPair<QString, QString>> rereads; // mnemonic and the reply to its read
};
UnitsChange writeUnits(const Channel& channel, const QString& code, const QStringList& rereads,
                       double timeout);

// ---- readings ---------------------------------------------------------------------------

// The Sampling page's Send: open with a 1024-character receive buffer, wake-up, the command line,
// up to 0.2 s for a first character. `single` reads one reply; `hold` reads nothing.
Reply sampleOnce(const Channel& channel, const QString& commandText, double timeout, bool readReply = true);

// A continuous reading (P2, P4, P7, Q2, Q4): the command, the first line, then one line per
// next() until stop() or an overflow. The port stays open in between.
class ContinuousReading {
public:
    explicit ContinuousReading(const Channel& channel);
    ~ContinuousReading();

    // Sends the command; the first line (not reported to the observer: it only tells that the
    // reading has begun), or no value when the instrument is silent (the port is then closed).
    std::optional<QString> start(const QString& commandText, double timeout);
    // The next line: empty text on silence, "Overflow" when the receive buffer is overrunning.
    QString next(double timeout);
    // Stops every instrument: wake-up, "*9900VR", up to 0.2 s, the rest of the input discarded,
    // the port closed.
    void stop();
    // After "Overflow": "*9900VR" and the port closed.
    void abandon();
    bool running() const;

private:
    Channel channel_;
    double timeout_ = 0.0; // the wait in force for the readings
};

// The stop command every continuous output obeys.
inline const QString StopAll = QStringLiteral("*9900VR");

} // namespace cvi
