// The pure reply functions fed with arbitrary bytes: the value of a parameter reply, the number of
// a data reply, the number reading and writing, the mode digit. No port, no clock, nothing but the
// functions: this target runs at a hundred thousand inputs a second and more.
//
// The whole input is one reply line (Latin-1).
#include "Detection.h"
#include "Frames.h"
#include "FuzzCheck.h"
#include "MeasureTimeout.h"
#include "Sampling.h"

#include <QLocale>

#include <cmath>

using namespace cvi;
using fuzz::check;

namespace {

// The form numberText and fixedText give in the C locale.
bool fixedForm(const QString& t) {
    const qsizetype dot = t.indexOf('.');
    if (dot < 1 || t.size() - dot != 3) return false;
    for (qsizetype i = t.startsWith('-') ? 1 : 0; i < t.size(); ++i)
        if (i != dot && !(t[i] >= '0' && t[i] <= '9')) return false;
    return true;
}

void numbers(const QString& text) {
    const double v = leadingNumber(text);
    check(std::isfinite(v), "leadingNumber gave a value that is not finite");
    const QString shown = numberText(v);
    // Fifteen significant digits survive the round trip through text.
    check(isNumeric(shown) && numberText(leadingNumber(shown)) == shown,
          "numberText does not read back as itself");
    const QString fixed = fixedText(v);
    check(fixedForm(fixed) && fixed != QLatin1String("-0.00"),
          "fixedText is not digits, a point and two decimals");
    const std::optional<double> inField = measure::numberIn(text);
    if (inField) check(*inField == leadingNumber(text.trimmed()), "numberIn disagrees with leadingNumber");
}

void replies(const QString& text) {
    const QString value = ParameterValue(text);
    if (text.size() < 11)
        check(value.isEmpty(), "ParameterValue of a short reply is not empty");
    else
        check(value.size() == text.size() - 10 && QStringView(text).mid(8).startsWith(value),
              "ParameterValue is not the reply's characters 9 to L-2");

    QString cut = text;
    const QString number = ReplyNumber(cut);
    if (text.isEmpty()) {
        check(number.isEmpty(), "ReplyNumber of an empty reply is not empty");
    } else {
        // After the first "_" to the end, else characters 6 to L-2.
        check(text.contains('_') ? text.endsWith(cut) : QStringView(text).mid(5).startsWith(cut),
              "ReplyNumber's cut text is not from the reply");
        check(cut.size() < text.size() || text.size() <= 5, "ReplyNumber did not cut the reply");
        check(number == QLatin1String("0") || isNumeric(number), "ReplyNumber gave no number");
    }

    if (const auto md = detection::modeIn(text)) check(md->size() <= 1, "the mode is more than one digit");
    (void)sampleKind(text.left(4));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static const bool cLocale = [] {
        QLocale::setDefault(QLocale::c());
        return true;
    }();
    (void)cLocale;
    const QString text = QString::fromLatin1(fuzz::bytesOf(data, size));
    replies(text);
    numbers(text);
    return 0;
}
