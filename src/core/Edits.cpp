#include "Edits.h"

#include "Frames.h"
#include "OptionTable.h"
#include "PageCommands.h"

#include <cmath>

namespace cvi::edit {

using namespace catalogue;

namespace {
// Rounds to `decimals` places, halves away from zero, on the number as a single-precision value
// shows itself (0.7854, not 0.78539997).
double roundShown(float value, int decimals) {
    const double shown = QString::number(static_cast<double>(value), 'g', 7).toDouble();
    const double scale = std::pow(10.0, decimals);
    const double magnitude = std::floor(std::fabs(shown) * scale + 0.5 + 1e-9) / scale;
    return shown < 0 ? -magnitude : magnitude;
}
} // namespace

bool validResolution(const QString& answer) {
    if (!isNumeric(answer)) return false;
    const double rounded = std::nearbyint(leadingNumber(answer.trimmed()));
    return rounded >= 1 && rounded < 16384;
}

QStringList codesOf(const Parameter& p) {
    if (p.edit != Edit::Dialog) return {};
    if (p.mnemonic == QLatin1String("MD")) return {"0", "1", "2", "3"};
    QStringList codes;
    for (const options::Member& m : options::members())
        if (m.mnemonic == p.mnemonic)
            for (const options::Choice& c : m.choices)
                codes << c.code;
    return codes;
}

QString refusal(const Parameter& p, const QString& value) {
    if (!p.editable()) return QStringLiteral("%1 is read-only").arg(p.mnemonic);
    if (value.isEmpty()) return QStringLiteral("an empty value is never sent");
    if (p.edit == Edit::Dialog) {
        const QStringList codes = codesOf(p);
        if (!codes.contains(value))
            return QStringLiteral("%1 takes one of the codes %2")
                .arg(p.mnemonic, codes.join(QStringLiteral(", ")));
        return {};
    }
    if (p.check == Check::Resolution && !validResolution(value))
        return p.promptPieces.value(0).section(QLatin1Char('.'), 0, 0);
    if (!fitsOnLine(value) ||
        (p.check == Check::Humidity && value.left(3).toUpper() != QStringLiteral("RHT")))
        return texts::InvalidEntry;
    return {};
}

QString integrationTimeText(const QString& pr, const std::optional<QString>& t1) {
    if (!isNumeric(pr)) return texts::NoValue;
    const double wholePR = std::nearbyint(leadingNumber(pr.trimmed()));
    if (std::fabs(wholePR) > 2147483647.0) return texts::NoValue;
    const int factor = (t1 && leadingNumber(*t1) > 33) ? 60 : 33;
    const float t = static_cast<float>(wholePR * factor / 10000.0);
    if (t == 1.0f) return numberText(1.0);
    const double seconds = static_cast<double>(t);
    const int decimals = seconds > 1 ? 1 : (seconds >= 0.1 ? 2 : 4);
    return numberText(roundShown(t, decimals));
}

Reply readIntegrationT1(const Channel& channel, double timeout) {
    const Transaction t(channel, false);
    t.send(readCommand(channel.prefix, QStringLiteral("T1")));
    return t.readAnswer(QStringLiteral("T1"), timeout);
}

PromptWrite writePrompted(const Channel& channel, const Parameter& p, const QString& value, double timeout) {
    PromptWrite result;
    result.echo = writeParameter(channel, p, value, timeout, [&](const Transaction& t, const Reply& reply) {
        // The echo is the only confirmation. A reply too short to hold a value confirms nothing,
        // except for the limits, whose box shows the answer as typed.
        result.confirmed = p.showsAnswer ? reply.answered() : reply.holdsValue();
        // After a PR write the instrument has a new TR: read it on the same open.
        if (p.mnemonic == QLatin1String("PR")) {
            t.send(readCommand(channel.prefix, QStringLiteral("TR")));
            result.tr = t.readAnswer(QStringLiteral("TR"), timeout, 1.5);
        }
    });
    // After a new offset the taring state is read again on a fresh open.
    if (p.mnemonic == QLatin1String("ZV") && result.confirmed)
        result.zs = readParameter(channel, QStringLiteral("ZS"), timeout);
    return result;
}

} // namespace cvi::edit
