#include "Frames.h"

#include <QLocale>

#include <cmath>

namespace cvi {

QString addressPrefixFor(const QString& id) {
    return QStringLiteral("*") + id + QStringLiteral("00");
}

QString readCommand(const QString& addressPrefix, const QString& mnemonic) {
    return addressPrefix + mnemonic;
}

QString writeCommand(const QString& addressPrefix, const QString& mnemonic, const QString& value) {
    return addressPrefix + QStringLiteral("EW") + addressPrefix + mnemonic + QStringLiteral("=") + value;
}

QString broadcastRead(const QString& mnemonic) {
    return QStringLiteral("*9900") + mnemonic;
}

QString broadcastWrite(const QString& mnemonic, const QString& value) {
    return QStringLiteral("*9900EW*9900") + mnemonic + QStringLiteral("=") + value;
}

QString pageLine(const QString& commandText) {
    return QStringLiteral("*") + commandText + CRLF;
}

QString ParameterValue(const QString& reply) {
    if (reply.size() < 11) return {};
    return reply.mid(8, reply.size() - 10);
}

namespace {
// Length of the number at the start of text (after leading blanks), and its value.
bool scanNumber(const QString& text, int& pos, double& value) {
    const int n = static_cast<int>(text.size());
    int i = pos;
    QString digits;
    if (i < n && (text[i] == '+' || text[i] == '-')) digits += text[i++];
    bool any = false;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
        digits += text[i++];
        any = true;
    }
    if (i < n && text[i] == '.') {
        int j = i + 1;
        QString frac = QStringLiteral(".");
        while (j < n && text[j].isDigit() && text[j].unicode() < 128) {
            frac += text[j++];
            any = true;
        }
        if (any) {
            digits += frac;
            i = j;
        }
    }
    if (!any) return false;
    // An exponent only counts when digits follow it.
    if (i < n && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        int j = i + 1;
        QString exp = QStringLiteral("e");
        if (j < n && (text[j] == '+' || text[j] == '-')) exp += text[j++];
        bool expDigits = false;
        while (j < n && text[j].isDigit() && text[j].unicode() < 128 && exp.size() < 8) {
            exp += text[j++];
            expDigits = true;
        }
        if (expDigits) {
            digits += exp;
            i = j;
        }
    }
    bool ok = false;
    value = QLocale::c().toDouble(digits, &ok);
    if (!ok || !std::isfinite(value)) {
        value = 0.0;
        return false;
    }
    pos = i;
    return true;
}
} // namespace

double leadingNumber(const QString& text) {
    int pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    double value = 0.0;
    if (!scanNumber(text, pos, value)) return 0.0;
    return value;
}

bool isNumeric(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return false;
    int pos = 0;
    double value = 0.0;
    return scanNumber(t, pos, value) && pos == t.size();
}

QString numberText(double value) {
    if (value == 0.0) return QStringLiteral("0");
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

QString fixedText(double value) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    if (!std::isfinite(value) || std::fabs(value) < 0.005) value = 0.0; // no "-0.00"
    return locale.toString(value, 'f', 2);
}

QString ReplyNumber(QString& reply) {
    if (reply.isEmpty()) return {};
    const int underscore = static_cast<int>(reply.indexOf('_'));
    if (underscore >= 0)
        reply = reply.mid(underscore + 1);
    else
        reply = reply.mid(5, std::max<qsizetype>(0, reply.size() - 7));
    return numberText(leadingNumber(reply));
}

bool answers(const QString& line, const QString& addressPrefix, const QString& mnemonic) {
    if (!line.startsWith(QLatin1Char('*'))) return false; // the tail of another line
    QString body = line;
    while (body.endsWith(QLatin1Char('\n')) || body.endsWith(QLatin1Char('\r')))
        body.chop(1);
    // Only what goes to the computer: a command coming back around the loop is not an answer.
    if (body.size() >= 3 && body.mid(1, 2) != QStringLiteral("00")) return false;
    const QString id = addressPrefix.mid(1, 2);
    if (body.size() >= 5 && id != QStringLiteral("99") && body.mid(3, 2) != id) return false;
    const auto named = [&body](int i) { return body[i].unicode() < 128 && body[i].isLetterOrNumber(); };
    if (mnemonic.isEmpty()) return !(body.size() >= 8 && named(5) && named(6) && body[7] == '=');
    // Too short to name a parameter, it is an answer that holds no value.
    return body.size() < 7 || body.mid(5, 2) == mnemonic;
}

} // namespace cvi
