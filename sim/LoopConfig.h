#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace cvi::sim {

// Per-instrument fault switches.
struct Faults {
    bool silent = false;        // never answers (still passes the line on)
    double slowSeconds = 0.0;   // answers this many seconds late
    bool garbage = false;       // answers with junk bytes instead of a reply line
    bool missingCR = false;     // reply lines end in LF only
    bool questionMark = false;  // data replies carry a "?"
    bool wrongMnemonic = false; // parameter replies (to broadcasts too) name another parameter
    QStringList refusedWrites;  // writes to these parameters are refused; the echo keeps the old value
    QStringList unanswered;     // reads of these mnemonics get no reply
};

struct InstrumentConfig {
    QString id = QStringLiteral("01");
    QString serial = QStringLiteral("100001");
    QString version = QStringLiteral("5.10"); // a leading "M": no 16-bit output, display, OP, taring
    bool atmo3 = false;                       // the meteorological system with two analog channels
    char parity = 0;                          // 0: the loop's parity
    int baud = 0;                             // 0: the loop's baud rate
    QMap<QString, QString> params;            // stored values over the defaults
    bool streamingFromStart = false;          // powers up with MD=2 (readings unasked)
    double measurementSeconds = -1.0;         // one measurement's duration; < 0: from PR, TR and T1
    // What the sensors are exposed to.
    double pressurePsi = 14.6959;
    double sensorTemperature = 22.5;
    double airTemperature = 18.3;
    double humidity = 45.2;
    Faults faults;
};

struct LoopConfig {
    int baud = 9600;
    char parity = 'N';
    // Each instrument re-sends passing characters with its own parity (false), or repeats them
    // bit for bit (true), which keeps every reply's own parity visible in a mixed loop.
    bool transparentRepeat = false;
    bool broken = false; // the loop is open after the last instrument for broadcasts
    bool cut = false;    // the wire into the computer is cut: nothing the loop sends arrives
    // The device carrying the line vanishes 10 ms after the program's n-th write (0: never), as an
    // adapter pulled in the middle of an exchange. Counted again after each loss.
    int lostAfterWrites = 0;
    double answerDelay = 0.0; // seconds before an instrument starts its answer
    double hopDelay = -1.0;   // seconds a character spends in each instrument; < 0: one character time
    // An instrument that is measuring when a command arrives finishes and sends the measurement
    // first, then answers, as real instruments do (false: it answers at once).
    bool finishMeasurementFirst = true;
    QList<InstrumentConfig> instruments;

    // The program's embedded default: 9600 baud, no parity; 01 a pressure instrument, 02 one
    // whose software version begins with "M", 03 an Atmo 3 system.
    static LoopConfig demo();
    // A loop of n pressure instruments numbered from 01.
    static LoopConfig numbered(int n, int baud = 9600, char parity = 'N');
    // The JSON form used by cvi-sim --config. Returns false with a message on malformed input.
    // Identifiers "01".."98" and the instruments' baud rates only: a loop the program can talk to.
    static bool fromJson(const QByteArray& json, LoopConfig& out, QString* error);
    // An instrument identifier: two ASCII digits, "01" to "98" ("00" is the computer, "99" all).
    static bool validId(const QString& id);
    // 300, 600, 1200, 2400, 4800, 9600 or 19200.
    static bool validBaud(int baud);
    static QString jsonHelp();
};

} // namespace cvi::sim
