#pragma once

#include "AppState.h"
#include "Link.h"
#include "LinkSettings.h"

#include <QString>

#include <optional>

namespace cvi::detection {

// Finding the loop on a port: the baud rate from a short probe that the loop echoes, then the
// instruments from one version broadcast (identifiers, parity and versions come from the
// replies), then the check for instruments that stream readings unasked.

// Seconds the probe waits for its echo, and the broadcast for its replies, at a baud rate.
double probeWait(int baudRate);
double scanWait(int baudRate);

// The communication time-out of a loop: 500 / baud rate x instruments + 0.2 s, to two decimals.
double commTimeoutFor(int baudRate, int instrumentCount);

// One line of the version broadcast as it came back.
struct ScanLine {
    QString id;      // characters 4-5, parity bit dropped; "00" is the broadcast itself
    QString parity;  // "N", "E" or "O" from the echo of "VR"; empty when it could not be told
    QString version; // characters 9 on, parity bit dropped
    bool echo() const { return id == QStringLiteral("00"); }
};

// What the detection reports while it runs, and how it lets the user interface breathe.
class DetectionObserver {
public:
    virtual ~DetectionObserver() = default;
    // Lets the user interface run, at most `maxWait` seconds; may throw to abandon the detection.
    virtual void breathe(double maxWait) = 0;
    // A probe at this rate is about to go out; it waits `wait` seconds for its echo.
    virtual void probing(int baudRate, double wait) {
        Q_UNUSED(baudRate)
        Q_UNUSED(wait)
    }
    // The version broadcast went out; replies are awaited for `wait` seconds.
    virtual void scanning(double wait) { Q_UNUSED(wait) }
    // A line of the broadcast came back (the returning broadcast itself last).
    virtual void line(const ScanLine& line) { Q_UNUSED(line) }
};

// From 19200 baud down to 300: an unfinished broadcast "*9900VR" (so every instrument drops what
// it was reading), 0.3 s, then the probe "*00" and its echo awaited. The rate at which the echo
// came back whole, or no value when the loop never echoed.
std::optional<int> probeBaudRate(Link& link, const QString& port, DetectionObserver& observer);

struct Scan {
    QString ids;     // identifiers found, two characters each, first occurrence only
    int count = 0;   // lines before the returning broadcast
    QString letters; // the parity letter of every line that had one
    char parity = 0; // the last parity letter told, 0 when none
    bool mixed() const;
};

// "**9900VR" at `baudRate`, 8N1; every line until the broadcast comes back is an instrument. A
// long loop still answering when the wait is over is heard out until the line has been quiet.
Scan scanLoop(Link& link, const QString& port, int baudRate, DetectionObserver& observer);

// Listens two seconds without sending: how many characters nobody asked for.
int listenForUnasked(Link& link, const LinkSettings& settings);
// "**" + id + "00MD", 0.7 s: everything that came back.
QString askMode(Link& link, const LinkSettings& settings, const QString& id);
// The MD digit of an answer to askMode ("2" of "...MD=2..."); no value when there is no "MD".
std::optional<QString> modeIn(const QString& answer);
// "**" + id + "00EW*" + id + "00MD=" + value, then 0.2 s.
void setMode(Link& link, const LinkSettings& settings, const QString& id, QChar value,
             const AppState* state = nullptr);

} // namespace cvi::detection
