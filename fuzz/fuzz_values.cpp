// The value functions that start from what instruments and operators give, fed with arbitrary
// bytes: the measurement time-out from PR, TR and T1, the integration-time text, the resolution
// check, and the value-box checks and texts of every parameter row. Pure functions, no port.
//
// The input split at '|' gives PR, TR, T1 and the communication time-out; its first byte picks
// the parameter row, the rest is the value typed.
#include "Catalogue.h"
#include "Edits.h"
#include "Frames.h"
#include "FuzzCheck.h"
#include "MeasureTimeout.h"

#include <QLocale>

#include <cmath>

using namespace cvi;
using fuzz::check;

namespace {

void timeouts(const QStringList& parts) {
    const QString pr = parts.value(0), tr = parts.value(1);
    const std::optional<double> t1 = parts.size() > 2 ? measure::numberIn(parts[2]) : std::nullopt;
    // The communication time-out of a real loop: 500 / baud x up to 98 instruments + 0.2 s.
    const double comm = std::fmod(std::fabs(leadingNumber(parts.value(3))), 170.0);
    const measure::Inputs in{pr, tr, t1, comm};
    const measure::Result s = measure::sampling(in);
    const measure::Result l = measure::live(in);
    check(s.periodFactor == l.periodFactor, "sampling and live differ in the period factor");
    check(t1 ? (s.periodFactor == 33 || s.periodFactor == 60) : s.periodFactor == 0, "bad period factor");
    check(s.timeout >= 1 && s.timeout <= 32767, "sampling time-out out of range");
    check(l.timeout >= 1 && l.timeout <= 32767, "live time-out out of range");
    if (t1) {
        check(s.timeout >= std::floor(comm + 2.0) + 1.0 || s.timeout == 32767,
              "sampling time-out below C + 2");
        check(l.timeout >= std::ceil(comm + 2.0) || l.timeout == 32767, "live time-out below C + 2");
    }
    const QString integration =
        edit::integrationTimeText(pr, parts.size() > 2 ? std::optional(parts[2]) : std::nullopt);
    check(integration == QLatin1String("-") || isNumeric(integration), "integration time is no number");
    if (edit::validResolution(pr)) {
        const double r = std::nearbyint(leadingNumber(pr.trimmed()));
        check(r >= 1 && r < 16384, "a resolution outside 1..16383 was accepted");
    }
}

void valueBoxes(const QString& text, std::uint8_t pick) {
    const auto& rows = catalogue::all();
    const catalogue::Parameter& p = rows[pick % rows.size()];
    (void)edit::refusal(p, text);
    (void)p.show(text);
    (void)p.showWritten(text);
    const QString line = writeCommand(addressPrefixFor(QStringLiteral("01")), p.mnemonic, text);
    check(line.startsWith(QLatin1String("*0100EW*0100")) && line.endsWith(text), "write command malformed");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static const bool cLocale = [] {
        QLocale::setDefault(QLocale::c());
        return true;
    }();
    (void)cLocale;
    const QString text = QString::fromLatin1(fuzz::bytesOf(data, size));
    timeouts(text.split('|'));
    if (size > 0) valueBoxes(text.mid(1), data[0]);
    return 0;
}
