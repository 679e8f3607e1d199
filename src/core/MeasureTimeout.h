#pragma once

#include "Transactions.h"

#include <QString>

#include <optional>

namespace cvi {

// The measurement time-out: how many whole seconds one measurement reply may take, from the
// instrument's pressure resolution PR, temperature resolution TR and calibration coefficient T1
// and the communication time-out. Two forms exist and differ in their rounding: the Sampling
// page's (run by its Start) and the live windows' (run when one opens). The formula is pure; the
// Sampling page's reads of PR, TR and T1 are transactions that return what they found and leave
// every message to the page.
namespace measure {

inline constexpr int DefaultPR = 238;
inline constexpr int DefaultTR = 956;
inline constexpr int T1Threshold = 33; // T1 (rounded) at or below: factor 33; above: 60
inline constexpr int TemperatureFactor = 6;
inline constexpr double Divisor = 10000.0;
inline constexpr double MinimumExtra = 2.0; // never below the communication time-out plus this
inline constexpr int SamplingDefault = 4;   // the Sampling page's result without T1
inline constexpr int LiveDefault = 3;       // the live windows' result without T1

inline const QString CantReadPR = QStringLiteral("Can't read PR value! Default is 238.");
inline const QString CantReadTR = QStringLiteral("Can't read TR value! Default is 956.");
inline const QString MessageTitle = QStringLiteral("Info");
// The live windows' messages for the same failures (their default values are the same).
inline const QString LiveCantReadPR = QStringLiteral("Can't read PR value to calculate the timeout.");
inline const QString LiveCantReadTR = QStringLiteral("Can't read TR value to calculate the timeout.");

// A number rounded to the nearest integer, a half to the even neighbour (32.5 gives 32, 33.5
// gives 34).
long long roundHalfEven(double value);
// The number a value field holds (blanks and line ends around it allowed); none when the field
// is empty or not a number.
std::optional<double> numberIn(const QString& field);

// The pressure-period factor: 33 when T1 rounds to at most 33, else 60.
int periodFactor(double t1);
// R: the seconds one measurement takes, (factor x PR + 6 x TR) / 10000, computed in double
// precision and kept in single precision.
float measurementSeconds(int periodFactor, qint32 pr, qint32 tr);
// The Sampling page's form: max(floor(C + R) + 1, floor(C + 2) + 1).
int samplingTimeout(double commTimeout, float r);
// The live windows' form: max(C + R, C + 2), each rounded up when it has a fraction.
int liveTimeout(double commTimeout, float r);

// Everything the formula starts from: PR and TR as held (text), T1 when it was read.
struct Inputs {
    QString pr;
    QString tr;
    std::optional<double> t1;
    double commTimeout = 0.0;
};
struct Result {
    int timeout = 0;      // whole seconds
    int periodFactor = 0; // 33 or 60; 0 when T1 was not read
};
Result sampling(const Inputs& in);
Result live(const Inputs& in);
// Puts a result in the shared state: the measurement and read time-outs, and the two factors
// when T1 was read (periodFactor not 0).
void adopt(AppState& state, const Result& result);

// ---- the Sampling page's reads -----------------------------------------------------------

// PR or TR: open, "**" + ID + "00" + mnemonic + CR LF, up to 2 s for a first character, then the
// characters up to LF, close. The value is the five characters after the "=" (blanks and line
// ends taken off); none without a complete line or when the value is not a number. The line must
// end within `timeout` seconds after that first wait: a line that never ends counts as no reply
// instead of holding the page.
std::optional<QString> readResolution(const Channel& channel, const QString& mnemonic, double timeout);
// T1: open, "*" + ID + "00" + "T1" + CR LF (one star), one reply under `timeout`, close. None
// when nothing came back or the value is not a number.
std::optional<double> readT1(const Channel& channel, double timeout);

// ---- the live windows' reads --------------------------------------------------------------

// PR, TR or T1 on a live window's own serial object: open, "*" + prefix + mnemonic + CR LF (the
// prefix's star makes two), one reply under `timeout` with the user interface running, close.
// The value after the "=" of a reply of at least ten characters; none when nothing came back or
// the value is not a number. With `wakeUp`, a lone "*" and 10 ms come before the line.
std::optional<QString> readLive(const Channel& channel, const QString& mnemonic, double timeout,
                                bool wakeUp = false);

} // namespace measure
} // namespace cvi
