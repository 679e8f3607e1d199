#include "MeasureTimeout.h"

#include "Frames.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace cvi::measure {

long long roundHalfEven(double value) {
    // The default rounding mode of the floating-point unit is to the nearest, ties to even.
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    std::fesetround(mode);
    // A reply may hold any number ("1e300"): beyond the range of the result it is held at the
    // nearest end, and what is no number at all counts as 0.
    if (std::isnan(r)) return 0;
    if (r >= 9223372036854775808.0) return std::numeric_limits<long long>::max();
    if (r < -9223372036854775808.0) return std::numeric_limits<long long>::min();
    return static_cast<long long>(r);
}

std::optional<double> numberIn(const QString& field) {
    const QString t = field.trimmed();
    if (!isNumeric(t)) return std::nullopt;
    return leadingNumber(t);
}

int periodFactor(double t1) {
    return roundHalfEven(t1) <= T1Threshold ? 33 : 60;
}

float measurementSeconds(int factor, qint32 pr, qint32 tr) {
    const double r =
        (static_cast<double>(factor) * pr + TemperatureFactor * static_cast<double>(tr)) / Divisor;
    return static_cast<float>(r);
}

namespace {
qint16 toShort(double seconds) {
    return static_cast<qint16>(std::clamp(seconds, -32768.0, 32767.0));
}

qint32 toLong(const QString& text) {
    const double v = numberIn(text).value_or(leadingNumber(text));
    return static_cast<qint32>(std::clamp<long long>(roundHalfEven(v), INT32_MIN, INT32_MAX));
}

// R of the held PR and TR with T1's factor.
float secondsOf(const Inputs& in, int factor) {
    return measurementSeconds(factor, toLong(in.pr), toLong(in.tr));
}
} // namespace

int samplingTimeout(double commTimeout, float r) {
    const double a = std::floor(commTimeout + static_cast<double>(r)) + 1.0;
    const double b = std::floor(commTimeout + MinimumExtra) + 1.0;
    return toShort(std::max(a, b));
}

int liveTimeout(double commTimeout, float r) {
    const double a = std::ceil(commTimeout + static_cast<double>(r));
    const double b = std::ceil(commTimeout + MinimumExtra);
    return toShort(std::max(a, b));
}

Result sampling(const Inputs& in) {
    if (!in.t1) return Result{SamplingDefault, 0};
    const int factor = periodFactor(*in.t1);
    return Result{samplingTimeout(in.commTimeout, secondsOf(in, factor)), factor};
}

Result live(const Inputs& in) {
    if (!in.t1) return Result{LiveDefault, 0};
    const int factor = periodFactor(*in.t1);
    return Result{liveTimeout(in.commTimeout, secondsOf(in, factor)), factor};
}

// ---- the Sampling page's reads -----------------------------------------------------------

std::optional<QString> readResolution(const Channel& channel, const QString& mnemonic, double timeout) {
    constexpr double FirstCharacter = 2.0;
    constexpr double PastDeadline = 0.001;
    Link& link = channel.link;
    const Transaction t(channel, false);
    t.send(readCommand(channel.prefix, mnemonic));
    link.WaitForInput(FirstCharacter);

    // Characters up to LF, but no longer than the time-out: an instrument that starts a line and
    // never ends it would otherwise hold the page for good.
    const double deadline = link.SecondsNow() + timeout;
    QString line;
    for (;;) {
        if (link.InBufferCount() > 0) {
            const QString c = link.InputChar();
            line += c;
            if (c == QStringLiteral("\n")) break;
            if (line.size() > Link::MaxLine) return std::nullopt;
            continue;
        }
        link.checkNotLost();
        if (!link.PortOpen()) return std::nullopt;
        const double left = deadline - link.SecondsNow();
        if (left <= 0) return std::nullopt;
        link.port().waitForInput(left + PastDeadline);
    }
    if (ExchangeObserver* o = channel.observer()) o->received(line);
    const QString value = line.mid(8, 5).trimmed();
    if (!numberIn(value)) return std::nullopt;
    return value;
}

std::optional<double> readT1(const Channel& channel, double timeout) {
    const Transaction t(channel, false);
    const QString command = readCommand(channel.prefix, QStringLiteral("T1"));
    t.show(command);
    t.write(command + CRLF);
    const Reply reply = t.readAnswer(QStringLiteral("T1"), timeout);
    if (!reply.answered()) return std::nullopt;
    return numberIn(reply.value());
}

// ---- the live windows' reads --------------------------------------------------------------

std::optional<QString> readLive(const Channel& channel, const QString& mnemonic, double timeout,
                                bool wakeUp) {
    const Reply reply = readParameter(channel, mnemonic, timeout, ReadStep{wakeUp, false, 0.0, true});
    const std::optional<QString> value = reply.valueIfAny();
    if (!value || !numberIn(*value)) return std::nullopt;
    return value->trimmed();
}

void adopt(AppState& state, const Result& result) {
    if (result.periodFactor != 0) {
        state.PressurePeriodFactor = result.periodFactor;
        state.TemperatureFactor = TemperatureFactor;
    }
    state.MeasureTimeout = result.timeout;
    state.ReadTimeout = result.timeout;
}

} // namespace cvi::measure
